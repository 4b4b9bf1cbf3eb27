// Any fw_bks_block_service value: every entry's fields stay within the
// entry, and the generator writes only whole block-service lines.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "fuzz/store_file.h"
#include "rules/access/block_service_entries.h"

namespace {

using arnonat::access::BlockServiceEntries;
using arnonat::access::BlockServiceEntry;

void check_entries(const std::string &text)
{
    std::vector<char> value(text.begin(), text.end());
    value.push_back('\0');
    const char *begin = value.data();
    const char *end = begin + value.size();
    BlockServiceEntries entries(value.data());
    BlockServiceEntry e;
    size_t count = 0;
    while (entries.next(e)) {
        ++count;
        if (e.count < 0 || e.count > arnonat::access::kBlockServiceFields)
            std::abort();
        for (int i = 0; i < arnonat::access::kBlockServiceFields; ++i) {
            const char *f = e.field[i];
            if ((i < e.count) != (f != nullptr))
                std::abort();
            if (!f)
                continue;
            if (f < begin || f >= end || !*f || std::strchr(f, '@') || f[0] == ';')
                std::abort();
            if (i < arnonat::access::kBlockServiceFields - 1 && std::strchr(f, ';'))
                std::abort();
        }
    }
    // One entry per "@".
    size_t at = 0;
    for (char c : text)
        at += c == '@';
    if (count != at)
        std::abort();
}

void check_rules(const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f)
        std::abort();
    static const char flush[] = "iptables -F BLOCK_SERVICE_CHAIN\n";
    static const char head[] = "iptables -A BLOCK_SERVICE_CHAIN --ipv4 -i br0 -o eth0 ";
    char line[8192];
    bool first = true;
    while (std::fgets(line, sizeof line, f)) {
        size_t n = std::strlen(line);
        if (n == 0 || line[n - 1] != '\n')
            std::abort();
        if (first ? std::strcmp(line, flush) != 0 : std::strncmp(line, head, sizeof head - 1) != 0)
            std::abort();
        if (!first && !std::strstr(line, " -j LOG --log-prefix BLOCK_SERVICE:") && !std::strstr(line, " -j DROP\n"))
            std::abort();
        first = false;
    }
    std::fclose(f);
    if (first)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));
    check_entries(text);

    // A newline inside a field is quoted into the shell word and so spans
    // two lines of the file; the line check reads physical lines.
    for (char &c : text)
        if (c == '\n')
            c = ' ';
    static const std::string path = "/tmp/arnonat-fuzz-block-services-" + std::to_string(::getpid());
    fuzz::write_store({{"fw_bks_block_type", "2"},
                       {"fw_bks_block_service", text},
                       {"lan_ifname", "br0"},
                       {"wan_ifname", "eth0"}});
    ::unlink(path.c_str());
    std::fflush(stdout);
    if (ARNONAT_GenerateBlockServicesRules(path.c_str()) != 0)
        std::abort();
    check_rules(path);
    return 0;
}
