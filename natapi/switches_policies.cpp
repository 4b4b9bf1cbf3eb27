// The engine's firewall switches, DMZ host, traffic meter, DNS query address
// and policy list.  The meaning of every value belongs to the engine; these
// functions only carry them.
#include <climits>
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"

using namespace arnonat::natapi;

namespace {

int set(Command c, int32_t value)
{
    return exchange(c, static_cast<uint32_t>(value));
}

// The engine writes the current value at the caller's address, which is
// handed over untouched, null included.
int get(Command c, int32_t *value)
{
    return exchange(c, address(value));
}

} // namespace

extern "C" {

int agApi_fwEchoRespSet(int32_t value) { return set(Command::fwEchoRespSet, value); }
int agApi_fwEchoRespGet(int32_t *value) { return get(Command::fwEchoRespGet, value); }
int agApi_fwSpiStatusSet(int32_t value) { return set(Command::fwSpiStatusSet, value); }
int agApi_fwSpiStatusGet(int32_t *value) { return get(Command::fwSpiStatusGet, value); }
int agApi_fwDosEnableSet(int32_t value) { return set(Command::fwDosEnableSet, value); }
int agApi_fwDosEnableGet(int32_t *value) { return get(Command::fwDosEnableGet, value); }
int agApi_fwSipStatusSet(int32_t value) { return set(Command::fwSipStatusSet, value); }
int agApi_fwSipStatusGet(int32_t *value) { return get(Command::fwSipStatusGet, value); }
int agApi_fwUBDStatusSet(int32_t value) { return set(Command::fwUBDStatusSet, value); }
int agApi_fwStatusSet(int32_t value) { return set(Command::fwStatusSet, value); }
int agApi_fwStatusGet(int32_t *value) { return get(Command::fwStatusGet, value); }
int agApi_natSetInboundFilter(int32_t value) { return set(Command::natSetInboundFilter, value); }
int agApi_fwRuleSave(void) { return exchange(Command::fwRuleSave, 0); }
int agApi_fwPolicyClear(void) { return exchange(Command::fwPolicyClear, 0); }

int agApi_natSetWanLanConflictFlag(int32_t value)
{
    return set(Command::natSetWanLanConflictFlag, value);
}

int agApi_natSetTrafficMeterFlag(int32_t value)
{
    return set(Command::natSetTrafficMeterFlag, value);
}

int agApi_natSetTMHttpHijackFlag(int32_t value)
{
    // The hijack flag shares the traffic meter command; the engine tells
    // them apart by the value, hijack values being 10 higher.
    if (value > INT32_MAX - 10) {
        std::printf("[agApi_natSetTMHttpHijackFlag]:value %d out of range, nothing sent\n",
                    static_cast<int>(value));
        return -1;
    }
    return set(Command::natSetTMHttpHijackFlag, value + 10);
}

int agApi_natSetTMDnsRedirectFlag(int32_t value)
{
    return set(Command::natSetTMDnsRedirectFlag, value);
}

int agApi_fwDMZRuleSet(int32_t value1, int32_t value2, uint32_t host_address)
{
    AgIoctlMsg message{};
    message.count = 3;
    set_field(message, 0, &value1, 4);
    set_field(message, 1, &value2, 4);
    set_field(message, 2, &host_address, 4);
    return exchange(Command::fwDMZRuleSet, message);
}

int agApi_fwDMZStatusGet(int32_t *value1, int32_t *value2)
{
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, value1, 4);
    set_field(message, 1, value2, 4);
    return exchange(Command::fwDMZStatusGet, message);
}

int agApi_natSetTMLimitCfg(uint32_t value1, uint32_t value2, uint64_t value3, uint32_t value4)
{
    const uint32_t first = value1, second = value2, fourth = value4;
    const uint64_t third = value3;
    AgIoctlMsg message{};
    // The engine reads four fields under a count of 3.
    message.count = 3;
    set_field(message, 0, &first, 4);
    set_field(message, 1, &second, 4);
    set_field(message, 2, &third, 8);
    set_field(message, 3, &fourth, 4);
    return exchange(Command::natSetTMLimitCfg, message);
}

int agApi_natAddDnsQryIp(uint32_t address)
{
    Channel channel(Command::natAddDnsQryIp);
    if (!channel) {
        report_open_failure(Command::natAddDnsQryIp);
        return 0;
    }
    AgIoctlMsg message{};
    message.count = 1;
    set_field(message, 0, &address, 4);
    int result = channel.send(message);
    if (result < 0) {
        report_refusal(Command::natAddDnsQryIp, result);
        return -1;
    }
    return 1;
}

int agApi_fwPolicyAdd(uint8_t value1, const char *name, uint8_t value2, uint16_t value3,
                      uint16_t value4, uint32_t value5, uint32_t value6, uint8_t value7)
{
    if (!text_given(name, "agApi_fwPolicyAdd", "policy name"))
        return -1;
    AgIoctlMsg message{};
    message.count = 8;
    set_field(message, 0, &value1, 1);
    set_field(message, 1, name, static_cast<uint32_t>(std::strlen(name) + 1));
    set_field(message, 2, &value2, 1);
    set_field(message, 3, &value3, 2);
    set_field(message, 4, &value4, 2);
    set_field(message, 5, &value5, 4);
    set_field(message, 6, &value6, 4);
    set_field(message, 7, &value7, 1);
    return exchange(Command::fwPolicyAdd, message);
}

} // extern "C"
