// Settings store stand-in: file format, reads that follow the file, handed-out
// texts, the nvram tool and writers running side by side.

#include "zolt_nvram.h"
#include "zolt_shared.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void spill(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

int exit_status(pid_t pid)
{
    int ws = 0;
    while (waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
}

// Runs BODY in a child process; what it returns is the child's exit status.
template <typename Body>
pid_t in_child(Body body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return pid;
}

struct ToolRun {
    int status;
    std::string out, err;
};

// Runs the nvram tool through the shell, as another router program would.
// Arguments are single-quoted; none used here holds a quote.  Standard error
// goes to a file beside the test's store.
ToolRun run_tool(const std::vector<std::string> &args, const std::string &env = "")
{
    std::string err_file = zoltNvramConfig_path() + ".err.XXXXXX"s;
    close(mkstemp(err_file.data()));
    std::string cmd = env + " " ARNONAT_NVRAM_TOOL;
    for (const std::string &a : args)
        cmd += " '" + a + "'";
    FILE *tool = popen((cmd + " 2>" + err_file).c_str(), "r");
    ToolRun r{-1, "", ""};
    char buf[4096];
    for (size_t n; tool && (n = fread(buf, 1, sizeof buf, tool)) > 0;)
        r.out.append(buf, n);
    int ws = tool ? pclose(tool) : -1;
    r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    r.err = slurp(err_file);
    unlink(err_file.c_str());
    return r;
}

std::map<std::string, std::string> all_settings()
{
    std::map<std::string, std::string> all;
    zoltNvramConfig_foreach(
        [](const char *k, const char *v, void *ctx) {
            (*static_cast<std::map<std::string, std::string> *>(ctx))[k] = v;
        },
        &all);
    return all;
}

// Each case gets its own store in a fresh directory.
class NvramStore : public testing::Test {
protected:
    void SetUp() override
    {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = (tmp && *tmp ? tmp : "/tmp") + "/nvram_test.XXXXXX"s;
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        store_ = dir_ + "/store";
        if (const char *old = getenv("ZOLT_NVRAM_FILE"))
            saved_env_ = old;
        setenv("ZOLT_NVRAM_FILE", store_.c_str(), 1);
    }
    void TearDown() override
    {
        if (saved_env_)
            setenv("ZOLT_NVRAM_FILE", saved_env_->c_str(), 1);
        else
            unsetenv("ZOLT_NVRAM_FILE");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string dir_, store_;
    std::optional<std::string> saved_env_;
};

TEST_F(NvramStore, AwkwardValuesRoundTripThroughASortedEscapedFile)
{
    const std::map<std::string, std::string> rows = {
        {"nl", "line1\nline2\n"}, {"bs", "C:\\dir\\"}, {"eq", "a=b=c"},     {"empty", ""},
        {"high", "\xc3\xa9\xff"}, {"cr", "dos\r"},     {"lit", "\\n stays"},
    };
    for (const auto &[k, v] : rows)
        ASSERT_EQ(zoltNvramConfig_set(k.c_str(), v.c_str()), 0) << k;
    for (const auto &[k, v] : rows)
        EXPECT_EQ(zoltNvramConfig_get(k.c_str()), v) << k;
    EXPECT_EQ(all_settings(), rows);
    EXPECT_EQ(slurp(store_), "bs=C:\\\\dir\\\\\n"
                             "cr=dos\r\n"
                             "empty=\n"
                             "eq=a=b=c\n"
                             "high=\xc3\xa9\xff\n"
                             "lit=\\\\n stays\n"
                             "nl=line1\\nline2\\n\n");
    EXPECT_EQ(run_tool({"get", "nl"}).out, "line1\nline2\n\n");
}

TEST_F(NvramStore, MatchWantsASetKeyAndTheExactText)
{
    ASSERT_EQ(zoltNvramConfig_set("wan_proto", "pppoe"), 0);
    ASSERT_EQ(zoltNvramConfig_set("blank", ""), 0);
    ASSERT_EQ(zoltNvramConfig_set("gone", "enable"), 0);
    ASSERT_EQ(zoltNvramConfig_unset("gone"), 0);
    EXPECT_EQ(zoltNvramConfig_unset("never"), 0);
    const struct {
        const char *key, *value;
        bool match;
    } rows[] = {
        {"wan_proto", "pppoe", true}, {"wan_proto", "PPPoE", false}, {"wan_proto", "ppp", false},
        {"wan_proto", "pppoe ", false}, {"wan_proto", "", false}, {"WAN_PROTO", "pppoe", false},
        {"blank", "", true}, {"blank", " ", false}, {"gone", "enable", false}, {"gone", "", false},
        {"never", "", false}, {"", "", false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(zoltNvramConfig_match(r.key, r.value) != 0, r.match) << r.key << "=" << r.value;
    for (const char *key : {"gone", "never", ""}) {
        EXPECT_STREQ(zoltNvramConfig_get(key), "") << key;
        char buf[16] = "xxxxxxxxxxxxxxx";
        zoltNvramConfig_read(key, buf, sizeof buf);
        EXPECT_STREQ(buf, "") << key;
    }
}

TEST_F(NvramStore, ReadCutsToTheBufferAndAlwaysTerminates)
{
    const std::string value = "0123456789abcdefghijklmnopqrstuvwxyzABCD";  // 40 bytes
    ASSERT_EQ(zoltNvramConfig_set("long", value.c_str()), 0);
    for (size_t size : {1u, 10u, 16u, 32u, 41u, 256u}) {
        char buf[300];
        memset(buf, '#', sizeof buf);
        EXPECT_EQ(zoltNvramConfig_read("long", buf, size), 0);
        EXPECT_EQ(std::string(buf), value.substr(0, size - 1)) << size;
        EXPECT_EQ(buf[size], '#') << "wrote past " << size;
    }
    char untouched = '#';
    zoltNvramConfig_read("long", &untouched, 0);
    EXPECT_EQ(untouched, '#');
}

TEST_F(NvramStore, MalformedLinesAreSkippedAndTheRestRead)
{
    spill(store_, "zeta=1\n"
                  "no equals sign\n"
                  "=empty key\n"
                  "\n"
                  "badesc=a\\tb\n"
                  "trailing=x\\\n"
                  "dup=first\n"
                  "nul=a\0b\n"
                  "esc=a\\nb\\\\c\n"
                  "crlf=v\r\n"
                  "dup=second\n"
                  "alpha=last line without newline"s);
    const std::map<std::string, std::string> expected = {
        {"alpha", "last line without newline"}, {"crlf", "v\r"}, {"dup", "second"},
        {"esc", "a\nb\\c"},                     {"zeta", "1"},
    };
    EXPECT_EQ(all_settings(), expected);
    EXPECT_STREQ(zoltNvramConfig_get("dup"), "second");
    EXPECT_STREQ(zoltNvramConfig_get("badesc"), "");
    // A write keeps what was readable and drops the rest.
    ASSERT_EQ(zoltNvramConfig_set("beta", "2"), 0);
    EXPECT_EQ(slurp(store_), "alpha=last line without newline\nbeta=2\ncrlf=v\r\ndup=second\n"
                             "esc=a\\nb\\\\c\nzeta=1\n");
}

TEST_F(NvramStore, HandedOutTextSurvivesRewritesAndIsReused)
{
    ASSERT_EQ(zoltNvramConfig_set("lan_ipaddr", "192.168.1.1"), 0);
    const char *first = zoltNvramConfig_get("lan_ipaddr");
    // Rewritten by other programs, with stores of the same size each time.
    for (const char *next : {"192.168.1.2", "192.168.1.3", "192.168.1.4"}) {
        ASSERT_EQ(run_tool({"set", "lan_ipaddr="s + next}).status, 0);
        EXPECT_STREQ(zoltNvramConfig_get("lan_ipaddr"), next);
    }
    EXPECT_STREQ(first, "192.168.1.1");

    // A setting read again after reloads comes back as the same text, so a
    // long-running reader does not grow.
    const char *seen[2] = {};
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(zoltNvramConfig_set("flip", i % 2 ? "b" : "a"), 0);
        ASSERT_EQ(zoltNvramConfig_set("growing", std::string(size_t(i) * 40, 'g').c_str()), 0);
        const char *got = zoltNvramConfig_get("flip");
        EXPECT_EQ(got, seen[i % 2] ? seen[i % 2] : (seen[i % 2] = got)) << i;
    }
    EXPECT_STREQ(seen[0], "a");
    EXPECT_STREQ(seen[1], "b");
    EXPECT_STREQ(first, "192.168.1.1");
}

TEST_F(NvramStore, ReadsFollowTheFileAsItIsNow)
{
    EXPECT_STREQ(zoltNvramConfig_get("k"), "");
    spill(store_, "k=1\n");
    EXPECT_STREQ(zoltNvramConfig_get("k"), "1");
    // Rewritten in place within one tick of the file clock: inode, size and
    // time all stay the same.
    struct stat st{};
    ASSERT_EQ(stat(store_.c_str(), &st), 0);
    spill(store_, "k=2\n");
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, store_.c_str(), times, 0), 0);
    EXPECT_STREQ(zoltNvramConfig_get("k"), "2");
    spill(store_, "k=3\nother=x\n");
    EXPECT_STREQ(zoltNvramConfig_get("k"), "3");
    ASSERT_EQ(unlink(store_.c_str()), 0);
    EXPECT_STREQ(zoltNvramConfig_get("k"), "");

    std::string second = dir_ + "/second";
    spill(second, "k=other store\n");
    setenv("ZOLT_NVRAM_FILE", second.c_str(), 1);
    EXPECT_STREQ(zoltNvramConfig_get("k"), "other store");
    unsetenv("ZOLT_NVRAM_FILE");
    EXPECT_STREQ(zoltNvramConfig_path(), ZOLT_NVRAM_DEFAULT_FILE);
}

TEST_F(NvramStore, BadKeysAndUnusableStoresLeaveTheFileAlone)
{
    ASSERT_EQ(zoltNvramConfig_set("keep", "me"), 0);
    const std::string before = slurp(store_);
    EXPECT_EQ(zoltNvramConfig_set("", "v"), -1);
    EXPECT_EQ(zoltNvramConfig_set("a=b", "v"), -1);
    EXPECT_EQ(zoltNvramConfig_set("a\nb", "v"), -1);
    EXPECT_EQ(zoltNvramConfig_set(nullptr, "v"), -1);
    EXPECT_EQ(zoltNvramConfig_set("k", nullptr), -1);
    EXPECT_EQ(zoltNvramConfig_unset("a=b"), -1);
    EXPECT_EQ(slurp(store_), before);

    // Too big to be a store: not read, and not replaced by a write.
    std::string huge = "big=" + std::string(5u << 20, 'x');
    spill(store_, huge);
    EXPECT_STREQ(zoltNvramConfig_get("big"), "");
    EXPECT_EQ(zoltNvramConfig_foreach(nullptr, nullptr), -1);
    EXPECT_EQ(zoltNvramConfig_set("keep", "other"), -1);
    EXPECT_EQ(slurp(store_).size(), huge.size());
    // Nor is a value that would make the store too big.
    spill(store_, before);
    EXPECT_EQ(zoltNvramConfig_set("big", huge.c_str()), -1);
    EXPECT_EQ(slurp(store_), before);
}

TEST_F(NvramStore, ToolCommandsAndTheirResults)
{
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
    } steps[] = {
        {{"set", "b=x=y"}, 0, ""},  {{"set", "a=1"}, 0, ""},     {{"set", "e="}, 0, ""},
        {{"get", "b"}, 0, "x=y\n"}, {{"get", "e"}, 0, "\n"},     {{"get", "missing"}, 1, ""},
        {{"show"}, 0, "a=1\nb=x=y\ne=\n"},                      {{"unset", "a"}, 0, ""},
        {{"unset", "a"}, 0, ""},    {{"show"}, 0, "b=x=y\ne=\n"},
    };
    for (const auto &step : steps) {
        ToolRun r = run_tool(step.args);
        EXPECT_EQ(r.status, step.status) << step.args[0] << " " << r.err;
        EXPECT_EQ(r.out, step.out) << step.args[0];
    }
    ToolRun failed = run_tool({"set", "k=v"}, "ZOLT_NVRAM_FILE=" + dir_ + "/missing/store");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("nvram: cannot write settings store"), std::string::npos) << failed.err;

    const std::vector<std::vector<std::string>> bad_usage = {
        {}, {"frob"}, {"get"}, {"get", "a", "b"}, {"set", "novalue"}, {"set", "=v"},
        {"unset"}, {"unset", "a=b"}, {"show", "x"}, {"Get", "a"},
    };
    for (const auto &args : bad_usage) {
        ToolRun r = run_tool(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: nvram"), std::string::npos) << r.err;
    }
    EXPECT_EQ(slurp(store_), "b=x=y\ne=\n");
}

TEST_F(NvramStore, ShowPrintsAStoreThatReadsBackTheSameAndGetStaysRaw)
{
    std::string every;
    for (int c = 1; c <= 255; ++c)
        every += char(c);
    const std::map<std::string, std::string> rows = {
        {"every", every}, {"forge", "x\ninjected=1"}, {"plain", "a=b"}, {"slash", "C:\\n"}};
    for (const auto &[k, v] : rows)
        ASSERT_EQ(zoltNvramConfig_set(k.c_str(), v.c_str()), 0) << k;
    ToolRun show = run_tool({"show"});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out, slurp(store_));
    ToolRun get = run_tool({"get", "every"});
    EXPECT_EQ(get.out, every + "\n");

    // The output used as a store holds the same settings, no more.
    spill(dir_ + "/shown", show.out);
    setenv("ZOLT_NVRAM_FILE", (dir_ + "/shown").c_str(), 1);
    EXPECT_EQ(all_settings(), rows);
}

TEST_F(NvramStore, ParallelWritersLoseNoUpdate)
{
    // Each writer is its own process; a few of its writes go through the
    // tool, the rest straight through the library (quicker to start).
    constexpr int kWriters = 8, kEach = 25, kByTool = 3;
    auto key = [](int w, int i) { return "k" + std::to_string(w) + "_" + std::to_string(i); };
    auto value = [](int w, int i) { return "v" + std::to_string(w * 100 + i); };
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w)
        pids.push_back(in_child([&] {
            int failures = 0;
            for (int i = 0; i < kEach; ++i)
                failures += i < kByTool
                                ? run_tool({"set", key(w, i) + "=" + value(w, i)}).status != 0
                                : zoltNvramConfig_set(key(w, i).c_str(), value(w, i).c_str()) != 0;
            return failures ? 1 : 0;
        }));
    for (pid_t pid : pids)
        EXPECT_EQ(exit_status(pid), 0);
    auto all = all_settings();
    EXPECT_EQ(all.size(), size_t(kWriters * kEach));
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(all[key(w, i)], value(w, i)) << key(w, i);
}

TEST_F(NvramStore, ReadersNeverSeeAHalfWrittenStore)
{
    constexpr size_t kLen = 20000;
    ASSERT_EQ(zoltNvramConfig_set("fixed", "stays"), 0);
    // What a writer killed mid-write leaves behind.
    spill(store_ + ".Ab12Cd", "big=" + std::string(kLen / 2, 'q'));
    const std::string whole[] = {std::string(kLen, 'a'), std::string(kLen, 'b'),
                                 std::string(kLen, 'c')};
    for (const std::string &value : whole)
        in_child([&] {
            int failures = 0;
            for (int i = 0; i < 15; ++i)
                failures += zoltNvramConfig_set("big", value.c_str()) != 0;
            return failures ? 1 : 0;
        });
    size_t reads = 0, torn = 0, failed = 0;
    for (int writing = 3, ws = 0; writing > 0; ++reads) {
        if (waitpid(-1, &ws, WNOHANG) > 0)
            --writing, failed += !WIFEXITED(ws) || WEXITSTATUS(ws) != 0;
        std::string big = zoltNvramConfig_get("big");
        torn += !(big.empty() || std::count(whole, whole + 3, big)) ||
                strcmp(zoltNvramConfig_get("fixed"), "stays") != 0;
    }
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(torn, 0u) << "of " << reads << " reads";
    EXPECT_EQ(std::count(whole, whole + 3, zoltNvramConfig_get("big")), 1);
}

TEST_F(NvramStore, TemporariesOfKilledWritersGoWithTheNextWrite)
{
    // Files beside the store other than the store and its lock.
    auto leftovers = [&] {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(dir_))
            if (e.path() != store_ && e.path() != store_ + ".lock")
                names.push_back(e.path().filename());
        return names;
    };
    const std::string big(1 << 20, 'q');
    // A writer killed while its temporary is there, before it renames it.
    for (int attempt = 0; attempt < 40 && leftovers().empty(); ++attempt) {
        pid_t writer = in_child([&] {
            for (int i = 0;; ++i)
                zoltNvramConfig_set("big", (big + char('a' + i % 2)).c_str());
            return 0;
        });
        while (leftovers().empty()) {
        }
        kill(writer, SIGKILL);
        exit_status(writer);
    }
    ASSERT_FALSE(leftovers().empty());

    ASSERT_EQ(zoltNvramConfig_set("after", "1"), 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    EXPECT_STREQ(zoltNvramConfig_get("after"), "1");
}

TEST_F(NvramStore, NatInterfaceComesFromWanIfname)
{
    EXPECT_STREQ(get_platform_param(ZOLT_PARAM_NAT_IFNAME), "eth0");
    ASSERT_EQ(zoltNvramConfig_set("wan_ifname", ""), 0);
    EXPECT_STREQ(get_platform_param(ZOLT_PARAM_NAT_IFNAME), "eth0");
    ASSERT_EQ(zoltNvramConfig_set("wan_ifname", "ppp0"), 0);
    const char *ppp = get_platform_param(ZOLT_PARAM_NAT_IFNAME);
    EXPECT_STREQ(ppp, "ppp0");
    for (int other : {0, 18, 20, -1})
        EXPECT_STREQ(get_platform_param(other), "") << other;

    const std::string longname(150, 'w');
    ASSERT_EQ(zoltNvramConfig_set("wan_ifname", longname.c_str()), 0);
    const char *cut = get_platform_param(ZOLT_PARAM_NAT_IFNAME);
    EXPECT_EQ(cut, longname.substr(0, 99));
    EXPECT_EQ(get_platform_param(ZOLT_PARAM_NAT_IFNAME), cut);
    ASSERT_EQ(zoltNvramConfig_set("wan_ifname", std::string(99, 'n').c_str()), 0);
    EXPECT_EQ(strlen(get_platform_param(ZOLT_PARAM_NAT_IFNAME)), 99u);
    EXPECT_STREQ(ppp, "ppp0");
    EXPECT_EQ(cut, longname.substr(0, 99));
}

}  // namespace
