// Any keyword list, LAN address and trusted host: the block-sites lines stay
// whole shell commands that run nothing but iptables, within the keyword
// limit, and the log name stays within its 128 bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "arnonat.h"
#include "fuzz_block_sites_check.h"
#include "store_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // "lan|trusted|keywords"; the first byte picks the allow set.
    std::string text(reinterpret_cast<const char *>(data), size);
    bool allow = !text.empty() && (text[0] & 1);
    size_t a = text.find('|');
    size_t b = a == std::string::npos ? a : text.find('|', a + 1);
    std::string lan = text.substr(0, a);
    std::string trusted = a == std::string::npos ? "" : text.substr(a + 1, b - a - 1);
    std::string keywords = b == std::string::npos ? text : text.substr(b + 1);
    fuzz::write_store({{"bs_enable", "2"},
                       {"bs_keywords", keywords},
                       {"lan_ipaddr", lan},
                       {"bs_trustedip_enable", allow ? "1" : "0"},
                       {"bs_trustedip", trusted},
                       {"wan_dns", "8.8.8.8 8.8.4.4"}});

    ::unlink(fuzz::rules_path());
    if (ARNONAT_GenerateVelmoraBsiteRules(fuzz::rules_path()) != 0)
        std::abort();
    size_t lines = fuzz::check_rule_file(fuzz::rules_path());
    if (lines > 2 + 255 * (8 + 8 + 4 * 2))
        std::abort();

    // The log name of the raw input with any claimed length.
    std::string keyword = text.substr(0, text.find('\0'));
    char out[ARNONAT_TOKEN_SIZE + 1];
    out[ARNONAT_TOKEN_SIZE] = 'x';
    int length = size > 0 ? static_cast<int>(data[0]) - 64 : 0;
    transferKeyWordForLog(keyword.c_str(), length, out);
    if (out[ARNONAT_TOKEN_SIZE] != 'x' || std::strlen(out) > ARNONAT_TOKEN_SIZE - 1)
        std::abort();
    return 0;
}
