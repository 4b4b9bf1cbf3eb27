// Simulated engine: the IP filter tables and block-service tables of both
// WAN sessions, with the block-services action and mode.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

template <typename Record, int Max>
struct Table {
    Record record[Max];
    int count;

    int remove(int32_t at)
    {
        if (at < 0 || at >= count)
            return kNoEntry;
        std::memmove(&record[at], &record[at + 1], (count - at - 1) * sizeof record[0]);
        --count;
        return 0;
    }
    int insert(int32_t at, const unsigned char *bytes)
    {
        if (at < 0 || at > count)
            return kNoEntry;
        if (count == Max)
            return kNoSpace;
        std::memmove(&record[at + 1], &record[at], (count - at) * sizeof record[0]);
        std::memcpy(&record[at], bytes, sizeof(Record));
        ++count;
        return at;
    }
};

using Filters = Table<FwFilterRecord, AGAPI_FILTERS_MAX>;
using BlockServices = Table<FwBlkServRecord, AGAPI_BLOCK_SERVICES_MAX>;

struct Session {
    Filters filters;
    BlockServices block_services;
    int32_t action;
    uint16_t mode[3];
};
Session g_sessions[2];

Session &s1() { return g_sessions[0]; }
Session &s2() { return g_sessions[1]; }

bool sized(const Request &r, int i, uint32_t n)
{
    return r.call.data[i] && r.call.data_len[i] == n;
}

uint16_t field16(const Request &r, int i)
{
    uint16_t v = 0;
    if (r.call.data[i] && r.call.data_len[i] >= 2)
        std::memcpy(&v, r.call.data[i], 2);
    return v;
}

// Field 0 receives the records, field 1 the count.
template <typename T>
int list(T &t, Request &r)
{
    AgIoctlMsg &m = *r.message;
    if (m.field[0] == 0 || m.field[1] == 0)
        return kFault;
    if (t.count)
        std::memcpy(reinterpret_cast<void *>(m.field[0]), t.record, t.count * sizeof t.record[0]);
    return put32(m.field[1], t.count);
}

// Field RECORD is written the record at the position of field INDEX.
template <typename T>
int get(T &t, Request &r, int32_t at)
{
    if (at < 0 || at >= t.count)
        return kNoEntry;
    if (r.message->field[0] == 0)
        return kFault;
    std::memcpy(reinterpret_cast<void *>(r.message->field[0]), &t.record[at], sizeof t.record[0]);
    return 0;
}

// Record and filter number: appended; the answer is its position.
int filter_add(Session &s, Request &r)
{
    if (!sized(r, 0, sizeof(FwFilterRecord)) || !sized(r, 1, 4))
        return kInvalid;
    return s.filters.insert(s.filters.count, r.call.data[0]);
}

int filter_insert(Session &s, Request &r)
{
    if (!sized(r, 0, 4) || !sized(r, 1, sizeof(FwFilterRecord)))
        return kInvalid;
    return s.filters.insert(r.field32(0), r.call.data[1]);
}

int filter_modify(Session &s, Request &r)
{
    if (!sized(r, 0, 4) || !sized(r, 1, sizeof(FwFilterRecord)))
        return kInvalid;
    int32_t at = r.field32(0);
    if (at < 0 || at >= s.filters.count)
        return kNoEntry;
    std::memcpy(&s.filters.record[at], r.call.data[1], sizeof(FwFilterRecord));
    return 0;
}

int filter_get(Session &s, Request &r)
{
    if (!sized(r, 1, 4))
        return kInvalid;
    return get(s.filters, r, r.field32(1));
}

int block_service_add(Session &s, Request &r)
{
    if (!sized(r, 0, sizeof(FwBlkServRecord)))
        return kInvalid;
    int at = s.block_services.insert(s.block_services.count, r.call.data[0]);
    return at < 0 ? at : 0;
}

int block_service_get(Session &s, Request &r)
{
    if (!sized(r, 1, 4))
        return kInvalid;
    return get(s.block_services, r, field16(r, 1));
}

// Moves the rule at the first position to the second.
int filter_move(Request &r)
{
    if (!sized(r, 0, 4) || !sized(r, 1, 4))
        return kInvalid;
    Filters &f = s1().filters;
    int32_t from = r.field32(0), to = r.field32(1);
    if (from < 0 || from >= f.count || to < 0 || to >= f.count)
        return kNoEntry;
    FwFilterRecord moved = f.record[from];
    f.remove(from);
    return f.insert(to, reinterpret_cast<const unsigned char *>(&moved)) < 0 ? kInvalid : 0;
}

// Rule position, scheduled flag and schedule index.
int filter_schedule(Request &r)
{
    if (!sized(r, 0, 4) || !sized(r, 1, 4) || !sized(r, 2, 2))
        return kInvalid;
    Filters &f = s1().filters;
    int32_t at = r.field32(0);
    if (at < 0 || at >= f.count)
        return kNoEntry;
    f.record[at].bScheduleFlags = r.field32(1) ? AGAPI_FILTER_SCHEDULED : 0;
    f.record[at].usScheduleIndex = field16(r, 2);
    return 0;
}

int block_service_modify(Request &r)
{
    if (!sized(r, 0, 2) || !sized(r, 1, sizeof(FwBlkServRecord)))
        return kInvalid;
    int at = field16(r, 0);
    if (at >= s1().block_services.count)
        return kNoEntry;
    std::memcpy(&s1().block_services.record[at], r.call.data[1], sizeof(FwBlkServRecord));
    return 0;
}

int block_service_mode(Request &r)
{
    for (int i = 0; i < 3; ++i) {
        if (!sized(r, i, 2))
            return kInvalid;
        s1().mode[i] = field16(r, i);
    }
    return 0;
}

int filter_list1(Request &r) { return list(s1().filters, r); }
int filter_add1(Request &r) { return filter_add(s1(), r); }
int filter_del1(Request &r) { return s1().filters.remove(r.value()); }
int filter_mod1(Request &r) { return filter_modify(s1(), r); }
int filter_insert1(Request &r) { return filter_insert(s1(), r); }
int filter_get1(Request &r) { return filter_get(s1(), r); }
int filter_count(Request &r) { return put32(r.arg, s1().filters.count); }
int bs_list1(Request &r) { return list(s1().block_services, r); }
int bs_add1(Request &r) { return block_service_add(s1(), r); }
int bs_del1(Request &r) { return s1().block_services.remove(r.value()); }
int bs_count1(Request &) { return s1().block_services.count; }
int bs_get1(Request &r) { return block_service_get(s1(), r); }
int bs_action1(Request &r) { s1().action = r.value(); return 0; }
int filter_list2(Request &r) { return list(s2().filters, r); }
int filter_add2(Request &r) { return filter_add(s2(), r); }
int filter_del2(Request &r) { return s2().filters.remove(r.value()); }
int filter_mod2(Request &r) { return filter_modify(s2(), r); }
int filter_insert2(Request &r) { return filter_insert(s2(), r); }
int filter_get2(Request &r) { return filter_get(s2(), r); }
int bs_add2(Request &r) { return block_service_add(s2(), r); }
int bs_count2(Request &) { return s2().block_services.count; }
int bs_get2(Request &r) { return block_service_get(s2(), r); }
int bs_action2(Request &r) { s2().action = r.value(); return 0; }

constexpr Dev N = Dev::Nat;
constexpr Arg V = Arg::Value;
constexpr Arg M = Arg::Message;
constexpr Fields L = Fields::Length;

} // namespace

void reset_filters()
{
    std::memset(g_sessions, 0, sizeof g_sessions);
}

const SimCommand kFilterCommands[] = {
    {0x8004640F, N, M, L, 2, 0x3, 0, filter_list1},
    {0x80046410, N, M, L, 2, 0, 0, filter_add1},
    {0x80046411, N, V, L, 0, 0, 0, filter_del1},
    {0x80046412, N, M, L, 2, 0, 0, filter_mod1},
    {0x80046413, N, M, L, 2, 0, 0, filter_move},
    // Three fields under a count of 2.
    {0x80046414, N, M, L, 3, 0, 0, filter_schedule},
    {0x80046415, N, M, L, 2, 0x3, 0, bs_list1},
    {0x80046416, N, M, L, 1, 0, 0, bs_add1},
    {0x80046417, N, V, L, 0, 0, 0, bs_del1},
    {0x80046418, N, M, L, 2, 0, 0, block_service_modify},
    {0x80046419, N, M, L, 3, 0, 0, block_service_mode},
    {0x8004642B, N, M, L, 2, 0, 0, filter_insert1},
    {0x8004643E, N, V, L, 0, 0, 0, bs_count1},
    {0x8004643F, N, M, L, 2, 0x1, 0, bs_get1},
    {0x80046440, N, V, L, 0, 0, 0, bs_action1},
    {0x80046443, N, M, L, 2, 0x1, 0, filter_get1},
    {0x8004646C, N, V, L, 0, 0, 0, filter_count},
    {0x80046477, N, M, L, 2, 0x3, 0, filter_list2},
    {0x80046478, N, M, L, 2, 0x1, 0, filter_get2},
    {0x80046479, N, M, L, 2, 0, 0, filter_add2},
    {0x8004647A, N, V, L, 0, 0, 0, filter_del2},
    {0x8004647B, N, M, L, 2, 0, 0, filter_mod2},
    {0x8004647E, N, M, L, 2, 0, 0, filter_insert2},
    {0x80046487, N, M, L, 1, 0, 0, bs_add2},
    {0x8004648B, N, V, L, 0, 0, 0, bs_count2},
    {0x8004648C, N, M, L, 2, 0x1, 0, bs_get2},
    {0x8004648D, N, V, L, 0, 0, 0, bs_action2},
    {0, N, V, L, 0, 0, 0, nullptr},
};

} // namespace natsim
