// Numbers and addresses as the router's settings and the engine's records
// hold them.
#pragma once

#include <cstdint>

namespace arnonat {

// atoi semantics (leading blanks, a sign, the leading digits; 0 when there
// are none), clamped to 32 bits instead of overflowing on a huge text.
int32_t leading_int(const char *text);

// An IPv4 address held in network byte order, as dotted decimal.
using DottedText = char[sizeof "255.255.255.255"];
const char *dotted(DottedText &out, uint32_t network_order);

} // namespace arnonat
