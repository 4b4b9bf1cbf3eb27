// Assembly of the custom rules file /tmp/custom_iptables_rules: a copy of
// the firewall script's stock custom rules followed by the lines of every
// rule generator, in a fixed order.
#include <cstdio>

#include "arnonat.h"
#include "platform/shell_run.h"
#include "zolt_nvram.h"

namespace {

struct AssemblyStep {
    int (*generate)(const char *path);
    const char *failure; // printed when the generator returns non-zero
};

// In the order the firewall needs them; a null generator ends the table.
constexpr AssemblyStep kAssembly[] = {
    {ARNONAT_GenerateVlanRules, "error - in vlan rules "},
    {ARNONAT_GenerateGuestISORules, "error - in guest rules "},
    {ARNONAT_GenerateVPNRules, "error - in making  VPN  rules "},
    {ARNONAT_GenerateUSBRules, "error - in making usb rules "},
    {ARNONAT_GenerateVelmoraBsiteRules, "error - in making Velmora Block site rules "},
    {ARNONAT_GenerateBlockServicesRules, "error - in making Velmora Block services rules"},
    {ARNONAT_GenerateIGMPMulticastRules, "error - in making IGMP and multicast rules "},
    {ARNONAT_GenerateDosUDPPortScanRule, "error - in making UDP Port Scan rules "},
    {ARNONAT_GenerateSSCRules, "error - in making Simple Security Capabilities in CPE (RFC 6092) rules "},
    {ARNONAT_GenerateUPNPDRules, "error - in making UPNPD rules"},
    {nullptr, nullptr},
};

} // namespace

extern "C" int ARNONAT_GenerateCustomRules(int mode)
{
    (void)mode; // every run mode builds the same rules

    std::remove(ARNONAT_CUSTOM_RULES_FILE);
    // Without stock custom rules the file starts empty and is created by the
    // first generator that appends.
    ARNONAT_cp(ARNONAT_CUSTOM_RULES_FILE, ARNONAT_STOCK_CUSTOM_RULES);

    for (const AssemblyStep *step = kAssembly; step->generate; ++step)
        if (step->generate(ARNONAT_CUSTOM_RULES_FILE) != 0)
            std::puts(step->failure);

    if (zoltNvramConfig_match("http_rmenable", "1")) {
        if (ARNONAT_ApplyConfigForService("user_mgmt") != 0)
            std::puts("error - in making remote management rules ");
        else
            arnonat::run_command(ARNONAT_CUSTOM_SERVICES_RUNNER);
    }
    if (zoltNvramConfig_match("rip_enable", "1") && ARNONAT_GenerateRIPRules(ARNONAT_CUSTOM_RULES_FILE) != 0)
        std::puts("error - in making RIP rules ");
    return 0;
}
