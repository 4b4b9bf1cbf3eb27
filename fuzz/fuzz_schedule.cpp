// Any schedule_config text, offset and clock readings through the schedule
// fragments, the clock parser and the tokenizer over every slot.  What they
// give is the schedule unit test's.
#include "arnonat.h"
#include "fuzz/harness.h"
#include "rules/access/schedule_window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    int offset = static_cast<int8_t>(data[0]);
    std::string text = fuzz::text(data + 1, size - 1);
    char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE], second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
    // Offsets far beyond any time zone still fit the fragment buffers.
    for (int o : {offset, offset * 101})
        arnonat::schedule_fragments(text.c_str(), o, first, second);
    // Two clock readings split at a newline.
    arnonat::ClockReading local{}, utc{};
    size_t nl = text.find('\n');
    if (arnonat::parse_clock_line(text.substr(0, nl).c_str(), local) &&
        arnonat::parse_clock_line(nl == std::string::npos ? "" : text.substr(nl + 1).c_str(), utc))
        arnonat::hour_difference(local, utc);
    char slots[8][ARNONAT_TOKEN_SIZE];
    arnonat_getTokens(text.c_str(), ": \n", slots, 8);
    return 0;
}
