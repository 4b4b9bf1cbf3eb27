/* Firewall configuration driver: run modes, the firewall script runner, the
 * base configuration file and the custom rules assembly. */
#ifndef ARNONAT_DRIVER_H
#define ARNONAT_DRIVER_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Run modes chosen from the run word. */
enum {
    ARNONAT_MODE_START = 0,
    ARNONAT_MODE_STOP = 1,
    ARNONAT_MODE_RESTART = 2,
    ARNONAT_MODE_RESTART_ALL = 3,
    ARNONAT_MODE_FLUSH_CHAIN = 4,
    ARNONAT_MODE_CREATE_CHAIN = 5
};

#define ARNONAT_BASE_CONFIG_FILE "/tmp/extra_arno_config"
#define ARNONAT_CUSTOM_RULES_FILE "/tmp/custom_iptables_rules"
#define ARNONAT_RUNTIME_RULES_FILE "/tmp/custom-service-rules"
#define ARNONAT_FIREWALL_SCRIPT "/usr/sbin/carno-iptables-firewall.sh"
#define ARNONAT_CUSTOM_SERVICES_RUNNER "/sbin/main_run_custom_services"
#define ARNONAT_STOCK_CUSTOM_RULES "/etc/arno-iptables-firewall/custom-rules"

/* Writes the base configuration file and assembles the custom rules file,
 * under the run lock.  0 on success, -1 when a file cannot be written whole
 * (the previous one then stays in place). */
int ARNONAT_GenerateConfigFile(int mode);

/* Runs the firewall script with the action of MODE (0 start, 1 stop, any
 * other restart) followed by SUFFIX, which is shell syntax.  The whole
 * command must fit in 128 bytes with its terminator; a longer one is refused
 * with a notice and not run.  Returns 0. */
int ARNONAT_RunArno(int mode, const char *suffix);

/* Rewrites the run-time rules file for one category ("port_forward",
 * "port_trigger", "usb"; any other category leaves only the two header
 * lines), under the run lock.  -1 for a null or empty category and when the
 * file cannot be written whole (the previous one then stays), else 0. */
int ARNONAT_ApplyConfigForService(const char *category);

/* Blocks of the base configuration file, written to a stream the caller
 * opened.  Each returns 0. */
int ARNONAT_GenerateNatConfig(FILE *stream);
int ARNONAT_GenerateLanConfig(FILE *stream);
int ARNONAT_GenerateFirewallConfig(FILE *stream);

/* Rebuilds the custom rules file from the stock custom rules and the rule
 * generators, under the run lock, and puts it in place whole.  MODE is not
 * used.  0, or -1 when a step cannot write its lines (the previous file then
 * stays in place). */
int ARNONAT_GenerateCustomRules(int mode);

/* What the program arnonat does for its run word WORD (null: none), under
 * the run lock: a configuration run and the firewall script with the mode
 * of the word, or the work of a single-category word.  Returns the
 * program's exit status: 0; -1 when the configuration could not be written
 * (for "bs": the generator's result); 1 when another run still held the
 * lock. */
int ARNONAT_RunWord(const char *word);

/* Copies SOURCE to DESTINATION, which must not exist yet.  0 when the whole
 * source was copied, -1 otherwise with errno of the failing step. */
int ARNONAT_cp(const char *destination, const char *source);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
