// The LAN side's bridges: br-lan, the guest bridge br-guest, the WAN bridge
// br-wan and one bridge "br-<VLAN ID>" per VLAN entry and for the IPTV VLAN.
// These rules keep the guest bridge apart, let DHCP, multicast and IGMP
// through on the VLAN bridges and redirect the DNS queries of the LAN DHCP
// range to the router while parental control is on.
//
// A settings value longer than its limit below is refused with a notice and
// gives no line: a cut VLAN ID or address would name another bridge or host.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "arnonat_protection.h"
#include "rules/protection/rule_text.h"

namespace {

using arnonat::File;
using arnonat::put_line;
using arnonat::protection::ShellArg;

constexpr int kMaxVlanEntries = 10;
constexpr size_t kVlanIdMax = 5;     // vlan_id, per entry
constexpr size_t kIptvVlanIdMax = 7; // iptv_vlan_id
constexpr size_t kGuestAddressMax = 31;
constexpr size_t kDhcpAddressMax = 19;
constexpr size_t kLanIfnameMax = 15;

constexpr size_t kBridgeNameMax = sizeof("br-") - 1 + kIptvVlanIdMax;

// DHCP, multicast and IGMP on bridge "br-ID".
void write_bridge_lines(File &file, std::string_view id)
{
    char name[kBridgeNameMax + 1];
    std::snprintf(name, sizeof name, "br-%.*s", static_cast<int>(id.size()), id.data());
    ShellArg<kBridgeNameMax> b(name);
    put_line(file, "ARNONAT_GenerateVlanRules", "iptables -I FORWARD -i %s -o %s -p udp -m udp --dport 67:68 -j ACCEPT\n", b.c_str(), b.c_str());
    put_line(file, "ARNONAT_GenerateVlanRules", "iptables -I FORWARD -i %s -o %s -m pkttype --pkt-type multicast -j ACCEPT\n", b.c_str(), b.c_str());
    put_line(file, "ARNONAT_GenerateVlanRules", "iptables -I INPUT -i %s -p igmp -j ACCEPT\n", b.c_str());
    put_line(file, "ARNONAT_GenerateVlanRules", "iptables -I OUTPUT -o %s -p igmp -j ACCEPT\n", b.c_str());
}

// The bridge lines of one VLAN (WHAT names it in notices), when its VLAN ID
// is within LIMIT characters.  An empty ID still gives the lines, for a
// bridge "br-" that does not exist: they are harmless, and tooling compares
// these files with the ones the router has always written.
void vlan_bridge(File &file, std::string_view id, size_t limit, const char *what)
{
    if (id.size() > limit) {
        std::printf("VLAN rules: VLAN ID of %s longer than %zu characters, no bridge lines written\n", what, limit);
        return;
    }
    write_bridge_lines(file, id);
}

void vlan_entry_bridges(File &file)
{
    std::string_view names[kMaxVlanEntries];
    std::string_view ids[kMaxVlanEntries];
    // Further names are ignored; a missing ID reads as the empty text.
    int entries = arnonat::protection::split_list(zoltNvramConfig_get("vlan_name"), names, kMaxVlanEntries);
    int known_ids = arnonat::protection::split_list(zoltNvramConfig_get("vlan_id"), ids, kMaxVlanEntries);
    for (int i = 0; i < entries; ++i) {
        char what[sizeof("VLAN entry 10")];
        std::snprintf(what, sizeof what, "VLAN entry %d", i + 1);
        vlan_bridge(file, i < known_ids ? ids[i] : std::string_view(), kVlanIdMax, what);
    }
}

// Whether TEXT (the value of KEY) is within LIMIT characters; otherwise a
// notice naming the setting.
bool within(const char *who, const char *key, const char *text, size_t limit)
{
    if (std::strlen(text) <= limit)
        return true;
    std::printf("%s: %s longer than %zu characters, refused\n", who, key, limit);
    return false;
}

} // namespace

extern "C" int ARNONAT_GenerateVlanRules(const char *path)
{
    File file = arnonat::open_rules(path, nullptr);
    if (!file)
        return -1;

    // The WAN bridge always passes DHCP and multicast.
    file.put("iptables -A BRIDGE_WAN_ACCEPT -o br-wan -p udp -m udp --dport 67:68 -j ACCEPT\n");
    file.put("iptables -A BRIDGE_WAN_ACCEPT  -o br-wan -m pkttype --pkt-type multicast -j ACCEPT\n");

    if (zoltNvramConfig_match("enable_vlan", "enable"))
        vlan_entry_bridges(file);
    if (zoltNvramConfig_match("iptv_enabled", "1") && zoltNvramConfig_match("vlan_id_enable", "1"))
        vlan_bridge(file, zoltNvramConfig_get("iptv_vlan_id"), kIptvVlanIdMax, "the IPTV VLAN");
    return file.finish(0);
}

extern "C" int ARNONAT_GenerateGuestISORules(const char *path)
{
    File file = arnonat::open_rules(path, nullptr);
    if (!file)
        return -1;

    const char *address = zoltNvramConfig_get("lan_ipaddr2");
    if (!*address || std::strcmp(address, "0.0.0.0") == 0)
        address = "192.168.2.1";

    // An access point forwards between its bridges on purpose.
    if (!zoltNvramConfig_match("enable_ap_mode", "1")) {
        file.put("iptables -I FORWARD -i br-guest -o br-lan -j REJECT\n");
        file.put("iptables -I FORWARD -i br-lan -o br-guest -j REJECT\n");
    }
    if (!within("guest isolation", "lan_ipaddr2", address, kGuestAddressMax)) {
        std::puts("guest isolation: no ICMP line written");
        return file.finish(0);
    }
    ShellArg<kGuestAddressMax> a(address);
    put_line(file, __func__, "iptables -I INPUT -i br-lan -d %s/32 -p icmp -j REJECT\n", a.c_str());
    return file.finish(0);
}

extern "C" int ARNONAT_GenerateOpenDNSRules(const char *path)
{
    File file = arnonat::open_rules(path, nullptr);
    if (!file)
        return -1;

    const char *start = zoltNvramConfig_get("dhcp_start");
    const char *end = zoltNvramConfig_get("dhcp_end");
    const char *lan = zoltNvramConfig_get("lan_ifname");
    // The delete line must name the same range as the insert line, so both
    // are refused together.
    bool usable = within("DNS redirection", "dhcp_start", start, kDhcpAddressMax);
    usable = within("DNS redirection", "dhcp_end", end, kDhcpAddressMax) && usable;
    usable = within("DNS redirection", "lan_ifname", lan, kLanIfnameMax) && usable;
    if (!usable) {
        std::puts("DNS redirection: no lines written");
        return file.finish(0);
    }

    ShellArg<kDhcpAddressMax> s(start);
    ShellArg<kDhcpAddressMax> e(end);
    ShellArg<kLanIfnameMax> i(lan);
    // Removing the earlier redirection first keeps a single copy, and with
    // parental control off it is only removed.
    put_line(file, __func__, "iptables -t nat -D PREROUTING -i %s -p udp  -m iprange --src-range %s-%s --dport 53 -j REDIRECT --to-port 53\n", i.c_str(), s.c_str(), e.c_str());
    if (zoltNvramConfig_match("ParentalControl", "1"))
        put_line(file, __func__, "iptables -t nat -I PREROUTING 1 -i %s -p udp  -m iprange --src-range %s-%s --dport 53 -j REDIRECT --to-port 53\n", i.c_str(), s.c_str(), e.c_str());
    return file.finish(0);
}
