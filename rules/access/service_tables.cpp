// The service tables: the exported default services of both sessions and
// the service list the rule generators work with, read from the engine's
// service table with the TCP and UDP halves of a service merged.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "arnonat_access.h"
#include "platform/heap_buffer.h"
#include "rules/access/service_defaults.h"

using arnonat::HeapBuffer;
using namespace arnonat::access;

static_assert(sizeof(ArnonatServiceDefault) == 72);
static_assert(sizeof(ArnonatServiceDefault2) == 72);
static_assert(offsetof(ArnonatServiceDefault2, marked) == 52);
static_assert(sizeof(ArnonatServiceEntry::name) == sizeof(FwServiceRecord::sName));

namespace {

// Records read from the engine in one listing.
constexpr int kWorkRecords = 130;

template <size_t N>
constexpr void copy_name(char (&to)[N], const char *from)
{
    for (size_t i = 0; i < N - 1 && from[i]; ++i)
        to[i] = from[i];
}

constexpr ArnonatServiceDefault first_row(const DefaultService &d)
{
    ArnonatServiceDefault row{};
    copy_name(row.name, d.name);
    row.protocol = d.protocol;
    row.startPort = d.start_port;
    row.endPort = d.end_port;
    row.marked = d.marked;
    return row;
}

constexpr ArnonatServiceDefault2 second_row(const DefaultService &d)
{
    ArnonatServiceDefault2 row{};
    copy_name(row.name, d.name);
    row.protocol = d.protocol;
    row.startPort = row.startPort2 = d.start_port;
    row.endPort = row.endPort2 = d.end_port;
    row.marked = d.marked;
    return row;
}

// The 43 rows of a default table, each made by MAKE from its default row.
#define ARNONAT_DEFAULT_ROWS(make)                                                                                 \
    make(0), make(1), make(2), make(3), make(4), make(5), make(6), make(7), make(8), make(9), make(10), make(11),  \
        make(12), make(13), make(14), make(15), make(16), make(17), make(18), make(19), make(20), make(21),        \
        make(22), make(23), make(24), make(25), make(26), make(27), make(28), make(29), make(30), make(31),        \
        make(32), make(33), make(34), make(35), make(36), make(37), make(38), make(39), make(40), make(41), make(42)
#define ARNONAT_FIRST_ROW(i) first_row(kDefaultServices[i])
#define ARNONAT_SECOND_ROW(i) second_row(kDefaultServices[i])

struct Session {
    int (*read_all)(FwServiceRecord *, int);
    const char *(*default_name)(int);
};

const char *first_default(int i) { return arnonat_serviceDefault[i].name; }
const char *second_default(int i) { return arnonat_serviceDefault2[i].name; }

bool is_default(const Session &s, const char *name)
{
    for (int i = 0; i < ARNONAT_DEFAULT_SERVICES; ++i)
        if (strncmp(s.default_name(i), name, sizeof arnonat_serviceDefault[i].name) == 0)
            return true;
    return false;
}

// The entry of record I, before twins are merged.
void convert(const FwServiceRecord &record, int i, ArnonatServiceEntry &entry)
{
    entry = ArnonatServiceEntry{};
    std::memcpy(entry.name, record.sName, sizeof entry.name - 1);
    if (record.bProtocol == kTcp)
        std::snprintf(entry.protocol, sizeof entry.protocol, "TCP");
    else if (record.bProtocol == kUdp)
        std::snprintf(entry.protocol, sizeof entry.protocol, "UDP");
    else
        // Any other protocol is named by its number.
        std::snprintf(entry.protocol, sizeof entry.protocol, "%d", record.bProtocol);
    std::snprintf(entry.startPort, sizeof entry.startPort, "%d", record.usStartPort);
    std::snprintf(entry.endPort, sizeof entry.endPort, "%d", record.usEndPort);
    entry.index = i;
    entry.twinIndex = -1;
}

// The UDP half of a two-protocol service: the twin suffix ends its name.
// A service named only "_zZz" is a service of its own.
bool is_twin_record(const char *name)
{
    return twin_base_length(name) > 0;
}

bool selected(const Session &s, const char *name, int default_only)
{
    if (is_twin_record(name))
        return false;
    if (default_only)
        return is_default(s, name);
    return !std::strstr(name, "dmz_") && !std::strstr(name, "fwd_head_");
}

int service_table(const Session &s, ArnonatServiceEntry *entries, unsigned capacity, int default_only)
{
    if (!entries || capacity == 0)
        return 0;
    HeapBuffer records;
    HeapBuffer work;
    if (!records.allocate(kWorkRecords * sizeof(FwServiceRecord)) ||
        !work.allocate(kWorkRecords * sizeof(ArnonatServiceEntry))) {
        std::printf("service table: no memory for %d services\n", kWorkRecords);
        return 0;
    }
    auto *record = static_cast<FwServiceRecord *>(records.get());
    auto *entry = static_cast<ArnonatServiceEntry *>(work.get());
    int n = s.read_all(record, kWorkRecords);
    if (n < 1)
        return 0;
    if (n > kWorkRecords)
        n = kWorkRecords;
    for (int i = 0; i < n; ++i)
        convert(record[i], i, entry[i]);

    unsigned written = 0;
    for (int i = 0; i < n && written < capacity; ++i) {
        if (!selected(s, entry[i].name, default_only))
            continue;
        ArnonatServiceEntry &out = entries[written++];
        out = entry[i];
        for (int k = 0; k < n; ++k)
            if (is_twin_of(entry[k].name, out.name)) {
                // The twin's own position: it usually, but not always,
                // follows its service.
                out.twinIndex = entry[k].index;
                std::snprintf(out.protocol, sizeof out.protocol, "TCP/UDP");
                break;
            }
    }
    return static_cast<int>(written);
}

} // namespace

namespace arnonat::access {

bool is_twin_of(const char *name, const char *base)
{
    size_t n = std::strlen(base);
    return std::strncmp(name, base, n) == 0 && std::strcmp(name + n, kTwinSuffix) == 0;
}

long twin_base_length(const char *name)
{
    const char *at = std::strstr(name, kTwinSuffix);
    if (!at || at[kTwinSuffixLength] != '\0')
        return -1;
    return at - name;
}

} // namespace arnonat::access

extern "C" {

// Filled when the library is loaded, without any code running.
constinit ArnonatServiceDefault arnonat_serviceDefault[ARNONAT_DEFAULT_SERVICES] = {
    ARNONAT_DEFAULT_ROWS(ARNONAT_FIRST_ROW)};
constinit ArnonatServiceDefault2 arnonat_serviceDefault2[ARNONAT_DEFAULT_SERVICES] = {
    ARNONAT_DEFAULT_ROWS(ARNONAT_SECOND_ROW)};

int arnonat_getServiceTable(ArnonatServiceEntry *entries, unsigned int capacity, int defaultOnly)
{
    static constexpr Session kFirst{agApi_fwGetAllServices, first_default};
    return service_table(kFirst, entries, capacity, defaultOnly);
}

int arnonat_getServiceTable2(ArnonatServiceEntry *entries, unsigned int capacity, int defaultOnly)
{
    static constexpr Session kSecond{agApi_fwGetAllServices_Session2, second_default};
    return service_table(kSecond, entries, capacity, defaultOnly);
}

} // extern "C"
