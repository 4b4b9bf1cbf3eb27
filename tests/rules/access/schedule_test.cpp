// Schedule fragments: the local window of schedule_config as UTC time-match
// options, one row a case; the clock probe; the tokenizers, the log names of
// block sites and the service names.  A fragment is written here as "START
// STOP DAYS" for "-m time --timestart START --timestop STOP --weekdays DAYS "
// (the whole text is in the block sites and block services case files).
#include <cstring>
#include <string>

#include "arnonat.h"
#include "rules/access/schedule_window.h"
#include "support/sandbox.h"

namespace {

// "FIRST|SECOND" written out from the short form.
std::string fragments(const std::string &first, const std::string &second)
{
    auto fragment = [](const std::string &text) {
        char start[16], stop[16], days[40];
        if (std::sscanf(text.c_str(), "%15s %15s %39s", start, stop, days) != 3)
            return text;
        return std::string("-m time --timestart ") + start + " --timestop " + stop + " --weekdays " + days + " ";
    };
    return fragment(first) + "|" + fragment(second);
}

struct Row {
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

    // With KEY, the rows are refused with a notice naming the value of KEY.
    static void expect(std::initializer_list<Row> rows, const std::string &key = "", const char *why = "")
    {
        for (const Row &r : rows) {
            sandbox::set("time_zone", r.zone);
            sandbox::set("schedule_config", r.config);
            char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE], second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
            std::memset(first, 'x', sizeof first);
            std::memset(second, 'x', sizeof second);
            sandbox::StdoutCapture out;
            EXPECT_EQ(ARNONAT_GenerateScheduleRule(first, second), 0);
            const std::string told = "schedule: " + key + " '" + (key == "time_zone" ? r.zone : r.config) + "' " +
                                     why + "; scheduled rules not written\n";
            EXPECT_EQ(std::string(first) + "|" + second + "|" + out.finish(),
                      fragments(r.first, r.second) + "|" + (key.empty() ? "" : told))
                << r.zone << " " << r.config;
        }
    }
};

// The worked results, then a row of each branch of the conversion (days 65,
// Sunday and Saturday, show each day shift).
TEST_F(Schedule, WorkedResultsAndEveryBranch)
{
    expect({
        {"0", "65:8:0:17:30", "", "8:0 17:30 Sun,Sat"},        {"0", "65:22:0:6:0", "22:0 23:59 Sun,Sat", "0:0 6:0 Mon,Sun"},
        {"0", "65:19:0:0:0", "", "19:0 23:59 Sun,Sat"},        {"9", "65:8:0:17:30", "23:0 23:59 Sat,Fri", "0:0 8:30 Sun,Sat"},
        {"5", "65:3:0:5:0", "22:0 23:59 Sat,Fri", ""},         {"-5", "65:22:0:6:0", "", "3:0 11:0 Mon,Sun"},
        {"-1", "65:20:15:23:59", "21:15 23:59 Sun,Sat", "0:0 0:59 Mon,Sun"},
        {"-3", "128:22:0:6:0", "", "1:0 9:0 Mon,Tue,Wed,Thu,Fri,Sat,Sun"},
        {"9", "65:2:0:5:30", "17:0 20:30 Sat,Fri", ""},        {"0", "65:0:0:0:0", "", "0:0 0:0 Sun,Sat"},
        {"5", "65:3:0:5:1", "22:0 23:59 Sat,Fri", "0:0 0:1 Sun,Sat"}, {"2", "65:23:0:1:15", "", "21:0 23:15 Sun,Sat"},
        {"9", "65:5:0:3:0", "20:0 23:59 Sat,Fri", "0:0 18:0 Sun,Sat"}, {"3", "65:22:0:3:0", "", "19:0 23:59 Sun,Sat"},
        {"-5", "65:8:0:17:30", "", "13:0 22:30 Sun,Sat"},      {"-5", "65:8:0:19:0", "", "13:0 23:59 Sun,Sat"},
        {"-5", "65:8:0:19:5", "13:0 23:59 Sun,Sat", "0:0 0:5 Mon,Sun"}, {"-5", "65:20:0:22:45", "", "1:0 3:45 Mon,Sun"},
        {"-1", "65:22:0:6:0", "23:0 23:59 Sun,Sat", "0:0 7:0 Mon,Sun"},
        // Local 22:00 Sunday at UTC-5 is 03:00 UTC Monday: the days move on
        // by one and, past the next midnight, by two.
        {"-5", "65:22:0:19:0", "", "3:0 23:59 Mon,Sun"},       {"-5", "65:22:0:20:30", "3:0 23:59 Mon,Sun", "0:0 1:30 Tue,Mon"},
    });
}

TEST_F(Schedule, WeekdayClausesAndOddWindows)
{
    expect({
        // Monday, Wednesday and Friday one day back, as chosen, one day on.
        {"9", "42:2:0:5:0", "17:0 20:0 Sun,Tue,Thu", ""},      {"0", "42:2:0:5:0", "", "2:0 5:0 Mon,Wed,Fri"},
        {"-5", "42:20:0:22:0", "", "1:0 3:0 Tue,Thu,Sat"},
        // Every day, also split and shifted; 129 is Saturday and bit 7.
        {"9", "127:8:0:17:30", "23:0 23:59 Mon,Tue,Wed,Thu,Fri,Sat,Sun", "0:0 8:30 Mon,Tue,Wed,Thu,Fri,Sat,Sun"},
        {"0", "129:2:0:5:0", "", "2:0 5:0 Sat"},               {"0", "65:6:30:6:0", "", "6:30 6:0 Sun,Sat"},
        // A field counts with its first three characters ("0008", "17xx",
        // "0300", days "0127" = 12); fields past the fifth are not read.
        {"0", "65:0008:0:17xx:0300", "", "0:0 17:30 Sun,Sat"}, {"0", "0127:8:0:17:0:99", "", "8:0 17:0 Wed,Thu"},
        // No day, or fewer than five fields (empty ones are skipped): nothing.
        {"0", "0:8:0:17:30", "", ""}, {"9", "0:22:0:6:0", "", ""},   {"0", "256:8:0:17:0", "", ""},
        {"0", "127:8:0:17", "", ""},  {"0", "127::8:0:17", "", ""}, {"0", "", "", ""},
        // The edges of the clock and of the zones.
        {"14", "65:23:59:23:59", "", "9:59 9:59 Sun,Sat"},     {"-12", "65:0:0:0:0", "", "12:0 12:0 Sun,Sat"},
        // The first four characters of time_zone with atoi semantics.
        {"+8", "65:8:0:17:30", "", "0:0 9:30 Sun,Sat"},        {"8:00 Asia/Taipei", "65:8:0:17:30", "", "0:0 9:30 Sun,Sat"},
        {"GMT+8", "65:8:0:17:30", "", "8:0 17:30 Sun,Sat"},    {"00008", "65:8:0:17:30", "", "8:0 17:30 Sun,Sat"},
    });
    expect({{"0", "65:25:61:6:0", "", ""}, {"0", "65:8:0:24:0", "", ""}, {"0", "65:8:60:17:0", "", ""},
            {"0", "65:-1:0:6:0", "", ""}, {"0", "65:8:0:17:-5", "", ""}},
           "schedule_config", "holds a time outside 0:0 to 23:59");
    expect({{"15", "65:8:0:17:30", "", ""}, {"-13", "65:8:0:17:30", "", ""}, {"99 far", "65:8:0:17:30", "", ""}},
           "time_zone", "is not between -12 and +14 hours");

    // Two rows that no zone on earth and no clock reach.
    char first[ARNONAT_SCHEDULE_FRAGMENT_SIZE], second[ARNONAT_SCHEDULE_FRAGMENT_SIZE];
    arnonat::schedule_fragments("65:23:0:0:0", 24, first, second);
    EXPECT_EQ(std::string(first) + "|" + second, fragments("23:0 23:59 Sat,Fri", ""));
    arnonat::schedule_fragments("65:10:0:-8:0", -8, first, second);
    EXPECT_EQ(std::string(first) + "|" + second, fragments("", "18:0 23:59 Sun,Sat"));
}

// With schedule_daylightadjust "1" the measured difference wins unless a
// clock cannot be read.
TEST_F(Schedule, DaylightAdjustTakesTheClockUnlessItCannotBeRead)
{
    sandbox::set("schedule_daylightadjust", "1");
    expect({{"0", "65:8:0:17:30", "", "0:0 9:30 Sun,Sat"}});
    const char *cst = "Sun Dec  6 17:53:50 CST 2026";
    for (const auto &[local, utc] : {std::pair{"", ""}, {"no clock here", cst}, {cst, "Sun Dec  6 09"}}) {
        sandbox::set_date(local, utc);
        EXPECT_EQ(arnonat_getHourDifference(), ARNONAT_NO_HOUR_DIFFERENCE) << local << "|" << utc;
        expect({{"0", "65:8:0:17:30", "", "8:0 17:30 Sun,Sat"}});
    }
}

// Local minus UTC hours of the readings {day, hour, minute} of `date` and,
// taken second, of `date -u`.
TEST(Clock, HourDifferenceOfTheTwoReadings)
{
    const struct {
        arnonat::ClockReading local, utc;
        int difference;
    } rows[] = {
        {{6, 9, 53}, {6, 9, 53}, 0}, {{4, 1, 25}, {3, 17, 25}, 8}, {{3, 21, 25}, {4, 2, 25}, -5},
        {{12, 14, 40}, {12, 4, 10}, 10},
        // The hour turned between the readings, also at UTC midnight and on
        // the first of a month (UTC day 0 is the last of the month before).
        {{6, 5, 59}, {6, 6, 0}, 0}, {{10, 23, 59}, {11, 0, 0}, 0}, {{30, 18, 59}, {1, 0, 0}, -5},
        // Across a month end and a year end.
        {{1, 1, 25}, {30, 17, 25}, 8}, {{1, 5, 0}, {31, 20, 0}, 9}, {{1, 7, 0}, {28, 23, 0}, 8},
        {{30, 21, 25}, {1, 2, 25}, -5}, {{31, 19, 0}, {1, 3, 0}, -8},
    };
    for (const auto &r : rows)
        EXPECT_EQ(arnonat::hour_difference(r.local, r.utc), r.difference) << r.local.day << " " << r.local.hour;
    arnonat::ClockReading read{};
    ASSERT_TRUE(arnonat::parse_clock_line("Thu Dec  3 21:25:00 EST 2026", read));
    EXPECT_EQ(std::to_string(read.day) + " " + std::to_string(read.hour) + ":" + std::to_string(read.minute), "3 21:25");
    for (const char *bad : {"", "date: cannot read the clock", "Sun Dec 6", "Sun Dec  0 09:53:50 UTC 2026",
                            "Sun Dec  6 24:00:00 UTC 2026", "Sun Dec  6 09 UTC 2026", "Sun Dec  x 09:53:50",
                            "Sun Dec 32 09:53:50", "Sun Dec  6 09:60:00"})
        EXPECT_FALSE(arnonat::parse_clock_line(bad, read)) << bad;
}

TEST(Tokens, SplitLikeStrtokRIntoSlotsCutToFit)
{
    const struct {
        const char *text, *delimiters;
        int max, count;
        const char *slots; // all six after the call
    } rows[] = {
        {"one two", " ", 4, 2, "[one][two][][][old][old]"},   {" a,b;;c ", ",; ", 6, 3, "[a][b][c][][][]"},
        {"a b c d e", " ", 3, 3, "[a][b][c][old][old][old]"}, {"\n\n", "\n", 6, 0, "[][][][][][]"},
        {"one two", "", 2, 1, "[one two][][old][old][old][old]"}, {"a b", " ", 0, 0, "[old][old][old][old][old][old]"},
        {"", " ", 4, 0, "[old][old][old][old][old][old]"},    {nullptr, " ", 4, 0, "[old][old][old][old][old][old]"},
    };
    char slots[6][ARNONAT_TOKEN_SIZE];
    for (const auto &r : rows) {
        for (auto &slot : slots)
            std::strcpy(slot, "old");
        EXPECT_EQ(arnonat_getTokens(r.text, r.delimiters, slots, r.max), r.count) << r.text;
        std::string seen;
        for (auto &slot : slots)
            seen += std::string("[") + slot + "]";
        EXPECT_EQ(seen, r.slots) << r.text;
    }
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

TEST(LogName, WwwAndComAroundTheNameCutTo127)
{
    const std::string k(127, 'k');
    const struct {
        std::string keyword, name;
        int length = -1000; // the keyword's own
    } rows[] = {
        {"www.example.com", "www.example.com"}, {"example.com", "www.example.com"}, {"www.example", "www.example.com"},
        {"example", "www.example.com"},         {"www.compute.example.com", "www.www.compute.example.com.com"},
        {"www.x.com", "www.x.com"},             {"www..com", "www.www..com.com"}, {".com", "www..com.com"},
        {"www.", "www.www..com"},               {"news.example.com.au", "www.news.example.com"}, {"", "www..com"},
        // A length longer than the keyword never reads past its end.
        {"www.a", "www.a.com", 100}, {"b.com", "www.b.com.com", 1000}, {"www.example.com", "www.www.example.com.com", 0},
        {"example", "www.example.com", -5},
        {k.substr(8), "www." + k.substr(8) + ".com"}, {k.substr(7), "www." + k.substr(7) + ".co"}, {k, "www." + k.substr(4)},
    };
    char out[ARNONAT_TOKEN_SIZE];
    for (const auto &r : rows) {
        int length = r.length == -1000 ? static_cast<int>(r.keyword.size()) : r.length;
        EXPECT_EQ(transferKeyWordForLog(r.keyword.c_str(), length, out), out);
        EXPECT_STREQ(out, r.name.c_str()) << r.keyword << " " << length;
    }
}

TEST(ServiceName, DecodedInPlaceAndCut)
{
    for (const auto &[name, decoded] : {std::pair<std::string, std::string>{"a\\sb", "a@b"}, {"\\t\\\\s\\", ";\\s\\"},
                                        {std::string(200, 'n'), std::string(95, 'n')},
                                        {std::string(100, '\\') + "s", std::string(50, '\\') + "s"}}) {
        std::string buffer = name;
        fw_restore_space(buffer.data());
        EXPECT_EQ(std::string(buffer.c_str()), decoded) << name;
    }
    fw_restore_space(nullptr);
}

} // namespace
