// Simulated engine: the firewall service tables of both WAN sessions.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

struct ServiceTable {
    FwServiceRecord record[AGAPI_SERVICES_MAX];
    int count;
};
ServiceTable g_tables[2];

ServiceTable &first() { return g_tables[0]; }
ServiceTable &second() { return g_tables[1]; }

// Field 0 of the listing receives every record; the count goes back in its
// length word.
int list(ServiceTable &t, Request &r)
{
    AgIoctlMsg &m = *r.message;
    if (m.field[0] == 0)
        return kFault;
    if (t.count)
        std::memcpy(reinterpret_cast<void *>(m.field[0]), t.record, t.count * sizeof(FwServiceRecord));
    m.length[0] = static_cast<uint32_t>(t.count);
    return 0;
}

uint16_t field16(const Request &r, int i)
{
    uint16_t v = 0;
    if (r.call.data[i] && r.call.data_len[i] >= 2)
        std::memcpy(&v, r.call.data[i], 2);
    return v;
}

// Name, protocol, first and last port; the answer is the new index.
int add(ServiceTable &t, Request &r)
{
    FwServiceRecord s{};
    if (r.call.data_len[1] != 1 || r.call.data_len[2] != 2 || r.call.data_len[3] != 2)
        return kInvalid;
    if (!r.field_text(0, s.sName, sizeof s.sName) || s.sName[0] == '\0')
        return kInvalid;
    if (t.count == AGAPI_SERVICES_MAX)
        return kNoSpace;
    s.bProtocol = r.call.data[1][0];
    s.usStartPort = field16(r, 2);
    s.usEndPort = field16(r, 3);
    t.record[t.count] = s;
    return t.count++;
}

int del(ServiceTable &t, int32_t at)
{
    if (at < 0 || at >= t.count)
        return kNoEntry;
    std::memmove(&t.record[at], &t.record[at + 1], (t.count - at - 1) * sizeof t.record[0]);
    --t.count;
    return 0;
}

// The name is read at the address handed over as the value.
int del_by_name(ServiceTable &t, Request &r)
{
    if (r.arg == 0)
        return kFault;
    const char *name = reinterpret_cast<const char *>(r.arg);
    size_t n = strnlen(name, sizeof(FwServiceRecord::sName));
    if (n == sizeof(FwServiceRecord::sName))
        return kInvalid;
    for (int i = 0; i < t.count; ++i)
        if (std::strncmp(t.record[i].sName, name, sizeof t.record[i].sName) == 0)
            return del(t, i);
    return kNoEntry;
}

int modify(ServiceTable &t, Request &r)
{
    if (r.call.data_len[0] != 2 || r.call.data_len[1] != sizeof(FwServiceRecord))
        return kInvalid;
    int at = field16(r, 0);
    if (at >= t.count)
        return kNoEntry;
    std::memcpy(&t.record[at], r.call.data[1], sizeof(FwServiceRecord));
    return 0;
}

// Field 0 receives the record; field 1 holds the index in its first two
// bytes.
int get(ServiceTable &t, Request &r)
{
    if (r.call.data_len[1] != 4)
        return kInvalid;
    int at = field16(r, 1);
    if (at >= t.count)
        return kNoEntry;
    if (r.message->field[0] == 0)
        return kFault;
    std::memcpy(reinterpret_cast<void *>(r.message->field[0]), &t.record[at], sizeof(FwServiceRecord));
    return 0;
}

int list1(Request &r) { return list(first(), r); }
int add1(Request &r) { return add(first(), r); }
int del1(Request &r) { return del(first(), r.value()); }
int mod1(Request &r) { return modify(first(), r); }
int del_name1(Request &r) { return del_by_name(first(), r); }
int count1(Request &) { return first().count; }
int get1(Request &r) { return get(first(), r); }
int list2(Request &r) { return list(second(), r); }
int add2(Request &r) { return add(second(), r); }
int del2(Request &r) { return del(second(), r.value()); }
int mod2(Request &r) { return modify(second(), r); }
int del_name2(Request &r) { return del_by_name(second(), r); }
int count2(Request &) { return second().count; }
int get2(Request &r) { return get(second(), r); }

constexpr Dev N = Dev::Nat;
constexpr Arg V = Arg::Value;
constexpr Arg M = Arg::Message;
constexpr Fields L = Fields::Length;

} // namespace

void reset_services()
{
    std::memset(g_tables, 0, sizeof g_tables);
}

const SimCommand kServiceCommands[] = {
    {0x8004640B, N, M, L, 1, 0x1, 0, list1},
    {0x8004640C, N, M, L, 4, 0, 0, add1},
    {0x8004640D, N, V, L, 0, 0, 0, del1},
    {0x8004640E, N, M, L, 2, 0, 0, mod1},
    {0x80046429, N, V, L, 0, 0, 0, del_name1},
    {0x80046441, N, V, L, 0, 0, 0, count1},
    {0x80046442, N, M, L, 2, 0x1, 0, get1},
    {0x8004647F, N, M, L, 1, 0x1, 0, list2},
    {0x80046480, N, M, L, 4, 0, 0, add2},
    {0x80046481, N, V, L, 0, 0, 0, del2},
    {0x80046482, N, V, L, 0, 0, 0, del_name2},
    {0x80046483, N, M, L, 2, 0, 0, mod2},
    {0x80046484, N, M, L, 2, 0x1, 0, get2},
    {0x80046485, N, V, L, 0, 0, 0, count2},
    {0, N, V, L, 0, 0, 0, nullptr},
};

} // namespace natsim
