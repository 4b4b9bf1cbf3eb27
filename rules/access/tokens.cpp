// The exported tokenizers of the access rules: the pieces of a text, as
// strtok_r splits it, copied into fixed slots of 128 bytes (keywords, site
// names) or 16 bytes (clock fields).
#include <cstring>
#include <string_view>

#include "arnonat_access.h"
#include "platform/tokens.h"

namespace {

// The router split a copy of the text in a work buffer of this size; text
// past it is not looked at.
constexpr size_t kWorkSize = 16384;

template <size_t SlotSize>
int split(const char *text, const char *delimiters, char (*slots)[SlotSize], int max)
{
    if (!text || !*text || max < 1 || !slots)
        return 0;
    arnonat::Tokens tokens(std::string_view(text, strnlen(text, kWorkSize - 1)), delimiters);
    int n = 0;
    for (std::string_view t; tokens.next(t);) {
        // Cut to fit the slot.
        size_t length = t.size() < SlotSize - 1 ? t.size() : SlotSize - 1;
        std::memcpy(slots[n], t.data(), length);
        slots[n][length] = '\0';
        if (++n == max)
            return max;
    }
    for (int k = n; k < max; ++k)
        slots[k][0] = '\0';
    return n;
}

} // namespace

extern "C" int arnonat_getTokens(const char *text, const char *delimiters,
                                 char (*slots)[ARNONAT_TOKEN_SIZE], int max)
{
    return split<ARNONAT_TOKEN_SIZE>(text, delimiters, slots, max);
}

extern "C" int arnonat_getSmallTokens(const char *text, const char *delimiters,
                                      char (*slots)[ARNONAT_SMALL_TOKEN_SIZE], int max)
{
    return split<ARNONAT_SMALL_TOKEN_SIZE>(text, delimiters, slots, max);
}
