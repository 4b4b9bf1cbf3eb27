// The router's default services, in the order the web pages list them.
// Both exported default tables and the built-in block-service definitions
// are made from these rows.
#pragma once

#include <cstdint>

#include "arnonat_access.h"

namespace arnonat::access {

constexpr int32_t kTcp = 6;
constexpr int32_t kUdp = 17;
constexpr int32_t kBoth = -1;

struct DefaultService {
    const char *name;
    int32_t protocol;
    int32_t start_port;
    int32_t end_port;
    int32_t marked;
};

inline constexpr DefaultService kDefaultServices[] = {
    {"ALL", kBoth, 1, 65535, 0},
    {"Any(TCP)", kTcp, 1, 65535, 0},
    {"Any(UDP)", kUdp, 1, 65535, 0},
    {"AIM", kTcp, 5190, 5190, 0},
    {"Age of Empire", kUdp, 47624, 47624, 0},
    {"BGP", kTcp, 179, 179, 0},
    {"BOOTP CLIENT", kUdp, 68, 68, 0},
    {"BOOTP SERVER", kUdp, 67, 67, 0},
    {"CU-SEEME(7648)", kBoth, 7648, 7648, 0},
    {"CU-SEEME(24032)", kBoth, 24032, 24032, 0},
    {"DNS", kBoth, 53, 53, 0},
    {"FINGER", kTcp, 79, 79, 0},
    {"FTP", kTcp, 20, 21, 1},
    {"HTTP", kTcp, 80, 80, 1},
    {"HTTPS", kTcp, 443, 443, 0},
    {"ICUII", kTcp, 23566, 23566, 1},
    {"IDENT", kTcp, 113, 113, 0},
    {"IP_Phone", kTcp, 6670, 6670, 1},
    {"IRC", kBoth, 6667, 6667, 0},
    {"NetMeeting", kTcp, 1720, 1720, 1},
    {"NFS", kUdp, 2049, 2049, 0},
    {"News", kTcp, 119, 119, 1},
    {"QuakeII/III", kBoth, 27960, 27960, 1},
    {"RCMD", kTcp, 512, 512, 0},
    {"Real-Audio", kBoth, 6970, 7170, 1},
    {"REXEC", kTcp, 514, 514, 0},
    {"RLOGIN", kTcp, 513, 513, 0},
    {"RTELNET", kTcp, 107, 107, 0},
    {"RTSP", kBoth, 554, 554, 0},
    {"SFTP", kTcp, 115, 115, 0},
    {"SMTP", kTcp, 25, 25, 0},
    {"SNMP", kBoth, 161, 161, 0},
    {"SNMP TRAPS", kBoth, 162, 162, 0},
    {"SQL-NET", kTcp, 1521, 1521, 0},
    {"SSH", kBoth, 22, 22, 0},
    {"STRMWORKS", kUdp, 1558, 1558, 0},
    {"TACACS", kUdp, 49, 49, 0},
    {"Telnet", kTcp, 23, 23, 1},
    {"TFTP", kUdp, 69, 69, 0},
    {"VDOLIVE", kTcp, 7000, 7000, 0},
    {"VPN-IPSEC", kUdp, 500, 500, 0},
    {"VPN-L2TP", kUdp, 1701, 1701, 0},
    {"PPTP", kTcp, 1723, 1723, 1},
};
static_assert(sizeof kDefaultServices / sizeof kDefaultServices[0] == ARNONAT_DEFAULT_SERVICES);

// The suffix of the UDP half of a two-protocol service.
inline constexpr char kTwinSuffix[] = "_zZz";
inline constexpr size_t kTwinSuffixLength = sizeof kTwinSuffix - 1;

// NAME is BASE followed by the twin suffix.
bool is_twin_of(const char *name, const char *base);
// The first "_zZz" in NAME ends it; the length of the name before it, or -1.
long twin_base_length(const char *name);

} // namespace arnonat::access
