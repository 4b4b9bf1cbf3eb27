// Firewall switches, DMZ host, traffic meter and policies: what the engine
// receives, byte for byte, and what it answers back.
#include <climits>

#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

struct SwitchPair {
    const char *name;
    int (*set)(int32_t);
    int (*get)(int32_t *);
    unsigned long set_code, get_code;
};

TEST_F(EngineTest, SwitchValuesGoToTheEngineAndComeBack)
{
    const SwitchPair pairs[] = {
        {"echo", agApi_fwEchoRespSet, agApi_fwEchoRespGet, 0x8004641A, 0x8004641B},
        {"spi", agApi_fwSpiStatusSet, agApi_fwSpiStatusGet, 0x8004641C, 0x8004641D},
        {"dos", agApi_fwDosEnableSet, agApi_fwDosEnableGet, 0x40046465, 0x80046464},
        {"sip", agApi_fwSipStatusSet, agApi_fwSipStatusGet, 0x80046498, 0x80046499},
        {"firewall", agApi_fwStatusSet, agApi_fwStatusGet, 0x80046422, 0x80046423},
    };
    for (const SwitchPair &p : pairs) {
        natsim_log_clear();
        int32_t value = -1;
        EXPECT_EQ(p.set(7), 1) << p.name;
        EXPECT_EQ(p.get(&value), 1) << p.name;
        EXPECT_EQ(value, 7) << p.name;
        ASSERT_EQ(natsim_log_size(), 2u);
        EXPECT_EQ(natsim_log_entry(0)->code, p.set_code) << p.name;
        EXPECT_EQ(natsim_log_entry(0)->arg, 7u) << p.name;
        EXPECT_EQ(natsim_log_entry(1)->code, p.get_code) << p.name;
        EXPECT_EQ(natsim_log_entry(1)->arg, reinterpret_cast<uintptr_t>(&value)) << p.name;
    }
}

TEST_F(EngineTest, GetHandsTheEngineANullAddressUntouched)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwSpiStatusGet(nullptr), -1);
    EXPECT_EQ(out.finish(), "[agApi_fwSpiStatusGet]:ioctl_set_msg failed:-1\n");
    EXPECT_EQ(only_call().arg, 0u);
}

TEST_F(EngineTest, HttpHijackSharesTheTrafficMeterCommandTenHigher)
{
    EXPECT_EQ(agApi_natSetTMHttpHijackFlag(0), 1);
    EXPECT_EQ(agApi_natSetTrafficMeterFlag(10), 1);
    ASSERT_EQ(natsim_log_size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(natsim_log_entry(i)->code, 0x8004644Bu);
        EXPECT_EQ(natsim_log_entry(i)->arg, 10u);
    }
    natsim_log_clear();
    EXPECT_EQ(agApi_natSetTMHttpHijackFlag(INT32_MAX - 10), 1);
    EXPECT_EQ(only_call().arg, static_cast<uint32_t>(INT32_MAX));

    // One more would not fit the engine's 32-bit value.
    natsim_log_clear();
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natSetTMHttpHijackFlag(INT32_MAX - 9), -1);
    EXPECT_EQ(out.finish(), "[agApi_natSetTMHttpHijackFlag]:value 2147483638 out of range, nothing sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, TrafficMeterLimitsCarryFourFieldsUnderACountOfThree)
{
    EXPECT_EQ(agApi_natSetTMLimitCfg(1, 2, 0x123456789ull, 4), 1);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x800464ABu);
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(lengths(c, 5), (std::vector<uint32_t>{4, 4, 8, 4, 0}));
    EXPECT_EQ(field(c, 0), bytes<uint32_t>(1));
    EXPECT_EQ(field(c, 1), bytes<uint32_t>(2));
    EXPECT_EQ(field(c, 2), bytes<uint64_t>(0x123456789ull));
    EXPECT_EQ(field(c, 3), bytes<uint32_t>(4));
    EXPECT_EQ(c.word[4], 0u);
}

TEST_F(EngineTest, DmzRuleAndStatus)
{
    EXPECT_EQ(agApi_fwDMZRuleSet(0, 1, 0x0501a8c0), 1);
    const natsim_call &rule = only_call();
    EXPECT_EQ(rule.code, 0x8004641Fu);
    EXPECT_EQ(rule.count, 3);
    EXPECT_EQ(lengths(rule, 4), (std::vector<uint32_t>{4, 4, 4, 0}));
    EXPECT_EQ(field(rule, 0) + field(rule, 1) + field(rule, 2),
              bytes<int32_t>(0) + bytes<int32_t>(1) + bytes<uint32_t>(0x0501a8c0));

    natsim_log_clear();
    int32_t on = 0, host = 0;
    EXPECT_EQ(agApi_fwDMZStatusGet(&on, &host), 1);
    const natsim_call &status = only_call();
    EXPECT_EQ(status.count, 2);
    EXPECT_EQ(status.word[0], reinterpret_cast<uintptr_t>(&on));
    EXPECT_EQ(status.word[1], reinterpret_cast<uintptr_t>(&host));
    EXPECT_EQ(lengths(status, 2), (std::vector<uint32_t>{4, 4}));
    EXPECT_EQ(status.data_len[0] + status.data_len[1], 0u); // output only
    EXPECT_EQ(on, 1);
    EXPECT_EQ(static_cast<uint32_t>(host), 0x0501a8c0u);
}

TEST_F(EngineTest, PolicyFieldsInArgumentOrder)
{
    EXPECT_EQ(agApi_fwPolicyAdd(1, "web", 2, 0x1234, 0x5678, 0x9abcdef0, 7, 9), 1);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x8004646Fu);
    EXPECT_EQ(c.count, 8);
    EXPECT_EQ(lengths(c, 9), (std::vector<uint32_t>{1, 4, 1, 2, 2, 4, 4, 1, 0}));
    EXPECT_EQ(field(c, 0), bytes<uint8_t>(1));
    EXPECT_EQ(field(c, 1), std::string("web", 4));
    EXPECT_EQ(field(c, 2), bytes<uint8_t>(2));
    EXPECT_EQ(field(c, 3), bytes<uint16_t>(0x1234));
    EXPECT_EQ(field(c, 4), bytes<uint16_t>(0x5678));
    EXPECT_EQ(field(c, 5), bytes<uint32_t>(0x9abcdef0));
    EXPECT_EQ(field(c, 6), bytes<uint32_t>(7));
    EXPECT_EQ(field(c, 7), bytes<uint8_t>(9));

    natsim_log_clear();
    EXPECT_EQ(agApi_fwPolicyAdd(0, "", 0, 0, 0, 0, 0, 0), -1); // the engine wants a name
    EXPECT_EQ(only_call().length[1], 1u);
    EXPECT_EQ(field(only_call(), 1), std::string("", 1));

    natsim_log_clear();
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwPolicyAdd(0, nullptr, 0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(out.finish(), "[agApi_fwPolicyAdd]:no policy name given, nothing sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, RefusedDnsQueryAddressIsReportedAsAFailure)
{
    EXPECT_EQ(agApi_natAddDnsQryIp(0x08080808), 1);
    EXPECT_EQ(field(only_call(), 0), bytes<uint32_t>(0x08080808));
    EXPECT_EQ(only_call().count, 1);

    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natAddDnsQryIp(0), -1); // the engine refuses address 0
    EXPECT_EQ(out.finish(), "[agApi_natAddDnsQryIp]:ioctl_set_msg failed:-1\n");
}

} // namespace
