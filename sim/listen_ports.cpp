// Simulated engine: the listen port list.  An entry keeps its higher port
// first and its lower port second, so that "second:first" reads as a range.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

ListenPort g_ports[kListenPorts];
int g_count;

bool is_port(int32_t p)
{
    return p >= 1 && p <= 65535;
}

int find(int first, int second)
{
    for (int i = 0; i < g_count; ++i)
        if (g_ports[i].first == first && g_ports[i].second == second)
            return i;
    return -1;
}

// Problems are reported as a status in the count word; the command itself
// succeeds.
int32_t open_or_close(int32_t low, int32_t high, bool open)
{
    if (!is_port(low) || !is_port(high) || high < low)
        return kInvalid;
    int at = find(high, low);
    if (!open) {
        if (at >= 0) {
            std::memmove(&g_ports[at], &g_ports[at + 1], (g_count - at - 1) * sizeof g_ports[0]);
            --g_count;
        }
        return 0;
    }
    if (at >= 0)
        return 0;
    if (g_count == kListenPorts)
        return kNoSpace;
    g_ports[g_count++] = ListenPort{static_cast<uint16_t>(high), static_cast<uint16_t>(low)};
    return 0;
}

// The list: field 0 the first ports, field 1 the second ports, field 2 the
// entry count, each written in full.
int list(Request &r)
{
    const AgIoctlMsg &m = *r.message;
    if (m.field[0] == 0 || m.field[1] == 0 || m.field[2] == 0)
        return kFault;
    uint16_t first[kListenPorts] = {}, second[kListenPorts] = {};
    for (int i = 0; i < g_count; ++i) {
        first[i] = g_ports[i].first;
        second[i] = g_ports[i].second;
    }
    std::memcpy(reinterpret_cast<void *>(m.field[0]), first, sizeof first);
    std::memcpy(reinterpret_cast<void *>(m.field[1]), second, sizeof second);
    return put32(m.field[2], g_count);
}

// Port index, port number and enable, held in the field words.
int set_port(Request &r)
{
    int32_t port = r.field32(1);
    int32_t s = open_or_close(port, port, r.field32(2) == 1);
    if (s < 0)
        r.status(s);
    return 0;
}

// Lowest port, highest port and enable, at the field addresses.
int set_range(Request &r)
{
    int32_t s = open_or_close(r.field32(0), r.field32(1), r.field32(2) == 1);
    if (s < 0)
        r.status(s);
    return 0;
}

} // namespace

void reset_listen_ports()
{
    g_count = 0;
}

int set_listen_ports(const uint16_t *first, const uint16_t *second, int n)
{
    if (n < 0 || n > kListenPorts || (n > 0 && (!first || !second)))
        return -1;
    for (int i = 0; i < n; ++i)
        g_ports[i] = ListenPort{first[i], second[i]};
    g_count = n;
    return 0;
}

const SimCommand kListenPortCommands[] = {
    {0x80046424, Dev::Nat, Arg::Message, Fields::Length, 3, 0x7, 0, list},
    {0x8004643D, Dev::Nat, Arg::Message, Fields::Value, 3, 0, 0, set_port},
    {0x4004646A, Dev::Nat, Arg::Message, Fields::Word4, 3, 0, 0, set_range},
    {0, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, nullptr},
};

} // namespace natsim
