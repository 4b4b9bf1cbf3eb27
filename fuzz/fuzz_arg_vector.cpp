// Any command line handed to the NAT rule functions, the input's
// NUL-terminated strings its words, and the forwarding rule built from the
// words.  What they give is the library's and the case files' tests.
// (The engine's device is absent, so nothing reaches a kernel.)
#include "agapi.h"
#include "fuzz/harness.h"
#include "rules/forwarding/port_forward.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> words = fuzz::parts(std::string(reinterpret_cast<const char *>(data), size), '\0', 40);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    const int argc = static_cast<int>(argv.size());
    for (int n : {argc, -argc, 0}) {
        agApi_natRuleAdd(n, argv.data());
        agApi_natRuleDel(n, argv.data());
        agApi_natRulePortCheck(n, argv.data());
    }
    agApi_natRuleAdd(argc, nullptr);

    auto word = [&](size_t i) { return i < words.size() ? words[i] : std::string(); };
    fuzz::write_store({{"lan_ifname", word(6)}, {"dhcp_start", word(7)}, {"wan_ipaddr", word(8)}, {"wan_ifname", word(9)}});
    arnonat::ForwardEntry entry;
    if (!arnonat::forward_entry_from_words(argc, argv.data(), entry))
        return 0;
    fuzz::generated([&](const char *path) {
        arnonat::File file = arnonat::open_rules(path, nullptr);
        arnonat::write_forward_entry(file, entry);
        return file ? 0 : -1;
    });
    return 0;
}
