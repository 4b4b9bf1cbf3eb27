// Service blocking: the lines of the generator for every protocol, source
// kind and mode, the name decoding, malformed entries, the shell safety of
// every settings text, and the run words "bs" and "apply_blockservices".
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kRules = "/tmp/block-services-rules";
const std::string kFlush = "iptables -F BLOCK_SERVICE_CHAIN\n";
const std::string kHead = "iptables -A BLOCK_SERVICE_CHAIN --ipv4 -i br0 -o eth0 ";

using sandbox::split_lines;

std::string decoded(const std::string &name)
{
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    fw_restore_space(buffer.data());
    return buffer.data();
}

class BlockServices : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        sandbox::set("lan_ifname", "br0");
        sandbox::set("wan_ifname", "eth0");
        sandbox::set_date("Sun Dec  6 09:53:50 UTC 2026", "Sun Dec  6 09:53:50 UTC 2026");
    }

    // The generator's lines after the flush line; what it prints goes to
    // PRINTED, or must be nothing.
    static Lines generate(const std::string &type, const std::string &entries, std::string *printed = nullptr)
    {
        sandbox::set("fw_bks_block_type", type);
        sandbox::set("fw_bks_block_service", entries);
        ::unlink(kRules.c_str());
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateBlockServicesRules(kRules.c_str()), 0);
        std::string text = out.finish();
        if (printed)
            *printed = text;
        else
            EXPECT_EQ(text, "");
        std::string file = sandbox::read_file(kRules);
        EXPECT_EQ(file.rfind(kFlush, 0), 0u);
        EXPECT_EQ(file.back(), '\n');
        return split_lines(file.substr(kFlush.size()));
    }
};

TEST_F(BlockServices, BothProtocolsFromARangeOfHosts)
{
    EXPECT_EQ(generate("2", "x;y;N;3;6970;7170;z;2;192.168.1.10;192.168.1.20@"),
              (Lines{kHead + "-p udp --dport 6970:7170 -m iprange --src-range 192.168.1.10-192.168.1.20 -j LOG "
                             "--log-prefix BLOCK_SERVICE:N --log-level 5",
                     kHead + "-p tcp --dport 6970:7170 -m iprange --src-range 192.168.1.10-192.168.1.20 -j LOG "
                             "--log-prefix BLOCK_SERVICE:N --log-level 5",
                     kHead + "-p udp --dport 6970:7170 -m iprange --src-range 192.168.1.10-192.168.1.20 -j DROP",
                     kHead + "-p tcp --dport 6970:7170 -m iprange --src-range 192.168.1.10-192.168.1.20 -j DROP"}));
}

TEST_F(BlockServices, EachProtocolAndSourceKind)
{
    // TCP from one host: the tenth field is read over.
    EXPECT_EQ(generate("2", "1;1;HTTP;1;80;80;0;1;192.168.1.5;192.168.1.9@"),
              (Lines{kHead + "-p tcp --dport 80:80 -m iprange --src-range 192.168.1.5-192.168.1.5 -j LOG "
                             "--log-prefix BLOCK_SERVICE:HTTP --log-level 5",
                     kHead + "-p tcp --dport 80:80 -m iprange --src-range 192.168.1.5-192.168.1.5 -j DROP"}));
    // Any protocol but 1 and 3 is UDP; any source kind but 1 and 2 is every
    // LAN host; entries keep their settings order.
    EXPECT_EQ(generate("2", "1;1;DNS;2;53;53;0;0;1.2.3.4;5.6.7.8@1;1;TFTP;17;69;69;0;9;1.2.3.4@"),
              (Lines{kHead + "-p udp --dport 53:53 -j LOG --log-prefix BLOCK_SERVICE:DNS --log-level 5",
                     kHead + "-p udp --dport 53:53 -j DROP",
                     kHead + "-p udp --dport 69:69 -j LOG --log-prefix BLOCK_SERVICE:TFTP --log-level 5",
                     kHead + "-p udp --dport 69:69 -j DROP"}));
    // A range without its last address, and a second entry on a PPP link.
    sandbox::set("wan_proto", "pppoe");
    Lines lines = generate("2", "1;1;A;1;1;2;0;2;10.0.0.1@");
    EXPECT_EQ(lines[1], "iptables -A BLOCK_SERVICE_CHAIN --ipv4 -i br0 -o ppp0 -p tcp --dport 1:2 -j DROP");
}

TEST_F(BlockServices, NamesAreDecodedForTheLogPrefix)
{
    Lines lines = generate("2", "1;1;Game (PC);1;1;1;0;0@1;1;a\\sb\\tc\\\\d\\x;1;1;1;0;0@");
    EXPECT_NE(lines[0].find("--log-prefix BLOCK_SERVICE:Game--PC- --log-level"), std::string::npos);
    EXPECT_NE(lines[2].find("--log-prefix BLOCK_SERVICE:'a@b;c\\d\\x' --log-level"), std::string::npos);

    EXPECT_EQ(decoded("a\\sb"), "a@b");
    EXPECT_EQ(decoded("\\t\\\\s\\"), ";\\s\\");
    EXPECT_EQ(decoded(std::string(200, 'n')), std::string(95, 'n'));
    EXPECT_EQ(decoded(std::string(100, '\\') + "s"), std::string(50, '\\') + "s");
    fw_restore_space(nullptr);
}

TEST_F(BlockServices, ScheduleFragmentsGoIntoDropLinesOnly)
{
    const std::string entries = "1;1;FTP;1;20;21;0;0@1;1;DNS;3;53;53;0;0@";
    Lines always = generate("2", entries);
    ASSERT_EQ(always.size(), 6u);

    sandbox::set("time_zone", "0");
    sandbox::set("schedule_config", "65:8:0:17:30");
    const std::string fragment = "-m time --timestart 8:0 --timestop 17:30 --weekdays Sun,Sat ";
    std::string printed;
    Lines scheduled = generate("1", entries, &printed);
    ASSERT_EQ(scheduled.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        bool drop = always[i].find("-j DROP") != std::string::npos;
        std::string expected = always[i];
        if (drop)
            expected.insert(expected.find("-j DROP"), fragment);
        EXPECT_EQ(scheduled[i], expected) << i;
    }

    // Two fragments: every entry twice, first fragment first.
    sandbox::set("time_zone", "9");
    Lines twice = generate("1", entries, &printed);
    ASSERT_EQ(twice.size(), 12u);
    EXPECT_EQ(twice[1], kHead + "-p tcp --dport 20:21 -m time --timestart 23:0 --timestop 23:59 "
                                "--weekdays Sat,Fri -j DROP");
    EXPECT_EQ(twice[6], always[0]);
    EXPECT_EQ(twice[7], kHead + "-p tcp --dport 20:21 -m time --timestart 0:0 --timestop 8:30 "
                                "--weekdays Sun,Sat -j DROP");

    // No window at all: nothing but the flush line.
    sandbox::set("schedule_config", "0:8:0:17:30");
    EXPECT_TRUE(generate("1", entries, &printed).empty());
}

TEST_F(BlockServices, OnlyTheFlushLineWhenNothingIsBlocked)
{
    const std::string entry = "1;1;FTP;1;20;21;0;0@";
    EXPECT_TRUE(generate("0", entry).empty());
    EXPECT_TRUE(generate("3", entry).empty());
    EXPECT_TRUE(generate("", entry).empty());
    EXPECT_TRUE(generate("2", "").empty());
    EXPECT_TRUE(generate("2", "1;1;FTP;1;20;21;0;0").empty()); // no "@"
    EXPECT_EQ(generate("2xyz", entry).size(), 2u);                  // atoi reads the 2
}

TEST_F(BlockServices, TheFileIsAppendedToAndAnUnopenableOneIsReported)
{
    sandbox::write_file(kRules, "first\n");
    sandbox::set("fw_bks_block_type", "0");
    EXPECT_EQ(ARNONAT_GenerateBlockServicesRules(kRules.c_str()), 0);
    EXPECT_EQ(sandbox::read_file(kRules), "first\n" + kFlush);

    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateBlockServicesRules("/tmp/no/such/dir/rules"), -1);
    EXPECT_EQ(out.finish(), "Failed to open custom rules configuration file\n");
    EXPECT_EQ(ARNONAT_ExecuteOneBlockServiceRule(3, 1), 0);
}

TEST_F(BlockServices, MalformedEntriesStayWithinThemselves)
{
    std::string printed;
    // Too few fields, an empty entry and an entry with extra ";" and empty
    // fields (skipped as absent); nothing bleeds into the next entry.
    Lines lines = generate("2", "1;1;Short@@;;1;;1;HTTP;;1;80;80;;0;0@1;1;NoPorts;1@1;1;X;3;1;2;0;2;1.1.1.1@", &printed);
    EXPECT_EQ(printed, "block services: entry 1 has only 3 fields, it is skipped\n"
                       "block services: entry 2 has only 0 fields, it is skipped\n");
    EXPECT_EQ(lines, (Lines{kHead + "-p tcp --dport 80:80 -j LOG --log-prefix BLOCK_SERVICE:HTTP --log-level 5",
                            kHead + "-p tcp --dport 80:80 -j DROP",
                            kHead + "-p tcp -j LOG --log-prefix BLOCK_SERVICE:NoPorts --log-level 5",
                            kHead + "-p tcp -j DROP",
                            kHead + "-p udp --dport 1:2 -j LOG --log-prefix BLOCK_SERVICE:X --log-level 5",
                            kHead + "-p tcp --dport 1:2 -j LOG --log-prefix BLOCK_SERVICE:X --log-level 5",
                            kHead + "-p udp --dport 1:2 -j DROP", kHead + "-p tcp --dport 1:2 -j DROP"}));

    // A value past 2047 characters is read up to there: the cut entry is
    // not blocked.
    std::string entry = "1;1;" + std::string(40, 'n') + ";1;1;1;0;0@";
    std::string value;
    while (value.size() + entry.size() <= 2047)
        value += entry;
    size_t whole = value.size() / entry.size();
    value += entry;
    lines = generate("2", value, &printed);
    EXPECT_EQ(printed, "block services: fw_bks_block_service longer than 2047 characters, the entries past it "
                       "are not blocked\n");
    EXPECT_EQ(lines.size(), 2 * whole);
}

TEST_F(BlockServices, OverlongEntriesAreRefusedWhole)
{
    std::string printed;
    Lines lines = generate("2", "1;1;Big;3;" + std::string(1500, '\'') + ";2;0;0@1;1;Next;1;1;2;0;0@", &printed);
    EXPECT_EQ(printed.find("ARNONAT_GenerateBlockServicesRules"), printed.rfind("ARNONAT_GenerateBlockServicesRules"));
    EXPECT_NE(printed.find("ARNONAT_GenerateBlockServicesRules"), std::string::npos);
    EXPECT_EQ(lines, (Lines{kHead + "-p tcp --dport 1:2 -j LOG --log-prefix BLOCK_SERVICE:Next --log-level 5",
                            kHead + "-p tcp --dport 1:2 -j DROP"}));
}

using sandbox::install_tripwire;

TEST_F(BlockServices, HostileSettingsReachIptablesAsPlainArgumentsAndRunNothing)
{
    install_tripwire();
    sandbox::set("lan_ifname", "br0;pwned");
    sandbox::set("wan_ifname", "$(pwned)");
    generate("2", "1;1;a`pwned`b;3;$(pwned);x|pwned;0;2;1.1.1.1 && pwned;$(touch /tmp/touched)@"
                  "1;1;it's (mine);1;80;80;0;1;\"q\">/tmp/touched@");
    sandbox::clear_calls();
    sandbox::Result r = sandbox::run("cd /tmp && sh " + kRules);
    EXPECT_EQ(r.status, 0);
    Lines calls = sandbox::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "pwned"), 0);
    EXPECT_FALSE(sandbox::exists("/tmp/touched"));
    const std::string head = "iptables -A BLOCK_SERVICE_CHAIN --ipv4 -i br0;pwned -o $(pwned) ";
    EXPECT_EQ(calls, (Lines{"iptables -F BLOCK_SERVICE_CHAIN",
                            head + "-p udp --dport $(pwned):x|pwned -m iprange --src-range '1.1.1.1 && "
                                   "pwned-$(touch /tmp/touched)' -j LOG --log-prefix BLOCK_SERVICE:a`pwned`b "
                                   "--log-level 5",
                            head + "-p tcp --dport $(pwned):x|pwned -m iprange --src-range '1.1.1.1 && "
                                   "pwned-$(touch /tmp/touched)' -j LOG --log-prefix BLOCK_SERVICE:a`pwned`b "
                                   "--log-level 5",
                            head + "-p udp --dport $(pwned):x|pwned -m iprange --src-range '1.1.1.1 && "
                                   "pwned-$(touch /tmp/touched)' -j DROP",
                            head + "-p tcp --dport $(pwned):x|pwned -m iprange --src-range '1.1.1.1 && "
                                   "pwned-$(touch /tmp/touched)' -j DROP",
                            head + "-p tcp --dport 80:80 -m iprange --src-range \"q\">/tmp/touched-\"q\">/tmp/touched "
                                   "-j LOG --log-prefix BLOCK_SERVICE:it's--mine- --log-level 5",
                            head + "-p tcp --dport 80:80 -m iprange --src-range \"q\">/tmp/touched-\"q\">/tmp/touched "
                                   "-j DROP"}));
}

class BlockServicesWords : public BlockServices {};

TEST_F(BlockServicesWords, BsAppendsToTheCustomRulesAndRunsNothing)
{
    sandbox::set("fw_bks_block_type", "2");
    sandbox::set("fw_bks_block_service", "1;1;HTTP;1;80;80;0;0@");
    sandbox::write_file("/tmp/custom_iptables_rules", "existing\n");
    const std::string lines = kFlush + kHead + "-p tcp --dport 80:80 -j LOG --log-prefix BLOCK_SERVICE:HTTP "
                                               "--log-level 5\n" + kHead + "-p tcp --dport 80:80 -j DROP\n";
    sandbox::Result r = sandbox::arnonat("bs");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(sandbox::arnonat("bs").status, 0);
    EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules"), "existing\n" + lines + lines);
    EXPECT_TRUE(sandbox::calls().empty());
    EXPECT_FALSE(sandbox::exists("/tmp/extra_arno_config"));

    // A custom rules file that cannot be read: the shell sees 255.
    ::unlink("/tmp/custom_iptables_rules");
    ::mkdir("/tmp/custom_iptables_rules", 0755);
    r = sandbox::arnonat("bs");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "[bs]:cannot write /tmp/custom_iptables_rules: Is a directory; the previous file stays in place\n");
}

TEST_F(BlockServicesWords, ApplyBlockServicesRewritesTheRunTimeFileAndRunsTheRunner)
{
    sandbox::set("fw_bks_block_type", "2");
    sandbox::set("fw_bks_block_service", "1;1;HTTP;1;80;80;0;0@");
    sandbox::write_file("/tmp/custom-service-rules", "#!/bin/sh\nold rules\n");
    sandbox::Result r = sandbox::arnonat("apply_blockservices");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"),
              kFlush + kHead + "-p tcp --dport 80:80 -j LOG --log-prefix BLOCK_SERVICE:HTTP --log-level 5\n" +
                  kHead + "-p tcp --dport 80:80 -j DROP\n");
    EXPECT_EQ(sandbox::calls(),
              (Lines{"/sbin/main_run_custom_services", "iptables -F BLOCK_SERVICE_CHAIN",
                     kHead + "-p tcp --dport 80:80 -j LOG --log-prefix BLOCK_SERVICE:HTTP --log-level 5",
                     kHead + "-p tcp --dport 80:80 -j DROP"}));

    // Off: the runner only empties the chain.
    sandbox::clear_calls();
    sandbox::set("fw_bks_block_type", "0");
    EXPECT_EQ(sandbox::arnonat("apply_blockservices").status, 0);
    EXPECT_EQ(sandbox::calls(), (Lines{"/sbin/main_run_custom_services", "iptables -F BLOCK_SERVICE_CHAIN"}));
}

TEST_F(BlockServices, JoinsTheCustomRulesAfterTheBlockSites)
{
    sandbox::set("fw_bks_block_type", "2");
    sandbox::set("fw_bks_block_service", "1;1;HTTP;1;80;80;0;0@");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateCustomRules(2), 0);
    EXPECT_EQ(out.finish().find("Block services"), std::string::npos);
    std::string rules = sandbox::read_file("/tmp/custom_iptables_rules");
    size_t sites = rules.find("iptables -F BLOCKSITE_IN_CHAIN\n");
    size_t services = rules.find(kFlush + kHead + "-p tcp --dport 80:80 -j LOG");
    ASSERT_NE(services, std::string::npos);
    EXPECT_LT(sites, services);
}

} // namespace
