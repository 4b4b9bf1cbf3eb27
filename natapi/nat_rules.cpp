// The engine's NAT rule table: rules added from command line words, deleted,
// changed, read back whole and walked window by window, printed, and looked
// up by ID for the port forwarding rules.  agApi_natRuleAdd2, which also
// applies its forwarding rule, is joined in driver/engine_rules.cpp.
#include "natapi/nat_rules.h"

#include <arpa/inet.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"
#include "natapi/natapi.h"
#include "platform/heap_buffer.h"
#include "platform/text_values.h"

using namespace arnonat::natapi;
using arnonat::HeapBuffer;

static_assert(sizeof(NatRuleRecord) == 48);
static_assert(offsetof(NatRuleRecord, id) == 0);
static_assert(offsetof(NatRuleRecord, wif) == 4);
static_assert(offsetof(NatRuleRecord, lif) == 8);
static_assert(offsetof(NatRuleRecord, wan_ip) == 12);
static_assert(offsetof(NatRuleRecord, lan_ip) == 16);
static_assert(offsetof(NatRuleRecord, lan_mask) == 20);
static_assert(offsetof(NatRuleRecord, fport1) == 24);
static_assert(offsetof(NatRuleRecord, fport2) == 26);
static_assert(offsetof(NatRuleRecord, s_port) == 28);
static_assert(offsetof(NatRuleRecord, time) == 32);
static_assert(offsetof(NatRuleRecord, timeout) == 36);
static_assert(offsetof(NatRuleRecord, ForeignIp) == 40);
static_assert(offsetof(NatRuleRecord, flags_a) == 44);
static_assert(offsetof(NatRuleRecord, flags_b) == 45);
static_assert(offsetof(NatRuleRecord, add_from) == 46);

namespace arnonat::natapi {

bool argument_vector(AgArgVec &vector, int argc, char *const argv[], const char *function)
{
    uintptr_t words[AGAPI_MAX_FIELDS] = {};
    for (int i = 0; argv && i < argc && i < AGAPI_MAX_FIELDS; ++i)
        words[i] = address(argv[i]);
    return build_vector(vector, argc, argv ? words : nullptr, function);
}

} // namespace arnonat::natapi

namespace {

constexpr size_t kTableBytes = 13440;
static_assert(kTableBytes == AGAPI_NAT_RULES_MAX * sizeof(NatRuleRecord));

// The copy handed out by agApi_zoltGetNatRuleByID: one per thread, so the
// table buffer it came from is freed and concurrent callers never share it.
thread_local NatRuleRecord t_found_rule;

enum Cell { kTime, kWindows };

// A table read: the table buffer and the cells of the engine's time and the
// three windows, allocated after the device is open and freed on return.
class TableRead {
public:
    bool allocate() { return table_.allocate(kTableBytes) && cells_.allocate(7 * sizeof(int32_t)); }

    // Field 0 the table; then the time cell when asked for, then the six
    // window cells.  Only the addresses are set: the engine knows the sizes.
    void attach(AgIoctlMsg &message, bool with_time) const
    {
        int f = 0;
        message.field[f++] = address(table_.get());
        if (with_time)
            message.field[f++] = address(cell(kTime));
        for (int i = 0; i < 6; ++i)
            message.field[f++] = address(cell(kWindows + i));
    }

    const NatRuleRecord *table() const { return static_cast<const NatRuleRecord *>(table_.get()); }
    int32_t time() const { return *cell(kTime); }
    int32_t window(int i) const { return *cell(kWindows + i); }

    const NatRuleRecord *next(int32_t &cursor) const
    {
        return EnumerateNatRule(&cursor, table(), window(0), window(1), window(2), window(3),
                                window(4), window(5));
    }

private:
    int32_t *cell(int i) const { return static_cast<int32_t *>(cells_.get()) + i; }

    HeapBuffer table_;
    HeapBuffer cells_;
};

// Reads the table with command C.  1 read, 0 device not opened or no memory,
// -1 refused; the messages of the function only when LOUD.
int read_table(Command c, TableRead &read, bool with_time, bool loud)
{
    Channel channel(c);
    if (!channel) {
        if (loud)
            report_open_failure(c);
        return 0;
    }
    if (!read.allocate()) {
        if (loud)
            std::printf("[%s]:malloc failed:%d\n", row(c).function, 0);
        return 0;
    }
    AgIoctlMsg message{};
    read.attach(message, with_time);
    int result = channel.send(message);
    if (result < 0) {
        if (loud)
            report_refusal(c, result);
        return -1;
    }
    return 1;
}

// Sends a command line.  With the vector refused nothing is sent (-1); with
// the device missing ABSENT is returned; otherwise the engine's result, or
// when it refused, the status it left in the count word.
int send_vector(Command c, int argc, char *const argv[], int absent, bool *opened = nullptr)
{
    AgArgVec vector;
    if (!argument_vector(vector, argc, argv, row(c).function))
        return -1;
    Channel channel(c);
    if (!channel)
        return absent;
    if (opened)
        *opened = true;
    int result = channel.send(address(&vector));
    return result >= 0 ? result : vector.count;
}


using arnonat::DottedText;
using arnonat::dotted;
using arnonat::atoi_clamped;
using Dotted = DottedText;


const char *protocol_word(const NatRuleRecord &r)
{
    switch (AGAPI_NAT_RULE_PROT(&r)) {
    case 0:
        return "TCP";
    case 1:
        return "UDP";
    default:
        return "ALL";
    }
}

void print_rule_line(const NatRuleRecord &r)
{
    Dotted wan, lan, mask, foreign;
    std::printf("%3d%4d%4d%16s%16s%16s%7u%7u%7u%8u%9u%6d%4d%5s%5d%5d%6d%16s%9d\n", r.id, r.wif,
                r.lif, dotted(wan, r.wan_ip), dotted(lan, r.lan_ip), dotted(mask, r.lan_mask),
                ntohs(r.fport1), ntohs(r.fport2), ntohs(r.s_port), r.time, r.timeout,
                AGAPI_NAT_RULE_TYPE(&r), AGAPI_NAT_RULE_NAT(&r), protocol_word(r),
                AGAPI_NAT_RULE_ONCE(&r), AGAPI_NAT_RULE_RESV(&r), AGAPI_NAT_RULE_CONFL(&r),
                dotted(foreign, r.ForeignIp), r.add_from);
}

constexpr char kDashes[] = "------------------------------------------------------------";
static_assert(sizeof kDashes == 61);

} // namespace

int arnonat::natapi::send_nat_rule_words(int argc, char *const argv[], bool &reached)
{
    reached = false;
    return send_vector(Command::natRuleAdd2, argc, argv, 0, &reached);
}

extern "C" {

int agApi_natRuleAdd(int argc, char *const argv[])
{
    const Command c = Command::natRuleAdd;
    AgArgVec vector;
    if (!argument_vector(vector, argc, argv, row(c).function))
        return -1;
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    return class_result(c, channel.send(address(&vector)));
}

int agApi_natRuleAddForUpnp(int argc, char *const argv[])
{
    return send_vector(Command::natRuleAddForUpnp, argc, argv, 0);
}

int agApi_natRulePortCheck(int argc, char *const argv[])
{
    return send_vector(Command::natRulePortCheck, argc, argv, -1);
}

int agApi_natRuleDel(int argc, char *const argv[])
{
    if (argc < 2 || !argv || !argv[1]) {
        std::printf("[agApi_natRuleDel]:no rule ID given, nothing sent\n");
        return -1;
    }
    return exchange(Command::natRuleDel, static_cast<uint32_t>(atoi_clamped(argv[1])));
}

int agApi_natRuleClear(void)
{
    return exchange(Command::natRuleClear, 0);
}

int agApi_natRuleMod(int32_t value, const NatRuleRecord *rule)
{
    if (!rule) {
        std::printf("[agApi_natRuleMod]:no rule given, nothing sent\n");
        return -1;
    }
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, &value, 4);
    set_field(message, 1, rule, sizeof *rule);
    return exchange(Command::natRuleMod, message);
}

int agApi_natRuleGet(void)
{
    TableRead read;
    int result = read_table(Command::natRuleGet, read, false, true);
    if (result != 1)
        return result;
    std::printf("\n");
    int32_t cursor = -1;
    while (const NatRuleRecord *r = read.next(cursor)) {
        if (AGAPI_NAT_RULE_NAT(r) != 2)
            continue;
        const unsigned char *wan = reinterpret_cast<const unsigned char *>(&r->wan_ip);
        const unsigned char *lan = reinterpret_cast<const unsigned char *>(&r->lan_ip);
        std::printf("ID: %d, wan Ip: %u.%u.%u.%u, wan port: %u, lan Ip: %u.%u.%u.%u, lan port: %u\n",
                    r->id, wan[0], wan[1], wan[2], wan[3], ntohs(r->fport1), lan[0], lan[1],
                    lan[2], lan[3], ntohs(r->s_port));
    }
    std::printf("\n");
    return 1;
}

int agApi_natDumpRuleTbl(void)
{
    TableRead read;
    int result = read_table(Command::natDumpRuleTbl, read, true, true);
    if (result != 1)
        return result;
    DumpNatRuleTable(read.table(), read.time(), read.window(0), read.window(1), read.window(2),
                     read.window(3), read.window(4), read.window(5));
    return 1;
}

const NatRuleRecord *agApi_zoltGetNatRuleByID(int32_t id)
{
    TableRead read;
    if (read_table(Command::zoltGetNatRuleByID, read, false, false) != 1)
        return nullptr;
    int32_t cursor = -1;
    while (const NatRuleRecord *r = read.next(cursor))
        if (r->id == id) {
            t_found_rule = *r;
            return &t_found_rule;
        }
    return nullptr;
}

const NatRuleRecord *EnumerateNatRule(int32_t *cursor, const NatRuleRecord *table,
                                      int32_t start1, int32_t count1, int32_t start2,
                                      int32_t count2, int32_t start3, int32_t count3)
{
    if (!cursor || !table)
        return nullptr;
    const int32_t starts[3] = {start1, start2, start3};
    const int32_t counts[3] = {count1, count2, count3};
    const int64_t candidate = *cursor < 0 ? 0 : int64_t{*cursor} + 1;
    for (int w = 0; w < 3; ++w) {
        // Windows the engine reports are kept inside the table's records.
        int64_t begin = candidate > starts[w] ? candidate : starts[w];
        int64_t end = int64_t{starts[w]} + counts[w];
        if (end > AGAPI_NAT_RULES_MAX)
            end = AGAPI_NAT_RULES_MAX;
        for (int64_t i = begin < 0 ? 0 : begin; i < end; ++i)
            if (AGAPI_NAT_RULE_IN_USE(&table[i])) {
                *cursor = static_cast<int32_t>(i);
                return &table[i];
            }
    }
    return nullptr;
}

void DumpNatRuleTable(const NatRuleRecord *table, int32_t time, int32_t start1, int32_t count1,
                      int32_t start2, int32_t count2, int32_t start3, int32_t count3)
{
    std::printf("\nCurrent time: %d\n", time);
    // The column names right-aligned in the widths of print_rule_line.
    std::printf(" id wif lif          wan_ip          lan_ip        lan_mask fport1 fport2 s_port    time  timeout"
                "  type nat prot once resv confl       ForeignIp add_from\n");
    std::printf("%s\n", kDashes);
    int printed = 0;
    int32_t cursor = -1;
    while (const NatRuleRecord *r =
               EnumerateNatRule(&cursor, table, start1, count1, start2, count2, start3, count3)) {
        print_rule_line(*r);
        std::printf("%s\n", kDashes);
        ++printed;
    }
    std::printf("Total %d rules.\n\n", printed);
}

} // extern "C"
