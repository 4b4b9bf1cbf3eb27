#include "platform/text_values.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace arnonat {

int32_t leading_int(const char *text)
{
    long value = std::strtol(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

const char *dotted(DottedText &out, uint32_t network_order)
{
    unsigned char b[4];
    std::memcpy(b, &network_order, 4);
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return out;
}

} // namespace arnonat
