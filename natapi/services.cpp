// The engine's firewall service table, for both WAN sessions: listing,
// adding, changing, deleting, reading one record and the lookups by name and
// by protocol and ports.  A listing position is the service index every
// other table refers to.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"
#include "platform/heap_buffer.h"

using namespace arnonat::natapi;
using arnonat::HeapBuffer;

static_assert(sizeof(FwServiceRecord) == 54);
static_assert(offsetof(FwServiceRecord, sName) == 0);
static_assert(offsetof(FwServiceRecord, bProtocol) == 48);
static_assert(offsetof(FwServiceRecord, usStartPort) == 50);
static_assert(offsetof(FwServiceRecord, usEndPort) == 52);

namespace {

// The listing buffer holds 128 records.
constexpr size_t kListingBytes = 6912;
static_assert(kListingBytes == AGAPI_SERVICES_MAX * sizeof(FwServiceRecord));

// The number of records the engine reports in the length word of field 0,
// never more than a listing holds.
int listed(const AgIoctlMsg &message)
{
    uint32_t n = message.length[0];
    return n > AGAPI_SERVICES_MAX ? AGAPI_SERVICES_MAX : static_cast<int>(n);
}

void attach_listing(AgIoctlMsg &message, void *records)
{
    message = AgIoctlMsg{};
    message.field[0] = address(records);
}

// A listing read into the library's own buffer.  open() prints the
// function's messages and gives the class answer for a failure.
class Listing {
public:
    explicit Listing(Command command) : command_(command), channel_(command) {}

    // True when the table was read; otherwise *FAILURE holds the answer:
    // NOT_OPENED for a missing device or buffer, -1 for a refusal.
    bool read(int not_opened, int *failure)
    {
        if (!channel_) {
            report_open_failure(command_);
            *failure = not_opened;
            return false;
        }
        if (!buffer_.allocate(kListingBytes)) {
            std::printf("[%s]:malloc failed:%d\n", row(command_).function, 0);
            *failure = not_opened;
            return false;
        }
        AgIoctlMsg message;
        attach_listing(message, buffer_.get());
        int result = channel_.send(message);
        if (result < 0) {
            report_refusal(command_, result);
            *failure = -1;
            return false;
        }
        count_ = listed(message);
        return true;
    }

    int count() const { return count_; }
    const FwServiceRecord &at(int i) const { return static_cast<const FwServiceRecord *>(buffer_.get())[i]; }

private:
    Command command_;
    Channel channel_;
    HeapBuffer buffer_;
    int count_ = 0;
};

// The record's name as a text, even when the engine filled all 48 bytes.
bool name_is(const FwServiceRecord &record, const char *name)
{
    size_t n = strnlen(record.sName, sizeof record.sName);
    return std::strlen(name) == n && std::memcmp(record.sName, name, n) == 0;
}

int add(Command c, const char *name, uint8_t protocol, uint16_t start_port, uint16_t end_port, bool tell)
{
    if (!text_given(name, row(c).function, "service name"))
        return -1;
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    if (tell)
        std::printf("agApi_fwServiceAdd 2504 sName: %s, bProtocol: %c, usStartPort: %d, usEndPort: %d\n", name,
                    protocol, start_port, end_port);
    AgIoctlMsg message{};
    message.count = 4;
    set_field(message, 0, name, static_cast<uint32_t>(std::strlen(name) + 1));
    set_field(message, 1, &protocol, 1);
    set_field(message, 2, &start_port, 2);
    set_field(message, 3, &end_port, 2);
    int result = channel.send(message);
    if (result < 0) {
        report_refusal(c, result);
        return -1;
    }
    return result;
}

int modify(Command c, uint16_t index, const FwServiceRecord *record)
{
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, &index, 2);
    set_field(message, 1, record, sizeof(FwServiceRecord));
    return exchange(c, message);
}

int get(Command c, uint16_t index, FwServiceRecord *out)
{
    // The index travels in a 4-byte field: its 16 bits, then the bytes 2, 0.
    unsigned char index_field[4] = {0, 0, 2, 0};
    std::memcpy(index_field, &index, sizeof index);
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, out, sizeof(FwServiceRecord));
    set_field(message, 1, index_field, sizeof index_field);
    return exchange(c, message);
}

int find_by_name(Command c, const char *name, FwServiceRecord *out)
{
    if (!text_given(name, row(c).function, "service name"))
        return -1;
    Listing listing(c);
    int failure = 0;
    if (!listing.read(-1, &failure))
        return failure;
    for (int i = 0; i < listing.count(); ++i)
        if (name_is(listing.at(i), name)) {
            if (out)
                std::memcpy(out, &listing.at(i), sizeof *out);
            return i;
        }
    return -1;
}

int read_all(Command c, FwServiceRecord *array, int capacity)
{
    if (capacity < AGAPI_SERVICES_MAX) {
        std::printf("%s: Error, array need to be at least %d\n", row(c).function, AGAPI_SERVICES_MAX);
        return 0;
    }
    Channel channel(c);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    AgIoctlMsg message;
    attach_listing(message, array);
    int result = channel.send(message);
    if (result < 0) {
        // Callers take anything below 1 as an empty table.
        report_refusal(c, result);
        return -1;
    }
    return listed(message);
}

} // namespace

extern "C" {

int agApi_fwServiceList(void)
{
    Listing listing(Command::fwServiceList);
    int failure = 0;
    if (!listing.read(0, &failure))
        return failure;
    std::printf("\n");
    for (int i = 0; i < listing.count(); ++i) {
        const FwServiceRecord &r = listing.at(i);
        std::printf("[service %d] name: '%.*s', protocol: 0x%02X, port %d-%d\n", i,
                    static_cast<int>(strnlen(r.sName, sizeof r.sName)), r.sName, r.bProtocol, r.usStartPort,
                    r.usEndPort);
    }
    std::printf("\n");
    return 1;
}

int agApi_fwServiceAdd(const char *name, uint8_t protocol, uint16_t startPort, uint16_t endPort)
{
    return add(Command::fwServiceAdd, name, protocol, startPort, endPort, true);
}

int agApi_fwServiceAdd_Session2(const char *name, uint8_t protocol, uint16_t startPort, uint16_t endPort)
{
    return add(Command::fwServiceAdd_Session2, name, protocol, startPort, endPort, false);
}

int agApi_fwServiceDel(int index)
{
    return exchange(Command::fwServiceDel, static_cast<uint32_t>(index));
}

int agApi_fwServiceDel_Session2(int index)
{
    return exchange(Command::fwServiceDel_Session2, static_cast<uint32_t>(index));
}

int agApi_fwServiceDelByName(const char *name)
{
    return exchange(Command::fwServiceDelByName, address(name));
}

int agApi_fwServiceDelByName_Session2(const char *name)
{
    return exchange(Command::fwServiceDelByName_Session2, address(name));
}

int agApi_fwServiceMod(uint16_t index, const FwServiceRecord *record)
{
    return modify(Command::fwServiceMod, index, record);
}

int agApi_fwServiceMod_Session2(uint16_t index, const FwServiceRecord *record)
{
    return modify(Command::fwServiceMod_Session2, index, record);
}

int agApi_fwServiceGetCnt(void) { return exchange(Command::fwServiceGetCnt, 0); }
int agApi_fwServiceGetCnt_Session2(void) { return exchange(Command::fwServiceGetCnt_Session2, 0); }

int agApi_fwServiceGet(uint16_t index, FwServiceRecord *out)
{
    return get(Command::fwServiceGet, index, out);
}

int agApi_fwServiceGet_Session2(uint16_t index, FwServiceRecord *out)
{
    return get(Command::fwServiceGet_Session2, index, out);
}

int agApi_fwGetServiceByName(const char *name, FwServiceRecord *out)
{
    return find_by_name(Command::fwGetServiceByName, name, out);
}

int agApi_fwGetServiceByName_Session2(const char *name, FwServiceRecord *out)
{
    return find_by_name(Command::fwGetServiceByName_Session2, name, out);
}

int agApi_fwGetServiceName(uint16_t startPort, uint16_t endPort, uint8_t protocol, FwServiceRecord *out)
{
    Listing listing(Command::fwGetServiceName);
    int failure = 0;
    if (!listing.read(0, &failure))
        return failure;
    int found = 0;
    for (int i = 0; i < listing.count(); ++i) {
        const FwServiceRecord &r = listing.at(i);
        if (r.usStartPort == startPort && r.usEndPort == endPort && r.bProtocol == protocol) {
            // The last matching record is the one left in OUT.
            if (out)
                std::memcpy(out, &r, sizeof *out);
            found = 1;
        }
    }
    return found;
}

int agApi_fwGetAllServices(FwServiceRecord *array, int capacity)
{
    return read_all(Command::fwGetAllServices, array, capacity);
}

int agApi_fwGetAllServices_Session2(FwServiceRecord *array, int capacity)
{
    return read_all(Command::fwGetAllServices_Session2, array, capacity);
}

} // extern "C"
