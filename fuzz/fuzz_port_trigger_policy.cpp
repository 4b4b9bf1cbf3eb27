// Any port trigger policies: each line of the input is one policy value (the
// first line also gives the LAN interface name).  The scanner stays inside
// the value, names stay terminated, the table stays one gapless list of at
// most 20 records, and every rule line written is whole.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "rules/forwarding/port_trigger_policy.h"
#include "store_file.h"

namespace {

using arnonat::g_triggerPolicy;
using arnonat::kTriggerPolicyMax;

void check_table(int stored)
{
    if (stored < 0 || stored > kTriggerPolicyMax)
        std::abort();
    for (int k = 0; k < kTriggerPolicyMax; ++k) {
        const arnonat::TriggerPolicy &r = g_triggerPolicy[k];
        if (std::memchr(r.sName, '\0', sizeof r.sName) == nullptr)
            std::abort();
        bool in_list = k < stored;
        if (r.bInUse != (in_list ? 1 : 0))
            std::abort();
        int next = in_list && k + 1 < stored ? k + 1 : -1;
        if (r.iNext != next)
            std::abort();
    }
}

void check_lines(const char *path)
{
    std::string text = fuzz::read_file(path);
    if (!text.empty() && text.back() != '\n')
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> lines;
    for (size_t start = 0; start <= input.size() && lines.size() < 30;) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        lines.push_back(input.substr(start, end - start));
        start = end + 1;
    }

    // One policy scanned straight from a buffer exactly as long as it is.
    const std::string &first = lines[0];
    char *exact = static_cast<char *>(std::malloc(first.size() + 1));
    std::memcpy(exact, first.data(), first.size());
    exact[first.size()] = '\0';
    arnonat::TriggerPolicy record{};
    arnonat::scan_trigger_policy(exact, record);
    std::free(exact);
    if (std::memchr(record.sName, '\0', sizeof record.sName) == nullptr)
        std::abort();

    std::vector<std::string> keys;
    for (size_t k = 0; k < lines.size(); ++k)
        keys.push_back("fwpt" + std::to_string(k));
    std::string lan = first.substr(0, first.size() % 70);
    std::string count = std::to_string(lines.size());
    // The store helper takes a fixed list; the policies are appended after it
    // with the same escapes.
    fuzz::write_store({{"fwpt_enable", "1"}, {"fwpt_count", count}, {"lan_ifname", lan},
                       {"wan_ifname", lines.size() > 1 ? lines[1] : ""}});
    FILE *store = std::fopen(fuzz::store_path(), "a");
    if (!store)
        std::abort();
    for (size_t k = 0; k < lines.size(); ++k) {
        std::fprintf(store, "%s=", keys[k].c_str());
        for (char c : lines[k]) {
            if (c == '\0')
                break;
            if (c == '\\')
                std::fputs("\\\\", store);
            else
                std::fputc(c, store);
        }
        std::fputc('\n', store);
    }
    std::fclose(store);

    static const std::string rules = std::string(fuzz::store_path()) + ".rules";
    std::remove(rules.c_str());
    ARNONAT_GeneratePortTriggerRules(rules.c_str());
    int stored = 0;
    while (stored < kTriggerPolicyMax && g_triggerPolicy[stored].bInUse)
        ++stored;
    check_table(stored);
    check_lines(rules.c_str());
    return 0;
}
