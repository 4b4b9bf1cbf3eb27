// The limits of the long settings, each on both sides: values too long for a
// case file are made here, and the lines counted (their text is in the case
// files).
#include <unistd.h>

#include <algorithm>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

struct Output {
    std::string file, out;
    size_t count(const std::string &part) const
    {
        size_t n = 0;
        for (const std::string &l : sandbox::split_lines(file))
            n += l.find(part) != std::string::npos;
        return n;
    }
};

Output generate(int (*generator)(const char *))
{
    ::unlink("/tmp/rules");
    sandbox::StdoutCapture out;
    EXPECT_EQ(generator("/tmp/rules"), 0);
    std::string printed = out.finish();
    return {sandbox::read_file("/tmp/rules"), printed};
}

std::string numbered(int k, size_t length)
{
    std::string s = "kw" + std::to_string(k);
    return s + std::string(length - s.size(), 'x');
}

class Limits : public sandbox::Test {};

TEST_F(Limits, BlockSiteKeywords)
{
    sandbox::set("bs_enable", "2");
    std::string list; // 255 keywords of 127 characters: more than 16 KiB
    for (int k = 1; k <= 255; ++k)
        list += numbered(k, 127) + "\n";
    sandbox::set("bs_keywords", list);
    Output all = generate(ARNONAT_GenerateVelmoraBsiteRules);
    EXPECT_EQ(all.count("-p udp --dport 53 -m string --string kw"), 255u * 4);
    EXPECT_EQ(all.count("--string " + numbered(255, 127) + " --algo bm  -j DROP"), 4u);
    EXPECT_EQ(all.out, "");
    sandbox::set("bs_keywords", list + "one-too-many");
    Output more = generate(ARNONAT_GenerateVelmoraBsiteRules);
    EXPECT_EQ(more.file, all.file);
    EXPECT_EQ(more.out, "block sites: 256 keywords, only the first 255 are blocked\n");

    sandbox::set("bs_keywords", numbered(1, 128) + "\nshort");
    Output cut = generate(ARNONAT_GenerateVelmoraBsiteRules);
    EXPECT_EQ(cut.count("--string " + numbered(1, 127) + " --algo"), 8u);
    EXPECT_EQ(cut.count("--string short --algo"), 8u);
    EXPECT_EQ(cut.out, "block sites: keyword 1 longer than 127 characters, only its first 127 are matched\n");
}

TEST_F(Limits, BlockSiteDnsServersAndAddresses)
{
    sandbox::set("bs_enable", "2");
    sandbox::set("bs_keywords", "example");
    sandbox::set("bs_trustedip_enable", "1");
    sandbox::set("bs_trustedip", "192.168.1.20");
    std::string servers = "1.0.0.10";
    for (int k = 1; k < 12; ++k)
        servers += " 1.0.0." + std::to_string(10 + k);
    sandbox::set("wan_dns", servers);
    Output twelve = generate(ARNONAT_GenerateVelmoraBsiteRules);
    EXPECT_EQ(twelve.count("-s 1.0.0.21 --dport 53"), 4u);
    EXPECT_EQ(sandbox::split_lines(twelve.file).size(), 2 + 8 + 8 + 4 * 12u);
    const std::string told = "block sites: more than 12 DNS servers, only the first 12 are trusted\n";
    sandbox::set("wan_dns", servers + " 1.0.0.22");
    EXPECT_EQ(generate(ARNONAT_GenerateVelmoraBsiteRules).file, twelve.file);
    EXPECT_EQ(generate(ARNONAT_GenerateVelmoraBsiteRules).out, told);
    // Told once, also when a schedule writes the rules twice.
    sandbox::set("bs_enable", "1");
    sandbox::set("schedule_config", "127:22:0:6:0");
    EXPECT_EQ(generate(ARNONAT_GenerateVelmoraBsiteRules).out, told);
    sandbox::set("bs_enable", "2");

    // 127 characters are taken whole; past them a cut address is left out.
    const std::string name(119, 'n');
    sandbox::set("wan_dns", "1.1.1.1 " + name);
    EXPECT_EQ(generate(ARNONAT_GenerateVelmoraBsiteRules).count("-s " + name + " --dport 53"), 4u);
    sandbox::set("wan_dns", "1.1.1.1 " + name + " 2.2.2.2");
    EXPECT_EQ(generate(ARNONAT_GenerateVelmoraBsiteRules).count("-s " + name + " --dport 53"), 4u);
    sandbox::set("wan_dns", "1.1.1.1 " + name + "n");
    Output cut = generate(ARNONAT_GenerateVelmoraBsiteRules);
    EXPECT_EQ(cut.count("-s 1.1.1.1 --dport 53"), 4u);
    EXPECT_EQ(cut.count(name), 0u);
    EXPECT_EQ(cut.out, "block sites: DNS server list longer than 127 characters, the addresses past it are not trusted\n");

    // An address too long for a line refuses those lines alone.
    sandbox::set("bs_trustedip_enable", "0");
    sandbox::set("lan_ipaddr", std::string(600, '1'));
    Output refused = generate(ARNONAT_GenerateVelmoraBsiteRules);
    EXPECT_EQ(sandbox::split_lines(refused.file).size(), 2 + 4u);
    EXPECT_EQ(refused.count("-p tcp"), 0u);
    const std::string notice = "[ARNONAT_GenerateVelmoraBsiteRules]:text longer than 510 bytes refused";
    EXPECT_EQ(refused.out.size(), 4 * (notice.size() + std::string(", nothing written or run\n").size()));
    EXPECT_EQ(refused.out.rfind(notice, 0), 0u);
}

TEST_F(Limits, BlockServiceEntries)
{
    sandbox::set("fw_bks_block_type", "2");
    // Past 2047 characters the value is not read: the cut entry is not
    // blocked.
    const std::string entry = "1;1;" + std::string(40, 'n') + ";1;1;1;0;0@";
    std::string value;
    while (value.size() + entry.size() <= 2047)
        value += entry;
    const size_t whole = value.size() / entry.size();
    sandbox::set("fw_bks_block_service", value + entry);
    Output cut = generate(ARNONAT_GenerateBlockServicesRules);
    EXPECT_EQ(cut.count("-j DROP"), whole);
    EXPECT_EQ(cut.out, "block services: fw_bks_block_service longer than 2047 characters, the entries past it are "
                       "not blocked\n");
    // An entry too long for its lines is refused whole, with one notice.
    sandbox::set("fw_bks_block_service", "1;1;Big;3;" + std::string(1500, '\'') + ";2;0;0@1;1;Next;1;1;2;0;0@");
    Output big = generate(ARNONAT_GenerateBlockServicesRules);
    EXPECT_EQ(sandbox::split_lines(big.file).size(), 3u);
    EXPECT_EQ(big.count("--dport 1:2 -j DROP"), 1u);
    EXPECT_EQ(big.out.rfind("[ARNONAT_GenerateBlockServicesRules]:text longer than", 0), 0u);
    EXPECT_EQ(std::count(big.out.begin(), big.out.end(), '\n'), 1);
}

TEST_F(Limits, PortTriggerTableOfTwenty)
{
    sandbox::set("fwpt_enable", "1");
    // Twenty policies fill the table: with fwpt3 not read, fwpt20 (port 21)
    // is the twentieth and fwpt21 is not read; twenty-one leave nothing to
    // refuse.  Trigger protocol 47 writes no lines.
    for (int k = 0; k < 22; ++k)
        sandbox::set("fwpt" + std::to_string(k), k == 3 ? "bad" : "1:P:2:0:" + std::string(k < 20 ? "47" : "6") +
                                                                    ":1:I1:0:6:" + std::to_string(k + 1) + ":0");
    const std::string first = "Info: No FWPT default policies.\nInvalid policy record (fwpt3)\n";
    sandbox::set("fwpt_count", "22");
    Output full = generate(ARNONAT_GeneratePortTriggerRules);
    EXPECT_EQ(full.out, first + "Port trigger: table full with 20 policies, fwpt21 and later not read\n");
    EXPECT_EQ(full.count("--dport 21 -j TRIGGER"), 2u);
    EXPECT_EQ(sandbox::split_lines(full.file).size(), 4u);
    sandbox::set("fwpt_count", "21");
    EXPECT_EQ(generate(ARNONAT_GeneratePortTriggerRules).out, first);
}

TEST_F(Limits, PortTriggerPolicyCountsAreBounded)
{
    sandbox::set("fwpt_enable", "1");

    sandbox::set("fwpt_count", "99999999999");
    sandbox::set("fwpt_df_count", "2");
    sandbox::set("fwpt_df0", "1:Default:2:6401a8c0"); // default policies are only looked at
    Output many = generate(ARNONAT_GeneratePortTriggerRules);
    EXPECT_EQ(many.out.rfind("Port trigger: fwpt_count 2147483647 too large, "
                             "only the first 100 policies are read\nInvalid policy record (fwpt0)\n", 0), 0u);
    EXPECT_EQ(many.out.size() - many.out.rfind("Invalid policy record (fwpt99)\n"), 31u); // and nothing after
    sandbox::set("fwpt_count", "-4");
    sandbox::set("fwpt_df_count", "-1");
    EXPECT_EQ(generate(ARNONAT_GeneratePortTriggerRules).out, "");
}

TEST_F(Limits, NullArgumentsAreRefused)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_ExecuteOnePortForwardRule(6, nullptr), 0);
    EXPECT_EQ(out.finish(), "[ARNONAT_ExecuteOnePortForwardRule]:words missing (6 given, 5 needed): rule not applied\n");
    EXPECT_FALSE(sandbox::exists("/tmp/custom-service-rules"));
}

} // namespace
