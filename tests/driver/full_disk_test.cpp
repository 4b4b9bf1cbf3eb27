// A full /tmp: every fixed file a run writes is either put in place whole or
// left as it was, and neither the firewall script nor the custom services
// runner is ever run on a cut file.
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using Texts = std::vector<std::string>;

const Texts kFiles = {"/tmp/extra_arno_config", "/tmp/custom_iptables_rules", "/tmp/custom-service-rules"};
constexpr size_t kPage = 4096;

Texts read_files() { return {sandbox::read_file(kFiles[0]), sandbox::read_file(kFiles[1]), sandbox::read_file(kFiles[2])}; }

class FullDisk : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        std::string keywords;
        for (int k = 0; k < 200; ++k)
            keywords += "site" + std::to_string(k) + ".example.com\n";
        for (const auto &[key, value] : {std::pair<std::string, std::string>{"wan_ifname", "eth0"}, {"bs_enable", "2"},
                                         {"bs_keywords", keywords}, {"http_rmenable", "1"}, {"rip_enable", "1"},
                                         {"ru_igmp_enable", "1"}})
            sandbox::set(key, value);
        // The runner only tells that it ran: what it ran is the file as the
        // run leaves it, since nobody else writes meanwhile.
        sandbox::write_file("/usr/sbin/main_run_custom_services",
                            "#!/bin/sh\necho main_run_custom_services >>" + sandbox::kCallLog + "\n");
    }

    // Runs ARGS with /tmp holding BEFORE and about FREE pages more, for
    // FREE from none to a little more than the run needs.  Whatever
    // happens, each file is the one before or the one of a run with room
    // enough, nothing is run on a file that is not, and no temporary stays.
    void run_short_of_room(const std::string &args, const Texts &before)
    {
        auto prepare = [&] {
            sandbox::sized_tmp(16 << 20);
            for (size_t i = 0; i < kFiles.size(); ++i)
                sandbox::write_file(kFiles[i], before[i]);
            sandbox::clear_calls();
        };
        prepare();
        ASSERT_EQ(sandbox::arnonat(args).status, 0) << args;
        const Texts after = read_files(), calls = sandbox::calls();
        size_t needed = 0;
        for (const std::string &text : after)
            needed += (text.size() + kPage - 1) / kPage;

        int failed = 0;
        for (size_t free : {size_t(0), needed / 5, 2 * needed / 5, 3 * needed / 5, 4 * needed / 5, needed,
                            needed + 8}) {
            prepare();
            sandbox::leave_free_on_tmp(free * kPage);
            sandbox::Result r = sandbox::arnonat(args);
            const Texts now = read_files();
            const std::string at = args + " with " + std::to_string(free) + " of " + std::to_string(needed) + " pages";
            for (size_t i = 0; i < kFiles.size(); ++i)
                EXPECT_TRUE(now[i] == before[i] || now[i] == after[i]) << at << ": " << kFiles[i];
            EXPECT_EQ(sandbox::run("ls -Ap /tmp | grep -v -x -e '.*/' -e arnonat.lock -e extra_arno_config -e custom_iptables_rules "
                                   "-e custom-service-rules").out, "") << at; // no temporary stays
            if (r.status == 0) {
                EXPECT_EQ(sandbox::calls(), calls) << at;
                continue;
            }
            ++failed;
            EXPECT_EQ(r.status, 255) << at;
            EXPECT_NE(r.out.find(": No space left on device; the previous file stays in place\n"), std::string::npos)
                << at << "\n" << r.out;
            for (const std::string &call : sandbox::calls()) {
                EXPECT_EQ(call.find("carno-iptables-firewall.sh"), std::string::npos) << at;
                if (call == "main_run_custom_services")
                    EXPECT_EQ(now[2], after[2]) << at;
            }
        }
        EXPECT_GT(failed, 0) << args;
        EXPECT_EQ(read_files()[1], after[1]) << args << ": the last run had room enough";
    }
};

TEST_F(FullDisk, NoRunHandsOnACutFile)
{
    std::string previous_rules = sandbox::kStockRules;
    while (previous_rules.size() < 20 * kPage)
        previous_rules += "iptables -A PREVIOUS_RUN -j ACCEPT\n";
    for (const char *args : {"restart", "apply_blocksites", "bs"})
        run_short_of_room(args, {"NAT=0\n", previous_rules, "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n# before\n"});
}

} // namespace
