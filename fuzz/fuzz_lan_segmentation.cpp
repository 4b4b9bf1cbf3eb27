// Any VLAN lists, VLAN IDs, addresses and interface names: the list splitter
// agrees with strtok_r, and the segmentation generators write only whole
// lines of bounded length.
#include <string_view>

#include "arnonat.h"
#include "fuzz/harness.h"
#include "rules/protection/rule_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> f = fuzz::parts(fuzz::text(data, size), '|', 7, 7);
    std::string list = f[0];
    std::string_view words[10];
    int n = arnonat::protection::split_list(list, words, 10), k = 0;
    char *save = nullptr;
    for (char *t = strtok_r(list.data(), " ", &save); t && k < 10; t = strtok_r(nullptr, " ", &save), ++k)
        fuzz::check(k < n && words[k] == std::string_view(t));
    fuzz::check(k == n);

    const char *keys[] = {"vlan_name", "vlan_id", "iptv_vlan_id", "lan_ipaddr2", "dhcp_start", "dhcp_end", "lan_ifname"};
    std::vector<std::pair<std::string, std::string>> settings = {
        {"enable_vlan", "enable"}, {"iptv_enabled", "1"}, {"vlan_id_enable", "1"}, {"ParentalControl", "1"}};
    for (size_t i = 0; i < std::size(keys); ++i)
        settings.push_back({keys[i], f[i]});
    fuzz::write_store(settings);
    // At most 2 + 10 * 4 + 4 VLAN lines, 3 guest lines and 2 DNS lines, each
    // shorter than a rule line buffer.
    std::string content = fuzz::generated([](const char *path) {
        return ARNONAT_GenerateVlanRules(path) | ARNONAT_GenerateGuestISORules(path) | ARNONAT_GenerateOpenDNSRules(path);
    });
    fuzz::check(fuzz::check_rule_file(content) <= 51 && content.size() <= 51 * arnonat::protection::kRuleLineSize);
    return 0;
}
