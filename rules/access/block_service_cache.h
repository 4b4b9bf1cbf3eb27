// The block-service cache: the engine's user services and the filter rules
// that block them, per WAN session, read once per process when services are
// first blocked by schedule.
#pragma once

#include <cstdint>

#include "arnonat_access.h"

namespace arnonat::access {

constexpr int kCachedServices = 20;
constexpr int kCachedRules = 20;

enum ProtocolType : int32_t { kProtocolOther = 0, kProtocolTcp = 1, kProtocolUdp = 2, kProtocolBoth = 3 };
enum SourceKind : int32_t { kSourceOne = 1, kSourceRange = 2, kSourceAny = 3 };

struct CachedService {
    int32_t custom;
    char name[48];
    int32_t protocol_type;
    int32_t start_port;
    int32_t end_port;
    int32_t in_use;
    int32_t builtin;
    int32_t engine_index;
    int32_t twin_engine_index;
};

struct CachedRule {
    CachedService *service;
    int32_t source_kind;
    uint32_t address1;
    uint32_t address2;
    int32_t in_use;
    int32_t filter_id;
    int32_t twin_present;
    int32_t twin_filter_id;
    CachedRule *next;
};

struct BlockServiceSession {
    CachedService services[kCachedServices];
    CachedRule rules[kCachedRules];
    CachedRule *head;
    CachedService builtins[ARNONAT_DEFAULT_SERVICES];
};

// Builds the cache of both sessions unless this process built it already.
void build_block_service_cache();
bool block_service_cache_built();
// SESSION 0 is the first WAN session, 1 the second.
const BlockServiceSession &block_service_session(int session);
// Lets the next build run again; for tests that build more than once in a
// process.
void forget_block_service_cache();

} // namespace arnonat::access
