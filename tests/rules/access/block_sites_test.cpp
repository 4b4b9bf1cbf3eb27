// Site blocking by keyword: the lines of the batch generator in every mode,
// the run-time path, the run word "apply_blocksites", the log names and the
// shell safety of every settings text in the rules.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kRules = "/tmp/block-sites-rules";
const std::string kFlush = "iptables -F BLOCKSITE\niptables -F BLOCKSITE_IN_CHAIN\n";
const std::string kHeader = "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n";

using sandbox::split_lines;

// The keyword of every UDP DROP line of BLOCKSITE (one per keyword and
// fragment) with what follows it up to "-j DROP".
Lines blocked(const std::string &text)
{
    const std::string head = "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string ";
    Lines out;
    for (const std::string &line : split_lines(text))
        if (line.rfind(head, 0) == 0 && line.find("-j DROP") != std::string::npos)
            out.push_back(line.substr(head.size(), line.find(" -j DROP") - head.size()));
    return out;
}

size_t count_lines(const std::string &text, const std::string &part)
{
    Lines lines = split_lines(text);
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string &l) { return l.find(part) != std::string::npos; });
}

class BlockSites : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        sandbox::set("lan_ipaddr", "192.168.1.1");
        sandbox::set_date("Sun Dec  6 09:53:50 UTC 2026", "Sun Dec  6 09:53:50 UTC 2026");
    }

    // The generator's lines and what it printed.
    static std::string generate(std::string *printed = nullptr)
    {
        ::unlink(kRules.c_str());
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateVelmoraBsiteRules(kRules.c_str()), 0);
        std::string text = out.finish();
        if (printed)
            *printed = text;
        else
            EXPECT_EQ(text, "");
        return sandbox::read_file(kRules);
    }
};

TEST_F(BlockSites, AlwaysWithTrustedHostAndDnsServers)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "www.example.com");
    sandbox::set("bs_trustedip_enable", "1");
    sandbox::set("bs_trustedip", "192.168.1.20");
    sandbox::set("wan_dns", "8.8.8.8 8.8.4.4");
    EXPECT_EQ(generate(),
              "iptables -F BLOCKSITE\n"
              "iptables -F BLOCKSITE_IN_CHAIN\n"
              "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string example --algo bm  -j DROP\n"
              "iptables -I BLOCKSITE 1 -p tcp ! -d 192.168.1.1 --dport 80 -m string --string example --algo bm  -j DROP\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp --dport 53 -m string --string example --algo bm  -j DROP\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp ! -d 192.168.1.1 --dport 80 -m string --string example --algo bm  -j DROP\n"
              "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:block:example --log-level 5\n"
              "iptables -I BLOCKSITE 1 -p tcp ! -d 192.168.1.1 --dport 80 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:block:www.example.com --log-level 5\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:block:example --log-level 5\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp ! -d 192.168.1.1 --dport 80 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:block:www.example.com --log-level 5\n"
              "iptables -I BLOCKSITE 1 -p tcp -s 192.168.1.20 --dport 80 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE 1 -p udp -s 192.168.1.20 --dport 53 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE 1 -p udp -s 8.8.8.8 --dport 53 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE 1 -p udp -s 8.8.4.4 --dport 53 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp -s 192.168.1.20 --dport 80 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s 192.168.1.20 --dport 53 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s 8.8.8.8 --dport 53 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s 8.8.4.4 --dport 53 -m string --string example --algo bm  -j ACCEPT\n"
              "iptables -I BLOCKSITE 1 -p tcp -s 192.168.1.20 --dport 80 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE 1 -p udp -s 192.168.1.20 --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE 1 -p udp -s 8.8.8.8 --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE 1 -p udp -s 8.8.4.4 --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp -s 192.168.1.20 --dport 80 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s 192.168.1.20 --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s 8.8.8.8 --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n"
              "iptables -I BLOCKSITE_IN_CHAIN 1 -p udp -s 8.8.4.4 --dport 53 -m string --string example --algo bm  -j LOG --log-prefix BLOCK_SITE:allow:example --log-level 5\n");
}

TEST_F(BlockSites, AlwaysBlocksTheSiteNameOfEachKeywordInListOrder)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "www.example.com\nexample.com\n\nexample.com.au\nexample.org.uk\nexample.COM.au\n"
                                "www.example.co.uk\na.www.example.co.uk\na.b.c.d.e.f\nexample\n.example.com.\n"
                                "www..example.com\n");
    std::string text = generate();
    EXPECT_EQ(blocked(text), (Lines{"example --algo bm ", "example --algo bm ", "example --algo bm ",
                                    "example --algo bm ", "COM --algo bm ", "example --algo bm ",
                                    "www --algo bm ", "a.b.c.d.e.f --algo bm ", "example --algo bm ",
                                    "example --algo bm ", "example --algo bm "}));
    EXPECT_EQ(split_lines(text).size(), 2 + 11 * 8u);
    EXPECT_EQ(text.rfind(kFlush, 0), 0u);
}

TEST_F(BlockSites, ByScheduleOncePerFragmentWithTheKeywordsAsEntered)
{
    sandbox::set("bs_enable", "1");
    sandbox::set("bs_keywords", "www.example.com\nnews.example.net");
    sandbox::set("time_zone", "9");
    sandbox::set("schedule_config", "65:8:0:17:30");
    std::string text = generate();
    const std::string first = "-m time --timestart 23:0 --timestop 23:59 --weekdays Sat,Fri ";
    const std::string second = "-m time --timestart 0:0 --timestop 8:30 --weekdays Sun,Sat ";
    EXPECT_EQ(blocked(text), (Lines{"www.example.com --algo bm " + first, "news.example.net --algo bm " + first,
                                    "www.example.com --algo bm " + second, "news.example.net --algo bm " + second}));
    EXPECT_EQ(split_lines(text).size(), 2 + 4 * 8u);
    EXPECT_EQ(split_lines(text)[7],
              "iptables -I BLOCKSITE 1 -p tcp ! -d 192.168.1.1 --dport 80 -m string --string www.example.com "
              "--algo bm -m time --timestart 23:0 --timestop 23:59 --weekdays Sat,Fri  -j LOG --log-prefix "
              "BLOCK_SITE:block:www.example.com --log-level 5");

    // The allow set follows the drop set of each keyword, with the fragment.
    sandbox::set("bs_trustedip_enable", "1");
    sandbox::set("bs_trustedip", "192.168.1.20");
    sandbox::set("schedule_config", "65:8:0:9:0");
    text = generate();
    EXPECT_EQ(split_lines(text).size(), 2 + 2 * 16u);
    EXPECT_EQ(split_lines(text)[10],
              "iptables -I BLOCKSITE 1 -p tcp -s 192.168.1.20 --dport 80 -m string --string www.example.com "
              "--algo bm -m time --timestart 23:0 --timestop 23:59 --weekdays Sat,Fri  -j ACCEPT");
}

TEST_F(BlockSites, OnlyTheFlushLinesWhenNothingIsBlocked)
{
    sandbox::set("bs_keywords", "www.example.com");
    for (const char *mode : {"0", "3", "-1", "", "off", "123456789012"}) {
        sandbox::set("bs_enable", mode);
        EXPECT_EQ(generate(), kFlush) << mode;
    }
    sandbox::set("bs_enable", "1");
    sandbox::set("schedule_config", "0:8:0:17:30"); // no day
    EXPECT_EQ(generate(), kFlush);
    sandbox::set("schedule_config", "127:8:0"); // incomplete
    EXPECT_EQ(generate(), kFlush);

    sandbox::set("schedule_config", "127:8:0:17:30");
    for (const char *mode : {"1", "2"}) {
        sandbox::set("bs_enable", mode);
        sandbox::set("bs_keywords", "\n\n");
        EXPECT_EQ(generate(), kFlush) << mode;
    }
}

TEST_F(BlockSites, TheFileIsAppendedToAndAnUnopenableOneIsReported)
{
    sandbox::set("bs_enable", "0");
    sandbox::write_file(kRules, "# earlier lines\n");
    EXPECT_EQ(ARNONAT_GenerateVelmoraBsiteRules(kRules.c_str()), 0);
    EXPECT_EQ(sandbox::read_file(kRules), "# earlier lines\n" + kFlush);

    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateVelmoraBsiteRules("/tmp/missing/folder/rules"), -1);
    EXPECT_EQ(out.finish(), "Failed to open custom rules configuration file\n");
}

TEST_F(BlockSites, AllowSetNeedsItsSwitchAndATrustedHost)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "example");
    sandbox::set("bs_trustedip", "192.168.1.20");
    sandbox::set("wan_dns", "8.8.8.8 8.8.4.4");
    EXPECT_EQ(split_lines(generate()).size(), 2 + 8u); // switch off
    sandbox::set("bs_trustedip_enable", "1");
    for (const char *none : {"0.0.0.0", ""}) {
        sandbox::set("bs_trustedip", none);
        EXPECT_EQ(split_lines(generate()).size(), 2 + 8u) << none;
    }
    // No DNS servers: the eight lines of the trusted host alone.
    sandbox::set("bs_trustedip", "192.168.1.20");
    for (const char *dns : {"0.0.0.0", ""}) {
        sandbox::set("wan_dns", dns);
        EXPECT_EQ(split_lines(generate()).size(), 2 + 8 + 8u) << dns;
    }
    // wan_dns_sel "1" takes wan_dns1, even with wan_dns set.
    sandbox::set("wan_dns", "8.8.8.8");
    sandbox::set("wan_dns1", "1.1.1.1 9.9.9.9");
    sandbox::set("wan_dns_sel", "1");
    std::string text = generate();
    EXPECT_EQ(count_lines(text, "-s 1.1.1.1 --dport 53"), 4u);
    EXPECT_EQ(count_lines(text, "-s 9.9.9.9 --dport 53"), 4u);
    EXPECT_EQ(count_lines(text, "8.8.8.8"), 0u);
}

std::string numbered(int k, size_t length)
{
    std::string s = "kw" + std::to_string(k);
    return s + std::string(length - s.size(), 'x');
}

TEST_F(BlockSites, KeywordLimitsHoldOnBothSides)
{
    sandbox::set("bs_enable", "2");
    // 255 keywords of 127 characters: more than 16 KiB of setting.
    std::string list;
    for (int k = 1; k <= 255; ++k)
        list += numbered(k, 127) + "\n";
    sandbox::set("bs_keywords", list);
    std::string text = generate();
    Lines keys = blocked(text);
    ASSERT_EQ(keys.size(), 255u);
    EXPECT_EQ(keys[0], numbered(1, 127) + " --algo bm ");
    EXPECT_EQ(keys[254], numbered(255, 127) + " --algo bm ");

    std::string printed;
    sandbox::set("bs_keywords", list + "one-too-many");
    EXPECT_EQ(generate(&printed), text);
    EXPECT_EQ(printed, "block sites: 256 keywords, only the first 255 are blocked\n");

    sandbox::set("bs_keywords", numbered(1, 128) + "\nshort");
    EXPECT_EQ(blocked(generate(&printed)), (Lines{numbered(1, 127) + " --algo bm ", "short --algo bm "}));
    EXPECT_EQ(printed, "block sites: keyword 1 longer than 127 characters, only its first 127 are matched\n");
}

TEST_F(BlockSites, DnsListLimitsHoldOnBothSides)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "example");
    sandbox::set("bs_trustedip_enable", "1");
    sandbox::set("bs_trustedip", "192.168.1.20");
    auto servers = [](int n) {
        std::string list;
        for (int k = 0; k < n; ++k)
            list += (k ? " 1.0.0." : "1.0.0.") + std::to_string(10 + k);
        return list;
    };
    std::string printed;
    sandbox::set("wan_dns", servers(12));
    std::string twelve = generate();
    EXPECT_EQ(count_lines(twelve, "-s 1.0.0.21 --dport 53"), 4u);
    EXPECT_EQ(split_lines(twelve).size(), 2 + 8 + 8 + 4 * 12u);

    sandbox::set("wan_dns", servers(13));
    EXPECT_EQ(generate(&printed), twelve);
    EXPECT_EQ(printed, "block sites: more than 12 DNS servers, only the first 12 are trusted\n");
    // Told once, also when a schedule writes the rules twice.
    sandbox::set("bs_enable", "1");
    sandbox::set("schedule_config", "127:22:0:6:0");
    EXPECT_EQ(split_lines(generate(&printed)).size(), 2 + 2 * (8 + 8 + 4 * 12u));
    EXPECT_EQ(printed, "block sites: more than 12 DNS servers, only the first 12 are trusted\n");
    sandbox::set("bs_enable", "2");

    // 127 characters are taken whole; past them a cut address is left out.
    const std::string long_name(119, 'n');
    sandbox::set("wan_dns", "1.1.1.1 " + long_name);
    EXPECT_EQ(count_lines(generate(), "-s " + long_name + " --dport 53"), 4u);
    sandbox::set("wan_dns", "1.1.1.1 " + long_name + "n");
    std::string text = generate(&printed);
    EXPECT_EQ(count_lines(text, "-s 1.1.1.1 --dport 53"), 4u);
    EXPECT_EQ(count_lines(text, long_name), 0u);
    EXPECT_EQ(printed,
              "block sites: DNS server list longer than 127 characters, the addresses past it are not trusted\n");
    sandbox::set("wan_dns", "1.1.1.1 " + long_name + " 2.2.2.2");
    EXPECT_EQ(count_lines(generate(&printed), "-s " + long_name + " --dport 53"), 4u);
}

using sandbox::install_tripwire;

TEST_F(BlockSites, HostileSettingsReachIptablesAsPlainArgumentsAndRunNothing)
{
    install_tripwire();
    const Lines keywords = {"a;pwned", "$(pwned)", "`pwned`", "a b", "it's", "x|pwned&&pwned", "$HOME",
                            "\"q\"", "*", "-x", "$(touch /tmp/touched)"};
    std::string list;
    for (const std::string &k : keywords)
        list += k + "\n";
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", list);
    sandbox::set("lan_ipaddr", "192.168.1.1;pwned");
    sandbox::set("bs_trustedip_enable", "1");
    sandbox::set("bs_trustedip", "192.168.1.20 $(pwned)");
    sandbox::set("wan_dns", "8.8.8.8 `pwned` ;pwned");
    generate();

    sandbox::clear_calls();
    sandbox::Result r = sandbox::run("cd /tmp && sh " + kRules);
    EXPECT_EQ(r.status, 0);
    Lines calls = sandbox::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "pwned"), 0);
    EXPECT_FALSE(sandbox::exists("/tmp/touched"));
    ASSERT_EQ(calls.size(), 2 + keywords.size() * (8 + 8 + 4 * 3));

    // Each keyword arrives as one argument, exactly as entered.
    const std::string head = "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string ";
    Lines seen;
    for (const std::string &c : calls)
        if (c.rfind(head, 0) == 0 && c.size() > 8 && c.compare(c.size() - 8, 8, " -j DROP") == 0)
            seen.push_back(c.substr(head.size(), c.size() - head.size() - std::string(" --algo bm -j DROP").size()));
    Lines expected;
    for (const std::string &k : keywords)
        expected.push_back(k.find(' ') == std::string::npos ? k : "'" + k + "'");
    EXPECT_EQ(seen, expected);
    // The addresses too, and the log name built from the keyword.
    EXPECT_EQ(calls[7], "iptables -I BLOCKSITE 1 -p tcp ! -d 192.168.1.1;pwned --dport 80 -m string --string "
                        "a;pwned --algo bm -j LOG --log-prefix BLOCK_SITE:block:www.a;pwned.com --log-level 5");
    EXPECT_EQ(calls[10], "iptables -I BLOCKSITE 1 -p tcp -s '192.168.1.20 $(pwned)' --dport 80 -m string --string "
                         "a;pwned --algo bm -j ACCEPT");
    EXPECT_EQ(calls[13], "iptables -I BLOCKSITE 1 -p udp -s `pwned` --dport 53 -m string --string a;pwned "
                         "--algo bm -j ACCEPT");
}

TEST_F(BlockSites, AnOverlongAddressRefusesItsLinesAlone)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "example");
    sandbox::set("lan_ipaddr", std::string(600, '1'));
    std::string printed;
    std::string text = generate(&printed);
    EXPECT_EQ(split_lines(text).size(), 2 + 4u); // the four UDP lines
    EXPECT_EQ(count_lines(text, "-p tcp"), 0u);
    EXPECT_EQ(count_lines(printed, "[ARNONAT_GenerateVelmoraBsiteRules]:text longer than 510 bytes refused"), 4u);
}

TEST(LogName, WwwAndComAroundTheName)
{
    constexpr int kOwn = -1000;
    struct Row {
        const char *keyword;
        int length; // kOwn: the keyword's own
        const char *name;
    };
    const Row rows[] = {
        {"www.example.com", kOwn, "www.example.com"},
        {"example.com", kOwn, "www.example.com"},
        {"www.example", kOwn, "www.example.com"},
        {"example", kOwn, "www.example.com"},
        {"www.compute.example.com", kOwn, "www.www.compute.example.com.com"},
        {"www.x.com", kOwn, "www.x.com"},
        {"www..com", kOwn, "www.www..com.com"},
        {".com", kOwn, "www..com.com"},
        {"www.", kOwn, "www.www..com"},
        {"news.example.com.au", kOwn, "www.news.example.com"},
        {"", kOwn, "www..com"},
        // A length longer than the keyword never reads past its end.
        {"www.a", 100, "www.a.com"},
        {"b.com", 1000, "www.b.com.com"},
        {"www.example.com", 0, "www.www.example.com.com"},
        {"example", -5, "www.example.com"},
    };
    for (const Row &r : rows) {
        char out[ARNONAT_TOKEN_SIZE];
        int length = r.length == kOwn ? static_cast<int>(std::strlen(r.keyword)) : r.length;
        EXPECT_EQ(transferKeyWordForLog(r.keyword, length, out), out);
        EXPECT_STREQ(out, r.name) << r.keyword << " " << length;
    }
}

TEST(LogName, CutTo127Characters)
{
    char out[ARNONAT_TOKEN_SIZE];
    for (size_t length : {119, 120, 127}) {
        std::string keyword(length, 'k');
        transferKeyWordForLog(keyword.c_str(), static_cast<int>(length), out);
        EXPECT_EQ(std::string(out), ("www." + keyword + ".com").substr(0, 127)) << length;
    }
}

class BlockSitesAtRunTime : public BlockSites {};

TEST_F(BlockSitesAtRunTime, FlushesAtOnceThenRunsOneFilePerKeyword)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "www.example.com\n\nweather.net");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateBlockSiteRuleInRunTime(), 0);
    EXPECT_EQ(out.finish(), "");
    Lines calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 2 + 2 * 8u);
    EXPECT_EQ(calls[0], "iptables -F BLOCKSITE");
    EXPECT_EQ(calls[1], "iptables -F BLOCKSITE_IN_CHAIN");
    EXPECT_EQ(calls[2], "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string example --algo bm -j DROP");
    EXPECT_EQ(calls[10], "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string weather --algo bm -j DROP");
    EXPECT_EQ(calls[17], "iptables -I BLOCKSITE_IN_CHAIN 1 -p tcp ! -d 192.168.1.1 --dport 80 -m string --string "
                         "weather --algo bm -j LOG --log-prefix BLOCK_SITE:block:www.weather.com --log-level 5");

    // The file of the last keyword stays, runnable.
    std::string file = sandbox::read_file("/tmp/custom-service-rules");
    EXPECT_EQ(file.rfind(kHeader, 0), 0u);
    EXPECT_EQ(blocked(file), Lines{"weather --algo bm "});
    struct stat st;
    ASSERT_EQ(::stat("/tmp/custom-service-rules", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);

    // A hostile keyword from another program runs nothing either.
    install_tripwire();
    sandbox::clear_calls();
    EXPECT_EQ(ARNONAT_ExecuteOneBlockSiteRule("x;pwned $(pwned) `pwned`"), 0);
    calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0], "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string 'x;pwned $(pwned) `pwned`' "
                        "--algo bm -j DROP");
}

TEST_F(BlockSitesAtRunTime, ByScheduleWithTheTrustedHost)
{
    sandbox::set("bs_enable", "1");
    sandbox::set("bs_trustedip_enable", "1");
    sandbox::set("bs_trustedip", "192.168.1.20");
    sandbox::set("time_zone", "0");
    sandbox::set("schedule_config", "127:22:0:6:0");
    EXPECT_EQ(ARNONAT_ExecuteOneBlockSiteRule("www.example.com"), 0);
    std::string file = sandbox::read_file("/tmp/custom-service-rules");
    // Used as given: the caller reduces.
    EXPECT_EQ(blocked(file),
              (Lines{"www.example.com --algo bm -m time --timestart 22:0 --timestop 23:59 --weekdays "
                     "Mon,Tue,Wed,Thu,Fri,Sat,Sun ",
                     "www.example.com --algo bm -m time --timestart 0:0 --timestop 6:0 --weekdays "
                     "Mon,Tue,Wed,Thu,Fri,Sat,Sun "}));
    EXPECT_EQ(split_lines(file).size(), 2 + 2 * 16u);
    EXPECT_EQ(sandbox::calls().size(), 2 * 16u);
}

TEST_F(BlockSitesAtRunTime, OffUnknownModesNoKeywordAndNoFile)
{
    const Lines flush = {"iptables -F BLOCKSITE", "iptables -F BLOCKSITE_IN_CHAIN"};
    sandbox::set("bs_keywords", "www.example.com\nweather.net");
    sandbox::set("bs_enable", "0");
    EXPECT_EQ(ARNONAT_GenerateBlockSiteRuleInRunTime(), 0);
    EXPECT_EQ(sandbox::calls(), flush);
    EXPECT_FALSE(sandbox::exists("/tmp/custom-service-rules"));
    // Another mode still writes and runs a file per keyword, without rules.
    sandbox::clear_calls();
    sandbox::set("bs_enable", "7");
    EXPECT_EQ(ARNONAT_GenerateBlockSiteRuleInRunTime(), 0);
    EXPECT_EQ(sandbox::calls(), flush);
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"), kHeader);

    sandbox::clear_calls();
    sandbox::set("bs_enable", "2");
    sandbox::write_file("/tmp/custom-service-rules", "earlier\n");
    EXPECT_EQ(ARNONAT_ExecuteOneBlockSiteRule(nullptr), 0);
    EXPECT_EQ(ARNONAT_ExecuteOneBlockSiteRule(""), 0);
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"), "earlier\n");
    EXPECT_EQ(sandbox::calls(), Lines{});

    // A folder in the file's place cannot be replaced.
    ::unlink("/tmp/custom-service-rules");
    ::mkdir("/tmp/custom-service-rules", 0755);
    sandbox::write_file("/tmp/custom-service-rules/x", "");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_ExecuteOneBlockSiteRule("example"), 0);
    EXPECT_EQ(out.finish(),
              "[ARNONAT_ExecuteOneBlockSiteRule]:cannot write /tmp/custom-service-rules: Is a directory; the "
              "previous file stays in place\n");
    EXPECT_EQ(sandbox::calls(), Lines{});
}

class ApplyBlockSitesWord : public BlockSites {};

TEST_F(ApplyBlockSitesWord, RewritesTheRunTimeFileAndRunsTheRunner)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "www.example.com");
    sandbox::write_file("/tmp/custom-service-rules", "#!/bin/sh\nold rules\n");
    sandbox::write_file("/tmp/extra_arno_config", "untouched\n");

    sandbox::Result r = sandbox::arnonat("apply_blocksites");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    std::string file = sandbox::read_file("/tmp/custom-service-rules");
    EXPECT_EQ(file.rfind(kFlush, 0), 0u); // no header: the generator starts the file
    EXPECT_EQ(split_lines(file).size(), 2 + 8u);
    Lines calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 1 + 2 + 8u);
    EXPECT_EQ(calls[0], "/sbin/main_run_custom_services");
    EXPECT_EQ(calls[1], "iptables -F BLOCKSITE");
    EXPECT_EQ(calls[3], "iptables -I BLOCKSITE 1 -p udp --dport 53 -m string --string example --algo bm -j DROP");
    EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"), "untouched\n");

    // Off: the runner empties both chains.
    sandbox::clear_calls();
    sandbox::set("bs_enable", "0");
    EXPECT_EQ(sandbox::arnonat("apply_blocksites").status, 0);
    EXPECT_EQ(sandbox::calls(), (Lines{"/sbin/main_run_custom_services", "iptables -F BLOCKSITE",
                                       "iptables -F BLOCKSITE_IN_CHAIN"}));
}

TEST_F(BlockSites, JoinsTheCustomRulesAfterTheStockRules)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "example");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateCustomRules(2), 0);
    EXPECT_EQ(out.finish().find("Block site"), std::string::npos);
    std::string rules = sandbox::read_file("/tmp/custom_iptables_rules");
    EXPECT_EQ(rules.rfind(sandbox::kStockRules, 0), 0u);
    EXPECT_NE(rules.find(kFlush), std::string::npos);
    EXPECT_EQ(blocked(rules), Lines{"example --algo bm "});
}

} // namespace
