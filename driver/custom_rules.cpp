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
    return 0;
}
