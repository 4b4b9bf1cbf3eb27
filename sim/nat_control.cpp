// Simulated engine: the NAT switch, the interfaces NAT is hooked onto and
// the ALG settings.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

constexpr int kInterfaces = 8;
constexpr size_t kNameSize = 16;
constexpr int kAlgs = 16;

struct Hooks {
    char names[kInterfaces][kNameSize];
    int count;
};

struct Control {
    int32_t enabled;
    Hooks wan, lan, pptp;
    int32_t sip_alg, wan_if_count;
    struct {
        char name[44];
        int32_t value;
    } alg[kAlgs];
    int alg_count;
};
Control g;

int set_enabled(int32_t on)
{
    g.enabled = on;
    return 0;
}

int enable(Request &) { return set_enabled(1); }
int disable(Request &) { return set_enabled(0); }
int status(Request &r) { return put32(r.arg, g.enabled); }

int hook(Hooks &h, Request &r)
{
    char name[kNameSize];
    if (r.call.data_len[0] == 0 || !r.field_text(0, name, sizeof name))
        return kInvalid;
    for (int i = 0; i < h.count; ++i)
        if (std::strcmp(h.names[i], name) == 0)
            return 0;
    if (h.count == kInterfaces)
        return kNoSpace;
    std::memcpy(h.names[h.count++], name, sizeof name);
    return 0;
}

// The value 0 instead of a message takes every interface off.
int unhook(Hooks &h, Request &r)
{
    if (!r.message) {
        h.count = 0;
        return 0;
    }
    char name[kNameSize];
    if (r.call.data_len[0] == 0 || !r.field_text(0, name, sizeof name))
        return kInvalid;
    for (int i = 0; i < h.count; ++i)
        if (std::strcmp(h.names[i], name) == 0) {
            std::memmove(h.names[i], h.names[i + 1], (h.count - i - 1) * kNameSize);
            --h.count;
            return 0;
        }
    return kNoEntry;
}

int wan_hook(Request &r) { return hook(g.wan, r); }
int lan_hook(Request &r) { return hook(g.lan, r); }
int pptp_hook(Request &r) { return hook(g.pptp, r); }
int wan_unhook(Request &r) { return unhook(g.wan, r); }
int lan_unhook(Request &r) { return unhook(g.lan, r); }

int sip_alg(Request &r)
{
    g.sip_alg = r.value();
    return 0;
}

int wan_if_count(Request &r)
{
    g.wan_if_count = r.value();
    return 0;
}

int set_alg(Request &r)
{
    char name[sizeof g.alg[0].name];
    if (r.call.count != 2 || r.call.data_len[0] == 0 || r.call.data_len[1] != 4 ||
        !r.field_text(0, name, sizeof name))
        return kInvalid;
    int i = 0;
    while (i < g.alg_count && std::strcmp(g.alg[i].name, name) != 0)
        ++i;
    if (i == kAlgs)
        return kNoSpace;
    if (i == g.alg_count) {
        std::memcpy(g.alg[i].name, name, sizeof name);
        ++g.alg_count;
    }
    g.alg[i].value = r.field32(1);
    return 0;
}

constexpr Dev N = Dev::Nat;
constexpr Fields L = Fields::Length;

} // namespace

void reset_nat_control()
{
    std::memset(&g, 0, sizeof g);
}

const SimCommand kNatControlCommands[] = {
    {0x80046400, N, Arg::Value, L, 0, 0, 0, enable},
    {0x80046401, N, Arg::Value, L, 0, 0, 0, disable},
    {0x80046402, N, Arg::Value, L, 0, 0, 0, status},
    {0x80046425, N, Arg::Message, L, 1, 0, 0, wan_hook},
    {0x80046426, N, Arg::Message, L, 1, 0, 0, lan_hook},
    {0x80046427, N, Arg::MessageOrZero, L, 1, 0, 0, wan_unhook},
    {0x80046448, N, Arg::Message, L, 1, 0, 0, pptp_hook},
    {0x8004646D, N, Arg::Value, L, 0, 0, 0, wan_if_count},
    {0x80046497, N, Arg::Value, L, 0, 0, 0, sip_alg},
    {0x8004649A, N, Arg::Message, L, -1, 0, 0, set_alg},
    {0x800464AD, N, Arg::MessageOrZero, L, 1, 0, 0, lan_unhook},
    {0, N, Arg::Value, L, 0, 0, 0, nullptr},
};

} // namespace natsim
