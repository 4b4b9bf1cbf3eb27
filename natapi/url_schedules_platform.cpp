// URL keyword filter and named time schedules of both WAN sessions, QoS,
// daylight saving, platform settings and the IPv6 firewall device.
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"
#include "platform/line_buffer.h"

using namespace arnonat::natapi;

namespace {

int value(Command c, int32_t v)
{
    return exchange(c, static_cast<uint32_t>(v));
}

// Keyword and schedule name messages carry the text without its terminator.
int text(Command c, const char *t, const char *what)
{
    if (!text_given(t, row(c).function, what))
        return -1;
    AgIoctlMsg message{};
    message.count = 1;
    set_field(message, 0, t, static_cast<uint32_t>(std::strlen(t)));
    return exchange(c, message);
}

int add_schedule(Command c, const char *const texts[5], int32_t v1, int32_t v2, int32_t v3)
{
    const char *function = row(c).function;
    for (int i = 0; i < 5; ++i)
        if (!text_given(texts[i], function, "schedule text"))
            return -1;
    Channel channel(c);
    if (!channel)
        return 0;
    arnonat::LineBuffer<AGAPI_SCHEDULE_TEXT_SIZE> joined;
    joined.append("%s:%s:%s:%s:%s", texts[0], texts[1], texts[2], texts[3], texts[4]);
    if (!joined.ready(function))
        return -1;
    AgIoctlMsg message{};
    message.count = 4;
    set_field(message, 0, joined.c_str(), static_cast<uint32_t>(joined.size()));
    set_field(message, 1, &v1, 4);
    set_field(message, 2, &v2, 4);
    set_field(message, 3, &v3, 4);
    return channel.send(message);
}

// Region and Tarnival name: the text without its terminator in field 0.
int platform_text(Command c, const char *t)
{
    const char *function = row(c).function;
    if (!text_given(t, function, "text"))
        return -1;
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    AgIoctlMsg message{};
    set_field(message, 0, t, static_cast<uint32_t>(std::strlen(t)));
    int result = channel.send(message);
    if (result < 0) {
        if (c == Command::natSetRegion)
            std::printf("[%s]:IOCTL_AG_REGION_SET failed:%d\n", function, result);
        else
            report_refusal(c, result);
        return -1;
    }
    return 1;
}

// Feature and ctf commands: a plain value, and a line of their own when the
// engine refuses.
int feature(Command c, uintptr_t arg, const char *failure)
{
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    if (channel.send(arg) < 0) {
        std::puts(failure);
        return -1;
    }
    return 1;
}

// The IPv6 firewall device takes its settings without an answer: callers
// count 0 as done, so neither a missing device nor a refusal changes it.
int ipv6(Command c, AgIoctlMsg &message)
{
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    channel.send(message);
    return 0;
}

} // namespace

extern "C" {

int agApi_fwURLFilterEnable(int32_t v) { return value(Command::fwURLFilterEnable, v); }
int agApi_fwURLFilterEnableTmSch(int32_t v) { return value(Command::fwURLFilterEnableTmSch, v); }
int agApi_fwURLFilterSetTrustedIp(uint32_t address)
{
    return exchange(Command::fwURLFilterSetTrustedIp, address);
}
int agApi_fwURLFilterAddKeyword(const char *keyword)
{
    return text(Command::fwURLFilterAddKeyword, keyword, "keyword");
}
int agApi_fwURLFilterDelKeyword(const char *keyword)
{
    return text(Command::fwURLFilterDelKeyword, keyword, "keyword");
}
int agApi_fwURLFilterDelAllKeywords(void) { return exchange(Command::fwURLFilterDelAllKeywords, 0); }
int agApi_tmschDelConf(const char *name) { return text(Command::tmschDelConf, name, "schedule name"); }
int agApi_tmschGetStatusByName(const char *name)
{
    return text(Command::tmschGetStatusByName, name, "schedule name");
}
int agApi_tmschAddConf(const char *t1, const char *t2, const char *t3, const char *t4,
                       const char *t5, int32_t v1, int32_t v2, int32_t v3)
{
    const char *texts[5] = {t1, t2, t3, t4, t5};
    return add_schedule(Command::tmschAddConf, texts, v1, v2, v3);
}

int agApi_fwURLFilterEnable_Session2(int32_t v)
{
    return value(Command::fwURLFilterEnable_Session2, v);
}
int agApi_fwURLFilterEnableTmSch_Session2(int32_t v)
{
    return value(Command::fwURLFilterEnableTmSch_Session2, v);
}
int agApi_fwURLFilterAddKeyword_Session2(const char *keyword)
{
    return text(Command::fwURLFilterAddKeyword_Session2, keyword, "keyword");
}
int agApi_fwURLFilterDelKeyword_Session2(const char *keyword)
{
    return text(Command::fwURLFilterDelKeyword_Session2, keyword, "keyword");
}
int agApi_fwURLFilterDelAllKeywords_Session2(void)
{
    return exchange(Command::fwURLFilterDelAllKeywords_Session2, 0);
}
int agApi_tmschDelConf_Session2(const char *name)
{
    return text(Command::tmschDelConf_Session2, name, "schedule name");
}
int agApi_tmschGetStatusByName_Session2(const char *name)
{
    return text(Command::tmschGetStatusByName_Session2, name, "schedule name");
}
int agApi_tmschAddConf_Session2(const char *t1, const char *t2, const char *t3, const char *t4,
                                const char *t5, int32_t v1, int32_t v2, int32_t v3)
{
    const char *texts[5] = {t1, t2, t3, t4, t5};
    return add_schedule(Command::tmschAddConf_Session2, texts, v1, v2, v3);
}

int agApi_enableQoS(int32_t v) { return value(Command::enableQoS, v); }
int agApi_cleanQoSRule(void) { return exchange(Command::cleanQoSRule, 0); }
int agApi_SetDayLightSaving(int32_t v) { return value(Command::SetDayLightSaving, v); }
int agApi_AddQoSRule(int32_t v1, int32_t v2, int32_t v3, int32_t v4)
{
    AgIoctlMsg message{};
    message.count = 4;
    set_field(message, 0, &v1, 4);
    set_field(message, 1, &v2, 4);
    set_field(message, 2, &v3, 4);
    set_field(message, 3, &v4, 4);
    return exchange(Command::AddQoSRule, message);
}

int agApi_natSetRegion(const char *region)
{
    return platform_text(Command::natSetRegion, region);
}
int agApi_natSetTarnivalName(const char *name)
{
    return platform_text(Command::natSetTarnivalName, name);
}

int agApi_feature_get(int32_t *v)
{
    return feature(Command::feature_get, address(v), "Error doing IOCTL_AG_FEATURE_GET");
}
int agApi_feature_set(int32_t v)
{
    return feature(Command::feature_set, static_cast<uint32_t>(v), "Error doing IOCTL_AG_FEATURE_SET.");
}
int agApi_cleanup_ctf_entry(int32_t v)
{
    return feature(Command::cleanup_ctf_entry, static_cast<uint32_t>(v),
                   "Error doing IOCTL_AG_CTF_ENTRY_CLEAR.");
}

int agApi_fwSuccessPageHijack(int32_t v) { return value(Command::fwSuccessPageHijack, v); }
int agApi_clear_nat_for_httpd(void) { return exchange(Command::clear_nat_for_httpd, 0); }

// The IPv6 firewall device knows the sizes of its values; lengths stay 0.
int agApi_ipv6_set_firewall(int32_t v)
{
    AgIoctlMsg message{};
    message.count = 1;
    set_field(message, 0, &v, 0);
    return ipv6(Command::ipv6_set_firewall, message);
}
int agApi_ipv6_set_listen_port(int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5)
{
    const int32_t values[5] = {v1, v2, v3, v4, v5};
    AgIoctlMsg message{};
    message.count = 5;
    for (int i = 0; i < 5; ++i)
        set_field(message, i, &values[i], 0);
    return ipv6(Command::ipv6_set_listen_port, message);
}

} // extern "C"
