// The NAT rule table: the vectors and messages the engine receives, the
// table walk over the three windows and the printed table, byte for byte.
#include <arpa/inet.h>

#include <string>
#include <vector>

#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

NatRuleRecord rule(int32_t id, uint8_t flags_a = 0x20, uint8_t flags_b = 0x10)
{
    NatRuleRecord r{};
    r.id = id;
    r.flags_a = flags_a;
    r.flags_b = flags_b;
    return r;
}

NatRuleRecord port_forward_rule()
{
    NatRuleRecord r = rule(3, 0x21, 0x51); // type 1, nat 2, UDP, once
    r.wif = 1;
    r.lif = 2;
    r.lan_ip = inet_addr("192.168.1.10");
    r.lan_mask = inet_addr("255.255.255.0");
    r.fport1 = r.fport2 = htons(8080);
    r.s_port = htons(80);
    r.time = 100;
    r.timeout = 300;
    r.add_from = 4;
    return r;
}

NatRuleRecord other_rule()
{
    NatRuleRecord r = rule(9, 0x1c, 0x3f); // type 0, resv 3, nat 1, prot 15, confl
    r.wan_ip = inet_addr("203.0.113.7");
    r.lan_ip = inet_addr("192.168.1.20");
    r.fport1 = htons(7000);
    r.fport2 = htons(7010);
    r.s_port = htons(6000);
    r.ForeignIp = inet_addr("198.51.100.1");
    return r;
}

void load(std::vector<NatRuleRecord> table, std::vector<int32_t> windows)
{
    ASSERT_EQ(natsim_set_nat_table(table.data(), static_cast<int>(table.size()), windows.data()), 0);
}

struct Words {
    std::vector<std::string> text;
    std::vector<char *> argv;
    explicit Words(std::vector<std::string> words) : text(std::move(words))
    {
        for (std::string &w : text)
            argv.push_back(w.data());
    }
    int argc() const { return static_cast<int>(argv.size()); }
};

TEST_F(EngineTest, VectorsKeepToTheirThirtyTwoSlots)
{
    Words w(std::vector<std::string>(33, "w"));
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natRuleAdd(33, w.argv.data()), -1);
    EXPECT_EQ(agApi_natRuleAdd2(33, w.argv.data()), -1);
    EXPECT_EQ(agApi_natRulePortCheck(3, nullptr), -1);
    EXPECT_EQ(out.finish(), "[agApi_natRuleAdd]:33 words refused, at most 32 are sent\n"
                            "[agApi_natRuleAdd2]:33 words refused, at most 32 are sent\n"
                            "[agApi_natRulePortCheck]:3 words refused, at most 32 are sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
    EXPECT_FALSE(sandbox::exists("/tmp/custom-service-rules"));

    EXPECT_EQ(agApi_natRulePortCheck(32, w.argv.data()), 0);
    EXPECT_EQ(only_call().word[31], reinterpret_cast<uintptr_t>(w.argv[31]));
    for (int count : {0, -3}) {
        natsim_log_clear();
        agApi_natRulePortCheck(count, w.argv.data());
        EXPECT_EQ(only_call().count, count);
        EXPECT_EQ(only_call().word[0], 0u);
    }
}

TEST_F(EngineTest, AddAnswersAreTheEnginesOrItsStatus)
{
    struct Function {
        int (*call)(int, char *const[]);
        unsigned long code;
        int own; // the engine's answer on an empty table
    };
    const Function functions[] = {
        {agApi_natRuleAdd2, 0x80046428, 1}, // the new rule's ID
        {agApi_natRuleAddForUpnp, 0x80046492, 1},
        {agApi_natRulePortCheck, 0x8004645F, 0},
    };
    // The command's result when it is 0 or more, otherwise the count word as
    // the engine left it (result 0: the engine answers itself).
    constexpr int kOwn = 99;
    struct Case {
        int result;
        int32_t status;
        int expected;
    };
    const Case cases[] = {
        {0, 0, kOwn}, {0, -17, kOwn}, {7, -17, 7}, {-1, 0, 2 /* count as sent */}, {-5, -17, -17},
    };
    Words w({"ruleadd", "1"});
    for (const Function &f : functions)
        for (const Case &c : cases) {
            natsim_reset();
            natsim_force_result(f.code, c.result);
            natsim_force_count_status(f.code, c.status);
            EXPECT_EQ(f.call(w.argc(), w.argv.data()), c.expected == kOwn ? f.own : c.expected)
                << std::hex << f.code << std::dec << " " << c.result << " " << c.status;
        }

    natsim_set_device(AGAPI_NAT_DEVICE, 0);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natRuleAddForUpnp(w.argc(), w.argv.data()), 0);
    EXPECT_EQ(agApi_natRulePortCheck(w.argc(), w.argv.data()), -1);
    EXPECT_EQ(out.finish(), "");
}

TEST_F(EngineTest, RuleAdd2AppliesTheForwardingRuleAtOnce)
{
    sandbox::set("wan_ifname", "eth0");
    sandbox::set("lan_ifname", "br0");
    sandbox::set("dhcp_start", "192.168.1.2");
    sandbox::set("wan_ipaddr", "10.0.0.5");
    Words w({"ruleadd", "80", "80", "192.168.1.10", "8080", "tcp"});
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natRuleAdd2(w.argc(), w.argv.data()), 1);
    EXPECT_EQ(out.finish(), "");
    const natsim_call &add = *natsim_log_entry(0);
    EXPECT_EQ(add.code, 0x80046428u);
    EXPECT_EQ(add.count, 6);
    EXPECT_EQ(field(add, 3), std::string("192.168.1.10", 13));

    const std::string script = sandbox::read_file("/tmp/custom-service-rules");
    EXPECT_EQ(script.substr(0, 42), "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\nipt");
    // The call log shows the arguments one blank apart.
    EXPECT_EQ(sandbox::calls(),
              (std::vector<std::string>{
                  "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p tcp --dport 8080 -j DNAT --to-destination 192.168.1.10:80",
                  "iptables -t nat -A POSTROUTING -o br0 -p tcp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5",
                  "iptables -A PORTFORWARD_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -d 192.168.1.10 -p tcp --dport 80 -j ACCEPT",
                  "iptables -t nat -A PORTFORWARD_NAT_CHAIN -p tcp -i br0 -s 192.168.1.2/24 -d 10.0.0.5/32 --dport 8080 -j DNAT --to-destination 192.168.1.10:80",
                  "iptables -t nat -A POST_PORTFORWARD_CHAIN -p tcp -s 192.168.1.2/24 -o br0 -d 192.168.1.10 --dport 80 -j SNAT --to-source 10.0.0.5"}));
}

TEST_F(EngineTest, DeleteClearAndModify)
{
    load({rule(12), rule(3)}, {0, 2, 0, 0, 0, 0});
    Words ids({"ruledel", "12"}), word({"ruledel", "web"});
    EXPECT_EQ(agApi_natRuleDel(ids.argc(), ids.argv.data()), 1);
    EXPECT_EQ(only_call().code, 0x80046408u);
    EXPECT_EQ(only_call().arg, 12u);
    EXPECT_EQ(agApi_zoltGetNatRuleByID(12), nullptr);

    NatRuleRecord changed = port_forward_rule();
    natsim_log_clear();
    EXPECT_EQ(agApi_natRuleMod(7, &changed), 1);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(lengths(c, 3), (std::vector<uint32_t>{4, 48, 0}));
    EXPECT_EQ(field(c, 0) + field(c, 1), bytes<int32_t>(7) + bytes(changed));
    EXPECT_EQ(bytes(*agApi_zoltGetNatRuleByID(3)), bytes(changed));

    natsim_log_clear();
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natRuleDel(word.argc(), word.argv.data()), -1); // no rule 0
    EXPECT_EQ(only_call().arg, 0u);
    EXPECT_EQ(agApi_natRuleDel(1, ids.argv.data()), -1);
    EXPECT_EQ(agApi_natRuleMod(7, nullptr), -1);
    EXPECT_EQ(agApi_natRuleClear(), 1);
    EXPECT_EQ(natsim_log_entry(1)->arg, 0u);
    EXPECT_EQ(agApi_zoltGetNatRuleByID(3), nullptr);
    EXPECT_EQ(out.finish(), "[agApi_natRuleDel]:ioctl_set_msg failed:-1\n"
                            "[agApi_natRuleDel]:no rule ID given, nothing sent\n"
                            "[agApi_natRuleMod]:no rule given, nothing sent\n");
}

const std::string kHeader =
    " id wif lif          wan_ip          lan_ip        lan_mask fport1 fport2 s_port    time  timeout  type nat prot once resv confl       ForeignIp add_from\n";
const std::string kDashes = std::string(60, '-') + "\n";

TEST_F(EngineTest, DumpPrintsTheWindowsInUseWithTheEnginesTime)
{
    load({port_forward_rule(), rule(4, 0x20, 0x00), other_rule()}, {0, 2, 2, 1, 0, 0});
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natDumpRuleTbl(), 1);
    EXPECT_EQ(out.finish(),
              "\nCurrent time: 86400\n" + kHeader + kDashes +
                  "  3   1   2         0.0.0.0    192.168.1.10   255.255.255.0   8080   8080     80     100      300     1   2  UDP    1    0     0         0.0.0.0        4\n" +
                  kDashes +
                  "  9   0   0     203.0.113.7    192.168.1.20         0.0.0.0   7000   7010   6000       0        0     0   1  ALL    0    3     1    198.51.100.1        0\n" +
                  kDashes + "Total 2 rules.\n\n");
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(only_call().word[i] != 0, i < 8) << i;

    natsim_reset();
    sandbox::StdoutCapture empty;
    EXPECT_EQ(agApi_natDumpRuleTbl(), 1);
    EXPECT_EQ(empty.finish(), "\nCurrent time: 86400\n" + kHeader + kDashes + "Total 0 rules.\n\n");
}

TEST_F(EngineTest, ListingShowsOnlyPortForwardingRules)
{
    load({port_forward_rule(), other_rule()}, {0, 2, 0, 0, 0, 0});
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natRuleGet(), 1);
    EXPECT_EQ(out.finish(), "\nID: 3, wan Ip: 0.0.0.0, wan port: 8080, lan Ip: 192.168.1.10, lan port: 80\n\n");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(only_call().word[i] != 0, i < 7) << i;
}

TEST_F(EngineTest, TableReadersReportTheirFailures)
{
    natsim_force_result(0x8004640A, -5);
    natsim_force_result(0x80046404, -5);
    sandbox::StdoutCapture refused;
    EXPECT_EQ(agApi_natRuleGet(), -1);
    EXPECT_EQ(agApi_natDumpRuleTbl(), -1);
    EXPECT_EQ(agApi_zoltGetNatRuleByID(1), nullptr);
    EXPECT_EQ(refused.finish(), "[agApi_natRuleGet]:ioctl_set_msg failed:-5\n"
                                "[agApi_natDumpRuleTbl]:ioctl_set_msg failed:-5\n");
    natsim_set_device(AGAPI_NAT_DEVICE, 0);
    sandbox::StdoutCapture absent;
    EXPECT_EQ(agApi_zoltGetNatRuleByID(1), nullptr);
    EXPECT_EQ(absent.finish(), "");
}

TEST_F(EngineTest, LookupCopiesTheInUseRuleOut)
{
    load({rule(5, 0x20, 0x00), port_forward_rule(), rule(5)}, {0, 3, 0, 0, 0, 0});
    const NatRuleRecord *found = agApi_zoltGetNatRuleByID(3);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(bytes(*found), bytes(port_forward_rule()));
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
    struct Case {
        std::vector<int32_t> w;
        int32_t cursor;
        std::vector<int> ids;
    };
    const Case cases[] = {
        {{0, 10, 10, 10, 100, 180}, -1, span(100, 280, span(13, 20, span(0, 12)))},
        {{0, 10, 10, 10, 100, 180}, 7, span(100, 280, span(13, 20, span(8, 12)))},
        {{0, 6, 3, 6, 4, 2}, -1, span(0, 9)},         // overlaps walked once
        {{50, 3, 10, 5, 52, 4}, -1, span(50, 56)},    // a window below the cursor is skipped
        {{270, 100, -5, 7, 2147483000, 2000}, -1, span(270, 280)},
        {{-5, 7, 0, -3, 0, 0}, -1, span(0, 2)},
        {{0, 2, 0, 0, 0, 0}, 2147483647, {}},
        {{0, 0, 0, 0, 0, 0}, -1, {}},
    };
    for (const Case &c : cases) {
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
