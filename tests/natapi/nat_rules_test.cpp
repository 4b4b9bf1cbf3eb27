// The NAT rule table: the answers of the vector commands, the forwarding
// rule applied at once, the table walk over the three windows and the
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

TEST_F(EngineTest, VectorAnswersAreTheEnginesOrItsStatus)
{
    // The command's result when it is 0 or more, otherwise the count word
    // as the engine left it; 99: the engine answers itself.
    const struct {
        int (*call)(int, char *const[]);
        unsigned long code;
        int own; // the engine's answer on an empty table
    } functions[] = {{agApi_natRuleAdd2, 0x80046428, 1}, {agApi_natRuleAddForUpnp, 0x80046492, 1},
                     {agApi_natRulePortCheck, 0x8004645F, 0}};
    const struct {
        int result, status, expected;
    } cases[] = {{0, 0, 99}, {0, -17, 99}, {7, -17, 7}, {-1, 0, 2}, {-5, -17, -17}};
    for (const auto &f : functions)
        for (const auto &c : cases) {
            natsim_reset();
            natsim_force_result(f.code, c.result);
            natsim_force_count_status(f.code, c.status);
            EXPECT_EQ(f.call(2, arg.add_words), c.expected == 99 ? f.own : c.expected)
                << std::hex << f.code << std::dec << " " << c.result << " " << c.status;
        }
}

TEST_F(EngineTest, RuleAdd2AppliesTheForwardingRuleAtOnce)
{
    sandbox::set("wan_ifname", "eth0");
    sandbox::set("lan_ifname", "br0");
    sandbox::set("dhcp_start", "192.168.1.2");
    sandbox::set("wan_ipaddr", "10.0.0.5");
    std::string w[] = {"ruleadd", "80", "80", "192.168.1.10", "8080", "tcp"};
    char *argv[] = {w[0].data(), w[1].data(), w[2].data(), w[3].data(), w[4].data(), w[5].data()};
    EXPECT_EQ(printed([&] { EXPECT_EQ(agApi_natRuleAdd2(6, argv), 1); }), "");
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules").substr(0, 42),
              "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\nipt");
    EXPECT_EQ(sandbox::calls(),
              (std::vector<std::string>{
                  "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p tcp --dport 8080 -j DNAT --to-destination 192.168.1.10:80",
                  "iptables -t nat -A POSTROUTING -o br0 -p tcp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5",
                  "iptables -A PORTFORWARD_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -d 192.168.1.10 -p tcp --dport 80 -j ACCEPT",
                  "iptables -t nat -A PORTFORWARD_NAT_CHAIN -p tcp -i br0 -s 192.168.1.2/24 -d 10.0.0.5/32 --dport 8080 -j DNAT --to-destination 192.168.1.10:80",
                  "iptables -t nat -A POST_PORTFORWARD_CHAIN -p tcp -s 192.168.1.2/24 -o br0 -d 192.168.1.10 --dport 80 -j SNAT --to-source 10.0.0.5"}));
}

const std::string kHeader =
    " id wif lif          wan_ip          lan_ip        lan_mask fport1 fport2 s_port    time  timeout  type nat prot once resv confl       ForeignIp add_from\n";
const std::string kDashes = std::string(60, '-') + "\n";

TEST_F(EngineTest, DumpPrintsTheWindowsInUseWithTheEnginesTime)
{
    load({kPortForward, rule(4, 0x20, 0x00), kOther}, {0, 2, 2, 1, 0, 0});
    EXPECT_EQ(printed(agApi_natDumpRuleTbl),
              "\nCurrent time: 86400\n" + kHeader + kDashes +
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
