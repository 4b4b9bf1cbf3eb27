// Assembly of the custom rules file, the byte copy it starts from and the
// run-time category file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

const std::string kHeader = "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n";

class CustomRules : public sandbox::Test {};

TEST_F(CustomRules, StartsAsAnExactCopyOfTheStockRules)
{
    sandbox::write_file("/tmp/custom_iptables_rules", "left from the last run\n");
    EXPECT_EQ(ARNONAT_GenerateCustomRules(2), 0);
    EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules").rfind(sandbox::kStockRules, 0), 0u);
}

TEST_F(CustomRules, MissingStockRulesAreNoFailure)
{
    std::string with_stock;
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateCustomRules(0), 0);
        with_stock = out.finish();
    }
    std::string rules = sandbox::read_file("/tmp/custom_iptables_rules").substr(sandbox::kStockRules.size());

    ::unlink("/etc/arno-iptables-firewall/custom-rules");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateCustomRules(0), 0);
    EXPECT_EQ(out.finish(), with_stock); // nothing said about the missing file
    EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules"), rules);
}

TEST_F(CustomRules, CopyRefusesAnExistingDestinationAndLeavesItAlone)
{
    sandbox::write_file("/tmp/src", "new\n");
    sandbox::write_file("/tmp/dst", "old\n");
    errno = 0;
    EXPECT_EQ(ARNONAT_cp("/tmp/dst", "/tmp/src"), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(sandbox::read_file("/tmp/dst"), "old\n");

    EXPECT_EQ(ARNONAT_cp("/tmp/other", "/tmp/missing"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(sandbox::exists("/tmp/other"));
}

TEST_F(CustomRules, CopyTakesLargeFilesWholeWithTheUsualPermissions)
{
    std::string big;
    for (int i = 0; big.size() < 3 * 4096 + 17; ++i)
        big += "iptables -A CHAIN_" + std::to_string(i) + " -j ACCEPT\n";
    big += std::string("\0\xff\x01", 3);
    sandbox::write_file("/tmp/src", big);
    mode_t old = ::umask(022);
    EXPECT_EQ(ARNONAT_cp("/tmp/dst", "/tmp/src"), 0);
    ::umask(old);
    EXPECT_EQ(sandbox::read_file("/tmp/dst"), big);
    struct stat st;
    ASSERT_EQ(::stat("/tmp/dst", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(CustomRules, CopyOfAnUnreadableSourceFailsWithItsError)
{
    ::mkdir("/tmp/folder", 0755);
    errno = 0;
    EXPECT_EQ(ARNONAT_cp("/tmp/dst", "/tmp/folder"), -1);
    EXPECT_EQ(errno, EISDIR);
}

class RuntimeCategories : public sandbox::Test {};

TEST_F(RuntimeCategories, CategoriesWithoutRulesLeaveOnlyTheHeader)
{
    for (const char *category : {"schedule", "user_mgmt", "anything"}) {
        sandbox::write_file("/tmp/custom-service-rules", "old\n");
        EXPECT_EQ(ARNONAT_ApplyConfigForService(category), 0);
        EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"), kHeader) << category;
    }
    EXPECT_EQ(sandbox::calls(), std::vector<std::string>{}); // the callers run the runner
}

TEST_F(RuntimeCategories, EmptyOrNullCategoryTouchesNothing)
{
    sandbox::write_file("/tmp/custom-service-rules", "old\n");
    EXPECT_EQ(ARNONAT_ApplyConfigForService(""), -1);
    EXPECT_EQ(ARNONAT_ApplyConfigForService(nullptr), -1);
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"), "old\n");
}

TEST_F(RuntimeCategories, AFileThatCannotBePutInPlaceIsAFailure)
{
    ::mkdir("/tmp/custom-service-rules", 0755);
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_ApplyConfigForService("user_mgmt"), -1);
    EXPECT_EQ(out.finish(), "[ARNONAT_ApplyConfigForService]:cannot write /tmp/custom-service-rules: Is a "
                            "directory; the previous file stays in place\n");
}

class ScriptRunner : public sandbox::Test {};

TEST_F(ScriptRunner, SuffixIsShellSyntaxAndTooLongACommandNeverRuns)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_RunArno(1, ">/dev/null 2>&1"), 0);
    // 36 (script) + 1 + 7 (restart) + 1 + 83 = 128 characters: one too many.
    EXPECT_EQ(ARNONAT_RunArno(7, std::string(83, 'x').c_str()), 0);
    EXPECT_EQ(ARNONAT_RunArno(7, std::string(82, 'x').c_str()), 0);
    EXPECT_EQ(out.finish(),
              "ARNONAT_RunArno 588 cmd: /usr/sbin/carno-iptables-firewall.sh stop >/dev/null 2>&1\n"
              "[ARNONAT_RunArno]:text longer than 127 bytes refused, nothing written or run\n"
              "ARNONAT_RunArno 588 cmd: /usr/sbin/carno-iptables-firewall.sh restart " +
                  std::string(82, 'x') + "\n");
    EXPECT_EQ(sandbox::calls(), (std::vector<std::string>{"/usr/sbin/carno-iptables-firewall.sh stop",
                                                          "/usr/sbin/carno-iptables-firewall.sh restart " +
                                                              std::string(82, 'x')}));
}

} // namespace
