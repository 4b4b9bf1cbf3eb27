// The control device's command codes and the layouts of the messages the
// engine reads.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "agapi.h"
#include "natapi/command_table.h"
#include "natapi/exchange.h"

namespace {

using namespace arnonat::natapi;

struct Expected {
    const char *function;
    uint32_t code;
};

// The engine's command codes, function by function, as the engine's
// developers publish them.
const Expected kCodes[] = {
    {"agApi_natEnable", 0x80046400u},
    {"agApi_natDisable", 0x80046401u},
    {"agApi_natGetStatus", 0x80046402u},
    {"agApi_natDumpAlgTbl", 0x80046405u},
    {"agApi_natVerShow", 0x80046406u},
    {"agApi_natHook", 0x80046425u},
    {"agApi_natLanHook", 0x80046426u},
    {"agApi_natUnhook", 0x80046427u},
    {"agApi_natPptpWanHook", 0x80046448u},
    {"agApi_natWanIfCnt", 0x8004646Du},
    {"agApi_natSipAlgCfg", 0x80046497u},
    {"agApi_setAlg", 0x8004649Au},
    {"agApi_natLanUnhook", 0x800464ADu},
    {"agApi_natDumpRuleTbl", 0x80046404u},
    {"agApi_natRuleAdd", 0x80046407u},
    {"agApi_natRuleDel", 0x80046408u},
    {"agApi_natRuleClear", 0x80046409u},
    {"agApi_natRuleGet", 0x8004640Au},
    {"agApi_zoltGetNatRuleByID", 0x8004640Au},
    {"agApi_natRuleAdd2", 0x80046428u},
    {"agApi_natRuleMod", 0x8004642Au},
    {"agApi_natRulePortCheck", 0x8004645Fu},
    {"agApi_natRuleAddForUpnp", 0x80046492u},
    {"agApi_natDumpConnTbl", 0x80046403u},
    {"agApi_fwConnTblShow", 0x80046421u},
    {"agApi_natAddConnTblEntry", 0x40046447u},
    {"agApi_natShowConn", 0x8004644Eu},
    {"agApi_natShowConn_Tcp", 0x8004644Fu},
    {"agApi_natShowConn_Udp", 0x80046450u},
    {"agApi_natShowConn_Icmp", 0x80046451u},
    {"agApi_natShowConn_Other", 0x80046452u},
    {"agApi_natShowConn_TcpIn", 0x80046453u},
    {"agApi_natShowConn_TcpOut", 0x80046454u},
    {"agApi_natShowConn_TcpSelf", 0x80046455u},
    {"agApi_natShowConn_UdpIn", 0x80046456u},
    {"agApi_natShowConn_UdpOut", 0x80046457u},
    {"agApi_natShowConn_UdpSelf", 0x80046458u},
    {"agApi_natShowConn_IcmpIn", 0x80046459u},
    {"agApi_natShowConn_IcmpOut", 0x8004645Au},
    {"agApi_natShowConn_IcmpSelf", 0x8004645Bu},
    {"agApi_natShowConn_OtherIn", 0x8004645Cu},
    {"agApi_natShowConn_OtherOut", 0x8004645Du},
    {"agApi_natShowConn_OtherSelf", 0x8004645Eu},
    {"agApi_natShowConn_Port", 0x80046460u},
    {"agApi_fwServiceList", 0x8004640Bu},
    {"agApi_fwGetServiceByName", 0x8004640Bu},
    {"agApi_fwGetServiceName", 0x8004640Bu},
    {"agApi_fwGetAllServices", 0x8004640Bu},
    {"agApi_fwServiceAdd", 0x8004640Cu},
    {"agApi_fwServiceDel", 0x8004640Du},
    {"agApi_fwServiceMod", 0x8004640Eu},
    {"agApi_fwServiceDelByName", 0x80046429u},
    {"agApi_fwServiceGetCnt", 0x80046441u},
    {"agApi_fwServiceGet", 0x80046442u},
    {"agApi_fwGetServiceByName_Session2", 0x8004647Fu},
    {"agApi_fwGetAllServices_Session2", 0x8004647Fu},
    {"agApi_fwServiceAdd_Session2", 0x80046480u},
    {"agApi_fwServiceDel_Session2", 0x80046481u},
    {"agApi_fwServiceDelByName_Session2", 0x80046482u},
    {"agApi_fwServiceMod_Session2", 0x80046483u},
    {"agApi_fwServiceGet_Session2", 0x80046484u},
    {"agApi_fwServiceGetCnt_Session2", 0x80046485u},
    {"agApi_fwFilterList", 0x8004640Fu},
    {"agApi_fwGetFilterTable", 0x8004640Fu},
    {"agApi_fwFilterAdd", 0x80046410u},
    {"agApi_fwFilterDel", 0x80046411u},
    {"agApi_fwFilterMod", 0x80046412u},
    {"agApi_fwFilterMove", 0x80046413u},
    {"agApi_fwFilterSche", 0x80046414u},
    {"agApi_fwBlkServList", 0x80046415u},
    {"agApi_fwBlkServAdd", 0x80046416u},
    {"agApi_fwBlkServDel", 0x80046417u},
    {"agApi_fwBlkServMod", 0x80046418u},
    {"agApi_fwBlkServMode", 0x80046419u},
    {"agApi_fwFilterInsert", 0x8004642Bu},
    {"agApi_fwBlkServGetCnt", 0x8004643Eu},
    {"agApi_fwBlkServGet", 0x8004643Fu},
    {"agApi_fwBlkServModAction", 0x80046440u},
    {"agApi_fwFilterGet", 0x80046443u},
    {"agApi_getFltrRuleCnt", 0x8004646Cu},
    {"agApi_fwGetFilterTable_Session2", 0x80046477u},
    {"agApi_fwFilterGet_Session2", 0x80046478u},
    {"agApi_fwFilterAdd_Session2", 0x80046479u},
    {"agApi_fwFilterDel_Session2", 0x8004647Au},
    {"agApi_fwFilterMod_Session2", 0x8004647Bu},
    {"agApi_fwFilterInsert_Session2", 0x8004647Eu},
    {"agApi_fwBlkServAdd_Session2", 0x80046487u},
    {"agApi_fwBlkServGetCnt_Session2", 0x8004648Bu},
    {"agApi_fwBlkServGet_Session2", 0x8004648Cu},
    {"agApi_fwBlkServModAction_Session2", 0x8004648Du},
    {"agApi_fwGetTriggerConf", 0x8004642Eu},
    {"agApi_fwDelTriggerConf", 0x8004642Fu},
    {"agApi_fwTriggerConfStatusSet", 0x80046430u},
    {"agApi_fwGetFirstTriggerConf", 0x80046431u},
    {"agApi_fwGetNextTriggerConf", 0x80046432u},
    {"agApi_fwDelTriggerConf2", 0x80046433u},
    {"agApi_fwEchoRespSet", 0x8004641Au},
    {"agApi_fwEchoRespGet", 0x8004641Bu},
    {"agApi_fwSpiStatusSet", 0x8004641Cu},
    {"agApi_fwSpiStatusGet", 0x8004641Du},
    {"agApi_fwDMZStatusGet", 0x8004641Eu},
    {"agApi_fwDMZRuleSet", 0x8004641Fu},
    {"agApi_fwRuleSave", 0x80046420u},
    {"agApi_fwStatusSet", 0x80046422u},
    {"agApi_fwStatusGet", 0x80046423u},
    {"agApi_natSetInboundFilter", 0x80046449u},
    {"agApi_natSetWanLanConflictFlag", 0x8004644Au},
    {"agApi_natSetTrafficMeterFlag", 0x8004644Bu},
    {"agApi_natSetTMHttpHijackFlag", 0x8004644Bu},
    {"agApi_fwDosEnableGet", 0x80046464u},
    {"agApi_fwDosEnableSet", 0x40046465u},
    {"agApi_natAddDnsQryIp", 0x8004646Eu},
    {"agApi_fwPolicyAdd", 0x8004646Fu},
    {"agApi_fwSipStatusSet", 0x80046498u},
    {"agApi_fwSipStatusGet", 0x80046499u},
    {"agApi_fwUBDStatusSet", 0x8004649Cu},
    {"agApi_natSetTMLimitCfg", 0x800464ABu},
    {"agApi_natSetTMDnsRedirectFlag", 0x800464AFu},
    {"agApi_fwPolicyClear", 0x800464B3u},
    {"agApi_fwURLFilterEnable", 0x80046434u},
    {"agApi_fwURLFilterEnableTmSch", 0x80046435u},
    {"agApi_fwURLFilterSetTrustedIp", 0x80046436u},
    {"agApi_fwURLFilterAddKeyword", 0x80046437u},
    {"agApi_fwURLFilterDelKeyword", 0x80046438u},
    {"agApi_fwURLFilterDelAllKeywords", 0x80046439u},
    {"agApi_tmschAddConf", 0x8004643Au},
    {"agApi_tmschDelConf", 0x8004643Bu},
    {"agApi_tmschGetStatusByName", 0x8004643Cu},
    {"agApi_fwURLFilterEnable_Session2", 0x80046472u},
    {"agApi_fwURLFilterAddKeyword_Session2", 0x80046474u},
    {"agApi_fwURLFilterDelKeyword_Session2", 0x80046475u},
    {"agApi_fwURLFilterDelAllKeywords_Session2", 0x80046476u},
    {"agApi_fwURLFilterEnableTmSch_Session2", 0x8004648Eu},
    {"agApi_tmschAddConf_Session2", 0x8004648Fu},
    {"agApi_tmschDelConf_Session2", 0x80046490u},
    {"agApi_tmschGetStatusByName_Session2", 0x80046491u},
    {"agApi_enableQoS", 0x8004644Cu},
    {"agApi_AddQoSRule", 0x8004644Du},
    {"agApi_cleanQoSRule", 0x40046496u},
    {"agApi_SetDayLightSaving", 0x80046461u},
    {"agApi_natSetRegion", 0x8004649Fu},
    {"agApi_natSetTarnivalName", 0x400464AAu},
    {"agApi_clear_nat_for_httpd", 0x800464ACu},
    {"agApi_fwSuccessPageHijack", 0x800464B0u},
    {"agApi_feature_get", 0x800464B1u},
    {"agApi_feature_set", 0x800464B2u},
    {"agApi_cleanup_ctf_entry", 0x800464B4u},
    {"agApi_ipv6_set_firewall", 0x80046507u},
    {"agApi_ipv6_set_listen_port", 0x80046508u},
    {"agApi_fwListenPortList", 0x80046424u},
    {"agApi_fwListenPortList2", 0x80046424u},
    {"agApi_setDeviceListenPort_2", 0x8004643Du},
    {"agApi_setDeviceListenPortRange", 0x4004646Au},
};

TEST(CommandTable, EveryFunctionSendsTheEnginesCode)
{
    ASSERT_EQ(std::size(kCodes), std::size(kCommands));
    std::set<std::string> seen;
    for (size_t i = 0; i < std::size(kCommands); ++i) {
        const CommandRow &r = kCommands[i];
        EXPECT_TRUE(seen.insert(r.function).second) << "twice: " << r.function;
        bool found = false;
        for (const Expected &e : kCodes) {
            if (std::strcmp(e.function, r.function) == 0) {
                found = true;
                EXPECT_EQ(command_code(r), e.code) << r.function;
            }
        }
        EXPECT_TRUE(found) << r.function;
    }
}

TEST(CommandTable, SharedNumbersServeTheirFunctions)
{
    EXPECT_EQ(code(Command::natSetTrafficMeterFlag), code(Command::natSetTMHttpHijackFlag));
    EXPECT_EQ(code(Command::fwListenPortList), code(Command::fwListenPortList2));
    EXPECT_EQ(code(Command::natRuleGet), code(Command::zoltGetNatRuleByID));
    EXPECT_EQ(code(Command::ipv6_set_firewall), 0x80046507u);
    EXPECT_EQ(code(Command::natRuleAdd), 0x80046407u); // same number, other device
}

// On the 32-bit router the engine reads 260 and 132 bytes; on a wider host
// the address slots widen with the pointers.
TEST(MessageLayout, MatchesTheEngineOnThisTarget)
{
    EXPECT_EQ(offsetof(AgIoctlMsg, count), 0u);
    EXPECT_EQ(offsetof(AgIoctlMsg, length), 4u);
    EXPECT_EQ(offsetof(AgArgVec, count), 0u);
    EXPECT_EQ(sizeof(ListenPortMap), 36u);
    EXPECT_EQ(offsetof(ListenPortMap, chain), 4u);
    if (sizeof(void *) == 4) {
        EXPECT_EQ(sizeof(AgIoctlMsg), 260u);
        EXPECT_EQ(offsetof(AgIoctlMsg, field), 132u);
        EXPECT_EQ(sizeof(AgArgVec), 132u);
        EXPECT_EQ(offsetof(AgArgVec, word), 4u);
    } else {
        EXPECT_EQ(sizeof(AgIoctlMsg{}.field[0]), sizeof(void *));
        EXPECT_EQ(sizeof(AgIoctlMsg), 4 + 128 + 4 + 32 * sizeof(void *));
        EXPECT_EQ(sizeof(AgArgVec), 8 + 32 * sizeof(void *));
    }
}

} // namespace

namespace {

TEST(ArgumentVector, CopiesOnlyAPositiveCountOfWords)
{
    const char *line[] = {"ruleadd", "x"};
    uintptr_t words[33];
    for (uintptr_t &w : words)
        w = reinterpret_cast<uintptr_t>(line[1]);
    words[0] = reinterpret_cast<uintptr_t>(line[0]);

    AgArgVec v;
    ASSERT_TRUE(arnonat::natapi::build_vector(v, 2, words, "test"));
    EXPECT_EQ(v.count, 2);
    EXPECT_EQ(v.word[0], words[0]);
    EXPECT_EQ(v.word[1], words[1]);
    EXPECT_EQ(v.word[2], 0u);

    for (int32_t count : {0, -1}) {
        ASSERT_TRUE(arnonat::natapi::build_vector(v, count, words, "test"));
        EXPECT_EQ(v.count, count);
        for (uintptr_t w : v.word)
            EXPECT_EQ(w, 0u);
    }
    ASSERT_TRUE(arnonat::natapi::build_vector(v, 32, words, "test"));
    EXPECT_EQ(v.word[31], words[31]);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(arnonat::natapi::build_vector(v, 33, words, "agApi_natRuleAdd"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[agApi_natRuleAdd]:33 words refused, at most 32 are sent\n");
}

} // namespace
