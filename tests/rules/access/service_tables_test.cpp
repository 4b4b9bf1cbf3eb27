// The exported default service tables, and the service list read from the
// engine at more services than a case file holds (the rest is in the case
// files).
#include <string>
#include <vector>

#include "agapi.h"
#include "arnonat.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

// Row I of both tables: "name protocol ports marked", the second table with
// its two port pairs.
std::string row(int i)
{
    const ArnonatServiceDefault &a = arnonat_serviceDefault[i];
    const ArnonatServiceDefault2 &b = arnonat_serviceDefault2[i];
    auto ports = [](int start, int end) { return " " + std::to_string(start) + "-" + std::to_string(end); };
    return a.name + (" " + std::to_string(a.protocol)) + ports(a.startPort, a.endPort) + " " + std::to_string(a.marked) +
           " | " + b.name + " " + std::to_string(b.protocol) + ports(b.startPort, b.endPort) +
           ports(b.startPort2, b.endPort2) + " " + std::to_string(b.marked);
}

TEST(ServiceDefaults, BothTablesHoldTheSameFortyThreeRows)
{
    EXPECT_EQ(row(0), "ALL -1 1-65535 0 | ALL -1 1-65535 1-65535 0");
    EXPECT_EQ(row(12), "FTP 6 20-21 1 | FTP 6 20-21 20-21 1");
    EXPECT_EQ(row(24), "Real-Audio -1 6970-7170 1 | Real-Audio -1 6970-7170 6970-7170 1");
    EXPECT_EQ(row(42), "PPTP 6 1723-1723 1 | PPTP 6 1723-1723 1723-1723 1");
    int marked = 0;
    for (int i = 0; i < ARNONAT_DEFAULT_SERVICES; ++i)
        marked += arnonat_serviceDefault[i].marked + 10 * arnonat_serviceDefault2[i].marked;
    EXPECT_EQ(marked, 110);
}

TEST(ServiceList, KeepsTheFirstServicesInListingOrder)
{
    natsim_reset();
    sandbox::StdoutCapture quiet;
    for (int i = 0; i < 70; ++i)
        agApi_fwServiceAdd(("s" + std::to_string(i)).c_str(), 6, static_cast<uint16_t>(i), 65535);
    quiet.finish();
    std::vector<ArnonatServiceEntry> entries(66);
    ASSERT_EQ(arnonat_getServiceTable(entries.data(), 65, 0), 65);
    EXPECT_EQ(entries[64].name + std::string(" ") + entries[64].startPort, "s64 64");
    EXPECT_EQ(arnonat_getServiceTable(nullptr, 5, 0), 0);
}

} // namespace
