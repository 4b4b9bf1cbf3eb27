// Simulated engine: the NAT rule table.  Rules live in the table a test can
// load whole (with its three windows); rules added by command line words are
// appended to the first window.
#include <arpa/inet.h>

#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

constexpr size_t kRecordSize = sizeof(NatRuleRecord);
constexpr int32_t kEngineTime = 86400; // seconds the simulated engine has run
constexpr uint8_t kInUse = 0x10;

NatRuleRecord *records()
{
    return reinterpret_cast<NatRuleRecord *>(nat_table_records());
}

NatRuleRecord get(int i)
{
    NatRuleRecord r;
    std::memcpy(&r, records() + i, kRecordSize);
    return r;
}

void put(int i, const NatRuleRecord &r)
{
    std::memcpy(records() + i, &r, kRecordSize);
}

int find_in_use(int32_t id)
{
    for (int i = 0; i < nat_table_count(); ++i) {
        NatRuleRecord r = get(i);
        if (r.id == id && (r.flags_b & kInUse))
            return i;
    }
    return -1;
}

int32_t next_id()
{
    int32_t id = 0;
    for (int i = 0; i < nat_table_count(); ++i)
        if (get(i).id > id)
            id = get(i).id;
    return id + 1;
}

// A new record at index I is seen through the first window.
void widen_first_window(int i)
{
    int32_t *w = nat_table_windows();
    bool none = true;
    for (int k = 0; k < 6; ++k)
        none = none && w[k] == 0;
    if (none || w[0] + w[1] == i)
        w[1] = i + 1 - w[0];
}

// The words are a command line: the command word, then ports, the server
// address and a protocol word.  The new rule's ID is the answer.
int add(Request &r)
{
    if (r.call.count < 2)
        return kInvalid;
    int i = nat_table_count();
    if (i == AGAPI_NAT_RULES_MAX)
        return kNoSpace;
    NatRuleRecord rule{};
    rule.id = next_id();
    rule.flags_a = 2 << 4; // a port forwarding (NAT) rule
    rule.flags_b = kInUse | 2;
    for (int k = 1; k < r.call.count; ++k) {
        const char *word = reinterpret_cast<const char *>(r.call.data[k]);
        if (!word)
            continue;
        in_addr a;
        if (std::strchr(word, '.') && inet_pton(AF_INET, word, &a) == 1)
            rule.lan_ip = a.s_addr;
        else if (std::strcmp(word, "tcp") == 0)
            rule.flags_b = kInUse | 0;
        else if (std::strcmp(word, "udp") == 0)
            rule.flags_b = kInUse | 1;
    }
    put(i, rule);
    ++nat_table_count();
    widen_first_window(i);
    return rule.id;
}

// No rule of the engine is in the way.
int port_check(Request &r)
{
    return r.call.count < 1 ? kInvalid : 0;
}

int del(Request &r)
{
    int i = find_in_use(r.value());
    if (i < 0)
        return kNoEntry;
    NatRuleRecord rule = get(i);
    rule.flags_b &= static_cast<uint8_t>(~kInUse);
    put(i, rule);
    return 0;
}

int clear(Request &)
{
    for (int i = 0; i < nat_table_count(); ++i) {
        NatRuleRecord rule = get(i);
        rule.flags_b &= static_cast<uint8_t>(~kInUse);
        put(i, rule);
    }
    return 0;
}

// The rule with the record's ID takes the record's place.
int mod(Request &r)
{
    if (r.call.count != 2 || r.call.data_len[0] != 4 || r.call.data_len[1] != kRecordSize)
        return kInvalid;
    NatRuleRecord rule;
    std::memcpy(&rule, r.call.data[1], kRecordSize);
    int i = find_in_use(rule.id);
    if (i < 0)
        return kNoEntry;
    put(i, rule);
    return 0;
}

// Field 0 the whole table, then the time cell when asked for, then the six
// window cells.
int read_table(Request &r, bool with_time)
{
    const AgIoctlMsg &m = *r.message;
    int fields = with_time ? 8 : 7;
    for (int k = 0; k < fields; ++k)
        if (m.field[k] == 0)
            return kFault;
    std::memcpy(reinterpret_cast<void *>(m.field[0]), nat_table_records(),
                AGAPI_NAT_RULES_MAX * kRecordSize);
    int f = 1;
    if (with_time)
        put32(m.field[f++], kEngineTime);
    for (int k = 0; k < 6; ++k)
        put32(m.field[f++], nat_table_windows()[k]);
    return 0;
}

int get_table(Request &r) { return read_table(r, false); }
int dump_table(Request &r) { return read_table(r, true); }

constexpr Dev N = Dev::Nat;
constexpr Fields L = Fields::Length;

} // namespace

void reset_nat_rules() {}

const SimCommand kNatRuleCommands[] = {
    {0x80046404, N, Arg::Message, L, 8, 0xff, 0, dump_table},
    {0x80046407, N, Arg::Vector, L, 0, 0, 0, add},
    {0x80046408, N, Arg::Value, L, 0, 0, 0, del},
    {0x80046409, N, Arg::Value, L, 0, 0, 0, clear},
    {0x8004640A, N, Arg::Message, L, 7, 0x7f, 0, get_table},
    {0x80046428, N, Arg::Vector, L, 0, 0, 0, add},
    {0x8004642A, N, Arg::Message, L, -1, 0, 0, mod},
    {0x8004645F, N, Arg::Vector, L, 0, 0, 0, port_check},
    {0x80046492, N, Arg::Vector, L, 0, 0, 0, add},
    {0, N, Arg::Value, L, 0, 0, 0, nullptr},
};

} // namespace natsim
