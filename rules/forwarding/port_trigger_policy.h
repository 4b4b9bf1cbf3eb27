// Port triggering policies of the router (settings fwpt_count and fwpt0,
// fwpt1, ...), parsed into the process-wide trigger policy table.
//
// A policy value is "number:name:hostMode:hostAddr:trigProto:trigPort:rest",
// the host address in hexadecimal with the first octet in its least
// significant byte (192.168.1.100 is 6401a8c0).  The rest may carry an
// inbound part "I<n>:enable:proto:start:end[:rest]" and an outbound part
// "O<n>:a:b:c:d[:rest]", the outbound part either directly or after the
// inbound one.
#pragma once

#include <cstdint>

namespace arnonat {

inline constexpr int kTriggerPolicyMax = 20;
inline constexpr int kTriggerNameSize = 62; // 61 characters and the terminator

// Protocol codes of trigger policies.
inline constexpr int kTriggerTcp = 6;
inline constexpr int kTriggerUdp = 17;
inline constexpr int kTriggerBoth = 100; // "all" for the inbound protocol

struct TriggerPolicy {
    uint8_t bPolicyNo;       // first number of the policy; not used by the rules
    uint8_t bInUse;          // 1 for an accepted policy
    int32_t iNext;           // index of the next record; -1 ends the list
    uint8_t bReserved;
    char sName[kTriggerNameSize];
    uint8_t bHostMode;       // 2: bound to the host address; else any host
    uint32_t ulHostAddr;     // IPv4, network byte order
    uint8_t bTrigProto;      // 6 TCP, 17 UDP, 100 both
    uint16_t usTrigPort;
    uint8_t bInEnable;
    uint8_t bInProto;        // 6 TCP, 17 UDP, 100 all
    uint16_t usInStartPort;
    uint16_t usInEndPort;    // 0 for a single port
    uint8_t bOutEnable;      // outbound values: stored only
    uint8_t bOutProto;
    uint16_t usOutStartPort;
    uint16_t usOutEndPort;
};

// The table; the list always starts at record 0.
extern TriggerPolicy g_triggerPolicy[kTriggerPolicyMax];

enum class PolicyScan {
    accepted,
    bad_policy,   // fewer than seven fields, or a value too large for its field
    bad_inbound,  // fewer than five inbound numbers, or a value too large
    bad_outbound, // the same for the outbound part
};

// Scans one policy value into RECORD (only the policy's own fields; the list
// fields are left as they are).  Never reads past the value's terminator.
PolicyScan scan_trigger_policy(const char *value, TriggerPolicy &record);

// Resets the table and fills it from the settings, reporting each dropped
// policy with its key.  Returns the number of accepted policies.
int read_trigger_policies();

} // namespace arnonat
