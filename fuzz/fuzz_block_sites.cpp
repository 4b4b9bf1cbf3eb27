// Any keyword list, LAN address, trusted host and DNS server setting (it may
// come from the WAN side), written as block-sites lines, and the log name of
// the raw input with any claimed length.  What they give is the case files'
// and the log name test's.
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
    fuzz::generated(ARNONAT_GenerateVelmoraBsiteRules);
    char out[ARNONAT_TOKEN_SIZE]; // exactly its size, so a write past it is caught
    transferKeyWordForLog(fuzz::text(data, size).c_str(), size > 0 ? static_cast<int>(data[0]) - 64 : 0, out);
    return 0;
}
