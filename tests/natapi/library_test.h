// The library's tests: the table of every function that sends the NAT
// engine a command, run against the simulator (library_functions_test.cpp)
// and the kernel's devices (library_functions_kernel_test.cpp), and the
// helpers that show what the simulated engine received.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "agapi.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace natapi_test {

// Each test starts with an empty engine and an empty log of received commands.
class EngineTest : public sandbox::Test {
protected:
    void SetUp() override { sandbox::Test::SetUp(), natsim_reset(); }
};

// A value as the engine sees it in memory.
template <typename T>
std::string bytes(const T &v) { return std::string(reinterpret_cast<const char *>(&v), sizeof v); }

template <typename T>
T filled(unsigned char byte)
{
    T t;
    std::memset(&t, byte, sizeof t);
    return t;
}

// Bytes as text: two or more printable characters (and a final NUL) in
// quotes, more than 16 bytes as their first four in hex and "..", else hex.
inline std::string shown(const unsigned char *p, size_t n)
{
    size_t text = 0;
    while (n <= 16 && text < n && p[text] >= 0x20 && p[text] < 0x7f)
        ++text;
    if (text >= 2 && (text == n || (text + 1 == n && p[text] == 0)))
        return "\"" + std::string(reinterpret_cast<const char *>(p), text) + (text < n ? "\\0\"" : "\"");
    char hex[40] = "";
    for (size_t i = 0; i < n && i < (n > 16 ? 4 : 16); ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", p[i]);
    return n > 16 ? hex + std::string("..") : hex;
}

// A word: a number, negative as 32 bits, or "@" for an address.
inline std::string word(uintptr_t w)
{
    if (w < 0x10000 || (w >= 0xffff0000u && w <= 0xffffffffu))
        return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(w)));
    return "@";
}

// One command as the engine received it: "arg" and the argument; "rec" with
// the length and bytes of a record; or "n" and the count word, then each
// field up to the last one set: its length and ":" when it has one, then
// the bytes the engine copied, or the word itself.
inline std::string received(const natsim_call &c)
{
    if (c.record_len)
        return "rec" + std::to_string(c.record_len) + ":" + shown(c.record, c.record_len);
    int last = AGAPI_MAX_FIELDS - 1;
    while (last >= 0 && !c.word[last] && !c.length[last])
        --last;
    if (last < 0 && c.count == 0)
        return "arg " + word(c.arg);
    std::string s = "n" + std::to_string(c.count);
    for (int i = 0; i <= last; ++i)
        s += " " + (c.length[i] ? std::to_string(c.length[i]) + ":" : "") +
             (c.data_len[i] ? shown(c.data[i], c.data_len[i]) : word(c.word[i]));
    return s;
}

// Every command of the log, one line each: its code in hex and what the
// engine received.
inline std::string log_text()
{
    std::string text;
    char code[16];
    for (size_t i = 0; i < natsim_log_size(); ++i) {
        std::snprintf(code, sizeof code, "%08lx ", natsim_log_entry(i)->code);
        text += code + received(*natsim_log_entry(i)) + "\n";
    }
    return text;
}

// The one command the engine received since the log was last cleared.
inline const natsim_call &only_call()
{
    EXPECT_EQ(natsim_log_size(), 1u);
    static const natsim_call none{};
    const natsim_call *c = natsim_log_entry(natsim_log_size() - 1);
    return c ? *c : none;
}

// What FN printed on standard output.
template <typename Fn>
std::string printed(Fn fn)
{
    sandbox::StdoutCapture out;
    fn();
    return out.finish();
}

// What a call printed and returned.
struct Outcome {
    std::string out;
    int result;
    bool operator==(const Outcome &) const = default;
    friend std::ostream &operator<<(std::ostream &os, const Outcome &o) { return os << o.result << " \"" << o.out << "\""; }
};

inline Outcome run(const std::function<int()> &call)
{
    int result = 0;
    std::string out = printed([&] { result = call(); });
    return {out, result};
}

// What CALL printed, "-> " and its answer, then the commands the engine
// received.
inline std::string transcript(const std::function<int()> &call)
{
    natsim_log_clear();
    Outcome o = run(call);
    return o.out + "-> " + std::to_string(o.result) + "\n" + log_text();
}

struct Function {
    const char *name;
    uint32_t code;
    // How it fails: a row of kKinds below.
    char kind;
    std::function<int()> call;
    // Count word and fields as the engine received them (see received()),
    // or "arg" and the argument word.
    const char *received;
    int accepted;
    std::string accepted_out = "";
};

// The buffers and records the calls hand over, each record filled with its
// own byte so that the engine's copy shows whose it is.
struct Arguments {
    int32_t a = 0, b = 0, count = 0;
    FwServiceRecord service = filled<FwServiceRecord>(0x11), services[AGAPI_SERVICES_MAX];
    FwFilterRecord filter = filled<FwFilterRecord>(0x22);
    FwBlkServRecord block = filled<FwBlkServRecord>(0x33);
    FwTriggerConf trigger = filled<FwTriggerConf>(0x44);
    NatRuleRecord rule = filled<NatRuleRecord>(0x55);
    ConnTblEntry entry = filled<ConnTblEntry>(0x66);
    uint16_t first[16], second[16];
    AgIoctlMsg ports{0, {4, 0, 4}, {reinterpret_cast<uintptr_t>(first), reinterpret_cast<uintptr_t>(second),
                                    reinterpret_cast<uintptr_t>(&count)}};
    char add[8] = "ruleadd", del[8] = "ruledel", port[3] = "80", id[3] = "12";
    char *add_words[2] = {add, port};
    char *del_words[2] = {del, id};
};

inline Arguments arg;

// The line under each table entry, and the head of the NAT rule table after
// its time line.
inline const std::string kDashes = std::string(60, '-') + "\n";
inline const std::string kRuleTableHeader =
    " id wif lif          wan_ip          lan_ip        lan_mask fport1 fport2 s_port    time"
    "  timeout  type nat prot once resv confl       ForeignIp add_from\n" + kDashes;

// What opening listen port 2 on 8080 prints first.
inline const std::string kPort = "port_idx: 2, port_num: 8080, enable: 1\n";

// The forwarding rule that agApi_natRuleAdd2 applies, from two words.
inline const std::string kTooFewWords =
    "[ARNONAT_ExecuteOnePortForwardRule]:words missing (2 given, 5 needed): rule not applied\n";

// A function called with ARGS whose answer follows its class: 1, or the
// engine's 7 in class D.  VALUE sends its one value V as the argument word,
// NONE sends the word 0 and prints OUT.
#define ROW(fn, code, kind, args, received, ...) \
    {"agApi_" #fn, code, kind, [] { return agApi_##fn args; }, received, (kind) == 'D' ? 7 : 1 __VA_OPT__(, ) __VA_ARGS__}
#define VALUE(fn, code, kind, v) ROW(fn, code, kind, (v), "arg " #v)
#define NONE(fn, code, kind, out) ROW(fn, code, kind, (), "arg 0", out)

inline const std::vector<Function> &functions()
{
    static const std::vector<Function> rows = {
        // NAT on and off, hooks, gateways
        ROW(natGetStatus, 0x80046402, 'S', (), "arg @", "\nNAT status : OFF\n\n"),
        ROW(natVerShow, 0x80046406, 'S', (), "arg @", "\nCurrent NAT Version : \n\n"),
        ROW(natDumpAlgTbl, 0x80046405, 'S', (), "n0 @", "\n"), ROW(natHook, 0x80046425, 'S', ("eth1"), R"(n0 4:"eth1")"),
        ROW(natLanHook, 0x80046426, 'S', ("br0"), R"(n0 3:"br0")"), ROW(natUnhook, 0x80046427, 'S', ("eth1"), R"(n0 4:"eth1")"),
        ROW(natPptpWanHook, 0x80046448, 'S', ("ppp0"), R"(n0 4:"ppp0")"), ROW(setAlg, 0x8004649A, 'S', ("sip", -3), R"(n2 3:"sip" 4:fdffffff)"),
        ROW(natLanUnhook, 0x800464AD, 'S', ("br0"), R"(n0 3:"br0")"), NONE(natEnable, 0x80046400, 'S', "\nNAT Enabled\n\n"),
        NONE(natDisable, 0x80046401, 'S', "\nNAT Disabled\n\n"), VALUE(natWanIfCnt, 0x8004646D, 'S', 2), VALUE(natSipAlgCfg, 0x80046497, 'S', -3),
        // NAT rules
        {"agApi_natDumpRuleTbl", 0x80046404, 'S', [] { return agApi_natDumpRuleTbl(); }, "n0 @ @ @ @ @ @ @ @", 1, "\nCurrent time: 0\n" + kRuleTableHeader + "Total 0 rules.\n\n"},
        ROW(natRuleAdd, 0x80046407, 'S', (2, arg.add_words), R"(n2 "ruleadd\0" "80\0")"),
        {"agApi_zoltGetNatRuleByID", 0x8004640A, 'T', [] { return agApi_zoltGetNatRuleByID(3) ? 1 : 0; }, "n0 @ @ @ @ @ @ @", 0},
        {"agApi_natRuleAdd2", 0x80046428, 'W', [] { return agApi_natRuleAdd2(2, arg.add_words); }, R"(n2 "ruleadd\0" "80\0")", 7, kTooFewWords},
        ROW(natRuleMod, 0x8004642A, 'Q', (7, &arg.rule), "n2 4:07000000 48:55555555.."),
        {"agApi_natRulePortCheck", 0x8004645F, 'P', [] { return agApi_natRulePortCheck(2, arg.add_words); }, R"(n2 "ruleadd\0" "80\0")", 7},
        {"agApi_natRuleAddForUpnp", 0x80046492, 'V', [] { return agApi_natRuleAddForUpnp(2, arg.add_words); }, R"(n2 "ruleadd\0" "80\0")", 7},
        ROW(natRuleDel, 0x80046408, 'S', (2, arg.del_words), "arg 12"), ROW(natRuleGet, 0x8004640A, 'S', (), "n0 @ @ @ @ @ @ @", "\n\n"),
        NONE(natRuleClear, 0x80046409, 'S', ""),
        // Connections
        {"agApi_natAddConnTblEntry", 0x40046447, 'S', [] { return agApi_natAddConnTblEntry(arg.entry); }, "rec92:66666666..", 7, "agApi_natAddConnTblEntryadd Conn : [66666666:6666 -->66666666:6666]\n"},
        ROW(natDumpConnTbl, 0x80046403, 'S', (), "n0 @ @ @"), ROW(fwConnTblShow, 0x80046421, 'S', (), "n0 @ @ @"),
        ROW(natShowConn_Port, 0x80046460, 'S', (8080), "rec4:901f0000", "\n"), NONE(natShowConn, 0x8004644E, 'S', "\n"),
        NONE(natShowConn_Tcp, 0x8004644F, 'S', "\n"), NONE(natShowConn_Udp, 0x80046450, 'S', "\n"), NONE(natShowConn_Icmp, 0x80046451, 'S', "\n"),
        NONE(natShowConn_Other, 0x80046452, 'S', "\n"), NONE(natShowConn_TcpIn, 0x80046453, 'S', "\n"),
        NONE(natShowConn_TcpOut, 0x80046454, 'S', "\n"), NONE(natShowConn_TcpSelf, 0x80046455, 'S', "\n"),
        NONE(natShowConn_UdpIn, 0x80046456, 'S', "\n"), NONE(natShowConn_UdpOut, 0x80046457, 'S', "\n"),
        NONE(natShowConn_UdpSelf, 0x80046458, 'S', "\n"), NONE(natShowConn_IcmpIn, 0x80046459, 'S', "\n"),
        NONE(natShowConn_IcmpOut, 0x8004645A, 'S', "\n"), NONE(natShowConn_IcmpSelf, 0x8004645B, 'S', "\n"),
        NONE(natShowConn_OtherIn, 0x8004645C, 'S', "\n"), NONE(natShowConn_OtherOut, 0x8004645D, 'S', "\n"),
        NONE(natShowConn_OtherSelf, 0x8004645E, 'S', "\n"),
        // Services
        {"agApi_fwGetServiceByName", 0x8004640B, 'N', [] { return agApi_fwGetServiceByName("FTP", &arg.service); }, "n0 @", -1},
        {"agApi_fwGetServiceName", 0x8004640B, 'S', [] { return agApi_fwGetServiceName(20, 21, 6, &arg.service); }, "n0 @", 0},
        {"agApi_fwGetAllServices", 0x8004640B, 'S', [] { return agApi_fwGetAllServices(arg.services, AGAPI_SERVICES_MAX); }, "n0 @", 0},
        {"agApi_fwServiceAdd", 0x8004640C, 'A', [] { return agApi_fwServiceAdd("FTP", 'T', 20, 21); }, R"(n4 4:"FTP\0" 1:54 2:1400 2:1500)", 7, "agApi_fwServiceAdd 2504 sName: FTP, bProtocol: T, usStartPort: 20, usEndPort: 21\n"},
        ROW(fwServiceMod, 0x8004640E, 'S', (3, &arg.service), "n2 2:0300 54:11111111.."),
        ROW(fwServiceGet, 0x80046442, 'D', (3, &arg.service), "n2 54:@ 4:03000200"),
        {"agApi_fwGetServiceByName_Session2", 0x8004647F, 'N', [] { return agApi_fwGetServiceByName_Session2("FTP", &arg.service); }, "n0 @", -1},
        {"agApi_fwGetAllServices_Session2", 0x8004647F, 'S', [] { return agApi_fwGetAllServices_Session2(arg.services, AGAPI_SERVICES_MAX); }, "n0 @", 0},
        {"agApi_fwServiceAdd_Session2", 0x80046480, 'S', [] { return agApi_fwServiceAdd_Session2("FTP", 6, 20, 21); }, R"(n4 4:"FTP\0" 1:06 2:1400 2:1500)", 7},
        ROW(fwServiceMod_Session2, 0x80046483, 'S', (3, &arg.service), "n2 2:0300 54:11111111.."),
        ROW(fwServiceGet_Session2, 0x80046484, 'D', (3, &arg.service), "n2 54:@ 4:03000200"),
        ROW(fwServiceList, 0x8004640B, 'S', (), "n0 @", "\n\n"), ROW(fwServiceDelByName, 0x80046429, 'Q', ("FTP"), "arg @"),
        ROW(fwServiceDelByName_Session2, 0x80046482, 'Q', ("FTP"), "arg @"), VALUE(fwServiceDel, 0x8004640D, 'S', 3),
        NONE(fwServiceGetCnt, 0x80046441, 'D', ""), VALUE(fwServiceDel_Session2, 0x80046481, 'S', 3),
        NONE(fwServiceGetCnt_Session2, 0x80046485, 'D', ""),
        // Filters and block services
        ROW(fwFilterList, 0x8004640F, 'S', (), "n2 4:@ 4:@", "total 0 rule(s)\n"),
        {"agApi_fwGetFilterTable", 0x8004640F, 'T', [] { return agApi_fwGetFilterTable(nullptr); }, "n2 4:@ 4:@", 0},
        {"agApi_fwFilterAdd", 0x80046410, 'F', [] { return agApi_fwFilterAdd(&arg.filter, 3); }, "n2 56:22222222.. 4:03000000", 7},
        ROW(fwFilterMod, 0x80046412, 'S', (3, &arg.filter), "n2 4:03000000 56:22222222.."),
        ROW(fwFilterSche, 0x80046414, 'S', (3, 4, 5), "n2 4:03000000 4:04000000 2:0500"),
        ROW(fwBlkServMod, 0x80046418, 'S', (3, &arg.block), "n2 2:0300 24:33333333.."),
        ROW(fwBlkServMode, 0x80046419, 'S', (3, 4, 5), "n3 2:0300 2:0400 2:0500"),
        ROW(fwFilterInsert, 0x8004642B, 'D', (&arg.filter, 3), "n2 4:03000000 56:22222222.."),
        ROW(fwBlkServGet, 0x8004643F, 'D', (3, &arg.block), "n2 24:@ 4:03000200"),
        ROW(fwFilterGet, 0x80046443, 'D', (3, &arg.filter), "n2 56:@ 4:03000000"),
        {"agApi_fwGetFilterTable_Session2", 0x80046477, 'T', [] { return agApi_fwGetFilterTable_Session2(nullptr); }, "n2 4:@ 4:@", 0},
        ROW(fwFilterGet_Session2, 0x80046478, 'D', (3, &arg.filter), "n2 56:@ 4:03000000"),
        {"agApi_fwFilterAdd_Session2", 0x80046479, 'F', [] { return agApi_fwFilterAdd_Session2(&arg.filter, 3); }, "n2 56:22222222.. 4:03000000", 7},
        ROW(fwFilterMod_Session2, 0x8004647B, 'S', (3, &arg.filter), "n2 4:03000000 56:22222222.."),
        ROW(fwFilterInsert_Session2, 0x8004647E, 'D', (&arg.filter, 3), "n2 4:03000000 56:22222222.."),
        ROW(fwBlkServAdd_Session2, 0x80046487, 'S', (&arg.block), "n1 24:33333333.."),
        ROW(fwBlkServGet_Session2, 0x8004648C, 'D', (3, &arg.block), "n2 24:@ 4:03000200"),
        ROW(fwFilterMove, 0x80046413, 'S', (3, 4), "n2 4:03000000 4:04000000"), ROW(fwBlkServList, 0x80046415, 'S', (), "n2 4:@ 4:@"),
        ROW(fwBlkServAdd, 0x80046416, 'S', (&arg.block), "n1 24:33333333.."), ROW(getFltrRuleCnt, 0x8004646C, 'Q', (&arg.a), "arg @"),
        VALUE(fwFilterDel, 0x80046411, 'S', 3), VALUE(fwBlkServDel, 0x80046417, 'S', 3), NONE(fwBlkServGetCnt, 0x8004643E, 'D', ""),
        VALUE(fwBlkServModAction, 0x80046440, 'D', -3), VALUE(fwFilterDel_Session2, 0x8004647A, 'S', 3),
        NONE(fwBlkServGetCnt_Session2, 0x8004648B, 'D', ""), VALUE(fwBlkServModAction_Session2, 0x8004648D, 'D', -3),
        // Port trigger configurations
        ROW(fwGetTriggerConf, 0x8004642E, 'D', (&arg.trigger), "n1 364:44444444.."),
        ROW(fwTriggerConfStatusSet, 0x80046430, 'D', ("web", -3), R"(n2 4:"web\0" 4:fdffffff)"),
        ROW(fwGetNextTriggerConf, 0x80046432, 'D', (&arg.trigger), "n1 364:44444444.."),
        ROW(fwDelTriggerConf2, 0x80046433, 'D', (&arg.trigger), "n1 364:44444444.."),
        ROW(fwDelTriggerConf, 0x8004642F, 'D', ("web"), R"(n1 4:"web\0")"), ROW(fwGetFirstTriggerConf, 0x80046431, 'D', (&arg.trigger), "n1 364:@"),
        // Switches, DMZ, traffic meter, policies
        ROW(fwDMZRuleSet, 0x8004641F, 'S', (0, 1, 0x0501a8c0), "n3 4:00000000 4:01000000 4:c0a80105"),
        ROW(fwPolicyAdd, 0x8004646F, 'S', (1, "web", 2, 0x1234, 0x0506, 0x9abcdef0, 7, 9), R"(n8 1:01 4:"web\0" 1:02 2:3412 2:0605 4:f0debc9a 4:07000000 1:09)"),
        ROW(natSetTMLimitCfg, 0x800464AB, 'S', (1, 2, 0x123456789ull, 4), "n3 4:01000000 4:02000000 8:8967452301000000 4:04000000"),
        ROW(fwEchoRespGet, 0x8004641B, 'S', (&arg.a), "arg @"), ROW(fwSpiStatusGet, 0x8004641D, 'S', (&arg.a), "arg @"),
        ROW(fwDMZStatusGet, 0x8004641E, 'S', (&arg.a, &arg.b), "n2 4:@ 4:@"), ROW(fwStatusGet, 0x80046423, 'S', (&arg.a), "arg @"),
        ROW(natSetTMHttpHijackFlag, 0x8004644B, 'Q', (1), "arg 11"), ROW(fwDosEnableGet, 0x80046464, 'S', (&arg.a), "arg @"),
        ROW(natAddDnsQryIp, 0x8004646E, 'S', (0x08080808), "n1 4:08080808"), ROW(fwSipStatusGet, 0x80046499, 'S', (&arg.a), "arg @"),
        VALUE(fwEchoRespSet, 0x8004641A, 'S', -3), VALUE(fwSpiStatusSet, 0x8004641C, 'S', -3), NONE(fwRuleSave, 0x80046420, 'S', ""),
        VALUE(fwStatusSet, 0x80046422, 'S', -3), VALUE(natSetInboundFilter, 0x80046449, 'S', -3),
        VALUE(natSetWanLanConflictFlag, 0x8004644A, 'Q', -3), VALUE(natSetTrafficMeterFlag, 0x8004644B, 'Q', -3),
        VALUE(fwDosEnableSet, 0x40046465, 'S', -3), VALUE(fwSipStatusSet, 0x80046498, 'S', -3), VALUE(fwUBDStatusSet, 0x8004649C, 'S', -3),
        VALUE(natSetTMDnsRedirectFlag, 0x800464AF, 'Q', -3), NONE(fwPolicyClear, 0x800464B3, 'S', ""),
        // URL keywords and schedules of both sessions
        ROW(tmschAddConf, 0x8004643A, 'D', ("a", "b", "c", "d", "e", 5, 6, 7), R"(n4 9:"a:b:c:d:e" 4:05000000 4:06000000 4:07000000)"),
        ROW(fwURLFilterAddKeyword_Session2, 0x80046474, 'D', ("abc"), R"(n1 3:"abc")"),
        ROW(fwURLFilterDelKeyword_Session2, 0x80046475, 'D', ("abc"), R"(n1 3:"abc")"),
        ROW(tmschAddConf_Session2, 0x8004648F, 'D', ("a", "b", "c", "d", "e", 5, 6, 7), R"(n4 9:"a:b:c:d:e" 4:05000000 4:06000000 4:07000000)"),
        ROW(tmschGetStatusByName_Session2, 0x80046491, 'D', ("abc"), R"(n1 3:"abc")"),
        ROW(fwURLFilterSetTrustedIp, 0x80046436, 'D', (0xfffffffd), "arg -3"), ROW(fwURLFilterAddKeyword, 0x80046437, 'D', ("abc"), R"(n1 3:"abc")"),
        ROW(fwURLFilterDelKeyword, 0x80046438, 'D', ("abc"), R"(n1 3:"abc")"), ROW(tmschDelConf, 0x8004643B, 'D', ("abc"), R"(n1 3:"abc")"),
        ROW(tmschGetStatusByName, 0x8004643C, 'D', ("abc"), R"(n1 3:"abc")"), ROW(tmschDelConf_Session2, 0x80046490, 'D', ("abc"), R"(n1 3:"abc")"),
        VALUE(fwURLFilterEnable, 0x80046434, 'D', -3), VALUE(fwURLFilterEnableTmSch, 0x80046435, 'D', -3),
        NONE(fwURLFilterDelAllKeywords, 0x80046439, 'D', ""), VALUE(fwURLFilterEnable_Session2, 0x80046472, 'D', -3),
        NONE(fwURLFilterDelAllKeywords_Session2, 0x80046476, 'D', ""), VALUE(fwURLFilterEnableTmSch_Session2, 0x8004648E, 'D', -3),
        // QoS and platform settings
        ROW(AddQoSRule, 0x8004644D, 'Q', (1, 2, 3, 4), "n4 4:01000000 4:02000000 4:03000000 4:04000000"),
        {"agApi_natSetRegion", 0x8004649F, 'R', [] { return agApi_natSetRegion("EU"); }, R"(n0 2:"EU")", 1},
        {"agApi_feature_get", 0x800464B1, 'g', [] { return agApi_feature_get(&arg.a); }, "arg @", 1},
        {"agApi_ipv6_set_firewall", 0x80046507, '6', [] { return agApi_ipv6_set_firewall(-3); }, "n1 fdffffff", 0},
        {"agApi_ipv6_set_listen_port", 0x80046508, '6', [] { return agApi_ipv6_set_listen_port(1, 2, 3, 4, 5); }, "n5 01000000 02000000 03000000 04000000 05000000", 0},
        ROW(natSetTarnivalName, 0x400464AA, 'S', ("home"), R"(n0 4:"home")"), VALUE(enableQoS, 0x8004644C, 'Q', -3),
        NONE(cleanQoSRule, 0x40046496, 'Q', ""), VALUE(SetDayLightSaving, 0x80046461, 'Q', -3), NONE(clear_nat_for_httpd, 0x800464AC, 'D', ""),
        VALUE(fwSuccessPageHijack, 0x800464B0, 'D', -3), VALUE(feature_set, 0x800464B2, 'f', -3), VALUE(cleanup_ctf_entry, 0x800464B4, 'c', -3),
        // Listen ports
        ROW(fwListenPortList, 0x80046424, 'S', (), "n0 4:@ @ 4:@", "\n--- listen port list ---\n\n"),
        {"agApi_setDeviceListenPort_2", 0x8004643D, 'L', [] { return agApi_setDeviceListenPort_2(2, 8080, 1, "all", "", ""); }, "n3 2 8080 1", 7, kPort + "ret_val: 7, enable: 1\n"},
        ROW(setDeviceListenPortRange, 0x4004646A, 'D', (5000, 5010, 1), "n3 88130000 92130000 01000000"),
        ROW(fwListenPortList2, 0x80046424, 'S', (&arg.ports), "n0 4:@ @ 4:@"),
    };
    return rows;
}
#undef ROW
#undef VALUE
#undef NONE

// How the functions of each kind fail: what they print and return without
// their device, and when the engine refuses with R.  In the texts {name}
// stands for the function's name and {r} for R; an answer kR is R itself.
constexpr int kR = 0x7fff;
inline const char kNat[] = "Can't open device file: /dev/zolt_nat_cli\n";
inline const char kFailed[] = "[{name}]:ioctl_set_msg failed:{r}\n";
inline const struct Kind {
    char kind;
    std::string absent_out;
    int absent;
    std::string refused_out;
    int refused;
} kKinds[] = {
    {'S', kNat, 0, kFailed, -1}, // class S
    {'Q', "", 0, "", -1},        // class Q
    {'D', "", 0, "", kR},        // class D
    {'A', kNat, 0, "agApi_fwServiceAdd 2504 sName: FTP, bProtocol: T, usStartPort: 20, usEndPort: 21\n" + std::string(kFailed), -1},
    {'N', kNat, -1, kFailed, -1},        // lookup by name
    {'F', kNat, 0, "", kR},              // filter add
    {'T', "", 0, "", 0},                 // table read, rule lookup
    {'V', "", 0, "", 2},                 // vector: the count word as sent
    {'P', "", -1, "", 2},                // port check
    {'W', "", 0, kTooFewWords, 2},       // agApi_natRuleAdd2: the rule goes in whatever the engine said
    {'R', kNat, 0, "[agApi_natSetRegion]:IOCTL_AG_REGION_SET failed:{r}\n", -1},
    {'g', kNat, 0, "Error doing IOCTL_AG_FEATURE_GET\n", -1},
    {'f', kNat, 0, "Error doing IOCTL_AG_FEATURE_SET.\n", -1},
    {'c', kNat, 0, "Error doing IOCTL_AG_CTF_ENTRY_CLEAR.\n", -1},
    {'6', "Can't open device file: /dev/spiv6\n", 0, "", 0}, // a refusal is not seen
    {'L', kPort, 0, kPort + "\nagApi_setDeviceListenPort_2 (5434) ret_val:{r}\n", kR},
};

// What F prints and returns with its device missing (R 0) or when the
// engine refuses its command with R.
inline Outcome failure(const Function &f, int r)
{
    for (const Kind &k : kKinds)
        if (k.kind == f.kind) {
            std::string out = r ? k.refused_out : k.absent_out;
            for (const auto &[from, to] : {std::pair<std::string, std::string>{"{name}", f.name}, {"{r}", std::to_string(r)}})
                for (size_t at; (at = out.find(from)) != std::string::npos;)
                    out.replace(at, from.size(), to);
            int result = r ? k.refused : k.absent;
            return {out, result == kR ? r : result};
        }
    return {"no such kind", 0};
}

} // namespace natapi_test
