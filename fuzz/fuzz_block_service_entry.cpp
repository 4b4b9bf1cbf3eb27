// Any fw_bks_block_service value: every entry's fields stay within the
// entry, and the generator writes only whole block-service lines.  Read as
// a service name, fw_restore_space stays within it, decodes as the escapes
// say and cuts to 95 characters.
#include "arnonat.h"
#include "fuzz/harness.h"
#include "rules/access/block_service_entries.h"

using arnonat::access::kBlockServiceFields;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text = fuzz::text(data, size), expected;
    for (size_t i = 0; i < text.size() && expected.size() < 95; ++i) {
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        bool escape = text[i] == '\\' && (next == 's' || next == 't' || next == '\\');
        expected += escape ? (next == 's' ? '@' : next == 't' ? ';' : '\\') : text[i];
        i += escape;
    }
    // Exactly the name's bytes, so a read or write past it is caught.
    std::vector<char> name(text.c_str(), text.c_str() + text.size() + 1);
    fw_restore_space(name.data());
    fuzz::check(expected == name.data());

    std::vector<char> value(text.begin(), text.end());
    value.push_back('\0');
    arnonat::access::BlockServiceEntries entries(value.data());
    arnonat::access::BlockServiceEntry e;
    size_t count = 0;
    while (entries.next(e)) {
        ++count;
        fuzz::check(e.count >= 0 && e.count <= kBlockServiceFields);
        for (int i = 0; i < kBlockServiceFields; ++i) {
            const char *f = e.field[i];
            fuzz::check((i < e.count) == (f != nullptr));
            fuzz::check(!f || (f >= &value.front() && f <= &value.back() && *f && !std::strchr(f, '@') && f[0] != ';' &&
                               (i == kBlockServiceFields - 1 || !std::strchr(f, ';'))));
        }
    }
    fuzz::check(count == static_cast<size_t>(std::count(text.begin(), text.end(), '@'))); // one entry per "@"

    // A newline inside a field is quoted into the shell word and so spans
    // two lines of the file; the line check reads physical lines.
    std::replace(text.begin(), text.end(), '\n', ' ');
    fuzz::write_store({{"fw_bks_block_type", "2"}, {"fw_bks_block_service", text}, {"lan_ifname", "br0"}, {"wan_ifname", "eth0"}});
    std::vector<std::string> lines = fuzz::parts(fuzz::generated(ARNONAT_GenerateBlockServicesRules), '\n', SIZE_MAX);
    fuzz::check(lines.size() >= 2 && lines[0] == "iptables -F BLOCK_SERVICE_CHAIN" && lines.back().empty());
    for (size_t i = 1; i + 1 < lines.size(); ++i)
        fuzz::check(lines[i].rfind("iptables -A BLOCK_SERVICE_CHAIN --ipv4 -i br0 -o eth0 ", 0) == 0 &&
                    (lines[i].find(" -j LOG --log-prefix BLOCK_SERVICE:") != std::string::npos || lines[i].ends_with(" -j DROP")));
    return 0;
}
