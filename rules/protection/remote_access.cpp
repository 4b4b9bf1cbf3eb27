// Services of the router itself opened to the WAN side: FTP and HTTP access
// to USB storage, and the remote management web port.
//
// Every rule line inserts at position 1, so the chain ends up holding them
// in reverse file order: each ACCEPT line stands ahead of its LOG line.
#include "arnonat_protection.h"
#include "rules/protection/rule_text.h"

namespace {

using arnonat::File;
using arnonat::put_line;
using arnonat::protection::service_port;
using arnonat::protection::WanWord;

void open_usb_service(File &file, const WanWord &wan, const char *enable_key, const char *port_key, bool https)
{
    if (!zoltNvramConfig_match(enable_key, "1"))
        return;
    int port = service_port(port_key);
    if (port == 0)
        return;
    if (https)
        put_line(file, "ARNONAT_GenerateUSBRules",
                 "iptables -I USB_INPUT_CHAIN 1 -i %s -p tcp --dport %d -m conntrack --ctstate NEW,ESTABLISHED -j LOG --log-prefix USB_REMOTE_HTTPS --log-level 5\n",
                 wan.c_str(), port);
    else
        put_line(file, "ARNONAT_GenerateUSBRules",
                 "iptables -I USB_INPUT_CHAIN 1 -i %s -p tcp --dport %d -m conntrack --ctstate NEW,ESTABLISHED -j LOG --log-prefix USB_REMOTE_FTP --log-level 5\n",
                 wan.c_str(), port);
    put_line(file, "ARNONAT_GenerateUSBRules",
             "iptables -I USB_INPUT_CHAIN 1 -i %s -p tcp --dport %d -m conntrack --ctstate NEW,ESTABLISHED -j ACCEPT\n",
             wan.c_str(), port);
}

} // namespace

extern "C" int ARNONAT_GenerateUSBRules(const char *path)
{
    // This generator's message has always lacked the word "configuration".
    File file = arnonat::open_rules(path, "Failed to open custom rules file");
    if (!file)
        return -1;

    file.put("iptables -F USB_FORWARD_IN_CHAIN\n");
    file.put("iptables -t nat -F USB_NAT_CHAIN\n");
    file.put("iptables -F USB_INPUT_CHAIN \n");

    WanWord wan;
    open_usb_service(file, wan, "usb_wan_ftp_enable", "usb_wan_ftp_port", false);
    open_usb_service(file, wan, "usb_wan_http_enable", "usb_wan_http_port", true);
    return file.finish(0);
}

extern "C" int ARNONAT_GenerateRemoteManagementRules(const char *path)
{
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;

    file.put("iptables -F REMOTE_MGMT_WAN_CHAIN\n");
    if (!zoltNvramConfig_match("http_rmenable", "1"))
        return file.finish(0);
    WanWord wan;
    int port = service_port("http_rmport");
    if (port == 0)
        return file.finish(0);
    put_line(file, __func__,
             "iptables -I REMOTE_MGMT_WAN_CHAIN 1 -i %s -p tcp --dport %d -m conntrack --ctstate NEW,ESTABLISHED -j LOG --log-prefix USB_REMOTE_MGMT --log-level 5\n",
             wan.c_str(), port);
    put_line(file, __func__,
             "iptables -I REMOTE_MGMT_WAN_CHAIN 1 -i %s -p tcp --dport %d -m conntrack --ctstate NEW,ESTABLISHED -j ACCEPT\n",
             wan.c_str(), port);
    return file.finish(0);
}
