// Any DNS server setting (it may come from the WAN side): at most 12
// addresses become rules, each as one inert shell word.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "arnonat.h"
#include "fuzz_block_sites_check.h"
#include "store_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string list(reinterpret_cast<const char *>(data), size);
    bool second = !list.empty() && (list[0] & 1);
    fuzz::write_store({{"bs_enable", "2"},
                       {"bs_keywords", "example"},
                       {"lan_ipaddr", "192.168.1.1"},
                       {"bs_trustedip_enable", "1"},
                       {"bs_trustedip", "192.168.1.20"},
                       {"wan_dns_sel", second ? "1" : "0"},
                       {second ? "wan_dns1" : "wan_dns", list}});

    ::unlink(fuzz::rules_path());
    if (ARNONAT_GenerateVelmoraBsiteRules(fuzz::rules_path()) != 0)
        std::abort();
    size_t lines = fuzz::check_rule_file(fuzz::rules_path());
    // Flush, drop set, allow set and four lines per DNS server.
    if (lines < 2 + 8 + 8 || lines > 2 + 8 + 8 + 4 * 12 || (lines - 18) % 4 != 0)
        std::abort();
    return 0;
}
