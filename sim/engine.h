// The simulated NAT engine: what it keeps, how it reads a command and the
// handlers of each family of commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "agapi.h"
#include "zolt_natsim.h"

namespace natsim {

enum class Dev : uint8_t { Nat, Ipv6 };

// How the engine takes the third ioctl argument.
enum class Arg : uint8_t {
    Value,   // a value, or an address the engine only writes to
    Record,  // address of a fixed-size record it reads (record_size bytes)
    Message, // address of an AgIoctlMsg
    Vector,  // address of an AgArgVec
    MessageOrZero, // address of an AgIoctlMsg, or the value 0 alone
};

// How the engine reads the fields of a message.
enum class Fields : uint8_t {
    Length, // length[i] bytes at field[i]
    Word4,  // 4 bytes at field[i], lengths ignored
    Value,  // field[i] holds the value itself
};

struct Request;
using Handler = int (*)(Request &);

struct SimCommand {
    uint32_t code;
    Dev device;
    Arg arg;
    Fields fields;
    int8_t read_fields;  // fields read; -1: as many as the count says
    uint32_t out_mask;   // fields the engine only writes (not copied)
    uint16_t record_size;
    Handler handle;
};

// One command being served.  Handlers read what the engine copied (the log
// entry) and write results to the caller's memory, as a kernel module does.
struct Request {
    const SimCommand &command;
    natsim_call &call;
    uintptr_t arg;
    AgIoctlMsg *message; // Message commands
    AgArgVec *vector;    // Vector commands

    int32_t value() const { return static_cast<int32_t>(static_cast<uint32_t>(arg)); }
    // Field I as a 32-bit value (copied bytes, or the word itself).
    int32_t field32(int i) const;
    uint64_t field64(int i) const;
    // Copied field I as text of at most CAP-1 bytes; false when longer.
    bool field_text(int i, char *out, size_t cap) const;
    // Writes a status into the count word.
    void status(int32_t s) const;
};

// Errors as the kernel module reports them (negative errno).
constexpr int kInvalid = -22;   // EINVAL
constexpr int kFault = -14;     // EFAULT
constexpr int kNoEntry = -2;    // ENOENT
constexpr int kExists = -17;    // EEXIST
constexpr int kNoSpace = -28;   // ENOSPC

// The family tables, each closed by a row with code 0.
extern const SimCommand kSwitchCommands[];
extern const SimCommand kListenPortCommands[];
extern const SimCommand kUrlScheduleCommands[];
extern const SimCommand kEngineCommands[];
extern const SimCommand kConnectionCommands[];
extern const SimCommand kTriggerConfCommands[];
extern const SimCommand kNatRuleCommands[];
extern const SimCommand kNatControlCommands[];
extern const SimCommand kServiceCommands[];
extern const SimCommand kFilterCommands[];

// Writes a 32-bit value at a caller's address; kFault for null.
int put32(uintptr_t address, int32_t value);

// State kept by the families, emptied by natsim_reset.
void reset_switches();
void reset_listen_ports();
void reset_url_schedules();
void reset_engine_tables();
void reset_nat_rules();
void reset_nat_control();
void reset_services();
void reset_filters();

// The NAT rule table a test loads whole: AGAPI_NAT_RULES_MAX records of 48
// bytes, the number loaded and the six window values.
void *nat_table_records();
int &nat_table_count();
int32_t *nat_table_windows();

struct ListenPort {
    uint16_t first, second;
};
constexpr int kListenPorts = AGAPI_LISTEN_PORTS_MAX;
int set_listen_ports(const uint16_t *first, const uint16_t *second, int n);

// The connection table that natsim_set_conn_table loads, 92-byte entries
// (sim/engine_tables.cpp).
int conn_table_count();
const unsigned char *conn_table_entries();
// Appends one entry; its index, or -1 when the table is full.
int conn_table_append(const unsigned char *entry92);

// The engine's port trigger configurations (sim/trigger_config.cpp):
// loads N records of 364 bytes; -1 for a bad N.
void reset_trigger_confs();
int set_trigger_confs(const void *records364, int n);

} // namespace natsim
