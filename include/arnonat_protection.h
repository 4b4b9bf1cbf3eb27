/* Protection and segmentation rule generators: VPN passthrough, USB and
 * remote management access, attack and port scan protection, VLAN and guest
 * isolation with DNS redirection, IGMP, RIP, RIPng and the UPnP chains.
 *
 * Each generator appends complete iptables lines to the shell file PATH and
 * returns 0, or -1 (errno telling why) when the file cannot be opened or a
 * write to it fails, which leaves it cut. */
#ifndef ARNONAT_PROTECTION_H
#define ARNONAT_PROTECTION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported: the names declared here, and nothing else of the library. */
#pragma GCC visibility push(default)

/* Refills VPN_CHAIN: L2TP, PPTP with GRE and IPsec (ISAKMP, ESP, AH) are
 * accepted unless l2tp_passthrough, pptp_passthrough or ipsec_passthrough
 * is "0". */
int ARNONAT_GenerateVPNRules(const char *path);

/* Flushes the USB chains and opens the USB storage FTP and HTTP ports from
 * the WAN (usb_wan_ftp_enable/_port, usb_wan_http_enable/_port). */
int ARNONAT_GenerateUSBRules(const char *path);

/* Flushes REMOTE_MGMT_WAN_CHAIN and opens the remote management port
 * (http_rmenable, http_rmport) from the WAN. */
int ARNONAT_GenerateRemoteManagementRules(const char *path);

/* Logs and drops small UDP probes of a port scan through the router when
 * fw_spi_enab is non-zero. */
int ARNONAT_GenerateDosUDPPortScanRule(const char *path);

/* Simple security capabilities for IPv6 (RFC 6092): nothing to write; PATH
 * is not opened.  Returns 0. */
int ARNONAT_GenerateSSCRules(const char *path);

/* Rate limits against SYN scans, UDP and RST floods and drops of bogus
 * addresses, at the head of VALID_CHK. */
int ARNONAT_GenerateAttackRules(const char *path);

/* DHCP and multicast on the WAN bridge; DHCP, multicast and IGMP on every
 * VLAN bridge and the IPTV bridge.  Silent when PATH cannot be opened. */
int ARNONAT_GenerateVlanRules(const char *path);

/* Keeps the guest bridge apart from the LAN bridge.  Silent when PATH cannot
 * be opened. */
int ARNONAT_GenerateGuestISORules(const char *path);

/* Redirects DNS queries of the LAN DHCP range to the router while parental
 * control is on.  Silent when PATH cannot be opened. */
int ARNONAT_GenerateOpenDNSRules(const char *path);

/* Accepts multicast from the WAN when ru_igmp_enable is non-zero; the file
 * is not even opened otherwise. */
int ARNONAT_GenerateIGMPMulticastRules(const char *path);

/* Creates the UPnP chains UPNP_NAT_CHAIN and UPNP_FORWARD_CHAIN and hooks
 * them into the nat and filter paths. */
int ARNONAT_GenerateUPNPDRules(const char *path);

/* Accepts RIP (UDP 520) and UDP 2601, whatever rip_enable holds. */
int ARNONAT_GenerateRIPRules(const char *path);

/* Opens (FLAG non-zero) or closes (FLAG zero) the RIPng port, UDP 521, in
 * the IPv6 firewall at once.  Returns 0. */
int ARNONAT_PocessRIPngRules(int32_t flag);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif

#endif
