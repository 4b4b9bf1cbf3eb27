// The run-time rules file under many callers at once: processes and threads
// applying block-sites keywords and forwarding rules, and run words
// regenerating a category, each application reaching its command exactly once
// with its own lines.
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

using Lines = std::vector<std::string>;

// Indexes of the calls that hold NEEDLE.
std::vector<size_t> holding(const Lines &calls, const std::string &needle)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].find(needle) != std::string::npos)
            at.push_back(i);
    return at;
}

// True when AT is COUNT indexes in a row.
bool one_block(const std::vector<size_t> &at, size_t count)
{
    return at.size() == count && at.back() - at.front() == count - 1;
}

class RuntimeRulesTogether : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        const std::pair<const char *, const char *> settings[] = {
            {"wan_ifname", "eth0"}, {"lan_ifname", "br0"},         {"lan_ipaddr", "192.168.1.1"},
            {"bs_enable", "2"},     {"bs_keywords", "www.shared.com"}, {"wan_ipaddr", "0.0.0.0"},
        };
        for (const auto &[key, value] : settings)
            sandbox::set(key, value);
    }
};

std::string keyword(int caller, int k)
{
    return "kw" + std::to_string(caller) + "x" + std::to_string(k);
}

int port(int caller, int k)
{
    return 20000 + caller * 10 + k;
}

int forward(int external)
{
    std::string ext = std::to_string(external);
    std::vector<std::string> words = {"ruleadd", ext, ext, "192.168.1.10", ext, "tcp"};
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    return ARNONAT_ExecuteOnePortForwardRule(static_cast<int>(argv.size()), argv.data());
}

TEST_F(RuntimeRulesTogether, EachApplicationRunsOnceWithItsOwnLines)
{
    constexpr int kProcesses = 6, kEach = 3, kThreads = 3, kWords = 2;
    std::string words;
    for (int w = 0; w < kWords; ++w)
        words += sandbox::program(ARNONAT_CLI) + " apply_blocksites >/dev/null & ";
    std::vector<pid_t> children;
    for (int c = 0; c < kProcesses; ++c) {
        pid_t pid = ::fork();
        if (pid == 0) {
            if (c == 0) {
                sandbox::run(words + "wait");
                _exit(0);
            }
            // One caller applies from several threads at once.
            std::vector<std::thread> threads;
            for (int t = 0; t < (c == 1 ? kThreads : 1); ++t)
                threads.emplace_back([c, t] {
                    for (int k = 0; k < kEach; ++k) {
                        ARNONAT_ExecuteOneBlockSiteRule(keyword(c, t * kEach + k).c_str());
                        forward(port(c, t * kEach + k));
                    }
                });
            for (std::thread &t : threads)
                t.join();
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const Lines calls = sandbox::calls();
    for (int c = 1; c < kProcesses; ++c)
        for (int k = 0; k < (c == 1 ? kThreads : 1) * kEach; ++k) {
            EXPECT_TRUE(one_block(holding(calls, "--string " + keyword(c, k) + " "), 8)) << keyword(c, k);
            EXPECT_TRUE(one_block(holding(calls, "--dport " + std::to_string(port(c, k))), 3)) << port(c, k);
        }
    // Each run word's runner ran its own file: the flush lines and the rules
    // of the one keyword of the settings.
    std::vector<size_t> runner = holding(calls, "/sbin/main_run_custom_services");
    EXPECT_EQ(runner.size(), size_t(kWords));
    EXPECT_EQ(holding(calls, "--string shared ").size(), kWords * 8u);
    for (size_t at : runner) {
        ASSERT_LE(at + 11, calls.size());
        EXPECT_EQ(calls[at + 1], "iptables -F BLOCKSITE");
        EXPECT_TRUE(one_block(holding(Lines(calls.begin() + at + 3, calls.begin() + at + 11), "--string shared "), 8));
    }
    size_t expected = kWords * (1 + 2 + 8) + ((kProcesses - 2) + kThreads) * kEach * (8 + 3);
    EXPECT_EQ(calls.size(), expected);
}

TEST_F(RuntimeRulesTogether, ARunStartedByTheRunnerOfALibraryCallerDoesNotWait)
{
    // The runner that the assembly hands the remote management file to
    // starts the program again (once) while this process holds the run lock.
    sandbox::set("http_rmenable", "1");
    sandbox::write_file("/usr/sbin/main_run_custom_services",
                        "#!/bin/sh\n[ -e /tmp/nested ] && exit 0\n" + sandbox::program(ARNONAT_CLI) +
                            " apply_remotemanagement >/tmp/nested 2>&1; echo status $? >>/tmp/nested\n");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateCustomRules(2), 0);
    out.finish();
    EXPECT_EQ(sandbox::read_file("/tmp/nested"), "status 0\n");
}

} // namespace
