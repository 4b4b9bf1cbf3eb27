// The pieces of the schedule fragments that need neither the settings store
// nor the clock: shared by the schedule, its tests and its fuzz target.
#pragma once

namespace arnonat {

// Day of the month, hour and minute of one reading of `date` or `date -u`.
struct ClockReading {
    int day;
    int hour;
    int minute;
};

// Reads a line as `date` prints it ("Sun Dec  6 09:53:50 UTC 2026").
// False when it holds no day of the month and time.
bool parse_clock_line(const char *line, ClockReading &reading);

// Local time minus UTC in whole hours from two readings taken one after the
// other.
int hour_difference(const ClockReading &local, const ClockReading &utc);

// Fills FIRST and SECOND (128 bytes each) with the UTC fragments of the
// window CONFIG (the schedule_config text) for local time minus UTC = OFFSET
// hours.
void schedule_fragments(const char *config, int offset, char *first, char *second);

} // namespace arnonat
