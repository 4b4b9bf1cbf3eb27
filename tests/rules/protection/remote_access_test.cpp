// USB storage access and remote management from the WAN: the flush lines,
// the LOG and ACCEPT pair per open service and the port check.
#include <unistd.h>

#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

const std::string kUsbFlush =
    "iptables -F USB_FORWARD_IN_CHAIN\n"
    "iptables -t nat -F USB_NAT_CHAIN\n"
    "iptables -F USB_INPUT_CHAIN \n";

std::string pair(const std::string &chain, const std::string &wan, const std::string &port,
                 const std::string &prefix)
{
    std::string match = "iptables -I " + chain + " 1 -i " + wan + " -p tcp --dport " + port +
                        " -m conntrack --ctstate NEW,ESTABLISHED -j ";
    return match + "LOG --log-prefix " + prefix + " --log-level 5\n" + match + "ACCEPT\n";
}

std::string generate(int (*generator)(const char *))
{
    ::unlink("/tmp/rules");
    EXPECT_EQ(generator("/tmp/rules"), 0);
    return sandbox::read_file("/tmp/rules");
}

class RemoteAccess : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        sandbox::set("wan_ifname", "eth1");
    }
};

TEST_F(RemoteAccess, UsbServicesOpenEachOnItsOwnSwitchAndPort)
{
    EXPECT_EQ(generate(ARNONAT_GenerateUSBRules), kUsbFlush);

    sandbox::set("usb_wan_ftp_port", "21");
    sandbox::set("usb_wan_http_port", "8443");
    EXPECT_EQ(generate(ARNONAT_GenerateUSBRules), kUsbFlush); // ports alone open nothing

    sandbox::set("usb_wan_ftp_enable", "1");
    sandbox::set("usb_wan_http_enable", "1");
    sandbox::set("wan_proto", "pppoe");
    EXPECT_EQ(generate(ARNONAT_GenerateUSBRules), kUsbFlush + pair("USB_INPUT_CHAIN", "ppp0", "21", "USB_REMOTE_FTP") +
                                                      pair("USB_INPUT_CHAIN", "ppp0", "8443", "USB_REMOTE_HTTPS"));

    sandbox::set("usb_wan_ftp_port", "65535");
    EXPECT_EQ(generate(ARNONAT_GenerateUSBRules), kUsbFlush + pair("USB_INPUT_CHAIN", "ppp0", "8443", "USB_REMOTE_HTTPS"));
}

TEST_F(RemoteAccess, PortCheckOnBothSidesOfItsLimits)
{
    struct Case {
        const char *text;
        const char *port; // nullptr: no lines
    };
    const Case cases[] = {
        {"0", nullptr},        {"1", "1"},          {"65534", "65534"},      {"65535", nullptr},
        {"70000", nullptr},    {"-21", nullptr},    {"abc", nullptr},        {"", nullptr},
        {" 8080x", "8080"},    {"+443", "443"},     {"4294967317", nullptr}, {"99999999999999999999", nullptr},
    };
    sandbox::set("http_rmenable", "1");
    sandbox::set("usb_wan_ftp_enable", "1");
    for (const Case &c : cases) {
        sandbox::set("http_rmport", c.text);
        sandbox::set("usb_wan_ftp_port", c.text);
        std::string mgmt = c.port ? pair("REMOTE_MGMT_WAN_CHAIN", "eth1", c.port, "USB_REMOTE_MGMT") : "";
        std::string ftp = c.port ? pair("USB_INPUT_CHAIN", "eth1", c.port, "USB_REMOTE_FTP") : "";
        EXPECT_EQ(generate(ARNONAT_GenerateRemoteManagementRules), "iptables -F REMOTE_MGMT_WAN_CHAIN\n" + mgmt)
            << c.text;
        EXPECT_EQ(generate(ARNONAT_GenerateUSBRules), kUsbFlush + ftp) << c.text;
    }
    sandbox::set("http_rmport", "8080");
    sandbox::set("http_rmenable", "0");
    EXPECT_EQ(generate(ARNONAT_GenerateRemoteManagementRules), "iptables -F REMOTE_MGMT_WAN_CHAIN\n");
}

TEST_F(RemoteAccess, UnopenableFileMessagesDifferByGenerator)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateUSBRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(ARNONAT_GenerateRemoteManagementRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), "Failed to open custom rules file\n"
                            "Failed to open custom rules configuration file\n");
}

TEST_F(RemoteAccess, UsbCategoryRewritesTheRuntimeFileAfterItsHeader)
{
    sandbox::set("usb_wan_http_enable", "1");
    sandbox::set("usb_wan_http_port", "8000");
    sandbox::write_file("/tmp/custom-service-rules", "old\n");
    EXPECT_EQ(ARNONAT_ApplyConfigForService("usb"), 0);
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"),
              "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n" + kUsbFlush +
                  pair("USB_INPUT_CHAIN", "eth1", "8000", "USB_REMOTE_HTTPS"));
}

TEST_F(RemoteAccess, WanNameHoldingShellSyntaxRunsNothing)
{
    sandbox::set("usb_wan_ftp_enable", "1");
    sandbox::set("usb_wan_ftp_port", "21");
    for (const char *wan : {"a;iptables X", "$(iptables X)", "`iptables X`", "it's x"}) {
        sandbox::set("wan_ifname", wan);
        generate(ARNONAT_GenerateUSBRules);
        sandbox::clear_calls();
        sandbox::run("sh /tmp/rules");
        std::vector<std::string> calls = sandbox::calls();
        ASSERT_EQ(calls.size(), 5u) << wan;
        EXPECT_EQ(calls[4], "iptables -I USB_INPUT_CHAIN 1 -i '" + std::string(wan) +
                                "' -p tcp --dport 21 -m conntrack --ctstate NEW,ESTABLISHED -j ACCEPT");
    }
}

} // namespace
