// Any port trigger policies, the input's NUL-terminated strings the policy
// values (the first also gives the LAN interface name): the scanner stays
// inside the value, names stay terminated, the table stays one gapless list
// of at most 20 records, and every rule line written is whole.
#include "arnonat.h"
#include "fuzz/harness.h"
#include "rules/forwarding/port_trigger_policy.h"

using arnonat::g_triggerPolicy;
using arnonat::kTriggerPolicyMax;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> lines = fuzz::parts(std::string(reinterpret_cast<const char *>(data), size), '\0', 30);
    // One policy scanned straight from a buffer exactly as long as it is.
    std::vector<char> exact(lines[0].c_str(), lines[0].c_str() + lines[0].size() + 1);
    arnonat::TriggerPolicy record{};
    arnonat::scan_trigger_policy(exact.data(), record);
    fuzz::check(std::memchr(record.sName, '\0', sizeof record.sName) != nullptr);

    std::vector<std::pair<std::string, std::string>> settings = {
        {"fwpt_enable", "1"}, {"fwpt_count", std::to_string(lines.size())},
        {"lan_ifname", lines[0].substr(0, lines[0].size() % 70)}, {"wan_ifname", lines.size() > 1 ? lines[1] : ""}};
    for (size_t k = 0; k < lines.size(); ++k)
        settings.push_back({"fwpt" + std::to_string(k), lines[k]});
    fuzz::write_store(settings);
    std::string text = fuzz::generated([](const char *path) { ARNONAT_GeneratePortTriggerRules(path); return 0; });
    int stored = 0;
    while (stored < kTriggerPolicyMax && g_triggerPolicy[stored].bInUse)
        ++stored;
    for (int k = 0; k < kTriggerPolicyMax; ++k) {
        const arnonat::TriggerPolicy &r = g_triggerPolicy[k];
        fuzz::check(std::memchr(r.sName, '\0', sizeof r.sName) && r.bInUse == (k < stored ? 1 : 0) &&
                    r.iNext == (k + 1 < stored ? k + 1 : -1));
    }
    fuzz::check(text.empty() || text.back() == '\n');
    return 0;
}
