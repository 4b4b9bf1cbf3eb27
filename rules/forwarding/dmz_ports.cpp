// DMZ port lists: with the DMZ on, every inbound port that the router's own
// services and the port forwarding entries leave free goes to the DMZ host.
// The lists are the values of DMZ_TCP and DMZ_UDP in the base configuration.
#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "arnonat_forwarding.h"
#include "platform/text_values.h"
#include "zolt_nvram.h"

namespace {

using Range = ArnonatPortRange;
constexpr int kMaxRanges = ARNONAT_DMZ_RANGES_MAX;
constexpr int kLastPort = 65535;

int list_size(const Range *list)
{
    int n = 0;
    while (n < kMaxRanges && list[n].start != 0)
        ++n;
    return n;
}

void insert_at(Range *list, int n, int at, int start, int end)
{
    if (at >= kMaxRanges)
        return; // a full list keeps its last place
    int last = n < kMaxRanges ? n : kMaxRanges - 1; // a full list drops its last range
    for (int k = last; k > at; --k)
        list[k] = list[k - 1];
    list[at] = Range{static_cast<uint16_t>(start), static_cast<uint16_t>(end)};
}

// Adds START-END (1 <= START <= END <= 65535) to the sorted list, joining it
// with every range it overlaps or touches.
void merge(Range *list, int start, int end)
{
    int n = list_size(list);
    int i = 0;
    while (i < n && list[i].end + 1 < start)
        ++i;
    if (i == n || list[i].start > end + 1) {
        insert_at(list, n, i, start, end);
        return;
    }
    int joined_start = list[i].start < start ? list[i].start : start;
    int joined_end = end;
    int j = i;
    for (; j < n && list[j].start <= end + 1; ++j)
        if (list[j].end > joined_end)
            joined_end = list[j].end;
    list[i] = Range{static_cast<uint16_t>(joined_start), static_cast<uint16_t>(joined_end)};
    int removed = j - i - 1;
    for (int k = i + 1; k + removed < n; ++k)
        list[k] = list[k + removed];
    for (int k = n - removed; k < n; ++k)
        list[k] = Range{0, 0};
}

bool is_port(int port)
{
    return port >= 1 && port <= kLastPort;
}

// A range that starts inside an excluded range and ends below it.
bool runs_backwards_across(const Range *list, int start, int end)
{
    int n = list_size(list);
    for (int k = 0; k < n; ++k)
        if (start >= list[k].start && start <= list[k].end && end < list[k].start)
            return true;
    return false;
}

void exclude_setting_port(Range *list, const char *enable_key, const char *port_key)
{
    if (!zoltNvramConfig_match(enable_key, "1"))
        return;
    int port = arnonat::atoi_clamped(zoltNvramConfig_get(port_key));
    if (is_port(port))
        merge(list, port, port);
}

void exclude_fixed_ports(Range *list, int protocol)
{
    if (protocol == ARNONAT_PROTO_TCP) {
        merge(list, 22, 22);
        int remote_management = arnonat::atoi_clamped(zoltNvramConfig_get("http_rmport"));
        if (remote_management >= 1 && remote_management <= 65534)
            merge(list, remote_management, remote_management);
        exclude_setting_port(list, "usb_wan_ftp_enable", "usb_wan_ftp_port");
        exclude_setting_port(list, "usb_wan_http_enable", "usb_wan_http_port");
    } else {
        merge(list, 68, 68);
        merge(list, 161, 161);
        merge(list, 55002, 55002);
    }
}

// The ranges the list leaves free between 1 and 65535.
void write_gaps(FILE *stream, const Range *list)
{
    int n = list_size(list);
    const char *separator = " ";
    int next = 1; // first port not yet covered
    for (int k = 0; k < n; ++k) {
        if (list[k].start > next) {
            std::fprintf(stream, "%s%d-%d", separator, next, list[k].start - 1);
            separator = ",";
        }
        if (list[k].end >= kLastPort)
            return;
        next = list[k].end + 1;
    }
    if (n < kMaxRanges)
        std::fprintf(stream, "%s%d-%d", separator, next, kLastPort);
}

} // namespace

extern "C" int ARNONAT_NatDmzPortStructBuild(int protocol, ArnonatPortRange *list)
{
    (void)protocol; // forwarding entries close their ports for both protocols
    ARNONAT_fwInboundReadFromRAM();
    const ArnonatInboundTable &t = g_iPolicyRecord;
    for (int k = 0; k < t.count && k < ARNONAT_INBOUND_MAX; ++k) {
        int start = t.extStart[k];
        int end = t.extEnd[k];
        if (end < start && runs_backwards_across(list, start, end)) {
            std::puts("ERROR building DMZ ports");
            return 0;
        }
        if (!is_port(start) || !is_port(end) || end < start) {
            std::printf("DMZ ports: forwarding entry %d has no valid port range (%d-%d), skipped\n",
                        k + 1, start, end);
            continue;
        }
        merge(list, start, end);
    }
    return 0;
}

extern "C" int ARNONAT_ConfigureDmzPorts(FILE *stream, int protocol)
{
    if (protocol != ARNONAT_PROTO_TCP && protocol != ARNONAT_PROTO_UDP)
        return -1;
    in_addr host{};
    if (inet_pton(AF_INET, zoltNvramConfig_get("dmz_ipaddr"), &host) != 1)
        return 0;

    Range list[kMaxRanges] = {};
    exclude_fixed_ports(list, protocol);
    ARNONAT_NatDmzPortStructBuild(protocol, list);
    write_gaps(stream, list);

    // Written from the parsed address, so the setting's text never reaches
    // the shell.
    char dotted[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &host, dotted, sizeof dotted);
    std::fprintf(stream, ">%s\\\n", dotted);
    return 0;
}
