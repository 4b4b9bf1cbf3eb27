// Schedule fragments: the local window of schedule_config as UTC time-match
// options, the clock probe through `date` and the tokenizers.
#include <cstring>
#include <string>
#include <utility>

#include "arnonat.h"
#include "rules/access/schedule_window.h"
#include "support/sandbox.h"

namespace {

using Fragments = std::pair<std::string, std::string>;

struct Case {
    const char *zone, *config, *first, *second;
};

class Schedule : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        // Read every time, used only with schedule_daylightadjust "1".
        sandbox::set_date("Sun Dec  6 17:53:50 CST 2026", "Sun Dec  6 09:53:50 UTC 2026");
    }

    static Fragments fragments(const std::string &zone, const std::string &config)
    {
        sandbox::set("time_zone", zone);
        sandbox::set("schedule_config", config);
        char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE], second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
        std::memset(first, 'x', sizeof first);
        std::memset(second, 'x', sizeof second);
        EXPECT_EQ(ARNONAT_GenerateScheduleRule(first, second), 0);
        return {first, second};
    }

    template <size_t N>
    static void expect(const Case (&cases)[N])
    {
        for (const Case &c : cases)
            EXPECT_EQ(fragments(c.zone, c.config), Fragments(c.first, c.second)) << c.zone << " " << c.config;
    }
};

TEST_F(Schedule, WorkedResults)
{
    const Case cases[] = {
        {"0", "65:8:0:17:30", "", "-m time --timestart 8:0 --timestop 17:30 --weekdays Sun,Sat "},
        {"0", "65:22:0:6:0", "-m time --timestart 22:0 --timestop 23:59 --weekdays Sun,Sat ",
         "-m time --timestart 0:0 --timestop 6:0 --weekdays Mon,Sun "},
        {"0", "65:19:0:0:0", "", "-m time --timestart 19:0 --timestop 23:59 --weekdays Sun,Sat "},
        {"9", "65:8:0:17:30", "-m time --timestart 23:0 --timestop 23:59 --weekdays Sat,Fri ",
         "-m time --timestart 0:0 --timestop 8:30 --weekdays Sun,Sat "},
        {"5", "65:3:0:5:0", "-m time --timestart 22:0 --timestop 23:59 --weekdays Sat,Fri ", ""},
        {"-5", "65:22:0:6:0", "", "-m time --timestart 3:0 --timestop 11:0 --weekdays Mon,Sun "},
        {"-1", "65:20:15:23:59", "-m time --timestart 21:15 --timestop 23:59 --weekdays Sun,Sat ",
         "-m time --timestart 0:0 --timestop 0:59 --weekdays Mon,Sun "},
        {"-3", "128:22:0:6:0", "", "-m time --timestart 1:0 --timestop 9:0 --weekdays Mon,Tue,Wed,Thu,Fri,Sat,Sun "},
    };
    expect(cases);
}

// One case a row of the two tables (row number first) that the worked
// results leave out; days 65 (Sunday and Saturday) show each day shift.
// Rows 5 and 14 take a zone or a stop hour that the settings never give
// (below).
TEST_F(Schedule, EveryRowOfBothTables)
{
    const Case cases[] = {
        /* 1 */ {"9", "65:2:0:5:30", "-m time --timestart 17:0 --timestop 20:30 --weekdays Sat,Fri ", ""},
        /* 2 */ {"0", "65:0:0:0:0", "", "-m time --timestart 0:0 --timestop 0:0 --weekdays Sun,Sat "},
        /* 4 */ {"5", "65:3:0:5:1", "-m time --timestart 22:0 --timestop 23:59 --weekdays Sat,Fri ",
                 "-m time --timestart 0:0 --timestop 0:1 --weekdays Sun,Sat "},
        /* 6 */ {"9", "65:5:0:3:0", "-m time --timestart 20:0 --timestop 23:59 --weekdays Sat,Fri ",
                 "-m time --timestart 0:0 --timestop 18:0 --weekdays Sun,Sat "},
        /* 7 */ {"2", "65:23:0:1:15", "", "-m time --timestart 21:0 --timestop 23:15 --weekdays Sun,Sat "},
        /* 8 */ {"3", "65:22:0:3:0", "", "-m time --timestart 19:0 --timestop 23:59 --weekdays Sun,Sat "},
        /* 10 */ {"-5", "65:8:0:17:30", "", "-m time --timestart 13:0 --timestop 22:30 --weekdays Sun,Sat "},
        /* 11 */ {"-5", "65:8:0:19:0", "", "-m time --timestart 13:0 --timestop 23:59 --weekdays Sun,Sat "},
        /* 12 */ {"-5", "65:8:0:19:5", "-m time --timestart 13:0 --timestop 23:59 --weekdays Sun,Sat ",
                  "-m time --timestart 0:0 --timestop 0:5 --weekdays Mon,Sun "},
        /* 13 */ {"-5", "65:20:0:22:45", "", "-m time --timestart 1:0 --timestop 3:45 --weekdays Mon,Sun "},
        /* 15 */ {"-1", "65:22:0:6:0", "-m time --timestart 23:0 --timestop 23:59 --weekdays Sun,Sat ",
                  "-m time --timestart 0:0 --timestop 7:0 --weekdays Mon,Sun "},
        // 17 and 18: local 22:00 Sunday at UTC-5 is 03:00 UTC Monday, so the
        // window's days move on by one and, past the next midnight, by two.
        /* 17 */ {"-5", "65:22:0:19:0", "", "-m time --timestart 3:0 --timestop 23:59 --weekdays Mon,Sun "},
        /* 18 */ {"-5", "65:22:0:20:30", "-m time --timestart 3:0 --timestop 23:59 --weekdays Mon,Sun ",
                  "-m time --timestart 0:0 --timestop 1:30 --weekdays Tue,Mon "},
    };
    expect(cases);
}

TEST_F(Schedule, WeekdayClausesAndOddWindows)
{
    const Case cases[] = {
        // Monday, Wednesday and Friday one day back, as chosen, one day on.
        {"9", "42:2:0:5:0", "-m time --timestart 17:0 --timestop 20:0 --weekdays Sun,Tue,Thu ", ""},
        {"0", "42:2:0:5:0", "", "-m time --timestart 2:0 --timestop 5:0 --weekdays Mon,Wed,Fri "},
        {"-5", "42:20:0:22:0", "", "-m time --timestart 1:0 --timestop 3:0 --weekdays Tue,Thu,Sat "},
        // Every day, also split and shifted; 129 is Saturday and bit 7.
        {"9", "127:8:0:17:30", "-m time --timestart 23:0 --timestop 23:59 --weekdays Mon,Tue,Wed,Thu,Fri,Sat,Sun ",
         "-m time --timestart 0:0 --timestop 8:30 --weekdays Mon,Tue,Wed,Thu,Fri,Sat,Sun "},
        {"0", "129:2:0:5:0", "", "-m time --timestart 2:0 --timestop 5:0 --weekdays Sat "},
        // Same hour, start minute later: written as it stands.
        {"0", "65:6:30:6:0", "", "-m time --timestart 6:30 --timestop 6:0 --weekdays Sun,Sat "},
        // A field counts with its first three characters ("0008", "17xx",
        // "0300", days "0127" = 12); fields past the fifth are not read.
        {"0", "65:0008:0:17xx:0300", "", "-m time --timestart 0:0 --timestop 17:30 --weekdays Sun,Sat "},
        {"0", "0127:8:0:17:0:99", "", "-m time --timestart 8:0 --timestop 17:0 --weekdays Wed,Thu "},
        // No day, or fewer than five fields (empty ones are skipped): nothing.
        {"0", "0:8:0:17:30", "", ""}, {"9", "0:22:0:6:0", "", ""},   {"0", "256:8:0:17:0", "", ""},
        {"0", "127:8:0:17", "", ""},  {"0", "127::8:0:17", "", ""}, {"0", "", "", ""},
    };
    expect(cases);
}

TEST(ScheduleWindow, RowsOnlyOffTheClockInputsReach)
{
    char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE], second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
    // Row 5: a zone 24 hours ahead.
    arnonat::schedule_fragments("65:23:0:0:0", 24, first, second);
    EXPECT_EQ(Fragments(first, second), Fragments("-m time --timestart 23:0 --timestop 23:59 --weekdays Sat,Fri ", ""));
    // Row 14: a stop hour of -8.
    arnonat::schedule_fragments("65:10:0:-8:0", -8, first, second);
    EXPECT_EQ(Fragments(first, second), Fragments("", "-m time --timestart 18:0 --timestop 23:59 --weekdays Sun,Sat "));
}

TEST_F(Schedule, SettingsOffTheClockGetANoticeAndNoTimeMatch)
{
    auto config = [](const std::string &value) {
        return "schedule: schedule_config '" + value + "' holds a time outside 0:0 to 23:59; scheduled rules not written\n";
    };
    auto zone = [](const std::string &value) {
        return "schedule: time_zone '" + value + "' is not between -12 and +14 hours; scheduled rules not written\n";
    };
    const struct {
        const char *zone, *config;
        std::string notice;
    } rows[] = {
        {"0", "65:25:61:6:0", config("65:25:61:6:0")}, {"0", "65:8:0:24:0", config("65:8:0:24:0")},
        {"0", "65:8:60:17:0", config("65:8:60:17:0")}, {"0", "65:-1:0:6:0", config("65:-1:0:6:0")},
        {"0", "65:8:0:17:-5", config("65:8:0:17:-5")}, {"15", "65:8:0:17:30", zone("15")},
        {"-13", "65:8:0:17:30", zone("-13")},          {"99 far", "65:8:0:17:30", zone("99 far")},
    };
    for (const auto &row : rows) {
        sandbox::StdoutCapture out;
        EXPECT_EQ(fragments(row.zone, row.config), Fragments("", "")) << row.config;
        EXPECT_EQ(out.finish(), row.notice);
    }
    // The edges of the clock and of the zones still give their windows.
    EXPECT_EQ(fragments("14", "65:23:59:23:59"),
              Fragments("", "-m time --timestart 9:59 --timestop 9:59 --weekdays Sun,Sat "));
    EXPECT_EQ(fragments("-12", "65:0:0:0:0"), Fragments("", "-m time --timestart 12:0 --timestop 12:0 --weekdays Sun,Sat "));
}

TEST_F(Schedule, OffsetFromTimeZoneOrFromTheClock)
{
    const std::string window = "65:8:0:17:30";
    const Fragments plus8("", "-m time --timestart 0:0 --timestop 9:30 --weekdays Sun,Sat ");
    const Fragments zero("", "-m time --timestart 8:0 --timestop 17:30 --weekdays Sun,Sat ");
    // The first four characters of time_zone with atoi semantics.
    for (const char *zone : {"8", "+8", "8:00 Asia/Taipei"})
        EXPECT_EQ(fragments(zone, window), plus8) << zone;
    for (const char *zone : {"GMT+8", "", "00008"})
        EXPECT_EQ(fragments(zone, window), zero) << zone;

    // schedule_daylightadjust "1": the clock (17:53 against 09:53 UTC) wins,
    // unless it cannot be read.
    sandbox::set("schedule_daylightadjust", "1");
    EXPECT_EQ(fragments("0", window), plus8);
    sandbox::set_date("", "");
    EXPECT_EQ(fragments("0", window), zero);
    sandbox::set_date("no clock here", "Sun Dec  6 09:53:50 UTC 2026");
    EXPECT_EQ(fragments("8", window), plus8);
}

class HourDifference : public sandbox::Test {
protected:
    static int difference(const std::string &local, const std::string &utc)
    {
        sandbox::set_date(local, utc);
        return arnonat_getHourDifference();
    }
};

TEST_F(HourDifference, WithinAMonth)
{
    EXPECT_EQ(difference("Sun Dec  6 09:53:50 UTC 2026", "Sun Dec  6 09:53:50 UTC 2026"), 0);
    EXPECT_EQ(difference("Fri Dec  4 01:25:00 CST 2026", "Thu Dec  3 17:25:00 UTC 2026"), 8);
    EXPECT_EQ(difference("Thu Dec  3 21:25:00 EST 2026", "Fri Dec  4 02:25:01 UTC 2026"), -5);
    EXPECT_EQ(difference("Sat Dec 12 14:40:00 ACDT 2026", "Sat Dec 12 04:10:00 UTC 2026"), 10);
    // The hour turned between the two readings, also at UTC midnight and on
    // the first of a month (UTC day 0 is the last of the month before).
    EXPECT_EQ(difference("Sun Dec  6 05:59:59 UTC 2026", "Sun Dec  6 06:00:00 UTC 2026"), 0);
    EXPECT_EQ(difference("Thu Dec 10 23:59:59 UTC 2026", "Fri Dec 11 00:00:00 UTC 2026"), 0);
    EXPECT_EQ(difference("Mon Nov 30 18:59:59 EST 2026", "Tue Dec  1 00:00:00 UTC 2026"), -5);
}

TEST_F(HourDifference, AcrossAMonthEndAndAYearEnd)
{
    EXPECT_EQ(difference("Tue Dec  1 01:25:00 CST 2026", "Mon Nov 30 17:25:00 UTC 2026"), 8);
    EXPECT_EQ(difference("Fri Jan  1 05:00:00 JST 2027", "Thu Dec 31 20:00:00 UTC 2026"), 9);
    EXPECT_EQ(difference("Mon Mar  1 07:00:00 CST 2027", "Sun Feb 28 23:00:00 UTC 2027"), 8);
    EXPECT_EQ(difference("Mon Nov 30 21:25:00 EST 2026", "Tue Dec  1 02:25:00 UTC 2026"), -5);
    EXPECT_EQ(difference("Thu Dec 31 19:00:00 PST 2026", "Fri Jan  1 03:00:00 UTC 2027"), -8);
}

TEST_F(HourDifference, AClockThatCannotBeReadGivesMinus100)
{
    for (const char *bad : {"", "date: cannot read the clock", "Sun Dec 6", "Sun Dec  0 09:53:50 UTC 2026",
                            "Sun Dec  6 24:00:00 UTC 2026", "Sun Dec  6 09 UTC 2026", "Sun Dec  x 09:53:50"}) {
        EXPECT_EQ(difference(bad, "Sun Dec  6 09:53:50 UTC 2026"), ARNONAT_NO_HOUR_DIFFERENCE) << bad;
        EXPECT_EQ(difference("Sun Dec  6 09:53:50 UTC 2026", bad), ARNONAT_NO_HOUR_DIFFERENCE) << bad;
    }
}

TEST(Tokens, SplitLikeStrtokRIntoSlots)
{
    struct Row {
        const char *text, *delimiters;
        int max, count;
        const char *slots; // all six after the call
    };
    const Row rows[] = {
        {"one two", " ", 4, 2, "[one][two][][][old][old]"},   {"  a  b ", " ", 6, 2, "[a][b][][][][]"},
        {"a.b..c.", ".", 6, 3, "[a][b][c][][][]"},             {"a b c d e", " ", 3, 3, "[a][b][c][old][old][old]"},
        {"a,b;c", ",;", 6, 3, "[a][b][c][][][]"},              {"\n\n", "\n", 6, 0, "[][][][][][]"},
        {"one two", "", 2, 1, "[one two][][old][old][old][old]"}, {"a b", " ", 0, 0, "[old][old][old][old][old][old]"},
        {"", " ", 4, 0, "[old][old][old][old][old][old]"},    {nullptr, " ", 4, 0, "[old][old][old][old][old][old]"},
    };
    for (const Row &r : rows) {
        char slots[6][ARNONAT_TOKEN_SIZE];
        for (auto &slot : slots)
            std::strcpy(slot, "old");
        EXPECT_EQ(arnonat_getTokens(r.text, r.delimiters, slots, r.max), r.count) << r.text;
        std::string seen;
        for (auto &slot : slots)
            seen += std::string("[") + slot + "]";
        EXPECT_EQ(seen, r.slots) << r.text;
    }
}

TEST(Tokens, CutToTheSlotsAndTheWorkBuffer)
{
    char slots[2][ARNONAT_TOKEN_SIZE];
    std::string word(200, 'k');
    EXPECT_EQ(arnonat_getTokens((word + " x").c_str(), " ", slots, 2), 2);
    EXPECT_EQ(slots[0], word.substr(0, 127));

    char small[2][ARNONAT_SMALL_TOKEN_SIZE];
    EXPECT_EQ(arnonat_getSmallTokens("0123456789abcdefXYZ:12", ":", small, 2), 2);
    EXPECT_STREQ(small[0], "0123456789abcde");

    // Only the first 16383 bytes of the text are split.
    std::string text(16382, 'a');
    EXPECT_EQ(arnonat_getTokens((text + " bc").c_str(), " ", slots, 2), 1);
    EXPECT_EQ(arnonat_getTokens((text.substr(1) + " bc").c_str(), " ", slots, 2), 2);
    EXPECT_STREQ(slots[1], "b");
}

} // namespace
