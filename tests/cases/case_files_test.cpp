// Runs each case file under tests/cases as a test of its own, in a sandbox.
//
// A case file holds sections, each headed by a line "-- NAME --" and done in
// file order, and paragraphs of sentences saying what the sections after
// them check; the file opens with one.  An empty line ends a section.
//
//   Settings        key=value lines; in values \n is a newline, \\ a backslash;
//                   key<COMMAND takes what the shell COMMAND prints
//   File PATH       the file's content from now on
//   Run             calls: a library function and its arguments, `arnonat
//                   WORDS` or `sh ...` ($ARNONAT and $NVRAM run the program
//                   and the nvram tool), after key=value words that change
//                   settings first; "=> N" expects a result other than 0
//   Setup           calls as in Run, whose output is not looked at
//   Expect PATH     the file's lines, or "(no file)"
//   Expect stdout   what the last Run printed (a program: on either stream)
//   Expect calls    the commands the stubs recorded during the last Run
//
// "Expect X | COMMAND" compares what the shell COMMAND prints from X instead.
// What a Run printed or started and no section looked at must be nothing.
// A line that ends in a blank ends in "$", which is taken off ("$" alone is
// an empty line).  Arguments split at blanks, '...' keeps blanks, NULL is a
// null pointer.  A mismatch is shown as a unified diff.  Last, every file
// expected is run by sh: a setting that reached the shell as syntax starts
// the tripwire `pwned`.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

using Words = std::vector<std::string>;
const std::string kRoot = ARNONAT_SOURCE_DIR "/tests/cases/";
const std::string kOut = sandbox::kHome + "/out"; // what the last Run printed

const char *str(const Words &w, size_t i) { return w.at(i) == "NULL" ? nullptr : w.at(i).c_str(); }
int num(const Words &w, size_t i) { return static_cast<int>(std::stol(w.at(i), nullptr, 0)); }

// A generator that writes to a stream, here the file PATH opened to append.
int to_file(const char *path, const std::function<int(FILE *)> &write)
{
    std::unique_ptr<FILE, int (*)(FILE *)> f(std::fopen(path, "a"), std::fclose);
    return f ? write(f.get()) : -99;
}

// A function that fills a buffer prints it on a line of its own.
int shown(int result, const char *text) { return std::printf("%s\n", text), result; }

std::vector<NatRuleRecord> g_nat_rules;

#define TEXT(f) {#f, [](const Words &w) { return f(str(w, 0)); }},
#define STREAM(f) {#f, [](const Words &w) { return to_file(str(w, 0), f); }},
#define CALL(f, ...) {#f, []([[maybe_unused]] const Words &w) { return static_cast<int>(f(__VA_ARGS__)); }},

const std::map<std::string, std::function<int(const Words &)>> kCalls = {
    TEXT(ARNONAT_GenerateVPNRules) TEXT(ARNONAT_GenerateUSBRules) TEXT(ARNONAT_GenerateRemoteManagementRules)
    TEXT(ARNONAT_GenerateDosUDPPortScanRule) TEXT(ARNONAT_GenerateSSCRules) TEXT(ARNONAT_GenerateAttackRules)
    TEXT(ARNONAT_GenerateVlanRules) TEXT(ARNONAT_GenerateGuestISORules) TEXT(ARNONAT_GenerateOpenDNSRules)
    TEXT(ARNONAT_GenerateIGMPMulticastRules) TEXT(ARNONAT_GenerateUPNPDRules) TEXT(ARNONAT_GenerateRIPRules)
    TEXT(ARNONAT_GeneratePortTriggerRules) TEXT(ARNONAT_GeneratePortForwardRules)
    TEXT(ARNONAT_GenerateBlockServicesRules) TEXT(ARNONAT_GenerateVelmoraBsiteRules)
    TEXT(ARNONAT_GenerateListenPortRules) TEXT(ARNONAT_ApplyConfigForService) TEXT(ARNONAT_ExecuteOneBlockSiteRule)
    STREAM(ARNONAT_GenerateNatConfig) STREAM(ARNONAT_GenerateLanConfig) STREAM(ARNONAT_GenerateFirewallConfig)
    CALL(ARNONAT_GenerateBlockSiteRuleInRunTime) CALL(ARNONAT_PocessRIPngRules, num(w, 0))
    CALL(ARNONAT_RunArno, num(w, 0), str(w, 1)) CALL(natsim_log_size)
    CALL(agApi_setDeviceListenPort, num(w, 0), num(w, 1), num(w, 2))
    CALL(arnonat_addInputListenPort, num(w, 0), num(w, 1), num(w, 2), num(w, 3))
    CALL(agApi_setDeviceListenPort_2, num(w, 0), num(w, 1), num(w, 2), str(w, 3), str(w, 4), str(w, 5))
    CALL(arnonat_addInputListenPort_2, num(w, 0), num(w, 1), num(w, 2), num(w, 3), str(w, 4), str(w, 5), str(w, 6))
    CALL(agApi_fwServiceAdd, str(w, 0), num(w, 1), num(w, 2), num(w, 3))
    CALL(agApi_fwServiceAdd_Session2, str(w, 0), num(w, 1), num(w, 2), num(w, 3))
    {"ARNONAT_ConfigureDmzPorts", [](const Words &w) {
         return to_file(str(w, 0), [&](FILE *f) { return ARNONAT_ConfigureDmzPorts(f, num(w, 1)); });
     }},
    // The words are its argument vector, null when the first is NULL.
    {"ARNONAT_ExecuteOnePortForwardRule", [](const Words &w) {
         std::vector<char *> argv;
         for (const std::string &word : w)
             argv.push_back(const_cast<char *>(word.c_str()));
         argv.push_back(nullptr);
         return ARNONAT_ExecuteOnePortForwardRule(static_cast<int>(w.size()), w[0] == "NULL" ? nullptr : argv.data());
     }},
    {"ARNONAT_GenerateIPRangeRule", [](const Words &w) {
         char o[ARNONAT_IPRANGE_RULE_SIZE];
         return shown(ARNONAT_GenerateIPRangeRule(o, 0, str(w, 0), str(w, 1)), o); }},
    {"arnonat_getWanInterface", [](const Words &) { char o[ARNONAT_WAN_IFNAME_SIZE]; return shown(arnonat_getWanInterface(o), o); }},
    // Session 1 or 2, capacity and "default only": a line per entry, -1
    // when an entry past the capacity was written.
    {"arnonat_getServiceTable", [](const Words &w) {
         std::vector<ArnonatServiceEntry> e(static_cast<size_t>(num(w, 1)) + 1);
         std::memset(e.data(), 0x7f, e.size() * sizeof e[0]);
         int n = (num(w, 0) == 1 ? arnonat_getServiceTable : arnonat_getServiceTable2)(e.data(), num(w, 1), num(w, 2));
         for (int i = 0; i < n; ++i)
             std::printf("%s %s %s-%s %d %d\n", e[i].name, e[i].protocol, e[i].startPort, e[i].endPort, e[i].index,
                         e[i].twinIndex);
         return e.back().index == 0x7f7f7f7f ? n : -1;
     }},
    // The engine: listen ports as FIRST:SECOND pairs, a forced result, a
    // device taken away or given back, NAT rules "ID SERVER [REMOTE [unused]]".
    {"natsim_set_listen_ports", [](const Words &w) {
         std::vector<uint16_t> ports[2];
         for (const std::string &pair : w)
             for (size_t i : {0, 1})
                 ports[i].push_back(static_cast<uint16_t>(std::stoi(pair.substr(i ? pair.find(':') + 1 : 0))));
         return natsim_set_listen_ports(ports[0].data(), ports[1].data(), static_cast<int>(w.size()));
     }},
    {"natsim_force_result", [](const Words &w) { return natsim_force_result(std::stoul(w[0], nullptr, 0), num(w, 1)), 0; }},
    {"natsim_set_device", [](const Words &w) { return natsim_set_device(str(w, 0), num(w, 1)), 0; }},
    {"nat_rule", [](const Words &w) {
         NatRuleRecord r{};
         r.id = num(w, 0);
         r.lan_ip = inet_addr(str(w, 1));
         r.wan_ip = inet_addr(w.size() > 2 ? str(w, 2) : "0.0.0.0");
         r.flags_a = 2 << 4;
         r.flags_b = w.size() > 3 ? 0 : 0x10; // in use
         g_nat_rules.push_back(r);
         const int32_t windows[6] = {0, static_cast<int32_t>(g_nat_rules.size()), 0, 0, 0, 0};
         return natsim_set_nat_table(g_nat_rules.data(), static_cast<int>(g_nat_rules.size()), windows);
     }},
};

// The words of TEXT, each with where it ends.
std::vector<std::pair<std::string, size_t>> split_words(const std::string &text)
{
    std::vector<std::pair<std::string, size_t>> words;
    for (size_t i = text.find_first_not_of(' '); i < text.size(); i = text.find_first_not_of(' ', i)) {
        std::string word;
        while (i < text.size() && text[i] != ' ') {
            size_t end = text[i] == '\'' ? text.find('\'', i + 1) : i;
            word += end == i ? text.substr(i, 1) : text.substr(i + 1, end - i - 1);
            i = end == std::string::npos ? text.size() : end + 1;
        }
        words.emplace_back(word, i);
    }
    return words;
}

// Sets the setting of a "key=value" or "key<COMMAND" word or line; false for
// anything else.
bool set(const std::string &line)
{
    size_t eq = line.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_");
    if (eq == 0 || eq == std::string::npos || (line[eq] != '=' && line[eq] != '<'))
        return false;
    std::string value = line[eq] == '<' ? sandbox::run(line.substr(eq + 1)).out : "";
    if (!value.empty() && value.back() == '\n')
        value.pop_back();
    for (size_t i = eq + 1; line[eq] == '=' && i < line.size(); ++i)
        value += line[i] == '\\' && ++i < line.size() ? (line[i] == 'n' ? '\n' : line[i]) : line[i];
    sandbox::set(line.substr(0, eq), value);
    return true;
}

class Cases : public sandbox::Test, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        natsim_reset();
        g_nat_rules.clear();
        std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord); // as in a fresh process
        sandbox::install_tripwire();
        ::setenv("NVRAM", ARNONAT_NVRAM_TOOL, 1); // for `sh` lines
        ::setenv("ARNONAT", sandbox::program(ARNONAT_CLI).c_str(), 1);
        sandbox::set_date("Sun Dec  6 09:53:50 UTC 2026", "Sun Dec  6 09:53:50 UTC 2026");
    }

    // Compares the section "Expect X [| COMMAND]" at LINE with EXPECTED.
    void expect(int line, const std::string &head, const std::string &expected)
    {
        const size_t bar = head.find(" | ");
        const std::string what = head.substr(7, bar - 7);
        const std::string path = what == "stdout" ? kOut : what == "calls" ? sandbox::kCallLog : what;
        looked_.insert(what);
        if (path == what)
            files_.insert(path);
        const std::string actual = !sandbox::exists(path) ? "(no file)\n"
                                   : bar == std::string::npos
                                       ? sandbox::read_file(path)
                                       : sandbox::run("export LC_ALL=C; (" + head.substr(bar + 3) + ") <" + path).out;
        if (actual == expected)
            return;
        sandbox::write_file(sandbox::kHome + "/expected", expected);
        sandbox::write_file(sandbox::kHome + "/actual", actual);
        ADD_FAILURE_AT(path_.c_str(), line)
            << head << " differs:\n"
            << sandbox::run("cd " + sandbox::kHome + " && diff -u --label expected --label actual expected actual").out;
    }

    // Runs the line TEXT of a Run or Setup section.
    void call(int line, std::string text, bool checked)
    {
        int expected = 0, result = 0;
        if (size_t at = text.rfind(" => "); at != std::string::npos) {
            expected = std::stoi(text.substr(at + 4));
            text.erase(at);
        }
        const auto words = split_words(text);
        size_t k = 0;
        while (k < words.size() && set(words[k].first))
            ++k;
        if (k == words.size())
            return;
        const std::string &name = words[k].first;
        std::string printed;
        if (name == "arnonat" || name == "sh") {
            sandbox::Result r = name == "sh" ? sandbox::run(text.substr(k ? words[k - 1].second : 0))
                                             : sandbox::arnonat(text.substr(words[k].second));
            printed = r.out + r.err;
            result = r.status;
        } else if (auto f = kCalls.find(name); f != kCalls.end()) {
            Words args;
            for (size_t i = k + 1; i < words.size(); ++i)
                args.push_back(words[i].first);
            sandbox::StdoutCapture capture;
            result = f->second(args);
            printed = capture.finish();
        } else {
            ADD_FAILURE_AT(path_.c_str(), line) << "no such call: " << name;
        }
        sandbox::write_file(kOut, sandbox::read_file(kOut) + printed);
        if (checked || result < 0)
            EXPECT_EQ(result, expected) << path_ << ":" << line << ": " << text;
    }

    // What the last Run printed or started and no section looked at.
    void end_of_run()
    {
        for (const char *what : {"stdout", "calls"})
            if (!looked_.count(what))
                expect(run_line_, std::string("Expect ") + what, "");
        looked_ = {"stdout", "calls"};
    }

    void section(int line, const std::string &head, const std::string &text)
    {
        const Words body = sandbox::split_lines(text);
        if (head == "Settings") {
            for (const std::string &l : body)
                EXPECT_TRUE(set(l)) << path_ << ":" << line << ": not a setting: " << l;
        } else if (head.rfind("File ", 0) == 0) {
            sandbox::write_file(head.substr(5), text);
        } else if (head == "Run" || head == "Setup") {
            end_of_run();
            sandbox::clear_calls();
            natsim_log_clear();
            sandbox::write_file(kOut, "");
            for (size_t i = 0; i < body.size(); ++i)
                call(line + 1 + static_cast<int>(i), body[i], head == "Run");
            if (head == "Run")
                looked_.clear(), run_line_ = line;
        } else if (head.rfind("Expect ", 0) == 0) {
            expect(line, head, text);
        } else {
            ADD_FAILURE_AT(path_.c_str(), line) << "unknown section " << head;
        }
    }

    std::string path_;
    std::set<std::string> looked_{"stdout", "calls"}, files_;
    int run_line_ = 0;
};

TEST_P(Cases, Run)
{
    path_ = kRoot + GetParam() + ".case";
    std::string head, body;
    int n = 0, head_line = 0;
    bool described = false;
    for (const std::string &l : sandbox::split_lines(sandbox::read_file(path_) + "\n")) {
        const bool is_head = l.size() > 6 && l.rfind("-- ", 0) == 0 && l.compare(l.size() - 3, 3, " --") == 0;
        ++n;
        if (head_line && (is_head || l.empty()))
            section(head_line, head, body), head_line = 0;
        if (is_head) {
            if (!described)
                ADD_FAILURE_AT(path_.c_str(), n) << "no sentence saying what the case checks";
            head = l.substr(3, l.size() - 6), body.clear(), head_line = n, described = true;
        } else if (!l.empty() && !head_line) {
            described = true; // a sentence
        } else if (!l.empty()) {
            if (l.back() == ' ' || l.back() == '\t')
                ADD_FAILURE_AT(path_.c_str(), n) << "ends in a blank without a closing $";
            body += (l.back() == '$' ? l.substr(0, l.size() - 1) : l) + "\n";
        }
    }
    end_of_run();
    for (const std::string &file : files_)
        sandbox::run("cd /tmp && sh " + file);
    std::vector<std::string> calls = sandbox::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "pwned"), 0) << "a setting ran as a command";
}

std::vector<std::string> find_cases()
{
    std::vector<std::string> cases;
    for (const auto &e : std::filesystem::recursive_directory_iterator(kRoot))
        if (e.path().extension() == ".case")
            cases.push_back(std::filesystem::relative(e.path(), kRoot).replace_extension().string());
    std::sort(cases.begin(), cases.end());
    return cases;
}

INSTANTIATE_TEST_SUITE_P(File, Cases, ::testing::ValuesIn(find_cases()), [](const auto &info) {
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
});

} // namespace
