// The configuration run, the firewall script runner and the run-time
// category regeneration.
#include <cstdio>
#include <cstring>

#include "arnonat.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "platform/shell_run.h"

using arnonat::File;

extern "C" int ARNONAT_GenerateConfigFile(int mode)
{
    File config = File::open(ARNONAT_BASE_CONFIG_FILE, "w");
    if (!config) {
        std::puts("Failed to config file");
        return -1;
    }
    if (ARNONAT_GenerateNatConfig(config.stream()) != 0) {
        std::puts("ARNONAT_GenerateNatConfig failed");
        return -1;
    }
    // The base configuration is complete before the custom rules are built.
    config.close();

    if (ARNONAT_GenerateCustomRules(mode) != 0) {
        std::puts("ARNONAT_GenerateCustomRules failed");
        return -1;
    }
    return 0;
}

extern "C" int ARNONAT_RunArno(int mode, const char *suffix)
{
    const char *action = mode == ARNONAT_MODE_START  ? "start"
                         : mode == ARNONAT_MODE_STOP ? "stop"
                                                     : "restart";
    arnonat::LineBuffer<128> command;
    command.append("%s %s %s", ARNONAT_FIREWALL_SCRIPT, action, suffix ? suffix : "");
    if (!command.ready(__func__))
        return 0;
    std::printf("%s %d cmd: %s\n", "ARNONAT_RunArno", 588, command.c_str());
    arnonat::run_command(command.c_str());
    return 0;
}

namespace {

struct RuntimeCategory {
    const char *name;
    int (*generate)(const char *path);
};

// Categories whose rules are regenerated into the run-time rules file; every
// other category ("schedule", "user_mgmt", ...) leaves only the header.
constexpr RuntimeCategory kRuntimeCategories[] = {
    {"port_forward", ARNONAT_GeneratePortForwardRules},
    {"port_trigger", ARNONAT_GeneratePortTriggerRules},
    {"usb", ARNONAT_GenerateUSBRules},
    {nullptr, nullptr},
};

} // namespace

extern "C" int ARNONAT_ApplyConfigForService(const char *category)
{
    if (!category || !*category)
        return -1;

    std::remove(ARNONAT_RUNTIME_RULES_FILE);
    // When the file cannot be created the header is skipped; the category's
    // generator then reports its own failure to open it.
    File rules = File::open(ARNONAT_RUNTIME_RULES_FILE, "w+");
    rules.put("#!/bin/sh\n");
    rules.put("PATH=${PATH}:/sbin:/usr/sbin\n");
    rules.close();

    for (const RuntimeCategory &c : kRuntimeCategories)
        if (c.name && std::strcmp(category, c.name) == 0) {
            c.generate(ARNONAT_RUNTIME_RULES_FILE);
            break;
        }
    return 0;
}
