// Checks rules files against the packet filter of the network namespace it
// runs in (arnonat-check gives it a throwaway one), without a shell.
//
// The commands of a file are grouped as the plan groups them (the custom
// services runner's view: iptables and ip4tables IPv4, ip6tables IPv6), and
// each group is applied with one iptables-restore.  Only a refused group is
// searched: halved until the refused commands stand alone, and each of those
// is run on its own, its words handed straight to iptables (never to a
// shell), so that every sound command still takes effect and each refused one
// is named with iptables' own reason.  A command of plain words that
// iptables-restore cannot take is run on its own in its place.  Shell
// commands are not run: they are listed (a PATH assignment excepted).
#pragma once

#include <cstddef>

namespace arnonat::apply {

struct CheckCounts {
    int checked = 0;  // commands of words
    int rejected = 0;
    int vendor = 0;   // refused, but need a vendor netfilter extension
    int not_run = 0;  // shell commands
};

// Checks the commands of TEXT after its first SKIP lines; NAME labels the
// report lines.  False when the check itself could not run (a message says why).
bool check_file(const char *name, const char *text, size_t length, unsigned skip, bool verbose,
                CheckCounts &counts);

} // namespace arnonat::apply
