// arnonat-apply: which lines of a rules file become restore batches, what
// they become, and that a plan keeps the file's order.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/sandbox.h"
#include "tools/apply/plan.h"
#include "tools/apply/restore_line.h"
#include "tools/apply/shell_reader.h"

namespace {

using namespace arnonat::apply;

// Each command as "W<line> [word][word]..." or "S<first>-<last>".
std::string read_all(const std::string &text)
{
    ShellReader reader(text.data(), text.size());
    Command c;
    std::string out;
    while (reader.next(c)) {
        if (c.kind == Command::Shell) {
            out += "S" + std::to_string(c.first_line) + "-" + std::to_string(c.last_line) + "\n";
            continue;
        }
        out += "W" + std::to_string(c.first_line);
        for (int i = 0; i < c.argc; ++i)
            out += std::string(i ? "[" : " [") + c.argv[i] + "]";
        out += "\n";
    }
    return out;
}

TEST(ApplyReader, PlainLinesAreWordsAndEverythingElseStaysShell)
{
    const std::pair<const char *, const char *> rows[] = {
        {"iptables -A X -j DROP\n\n  # note\nip6tables  -F\tY", "W1 [iptables][-A][X][-j][DROP]\nW4 [ip6tables][-F][Y]\n"},
        // settings texts as the shell-word helper writes them
        {"iptables -A X --comment 'it'\\''s' ! -s 1.2.3.4\n", "W1 [iptables][-A][X][--comment][it's][!][-s][1.2.3.4]\n"},
        {"iptables -A X --comment '$(reboot)'\n", "W1 [iptables][-A][X][--comment][$(reboot)]\n"},
        {"iptables -A X --log-prefix S:'x\n>/p&#' -j LOG\nip4tables -F\n",
         "W1 [iptables][-A][X][--log-prefix][S:x\n>/p&#][-j][LOG]\nW3 [ip4tables][-F]\n"},
        {"iptables -A X --comment $(reboot)\n", "S1-1\n"}, {"iptables -A X -j DROP # why\n", "S1-1\n"},
        {"iptables -F; iptables -X\n", "S1-1\n"}, {"iptables -A X 'open\n", "S1-1\n"},
        {"iptables -A X ~/x\niptables -A X *\n'iptables' -F\niptables -F\r\n", "S1-1\nS2-2\nS3-3\nS4-4\n"},
        {"echo hi\niptables -F", "S1-1\nW2 [iptables][-F]\n"},
        // lines inside the shell's structure stay in their block
        {"if true; then\niptables -A X\nfi\niptables -F\n", "S1-3\nW4 [iptables][-F]\n"},
        {"cat <<EOF\niptables -A X\nEOF\niptables -F\n", "S1-3\nW4 [iptables][-F]\n"},
        {"cat <<-'E' >/f\n\tiptables -A X\n\tE\niptables -F\n", "S1-3\nW4 [iptables][-F]\n"},
        {"case $x in\n(a) iptables -A X;;\nb|c)\niptables -A Y\nesac\niptables -F\n", "S1-5\nW6 [iptables][-F]\n"},
        {"for i in 1 2\ndo\niptables -A X\ndone\niptables -F\n", "S1-4\nW5 [iptables][-F]\n"},
        {"while read x; do iptables -A X; done <f\niptables -F\n", "S1-1\nS2-2\n"},
        {"{\niptables -A X\n}\n(\niptables -A Y\n)\niptables -F\n", "S1-3\nS4-6\nW7 [iptables][-F]\n"},
        {"iptables -A X \\\n -j DROP\niptables -F\n", "S1-2\nW3 [iptables][-F]\n"},
        {"echo \"a\niptables -A X\" 'b\niptables -A Y'\niptables -F\n", "S1-3\nW4 [iptables][-F]\n"},
        {"x=$(\niptables -L\n) y=`\niptables -S\n`\niptables -F\n", "S1-5\nW6 [iptables][-F]\n"},
        {"x=$(case a in a) echo ;; esac\niptables -A X\n)\niptables -F\n", "S1-3\nW4 [iptables][-F]\n"},
        {"true &&\niptables -A X\nfalse |\niptables -A Y\niptables -F\n", "S1-2\nS3-4\nW5 [iptables][-F]\n"},
        {"$IPT -N X 2>/dev/null; $IPT -C F -j X 2>/dev/null || $IPT -I F 1 -j X\niptables -F\n",
         "S1-1\nW2 [iptables][-F]\n"},
        {"fi\niptables -F\n", "S1-2\n"}, {"if x; then\niptables -A X\n", "S1-2\n"},
        // after a line that could redefine what iptables runs, all is shell
        {"alias iptables=echo\niptables -F\n", "S1-1\nS2-2\n"}, {"f() {\niptables -A X\n}\niptables -F\n", "S1-3\nS4-4\n"},
        {"IPV6_SUPPORT=1\niptables -F\nX=1\n", "S1-1\nS2-3\n"},
        {"A=${IP4TABLES:-iptables}\niptables -F\n", "S1-1\nW2 [iptables][-F]\n"},
    };
    for (const auto &[text, commands] : rows)
        EXPECT_EQ(read_all(text), commands) << text;
}

// "F TABLE: RESTORE LINE | SHELL LINE" for each part ("alone" when it must
// stand on its own), or "shell".
std::string translated(Context context, std::vector<const char *> argv)
{
    int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);
    Translation t = translate(context, argc, argv.data());
    if (t.parts == 0)
        return "shell";
    std::string out;
    for (int i = 0; i < t.parts; ++i) {
        const Part &p = t.part[i];
        char *buf = nullptr;
        size_t size = 0;
        FILE *f = open_memstream(&buf, &size);
        write_restore_line(p, f);
        std::fputs("| ", f);
        write_shell_line(p, f);
        std::fclose(f);
        out += std::string(i ? " + " : "") + (p.alone ? "alone " : "") + std::to_string(p.family) + " " +
               kTableNames[p.table] + ": " + std::string(buf, size - 1);
        std::free(buf);
    }
    for (char &c : out)
        c = c == '\n' ? ' ' : c;
    return out;
}

TEST(ApplyRestoreLine, OnlyCommandsRestoreTakesAsTheyStandAreTranslated)
{
    const Context runner = Context::Runner, arno = Context::Arno, v6 = Context::ArnoIpv6;
    std::string long_word(1000, 'a'), longer = long_word + "a", quotes(longer.size(), '\'');
    const char *w = long_word.c_str();
    std::vector<const char *> many{"iptables", "-A", "X"};
    many.resize(200, "-m");
    const std::tuple<Context, std::vector<const char *>, std::string> rows[] = {
        {runner, {"iptables", "-A", "X", "-j", "DROP"}, "4 filter: -A X -j DROP | iptables -A X -j DROP"},
        {runner, {"ip4tables", "--table", "nat", "-I", "P", "1"}, "4 nat: -I P 1 | ip4tables --table nat -I P 1"},
        {arno, {"iptables", "-t", "raw", "-N", "X"}, "4 raw: -N X | ip4tables -t raw -N X"},
        {runner, {"ip6tables", "--flush"}, "6 filter: --flush | ip6tables --flush"},
        {arno, {"iptables", "-I", "X", "!", "-d", "2001:db8::1"}, "4 filter: -I X ! -d 2001:db8::1 | ip4tables -I X '!' -d 2001:db8::1"},
        {runner, {"iptables", "-A", "X", "--comment", "a b\"c\\'d"},
         "4 filter: -A X --comment \"a b\\\"c\\\\'d\" | iptables -A X --comment 'a b\"c\\'\\''d'"},
        {runner, {"iptables", "-A", "X", long_word.c_str()}, "4 filter: -A X " + long_word + " | iptables -A X " + long_word},
        // restore would skip these silently, the command refuses them
        {runner, {"ip6tables", "-A", "X", "--ipv4"}, "alone 6 filter: -A X --ipv4 | ip6tables -A X --ipv4"},
        {runner, {"iptables", "-A", "X", "-4"}, "4 filter: -A X -4 | iptables -A X -4"},
        // arno with IPv6 on (where its iptables function sends each line is
        // checked against the function itself below)
        {arno, {"iptables", "-A", "X", "-d", "2001:db8::1"}, "4 filter: -A X -d 2001:db8::1 | ip4tables -A X -d 2001:db8::1"},
        {v6, {"iptables", "-A", "X", "-p", "icmp", "--icmp-type", "8"},
         "4 filter: -A X -p icmp --icmp-type 8 | ip4tables -A X -p icmp --icmp-type 8 + "
         "6 filter: -A X -p icmpv6 --icmpv6-type 8 | ip6tables -A X -p icmpv6 --icmpv6-type 8"},
        {v6, {"iptables", "-A", "X", "--ipv4", "-j", "DROP"},
         "4 filter: -A X --ipv4 -j DROP | ip4tables -A X --ipv4 -j DROP + alone 6 filter: -A X --ipv4 -j DROP | "
         "ip6tables -A X --ipv4 -j DROP"},
        {v6, {"ip4tables", "-A", "X"}, "4 filter: -A X | ip4tables -A X"},
        {v6, {"iptables", "-A", "X", "--comment", "a~b"}, "shell"}, {v6, {"iptables", "-A", "X", "--comment", "a*"}, "shell"},
        {v6, {"iptables", "-A", "X", "-p", "!", "tcp"}, "shell"},
    };
    for (const auto &[context, argv, want] : rows)
        EXPECT_EQ(translated(context, argv), want) << argv[1] << " " << argv.size();
    // what iptables-restore refuses, reads otherwise or cannot hold
    const std::vector<const char *> left_to_shell[] = {
        {"iptables", "-A", "X", longer.c_str()}, {"iptables", "-A", "X", w, w, w, w, w, w, w, w}, // over 8000 bytes
        {"iptables", "-L"}, {"iptables", "-C", "X", "-j", "DROP"}, {"iptables", "-A", "X", "-w"},
        {"iptables", "-A", "X", "-t", "nat"}, {"iptables", "--tab", "nat", "-A", "X"}, {"iptables", "-A", "X", "--wai"},
        {"iptables", "-tnat", "-A", "X"}, {"iptables", "-A", "X", "-vn"}, {"iptables", "-t", "bogus", "-A", "X"},
        {"iptables", "-A", "X", "-A", "Y"}, {"iptables", "-A", "X", "--comment", ""}, {"iptables", "-A", "X", "--ipv"},
        {"iptables", "-A", "X", "--comment", "a\nb"}, {quotes.c_str(), "-A", "X"},
    };
    for (const std::vector<const char *> &argv : left_to_shell)
        EXPECT_EQ(translated(runner, argv), "shell") << argv[1] << " " << argv.size();
    EXPECT_EQ(translated(runner, many).substr(0, 8), "4 filter");
    many.push_back("-m");
    EXPECT_EQ(translated(runner, many), "shell");
}

class ApplyTest : public sandbox::Test {};

// arno's own functions, taken from the installed package, with the two
// commands they call replaced by printers: the reference for where a line goes.
TEST_F(ApplyTest, RoutesEveryLineWhereArnosIptablesFunctionSendsIt)
{
    const std::string environment = "/usr/share/arno-iptables-firewall/environment";
    if (access(environment.c_str(), R_OK) != 0)
        GTEST_SKIP() << "arno-iptables-firewall is not installed";
    const char *options[] = {"-s", "-d", "--source", "--destination", "-p", "--proto", "--protocol",
                             "-t", "-j", "--icmp-type", "!", "-4"};
    const char *values[] = {"10.0.0.1", "1.2.3.4/24", "10/8", "0/0", "::1", "2001:db8::/32", "fe80::1%eth0",
                            "host.example", "1", "1.2", "icmp", "icmpv6", "tcp", "nat", "filter", "DROP", "8"};
    std::mt19937 rng(14);
    std::string calls = "IPV6_SUPPORT=1\n"
                        "ip4tables() { printf 4; printf ' %s' \"$@\"; echo; }\n"
                        "ip6tables() { printf 6; printf ' %s' \"$@\"; echo; }\n";
    std::string want;
    for (int n = 0; n < 400; ++n) {
        std::vector<const char *> argv{"iptables", "-A", "X"};
        if (rng() % 4 == 0)
            argv = {"iptables", "-t", rng() % 2 ? "nat" : "mangle", "-A", "X"};
        for (int k = static_cast<int>(rng() % 6); k > 0; --k) {
            argv.push_back(options[rng() % std::size(options)]);
            argv.push_back(values[rng() % std::size(values)]);
        }
        int argc = static_cast<int>(argv.size());
        argv.push_back(nullptr);
        Translation t = translate(Context::ArnoIpv6, argc, argv.data());
        if (t.parts == 0) // left to the shell, where arno's function runs it
            continue;
        calls += "iptables";
        for (int i = 1; i < argc; ++i)
            calls += std::string(" '") + argv[i] + "'";
        calls += "; echo .\n";
        for (int i = 0; i < t.parts; ++i) {
            want += std::to_string(t.part[i].family);
            for (int k = 1; k < t.part[i].argc; ++k)
                want += std::string(" ") + t.part[i].argv[k];
            want += "\n";
        }
        want += ".\n";
    }
    sandbox::write_file("/tmp/calls", calls);
    sandbox::Result r = sandbox::run("{ sed -n -e '/^iptables()/,/^}/p' -e '/^ip6tables_icmp_args()/,/^}/p' "
                                     "-e '/^get_numeric_ip_version()/,/^}/p' " + environment +
                                     "; cat /tmp/calls; } | sh");
    EXPECT_GT(want.size(), 10000u);
    EXPECT_EQ(r.out, want);
}

TEST_F(ApplyTest, PlanBatchesRunsOfWordsBetweenShellLinesInFileOrder)
{
    const std::string d = "/tmp"; // the sandbox's own
    std::string text = "iptables -A X -j DROP\n"
                       "iptables -t nat -A P -j DNAT --to 1.2.3.4\n"
                       "iptables -A X -j ACCEPT\n"
                       "echo between\n"
                       "iptables -A X --ipv4 -s 'a b'\n"
                       "ip6tables -A Y --ipv4\n"
                       "ip6tables -A Y -j DROP\n";
    ASSERT_EQ(write_plan(Context::Arno, text.data(), text.size(), d.c_str()), 0);
    EXPECT_EQ(sandbox::read_file(d + "/plan"), "arnonat_batch 4 " + d + "/1\n"
                                               "arnonat_batch 4 " + d + "/2\n"
                                               "echo between\n"
                                               "ip6tables -A Y --ipv4\n"
                                               "arnonat_batch 4 " + d + "/3\n"
                                               "arnonat_batch 6 " + d + "/4\n");
    EXPECT_EQ(sandbox::read_file(d + "/1.rules"), "*filter\n-A X -j DROP\n-A X -j ACCEPT\nCOMMIT\n");
    EXPECT_EQ(sandbox::read_file(d + "/2.rules"), "*nat\n-A P -j DNAT --to 1.2.3.4\nCOMMIT\n");
    EXPECT_EQ(sandbox::read_file(d + "/2.lines"), "ip4tables -t nat -A P -j DNAT --to 1.2.3.4\n");
    EXPECT_EQ(sandbox::read_file(d + "/3.rules"), "*filter\n-A X --ipv4 -s \"a b\"\nCOMMIT\n");
    EXPECT_EQ(sandbox::read_file(d + "/3.lines"), "ip4tables -A X --ipv4 -s 'a b'\n");
    EXPECT_EQ(sandbox::read_file(d + "/4.lines"), "ip6tables -A Y -j DROP\n");
}

} // namespace
