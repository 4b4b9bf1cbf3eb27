// Any command line handed to the NAT rule functions, the input's
// NUL-terminated strings its words: the argument vector never takes more than
// its 32 slots, and the forwarding rule built from the words is written as
// whole commands of inert words only.
// (The engine's device is absent, so nothing reaches a kernel.)
#include "agapi.h"
#include "fuzz/harness.h"
#include "natapi/nat_rules.h"
#include "rules/forwarding/port_forward.h"

static void check_vector(int argc, char *const argv[])
{
    AgArgVec vector;
    std::memset(&vector, 0xa5, sizeof vector);
    bool built = arnonat::natapi::argument_vector(vector, argc, argv, "fuzz");
    fuzz::check(built == (argc <= AGAPI_MAX_FIELDS) && (!built || vector.count == argc));
    for (int i = 0; built && i < AGAPI_MAX_FIELDS; ++i)
        fuzz::check(vector.word[i] == (i < argc ? reinterpret_cast<uintptr_t>(argv[i]) : 0));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> words = fuzz::parts(std::string(reinterpret_cast<const char *>(data), size), '\0', 40);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    const int argc = static_cast<int>(argv.size());
    check_vector(argc, argv.data());
    check_vector(-argc, argv.data());
    check_vector(0, nullptr);
    AgArgVec missing;
    fuzz::check(arnonat::natapi::argument_vector(missing, argc, nullptr, "fuzz") == (argc <= 0));
    agApi_natRuleAdd(argc, argv.data());
    agApi_natRuleDel(argc, argv.data());
    agApi_natRulePortCheck(argc, argv.data());

    auto word = [&](size_t i) { return i < words.size() ? words[i] : std::string(); };
    fuzz::write_store({{"lan_ifname", word(6)}, {"dhcp_start", word(7)}, {"wan_ipaddr", word(8)}, {"wan_ifname", word(9)}});
    arnonat::ForwardEntry entry;
    if (!arnonat::forward_entry_from_words(argc, argv.data(), entry))
        return 0;
    fuzz::check_rule_file(fuzz::generated([&](const char *path) {
        arnonat::File file = arnonat::open_rules(path, nullptr);
        arnonat::write_forward_entry(file, entry);
        return file ? 0 : -1;
    }));
    return 0;
}
