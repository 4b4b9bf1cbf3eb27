// Numbers and addresses as the router's settings and the engine's records
// hold them.
#pragma once

#include <cstdint>
#include <string_view>

namespace arnonat {

// atoi semantics: leading blanks (as isspace), an optional sign, then the
// leading digits; 0 when there are none.  Where atoi would overflow (it is
// undefined there, and glibc and musl answer differently) the value is
// clamped to INT32_MIN or INT32_MAX.  The text ends at its terminator or,
// for a view, at the view's end.
int32_t atoi_clamped(std::string_view text);
inline int32_t atoi_clamped(const char *text)
{
    return atoi_clamped(std::string_view(text));
}

// An IPv4 address held in network byte order, as dotted decimal.
using DottedText = char[sizeof "255.255.255.255"];
const char *dotted(DottedText &out, uint32_t network_order);

} // namespace arnonat
