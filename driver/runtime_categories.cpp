// The run-time rules of one category: ARNONAT_ApplyConfigForService rewrites
// the run-time rules file with the category's generator.  The custom rules
// assembly and the program's run words call it; it calls only generators.
#include <cstring>
#include <string_view>

#include "arnonat.h"
#include "platform/runtime_rules.h"

static_assert(std::string_view(ARNONAT_RUNTIME_RULES_FILE) == arnonat::kRuntimeRulesFile,
              "one run-time rules file");

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

    arnonat::RuntimeRules rules(__func__);
    if (!rules)
        return -1;
    int result = rules.open_with_header().close();
    for (const RuntimeCategory &c : kRuntimeCategories)
        if (c.name && std::strcmp(category, c.name) == 0) {
            // The generator appends after the header; a generator that could
            // not write its lines leaves the file cut.
            if (result == 0)
                result = c.generate(rules.path());
            break;
        }
    // The callers run the custom services runner.
    return rules.apply(result, nullptr) ? 0 : -1;
}
