// The plan of a rules file: a shell file that does what the file does, in
// the same order, with each run of consecutive iptables lines applied as one
// iptables-restore transaction per address family and table.
//
// For the rules file at FILE, write_plan() writes into DIR:
//   plan       shell commands, sourced in place of the file: every command
//              the reader keeps as shell, verbatim, and for each batch
//              `arnonat_batch FAMILY DIR/N` (the caller defines that function)
//   N.rules    the batch as iptables-restore input (one table, one COMMIT)
//   N.lines    the same commands one per line, for the line-by-line path:
//              arno's ip4tables / ip6tables functions, or the file's own
//              commands for the custom services runner
// A command that iptables-restore would skip silently but the firewall
// refuses (see restore_line.h) stands alone in the plan, line by line.
#pragma once

#include <cstddef>

#include "tools/apply/restore_line.h"

namespace arnonat::apply {

inline constexpr size_t kMaxDirLength = 1000;

// 0 on success; 1, with a message on standard error, when a file cannot be
// written (the plan is then not to be used).
int write_plan(Context context, const char *text, size_t length, const char *dir);

} // namespace arnonat::apply
