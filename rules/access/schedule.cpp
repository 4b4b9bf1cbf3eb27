// Weekly schedules of site and service blocking.  The user enters the window
// in local time; the iptables time match works in UTC, so the window becomes
// one or two UTC fragments, two when it runs past a UTC midnight.
#include <cstdio>
#include <cstring>

#include "arnonat_access.h"
#include "platform/text_values.h"
#include "rules/access/schedule_window.h"
#include "zolt_nvram.h"

namespace {

constexpr int kEveryDay = 127;
constexpr int kEveryDayToo = 128;

struct Window {
    int days;
    int start_hour;
    int start_minute;
    int stop_hour;
    int stop_minute;
};

// "--weekdays " and the chosen days moved by SHIFT days, Sunday's bit (64)
// first.
void weekday_clause(char *out, size_t size, int days, int shift)
{
    if (days == kEveryDay || days == kEveryDayToo) {
        std::snprintf(out, size, "--weekdays Mon,Tue,Wed,Thu,Fri,Sat,Sun ");
        return;
    }
    static constexpr const char *kNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    size_t len = std::strlen(std::strcpy(out, "--weekdays "));
    for (int day = 0; day < 7; ++day) // day 0 is bit 6, Sunday
        if (days & (1 << (6 - day))) {
            std::memcpy(out + len, kNames[(day + shift + 14) % 7], 3);
            out[len + 3] = ',';
            len += 4;
        }
    out[len - 1] = ' '; // the last "," becomes the closing blank
    out[len] = '\0';
}

// Writes one fragment: the UTC start and stop times and the chosen days
// moved by SHIFT.
class Fragments {
public:
    Fragments(int days, char *first, char *second) : days_(days), first_(first), second_(second) {}

    void first(int start_hour, int start_minute, int stop_hour, int stop_minute, int shift)
    {
        put(first_, start_hour, start_minute, stop_hour, stop_minute, shift);
    }
    void second(int start_hour, int start_minute, int stop_hour, int stop_minute, int shift)
    {
        put(second_, start_hour, start_minute, stop_hour, stop_minute, shift);
    }

private:
    void put(char *out, int start_hour, int start_minute, int stop_hour, int stop_minute, int shift)
    {
        // At most 39 characters; the fields are cut to three characters and
        // the offset to four, so the whole fragment stays below 100.
        char clause[48];
        weekday_clause(clause, sizeof clause, days_, shift);
        std::snprintf(out, ARNONAT_SCHEDULE_FRAGMENT_SIZE, "-m time --timestart %d:%d --timestop %d:%d %s",
                      start_hour, start_minute, stop_hour, stop_minute, clause);
    }

    int days_;
    char *first_;
    char *second_;
};

// Fields of schedule_config: days, start hour, start minute, stop hour,
// stop minute.  A field counts with its first three characters only.
bool read_window(const char *config, Window &w)
{
    char fields[5][ARNONAT_SMALL_TOKEN_SIZE];
    if (arnonat_getSmallTokens(config, ":", fields, 5) < 5)
        return false;
    int value[5];
    for (int k = 0; k < 5; ++k) {
        fields[k][3] = '\0';
        value[k] = arnonat::atoi_clamped(fields[k]);
    }
    w = Window{value[0], value[1], value[2], value[3], value[4]};
    return true;
}

// Local time ahead of UTC or equal (offset 0 or more): the UTC window starts
// on the chosen day or the day before.  US and UE are the UTC start and stop
// hours; a window "crosses" when it runs past local midnight.
void ahead_of_utc(const Window &w, int us, int ue, Fragments &out)
{
    const int sm = w.start_minute;
    const int em = w.stop_minute;
    if (w.start_hour <= w.stop_hour) {
        if (us < 0 && ue < 0) {
            out.first(us + 24, sm, ue + 24, em, -1);
        } else if (us >= 0) {
            out.second(us, sm, ue, em, 0);
        } else {
            out.first(us + 24, sm, 23, 59, -1);
            if (!(ue <= 0 && em <= 0)) // ending at UTC midnight needs no second part
                out.second(0, 0, ue, em, 0);
        }
    } else if (us < 0) {
        out.first(us + 24, sm, 23, 59, -1);
        if (!(em <= 0 && ue <= -24))
            out.second(0, 0, ue + 24, em, 0);
    } else if (ue < 0) {
        out.second(us, sm, ue + 24, em, 0);
    } else if (ue <= 0 && em <= 0) {
        out.second(us, sm, 23, 59, 0);
    } else {
        out.first(us, sm, 23, 59, 0);
        out.second(0, 0, ue, em, +1);
    }
}

// Local time behind UTC (negative offset): the UTC window starts on the
// chosen day or the day after.
void behind_utc(const Window &w, int us, int ue, Fragments &out)
{
    const int sm = w.start_minute;
    const int em = w.stop_minute;
    if (w.start_hour <= w.stop_hour) {
        if (us > 23) {
            out.second(us - 24, sm, ue - 24, em, +1);
        } else if (ue <= 23) {
            out.second(us, sm, ue, em, 0);
        } else if (em <= 0 && ue <= 24) {
            out.second(us, sm, 23, 59, 0);
        } else {
            out.first(us, sm, 23, 59, 0);
            out.second(0, 0, ue - 24, em, +1);
        }
    } else if (us <= 23) {
        if (ue <= 0 && em <= 0) {
            out.second(us, sm, 23, 59, 0);
        } else {
            out.first(us, sm, 23, 59, 0);
            out.second(0, 0, ue, em, +1);
        }
    } else if (ue <= 23) {
        out.second(us - 24, sm, ue, em, +1);
    } else if (em <= 0 && ue <= 24) {
        // Starts and ends after the next UTC midnight: the whole window lies
        // on the day after the chosen one.
        out.second(us - 24, sm, 23, 59, +1);
    } else {
        // Starts after the next UTC midnight and ends after the one that
        // follows: the day after the chosen one and the day after that.
        out.first(us - 24, sm, 23, 59, +1);
        out.second(0, 0, ue - 24, em, +2);
    }
}

// A days value naming no day: 0, or a value above 128 without any of the
// seven day bits, which would leave iptables a --weekdays without a day.
bool names_no_day(int days)
{
    return days != kEveryDayToo && (days & kEveryDay) == 0;
}

// The time zones of the world lie between 12 hours behind UTC and 14 ahead;
// a time match shifted by more would name hours netfilter refuses.
constexpr int kZoneBehindMost = -12;
constexpr int kZoneAheadMost = 14;

bool zone_on_earth(int offset)
{
    return offset >= kZoneBehindMost && offset <= kZoneAheadMost;
}

// Local time minus UTC into OFFSET.  False, with a notice, when it comes from
// a time_zone that no place on earth has.
bool schedule_offset(int &offset)
{
    char zone[5] = "";
    zoltNvramConfig_read("time_zone", zone, sizeof zone);
    int measured = arnonat_getHourDifference(); // measured every time
    // A clock that reads out of every zone is taken as a clock not read.
    if (zoltNvramConfig_match("schedule_daylightadjust", "1") && measured != ARNONAT_NO_HOUR_DIFFERENCE &&
        zone_on_earth(measured)) {
        offset = measured;
        return true;
    }
    offset = arnonat::atoi_clamped(zone);
    if (zone_on_earth(offset))
        return true;
    std::printf("schedule: time_zone '%s' is not between -12 and +14 hours; scheduled rules not written\n",
                zoltNvramConfig_get("time_zone"));
    return false;
}

// A complete window naming a day whose times lie off the clock (hours 0 to
// 23, minutes 0 to 59): netfilter would refuse its time match.
bool off_the_clock(const char *config)
{
    Window w{};
    if (!read_window(config, w) || names_no_day(w.days))
        return false;
    auto hour = [](int h) { return h >= 0 && h <= 23; };
    auto minute = [](int m) { return m >= 0 && m <= 59; };
    return !(hour(w.start_hour) && minute(w.start_minute) && hour(w.stop_hour) && minute(w.stop_minute));
}

} // namespace

namespace arnonat {

void schedule_fragments(const char *config, int offset, char *first, char *second)
{
    first[0] = '\0';
    second[0] = '\0';
    Window w{};
    // An incomplete schedule gives no time window at all rather than a
    // guessed one.
    if (!read_window(config, w) || names_no_day(w.days))
        return;
    Fragments out(w.days, first, second);
    int us = w.start_hour - offset;
    int ue = w.stop_hour - offset;
    if (offset >= 0)
        ahead_of_utc(w, us, ue, out);
    else
        behind_utc(w, us, ue, out);
}

} // namespace arnonat

extern "C" int ARNONAT_GenerateScheduleRule(char *first, char *second)
{
    if (!first || !second)
        return 0;
    first[0] = '\0';
    second[0] = '\0';
    int offset = 0;
    bool zone_known = schedule_offset(offset);
    char config[256];
    zoltNvramConfig_read("schedule_config", config, sizeof config);
    if (off_the_clock(config)) {
        std::printf("schedule: schedule_config '%s' holds a time outside 0:0 to 23:59; scheduled rules not "
                    "written\n",
                    config);
        return 0;
    }
    if (zone_known)
        arnonat::schedule_fragments(config, offset, first, second);
    return 0;
}
