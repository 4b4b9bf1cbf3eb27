// Any VLAN lists, VLAN IDs, addresses and interface names written as the
// segmentation lines.  What they give is the case files' and, for the list
// splitter, the tokenizer test's.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> f = fuzz::parts(fuzz::text(data, size), '|', 7, 7);
    const char *keys[] = {"vlan_name", "vlan_id", "iptv_vlan_id", "lan_ipaddr2", "dhcp_start", "dhcp_end", "lan_ifname"};
    std::vector<std::pair<std::string, std::string>> settings = {
        {"enable_vlan", "enable"}, {"iptv_enabled", "1"}, {"vlan_id_enable", "1"}, {"ParentalControl", "1"}};
    for (size_t i = 0; i < std::size(keys); ++i)
        settings.push_back({keys[i], f[i]});
    fuzz::write_store(settings);
    fuzz::generated([](const char *path) {
        return ARNONAT_GenerateVlanRules(path) | ARNONAT_GenerateGuestISORules(path) | ARNONAT_GenerateOpenDNSRules(path);
    });
    return 0;
}
