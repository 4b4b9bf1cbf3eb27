// The default service tables and the service list the generators read from
// the engine: twins merged, DMZ and forwarding services left out, defaults
// picked by exact name.
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "natapi/engine_test.h"

namespace {

using natapi_test::EngineTest;

struct Row {
    std::string name;
    std::string protocol;
    int index;
    int twin;
    bool operator==(const Row &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Row &r)
{
    return os << r.name << "/" << r.protocol << "/" << r.index << "/" << r.twin;
}

void add(int session, const std::string &name, uint8_t protocol, uint16_t start = 1, uint16_t end = 2)
{
    sandbox::StdoutCapture out;
    int r = session == 1 ? agApi_fwServiceAdd(name.c_str(), protocol, start, end)
                         : agApi_fwServiceAdd_Session2(name.c_str(), protocol, start, end);
    out.finish();
    ASSERT_GE(r, 0) << name;
}

std::vector<Row> table(int session, int default_only, unsigned capacity = 65)
{
    std::vector<ArnonatServiceEntry> entries(capacity + 1);
    std::memset(entries.data(), 0x7f, entries.size() * sizeof entries[0]);
    int n = session == 1 ? arnonat_getServiceTable(entries.data(), capacity, default_only)
                         : arnonat_getServiceTable2(entries.data(), capacity, default_only);
    EXPECT_LE(n, static_cast<int>(capacity));
    EXPECT_EQ(entries[capacity].index, 0x7f7f7f7f) << "written past the capacity";
    std::vector<Row> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({entries[i].name, entries[i].protocol, entries[i].index, entries[i].twinIndex});
    return rows;
}

TEST(ServiceDefaults, BothTablesHoldTheSameFortyThreeRowsInTheirLayouts)
{
    static_assert(sizeof arnonat_serviceDefault == 43 * 72 && sizeof arnonat_serviceDefault2 == 43 * 72);
    const ArnonatServiceDefault &ftp = arnonat_serviceDefault[12];
    EXPECT_STREQ(ftp.name, "FTP");
    EXPECT_EQ(ftp.protocol, 6);
    EXPECT_EQ(ftp.startPort, 20);
    EXPECT_EQ(ftp.endPort, 21);
    EXPECT_EQ(ftp.marked, 1);
    const ArnonatServiceDefault2 &audio = arnonat_serviceDefault2[24];
    EXPECT_STREQ(audio.name, "Real-Audio");
    EXPECT_EQ(audio.protocol, -1);
    EXPECT_EQ(std::vector<int>({audio.startPort, audio.endPort, audio.startPort2, audio.endPort2, audio.marked}),
              std::vector<int>({6970, 7170, 6970, 7170, 1}));
    EXPECT_STREQ(arnonat_serviceDefault[0].name, "ALL");
    EXPECT_STREQ(arnonat_serviceDefault[42].name, "PPTP");
    EXPECT_EQ(arnonat_serviceDefault2[42].endPort2, 1723);
    int marked = 0;
    for (int i = 0; i < ARNONAT_DEFAULT_SERVICES; ++i) {
        EXPECT_STREQ(arnonat_serviceDefault[i].name, arnonat_serviceDefault2[i].name);
        EXPECT_EQ(arnonat_serviceDefault[i].marked, arnonat_serviceDefault2[i].marked);
        marked += arnonat_serviceDefault[i].marked;
        const char zero[24] = {};
        EXPECT_EQ(std::memcmp(arnonat_serviceDefault[i].reserved, zero, 24), 0);
        EXPECT_EQ(std::memcmp(arnonat_serviceDefault2[i].reserved, zero, 16), 0);
    }
    EXPECT_EQ(marked, 10);
}

TEST_F(EngineTest, TwinsMergeIntoOneServiceForBothProtocols)
{
    add(1, "FTP", 6);
    add(1, "FTP_zZz", 17);
    add(1, "Orphan_zZz", 17); // its main record is absent
    add(1, "_zZz", 6);        // a service of its own
    add(1, "Game", 17);
    add(1, "dmz_host", 6);
    add(1, "fwd_head_1", 6);
    add(1, "Game_zZz", 6); // not next to its service
    add(1, "GRE", 47);
    EXPECT_EQ(table(1, 0), (std::vector<Row>{{"FTP", "TCP/UDP", 0, 1},
                                             {"_zZz", "TCP", 3, -1},
                                             {"Game", "TCP/UDP", 4, 7},
                                             {"GRE", "47", 8, -1}}));
    // The second session has a table of its own.
    EXPECT_TRUE(table(2, 0).empty());
}

TEST_F(EngineTest, DefaultOnlyPicksServicesNamedAsADefaultRow)
{
    add(1, "http", 6);
    add(1, "HTTP", 6);
    add(1, "dmz_HTTP", 6);
    add(1, "DNS", 6);
    add(1, "DNS_zZz", 17);
    add(1, "My game", 17);
    EXPECT_EQ(table(1, 1), (std::vector<Row>{{"HTTP", "TCP", 1, -1}, {"DNS", "TCP/UDP", 3, 4}}));
    add(2, "SNMP TRAPS", 17);
    add(2, "Quake", 17);
    EXPECT_EQ(table(2, 7), (std::vector<Row>{{"SNMP TRAPS", "UDP", 0, -1}}));
}

TEST_F(EngineTest, CapacityKeepsTheFirstServicesInListingOrder)
{
    for (int i = 0; i < 70; ++i)
        add(1, "s" + std::to_string(i), 6, static_cast<uint16_t>(i), 65535);
    std::vector<Row> rows = table(1, 0);
    ASSERT_EQ(rows.size(), 65u);
    EXPECT_EQ(rows[64], (Row{"s64", "TCP", 64, -1}));
    EXPECT_EQ(table(1, 0, 1), (std::vector<Row>{{"s0", "TCP", 0, -1}}));
    EXPECT_TRUE(table(1, 0, 0).empty());

    ArnonatServiceEntry one;
    EXPECT_EQ(arnonat_getServiceTable(&one, 1, 0), 1);
    EXPECT_STREQ(one.startPort, "0");
    EXPECT_STREQ(one.endPort, "65535");
    EXPECT_EQ(arnonat_getServiceTable(nullptr, 5, 0), 0);
}

} // namespace
