// Settings store stand-in: file format, reads that follow the file, handed-out
// texts, the nvram tool and writers running side by side.  Each test has
// its own empty store in the sandbox.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "support/sandbox.h"
#include "zolt_nvram.h"
#include "zolt_shared.h"

using namespace std::string_literals;

namespace {

class NvramStore : public sandbox::Test {};

const std::string kStore = sandbox::kHome + "/nvram.db";
const std::string kUsage = "usage: nvram get KEY | set KEY=VALUE | unset KEY | show\n -> 2\n";

// One step on the store: s set, u unset, m match, g get, r read into a
// buffer of VALUE bytes, a every setting, f the file, w write the file, W
// write it in place within one tick of the file clock (inode, size and time
// alike), t the nvram tool with the arguments KEY (its output and status),
// p the platform parameter numbered KEY.
std::string step(char op, const std::string &key, const std::string &value = "")
{
    char buf[300];
    struct stat st{};
    switch (op) {
    case 's': return std::to_string(zoltNvramConfig_set(key.c_str(), value.c_str()));
    case 'u': return std::to_string(zoltNvramConfig_unset(key.c_str()));
    case 'm': return std::to_string(zoltNvramConfig_match(key.c_str(), value.c_str()) != 0);
    case 'g': return zoltNvramConfig_get(key.c_str());
    case 'r': {
        size_t size = std::stoul(value);
        memset(buf, '#', sizeof buf);
        zoltNvramConfig_read(key.c_str(), buf, size);
        return std::string(buf, strnlen(buf, size)) + (buf[size] == '#' ? "" : " and past");
    }
    case 'a': {
        std::string all;
        zoltNvramConfig_foreach([](const char *k, const char *v, void *all) {
            *static_cast<std::string *>(all) += std::string(k) + "=" + v + "|";
        }, &all);
        return all;
    }
    case 'f': return sandbox::read_file(kStore);
    case 'p': return get_platform_param(std::stoi(key));
    case 'W': {
        stat(kStore.c_str(), &st);
        sandbox::write_file(kStore, value);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        return std::to_string(utimensat(AT_FDCWD, kStore.c_str(), times, 0));
    }
    case 't': {
        sandbox::Result r = sandbox::run(ARNONAT_NVRAM_TOOL " " + key);
        return r.out + r.err + " -> " + std::to_string(r.status) + "\n";
    }
    default: sandbox::write_file(kStore, value); return "";
    }
}

TEST_F(NvramStore, StepsOnTheStoreAndTheTool)
{
    const std::string max = "big=" + std::string((4u << 20) - 5, 'x') + "\n"; // 4 MiB
    std::string every;
    for (int c = 1; c <= 255; ++c)
        every += char(c);
    const std::tuple<char, std::string, std::string, std::string> steps[] = {
        // Values round-trip through a sorted file with \n and \\ escapes.
        {'s', "nl", "1\n2\n", "0"}, {'s', "bs", "C:\\dir\\", "0"}, {'s', "eq", "a=b=c", "0"}, {'s', "empty", "", "0"},
        {'s', "high", "\xc3\xa9\xff", "0"}, {'s', "cr", "dos\r", "0"}, {'s', "lit", "\\n stays", "0"},
        {'f', "", "", "bs=C:\\\\dir\\\\\ncr=dos\r\nempty=\neq=a=b=c\nhigh=\xc3\xa9\xff\nlit=\\\\n stays\nnl=1\\n2\\n\n"},
        {'g', "nl", "", "1\n2\n"}, {'g', "bs", "", "C:\\dir\\"}, {'g', "lit", "", "\\n stays"}, {'g', "cr", "", "dos\r"},
        {'a', "", "", "bs=C:\\dir\\|cr=dos\r|empty=|eq=a=b=c|high=\xc3\xa9\xff|lit=\\n stays|nl=1\n2\n|"},
        {'t', "get nl", "", "1\n2\n\n -> 0\n"},
        // Match wants a set key and the exact text; unset keys read empty.
        {'m', "eq", "a=b=c", "1"}, {'m', "eq", "a=b", "0"}, {'m', "eq", "a=b=c ", "0"}, {'m', "EQ", "a=b=c", "0"},
        {'m', "empty", "", "1"}, {'m', "empty", " ", "0"}, {'u', "eq", "", "0"}, {'u', "never", "", "0"},
        {'m', "eq", "a=b=c", "0"}, {'m', "eq", "", "0"}, {'m', "never", "", "0"}, {'m', "", "", "0"},
        {'g', "eq", "", ""}, {'r', "eq", "16", ""}, {'r', "", "16", ""},
        // A read is cut to the buffer and always ends with its terminator.
        {'r', "nl", "0", ""}, {'r', "nl", "1", ""}, {'r', "nl", "3", "1\n"}, {'r', "nl", "4", "1\n2"},
        {'r', "nl", "5", "1\n2\n"}, {'r', "nl", "256", "1\n2\n"},
        // Reads follow the file as it is now.
        {'w', "", "nl=1\n", ""}, {'g', "nl", "", "1"}, {'t', "set nl=3", "", " -> 0\n"}, {'g', "nl", "", "3"},
        {'W', "", "nl=4\n", "0"}, {'g', "nl", "", "4"},
        // Bad keys leave the file alone.
        {'w', "", "keep=me\n", ""}, {'s', "", "v", "-1"}, {'s', "a=b", "v", "-1"}, {'s', "a\nb", "v", "-1"},
        {'u', "a=b", "", "-1"}, {'u', "", "", "-1"}, {'f', "", "", "keep=me\n"}, {'g', "nl", "", ""},
        // Malformed lines are skipped; a write keeps what was readable.
        {'w', "", "zeta=1\nno equals\n=empty key\n\nbadesc=a\\tb\ntrailing=x\\\ndup=first\nnul=a\0b\nesc=a\\nb\\\\c\n"
                  "crlf=v\r\ndup=second\nalpha=last line without newline"s, ""},
        {'a', "", "", "alpha=last line without newline|crlf=v\r|dup=second|esc=a\nb\\c|zeta=1|"},
        {'s', "beta", "2", "0"},
        {'f', "", "", "alpha=last line without newline\nbeta=2\ncrlf=v\r\ndup=second\nesc=a\\nb\\\\c\nzeta=1\n"},
        // The tool: show prints a store that reads back the same; get stays raw.
        {'w', "", "", ""}, {'t', "set b=x=y", "", " -> 0\n"}, {'t', "set a=1", "", " -> 0\n"}, {'t', "set e=", "", " -> 0\n"},
        {'t', "get b", "", "x=y\n -> 0\n"}, {'t', "get e", "", "\n -> 0\n"}, {'t', "get missing", "", " -> 1\n"},
        {'t', "show", "", "a=1\nb=x=y\ne=\n -> 0\n"}, {'t', "unset a", "", " -> 0\n"}, {'t', "unset a", "", " -> 0\n"},
        {'s', "every", every, "0"}, {'s', "forge", "x\ninjected=1", "0"}, {'t', "get every", "", every + "\n -> 0\n"},
        {'t', "show >" + kStore + ".shown", "", " -> 0\n"},
        {'t', "show", "", "b=x=y\ne=\nevery=" + every.substr(0, 9) + "\\n" + every.substr(10, 81) + "\\\\" +
                              every.substr(92) + "\nforge=x\\ninjected=1\n -> 0\n"},
        {'t', "", "", kUsage}, {'t', "frob", "", kUsage}, {'t', "get", "", kUsage}, {'t', "get a b", "", kUsage},
        {'t', "set novalue", "", kUsage}, {'t', "set =v", "", "nvram: invalid key ''\n" + kUsage}, {'t', "unset", "", kUsage},
        {'t', "unset a=b", "", "nvram: invalid key 'a=b'\n" + kUsage}, {'t', "show x", "", kUsage}, {'t', "Get a", "", kUsage},
        // The NAT interface (19) is wan_ifname cut to 99 bytes, else eth0.
        {'p', "19", "", "eth0"}, {'s', "wan_ifname", "", "0"}, {'p', "19", "", "eth0"}, {'p', "18", "", ""}, {'p', "20", "", ""},
        {'p', "0", "", ""}, {'p', "-1", "", ""}, {'s', "wan_ifname", std::string(99, 'w'), "0"}, {'p', "19", "", std::string(99, 'w')},
        {'s', "wan_ifname", std::string(100, 'w'), "0"}, {'p', "19", "", std::string(99, 'w')},
        // A store of 4 MiB is read and may be written; one byte more is neither.
        {'w', "", max, ""}, {'g', "big", "", max.substr(4, max.size() - 5)},
        {'s', "big", std::string(max.size() - 4, 'y'), "-1"}, {'s', "big", std::string(max.size() - 5, 'y'), "0"},
        {'w', "", max + "\n", ""}, {'g', "big", "", ""}, {'s', "big", "1", "-1"}, {'f', "", "", max + "\n"},
    };
    for (const auto &[op, key, value, expected] : steps)
        EXPECT_EQ(step(op, key, value), expected) << op << " " << key << " " << value.substr(0, 40);
    EXPECT_EQ(zoltNvramConfig_set(nullptr, "v") + zoltNvramConfig_set("k", nullptr), -2);
    EXPECT_EQ(zoltNvramConfig_foreach(nullptr, nullptr), -1);
    sandbox::Result failed = sandbox::run("ZOLT_NVRAM_FILE=/x/y " ARNONAT_NVRAM_TOOL " set k=v");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err.rfind("nvram: cannot write settings store", 0), 0u);
    setenv("ZOLT_NVRAM_FILE", (kStore + ".shown").c_str(), 1);
    EXPECT_EQ(step('a', ""), "b=x=y|e=|every=" + every + "|forge=x\ninjected=1|");
}

TEST_F(NvramStore, HandedOutTextsStayAndAreReused)
{
    ASSERT_EQ(zoltNvramConfig_set("lan_ipaddr", "192.168.1.1"), 0);
    const char *first = zoltNvramConfig_get("lan_ipaddr");
    // A setting read again after reloads is the same text, so a
    // long-running reader does not grow.
    const char *seen[2] = {};
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(zoltNvramConfig_set("flip", i % 2 ? "b" : "a"), 0);
        ASSERT_EQ(zoltNvramConfig_set("growing", std::string(size_t(i) * 40, 'g').c_str()), 0);
        const char *got = zoltNvramConfig_get("flip");
        EXPECT_EQ(got, seen[i % 2] ? seen[i % 2] : (seen[i % 2] = got)) << i;
    }
    ASSERT_EQ(unlink(kStore.c_str()), 0);
    EXPECT_EQ(seen[0] + std::string(seen[1]) + first + zoltNvramConfig_get("flip"), "ab192.168.1.1");
    ASSERT_EQ(zoltNvramConfig_set("wan_ifname", "ppp0"), 0);
    const char *ppp = get_platform_param(ZOLT_PARAM_NAT_IFNAME);
    ASSERT_EQ(zoltNvramConfig_set("wan_ifname", std::string(100, 'w').c_str()), 0);
    EXPECT_EQ(get_platform_param(ZOLT_PARAM_NAT_IFNAME), get_platform_param(ZOLT_PARAM_NAT_IFNAME)); // one cut copy
    EXPECT_STREQ(ppp, "ppp0");
}

TEST_F(NvramStore, WritersSideBySideLoseNothingAndReadersSeeNoHalfStore)
{
    // Eight writers, each its own process: a few writes through the tool,
    // the rest through the library, some of them a big value; meanwhile
    // this process reads.
    ASSERT_EQ(zoltNvramConfig_set("fixed", "stays"), 0);
    auto key = [](int w, int i) { return "k" + std::to_string(w) + "_" + std::to_string(i); };
    for (int w = 0; w < 8; ++w)
        if (fork() == 0) {
            int failures = 0;
            for (int i = 0; i < 25; ++i)
                failures += (i < 3 ? step('t', "set " + key(w, i) + "=v" + key(w, i)) != " -> 0\n"
                                   : step('s', key(w, i), "v" + key(w, i)) != "0") +
                            (i % 5 == 0 && step('s', "big", std::string(20000, char('a' + w))) != "0");
            _exit(failures);
        }
    size_t reads = 0, failed = 0;
    for (int writing = 8, ws = 0; writing > 0; ++reads) {
        if (waitpid(-1, &ws, WNOHANG) > 0)
            --writing, failed += !WIFEXITED(ws) || WEXITSTATUS(ws) != 0;
        std::string big = zoltNvramConfig_get("big");
        failed += !(big.empty() || big == std::string(20000, big[0])) || step('g', "fixed") != "stays";
    }
    EXPECT_EQ(failed, 0u) << "of " << reads << " reads";
    std::string all = step('a', "");
    EXPECT_EQ(std::count(all.begin(), all.end(), '|'), 8 * 25 + 2); // each key its own
}

TEST_F(NvramStore, TemporariesOfKilledWritersGoWithTheNextWrite)
{
    auto leftovers = [] {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(sandbox::kHome))
            if (e.path().string().rfind(kStore + ".new-", 0) == 0)
                names.push_back(e.path().filename());
        return names;
    };
    // A writer killed while its temporary is there, before it renames it.
    for (int attempt = 0; attempt < 40 && leftovers().empty(); ++attempt) {
        pid_t writer = fork();
        for (int i = 0; writer == 0; ++i)
            zoltNvramConfig_set("big", std::string(1 << 20, char('a' + i % 2)).c_str());
        while (leftovers().empty()) {
        }
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    ASSERT_FALSE(leftovers().empty());
    ASSERT_EQ(zoltNvramConfig_set("after", "1"), 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

} // namespace
