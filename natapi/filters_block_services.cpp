// The engine's IP filter table and block-service table, for both WAN
// sessions: the listings with their printed layouts, table reads, and the
// changes of single entries.  The first session's filter changes are also
// announced to the block-services rules: those exported functions are
// joined in driver/engine_rules.cpp.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "natapi/exchange.h"
#include "natapi/natapi.h"
#include "platform/heap_buffer.h"

using namespace arnonat::natapi;
using arnonat::HeapBuffer;

static_assert(sizeof(FwFilterRecord) == 56);
static_assert(offsetof(FwFilterRecord, usScheduleIndex) == 2);
static_assert(offsetof(FwFilterRecord, usIndex) == 4);
static_assert(offsetof(FwFilterRecord, bDirection) == 6);
static_assert(offsetof(FwFilterRecord, ulSrcIp1) == 8);
static_assert(offsetof(FwFilterRecord, ulSrcIp2) == 12);
static_assert(offsetof(FwFilterRecord, usSrcPortLow) == 16);
static_assert(offsetof(FwFilterRecord, ulDstIp1) == 20);
static_assert(offsetof(FwFilterRecord, ulDstIp2) == 24);
static_assert(offsetof(FwFilterRecord, usDstPortLow) == 28);
static_assert(offsetof(FwFilterRecord, usDstPortHigh) == 30);
static_assert(offsetof(FwFilterRecord, bProtocol) == 32);
static_assert(offsetof(FwFilterRecord, bFlags) == 33);
static_assert(offsetof(FwFilterRecord, bScheduleFlags) == 34);
static_assert(offsetof(FwFilterRecord, bMatchAction) == 35);
static_assert(offsetof(FwFilterRecord, bNoMatchAction) == 36);
static_assert(offsetof(FwFilterRecord, bEnable) == 37);
static_assert(sizeof(FwBlkServRecord) == 24);
static_assert(offsetof(FwBlkServRecord, usServiceIndex) == 4);
static_assert(offsetof(FwBlkServRecord, usScheduleIndex) == 6);
static_assert(offsetof(FwBlkServRecord, ulAllSources) == 8);
static_assert(offsetof(FwBlkServRecord, ulIp1) == 12);
static_assert(offsetof(FwBlkServRecord, ulIp2) == 16);
static_assert(offsetof(FwBlkServRecord, ulMask) == 20);

namespace {

constexpr size_t kFilterTableBytes = 3640;
constexpr size_t kBlockServiceTableBytes = 3072;
static_assert(kFilterTableBytes == AGAPI_FILTERS_MAX * sizeof(FwFilterRecord));
static_assert(kBlockServiceTableBytes == AGAPI_BLOCK_SERVICES_MAX * sizeof(FwBlkServRecord));

// Dotted form of an address whose most significant byte is the first octet.
struct Dotted {
    char text[sizeof "255.255.255.255"];
    explicit Dotted(uint32_t a)
    {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xFFu, (a >> 16) & 0xFFu, (a >> 8) & 0xFFu,
                      a & 0xFFu);
    }
};

// A table read: field 0 the records, field 1 the count word, both filled by
// the engine.
class TableRead {
public:
    TableRead(Command command, size_t bytes, int max) : command_(command), channel_(command), bytes_(bytes), max_(max)
    {
    }

    bool opened() const { return static_cast<bool>(channel_); }
    bool allocate() { return records_.allocate(bytes_) && count_.allocate(sizeof(int32_t)); }
    // The command's result.
    int send()
    {
        AgIoctlMsg message{};
        message.count = 2;
        set_field(message, 0, records_.get(), 4);
        set_field(message, 1, count_.get(), 4);
        return channel_.send(message);
    }
    // The count the engine wrote, never more than the buffer holds.
    int count() const
    {
        int32_t n = 0;
        std::memcpy(&n, count_.get(), sizeof n);
        return n < 0 ? 0 : n > max_ ? max_ : n;
    }
    const void *records() const { return records_.get(); }

    // A whole listing with its messages: 0 device not opened or no buffer,
    // -1 refused, 1 when PRINT was called with the records.
    template <typename Print>
    int list(Print print)
    {
        if (!opened()) {
            report_open_failure(command_);
            return 0;
        }
        if (!allocate()) {
            std::printf("[%s]:malloc failed:%d\n", row(command_).function, 0);
            return 0;
        }
        int result = send();
        if (result < 0) {
            report_refusal(command_, result);
            return -1;
        }
        print(*this);
        return 1;
    }

private:
    Command command_;
    Channel channel_;
    size_t bytes_;
    int max_;
    HeapBuffer records_;
    HeapBuffer count_;
};

int read_filter_table(Command c, FwFilterRecord *out)
{
    TableRead table(c, kFilterTableBytes, AGAPI_FILTERS_MAX);
    if (!table.opened() || !table.allocate() || table.send() < 0)
        return 0;
    int n = table.count();
    if (out && n > 0)
        std::memcpy(out, table.records(), static_cast<size_t>(n) * sizeof(FwFilterRecord));
    return n;
}

// Index and record fields in the order of COMMAND.
int send_filter(Command c, const FwFilterRecord *record, int value, bool record_first)
{
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, record_first ? 0 : 1, record, sizeof(FwFilterRecord));
    set_field(message, record_first ? 1 : 0, &value, 4);
    return exchange(c, message);
}

// The add returns the command's result whatever it is.
int add_filter(Command c, const FwFilterRecord *record, int filter, bool &reached)
{
    Channel channel(c);
    reached = static_cast<bool>(channel);
    if (!channel) {
        report_open_failure(c);
        return 0;
    }
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, record, sizeof(FwFilterRecord));
    set_field(message, 1, &filter, 4);
    return channel.send(message);
}

// Reads one record: the record (out) and its index, announced as 4 bytes:
// the index's 16 bits, then the bytes 2 and 0.
int get_short_index(Command c, void *out, uint32_t size, uint16_t index)
{
    unsigned char index_field[4] = {0, 0, 2, 0};
    std::memcpy(index_field, &index, sizeof index);
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, out, size);
    set_field(message, 1, index_field, sizeof index_field);
    return exchange(c, message);
}

int filter_get(Command c, int index, FwFilterRecord *out)
{
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, out, sizeof(FwFilterRecord));
    set_field(message, 1, &index, 4);
    return exchange(c, message);
}

int block_service_add(Command c, const FwBlkServRecord *record)
{
    AgIoctlMsg message{};
    message.count = 1;
    set_field(message, 0, record, sizeof(FwBlkServRecord));
    return exchange(c, message);
}

void print_filter(const FwFilterRecord &r)
{
    char schedule[sizeof "schedule index 65535, "] = "";
    if (r.bScheduleFlags & AGAPI_FILTER_SCHEDULED)
        std::snprintf(schedule, sizeof schedule, "schedule index %d, ", r.usScheduleIndex);
    const bool by_service = r.bFlags & AGAPI_FILTER_SERVICE;
    char service[sizeof "service index 65535, "];
    if (by_service)
        std::snprintf(service, sizeof service, "service index %d, ", r.usDstPortLow);
    else
        std::snprintf(service, sizeof service, "protocol 0x%02X, ", r.bProtocol);
    const bool on_match = r.bFlags & AGAPI_FILTER_ON_MATCH;
    const char *match = on_match ? (r.bMatchAction ? "ALLOW" : "DROP") : "N/A";
    const char *no_match = on_match ? "N/A" : (r.bNoMatchAction ? "ALLOW" : "DROP");
    std::printf("index %d, rule type %d, %ssource %s/%s(%s):%d-%d, dest %s/%s(%s):%d-%d, %sdir 0x%02X, match: %s, "
                "not match: %s, enable: %s\n",
                r.usIndex, r.bRuleType, schedule, Dotted(r.ulSrcIp1).text, Dotted(r.ulSrcIp2).text,
                (r.bFlags & AGAPI_FILTER_SOURCE_RANGE) ? "RANGE" : "MASK", r.usSrcPortLow, r.usSrcPortHigh,
                Dotted(r.ulDstIp1).text, Dotted(r.ulDstIp2).text, (r.bFlags & AGAPI_FILTER_DEST_RANGE) ? "RANGE" : "MASK",
                by_service ? 0 : r.usDstPortLow, by_service ? 0 : r.usDstPortHigh, service, r.bDirection, match,
                no_match, r.bEnable ? "Y" : "N");
    std::printf("----------------------------------------------------------------------\n");
}

void print_block_service(int i, const FwBlkServRecord &r)
{
    char source[sizeof "255.255.255.255-255.255.255.255"];
    if (r.ulAllSources)
        std::snprintf(source, sizeof source, "All IP");
    else if (r.ulIp2)
        std::snprintf(source, sizeof source, "%s-%s", Dotted(r.ulIp1).text, Dotted(r.ulIp2).text);
    else
        std::snprintf(source, sizeof source, "%s/%s", Dotted(r.ulIp1).text, Dotted(r.ulMask).text);
    char schedule[sizeof "65535"] = "N/A";
    if (r.usScheduleIndex)
        std::snprintf(schedule, sizeof schedule, "%d", r.usScheduleIndex);
    std::printf("[%d] service index: %d, %s, src IP: %s, schedule index: %s\n", i, r.usServiceIndex,
                r.ulEnabled ? "enabled" : "disabled", source, schedule);
}

} // namespace

namespace arnonat::natapi {

int send_filter_add(const FwFilterRecord *record, int filter, bool &reached)
{
    return add_filter(Command::fwFilterAdd, record, filter, reached);
}

int send_filter_modify(int index, const FwFilterRecord *record)
{
    return send_filter(Command::fwFilterMod, record, index, false);
}

int send_filter_delete(int index)
{
    return exchange(Command::fwFilterDel, static_cast<uint32_t>(index));
}

} // namespace arnonat::natapi

extern "C" {

int DumpIpFilterRule(uint8_t mask, const FwFilterRecord *records, int count)
{
    int printed = 0;
    for (int i = 0; records && i < count; ++i)
        if (records[i].bDirection & mask) {
            print_filter(records[i]);
            ++printed;
        }
    std::printf("total %d rule(s)\n", printed);
    return 0;
}

int dumpBlockServList(int count, const FwBlkServRecord *records)
{
    for (int i = 0; records && i < count; ++i)
        print_block_service(i, records[i]);
    return 0;
}

int agApi_fwFilterList(void)
{
    TableRead table(Command::fwFilterList, kFilterTableBytes, AGAPI_FILTERS_MAX);
    return table.list([](const TableRead &t) {
        DumpIpFilterRule(255, static_cast<const FwFilterRecord *>(t.records()), t.count());
    });
}

int agApi_fwBlkServList(void)
{
    TableRead table(Command::fwBlkServList, kBlockServiceTableBytes, AGAPI_BLOCK_SERVICES_MAX);
    return table.list([](const TableRead &t) {
        dumpBlockServList(t.count(), static_cast<const FwBlkServRecord *>(t.records()));
    });
}

int agApi_fwGetFilterTable(FwFilterRecord *out) { return read_filter_table(Command::fwGetFilterTable, out); }

int agApi_fwGetFilterTable_Session2(FwFilterRecord *out)
{
    return read_filter_table(Command::fwGetFilterTable_Session2, out);
}

int agApi_fwFilterGet(int index, FwFilterRecord *out) { return filter_get(Command::fwFilterGet, index, out); }

int agApi_fwFilterGet_Session2(int index, FwFilterRecord *out)
{
    return filter_get(Command::fwFilterGet_Session2, index, out);
}

int agApi_fwFilterAdd_Session2(const FwFilterRecord *record, int filter)
{
    bool reached = false;
    return add_filter(Command::fwFilterAdd_Session2, record, filter, reached);
}

int agApi_fwFilterInsert(const FwFilterRecord *record, int index)
{
    return send_filter(Command::fwFilterInsert, record, index, false);
}

int agApi_fwFilterInsert_Session2(const FwFilterRecord *record, int index)
{
    return send_filter(Command::fwFilterInsert_Session2, record, index, false);
}

int agApi_fwFilterMod_Session2(int index, const FwFilterRecord *record)
{
    return send_filter(Command::fwFilterMod_Session2, record, index, false);
}

int agApi_fwFilterDel_Session2(int index)
{
    return exchange(Command::fwFilterDel_Session2, static_cast<uint32_t>(index));
}

int agApi_fwFilterMove(int first, int second)
{
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, &first, 4);
    set_field(message, 1, &second, 4);
    return exchange(Command::fwFilterMove, message);
}

int agApi_fwFilterSche(int first, int second, uint16_t third)
{
    AgIoctlMsg message{};
    // The engine reads three fields under a count of 2.
    message.count = 2;
    set_field(message, 0, &first, 4);
    set_field(message, 1, &second, 4);
    set_field(message, 2, &third, 2);
    return exchange(Command::fwFilterSche, message);
}

int agApi_getFltrRuleCnt(int *counter)
{
    if (!counter)
        return 0;
    return exchange(Command::getFltrRuleCnt, address(counter));
}

int agApi_fwBlkServAdd(const FwBlkServRecord *record) { return block_service_add(Command::fwBlkServAdd, record); }

int agApi_fwBlkServAdd_Session2(const FwBlkServRecord *record)
{
    return block_service_add(Command::fwBlkServAdd_Session2, record);
}

int agApi_fwBlkServMod(uint16_t index, const FwBlkServRecord *record)
{
    AgIoctlMsg message{};
    message.count = 2;
    set_field(message, 0, &index, 2);
    set_field(message, 1, record, sizeof(FwBlkServRecord));
    return exchange(Command::fwBlkServMod, message);
}

int agApi_fwBlkServDel(int index) { return exchange(Command::fwBlkServDel, static_cast<uint32_t>(index)); }

int agApi_fwBlkServMode(uint16_t first, uint16_t second, uint16_t third)
{
    AgIoctlMsg message{};
    message.count = 3;
    set_field(message, 0, &first, 2);
    set_field(message, 1, &second, 2);
    set_field(message, 2, &third, 2);
    return exchange(Command::fwBlkServMode, message);
}

int agApi_fwBlkServGet(uint16_t index, FwBlkServRecord *out)
{
    return get_short_index(Command::fwBlkServGet, out, sizeof(FwBlkServRecord), index);
}

int agApi_fwBlkServGet_Session2(uint16_t index, FwBlkServRecord *out)
{
    return get_short_index(Command::fwBlkServGet_Session2, out, sizeof(FwBlkServRecord), index);
}

int agApi_fwBlkServGetCnt(void) { return exchange(Command::fwBlkServGetCnt, 0); }
int agApi_fwBlkServGetCnt_Session2(void) { return exchange(Command::fwBlkServGetCnt_Session2, 0); }

int agApi_fwBlkServModAction(int action)
{
    return exchange(Command::fwBlkServModAction, static_cast<uint32_t>(action));
}

int agApi_fwBlkServModAction_Session2(int action)
{
    return exchange(Command::fwBlkServModAction_Session2, static_cast<uint32_t>(action));
}

} // extern "C"
