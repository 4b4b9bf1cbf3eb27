// Hostile traffic from the WAN side: UDP port scans aimed through the
// router, rate limits against SYN scans and UDP and RST floods, and packets
// from 0.0.0.0 or to the broadcast address.
#include <cstdio>

#include "arnonat_protection.h"
#include "rules/protection/rule_text.h"

using arnonat::File;
using arnonat::put_line;
using arnonat::protection::WanWord;

extern "C" int ARNONAT_GenerateDosUDPPortScanRule(const char *path)
{
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    // The file is opened (and created) even with the protection off.
    if (arnonat::atoi_clamped(zoltNvramConfig_get("fw_spi_enab")) == 0)
        return file.finish(0);

    WanWord wan;
    const char *w = wan.c_str();
    // Probes of 0 to 28 bytes carry no payload: a scan, not a service.
    put_line(file, __func__, "iptables -A EXT_FORWARD_IN_CHAIN -i %s ! -o %s -s 0/0 -p udp --dport 1:65535 -m length --length 0:28  -m limit --limit 6/hour --limit-burst 1 -j LOG --log-prefix DOS_ATTACK:DoSPortScan --log-level 5 \n", w, w);
    put_line(file, __func__, "iptables -A EXT_FORWARD_IN_CHAIN -i %s ! -o %s -s 0/0 -p udp --dport 1:65535 -m length --length 0:28 -j DROP\n", w, w);
    std::puts("DMZ enabe, apply UDPPortScanRule");
    return file.finish(0);
}

extern "C" int ARNONAT_GenerateSSCRules(const char *path)
{
    // The IPv6 simple security of RFC 6092 needs no lines of its own here.
    (void)path;
    return 0;
}

extern "C" int ARNONAT_GenerateAttackRules(const char *path)
{
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    std::puts("adding blocking network attack rules to custom rules");
    WanWord wan;
    const char *w = wan.c_str();

    // Every line goes to the head of VALID_CHK, so the chain holds them in
    // reverse: each --set line stands ahead of its counting DROP line.
    put_line(file, __func__, "iptables -t filter -I VALID_CHK -i %s -p tcp -m conntrack --ctstate NEW -m recent --name synscan --update --seconds 1 --hitcount 10 -j DROP\n", w);
    put_line(file, __func__, "iptables -t filter -I VALID_CHK -i %s -p tcp -m conntrack --ctstate NEW -m recent --name synscan --set\n", w);
    put_line(file, __func__, "iptables -t filter -I VALID_CHK -i %s -m conntrack --ctstate NEW -p udp  -m recent --name udpflood --update --seconds 1 --hitcount 60 -j DROP\n", w);
    put_line(file, __func__, "iptables -t filter -I VALID_CHK -i %s -m conntrack --ctstate NEW -p udp  -m recent --name udpflood --set\n", w);
    file.put("iptables -t filter -I VALID_CHK -s 0.0.0.0 -j DROP\n");
    file.put("iptables -t filter -I VALID_CHK -d 255.255.255.255 -j DROP\n");
    put_line(file, __func__, "iptables -I VALID_CHK -i %s -p tcp -m tcp --tcp-flags RST RST -m recent --name tcprst --update --seconds 1 --hitcount 2 -j DROP\n", w);
    put_line(file, __func__, "iptables -I VALID_CHK -i %s -p tcp -m tcp --tcp-flags RST RST -m recent --name tcprst --set\n", w);
    return file.finish(0);
}
