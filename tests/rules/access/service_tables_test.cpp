// The default service tables, and the service list read from the engine at
// more services than a case file holds (the rest is in the case files).
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "agapi.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

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

class ServiceList : public sandbox::Test {};

TEST_F(ServiceList, KeepsTheFirstServicesInListingOrder)
{
    natsim_reset();
    sandbox::StdoutCapture quiet;
    for (int i = 0; i < 70; ++i)
        agApi_fwServiceAdd(("s" + std::to_string(i)).c_str(), 6, static_cast<uint16_t>(i), 65535);
    quiet.finish();
    std::vector<ArnonatServiceEntry> entries(66);
    ASSERT_EQ(arnonat_getServiceTable(entries.data(), 65, 0), 65);
    EXPECT_STREQ(entries[64].name, "s64");
    EXPECT_STREQ(entries[64].startPort, "64");
    EXPECT_EQ(arnonat_getServiceTable(nullptr, 5, 0), 0);
}

} // namespace
