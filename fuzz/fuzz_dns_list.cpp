// Any DNS server setting (it may come from the WAN side): at most 12
// addresses become rules, each as one inert shell word.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bool second = size && (data[0] & 1);
    fuzz::write_store({{"bs_enable", "2"}, {"bs_keywords", "example"}, {"lan_ipaddr", "192.168.1.1"},
                       {"bs_trustedip_enable", "1"}, {"bs_trustedip", "192.168.1.20"}, {"wan_dns_sel", second ? "1" : "0"},
                       {second ? "wan_dns1" : "wan_dns", std::string(reinterpret_cast<const char *>(data), size)}});
    // Flush, drop set, allow set and four lines per DNS server.
    size_t lines = fuzz::check_rule_file(fuzz::generated(ARNONAT_GenerateVelmoraBsiteRules));
    fuzz::check(lines >= 2 + 8 + 8 && lines <= 2 + 8 + 8 + 4 * 12 && (lines - 18) % 4 == 0);
    return 0;
}
