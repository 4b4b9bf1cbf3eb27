// Simulated engine: the tables a test loads whole (NAT rules with their
// windows, ALG table, connections) and the version text.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

constexpr int kNatRecordSize = 48;
constexpr int kNatRecords = 13440 / kNatRecordSize;
constexpr int kAlgEntrySize = 80;
constexpr int kAlgEntries = 6400 / kAlgEntrySize;
constexpr int kConnEntrySize = 92;
constexpr int kConnEntries = 188416 / kConnEntrySize;
constexpr int kVersionSize = 104;

struct Tables {
    // The records are read in place as the engine's record type.
    alignas(8) unsigned char nat[kNatRecords][kNatRecordSize];
    int nat_count;
    int32_t windows[6];
    unsigned char alg[kAlgEntries][kAlgEntrySize];
    int alg_count;
    unsigned char conn[kConnEntries][kConnEntrySize];
    int conn_count;
    char version[kVersionSize];
};
Tables g;

constexpr char kDefaultVersion[] = "natsim 1.0";

int load(void *to, const void *from, int n, int max, size_t size, int &count)
{
    if (n < 0 || n > max || (n > 0 && !from))
        return -1;
    if (n > 0)
        std::memcpy(to, from, static_cast<size_t>(n) * size);
    count = n;
    return 0;
}

int version(Request &r)
{
    std::memcpy(reinterpret_cast<void *>(r.arg), g.version, kVersionSize);
    return 0;
}

// The ALG table into field 0, the entry count back in length[0].
int dump_alg(Request &r)
{
    if (r.message->field[0] == 0)
        return kFault;
    std::memcpy(reinterpret_cast<void *>(r.message->field[0]), g.alg,
                static_cast<size_t>(g.alg_count) * kAlgEntrySize);
    r.message->length[0] = static_cast<uint32_t>(g.alg_count);
    return 0;
}

} // namespace

int conn_table_count()
{
    return g.conn_count;
}

const unsigned char *conn_table_entries()
{
    return &g.conn[0][0];
}

int conn_table_append(const unsigned char *entry92)
{
    if (g.conn_count == kConnEntries)
        return -1;
    std::memcpy(g.conn[g.conn_count], entry92, kConnEntrySize);
    return g.conn_count++;
}

void reset_engine_tables()
{
    std::memset(&g, 0, sizeof g);
    std::memcpy(g.version, kDefaultVersion, sizeof kDefaultVersion);
}

void *nat_table_records()
{
    return &g.nat[0][0];
}

int &nat_table_count()
{
    return g.nat_count;
}

int32_t *nat_table_windows()
{
    return g.windows;
}

const SimCommand kEngineCommands[] = {
    {0x80046405, Dev::Nat, Arg::Message, Fields::Length, 1, 0x1, 0, dump_alg},
    {0x80046406, Dev::Nat, Arg::Record, Fields::Length, 0, 0, 0, version},
    {0, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, nullptr},
};

} // namespace natsim

using namespace natsim;

extern "C" {

int natsim_set_nat_table(const void *records48, int n, const int32_t windows[6])
{
    if (load(g.nat, records48, n, kNatRecords, kNatRecordSize, g.nat_count) != 0)
        return -1;
    if (windows)
        std::memcpy(g.windows, windows, sizeof g.windows);
    else
        std::memset(g.windows, 0, sizeof g.windows);
    return 0;
}

int natsim_set_alg_table(const void *entries80, int n)
{
    return load(g.alg, entries80, n, kAlgEntries, kAlgEntrySize, g.alg_count);
}

int natsim_set_conn_table(const void *entries92, int n)
{
    return load(g.conn, entries92, n, kConnEntries, kConnEntrySize, g.conn_count);
}

int natsim_set_version(const char *text)
{
    if (!text || std::strlen(text) >= kVersionSize)
        return -1;
    std::memset(g.version, 0, sizeof g.version);
    std::memcpy(g.version, text, std::strlen(text));
    return 0;
}

} // extern "C"
