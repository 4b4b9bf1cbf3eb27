// Every library function of the table against the simulated engine: the
// command and bytes the engine receives, and the function's answer when the
// engine takes the command or refuses it (a missing device: the kernel test).
#include <climits>
#include <cstring>

#include "natapi/library_test.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, EachFunctionSendsItsCommandAndAnswersByItsKind)
{
    for (const Function &f : functions()) {
        natsim_reset();
        natsim_force_result(f.code, 7);
        EXPECT_EQ(run(f.call), (Outcome{f.accepted_out, f.accepted})) << f.name;
        const natsim_call &c = only_call();
        EXPECT_EQ(c.code, f.code) << f.name;
        EXPECT_STREQ(c.device, (f.code >> 8 & 0xff) == 0x65 ? AGAPI_IPV6_DEVICE : AGAPI_NAT_DEVICE) << f.name;
        EXPECT_EQ(received(c), f.received) << f.name;
        sandbox::clear_calls();

        natsim_reset();
        natsim_force_result(f.code, -5);
        EXPECT_EQ(run(f.call), failure(f, -5)) << f.name;
        EXPECT_EQ(natsim_log_size(), 1u) << f.name;
        EXPECT_EQ(sandbox::calls(), std::vector<std::string>{}) << "refused: " << f.name;
    }
}

// Inputs at the edges: refused before the device is opened, with a line
// and nothing sent; the largest still sent; and values made of them.
// MISSING: FN called with ARGS lacks its WHAT.
#define MISSING(fn, args, what) {[] { return agApi_##fn args; }, "[agApi_" #fn "]:no " what " given, nothing sent\n-> -1\n"}
TEST_F(EngineTest, EdgeInputsAndWhatTheEngineReceives)
{
    char ww[] = "ww", web[] = "web", *del_web[] = {arg.del, web};
    std::vector<char *> words(33, ww);
    std::string x91(91, 'x'), x92(92, 'x'), all32 = "-> 0\n8004645f n32"; // x92 with ":b:c:d:e" is over 99
    for (int i = 0; i < 32; ++i)
        all32 += R"( "ww\0")";
    const std::pair<std::function<int()>, std::string> rows[] = {
        {[] { return agApi_setAlg(nullptr, 1); }, "agApi_setAlg input parameters error.\n-> 0\n"},
        {[] { return agApi_setAlg("", 1); }, "agApi_setAlg input parameters error.\n-> 0\n"},
        {[&] { return agApi_natRuleAdd(33, words.data()); }, "[agApi_natRuleAdd]:33 words refused, at most 32 are sent\n-> -1\n"},
        {[&] { return agApi_natRuleAdd2(33, words.data()); }, "[agApi_natRuleAdd2]:33 words refused, at most 32 are sent\n-> -1\n"},
        {[] { return agApi_natRulePortCheck(3, nullptr); }, "[agApi_natRulePortCheck]:3 words refused, at most 32 are sent\n-> -1\n"},
        {[&] { return agApi_natRulePortCheck(32, words.data()); }, all32 + "\n"},
        {[&] { return agApi_natRulePortCheck(-3, words.data()); }, "-> -3\n8004645f n-3\n"},
        {[&] { return agApi_natRulePortCheck(0, words.data()); }, "-> 0\n8004645f arg @\n"},
        {[&] { return agApi_natRuleDel(2, del_web); }, "[agApi_natRuleDel]:ioctl_set_msg failed:-1\n-> -1\n80046408 arg 0\n"},
        {[] { return agApi_natUnhook(nullptr); }, "-> 1\n80046427 arg 0\n"},
        {[] { return agApi_natLanUnhook(nullptr); }, "-> 1\n800464ad arg 0\n"},
        {[] { return agApi_fwGetAllServices(arg.services, 127); }, "agApi_fwGetAllServices: Error, array need to be at least 128\n-> 0\n"},
        {[] { return agApi_fwGetAllServices_Session2(arg.services, -1); },
         "agApi_fwGetAllServices_Session2: Error, array need to be at least 128\n-> 0\n"},
        {[] { return agApi_getFltrRuleCnt(nullptr); }, "-> 0\n"},
        {[] { return agApi_fwSpiStatusGet(nullptr); }, "[agApi_fwSpiStatusGet]:ioctl_set_msg failed:-1\n-> -1\n8004641d arg 0\n"},
        {[] { return agApi_natSetTMHttpHijackFlag(INT32_MAX - 9); },
         "[agApi_natSetTMHttpHijackFlag]:value 2147483638 out of range, nothing sent\n-> -1\n"},
        {[] { return agApi_fwSetTriggerConf(); }, "-> 0\n"},
        {[&] { return agApi_tmschAddConf(x92.c_str(), "b", "c", "d", "e", 1, 0, 0); },
         "[agApi_tmschAddConf]:text longer than 99 bytes refused, nothing written or run\n-> -1\n"},
        {[&] { return agApi_tmschAddConf(x91.c_str(), "b", "c", "d", "e", 1, 0, 0); },
         "-> 0\n8004643a n4 99:78787878.. 4:01000000 4:00000000 4:00000000\n"},
        MISSING(natHook, (nullptr), "interface name"), MISSING(natRuleDel, (1, arg.del_words), "rule ID"), MISSING(natRuleMod, (7, nullptr), "rule"),
        MISSING(fwServiceAdd, (nullptr, 6, 1, 2), "service name"), MISSING(fwPolicyAdd, (0, nullptr, 0, 0, 0, 0, 0, 0), "policy name"),
        MISSING(fwGetTriggerConf, (nullptr), "record"), MISSING(fwGetNextTriggerConf, (nullptr), "record"),
        MISSING(fwDelTriggerConf, (nullptr), "trigger name"), MISSING(fwDelTriggerConf2, (nullptr), "record"),
        MISSING(fwTriggerConfStatusSet, (nullptr, 1), "trigger name"), MISSING(fwURLFilterAddKeyword, (nullptr), "keyword"),
        MISSING(tmschDelConf_Session2, (nullptr), "schedule name"), MISSING(tmschAddConf, ("a", nullptr, "c", "d", "e", 1, 2, 3), "schedule text"),
        MISSING(natSetRegion, (nullptr), "text"),
    };
    for (const auto &[call, expected] : rows)
        EXPECT_EQ(transcript(call), expected);
    EXPECT_FALSE(sandbox::exists("/tmp/custom-service-rules"));
    EXPECT_EQ(agApi_natSetTMHttpHijackFlag(INT32_MAX - 10), 1);
    EXPECT_EQ(only_call().arg, static_cast<uint32_t>(INT32_MAX));
}
#undef MISSING

// The answer of the vector and listen port commands: the engine's result
// when it is 0 or more, otherwise the status it left in the count word.
TEST_F(EngineTest, AnswerIsTheResultOrTheStatusInTheCountWord)
{
    // 99: the engine answers itself (on the empty table a rule goes in, a
    // port check finds none).
    const int cases[][3] = {{0, 0, 99}, {0, -17, 99}, {7, -17, 7}, {-1, 0, 2}, {-5, -17, -17}};
    for (const Function &f : functions())
        for (const auto &[result, status, expected] : cases)
            if (std::strchr("VPW", f.kind)) {
                natsim_reset();
                natsim_force_result(f.code, result);
                natsim_force_count_status(f.code, status);
                EXPECT_EQ(run(f.call).result, expected == 99 ? f.kind != 'P' : expected) << f.name << " " << result;
            }
    // A listen port refused keeps its answer; a status keeps the port
    // closed, never from closing.  A range gives its status whatever the result.
    sandbox::set("wan_ifname", "eth1");
    for (int result : {-5, 0, 5}) {
        natsim_reset();
        natsim_force_result(0x8004643D, result);
        natsim_force_count_status(0x8004643D, -28);
        natsim_force_result(0x4004646A, result);
        natsim_force_count_status(0x4004646A, -22);
        EXPECT_EQ(run([] { return agApi_setDeviceListenPort_2(2, 8080, 1, "all", "", ""); }),
                  (result < 0 ? Outcome{kPort + "\nagApi_setDeviceListenPort_2 (5434) ret_val:-5\n", -5}
                              : Outcome{kPort + "ret_val: -28, enable: 1\n", -28}));
        EXPECT_EQ(run([] { return agApi_setDeviceListenPortRange(5010, 5000, 1); }),
                  (Outcome{"agApi_setDeviceListenPortRange5496 : errorno = -22\n", -22}));
    }
    EXPECT_EQ(sandbox::calls(), std::vector<std::string>{});
    EXPECT_EQ(run([] { return agApi_setDeviceListenPort_2(2, 8080, 0, "all", "1.2.3.4", "1.2.3.9"); }).result, -28);
    EXPECT_EQ(sandbox::calls().size(), 4u);
}

} // namespace
