// Any VLAN lists, VLAN IDs, addresses and interface names: the list splitter
// agrees with strtok_r, and the segmentation generators write only whole
// lines of bounded length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "arnonat.h"
#include "rules/protection/rule_text.h"
#include "store_file.h"

namespace {

// Field I of TEXT, fields separated by '|'.
std::string field(const std::string &text, int i)
{
    size_t at = 0;
    for (; i > 0; --i) {
        at = text.find('|', at);
        if (at == std::string::npos)
            return "";
        ++at;
    }
    return text.substr(at, text.find('|', at) - at);
}

void check_split(const std::string &list)
{
    std::string_view words[10];
    int n = arnonat::protection::split_list(list, words, 10);
    std::string copy = list;
    char *save = nullptr;
    int k = 0;
    for (char *t = strtok_r(copy.data(), " ", &save); t && k < 10; t = strtok_r(nullptr, " ", &save), ++k)
        if (k >= n || words[k] != std::string_view(t))
            std::abort();
    if (k != n)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0')); // the store holds no NUL
    check_split(field(text, 0));

    fuzz::write_store({{"enable_vlan", "enable"},
                       {"iptv_enabled", "1"},
                       {"vlan_id_enable", "1"},
                       {"ParentalControl", "1"},
                       {"vlan_name", field(text, 0)},
                       {"vlan_id", field(text, 1)},
                       {"iptv_vlan_id", field(text, 2)},
                       {"lan_ipaddr2", field(text, 3)},
                       {"dhcp_start", field(text, 4)},
                       {"dhcp_end", field(text, 5)},
                       {"lan_ifname", field(text, 6)}});

    static const std::string path = "/tmp/arnonat-fuzz-lan-" + std::to_string(::getpid());
    ::unlink(path.c_str());
    if (ARNONAT_GenerateVlanRules(path.c_str()) != 0 || ARNONAT_GenerateGuestISORules(path.c_str()) != 0 ||
        ARNONAT_GenerateOpenDNSRules(path.c_str()) != 0)
        std::abort();

    FILE *f = std::fopen(path.c_str(), "r");
    if (!f)
        std::abort();
    static char content[64 * 1024];
    size_t n = std::fread(content, 1, sizeof content, f);
    std::fclose(f);
    // At most 2 + 10 * 4 + 4 VLAN lines, 3 guest lines and 2 DNS lines, each
    // shorter than a rule line buffer, and every line complete.
    if (n > 51 * arnonat::protection::kRuleLineSize || n == 0 || content[n - 1] != '\n')
        std::abort();
    if (std::strncmp(content, "iptables ", 9) != 0)
        std::abort();
    return 0;
}
