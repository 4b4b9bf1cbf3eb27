// The block-service cache.  On the first scheduled generation of a process
// the engine's block-services action is set from the settings, the user
// services of the engine become cached definitions and every service-based
// filter rule is filed under the cached rule of its service and source.
#include "rules/access/block_service_cache.h"

#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "platform/heap_buffer.h"
#include "platform/text_values.h"
#include "rules/access/service_defaults.h"
#include "zolt_nvram.h"

using arnonat::HeapBuffer;

extern "C" {
int32_t arnonat_g_isJpMultiWanCgi;
uint16_t arnonat_g_FilterIdHead;
unsigned char arnonat_g_FilterRecord[4096];
uint16_t arnonat_g_FilterIdHead2;
unsigned char arnonat_g_FilterRecord2[4096];
}

namespace arnonat::access {

namespace {

constexpr int kServiceListCapacity = 65;
constexpr int kSecondSessionRecords = 64;
constexpr size_t kSecondSessionRecordBytes = 64;
static_assert(kSecondSessionRecords * kSecondSessionRecordBytes == sizeof arnonat_g_FilterRecord2);

// Engine services that are never blocked by service.
constexpr const char *kNeverCached[] = {"ICMP", "eGRE", "ICMP_echo_req", "ICMP_dst_unreach"};

constexpr int32_t protocol_type(int32_t protocol)
{
    return protocol == kTcp ? kProtocolTcp : protocol == kUdp ? kProtocolUdp : kProtocolBoth;
}

constexpr CachedService builtin(const DefaultService &d)
{
    CachedService s{};
    for (size_t i = 0; i < sizeof s.name - 1 && d.name[i]; ++i)
        s.name[i] = d.name[i];
    s.protocol_type = protocol_type(d.protocol);
    s.start_port = d.start_port;
    s.end_port = d.end_port;
    s.in_use = 1;
    s.builtin = 1;
    s.engine_index = -1;
    s.twin_engine_index = -1;
    return s;
}

constexpr BlockServiceSession fresh_session()
{
    BlockServiceSession s{};
    for (int i = 0; i < ARNONAT_DEFAULT_SERVICES; ++i)
        s.builtins[i] = builtin(kDefaultServices[i]);
    return s;
}

constinit BlockServiceSession g_session[2] = {fresh_session(), fresh_session()};
constinit bool g_built = false;

// The engine operations of one session.
struct Engine {
    int (*service_table)(ArnonatServiceEntry *, unsigned, int);
    int (*service_get)(uint16_t, FwServiceRecord *);
    int (*service_by_name)(const char *, FwServiceRecord *);
    int (*filter_table)(FwFilterRecord *);
};

constexpr Engine kEngines[2] = {
    {arnonat_getServiceTable, agApi_fwServiceGet, agApi_fwGetServiceByName, agApi_fwGetFilterTable},
    {arnonat_getServiceTable2, agApi_fwServiceGet_Session2, agApi_fwGetServiceByName_Session2,
     agApi_fwGetFilterTable_Session2},
};

void clear(BlockServiceSession &s)
{
    for (CachedService &d : s.services)
        d.in_use = 0;
    for (CachedRule &r : s.rules)
        r.in_use = 0;
    s.head = nullptr;
}

CachedService *builtin_named(BlockServiceSession &s, const char *name)
{
    for (CachedService &d : s.builtins)
        if (std::strcmp(d.name, name) == 0)
            return &d;
    return nullptr;
}

bool is_builtin_or_its_twin(BlockServiceSession &s, const char *name)
{
    for (const CachedService &d : s.builtins)
        if (std::strcmp(d.name, name) == 0 || (d.protocol_type == kProtocolBoth && is_twin_of(name, d.name)))
            return true;
    return false;
}

bool never_cached(const char *name)
{
    for (const char *n : kNeverCached)
        if (std::strcmp(n, name) == 0)
            return true;
    return false;
}

int32_t entry_protocol_type(const ArnonatServiceEntry &e)
{
    if (e.twinIndex >= 0)
        return kProtocolBoth;
    if (std::strcmp(e.protocol, "TCP") == 0)
        return kProtocolTcp;
    if (std::strcmp(e.protocol, "UDP") == 0)
        return kProtocolUdp;
    return kProtocolOther;
}

// The user services of the engine as cached definitions; false when the
// table of definitions is full.
bool fill_definitions(BlockServiceSession &s, const Engine &engine)
{
    ArnonatServiceEntry list[kServiceListCapacity];
    int n = engine.service_table(list, kServiceListCapacity, 0);
    for (int i = 0; i < n; ++i) {
        const ArnonatServiceEntry &e = list[i];
        if (is_builtin_or_its_twin(s, e.name) || never_cached(e.name))
            continue;
        CachedService *d = nullptr;
        for (CachedService &free_one : s.services)
            if (!free_one.in_use) {
                d = &free_one;
                break;
            }
        if (!d) {
            std::puts("Error getting service entry.");
            return false;
        }
        *d = CachedService{};
        d->custom = 1;
        d->in_use = 1;
        std::memcpy(d->name, e.name, sizeof d->name);
        d->name[sizeof d->name - 1] = '\0';
        d->protocol_type = entry_protocol_type(e);
        d->start_port = atoi_clamped(e.startPort);
        d->end_port = atoi_clamped(e.endPort);
        d->engine_index = e.index;
        d->twin_engine_index = e.twinIndex;
    }
    return true;
}

// The second session's block services are in use when the first word of the
// record chosen by the head index is set.  A head index past the 64 records
// chooses none.
bool second_session_active()
{
    if (arnonat_g_FilterIdHead2 >= kSecondSessionRecords) {
        std::printf("block services: second session head index %u is past its %d records\n",
                    static_cast<unsigned>(arnonat_g_FilterIdHead2), kSecondSessionRecords);
        return false;
    }
    int32_t first_word = 0;
    std::memcpy(&first_word, arnonat_g_FilterRecord2 + arnonat_g_FilterIdHead2 * kSecondSessionRecordBytes,
                sizeof first_word);
    return first_word != 0;
}

// The definition a filter rule's service belongs to, or null.
CachedService *definition_of(BlockServiceSession &s, const Engine &engine, const char *base)
{
    FwServiceRecord found{};
    int index = engine.service_by_name(base, &found);
    if (index >= 0) {
        if (CachedService *b = builtin_named(s, base)) {
            char twin[sizeof found.sName + kTwinSuffixLength];
            std::snprintf(twin, sizeof twin, "%s%s", base, kTwinSuffix);
            b->engine_index = index;
            b->twin_engine_index = engine.service_by_name(twin, &found);
            return b;
        }
    }
    for (CachedService &d : s.services)
        if (d.in_use && std::strcmp(d.name, base) == 0)
            return &d;
    return nullptr;
}

bool source_matches(const CachedRule &rule, const FwFilterRecord &f)
{
    switch (rule.source_kind) {
    case kSourceOne:
        return (f.bFlags & AGAPI_FILTER_SOURCE) && rule.address1 == f.ulSrcIp1;
    case kSourceRange:
        return (f.bFlags & AGAPI_FILTER_SOURCE_RANGE) && rule.address1 == f.ulSrcIp1 &&
               rule.address2 == f.ulSrcIp2;
    default:
        return !(f.bFlags & (AGAPI_FILTER_SOURCE | AGAPI_FILTER_SOURCE_RANGE));
    }
}

CachedRule *matching_rule(BlockServiceSession &s, const char *base, const FwFilterRecord &f)
{
    for (CachedRule *r = s.head; r; r = r->next)
        if (std::strcmp(r->service->name, base) == 0 && source_matches(*r, f))
            return r;
    return nullptr;
}

// A new rule at the end of the list; null when all are in use.
CachedRule *new_rule(BlockServiceSession &s, CachedService *service, const FwFilterRecord &f)
{
    CachedRule *r = nullptr;
    for (CachedRule &free_one : s.rules)
        if (!free_one.in_use) {
            r = &free_one;
            break;
        }
    if (!r)
        return nullptr;
    *r = CachedRule{service, kSourceAny, 0, 0, 1, -1, 0, -1, nullptr};
    if (f.bFlags & AGAPI_FILTER_SOURCE_RANGE) {
        r->source_kind = kSourceRange;
        r->address1 = f.ulSrcIp1;
        r->address2 = f.ulSrcIp2;
    } else if (f.bFlags & AGAPI_FILTER_SOURCE) {
        r->source_kind = kSourceOne;
        r->address1 = f.ulSrcIp1;
    }
    CachedRule **end = &s.head;
    while (*end)
        end = &(*end)->next;
    *end = r;
    return r;
}

// Files one service-based filter rule; false when the rule table is full.
bool file_filter(BlockServiceSession &s, const Engine &engine, const FwFilterRecord &f)
{
    FwServiceRecord service{};
    // A service that cannot be read (or has no name) is not filed.
    if (engine.service_get(f.usDstPortLow, &service) < 0)
        return true;
    service.sName[sizeof service.sName - 1] = '\0';
    if (!service.sName[0])
        return true;
    char base[sizeof service.sName];
    std::memcpy(base, service.sName, sizeof base);
    long base_length = twin_base_length(base);
    bool twin = base_length >= 0;
    if (twin)
        base[base_length] = '\0';

    CachedService *d = definition_of(s, engine, base);
    if (!d)
        return true;
    CachedRule *r = matching_rule(s, base, f);
    if (!r && !(r = new_rule(s, d, f))) {
        std::puts("No more rule entries");
        return false;
    }
    if (twin) {
        r->twin_filter_id = f.usIndex;
        r->twin_present = 1;
    } else {
        r->filter_id = f.usIndex;
    }
    return true;
}

void fill_rules(BlockServiceSession &s, const Engine &engine)
{
    if (engine.filter_table(nullptr) < 1)
        return;
    // Room for a whole table, should it have grown since it was counted.
    HeapBuffer buffer;
    if (!buffer.allocate(AGAPI_FILTERS_MAX * sizeof(FwFilterRecord))) {
        std::printf("block services: no memory for the filter table\n");
        return;
    }
    auto *filter = static_cast<FwFilterRecord *>(buffer.get());
    int n = engine.filter_table(filter);
    for (int i = 0; i < n && i < AGAPI_FILTERS_MAX; ++i)
        if ((filter[i].bFlags & AGAPI_FILTER_SERVICE) && !file_filter(s, engine, filter[i]))
            return;
}

void fill_session(int session)
{
    BlockServiceSession &s = g_session[session];
    const Engine &engine = kEngines[session];
    if (!fill_definitions(s, engine))
        return;
    if (session == 0) {
        agApi_fwBlkServModAction(atoi_clamped(zoltNvramConfig_get("fw_bks_block_type")));
    } else {
        if (!second_session_active())
            return;
        agApi_fwBlkServModAction_Session2(atoi_clamped(zoltNvramConfig_get("pppoe2_fw_bks_block_type")));
    }
    fill_rules(s, engine);
}

} // namespace

void build_block_service_cache()
{
    if (g_built)
        return;
    const bool second = arnonat_g_isJpMultiWanCgi != 0;
    clear(g_session[0]);
    if (second)
        clear(g_session[1]);
    g_built = true;
    fill_session(0);
    if (second)
        fill_session(1);
}

bool block_service_cache_built()
{
    return g_built;
}

const BlockServiceSession &block_service_session(int session)
{
    return g_session[session == 1 ? 1 : 0];
}

void forget_block_service_cache()
{
    g_session[0] = fresh_session();
    g_session[1] = fresh_session();
    g_built = false;
}

} // namespace arnonat::access
