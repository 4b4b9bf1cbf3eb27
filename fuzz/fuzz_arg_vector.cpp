// Any command line handed to the NAT rule functions: each input line is one
// word.  The argument vector never takes more than its 32 slots, and the
// forwarding rule built from the words is written as whole lines only.
// (The engine's device is absent here, so nothing reaches a kernel.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agapi.h"
#include "natapi/nat_rules.h"
#include "rules/forwarding/port_forward.h"
#include "store_file.h"

namespace {

void check_vector(int argc, char *const argv[])
{
    AgArgVec vector;
    std::memset(&vector, 0xa5, sizeof vector);
    bool built = arnonat::natapi::argument_vector(vector, argc, argv, "fuzz");
    if (built != (argc <= AGAPI_MAX_FIELDS))
        std::abort();
    if (!built)
        return;
    if (vector.count != argc)
        std::abort();
    for (int i = 0; i < AGAPI_MAX_FIELDS; ++i) {
        uintptr_t expected = i < argc ? reinterpret_cast<uintptr_t>(argv[i]) : 0;
        if (vector.word[i] != expected)
            std::abort();
    }
}

void check_lines(const char *path)
{
    std::string text = fuzz::read_file(path);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos || text.compare(start, 9, "iptables ") != 0)
            std::abort();
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The refusal notices would only slow the run down.
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> words;
    for (size_t start = 0; start <= input.size() && words.size() < 40;) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        words.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    const int argc = static_cast<int>(argv.size());

    check_vector(argc, argv.data());
    check_vector(-argc, argv.data());
    check_vector(0, nullptr);
    AgArgVec missing;
    if (arnonat::natapi::argument_vector(missing, argc, nullptr, "fuzz") == (argc > 0))
        std::abort();
    agApi_natRuleAdd(argc, argv.data());
    agApi_natRuleDel(argc, argv.data());
    agApi_natRulePortCheck(argc, argv.data());

    auto word = [&](size_t i) { return i < words.size() ? words[i] : std::string(); };
    fuzz::write_store({{"lan_ifname", word(6)}, {"dhcp_start", word(7)}, {"wan_ipaddr", word(8)},
                       {"wan_ifname", word(9)}});
    arnonat::ForwardEntry entry;
    if (!arnonat::forward_entry_from_words(argc, argv.data(), entry))
        return 0;
    static const std::string rules = std::string(fuzz::store_path()) + ".forward";
    std::remove(rules.c_str());
    {
        arnonat::File file = arnonat::open_rules(rules.c_str(), nullptr);
        if (!file)
            std::abort();
        arnonat::write_forward_entry(file, entry);
    }
    check_lines(rules.c_str());
    return 0;
}
