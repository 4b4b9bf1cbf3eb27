// Simulated engine: its own port trigger configurations.  A configuration is
// a 364-byte record known by the NUL-terminated name in its first 32 bytes;
// the engine keeps its status in the 32-bit word after the name.
//
// A configuration is read in place by the plain read command; the walk
// (first, next) answers with the address of the engine's own copy in field
// 0, which the library copies into the caller's record.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

constexpr size_t kRecordSize = AGAPI_TRIGGER_CONF_SIZE;
constexpr size_t kNameSize = AGAPI_TRIGGER_NAME_SIZE;
constexpr size_t kStatusAt = kNameSize;
constexpr int kConfs = 32;

unsigned char g_confs[kConfs][kRecordSize];
int g_count;

// The name a record carries; false when it has none or no terminator.
bool record_name(const unsigned char *record, uint32_t length, char (&name)[kNameSize])
{
    if (!record || length != kRecordSize || record[0] == '\0' ||
        !std::memchr(record, '\0', kNameSize))
        return false;
    std::memcpy(name, record, kNameSize);
    return true;
}

int find(const char *name)
{
    for (int i = 0; i < g_count; ++i)
        if (std::strncmp(reinterpret_cast<const char *>(g_confs[i]), name, kNameSize) == 0)
            return i;
    return -1;
}

// The configuration a command names: by record in field 0, or by a name
// sent with its terminator.
int named(const Request &r, bool by_record)
{
    char name[kNameSize];
    if (by_record) {
        if (!record_name(r.call.data[0], r.call.data_len[0], name))
            return kInvalid;
    } else {
        uint32_t n = r.call.data_len[0];
        if (n == 0 || r.call.data[0][n - 1] != '\0' || !r.field_text(0, name, sizeof name))
            return kInvalid;
    }
    int at = find(name);
    return at < 0 ? kNoEntry : at;
}

void drop(int at)
{
    std::memmove(g_confs[at], g_confs[at + 1], static_cast<size_t>(g_count - at - 1) * kRecordSize);
    --g_count;
}

int get(Request &r)
{
    int at = named(r, true);
    if (at < 0)
        return at;
    std::memcpy(reinterpret_cast<void *>(r.message->field[0]), g_confs[at], kRecordSize);
    return 0;
}

int answer(Request &r, int at)
{
    if (r.message->length[0] != kRecordSize || r.message->field[0] == 0)
        return kInvalid;
    if (at >= g_count)
        return kNoEntry;
    r.message->field[0] = reinterpret_cast<uintptr_t>(g_confs[at]);
    return 0;
}

int get_first(Request &r)
{
    return answer(r, 0);
}

// The one after the configuration named; the end of the walk is kNoEntry.
int get_next(Request &r)
{
    int at = named(r, true);
    return at < 0 ? at : answer(r, at + 1);
}

int del(Request &r)
{
    int at = named(r, false);
    if (at >= 0)
        drop(at);
    return at < 0 ? at : 0;
}

int del_record(Request &r)
{
    int at = named(r, true);
    if (at >= 0)
        drop(at);
    return at < 0 ? at : 0;
}

int set_status(Request &r)
{
    int at = named(r, false);
    if (at < 0)
        return at;
    if (r.call.data_len[1] != 4)
        return kInvalid;
    std::memcpy(g_confs[at] + kStatusAt, r.call.data[1], 4);
    return 0;
}

} // namespace

void reset_trigger_confs()
{
    std::memset(g_confs, 0, sizeof g_confs);
    g_count = 0;
}

int set_trigger_confs(const void *records364, int n)
{
    if (n < 0 || n > kConfs || (n > 0 && !records364))
        return -1;
    reset_trigger_confs();
    if (n > 0)
        std::memcpy(g_confs, records364, static_cast<size_t>(n) * kRecordSize);
    g_count = n;
    return 0;
}

const SimCommand kTriggerConfCommands[] = {
    {0x8004642E, Dev::Nat, Arg::Message, Fields::Length, 1, 0, 0, get},
    {0x8004642F, Dev::Nat, Arg::Message, Fields::Length, 1, 0, 0, del},
    {0x80046430, Dev::Nat, Arg::Message, Fields::Length, 2, 0, 0, set_status},
    {0x80046431, Dev::Nat, Arg::Message, Fields::Length, 1, 0x1, 0, get_first},
    {0x80046432, Dev::Nat, Arg::Message, Fields::Length, 1, 0, 0, get_next},
    {0x80046433, Dev::Nat, Arg::Message, Fields::Length, 1, 0, 0, del_record},
    {0, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, nullptr},
};

} // namespace natsim
