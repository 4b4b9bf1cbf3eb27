// The simulated engine's command dispatch, its log of received commands and
// the control API.
#include "sim/engine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/dispatch.h"

namespace natsim {

namespace {

constexpr size_t kLogEntries = 2048;
constexpr size_t kArenaBytes = 4u << 20;
constexpr uint32_t kFieldMax = 1u << 16; // larger fields are refused
constexpr size_t kWordMax = 4096;        // longest vector word copied

natsim_call g_log[kLogEntries];
size_t g_log_size;
natsim_call g_overflow; // serves commands once the log is full
bool g_overflow_reported;
unsigned char g_arena[kArenaBytes];
size_t g_arena_used;

struct Forced {
    uint32_t code;
    int32_t value;
};
constexpr int kForcedMax = 64;
Forced g_results[kForcedMax];
Forced g_statuses[kForcedMax];

bool g_present[2] = {true, true};

const SimCommand *const kFamilies[] = {kSwitchCommands, kListenPortCommands,
                                       kUrlScheduleCommands, kEngineCommands,
                                       kConnectionCommands, kTriggerConfCommands,
                                       kNatRuleCommands, kNatControlCommands,
                                       kServiceCommands, kFilterCommands};

const SimCommand *find(uint32_t code)
{
    for (const SimCommand *family : kFamilies)
        for (const SimCommand *c = family; c->code != 0; ++c)
            if (c->code == code)
                return c;
    return nullptr;
}

void set_forced(Forced *table, uint32_t code, int32_t value)
{
    Forced *free_slot = nullptr;
    for (int i = 0; i < kForcedMax; ++i) {
        if (table[i].code == code) {
            table[i].value = value;
            if (value == 0)
                table[i].code = 0;
            return;
        }
        if (table[i].code == 0 && !free_slot)
            free_slot = &table[i];
    }
    if (value != 0 && free_slot)
        *free_slot = Forced{code, value};
}

const Forced *forced(const Forced *table, uint32_t code)
{
    for (int i = 0; i < kForcedMax; ++i)
        if (table[i].code == code && table[i].code != 0)
            return &table[i];
    return nullptr;
}

natsim_call &new_entry()
{
    natsim_call *call = &g_overflow;
    if (g_log_size < kLogEntries) {
        call = &g_log[g_log_size++];
    } else if (!g_overflow_reported) {
        std::fprintf(stderr, "natsim: log full, further commands are not logged\n");
        g_overflow_reported = true;
    }
    std::memset(call, 0, sizeof *call);
    return *call;
}

const unsigned char *copy_in(uintptr_t from, size_t n)
{
    if (n > kArenaBytes - g_arena_used)
        return nullptr;
    unsigned char *to = g_arena + g_arena_used;
    std::memcpy(to, reinterpret_cast<const void *>(from), n);
    g_arena_used += n;
    return to;
}

int read_message(const SimCommand &c, Request &r)
{
    if (r.arg == 0)
        return kFault;
    AgIoctlMsg &m = *reinterpret_cast<AgIoctlMsg *>(r.arg);
    r.message = &m;
    natsim_call &call = r.call;
    call.count = m.count;
    for (int i = 0; i < AGAPI_MAX_FIELDS; ++i) {
        call.length[i] = m.length[i];
        call.word[i] = m.field[i];
    }
    int n = c.read_fields >= 0 ? c.read_fields : m.count;
    if (n < 0 || n > AGAPI_MAX_FIELDS)
        return kInvalid;
    for (int i = 0; i < n; ++i) {
        if (c.out_mask & (1u << i))
            continue;
        uint32_t len = c.fields == Fields::Length ? m.length[i] : c.fields == Fields::Word4 ? 4 : 0;
        if (len == 0)
            continue;
        if (len > kFieldMax)
            return kInvalid;
        if (m.field[i] == 0)
            return kFault;
        call.data[i] = copy_in(m.field[i], len);
        call.data_len[i] = call.data[i] ? len : 0;
    }
    return 0;
}

int read_vector(Request &r)
{
    if (r.arg == 0)
        return kFault;
    AgArgVec &v = *reinterpret_cast<AgArgVec *>(r.arg);
    r.vector = &v;
    r.call.count = v.count;
    for (int i = 0; i < AGAPI_MAX_FIELDS; ++i)
        r.call.word[i] = v.word[i];
    if (v.count > AGAPI_MAX_FIELDS)
        return kInvalid;
    for (int i = 0; i < v.count; ++i) {
        if (v.word[i] == 0)
            return kFault;
        size_t len = strnlen(reinterpret_cast<const char *>(v.word[i]), kWordMax);
        if (len == kWordMax)
            return kInvalid;
        r.call.data[i] = copy_in(v.word[i], len + 1);
        r.call.data_len[i] = r.call.data[i] ? static_cast<uint32_t>(len + 1) : 0;
    }
    return 0;
}

int read_argument(const SimCommand &c, Request &r)
{
    switch (c.arg) {
    case Arg::Message:
        return read_message(c, r);
    case Arg::Vector:
        return read_vector(r);
    case Arg::Record:
        if (r.arg == 0)
            return kFault;
        r.call.record = copy_in(r.arg, c.record_size);
        r.call.record_len = r.call.record ? c.record_size : 0;
        return 0;
    case Arg::Value:
        return 0;
    case Arg::MessageOrZero:
        return r.arg == 0 ? 0 : read_message(c, r);
    }
    return kInvalid;
}

int serve(Dev dev, uint32_t code, uintptr_t arg)
{
    natsim_call &call = new_entry();
    call.device = dev == Dev::Nat ? AGAPI_NAT_DEVICE : AGAPI_IPV6_DEVICE;
    call.code = code;
    call.arg = arg;
    const SimCommand *c = find(code);
    if (!c || c->device != dev)
        return -25; // ENOTTY: not a command of this device
    Request r{*c, call, arg, nullptr, nullptr};
    int read = read_argument(*c, r);
    // A forced result replaces the command, not the status written back:
    // the two together play an engine that refuses and says why.
    int result;
    if (const Forced *f = forced(g_results, code))
        result = f->value;
    else
        result = read < 0 ? read : c->handle(r);
    if (const Forced *f = forced(g_statuses, code))
        r.status(f->value);
    return result;
}

} // namespace

int32_t Request::field32(int i) const
{
    if (command.fields == Fields::Value)
        return static_cast<int32_t>(static_cast<uint32_t>(call.word[i]));
    int32_t v = 0;
    if (call.data[i])
        std::memcpy(&v, call.data[i], call.data_len[i] < 4 ? call.data_len[i] : 4);
    return v;
}

uint64_t Request::field64(int i) const
{
    uint64_t v = 0;
    if (call.data[i])
        std::memcpy(&v, call.data[i], call.data_len[i] < 8 ? call.data_len[i] : 8);
    return v;
}

bool Request::field_text(int i, char *out, size_t cap) const
{
    const unsigned char *data = call.data[i];
    size_t n = data ? call.data_len[i] : 0;
    if (n > 0 && data[n - 1] == '\0')
        --n; // a text sent with its terminator
    if (n >= cap || (n > 0 && std::memchr(data, '\0', n)))
        return false;
    if (n > 0)
        std::memcpy(out, data, n);
    out[n] = '\0';
    return true;
}

void Request::status(int32_t s) const
{
    if (message)
        message->count = s;
    else if (vector)
        vector->count = s;
}

int put32(uintptr_t address, int32_t value)
{
    if (address == 0)
        return kFault;
    std::memcpy(reinterpret_cast<void *>(address), &value, sizeof value);
    return 0;
}

bool device_present(Dev dev)
{
    return g_present[static_cast<int>(dev)];
}

// The result as the ioctl call reports it: a refusal is -1 with errno, a
// forced result is returned as it was forced.
int ioctl_result(Dev dev, uint32_t code, uintptr_t arg)
{
    int r = serve(dev, code, arg);
    if (r < 0 && !forced(g_results, code)) {
        errno = -r;
        return -1;
    }
    return r;
}

} // namespace natsim

using namespace natsim;

extern "C" {

void natsim_reset(void)
{
    g_present[0] = g_present[1] = true;
    std::memset(g_results, 0, sizeof g_results);
    std::memset(g_statuses, 0, sizeof g_statuses);
    natsim_log_clear();
    reset_switches();
    reset_listen_ports();
    reset_url_schedules();
    reset_engine_tables();
    reset_trigger_confs();
    reset_nat_rules();
    reset_nat_control();
    reset_services();
    reset_filters();
}

void natsim_set_device(const char *path, int present)
{
    if (!path)
        return;
    if (std::strcmp(path, AGAPI_NAT_DEVICE) == 0)
        g_present[0] = present != 0;
    else if (std::strcmp(path, AGAPI_IPV6_DEVICE) == 0)
        g_present[1] = present != 0;
}

void natsim_force_result(unsigned long code, int result)
{
    set_forced(g_results, static_cast<uint32_t>(code), result);
}

void natsim_force_count_status(unsigned long code, int32_t status)
{
    set_forced(g_statuses, static_cast<uint32_t>(code), status);
}

size_t natsim_log_size(void)
{
    return g_log_size;
}

const struct natsim_call *natsim_log_entry(size_t i)
{
    return i < g_log_size ? &g_log[i] : nullptr;
}

void natsim_log_clear(void)
{
    g_log_size = 0;
    g_arena_used = 0;
    g_overflow_reported = false;
}

int natsim_set_listen_ports(const uint16_t *first, const uint16_t *second, int n)
{
    return set_listen_ports(first, second, n);
}

} // extern "C"
