/* WAN interface resolution shared by the rule generators. */
#ifndef ARNONAT_COMMON_H
#define ARNONAT_COMMON_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Longest WAN interface name; callers give a buffer of at least
 * ARNONAT_WAN_IFNAME_SIZE bytes. */
#define ARNONAT_WAN_IFNAME_SIZE 16

/* Fills BUFFER with the WAN interface name: "ppp0" for the PPPoE, PPTP and
 * L2TP protocols, otherwise the setting wan_ifname (cut to 15 characters).
 * Returns 0. */
int arnonat_getWanInterface(char *buffer);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
