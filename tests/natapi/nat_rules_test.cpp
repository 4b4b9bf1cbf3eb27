// The NAT rule table: the walk over the three windows, the lookup and the
// printed table, byte for byte.
#include <arpa/inet.h>

#include "natapi/library_test.h"

namespace {

using namespace natapi_test;

NatRuleRecord rule(int32_t id, uint8_t flags_a = 0x20, uint8_t flags_b = 0x10)
{
    return {.id = id, .flags_a = flags_a, .flags_b = flags_b};
}

// Type 1, nat 2, UDP, once.
const NatRuleRecord kPortForward = {.id = 3, .wif = 1, .lif = 2, .lan_ip = inet_addr("192.168.1.10"),
                                    .lan_mask = inet_addr("255.255.255.0"), .fport1 = htons(8080), .fport2 = htons(8080),
                                    .s_port = htons(80), .time = 100, .timeout = 300, .flags_a = 0x21, .flags_b = 0x51,
                                    .add_from = 4};
// Type 0, resv 3, nat 1, prot 15, confl.
const NatRuleRecord kOther = {.id = 9, .wan_ip = inet_addr("203.0.113.7"), .lan_ip = inet_addr("192.168.1.20"),
                              .fport1 = htons(7000), .fport2 = htons(7010), .s_port = htons(6000),
                              .ForeignIp = inet_addr("198.51.100.1"), .flags_a = 0x1c, .flags_b = 0x3f};

void load(std::vector<NatRuleRecord> table, std::vector<int32_t> windows)
{
    ASSERT_EQ(natsim_set_nat_table(table.data(), static_cast<int>(table.size()), windows.data()), 0);
}

const std::string kDashes = std::string(60, '-') + "\n";

TEST_F(EngineTest, DumpPrintsTheWindowsInUseWithTheEnginesTime)
{
    load({kPortForward, rule(4, 0x20, 0x00), kOther}, {0, 2, 2, 1, 0, 0});
    EXPECT_EQ(printed(agApi_natDumpRuleTbl),
              "\nCurrent time: 86400\n" + kRuleTableHeader +
                  "  3   1   2         0.0.0.0    192.168.1.10   255.255.255.0   8080   8080     80     100      300     1   2  UDP    1    0     0         0.0.0.0        4\n" +
                  kDashes +
                  "  9   0   0     203.0.113.7    192.168.1.20         0.0.0.0   7000   7010   6000       0        0     0   1  ALL    0    3     1    198.51.100.1        0\n" +
                  kDashes + "Total 2 rules.\n\n");
    // The listing shows only port forwarding rules.
    EXPECT_EQ(printed(agApi_natRuleGet),
              "\nID: 3, wan Ip: 0.0.0.0, wan port: 8080, lan Ip: 192.168.1.10, lan port: 80\n\n");
}

TEST_F(EngineTest, LookupCopiesTheInUseRuleOut)
{
    load({rule(5, 0x20, 0x00), kPortForward, rule(5)}, {0, 3, 0, 0, 0, 0});
    const NatRuleRecord *found = agApi_zoltGetNatRuleByID(3);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(bytes(*found), bytes(kPortForward));
    const NatRuleRecord *five = agApi_zoltGetNatRuleByID(5);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->flags_b, 0x10); // the free rule 5 before it does not count
    EXPECT_EQ(agApi_zoltGetNatRuleByID(77), nullptr);
}

TEST(NatRuleWalk, WindowsTouchOverlapSkipAndStayInsideTheTable)
{
    static NatRuleRecord table[AGAPI_NAT_RULES_MAX];
    for (int i = 0; i < AGAPI_NAT_RULES_MAX; ++i)
        table[i] = rule(i);
    table[12].flags_b = 0x0f; // every bit but in-use
    auto span = [](int from, int to, std::vector<int> v = {}) {
        for (int i = from; i < to; ++i)
            v.push_back(i);
        return v;
    };
    const struct {
        std::vector<int32_t> w;
        int32_t cursor;
        std::vector<int> ids;
    } cases[] = {
        {{0, 10, 10, 10, 100, 180}, -1, span(100, 280, span(13, 20, span(0, 12)))},
        {{0, 10, 10, 10, 100, 180}, 7, span(100, 280, span(13, 20, span(8, 12)))},
        {{0, 6, 3, 6, 4, 2}, -1, span(0, 9)},      // overlaps walked once
        {{50, 3, 10, 5, 52, 4}, -1, span(50, 56)}, // a window below the cursor is skipped
        {{270, 100, -5, 7, 2147483000, 2000}, -1, span(270, 280)},
        {{-5, 7, 0, -3, 0, 0}, -1, span(0, 2)},
        {{0, 2, 0, 0, 0, 0}, 2147483647, {}},
        {{0, 0, 0, 0, 0, 0}, -1, {}},
    };
    for (const auto &c : cases) {
        std::vector<int> seen;
        int32_t cursor = c.cursor;
        while (const NatRuleRecord *r =
                   EnumerateNatRule(&cursor, table, c.w[0], c.w[1], c.w[2], c.w[3], c.w[4], c.w[5])) {
            EXPECT_EQ(r, &table[cursor]);
            seen.push_back(r->id);
        }
        EXPECT_EQ(seen, c.ids) << c.w[0] << "," << c.w[1] << " cursor " << c.cursor;
        EXPECT_EQ(cursor, c.ids.empty() ? c.cursor : c.ids.back()); // unchanged once none is left
    }
}

} // namespace
