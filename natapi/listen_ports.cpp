// The engine side of the router's listen ports: reading the engine's list
// and telling it about remote access ports and port ranges.  The firewall
// side of a remote access port is in rules/common/listen_ports.cpp.
#include <cstdio>

#include "agapi.h"
#include "natapi/exchange.h"
#include "natapi/natapi.h"

using namespace arnonat::natapi;

namespace arnonat::natapi {

namespace {
constexpr size_t kPortArrayBytes = AGAPI_LISTEN_PORTS_MAX * sizeof(uint16_t);
static_assert(kPortArrayBytes == 32);
} // namespace

bool ListenPortList::allocate(const char *who)
{
    if (first_.allocate(kPortArrayBytes) && second_.allocate(kPortArrayBytes) &&
        count_.allocate(sizeof(int32_t)))
        return true;
    std::printf("[%s]:malloc failed:%d\n", who, 0);
    return false;
}

void ListenPortList::attach(AgIoctlMsg &message) const
{
    set_field(message, 0, first_.get(), 4);
    set_field(message, 1, second_.get(), 0);
    set_field(message, 2, count_.get(), 4);
}

bool ListenPortList::read(const char *who)
{
    if (!allocate(who))
        return false;
    AgIoctlMsg message{};
    attach(message);
    return agApi_fwListenPortList2(&message) == 1;
}

int ListenPortList::entries() const
{
    int32_t n = *static_cast<const int32_t *>(count_.get());
    if (n < 0)
        return 0;
    return n > AGAPI_LISTEN_PORTS_MAX ? AGAPI_LISTEN_PORTS_MAX : n;
}

void ListenPortList::print() const
{
    std::printf("\n--- listen port list ---\n");
    for (int i = 0; i < entries(); ++i)
        std::printf("%d-%d, ", first(i), second(i));
    std::printf("\n");
}

bool send_listen_port(int32_t port_index, int32_t port_number, int32_t enable, int &result)
{
    Channel channel(Command::setDeviceListenPort_2);
    if (!channel) {
        result = 0;
        return false;
    }
    AgIoctlMsg message{};
    message.count = 3;
    set_value_field(message, 0, port_index);
    set_value_field(message, 1, port_number);
    set_value_field(message, 2, enable);
    result = channel.send(message);
    if (result < 0) {
        std::printf("\nagApi_setDeviceListenPort_2 (5434) ret_val:%d\n", result);
        // Refused: the firewall stays as it is, and the caller learns it.
        return false;
    }
    if (message.count < 0)
        result = message.count;
    return true;
}

} // namespace arnonat::natapi

extern "C" {

int agApi_fwListenPortList(void)
{
    const Command c = Command::fwListenPortList;
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    AgIoctlMsg message{};
    ListenPortList list;
    if (!list.allocate("agApi_fwListenPortList"))
        return 0;
    list.attach(message);
    int result = channel.send(message);
    if (result < 0) {
        report_refusal(c, result);
        return -1;
    }
    list.print();
    return 1;
}

int agApi_fwListenPortList2(AgIoctlMsg *message)
{
    return exchange(Command::fwListenPortList2, address(message));
}

int agApi_setDeviceListenPortRange(int32_t value1, int32_t value2, int32_t value3)
{
    Channel channel(Command::setDeviceListenPortRange);
    if (!channel)
        return 0;
    const int32_t values[3] = {value1, value2, value3};
    AgIoctlMsg message{};
    message.count = 3;
    for (int i = 0; i < 3; ++i)
        set_field(message, i, &values[i], 0);
    int result = channel.send(message);
    channel.close();
    if (message.count < 0) {
        std::printf("agApi_setDeviceListenPortRange5496 : errorno = %d\n", static_cast<int>(message.count));
        return message.count;
    }
    return result;
}

} // extern "C"
