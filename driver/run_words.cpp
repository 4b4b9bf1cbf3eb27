// The run words of the program arnonat: a configuration run that turns the
// router's settings into the configuration of the arno-iptables-firewall
// script and runs it, or the rewrite of one category of rules.  The program
// itself (driver/main.cpp) only hands its first argument to ARNONAT_RunWord.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "arnonat.h"
#include "platform/fixed_file.h"
#include "platform/run_lock.h"
#include "platform/runtime_rules.h"
#include "platform/shell_run.h"

namespace {

struct RunWord {
    const char *word;
    int mode;
};

// Words that choose a run mode; any other word restarts.
constexpr RunWord kRunWords[] = {
    {"restart", ARNONAT_MODE_RESTART},
    {"start", ARNONAT_MODE_START},
    {"stop", ARNONAT_MODE_STOP},
    {"restart_all", ARNONAT_MODE_RESTART_ALL},
    {"flush_chain", ARNONAT_MODE_FLUSH_CHAIN},
    {"create_chain", ARNONAT_MODE_CREATE_CHAIN},
};

// Rewrites the run-time rules file with one generator's lines (no header)
// and hands it to the custom services runner; -1 when it could not be
// written, and then nothing runs.
int apply_runtime_rules(const char *who, int (*generate)(const char *path))
{
    arnonat::RuntimeRules rules(who);
    if (!rules)
        return -1;
    return rules.apply(generate(rules.path()), ARNONAT_CUSTOM_SERVICES_RUNNER) ? 0 : -1;
}

int apply_block_sites()
{
    return apply_runtime_rules("apply_blocksites", ARNONAT_GenerateVelmoraBsiteRules);
}

// Appends the block services lines to the custom rules file: to a copy of it
// that replaces it whole, so a full /tmp never leaves it cut.
int block_services()
{
    static constexpr char kWho[] = "bs";
    arnonat::FixedFile rules(ARNONAT_CUSTOM_RULES_FILE);
    if (!rules.create(kWho))
        return -1;
    // A missing file is started by the generator, as it always was; one that
    // is there but cannot be read must not lose its lines.
    int copied = rules.copy_in(ARNONAT_CUSTOM_RULES_FILE);
    if (copied < 0 || (copied > 0 && errno != ENOENT)) {
        rules.finish(kWho, -1);
        return -1;
    }
    int result = ARNONAT_GenerateBlockServicesRules(rules.temporary());
    return rules.finish(kWho, result == 0 ? 0 : -1) ? result : -1;
}

int apply_block_services()
{
    return apply_runtime_rules("apply_blockservices", ARNONAT_GenerateBlockServicesRules);
}

int apply_remote_management()
{
    // The program holds the run lock: the runner runs this file.
    if (ARNONAT_ApplyConfigForService("user_mgmt") != 0)
        return -1;
    arnonat::run_command(ARNONAT_CUSTOM_SERVICES_RUNNER);
    return 0;
}

struct CategoryWord {
    const char *word;
    int (*run)();
};

// Words that work on a single category and end the program.
constexpr CategoryWord kCategoryWords[] = {
    {"bs", block_services},
    {"apply_blocksites", apply_block_sites},
    {"apply_blockservices", apply_block_services},
    {"apply_remotemanagement", apply_remote_management},
};

} // namespace

extern "C" int ARNONAT_RunWord(const char *word)
{
    arnonat::RunLock lock;
    if (!lock.acquire())
        return 1;

    int mode = ARNONAT_MODE_RESTART;
    if (word) {
        for (const RunWord &w : kRunWords)
            if (std::strcmp(word, w.word) == 0) {
                mode = w.mode;
                break;
            }
        for (const CategoryWord &w : kCategoryWords)
            if (std::strcmp(word, w.word) == 0)
                return w.run();
    }

    if (ARNONAT_GenerateConfigFile(mode) != 0)
        return -1;
    ARNONAT_RunArno(mode, ">/dev/null");
    return 0;
}
