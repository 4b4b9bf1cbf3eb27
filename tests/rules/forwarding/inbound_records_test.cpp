// Parsing of the port forwarding entries (inbound_record) into the exported
// g_iPolicyRecord, reading after reading as in one process.
#include <cstddef>
#include <cstring>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

static_assert(offsetof(ArnonatInboundTable, ruleId) == 4 && offsetof(ArnonatInboundTable, extStart) == 4 + 2 * 684 &&
              offsetof(ArnonatInboundTable, serverAddr) == 4 + 7 * 684);

// Entry K as "id ext_start-ext_end int_start-int_end protocol".
std::string entry(int k)
{
    const ArnonatInboundTable &t = g_iPolicyRecord;
    return std::to_string(t.ruleId[k]) + " " + std::to_string(t.extStart[k]) + "-" + std::to_string(t.extEnd[k]) +
           " " + std::to_string(t.intStart[k]) + "-" + std::to_string(t.intEnd[k]) + " " + std::to_string(t.protocol[k]);
}

// What reading VALUE printed, then "count|entry 0|entry 1".
std::string read(const std::string &value)
{
    sandbox::set("inbound_record", value);
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_fwInboundReadFromRAM(), 0);
    return out.finish() + std::to_string(g_iPolicyRecord.count) + "|" + entry(0) + "|" + entry(1);
}

class InboundRecords : public sandbox::Test {};

TEST_F(InboundRecords, ReadingsFillWhatScansAndKeepTheRest)
{
    std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord); // as in a fresh process
    const char *rows[][2] = {
        {"2@11;21;21;21;21;7@12;6000;6010;7000;7010;8", "2|11 21-21 21-21 7|12 6000-6010 7000-7010 8"},
        {"1@@5;80;80;80;80;8", "1|5 80-80 80-80 8|12 6000-6010 7000-7010 8"},
        // The count is taken as written and never clears older entries.
        {"3@7;90;90;90;90;8", "3|7 90-90 90-90 8|12 6000-6010 7000-7010 8"},
        {"0@8;1;1;1;1;7", "0|8 1-1 1-1 7|12 6000-6010 7000-7010 8"},
        // An empty value keeps the table; a partial record fills what scans.
        {"1@5;80;80;8080;8080;7", "1|5 80-80 8080-8080 7|12 6000-6010 7000-7010 8"},
        {"", "1|5 80-80 8080-8080 7|12 6000-6010 7000-7010 8"},
        {"@@@", "1|5 80-80 8080-8080 7|12 6000-6010 7000-7010 8"},
        {"1@9;100", "1|9 100-80 8080-8080 7|12 6000-6010 7000-7010 8"},
        {"x@junk", "0|9 100-80 8080-8080 7|12 6000-6010 7000-7010 8"},
        {"-5@1;2;3;4;5;7", "0|1 2-3 4-5 7|12 6000-6010 7000-7010 8"},
        {"171@1;2;3;4;5;8", "171|1 2-3 4-5 8|12 6000-6010 7000-7010 8"},
        {"172@1;2;3;4;5;9", "inbound_record: 172 entries, only the first 171 are used\n171|1 2-3 4-5 9|12 6000-6010 7000-7010 8"},
    };
    for (const auto &[value, table] : rows)
        EXPECT_EQ(read(value), table) << value;
    EXPECT_EQ(entry(2), "0 0-0 0-0 0");
    EXPECT_EQ(g_iPolicyRecord.reserved[0] + g_iPolicyRecord.serverAddr[1], 0u);
}

TEST_F(InboundRecords, OversizedInputStaysInsideTheTable)
{
    std::string value = "99999999999";
    for (int k = 0; k < 200; ++k)
        value += "@" + std::to_string(k) + ";1;2;3;4;7";
    EXPECT_EQ(read(value), "inbound_record: 2147483647 entries, only the first 171 are used\n"
                           "inbound_record: more than 171 records, the rest ignored\n171|0 1-2 3-4 7|1 1-2 3-4 7");
    EXPECT_EQ(entry(170), "170 1-2 3-4 7");

    // 1 + 160 * 52 bytes, well past 8191: the count and 157 whole records
    // are read; the 158th, cut among the blanks before its protocol, is not
    // read half.
    std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord);
    value = "3";
    for (int k = 0; k < 160; ++k)
        value += "@" + std::to_string(k % 10) + ";1;2;3;4;" + std::string(40, ' ') + "7";
    EXPECT_EQ(read(value), "inbound_record: value longer than 8191 bytes, entries past it ignored\n3|0 1-2 3-4 7|1 1-2 3-4 7");
    EXPECT_EQ(entry(156) + "|" + entry(157), "6 1-2 3-4 7|0 0-0 0-0 0");
}

} // namespace
