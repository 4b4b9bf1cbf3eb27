// Simulated engine: firewall switches, DMZ host, traffic meter, DNS query
// addresses and the policy list.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

struct Switches {
    int32_t echo, spi, dos, sip, ubd, firewall, inbound_filter, wan_lan_conflict;
    int32_t traffic_meter, http_hijack, dns_redirect;
    int32_t dmz[3];
    uint32_t tm_limit[3];
    uint64_t tm_limit_bytes;
    int32_t saves;
};
Switches g_sw;

constexpr int kDnsAddresses = 8;
uint32_t g_dns[kDnsAddresses];
int g_dns_count;

struct Policy {
    uint8_t a;
    char name[32];
    uint8_t b;
    uint16_t c, d;
    uint32_t e, f;
    uint8_t g;
};
constexpr int kPolicies = 32;
Policy g_policies[kPolicies];
int g_policy_count;

int set_value(int32_t &slot, Request &r)
{
    slot = r.value();
    return 0;
}

int get_value(int32_t slot, Request &r)
{
    return put32(r.arg, slot);
}


int set_echo(Request &r) { return set_value(g_sw.echo, r); }
int get_echo(Request &r) { return get_value(g_sw.echo, r); }
int set_spi(Request &r) { return set_value(g_sw.spi, r); }
int get_spi(Request &r) { return get_value(g_sw.spi, r); }
int set_dos(Request &r) { return set_value(g_sw.dos, r); }
int get_dos(Request &r) { return get_value(g_sw.dos, r); }
int set_sip(Request &r) { return set_value(g_sw.sip, r); }
int get_sip(Request &r) { return get_value(g_sw.sip, r); }
int set_ubd(Request &r) { return set_value(g_sw.ubd, r); }
int set_firewall(Request &r) { return set_value(g_sw.firewall, r); }
int get_firewall(Request &r) { return get_value(g_sw.firewall, r); }
int set_inbound(Request &r) { return set_value(g_sw.inbound_filter, r); }
int set_conflict(Request &r) { return set_value(g_sw.wan_lan_conflict, r); }
int set_dns_redirect(Request &r) { return set_value(g_sw.dns_redirect, r); }

// One command serves two switches: values from 10 up are the HTTP hijack
// flag, lower ones the traffic meter.
int set_traffic_meter(Request &r)
{
    int32_t v = r.value();
    if (v < 0)
        return kInvalid;
    if (v >= 10)
        g_sw.http_hijack = v - 10;
    else
        g_sw.traffic_meter = v;
    return 0;
}

int set_dmz(Request &r)
{
    for (int i = 0; i < 3; ++i)
        g_sw.dmz[i] = r.field32(i);
    return 0;
}

// Answers the DMZ switch and the host address.
int get_dmz(Request &r)
{
    if (r.message->field[0] == 0 || r.message->field[1] == 0)
        return kFault;
    put32(r.message->field[0], g_sw.dmz[1]);
    put32(r.message->field[1], g_sw.dmz[2]);
    return 0;
}

int save_rules(Request &)
{
    ++g_sw.saves;
    return 0;
}

int set_tm_limit(Request &r)
{
    if (r.call.data_len[2] != 8)
        return kInvalid;
    g_sw.tm_limit[0] = static_cast<uint32_t>(r.field32(0));
    g_sw.tm_limit[1] = static_cast<uint32_t>(r.field32(1));
    g_sw.tm_limit_bytes = r.field64(2);
    g_sw.tm_limit[2] = static_cast<uint32_t>(r.field32(3));
    return 0;
}

int add_dns_address(Request &r)
{
    uint32_t a = static_cast<uint32_t>(r.field32(0));
    if (a == 0 || r.call.data_len[0] != 4)
        return kInvalid;
    for (int i = 0; i < g_dns_count; ++i)
        if (g_dns[i] == a)
            return 0;
    if (g_dns_count == kDnsAddresses)
        return kNoSpace;
    g_dns[g_dns_count++] = a;
    return 0;
}

template <typename T>
bool take(const Request &r, int i, T &out)
{
    if (r.call.data_len[i] != sizeof out)
        return false;
    std::memcpy(&out, r.call.data[i], sizeof out);
    return true;
}

int add_policy(Request &r)
{
    Policy p{};
    if (!take(r, 0, p.a) || !take(r, 2, p.b) || !take(r, 3, p.c) || !take(r, 4, p.d) ||
        !take(r, 5, p.e) || !take(r, 6, p.f) || !take(r, 7, p.g) ||
        !r.field_text(1, p.name, sizeof p.name) || p.name[0] == '\0')
        return kInvalid;
    if (g_policy_count == kPolicies)
        return kNoSpace;
    g_policies[g_policy_count++] = p;
    return 0;
}

int clear_policies(Request &)
{
    g_policy_count = 0;
    return 0;
}

constexpr uint32_t kOut01 = 0x3;

} // namespace

void reset_switches()
{
    g_sw = Switches{};
    g_dns_count = 0;
    g_policy_count = 0;
}

const SimCommand kSwitchCommands[] = {
    {0x8004641A, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_echo},
    {0x8004641B, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, get_echo},
    {0x8004641C, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_spi},
    {0x8004641D, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, get_spi},
    {0x8004641E, Dev::Nat, Arg::Message, Fields::Length, 2, kOut01, 0, get_dmz},
    {0x8004641F, Dev::Nat, Arg::Message, Fields::Length, 3, 0, 0, set_dmz},
    {0x80046420, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, save_rules},
    {0x80046422, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_firewall},
    {0x80046423, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, get_firewall},
    {0x80046449, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_inbound},
    {0x8004644A, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_conflict},
    {0x8004644B, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_traffic_meter},
    {0x80046464, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, get_dos},
    {0x40046465, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_dos},
    {0x8004646E, Dev::Nat, Arg::Message, Fields::Length, 1, 0, 0, add_dns_address},
    {0x8004646F, Dev::Nat, Arg::Message, Fields::Length, 8, 0, 0, add_policy},
    {0x80046498, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_sip},
    {0x80046499, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, get_sip},
    {0x8004649C, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_ubd},
    // Four fields are read although the count says 3.
    {0x800464AB, Dev::Nat, Arg::Message, Fields::Length, 4, 0, 0, set_tm_limit},
    {0x800464AF, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, set_dns_redirect},
    {0x800464B3, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, clear_policies},
    {0, Dev::Nat, Arg::Value, Fields::Length, 0, 0, 0, nullptr},
};

} // namespace natsim
