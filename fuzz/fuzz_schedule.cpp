// Any schedule_config text, offset and clock readings: the fragments stay
// within their 128 bytes and are each empty or one time match, the clock
// parser keeps within its fields and the tokenizers agree with strtok_r.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "rules/access/schedule_window.h"

namespace {

void check_fragment(const char *fragment)
{
    size_t n = strnlen(fragment, ARNONAT_SCHEDULE_FRAGMENT_SIZE);
    if (n == ARNONAT_SCHEDULE_FRAGMENT_SIZE)
        std::abort();
    if (n == 0)
        return;
    if (std::strncmp(fragment, "-m time --timestart ", 20) != 0 || fragment[n - 1] != ' ' ||
        !std::strstr(fragment, " --weekdays ") || std::strstr(fragment, "--weekdays  "))
        std::abort();
}

void check_tokens(const std::string &text, const char *delimiters, int max)
{
    char slots[8][ARNONAT_TOKEN_SIZE];
    int n = arnonat_getTokens(text.c_str(), delimiters, slots, max);
    if (text.empty()) {
        if (n != 0)
            std::abort();
        return;
    }
    std::vector<char> work(text.begin(), text.end());
    work.resize(16383);
    work.push_back('\0');
    std::vector<std::string> expected;
    char *save = nullptr;
    for (char *t = strtok_r(work.data(), delimiters, &save); t && static_cast<int>(expected.size()) < max;
         t = strtok_r(nullptr, delimiters, &save))
        expected.push_back(std::string(t).substr(0, ARNONAT_TOKEN_SIZE - 1));
    if (n != static_cast<int>(expected.size()))
        std::abort();
    for (int k = 0; k < max; ++k)
        if (std::string(slots[k]) != (k < n ? expected[k] : ""))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    int offset = static_cast<int8_t>(data[0]);
    std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    text = text.substr(0, text.find('\0'));

    char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
    char second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
    arnonat::schedule_fragments(text.c_str(), offset, first, second);
    check_fragment(first);
    check_fragment(second);
    // Offsets far beyond any time zone still fit the fragment buffers.
    arnonat::schedule_fragments(text.c_str(), offset * 100 + offset, first, second);
    check_fragment(first);
    check_fragment(second);

    // Two clock readings split at a newline.
    size_t nl = text.find('\n');
    arnonat::ClockReading local{}, utc{};
    if (arnonat::parse_clock_line(text.substr(0, nl).c_str(), local) &&
        arnonat::parse_clock_line(nl == std::string::npos ? "" : text.substr(nl + 1).c_str(), utc)) {
        int d = arnonat::hour_difference(local, utc);
        if (d < -48 || d > 48)
            std::abort();
    }

    check_tokens(text, ": ", 8);
    check_tokens(text, "\n", 3);
    return 0;
}
