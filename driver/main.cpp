// arnonat: turns the router's settings into the configuration of the
// arno-iptables-firewall script and runs it, or rewrites one category of
// run-time rules.
#include <cstdio>
#include <cstring>

#include "arnonat.h"
#include "driver/run_lock.h"
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
// and hands it to the custom services runner.
int apply_runtime_rules(int (*generate)(const char *path))
{
    std::remove(ARNONAT_RUNTIME_RULES_FILE);
    generate(ARNONAT_RUNTIME_RULES_FILE);
    arnonat::run_command(ARNONAT_CUSTOM_SERVICES_RUNNER);
    return 0;
}

int apply_block_sites()
{
    return apply_runtime_rules(ARNONAT_GenerateVelmoraBsiteRules);
}

int block_services()
{
    return ARNONAT_GenerateBlockServicesRules(ARNONAT_CUSTOM_RULES_FILE);
}

int apply_block_services()
{
    return apply_runtime_rules(ARNONAT_GenerateBlockServicesRules);
}

int apply_remote_management()
{
    ARNONAT_ApplyConfigForService("user_mgmt");
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

int main(int argc, char **argv)
{
    arnonat::RunLock lock;
    if (!lock.acquire(arnonat::kRunLockFile, arnonat::kRunLockWaitMs))
        return 1;

    int mode = ARNONAT_MODE_RESTART;
    if (argc > 1 && argv[1]) {
        const char *word = argv[1];
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
