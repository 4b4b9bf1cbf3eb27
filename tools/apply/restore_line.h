// What one iptables command of a rules file becomes in a restore batch.
//
// A command of plain words is taken by iptables-restore exactly as the
// firewall would run it, when it changes the rule set (-A, -I, -D, -R, -N,
// -X, -F, -Z, -P, -E), names its table only as `-t TABLE` or `--table TABLE`
// right after the command name, and holds nothing that iptables-restore reads
// otherwise or cannot take in one line (measured on iptables 1.8.9: a word of
// 1024 bytes or more, about 250 words, a line of 10 kB, a newline, an option
// that only the command line knows).  Anything else runs as shell, as before.
//
// Where the line goes follows the shell that runs the file:
// - the custom services runner (plain sh): iptables and ip4tables are IPv4,
//   ip6tables is IPv6;
// - arno-iptables-firewall: the same when its IPv6 support is off; with it
//   on, an `iptables` line goes where arno's own iptables function sends it
//   (IPv4 for an IPv4 source or destination or the nat table, IPv6 for an
//   IPv6 one or ICMPv6, both otherwise, ICMP options rewritten for IPv6).
//   A line whose words that function would split or expand further (a `~`,
//   a glob character, a backslash, an empty word) runs as shell.
#pragma once

#include <cstdio>

#include "tools/apply/shell_reader.h"

namespace arnonat::apply {

enum class Context { Runner, Arno, ArnoIpv6 };

inline constexpr int kTableCount = 5;
extern const char *const kTableNames[kTableCount];

inline constexpr int kMaxRestoreWords = 200;
inline constexpr size_t kMaxWordLength = 1000;
inline constexpr size_t kMaxRestoreLine = 8000;

// The command for one address family.
struct Part {
    int family = 4;     // 4 or 6
    int table = 0;      // index into kTableNames
    bool alone = false; // restore would skip it silently (-4 for IPv6, -6 for IPv4):
                        // it is applied on its own, so it is refused as before
    int table_word = 0; // index of -t/--table in argv, 0 when none
    int argc = 0;       // the command as the line-by-line path runs it
    const char *argv[kMaxWords + 1] = {};
};

struct Translation {
    int parts = 0; // 0: run the command as shell
    Part part[2];
};

// Translates the words of one command (argv[0] the command name).
Translation translate(Context context, int argc, const char *const *argv);

// The part as a line of iptables-restore input, with its newline.
void write_restore_line(const Part &part, FILE *out);
// The part as a shell command line (each word through the shell-word helper),
// with its newline.
void write_shell_line(const Part &part, FILE *out);

// What arno's get_numeric_ip_version answers for TEXT: 4, 6 or 0.
int numeric_ip_version(const char *text);

} // namespace arnonat::apply
