// Any keyword list, LAN address, trusted host and DNS server setting (it may
// come from the WAN side): the block-sites lines stay whole shell commands
// that run nothing but iptables, within the keyword and DNS server limits,
// and the log name stays within its 128 bytes.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // "lan|trusted|dns|keywords"; the first byte picks the allow set and the
    // DNS setting.
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> f = fuzz::parts(text, '|', 3, 3);
    size_t keywords = f[0].size() + f[1].size() + f[2].size() + 3;
    bool second = size && (data[0] & 2);
    fuzz::write_store({{"bs_enable", "2"}, {"bs_keywords", keywords < size ? text.substr(keywords) : ""},
                       {"lan_ipaddr", f[0]}, {"bs_trustedip_enable", size && (data[0] & 1) ? "1" : "0"},
                       {"bs_trustedip", f[1]}, {"wan_dns_sel", second ? "1" : "0"}, {second ? "wan_dns1" : "wan_dns", f[2]}});
    // Flush lines; per keyword 8 drop lines, and with the allow set 4 for the
    // trusted host and 4 for it and each of at most 12 DNS servers.
    fuzz::check(fuzz::check_rule_file(fuzz::generated(ARNONAT_GenerateVelmoraBsiteRules)) <= 2 + 255 * (8 + 4 + 4 * 13));

    // The log name of the raw input with any claimed length.
    char out[ARNONAT_TOKEN_SIZE + 1];
    out[ARNONAT_TOKEN_SIZE] = 'x';
    transferKeyWordForLog(fuzz::text(data, size).c_str(), size > 0 ? static_cast<int>(data[0]) - 64 : 0, out);
    fuzz::check(out[ARNONAT_TOKEN_SIZE] == 'x' && std::strlen(out) <= ARNONAT_TOKEN_SIZE - 1);
    return 0;
}
