#include "platform/text_values.h"

#include <cstdio>
#include <cstring>

namespace arnonat {

int32_t atoi_clamped(std::string_view text)
{
    size_t i = 0;
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && blank(text[i]))
        ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    // Counted towards the negative end, which holds one more.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value > -(INT64_C(1) << 32))
            value = value * 10 - (text[i] - '0');
    if (negative)
        return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
    return -value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(-value);
}

const char *dotted(DottedText &out, uint32_t network_order)
{
    unsigned char b[4];
    std::memcpy(b, &network_order, 4);
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return out;
}

} // namespace arnonat
