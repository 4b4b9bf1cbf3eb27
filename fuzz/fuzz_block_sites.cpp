// Any keyword list, LAN address and trusted host: the block-sites lines stay
// whole shell commands that run nothing but iptables, within the keyword
// limit, and the log name stays within its 128 bytes.
#include "arnonat.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // "lan|trusted|keywords"; the first byte picks the allow set.
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t a = text.find('|'), b = a == std::string::npos ? a : text.find('|', a + 1);
    fuzz::write_store({{"bs_enable", "2"}, {"bs_keywords", b == std::string::npos ? text : text.substr(b + 1)},
                       {"lan_ipaddr", text.substr(0, a)}, {"bs_trustedip_enable", size && (data[0] & 1) ? "1" : "0"},
                       {"bs_trustedip", a == std::string::npos ? "" : text.substr(a + 1, b - a - 1)},
                       {"wan_dns", "8.8.8.8 8.8.4.4"}});
    fuzz::check(fuzz::check_rule_file(fuzz::generated(ARNONAT_GenerateVelmoraBsiteRules)) <= 2 + 255 * (8 + 8 + 4 * 2));

    // The log name of the raw input with any claimed length.
    char out[ARNONAT_TOKEN_SIZE + 1];
    out[ARNONAT_TOKEN_SIZE] = 'x';
    transferKeyWordForLog(fuzz::text(data, size).c_str(), size > 0 ? static_cast<int>(data[0]) - 64 : 0, out);
    fuzz::check(out[ARNONAT_TOKEN_SIZE] == 'x' && std::strlen(out) <= ARNONAT_TOKEN_SIZE - 1);
    return 0;
}
