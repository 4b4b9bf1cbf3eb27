// The run-time rules file under many callers at once: processes and threads
// applying block-sites keywords and forwarding rules, and run words
// regenerating a category, each application reaching its command exactly once
// with its own lines.
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

class RuntimeRulesTogether : public sandbox::Test {};

// True when the calls holding NEEDLE are COUNT calls in a row.
bool one_block(const std::vector<std::string> &calls, const std::string &needle, size_t count)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].find(needle) != std::string::npos)
            at.push_back(i);
    return at.size() == count && at.back() - at.front() == count - 1;
}

std::string keyword(int caller, int k) { return "kw" + std::to_string(caller) + "x" + std::to_string(k); }
std::string port(int caller, int k) { return std::to_string(20000 + caller * 10 + k); }

TEST_F(RuntimeRulesTogether, EachApplicationRunsOnceWithItsOwnLines)
{
    for (const char *setting : {"wan_ifname=eth0", "lan_ifname=br0", "lan_ipaddr=192.168.1.1", "bs_enable=2",
                                "bs_keywords=www.shared.com", "wan_ipaddr=0.0.0.0"})
        sandbox::run(ARNONAT_NVRAM_TOOL " set " + std::string(setting));
    // Caller 0 runs the run word twice; caller 1 applies from three threads
    // at once, callers 2 to 5 from one.
    constexpr int kProcesses = 6, kEach = 3, kThreads = 3, kWords = 2;
    for (int c = 0; c < kProcesses; ++c)
        if (::fork() == 0) {
            if (c == 0) {
                const std::string word = sandbox::program(ARNONAT_CLI) + " apply_blocksites >/dev/null & ";
                sandbox::run(word + word + "wait");
                _exit(0);
            }
            std::vector<std::thread> threads;
            for (int t = 0; t < (c == 1 ? kThreads : 1); ++t)
                threads.emplace_back([c, t] {
                    for (int k = t * kEach; k < (t + 1) * kEach; ++k) {
                        ARNONAT_ExecuteOneBlockSiteRule(keyword(c, k).c_str());
                        std::string w[] = {"ruleadd", port(c, k), port(c, k), "192.168.1.10", port(c, k), "tcp"};
                        char *argv[] = {w[0].data(), w[1].data(), w[2].data(), w[3].data(), w[4].data(), w[5].data()};
                        ARNONAT_ExecuteOnePortForwardRule(6, argv);
                    }
                });
            for (std::thread &t : threads)
                t.join();
            _exit(0);
        }
    for (int status = -1; ::wait(&status) > 0; status = -1)
        EXPECT_EQ(status, 0);
    const std::vector<std::string> calls = sandbox::calls();
    for (int c = 1; c < kProcesses; ++c)
        for (int k = 0; k < (c == 1 ? kThreads : 1) * kEach; ++k) {
            EXPECT_TRUE(one_block(calls, "--string " + keyword(c, k) + " ", 8)) << keyword(c, k);
            EXPECT_TRUE(one_block(calls, "--dport " + port(c, k), 3)) << port(c, k);
        }
    // Each run word's runner ran its own file: the flush lines and the rules
    // of the one keyword of the settings.
    size_t runners = 0;
    for (size_t at = 0; at < calls.size(); ++at)
        if (calls[at] == "/sbin/main_run_custom_services") {
            ++runners;
            ASSERT_LE(at + 11, calls.size());
            EXPECT_EQ(calls[at + 1], "iptables -F BLOCKSITE");
            EXPECT_TRUE(one_block({calls.begin() + at + 3, calls.begin() + at + 11}, "--string shared ", 8));
        }
    EXPECT_EQ(runners, size_t(kWords));
    EXPECT_EQ(calls.size(), kWords * (1 + 2 + 8) + ((kProcesses - 2) + kThreads) * kEach * (8 + 3));
}

} // namespace
