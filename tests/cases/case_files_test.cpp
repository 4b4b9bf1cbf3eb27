// Runs each case file under tests/cases as a test of its own, in a sandbox.
//
// A case file opens with a sentence saying what it checks, then sections,
// each headed by a line "-- NAME --" and done in file order:
//
//   Settings        key=value lines; in values \n is a newline, \\ a backslash
//   Date            what `date` prints, then what `date -u` prints
//   File PATH       the file's content before the run
//   Setup           calls whose output is not checked (the engine, folders)
//   Run             calls: a library function and its arguments, `arnonat
//                   WORDS` or `sh ...`, after key=value words that change
//                   settings first; "=> N" expects a result other than 0
//   Expect PATH     the file's lines, or "(no file)"
//   Expect stdout   what the last Run printed
//   Expect stderr   the same on standard error (programs and shell only)
//   Expect calls    the commands the stubs recorded during the last Run
//   Then            a sentence saying what the sections after it check
//
// "Expect X | COMMAND" compares what COMMAND prints from X instead.  What a
// Run printed or started and no section named must be nothing.  A line that
// ends in a blank ends in "$"; a "$" at the end of a line is taken off.
// Arguments split at blanks, '...' keeps blanks, NULL is a null pointer.
// Afterwards every file expected is run by sh: a setting that reached the
// shell as syntax starts the tripwire `pwned`.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

using Words = std::vector<std::string>;

struct Section {
    std::string head, text; // text: its lines, each with its newline
    int line;
};

struct CaseFile {
    std::string name, path, error;
    std::vector<Section> sections;
};

void PrintTo(const CaseFile &c, std::ostream *os) { *os << c.path; }

CaseFile parse(const std::string &path)
{
    CaseFile c{"", path, "", {}};
    bool described = false;
    size_t blanks = 0; // empty lines held back: those before a head separate sections
    int n = 0;
    for (const std::string &l : sandbox::split_lines(sandbox::read_file(path) + "\n-- end --")) {
        ++n;
        if (l.size() > 6 && l.rfind("-- ", 0) == 0 && l.compare(l.size() - 3, 3, " --") == 0) {
            c.sections.push_back({l.substr(3, l.size() - 6), "", n});
            blanks = 0;
        } else if (c.sections.empty()) {
            described = described || !l.empty();
        } else if (l.empty()) {
            ++blanks;
        } else {
            if (l.back() == ' ' || l.back() == '\t')
                c.error += "\"" + l + "\" ends in a blank without a closing $\n";
            c.sections.back().text += std::string(blanks, '\n') + (l.back() == '$' ? l.substr(0, l.size() - 1) : l) + "\n";
            blanks = 0;
        }
    }
    c.sections.pop_back(); // the end mark
    if (!described)
        c.error += "no sentence saying what the case checks\n";
    return c;
}

std::vector<CaseFile> find_cases()
{
    namespace fs = std::filesystem;
    const fs::path root = ARNONAT_SOURCE_DIR "/tests/cases";
    std::vector<CaseFile> cases;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(root))
        if (e.path().extension() == ".case") {
            cases.push_back(parse(e.path().string()));
            std::string &name = cases.back().name = fs::relative(e.path(), root).replace_extension().string();
            std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
        }
    std::sort(cases.begin(), cases.end(), [](const CaseFile &a, const CaseFile &b) { return a.name < b.name; });
    return cases;
}

// ---- the calls a case can make

const char *str(const Words &w, size_t i) { return w.at(i) == "NULL" ? nullptr : w.at(i).c_str(); }
int num(const Words &w, size_t i) { return static_cast<int>(std::stol(w.at(i), nullptr, 0)); }

void set(const std::string &line)
{
    std::string value;
    for (size_t i = line.find('=') + 1; i < line.size(); ++i)
        value += line[i] == '\\' && ++i < line.size() ? (line[i] == 'n' ? '\n' : line[i]) : line[i];
    sandbox::set(line.substr(0, line.find('=')), value);
}

// A generator that writes to a stream, here the file PATH opened to append.
int to_file(const char *path, const std::function<int(FILE *)> &write)
{
    FILE *f = std::fopen(path, "a");
    int r = f ? write(f) : -99;
    if (f)
        std::fclose(f);
    return r;
}

std::vector<NatRuleRecord> g_nat_rules;

struct Function {
    size_t words; // SIZE_MAX: any number
    std::function<int(const Words &)> call;
};

#define TEXT(f) {#f, {1, [](const Words &w) { return f(str(w, 0)); }}},
#define STREAM(f) {#f, {1, [](const Words &w) { return to_file(str(w, 0), f); }}},
#define CALL(f, n, ...) {#f, {n, [](const Words &w) { return f(__VA_ARGS__); }}},

const std::map<std::string, Function> kFunctions = {
    TEXT(ARNONAT_GenerateVPNRules) TEXT(ARNONAT_GenerateUSBRules) TEXT(ARNONAT_GenerateRemoteManagementRules)
    TEXT(ARNONAT_GenerateDosUDPPortScanRule) TEXT(ARNONAT_GenerateSSCRules) TEXT(ARNONAT_GenerateAttackRules)
    TEXT(ARNONAT_GenerateVlanRules) TEXT(ARNONAT_GenerateGuestISORules) TEXT(ARNONAT_GenerateOpenDNSRules)
    TEXT(ARNONAT_GenerateIGMPMulticastRules) TEXT(ARNONAT_GenerateUPNPDRules) TEXT(ARNONAT_GenerateRIPRules)
    TEXT(ARNONAT_GeneratePortTriggerRules) TEXT(ARNONAT_GeneratePortForwardRules)
    TEXT(ARNONAT_GenerateBlockServicesRules) TEXT(ARNONAT_GenerateVelmoraBsiteRules)
    TEXT(ARNONAT_GenerateListenPortRules) TEXT(ARNONAT_ApplyConfigForService) TEXT(ARNONAT_ExecuteOneBlockSiteRule)
    STREAM(ARNONAT_GenerateNatConfig) STREAM(ARNONAT_GenerateLanConfig) STREAM(ARNONAT_GenerateFirewallConfig)
    CALL(ARNONAT_GenerateBlockSiteRuleInRunTime, 0)
    CALL(ARNONAT_PocessRIPngRules, 1, num(w, 0))
    CALL(ARNONAT_RunArno, 2, num(w, 0), str(w, 1))
    CALL(agApi_setDeviceListenPort, 3, num(w, 0), num(w, 1), num(w, 2))
    CALL(arnonat_addInputListenPort, 4, num(w, 0), num(w, 1), num(w, 2), num(w, 3))
    CALL(agApi_setDeviceListenPort_2, 6, num(w, 0), num(w, 1), num(w, 2), str(w, 3), str(w, 4), str(w, 5))
    CALL(arnonat_addInputListenPort_2, 7, num(w, 0), num(w, 1), num(w, 2), num(w, 3), str(w, 4), str(w, 5),
         str(w, 6))
    CALL(natsim_log_size, 0)
    CALL(agApi_fwServiceAdd, 4, str(w, 0), num(w, 1), num(w, 2), num(w, 3))
    CALL(agApi_fwServiceAdd_Session2, 4, str(w, 0), num(w, 1), num(w, 2), num(w, 3))
    {"natsim_reset", {0, [](const Words &) { return natsim_reset(), g_nat_rules.clear(), 0; }}},
    {"ARNONAT_ConfigureDmzPorts", {2, [](const Words &w) {
         return to_file(str(w, 0), [&](FILE *f) { return ARNONAT_ConfigureDmzPorts(f, num(w, 1)); });
     }}},
    {"ARNONAT_ExecuteOnePortForwardRule", {SIZE_MAX, [](const Words &w) {
         std::vector<char *> argv;
         for (const std::string &word : w)
             argv.push_back(const_cast<char *>(word.c_str()));
         argv.push_back(nullptr);
         return ARNONAT_ExecuteOnePortForwardRule(static_cast<int>(w.size()), argv.data());
     }}},
    // A function that fills a buffer prints it on a line of its own.
    {"ARNONAT_GenerateIPRangeRule", {2, [](const Words &w) {
         char out[ARNONAT_IPRANGE_RULE_SIZE];
         int r = ARNONAT_GenerateIPRangeRule(out, 0, str(w, 0), str(w, 1));
         std::printf("%s\n", out);
         return r;
     }}},
    {"arnonat_getWanInterface", {0, [](const Words &) {
         char out[ARNONAT_WAN_IFNAME_SIZE];
         int r = arnonat_getWanInterface(out);
         std::printf("%s\n", out);
         return r;
     }}},
    // Session 1 or 2, capacity and "default only": a line per entry, -1
    // when an entry past the capacity was written.
    {"arnonat_getServiceTable", {3, [](const Words &w) {
         std::vector<ArnonatServiceEntry> e(static_cast<size_t>(num(w, 1)) + 1);
         std::memset(e.data(), 0x7f, e.size() * sizeof e[0]);
         int n = (num(w, 0) == 1 ? arnonat_getServiceTable : arnonat_getServiceTable2)(e.data(), num(w, 1), num(w, 2));
         for (int i = 0; i < n; ++i)
             std::printf("%s %s %s-%s %d %d\n", e[i].name, e[i].protocol, e[i].startPort, e[i].endPort, e[i].index,
                         e[i].twinIndex);
         return e.back().index == 0x7f7f7f7f ? n : -1;
     }}},
    // The engine: listen ports as FIRST:SECOND pairs, a forced result, a
    // device taken away or given back, NAT rules "ID SERVER [REMOTE [unused]]".
    {"natsim_set_listen_ports", {SIZE_MAX, [](const Words &w) {
         std::vector<uint16_t> first, second;
         for (const std::string &pair : w) {
             first.push_back(static_cast<uint16_t>(std::stoi(pair)));
             second.push_back(static_cast<uint16_t>(std::stoi(pair.substr(pair.find(':') + 1))));
         }
         return natsim_set_listen_ports(first.data(), second.data(), static_cast<int>(w.size()));
     }}},
    {"natsim_force_result", {2, [](const Words &w) { return natsim_force_result(std::stoul(w[0], nullptr, 0), num(w, 1)), 0; }}},
    {"natsim_set_device", {2, [](const Words &w) { return natsim_set_device(str(w, 0), num(w, 1)), 0; }}},
    {"nat_rule", {SIZE_MAX, [](const Words &w) {
         NatRuleRecord r{};
         r.id = num(w, 0);
         r.lan_ip = inet_addr(str(w, 1));
         r.wan_ip = inet_addr(w.size() > 2 ? str(w, 2) : "0.0.0.0");
         r.flags_a = 2 << 4;
         r.flags_b = w.size() > 3 ? 0 : 0x10; // in use
         g_nat_rules.push_back(r);
         const int32_t windows[6] = {0, static_cast<int32_t>(g_nat_rules.size()), 0, 0, 0, 0};
         return natsim_set_nat_table(g_nat_rules.data(), static_cast<int>(g_nat_rules.size()), windows);
     }}},
};

// The words of TEXT; AFTER gets where each ends.
Words split_words(const std::string &text, std::vector<size_t> &after)
{
    Words words;
    for (size_t i = text.find_first_not_of(' '); i < text.size(); i = text.find_first_not_of(' ', i)) {
        std::string word;
        while (i < text.size() && text[i] != ' ') {
            size_t end = text[i] == '\'' ? text.find('\'', i + 1) : i;
            word += end == i ? text.substr(i, 1) : text.substr(i + 1, end - i - 1);
            i = end == std::string::npos ? text.size() : end + 1;
        }
        words.push_back(word);
        after.push_back(i);
    }
    return words;
}

bool is_setting(const std::string &word)
{
    size_t eq = word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_");
    return eq > 0 && eq != std::string::npos && word[eq] == '=';
}

// The text of FILE through the shell COMMAND.
std::string filtered(const std::string &text, const std::string &command)
{
    sandbox::write_file(sandbox::kHome + "/filtered", text);
    return sandbox::run("export LC_ALL=C; (" + command + ") <" + sandbox::kHome + "/filtered").out;
}

class Cases : public sandbox::Test, public ::testing::WithParamInterface<CaseFile> {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        natsim_reset();
        g_nat_rules.clear();
        std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord); // as in a fresh process
        sandbox::install_tripwire();
        sandbox::set_date("Sun Dec  6 09:53:50 UTC 2026", "Sun Dec  6 09:53:50 UTC 2026");
    }

    void expect(int line, const std::string &what, const std::string &expected, const std::string &actual)
    {
        if (expected == actual)
            return;
        sandbox::write_file(sandbox::kHome + "/expected", expected);
        sandbox::write_file(sandbox::kHome + "/actual", actual);
        ADD_FAILURE_AT(GetParam().path.c_str(), line)
            << what << " differs:\n"
            << sandbox::run("cd " + sandbox::kHome + " && diff -u --label expected --label actual expected actual").out;
    }

    // Runs one line of a Run or Setup section starting at LINE.
    void call(int line, std::string text, bool checked)
    {
        int expected = 0, result = 0;
        if (size_t at = text.rfind(" => "); at != std::string::npos) {
            expected = std::stoi(text.substr(at + 4));
            text.erase(at);
        }
        std::vector<size_t> after;
        Words words = split_words(text, after);
        size_t n = 0;
        for (; n < words.size() && is_setting(words[n]); ++n)
            set(words[n]);
        text = n ? text.substr(after[n - 1]) : text;
        words.erase(words.begin(), words.begin() + static_cast<long>(n));
        if (words.empty())
            return;
        if (words[0] == "arnonat" || words[0] == "sh") {
            sandbox::Result r = words[0] == "sh" ? sandbox::run(text) : sandbox::arnonat(text.substr(text.find("arnonat") + 7));
            out_ += r.out;
            err_ += r.err;
            result = r.status;
        } else {
            auto f = kFunctions.find(words[0]);
            words.erase(words.begin());
            if (f == kFunctions.end() || (f->second.words != SIZE_MAX && f->second.words != words.size())) {
                ADD_FAILURE_AT(GetParam().path.c_str(), line) << "no such call: " << text;
                return;
            }
            sandbox::StdoutCapture capture;
            result = f->second.call(words);
            out_ += capture.finish();
        }
        if (checked || result < 0)
            EXPECT_EQ(result, expected) << GetParam().path << ":" << line << ": " << text;
    }

    // What the last Run printed or started and no section named.
    void end_of_run()
    {
        for (const auto &[what, text, checked] : {std::tuple{"stdout", out_, out_checked_},
                                                  std::tuple{"stderr", err_, err_checked_},
                                                  std::tuple{"calls", sandbox::read_file(sandbox::kCallLog), calls_checked_}})
            if (!checked)
                expect(run_line_, what, "", text);
        out_.clear();
        err_.clear();
        out_checked_ = err_checked_ = calls_checked_ = true;
    }

    std::string out_, err_;
    int run_line_ = 0;
    bool out_checked_ = true, err_checked_ = true, calls_checked_ = true;
};

TEST_P(Cases, Run)
{
    const CaseFile &c = GetParam();
    ASSERT_EQ(c.error, "") << c.path;
    for (const Section &s : c.sections) {
        const std::vector<std::string> body = sandbox::split_lines(s.text);
        const size_t bar = s.head.find(" | ");
        const std::string h = s.head.substr(0, bar);
        auto through = [&](const std::string &text) { return bar == std::string::npos ? text : filtered(text, s.head.substr(bar + 3)); };
        if (h == "Settings") {
            for (const std::string &l : body)
                set(l);
        } else if (h == "Date") {
            ASSERT_EQ(body.size(), 2u) << c.path << ":" << s.line;
            sandbox::set_date(body[0], body[1]);
        } else if (h.rfind("File ", 0) == 0) {
            sandbox::write_file(h.substr(5), s.text);
        } else if (h == "Setup" || h == "Run") {
            if (h == "Run") {
                end_of_run();
                run_line_ = s.line;
                out_checked_ = err_checked_ = calls_checked_ = false;
            }
            sandbox::clear_calls();
            natsim_log_clear();
            for (size_t i = 0; i < body.size(); ++i)
                call(s.line + 1 + static_cast<int>(i), body[i], h == "Run");
            if (h == "Setup") {
                out_.clear();
                err_.clear();
            }
        } else if (h == "Expect stdout" || h == "Expect stderr" || h == "Expect calls") {
            std::string actual = h == "Expect stdout" ? out_ : h == "Expect stderr" ? err_ : sandbox::read_file(sandbox::kCallLog);
            expect(s.line, s.head, s.text, through(actual));
            (h == "Expect stdout" ? out_checked_ : h == "Expect stderr" ? err_checked_ : calls_checked_) = true;
        } else if (h.rfind("Expect /", 0) == 0) {
            std::string path = h.substr(7);
            expect(s.line, s.head, s.text, through(sandbox::exists(path) ? sandbox::read_file(path) : "(no file)\n"));
        } else if (h != "Then") {
            ADD_FAILURE_AT(c.path.c_str(), s.line) << "unknown section " << h;
        }
    }
    end_of_run();
    for (const Section &s : c.sections)
        if (s.head.rfind("Expect /", 0) == 0)
            sandbox::run("cd /tmp && sh " + s.head.substr(7, s.head.find(" | ") - 7));
    std::vector<std::string> calls = sandbox::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "pwned"), 0) << "a setting ran as a command";
}

INSTANTIATE_TEST_SUITE_P(File, Cases, ::testing::ValuesIn(find_cases()),
                         [](const ::testing::TestParamInfo<CaseFile> &info) { return info.param.name; });

} // namespace
