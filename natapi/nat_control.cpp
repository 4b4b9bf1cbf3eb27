// NAT on and off, its interface hooks, status, version, the application
// level gateways and the one-call start-up of the engine.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"
#include "platform/heap_buffer.h"
#include "platform/text_values.h"
#include "zolt_nvram.h"
#include "zolt_shared.h"

using namespace arnonat::natapi;
using arnonat::HeapBuffer;

static_assert(sizeof(AlgTblEntry) == 80);
static_assert(offsetof(AlgTblEntry, enabled) == 0);
static_assert(offsetof(AlgTblEntry, dest_ip) == 4);
static_assert(offsetof(AlgTblEntry, pool_index) == 8);
static_assert(offsetof(AlgTblEntry, src_ip) == 12);
static_assert(offsetof(AlgTblEntry, name) == 24);
static_assert(offsetof(AlgTblEntry, pair_count) == 68);
static_assert(offsetof(AlgTblEntry, pairs) == 72);

namespace {

constexpr size_t kAlgTableBytes = 6400;
static_assert(kAlgTableBytes == AGAPI_ALG_TABLE_ENTRIES * sizeof(AlgTblEntry));
constexpr size_t kVersionBytes = 104;
constexpr size_t kWanNameBytes = 100;

using arnonat::dotted;
using Dotted = arnonat::DottedText;

// On and off print their word only when the engine took the command.
int switch_nat(Command c, const char *done)
{
    int result = exchange(c, 0);
    if (result == 1)
        std::puts(done);
    return result;
}

// The interface name message: field 0 the name without its terminator.
int hook(Command c, const char *ifname)
{
    if (!text_given(ifname, row(c).function, "interface name"))
        return -1;
    AgIoctlMsg message{};
    set_field(message, 0, ifname, static_cast<uint32_t>(std::strlen(ifname)));
    return exchange(c, message);
}

// Without a name the engine takes every interface off.
int unhook(Command c, const char *ifname)
{
    return ifname ? hook(c, ifname) : exchange(c, 0);
}

void report_step(int result, int line)
{
    if (result != 1)
        std::printf("%s at : agApi_natInit :%d \n", result < 0 ? "KERNEL_ERROR" : "USER_ERROR", line);
}

} // namespace

extern "C" {

int agApi_natEnable(void) { return switch_nat(Command::natEnable, "\nNAT Enabled\n"); }
int agApi_natDisable(void) { return switch_nat(Command::natDisable, "\nNAT Disabled\n"); }

int agApi_natGetStatus(void)
{
    int32_t status = 0;
    int result = exchange(Command::natGetStatus, address(&status));
    if (result == 1)
        std::printf("\nNAT status : %s\n\n", status != 0 ? "ON" : "OFF");
    return result;
}

int agApi_NatIsEnabled(int32_t *enabled)
{
    if (!enabled) {
        std::printf("[agApi_NatIsEnabled]:no result address given\n");
        return -1;
    }
    *enabled = zoltNvramConfig_match("enable_arnonat", "1") ? 1 : 0;
    return 1;
}

int agApi_natHook(const char *ifname) { return hook(Command::natHook, ifname); }
int agApi_natLanHook(const char *ifname) { return hook(Command::natLanHook, ifname); }
int agApi_natPptpWanHook(const char *ifname) { return hook(Command::natPptpWanHook, ifname); }
int agApi_natUnhook(const char *ifname) { return unhook(Command::natUnhook, ifname); }
int agApi_natLanUnhook(const char *ifname) { return unhook(Command::natLanUnhook, ifname); }

int agApi_natSipAlgCfg(int32_t value)
{
    return exchange(Command::natSipAlgCfg, static_cast<uint32_t>(value));
}

int agApi_natWanIfCnt(int32_t value)
{
    return exchange(Command::natWanIfCnt, static_cast<uint32_t>(value));
}

int agApi_setAlg(const char *name, int32_t value)
{
    if (!name || !*name) {
        std::puts("agApi_setAlg input parameters error.");
        return 0;
    }
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, name, static_cast<uint32_t>(std::strlen(name)));
    set_field(message, 1, &value, 4);
    return exchange(Command::setAlg, message);
}

int agApi_natVerShow(void)
{
    char version[kVersionBytes] = {};
    int result = exchange(Command::natVerShow, address(version));
    if (result == 1) {
        version[kVersionBytes - 1] = '\0'; // an engine text without its end stays inside
        std::printf("\nCurrent NAT Version : %s\n\n", version);
    }
    return result;
}

int agApi_natDumpAlgTbl(void)
{
    const Command c = Command::natDumpAlgTbl;
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    HeapBuffer table;
    if (!table.allocate(kAlgTableBytes)) {
        std::printf("[agApi_natDumpAlgTbl]:malloc failed:0\n");
        return 0;
    }
    AgIoctlMsg message{};
    set_field(message, 0, table.get(), 0);
    int result = channel.send(message);
    if (result < 0) {
        report_refusal(c, result);
        return -1;
    }
    // The buffer holds 80 entries whatever count the engine reports.
    uint32_t count = message.length[0];
    if (count > AGAPI_ALG_TABLE_ENTRIES)
        count = AGAPI_ALG_TABLE_ENTRIES;
    Nat_DumpAlgTable(static_cast<const AlgTblEntry *>(table.get()), static_cast<int32_t>(count));
    return 1;
}

int Nat_DumpAlgTable(const AlgTblEntry *entries, int32_t count)
{
    for (int32_t i = 0; entries && i < count; ++i) {
        const AlgTblEntry &e = entries[i];
        std::printf("\n%.*s alg : %d, %s\n", AGAPI_ALG_NAME_SIZE, e.name, static_cast<int>(i),
                    e.enabled != 0 ? "enabled" : "disabled");
        if (e.dest_ip != 0) {
            Dotted dest, src;
            std::printf("dest ip %s, src ip %s, pool index %d\n", dotted(dest, e.dest_ip),
                        dotted(src, e.src_ip), e.pool_index);
        }
        for (int k = 0; k < e.pair_count && k < AGAPI_ALG_PAIRS; ++k)
            std::printf("protocol[%d] = %d, port[%d] = %d\n", k, e.pairs[k].protocol, k,
                        e.pairs[k].port);
    }
    return std::printf("\n");
}

int agApi_natInit(void)
{
    char lan[] = "br0";
    char w0[] = "ruleadd", w1[] = "5050", w2[] = "192.168.1.2", w3[] = "5050", w4[] = "udp";
    char *const forward_rule[] = {w0, w1, w2, w3, w4};
    std::printf("agApi_natInit313\n");

    char wan[kWanNameBytes];
    const char *param = get_platform_param(ZOLT_PARAM_NAT_IFNAME);
    if (!param)
        param = "";
    if (std::strlen(param) >= sizeof wan)
        std::printf("[agApi_natInit]:NAT interface name longer than %zu bytes, cut\n", sizeof wan - 1);
    std::snprintf(wan, sizeof wan, "%s", param);

    agApi_natUnhook(nullptr);
    agApi_natLanHook(lan);
    agApi_natHook(wan);
    report_step(agApi_natRuleAdd(5, forward_rule), 344);
    report_step(agApi_fwDMZRuleSet(0, 1, inet_addr("192.168.1.200")), 356);
    report_step(agApi_fwSpiStatusSet(0), 362);
    int result = agApi_natEnable();
    report_step(result, 380);
    return result;
}

} // extern "C"
