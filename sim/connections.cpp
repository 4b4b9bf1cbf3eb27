// Simulated engine: the connection table's commands.  The listings go to the
// kernel log on the router, so the simulated engine prints nothing for
// them; it checks what it is given and answers the number of connections.
#include <cstring>
#include <ctime>

#include "sim/engine.h"

namespace natsim {

namespace {

constexpr size_t kEntrySize = 92;
static_assert(188416 / kEntrySize == 2048);
constexpr unsigned char kEstablished = 4;

// Offsets inside an entry that the engine itself sets.
constexpr size_t kIdAt = 8;
constexpr size_t kSourceAt = 16;
constexpr size_t kDestinationAt = 20;
constexpr size_t kSourcePortAt = 32;
constexpr size_t kDestinationPortAt = 34;
constexpr size_t kStateAt = 39;

// Field 0 the entry count, field 1 the entries, field 2 the engine's clock.
int fetch(Request &r)
{
    const AgIoctlMsg &m = *r.message;
    if (m.field[0] == 0 || m.field[1] == 0 || m.field[2] == 0)
        return kFault;
    int n = conn_table_count();
    std::memcpy(reinterpret_cast<void *>(m.field[1]), conn_table_entries(),
                static_cast<size_t>(n) * kEntrySize);
    put32(m.field[0], n);
    return put32(m.field[2], static_cast<int32_t>(std::time(nullptr)));
}

int listing(Request &r)
{
    return r.value() == 0 ? conn_table_count() : kInvalid;
}

int listing_port(Request &r)
{
    if (!r.call.record)
        return kFault;
    int32_t port = 0;
    std::memcpy(&port, r.call.record, sizeof port);
    return port >= 0 && port <= 65535 ? conn_table_count() : kInvalid;
}

bool zero(const unsigned char *entry, size_t at, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (entry[at + i] != 0)
            return false;
    return true;
}

bool same_connection(const unsigned char *a, const unsigned char *b)
{
    return std::memcmp(a + kSourceAt, b + kSourceAt, 8) == 0 &&
           std::memcmp(a + kSourcePortAt, b + kSourcePortAt, 4) == 0 && a[38] == b[38];
}

// A recovered connection: both ends and ports must be known.  The engine
// numbers it and takes it as established.
int add(Request &r)
{
    if (!r.call.record)
        return kFault;
    unsigned char entry[kEntrySize];
    std::memcpy(entry, r.call.record, kEntrySize);
    if (zero(entry, kSourceAt, 4) || zero(entry, kDestinationAt, 4) ||
        zero(entry, kSourcePortAt, 2) || zero(entry, kDestinationPortAt, 2))
        return kInvalid;
    const unsigned char *table = conn_table_entries();
    for (int i = 0; i < conn_table_count(); ++i)
        if (same_connection(table + static_cast<size_t>(i) * kEntrySize, entry))
            return kExists;
    int16_t id = static_cast<int16_t>(conn_table_count() + 1);
    std::memcpy(entry + kIdAt, &id, sizeof id);
    if ((entry[kStateAt] & 0x0f) == 0)
        entry[kStateAt] = static_cast<unsigned char>((entry[kStateAt] & 0xf0) | kEstablished);
    return conn_table_append(entry) < 0 ? kNoSpace : 0;
}

} // namespace

// The seventeen listings differ only in their command number.
constexpr SimCommand listing_row(uint32_t number)
{
    return {0x80046400u | number, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, listing};
}

const SimCommand kConnectionCommands[] = {
    {0x80046403, Dev::Nat, Arg::Message, Fields::Length, 3, 0x7, 0, fetch},
    {0x80046421, Dev::Nat, Arg::Message, Fields::Length, 3, 0x7, 0, fetch},
    {0x40046447, Dev::Nat, Arg::Record, Fields::Length, 0, 0, kEntrySize, add},
    listing_row(0x4E), listing_row(0x4F), listing_row(0x50), listing_row(0x51),
    listing_row(0x52), listing_row(0x53), listing_row(0x54), listing_row(0x55),
    listing_row(0x56), listing_row(0x57), listing_row(0x58), listing_row(0x59),
    listing_row(0x5A), listing_row(0x5B), listing_row(0x5C), listing_row(0x5D),
    listing_row(0x5E),
    {0x80046460, Dev::Nat, Arg::Record, Fields::Length, 0, 0, 4, listing_port},
    {0, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, nullptr},
};

} // namespace natsim
