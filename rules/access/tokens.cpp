// The two tokenizers of the access rules: strtok_r splitting into fixed
// slots of 128 bytes (keywords, site names) or 16 bytes (clock fields).
#include <cstring>

#include "arnonat_access.h"

namespace {

// Text past this is not looked at.
constexpr size_t kWorkSize = 16384;

// Copies TOKEN into SLOT, cut to fit.
void copy_cut(char *slot, size_t size, const char *token)
{
    size_t n = strnlen(token, size - 1);
    std::memcpy(slot, token, n);
    slot[n] = '\0';
}

template <size_t SlotSize>
int split(const char *text, const char *delimiters, char (*slots)[SlotSize], int max)
{
    if (!text || !*text)
        return 0;
    char work[kWorkSize];
    copy_cut(work, sizeof work, text);
    if (max < 1 || !slots)
        return 0;

    // strtok_r itself, so that its quirks hold: runs of delimiters count as
    // one and empty pieces are skipped.
    char *save = nullptr;
    int n = 0;
    for (char *t = strtok_r(work, delimiters ? delimiters : "", &save); t;
         t = strtok_r(nullptr, delimiters ? delimiters : "", &save)) {
        copy_cut(slots[n], SlotSize, t);
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
