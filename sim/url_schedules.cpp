// Simulated engine: URL keywords and time schedules of both sessions, QoS,
// daylight saving, platform settings and the IPv6 firewall device.
#include <cstring>

#include "sim/engine.h"

namespace natsim {

namespace {

constexpr int kKeywords = 32;
constexpr int kKeywordSize = 64;
constexpr int kSchedules = 16;
constexpr int kQosRules = 32;
constexpr int kIpv6Ports = 16;

struct Schedule {
    char text[AGAPI_SCHEDULE_TEXT_SIZE];
    int32_t value[3];
};

struct Session {
    int32_t enabled, scheduled;
    char keywords[kKeywords][kKeywordSize];
    int keyword_count;
    Schedule schedules[kSchedules];
    int schedule_count;
};

struct State {
    Session session[2];
    uint32_t trusted_ip;
    int32_t qos_enabled, daylight_saving, success_page_hijack, feature;
    int32_t qos[kQosRules][4];
    int qos_count;
    char region[32];
    char tarnival[64];
    int32_t ctf_clears, httpd_clears;
    int32_t ipv6_firewall;
    int32_t ipv6_ports[kIpv6Ports][5];
    int ipv6_port_count;
};
State g;

int keyword_at(const Session &s, const char *k)
{
    for (int i = 0; i < s.keyword_count; ++i)
        if (std::strcmp(s.keywords[i], k) == 0)
            return i;
    return -1;
}

int add_keyword(Session &s, Request &r)
{
    char k[kKeywordSize];
    if (!r.field_text(0, k, sizeof k) || k[0] == '\0')
        return kInvalid;
    if (keyword_at(s, k) >= 0)
        return kExists;
    if (s.keyword_count == kKeywords)
        return kNoSpace;
    std::memcpy(s.keywords[s.keyword_count++], k, sizeof k);
    return 0;
}

int del_keyword(Session &s, Request &r)
{
    char k[kKeywordSize];
    if (!r.field_text(0, k, sizeof k))
        return kInvalid;
    int at = keyword_at(s, k);
    if (at < 0)
        return kNoEntry;
    std::memmove(s.keywords[at], s.keywords[at + 1], (s.keyword_count - at - 1) * sizeof s.keywords[0]);
    --s.keyword_count;
    return 0;
}

// A schedule is known by its first text, the part before the first colon.
bool same_name(const char *text, const char *name)
{
    size_t n = std::strlen(name);
    return std::strncmp(text, name, n) == 0 && (text[n] == ':' || text[n] == '\0');
}

int schedule_at(const Session &s, const char *name)
{
    for (int i = 0; i < s.schedule_count; ++i)
        if (same_name(s.schedules[i].text, name))
            return i;
    return -1;
}

int add_schedule(Session &s, Request &r)
{
    Schedule sc{};
    if (!r.field_text(0, sc.text, sizeof sc.text) || !std::strchr(sc.text, ':'))
        return kInvalid;
    for (int i = 0; i < 3; ++i)
        sc.value[i] = r.field32(i + 1);
    char name[AGAPI_SCHEDULE_TEXT_SIZE];
    std::memcpy(name, sc.text, sizeof name);
    *std::strchr(name, ':') = '\0';
    int at = schedule_at(s, name);
    if (at < 0) {
        if (s.schedule_count == kSchedules)
            return kNoSpace;
        at = s.schedule_count++;
    }
    s.schedules[at] = sc;
    return 0;
}

int del_schedule(Session &s, Request &r)
{
    char name[AGAPI_SCHEDULE_TEXT_SIZE];
    if (!r.field_text(0, name, sizeof name))
        return kInvalid;
    int at = schedule_at(s, name);
    if (at < 0)
        return kNoEntry;
    std::memmove(&s.schedules[at], &s.schedules[at + 1], (s.schedule_count - at - 1) * sizeof s.schedules[0]);
    --s.schedule_count;
    return 0;
}

// The status of a schedule is its first value.
int schedule_status(Session &s, Request &r)
{
    char name[AGAPI_SCHEDULE_TEXT_SIZE];
    if (!r.field_text(0, name, sizeof name))
        return kInvalid;
    int at = schedule_at(s, name);
    return at < 0 ? kNoEntry : s.schedules[at].value[0];
}

Session &s1() { return g.session[0]; }
Session &s2() { return g.session[1]; }

int url_enable(Request &r) { s1().enabled = r.value(); return 0; }
int url_schedule(Request &r) { s1().scheduled = r.value(); return 0; }
int url_trusted(Request &r) { g.trusted_ip = static_cast<uint32_t>(r.value()); return 0; }
int url_add(Request &r) { return add_keyword(s1(), r); }
int url_del(Request &r) { return del_keyword(s1(), r); }
int url_del_all(Request &) { s1().keyword_count = 0; return 0; }
int sch_add(Request &r) { return add_schedule(s1(), r); }
int sch_del(Request &r) { return del_schedule(s1(), r); }
int sch_status(Request &r) { return schedule_status(s1(), r); }
int url_enable2(Request &r) { s2().enabled = r.value(); return 0; }
int url_schedule2(Request &r) { s2().scheduled = r.value(); return 0; }
int url_add2(Request &r) { return add_keyword(s2(), r); }
int url_del2(Request &r) { return del_keyword(s2(), r); }
int url_del_all2(Request &) { s2().keyword_count = 0; return 0; }
int sch_add2(Request &r) { return add_schedule(s2(), r); }
int sch_del2(Request &r) { return del_schedule(s2(), r); }
int sch_status2(Request &r) { return schedule_status(s2(), r); }

int qos_enable(Request &r) { g.qos_enabled = r.value(); return 0; }
int qos_clean(Request &) { g.qos_count = 0; return 0; }
int daylight(Request &r) { g.daylight_saving = r.value(); return 0; }
int success_hijack(Request &r) { g.success_page_hijack = r.value(); return 0; }
int feature_get(Request &r) { return put32(r.arg, g.feature); }
int feature_set(Request &r) { g.feature = r.value(); return 0; }
int ctf_clear(Request &) { ++g.ctf_clears; return 0; }
int httpd_clear(Request &) { ++g.httpd_clears; return 0; }

int qos_add(Request &r)
{
    if (g.qos_count == kQosRules)
        return kNoSpace;
    for (int i = 0; i < 4; ++i) {
        if (r.call.data_len[i] != 4)
            return kInvalid;
        g.qos[g.qos_count][i] = r.field32(i);
    }
    ++g.qos_count;
    return 0;
}

int set_text(char *to, size_t cap, Request &r)
{
    char text[64];
    if (!r.field_text(0, text, sizeof text) || text[0] == '\0' || std::strlen(text) >= cap)
        return kInvalid;
    std::memcpy(to, text, std::strlen(text) + 1);
    return 0;
}

int region(Request &r) { return set_text(g.region, sizeof g.region, r); }
int tarnival(Request &r) { return set_text(g.tarnival, sizeof g.tarnival, r); }

int ipv6_firewall(Request &r)
{
    g.ipv6_firewall = r.field32(0);
    return 0;
}

int ipv6_listen_port(Request &r)
{
    if (g.ipv6_port_count == kIpv6Ports)
        return kNoSpace;
    for (int i = 0; i < 5; ++i)
        g.ipv6_ports[g.ipv6_port_count][i] = r.field32(i);
    ++g.ipv6_port_count;
    return 0;
}

constexpr Dev N = Dev::Nat;
constexpr Arg V = Arg::Value;
constexpr Arg M = Arg::Message;
constexpr Fields L = Fields::Length;

} // namespace

void reset_url_schedules()
{
    std::memset(&g, 0, sizeof g);
}

const SimCommand kUrlScheduleCommands[] = {
    {0x80046434, N, V, L, 0, 0, 0, url_enable},
    {0x80046435, N, V, L, 0, 0, 0, url_schedule},
    {0x80046436, N, V, L, 0, 0, 0, url_trusted},
    {0x80046437, N, M, L, 1, 0, 0, url_add},
    {0x80046438, N, M, L, 1, 0, 0, url_del},
    {0x80046439, N, V, L, 0, 0, 0, url_del_all},
    {0x8004643A, N, M, L, 4, 0, 0, sch_add},
    {0x8004643B, N, M, L, 1, 0, 0, sch_del},
    {0x8004643C, N, M, L, 1, 0, 0, sch_status},
    {0x80046472, N, V, L, 0, 0, 0, url_enable2},
    {0x80046474, N, M, L, 1, 0, 0, url_add2},
    {0x80046475, N, M, L, 1, 0, 0, url_del2},
    {0x80046476, N, V, L, 0, 0, 0, url_del_all2},
    {0x8004648E, N, V, L, 0, 0, 0, url_schedule2},
    {0x8004648F, N, M, L, 4, 0, 0, sch_add2},
    {0x80046490, N, M, L, 1, 0, 0, sch_del2},
    {0x80046491, N, M, L, 1, 0, 0, sch_status2},
    {0x8004644C, N, V, L, 0, 0, 0, qos_enable},
    {0x8004644D, N, M, L, 4, 0, 0, qos_add},
    {0x40046496, N, V, L, 0, 0, 0, qos_clean},
    {0x80046461, N, V, L, 0, 0, 0, daylight},
    // Region and Tarnival name: the count word is not read.
    {0x8004649F, N, M, L, 1, 0, 0, region},
    {0x400464AA, N, M, L, 1, 0, 0, tarnival},
    {0x800464AC, N, V, L, 0, 0, 0, httpd_clear},
    {0x800464B0, N, V, L, 0, 0, 0, success_hijack},
    {0x800464B1, N, V, L, 0, 0, 0, feature_get},
    {0x800464B2, N, V, L, 0, 0, 0, feature_set},
    {0x800464B4, N, V, L, 0, 0, 0, ctf_clear},
    {0x80046507, Dev::Ipv6, M, Fields::Word4, 1, 0, 0, ipv6_firewall},
    {0x80046508, Dev::Ipv6, M, Fields::Word4, 5, 0, 0, ipv6_listen_port},
    {0, N, V, L, 0, 0, 0, nullptr},
};

} // namespace natsim
