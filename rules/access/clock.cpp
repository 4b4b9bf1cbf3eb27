// Local time minus UTC, measured from the system clock through `date` and
// `date -u` for schedules that follow daylight saving time.
#include <cstdio>

#include "arnonat_access.h"
#include "platform/text_values.h"
#include "rules/access/schedule_window.h"

namespace {

// A read pipe closed exactly once.
class Pipe {
public:
    explicit Pipe(const char *command) : stream_(popen(command, "r")) {}
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    ~Pipe()
    {
        if (stream_)
            pclose(stream_);
    }
    FILE *stream() const { return stream_; }

private:
    FILE *stream_;
};

// atoi of a field that must start with a digit and lie in LOW..HIGH.
bool clock_field(const char *text, int low, int high, int &value)
{
    if (*text < '0' || *text > '9')
        return false;
    value = arnonat::atoi_clamped(text);
    return value >= low && value <= high;
}

bool read_clock(const char *command, arnonat::ClockReading &reading)
{
    char line[256] = "";
    {
        Pipe pipe(command);
        if (!pipe.stream() || !std::fgets(line, sizeof line, pipe.stream()))
            return false;
    }
    return arnonat::parse_clock_line(line, reading);
}

} // namespace

namespace arnonat {

bool parse_clock_line(const char *line, ClockReading &reading)
{
    char words[7][ARNONAT_SMALL_TOKEN_SIZE];
    if (arnonat_getSmallTokens(line, " ", words, 7) < 4)
        return false;
    char time[7][ARNONAT_SMALL_TOKEN_SIZE];
    if (arnonat_getSmallTokens(words[3], ":", time, 7) < 2)
        return false;
    return clock_field(words[2], 1, 31, reading.day) && clock_field(time[0], 0, 23, reading.hour) &&
           clock_field(time[1], 0, 59, reading.minute);
}

int hour_difference(const ClockReading &local, const ClockReading &utc)
{
    int utc_day = utc.day;
    int utc_hour = utc.hour;
    // The UTC reading is taken second: a minute of 0 there against another
    // local minute means the hour turned in between.
    if (local.minute != utc.minute && utc.minute == 0) {
        if (utc_hour == 0) {
            utc_hour = 23;
            utc_day -= 1;
        } else {
            utc_hour -= 1;
        }
    }
    int difference = local.hour - utc_hour;
    // Day 0 is the last day of the month before: the same date as a local
    // day 28 to 31.
    if (utc_day == 0 && local.day >= 28 && local.day <= 31)
        return difference;
    if (utc_day == local.day)
        return difference;
    // Across a month or year end the days of the month are far apart while
    // the dates are neighbours: local day 1 is the day after UTC day 28 to
    // 31, and UTC day 1 the day after local day 28 to 31.
    if (local.day == 1 && utc_day >= 28)
        return difference + 24;
    if (utc_day == 1 && local.day >= 28)
        return difference - 24;
    return utc_day < local.day ? difference + 24 : difference - 24;
}

} // namespace arnonat

extern "C" int arnonat_getHourDifference(void)
{
    arnonat::ClockReading local{};
    arnonat::ClockReading utc{};
    if (!read_clock("date", local) || !read_clock("date -u", utc))
        return ARNONAT_NO_HOUR_DIFFERENCE;
    return arnonat::hour_difference(local, utc);
}
