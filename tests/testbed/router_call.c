/* Calls the router's library in one process, as the router's other programs
 * do, for the test bed.  Built against the engine simulator, so the NAT rules
 * that a call adds are there for the calls after it.
 *
 *   router_call STEP [-- STEP]...
 *     add2 WORD...         agApi_natRuleAdd2 with the words (the first is
 *                          the command word); prints the engine's answer
 *     listen INDEX PORT ENABLE SCOPE FIRST LAST
 *                          agApi_setDeviceListenPort_2 (opens or closes
 *                          a port of the router, as its web server does)
 *     apply CATEGORY       rewrites the run-time rules of CATEGORY and runs
 *                          the custom services runner, as the web pages do
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "agapi.h"
#include "arnonat.h"

static int step(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[0], "add2") == 0) {
        int id = agApi_natRuleAdd2(argc, argv);
        printf("rule %d\n", id);
        return id > 0 ? 0 : 1;
    }
    if (argc == 7 && strcmp(argv[0], "listen") == 0) {
        int result = agApi_setDeviceListenPort_2(atoi(argv[1]), atoi(argv[2]), atoi(argv[3]), argv[4],
                                                 argv[5], argv[6]);
        printf("listen port %d\n", result);
        return result >= 0 ? 0 : 1;
    }
    if (argc == 2 && strcmp(argv[0], "apply") == 0) {
        if (ARNONAT_ApplyConfigForService(argv[1]) != 0)
            return 1;
        fflush(stdout);
        return system("/sbin/main_run_custom_services") == 0 ? 0 : 1;
    }
    fprintf(stderr, "router_call: bad step '%s'\n", argc ? argv[0] : "");
    return 2;
}

int main(int argc, char **argv)
{
    int first = 1;
    for (int i = 1; i <= argc; ++i) {
        if (i == argc || strcmp(argv[i], "--") == 0) {
            int status = step(i - first, argv + first);
            if (status != 0)
                return status;
            first = i + 1;
        }
    }
    return 0;
}
