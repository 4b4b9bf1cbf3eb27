// The engine's own port trigger configurations: read, walk, delete and
// switch them.  The library carries the records and never looks inside.
#include <cstddef>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"

using namespace arnonat::natapi;

static_assert(sizeof(FwTriggerConf) == AGAPI_TRIGGER_CONF_SIZE);
static_assert(AGAPI_TRIGGER_CONF_SIZE == 364);
static_assert(offsetof(FwTriggerConf, sName) == 0);

namespace {

bool record_given(const FwTriggerConf *record, const char *function)
{
    return text_given(record ? record->sName : nullptr, function, "record");
}

// One record field; the engine fills it where it lies, or points field 0 at
// its own copy, which is then copied into the caller's record.
int read_record(Command c, FwTriggerConf *record)
{
    if (!record_given(record, row(c).function))
        return -1;
    Channel channel(c);
    if (!channel)
        return 0;
    AgIoctlMsg message{};
    message.count = 1;
    set_field(message, 0, record, AGAPI_TRIGGER_CONF_SIZE);
    int result = channel.send(message);
    const void *answer = reinterpret_cast<const void *>(message.field[0]);
    if (result >= 0 && answer && answer != record)
        std::memmove(record, answer, AGAPI_TRIGGER_CONF_SIZE);
    return result;
}

// A name is sent with its terminator.
void set_name(AgIoctlMsg &message, int i, const char *name)
{
    set_field(message, i, name, static_cast<uint32_t>(std::strlen(name) + 1));
}

} // namespace

extern "C" {

int agApi_fwSetTriggerConf(void)
{
    return 0;
}

int agApi_fwGetTriggerConf(FwTriggerConf *record)
{
    return read_record(Command::fwGetTriggerConf, record);
}

int agApi_fwGetFirstTriggerConf(FwTriggerConf *record)
{
    return read_record(Command::fwGetFirstTriggerConf, record);
}

int agApi_fwGetNextTriggerConf(FwTriggerConf *record)
{
    return read_record(Command::fwGetNextTriggerConf, record);
}

int agApi_fwDelTriggerConf(const char *name)
{
    if (!text_given(name, "agApi_fwDelTriggerConf", "trigger name"))
        return -1;
    AgIoctlMsg message{};
    message.count = 1;
    set_name(message, 0, name);
    return exchange(Command::fwDelTriggerConf, message);
}

int agApi_fwDelTriggerConf2(const FwTriggerConf *record)
{
    if (!record_given(record, "agApi_fwDelTriggerConf2"))
        return -1;
    AgIoctlMsg message{};
    message.count = 1;
    set_field(message, 0, record, AGAPI_TRIGGER_CONF_SIZE);
    return exchange(Command::fwDelTriggerConf2, message);
}

int agApi_fwTriggerConfStatusSet(const char *name, int32_t status)
{
    if (!text_given(name, "agApi_fwTriggerConfStatusSet", "trigger name"))
        return -1;
    AgIoctlMsg message{};
    message.count = 2;
    set_name(message, 0, name);
    set_field(message, 1, &status, 4);
    return exchange(Command::fwTriggerConfStatusSet, message);
}

} // extern "C"
