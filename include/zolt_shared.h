/* Platform parameter queries (stand-in for the platform's libzolt_shared). */
#ifndef ZOLT_SHARED_H
#define ZOLT_SHARED_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Number 19 answers the interface NAT is hooked onto (the value of the
 * setting wan_ifname, "eth0" when unset); every other number answers "". */
#define ZOLT_PARAM_NAT_IFNAME 19
const char *get_platform_param(int param);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
