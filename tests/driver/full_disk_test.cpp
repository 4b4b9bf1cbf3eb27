// A full /tmp: every fixed file a run writes is either put in place whole or
// left as it was, and neither the firewall script nor the custom services
// runner is ever run on a cut file.
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kConfig = "/tmp/extra_arno_config";
const std::string kRules = "/tmp/custom_iptables_rules";
const std::string kRuntime = "/tmp/custom-service-rules";
constexpr size_t kPage = 4096;

struct Files {
    std::string config, rules, runtime;
};

Files read_files()
{
    return {sandbox::read_file(kConfig), sandbox::read_file(kRules), sandbox::read_file(kRuntime)};
}

size_t pages(const Files &f)
{
    size_t n = 0;
    for (const std::string *text : {&f.config, &f.rules, &f.runtime})
        n += (text->size() + kPage - 1) / kPage;
    return n;
}

class FullDisk : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        std::string keywords;
        for (int k = 0; k < 200; ++k)
            keywords += "site" + std::to_string(k) + ".example.com\n";
        const std::pair<std::string, std::string> settings[] = {
            {"wan_ifname", "eth0"}, {"bs_enable", "2"},     {"bs_keywords", keywords},
            {"http_rmenable", "1"}, {"rip_enable", "1"},    {"ru_igmp_enable", "1"},
        };
        for (const auto &[key, value] : settings)
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
    void run_short_of_room(const std::string &args, const Files &before)
    {
        auto prepare = [&] {
            sandbox::sized_tmp(16 << 20);
            sandbox::write_file(kConfig, before.config);
            sandbox::write_file(kRules, before.rules);
            sandbox::write_file(kRuntime, before.runtime);
            sandbox::clear_calls();
        };
        prepare();
        ASSERT_EQ(sandbox::arnonat(args).status, 0) << args;
        const Files after = read_files();
        const Lines calls = sandbox::calls();
        const size_t needed = pages(after);

        int failed = 0;
        for (size_t free : {size_t(0), needed / 5, 2 * needed / 5, 3 * needed / 5, 4 * needed / 5, needed,
                            needed + 8}) {
            prepare();
            sandbox::leave_free_on_tmp(free * kPage);
            sandbox::Result r = sandbox::arnonat(args);
            const Files now = read_files();
            const std::string at = args + " with " + std::to_string(free) + " of " + std::to_string(needed) + " pages";
            EXPECT_TRUE(now.config == before.config || now.config == after.config) << at;
            EXPECT_TRUE(now.rules == before.rules || now.rules == after.rules) << at;
            EXPECT_TRUE(now.runtime == before.runtime || now.runtime == after.runtime) << at;
            EXPECT_EQ(sandbox::run("find /tmp -mindepth 1 -maxdepth 1 ! -type d -printf '%f\\n' | grep -v -x -e arnonat.lock -e extra_arno_config "
                                   "-e custom_iptables_rules -e custom-service-rules").out,
                      "")
                << at;
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
                    EXPECT_EQ(now.runtime, after.runtime) << at;
            }
        }
        EXPECT_GT(failed, 0) << args;
        EXPECT_EQ(read_files().rules, after.rules) << args << ": the last run had room enough";
    }
};

TEST_F(FullDisk, NoRunHandsOnACutFile)
{
    std::string previous_rules = sandbox::kStockRules;
    while (previous_rules.size() < 20 * kPage)
        previous_rules += "iptables -A PREVIOUS_RUN -j ACCEPT\n";
    const Files before{"NAT=0\n", previous_rules, "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n# before\n"};
    for (const char *args : {"restart", "apply_blocksites", "bs"})
        run_short_of_room(args, before);
}

} // namespace
