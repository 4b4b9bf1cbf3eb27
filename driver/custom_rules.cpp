// Assembly of the custom rules file /tmp/custom_iptables_rules: a copy of
// the firewall script's stock custom rules followed by the lines of every
// rule generator, in a fixed order.  A step that cannot write its lines
// fails the whole file.
#include <cerrno>
#include <cstdio>

#include "arnonat.h"
#include "platform/fixed_file.h"
#include "platform/run_lock.h"
#include "platform/shell_run.h"
#include "zolt_nvram.h"

namespace {

constexpr char kWho[] = "ARNONAT_GenerateCustomRules";

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

// A step that could not write its lines leaves the file cut: its message,
// then the one message about the file, and the previous file stays.
int fail(arnonat::FixedFile &rules, const char *message)
{
    int cause = errno;
    if (message)
        std::puts(message);
    errno = cause;
    rules.finish(kWho, -1);
    return -1;
}

} // namespace

extern "C" int ARNONAT_GenerateCustomRules(int mode)
{
    (void)mode; // every run mode builds the same rules

    arnonat::RunLock lock;
    if (!lock.acquire())
        return -1;
    // Built beside the file and put in place whole, so the firewall finds
    // the previous complete rules until these are complete.
    arnonat::FixedFile rules(ARNONAT_CUSTOM_RULES_FILE);
    if (!rules.create(kWho))
        return -1;
    // Without stock custom rules the file starts empty.
    if (rules.copy_in(ARNONAT_STOCK_CUSTOM_RULES) < 0)
        return fail(rules, nullptr);

    for (const AssemblyStep *step = kAssembly; step->generate; ++step)
        if (step->generate(rules.temporary()) != 0)
            return fail(rules, step->failure);

    if (zoltNvramConfig_match("http_rmenable", "1")) {
        // The run-time rules file has told its own failure; these rules
        // are not complete without the steps after it and are dropped.
        if (ARNONAT_ApplyConfigForService("user_mgmt") != 0) {
            std::puts("error - in making remote management rules ");
            return -1;
        }
        arnonat::run_command(ARNONAT_CUSTOM_SERVICES_RUNNER);
    }
    if (zoltNvramConfig_match("rip_enable", "1") && ARNONAT_GenerateRIPRules(rules.temporary()) != 0)
        return fail(rules, "error - in making RIP rules ");
    return rules.finish(kWho, 0) ? 0 : -1;
}
