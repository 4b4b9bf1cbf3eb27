// Every library function of the listen port, switch, policy, URL filter,
// schedule and platform families, with what it prints and returns when the
// device is missing and when the engine refuses its command.  Shared by the
// simulator tests and the kernel device tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "agapi.h"
#include "natapi/command_table.h"

namespace natapi_test {

using arnonat::natapi::Command;

struct Function {
    std::string name;
    Command command;
    // S, Q, D: the class; otherwise the function's own messages:
    // R region, G feature get, F feature set, C ctf clear, 6 IPv6 device,
    // L remote access port, N listen port range.
    char kind;
    std::function<int()> call;
};

struct Outcome {
    std::string out;
    int result;
};

inline std::vector<Function> functions()
{
    static int32_t a, b;
    return {
        {"agApi_fwEchoRespSet", Command::fwEchoRespSet, 'S', [] { return agApi_fwEchoRespSet(1); }},
        {"agApi_fwEchoRespGet", Command::fwEchoRespGet, 'S', [] { return agApi_fwEchoRespGet(&a); }},
        {"agApi_fwSpiStatusSet", Command::fwSpiStatusSet, 'S', [] { return agApi_fwSpiStatusSet(1); }},
        {"agApi_fwSpiStatusGet", Command::fwSpiStatusGet, 'S', [] { return agApi_fwSpiStatusGet(&a); }},
        {"agApi_fwDosEnableSet", Command::fwDosEnableSet, 'S', [] { return agApi_fwDosEnableSet(1); }},
        {"agApi_fwDosEnableGet", Command::fwDosEnableGet, 'S', [] { return agApi_fwDosEnableGet(&a); }},
        {"agApi_fwSipStatusSet", Command::fwSipStatusSet, 'S', [] { return agApi_fwSipStatusSet(1); }},
        {"agApi_fwSipStatusGet", Command::fwSipStatusGet, 'S', [] { return agApi_fwSipStatusGet(&a); }},
        {"agApi_fwUBDStatusSet", Command::fwUBDStatusSet, 'S', [] { return agApi_fwUBDStatusSet(1); }},
        {"agApi_fwStatusSet", Command::fwStatusSet, 'S', [] { return agApi_fwStatusSet(1); }},
        {"agApi_fwStatusGet", Command::fwStatusGet, 'S', [] { return agApi_fwStatusGet(&a); }},
        {"agApi_natSetInboundFilter", Command::natSetInboundFilter, 'S', [] { return agApi_natSetInboundFilter(1); }},
        {"agApi_fwRuleSave", Command::fwRuleSave, 'S', [] { return agApi_fwRuleSave(); }},
        {"agApi_fwPolicyClear", Command::fwPolicyClear, 'S', [] { return agApi_fwPolicyClear(); }},
        {"agApi_natSetWanLanConflictFlag", Command::natSetWanLanConflictFlag, 'Q', [] { return agApi_natSetWanLanConflictFlag(1); }},
        {"agApi_natSetTrafficMeterFlag", Command::natSetTrafficMeterFlag, 'Q', [] { return agApi_natSetTrafficMeterFlag(1); }},
        {"agApi_natSetTMHttpHijackFlag", Command::natSetTMHttpHijackFlag, 'Q', [] { return agApi_natSetTMHttpHijackFlag(1); }},
        {"agApi_natSetTMDnsRedirectFlag", Command::natSetTMDnsRedirectFlag, 'Q', [] { return agApi_natSetTMDnsRedirectFlag(1); }},
        {"agApi_fwDMZRuleSet", Command::fwDMZRuleSet, 'S', [] { return agApi_fwDMZRuleSet(0, 1, 0x0501a8c0); }},
        {"agApi_fwDMZStatusGet", Command::fwDMZStatusGet, 'S', [] { return agApi_fwDMZStatusGet(&a, &b); }},
        {"agApi_natSetTMLimitCfg", Command::natSetTMLimitCfg, 'S', [] { return agApi_natSetTMLimitCfg(1, 2, 3, 4); }},
        {"agApi_natAddDnsQryIp", Command::natAddDnsQryIp, 'S', [] { return agApi_natAddDnsQryIp(0x08080808); }},
        {"agApi_fwPolicyAdd", Command::fwPolicyAdd, 'S', [] { return agApi_fwPolicyAdd(1, "p", 2, 3, 4, 5, 6, 7); }},
        {"agApi_fwURLFilterEnable", Command::fwURLFilterEnable, 'D', [] { return agApi_fwURLFilterEnable(1); }},
        {"agApi_fwURLFilterEnableTmSch", Command::fwURLFilterEnableTmSch, 'D', [] { return agApi_fwURLFilterEnableTmSch(1); }},
        {"agApi_fwURLFilterSetTrustedIp", Command::fwURLFilterSetTrustedIp, 'D', [] { return agApi_fwURLFilterSetTrustedIp(0x0a01a8c0); }},
        {"agApi_fwURLFilterAddKeyword", Command::fwURLFilterAddKeyword, 'D', [] { return agApi_fwURLFilterAddKeyword("abc"); }},
        {"agApi_fwURLFilterDelKeyword", Command::fwURLFilterDelKeyword, 'D', [] { return agApi_fwURLFilterDelKeyword("abc"); }},
        {"agApi_fwURLFilterDelAllKeywords", Command::fwURLFilterDelAllKeywords, 'D', [] { return agApi_fwURLFilterDelAllKeywords(); }},
        {"agApi_tmschAddConf", Command::tmschAddConf, 'D', [] { return agApi_tmschAddConf("a", "b", "c", "d", "e", 1, 2, 3); }},
        {"agApi_tmschDelConf", Command::tmschDelConf, 'D', [] { return agApi_tmschDelConf("a"); }},
        {"agApi_tmschGetStatusByName", Command::tmschGetStatusByName, 'D', [] { return agApi_tmschGetStatusByName("a"); }},
        {"agApi_fwURLFilterEnable_Session2", Command::fwURLFilterEnable_Session2, 'D', [] { return agApi_fwURLFilterEnable_Session2(1); }},
        {"agApi_fwURLFilterEnableTmSch_Session2", Command::fwURLFilterEnableTmSch_Session2, 'D', [] { return agApi_fwURLFilterEnableTmSch_Session2(1); }},
        {"agApi_fwURLFilterAddKeyword_Session2", Command::fwURLFilterAddKeyword_Session2, 'D', [] { return agApi_fwURLFilterAddKeyword_Session2("abc"); }},
        {"agApi_fwURLFilterDelKeyword_Session2", Command::fwURLFilterDelKeyword_Session2, 'D', [] { return agApi_fwURLFilterDelKeyword_Session2("abc"); }},
        {"agApi_fwURLFilterDelAllKeywords_Session2", Command::fwURLFilterDelAllKeywords_Session2, 'D', [] { return agApi_fwURLFilterDelAllKeywords_Session2(); }},
        {"agApi_tmschAddConf_Session2", Command::tmschAddConf_Session2, 'D', [] { return agApi_tmschAddConf_Session2("a", "b", "c", "d", "e", 1, 2, 3); }},
        {"agApi_tmschDelConf_Session2", Command::tmschDelConf_Session2, 'D', [] { return agApi_tmschDelConf_Session2("a"); }},
        {"agApi_tmschGetStatusByName_Session2", Command::tmschGetStatusByName_Session2, 'D', [] { return agApi_tmschGetStatusByName_Session2("a"); }},
        {"agApi_enableQoS", Command::enableQoS, 'Q', [] { return agApi_enableQoS(1); }},
        {"agApi_AddQoSRule", Command::AddQoSRule, 'Q', [] { return agApi_AddQoSRule(1, 2, 3, 4); }},
        {"agApi_cleanQoSRule", Command::cleanQoSRule, 'Q', [] { return agApi_cleanQoSRule(); }},
        {"agApi_SetDayLightSaving", Command::SetDayLightSaving, 'Q', [] { return agApi_SetDayLightSaving(1); }},
        {"agApi_natSetRegion", Command::natSetRegion, 'R', [] { return agApi_natSetRegion("EU"); }},
        {"agApi_natSetTarnivalName", Command::natSetTarnivalName, 'S', [] { return agApi_natSetTarnivalName("home"); }},
        {"agApi_feature_get", Command::feature_get, 'G', [] { return agApi_feature_get(&a); }},
        {"agApi_feature_set", Command::feature_set, 'F', [] { return agApi_feature_set(1); }},
        {"agApi_cleanup_ctf_entry", Command::cleanup_ctf_entry, 'C', [] { return agApi_cleanup_ctf_entry(1); }},
        {"agApi_fwSuccessPageHijack", Command::fwSuccessPageHijack, 'D', [] { return agApi_fwSuccessPageHijack(1); }},
        {"agApi_clear_nat_for_httpd", Command::clear_nat_for_httpd, 'D', [] { return agApi_clear_nat_for_httpd(); }},
        {"agApi_ipv6_set_firewall", Command::ipv6_set_firewall, '6', [] { return agApi_ipv6_set_firewall(1); }},
        {"agApi_ipv6_set_listen_port", Command::ipv6_set_listen_port, '6', [] { return agApi_ipv6_set_listen_port(1, 2, 3, 4, 5); }},
        {"agApi_fwListenPortList", Command::fwListenPortList, 'S', [] { return agApi_fwListenPortList(); }},
        {"agApi_fwListenPortList2", Command::fwListenPortList2, 'S', [] {
             static uint16_t first[16], second[16];
             static int32_t count;
             AgIoctlMsg m{};
             m.field[0] = reinterpret_cast<uintptr_t>(first);
             m.field[1] = reinterpret_cast<uintptr_t>(second);
             m.field[2] = reinterpret_cast<uintptr_t>(&count);
             m.length[0] = m.length[2] = 4;
             return agApi_fwListenPortList2(&m);
         }},
        {"agApi_setDeviceListenPort_2", Command::setDeviceListenPort_2, 'L', [] {
             return agApi_setDeviceListenPort_2(2, 8080, 1, "all", "", "");
         }},
        {"agApi_setDeviceListenPortRange", Command::setDeviceListenPortRange, 'N', [] {
             return agApi_setDeviceListenPortRange(5000, 5010, 1);
         }},
    };
}

// What F prints and returns with its device missing.
inline Outcome when_absent(const Function &f)
{
    const std::string nat = "Can't open device file: /dev/zolt_nat_cli\n";
    switch (f.kind) {
    case 'S': case 'R': case 'G': case 'F': case 'C':
        return {nat, 0};
    case '6':
        return {"Can't open device file: /dev/spiv6\n", 0};
    case 'L':
        return {"port_idx: 2, port_num: 8080, enable: 1\n", 0};
    default:
        return {"", 0};
    }
}

// What F prints and returns when the engine refuses with RESULT.
inline Outcome when_refused(const Function &f, int result)
{
    const std::string r = std::to_string(result);
    switch (f.kind) {
    case 'S':
        return {"[" + f.name + "]:ioctl_set_msg failed:" + r + "\n", -1};
    case 'Q':
        return {"", -1};
    case '6':
        return {"", 0}; // the IPv6 device cannot report a refusal
    case 'D':
    case 'N':
        return {"", result};
    case 'R':
        return {"[agApi_natSetRegion]:IOCTL_AG_REGION_SET failed:" + r + "\n", -1};
    case 'G':
        return {"Error doing IOCTL_AG_FEATURE_GET\n", -1};
    case 'F':
        return {"Error doing IOCTL_AG_FEATURE_SET.\n", -1};
    case 'C':
        return {"Error doing IOCTL_AG_CTF_ENTRY_CLEAR.\n", -1};
    case 'L':
        return {"port_idx: 2, port_num: 8080, enable: 1\n\nagApi_setDeviceListenPort_2 (5434) ret_val:" + r + "\n",
                result};
    }
    return {"?", 0};
}

} // namespace natapi_test
