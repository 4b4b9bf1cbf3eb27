// Parsing of the port forwarding entries into g_iPolicyRecord.
#include <cstring>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

struct Entry {
    int id, ext_start, ext_end, int_start, int_end, protocol;
    bool operator==(const Entry &) const = default;
};

Entry entry(int k)
{
    const ArnonatInboundTable &t = g_iPolicyRecord;
    return {t.ruleId[k], t.extStart[k], t.extEnd[k], t.intStart[k], t.intEnd[k], t.protocol[k]};
}

class InboundRecords : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord); // as in a fresh process
    }

    static void read(const std::string &value)
    {
        sandbox::set("inbound_record", value);
        EXPECT_EQ(ARNONAT_fwInboundReadFromRAM(), 0);
    }
};

TEST_F(InboundRecords, TableHasItsExportedLayout)
{
    EXPECT_EQ(sizeof g_iPolicyRecord, 5476u);
    EXPECT_EQ(offsetof(ArnonatInboundTable, ruleId), 4u);
    EXPECT_EQ(offsetof(ArnonatInboundTable, extStart), 4u + 2 * 684);
    EXPECT_EQ(offsetof(ArnonatInboundTable, serverAddr), 4u + 7 * 684);
}

TEST_F(InboundRecords, RecordsFillTheirColumns)
{
    read("2@11;21;21;21;21;7@12;6000;6010;7000;7010;8");
    EXPECT_EQ(g_iPolicyRecord.count, 2);
    EXPECT_EQ(entry(0), (Entry{11, 21, 21, 21, 21, 7}));
    EXPECT_EQ(entry(1), (Entry{12, 6000, 6010, 7000, 7010, 8}));
    EXPECT_EQ(g_iPolicyRecord.reserved[0], 0);
    EXPECT_EQ(g_iPolicyRecord.serverAddr[1], 0u);
}

TEST_F(InboundRecords, EmptySeparatorsAreSkipped)
{
    read("1@@5;80;80;80;80;8");
    EXPECT_EQ(g_iPolicyRecord.count, 1);
    EXPECT_EQ(entry(0), (Entry{5, 80, 80, 80, 80, 8}));
}

TEST_F(InboundRecords, CountIsTakenAsWrittenAndNeverClearsOlderEntries)
{
    read("1@5;80;80;8080;8080;7@6;1;2;3;4;9");
    read("3@7;90;90;90;90;8");
    EXPECT_EQ(g_iPolicyRecord.count, 3);
    EXPECT_EQ(entry(0), (Entry{7, 90, 90, 90, 90, 8}));
    EXPECT_EQ(entry(1), (Entry{6, 1, 2, 3, 4, 9})); // from the first reading
    EXPECT_EQ(entry(2), (Entry{0, 0, 0, 0, 0, 0}));

    read("0@8;1;1;1;1;7");
    EXPECT_EQ(g_iPolicyRecord.count, 0);
    EXPECT_EQ(entry(0).id, 8);
}

TEST_F(InboundRecords, EmptyValueKeepsTheTable)
{
    read("1@5;80;80;8080;8080;7");
    read("");
    EXPECT_EQ(g_iPolicyRecord.count, 1);
    read("@@@");
    EXPECT_EQ(g_iPolicyRecord.count, 1);
}

TEST_F(InboundRecords, PartialRecordsFillOnlyWhatScans)
{
    read("1@5;80;80;8080;8080;7");
    read("1@9;100");
    EXPECT_EQ(entry(0), (Entry{9, 100, 80, 8080, 8080, 7}));
    read("x@junk");
    EXPECT_EQ(g_iPolicyRecord.count, 0);
    EXPECT_EQ(entry(0), (Entry{9, 100, 80, 8080, 8080, 7}));
}

TEST_F(InboundRecords, OversizedInputStaysInsideTheTable)
{
    std::string value = "99999999999";
    for (int k = 0; k < 200; ++k)
        value += "@" + std::to_string(k) + ";1;2;3;4;7";
    sandbox::StdoutCapture out;
    read(value);
    EXPECT_EQ(g_iPolicyRecord.count, 171);
    EXPECT_EQ(entry(170).id, 170);
    EXPECT_EQ(out.finish(),
              "inbound_record: 2147483647 entries, only the first 171 are used\n"
              "inbound_record: more than 171 records, the rest ignored\n");

    read("-5@1;2;3;4;5;7");
    EXPECT_EQ(g_iPolicyRecord.count, 0);
}

TEST_F(InboundRecords, ValueLongerThanTheWorkBufferIsCutAtAWholeRecord)
{
    // 1 + 160 * 52 bytes: well past 8191, every record 52 bytes long.
    std::string value = "3";
    for (int k = 0; k < 160; ++k)
        value += "@" + std::string(40, '0') + std::to_string(k % 10) + ";1;2;3;4;7";
    sandbox::StdoutCapture out;
    read(value);
    EXPECT_EQ(out.finish(), "inbound_record: value longer than 8191 bytes, entries past it ignored\n");
    // 8191 bytes hold the count and 157 whole records; the 158th is cut
    // in the middle and must not be read half.
    int last = (8191 - 1) / 52 - 1;
    EXPECT_EQ(entry(last), (Entry{last % 10, 1, 2, 3, 4, 7}));
    EXPECT_EQ(entry(last + 1), (Entry{0, 0, 0, 0, 0, 0}));
}

} // namespace
