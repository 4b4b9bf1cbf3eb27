#include "natapi/exchange.h"

#include <cstddef>
#include <cstdio>

#include "platform/device.h"

namespace arnonat::natapi {

// The engine reads these layouts; on the 32-bit router 260 and 132 bytes.
static_assert(offsetof(AgIoctlMsg, count) == 0);
static_assert(offsetof(AgIoctlMsg, length) == 4);
static_assert(offsetof(AgIoctlMsg, field) == (sizeof(uintptr_t) == 4 ? 132 : 136));
static_assert(sizeof(AgIoctlMsg) == (sizeof(uintptr_t) == 4 ? 260 : 392));
static_assert(offsetof(AgArgVec, word) == sizeof(uintptr_t));
static_assert(sizeof(AgArgVec) == (sizeof(uintptr_t) == 4 ? 132 : 264));
static_assert(sizeof(ListenPortMap) == 36);

const char *device_path(Device device)
{
    return device == Device::Nat ? AGAPI_NAT_DEVICE : AGAPI_IPV6_DEVICE;
}

Channel::Channel(Command command)
    : command_(command), fd_(device_open(device_path(row(command).device)))
{
}

int Channel::send(uintptr_t arg) const
{
    return device_ioctl(fd_, code(command_), arg);
}

void Channel::close()
{
    if (fd_ >= 0) {
        device_close(fd_);
        fd_ = -1;
    }
}

void report_open_failure(Command command)
{
    std::printf("Can't open device file: %s\n", device_path(row(command).device));
}

void report_refusal(Command command, int result)
{
    std::printf("[%s]:ioctl_set_msg failed:%d\n", row(command).function, result);
}

int class_result(Command command, int result)
{
    switch (row(command).result) {
    case ResultClass::D:
        return result;
    case ResultClass::S:
        if (result < 0)
            report_refusal(command, result);
        return result < 0 ? -1 : 1;
    default:
        return result < 0 ? -1 : 1;
    }
}

int exchange(Command command, uintptr_t arg)
{
    Channel channel(command);
    if (!channel) {
        if (row(command).result == ResultClass::S)
            report_open_failure(command);
        return 0;
    }
    return class_result(command, channel.send(arg));
}

bool build_vector(AgArgVec &vector, int32_t count, const uintptr_t *words, const char *function)
{
    vector = AgArgVec{};
    if (count > AGAPI_MAX_FIELDS || (count > 0 && !words)) {
        std::printf("[%s]:%d words refused, at most %d are sent\n", function, static_cast<int>(count),
                    AGAPI_MAX_FIELDS);
        return false;
    }
    vector.count = count;
    for (int32_t i = 0; i < count; ++i)
        vector.word[i] = words[i];
    return true;
}

bool text_given(const char *text, const char *function, const char *what)
{
    if (text)
        return true;
    std::printf("[%s]:no %s given, nothing sent\n", function, what);
    return false;
}

} // namespace arnonat::natapi
