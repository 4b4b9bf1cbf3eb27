// One port forwarding entry and its writer, shared by the batch generator and
// the rule applied at once when a NAT rule is added.
#pragma once

#include <cstdint>

#include "platform/rule_file.h"

namespace arnonat {

// Rule ID of an entry given directly, whose server address is its own.
inline constexpr int32_t kDirectEntry = -2;

struct ForwardEntry {
    int32_t rule_id;   // engine rule of the entry, or kDirectEntry
    int32_t ext_start;
    int32_t ext_end;
    int32_t int_start;
    int32_t int_end;
    int32_t protocol;  // 7 TCP, 8 UDP, 9 both
    uint32_t server;   // network order; read for direct entries only
};

// The entry of the command line words "cmd intStart intEnd server extPort
// [tcp|udp|both]".  False, with a notice, when a word is missing or the
// server is not a dotted quad.
bool forward_entry_from_words(int argc, char *const argv[], ForwardEntry &entry);

// Appends the entry's iptables lines to FILE.
void write_forward_entry(File &file, const ForwardEntry &entry);

} // namespace arnonat
