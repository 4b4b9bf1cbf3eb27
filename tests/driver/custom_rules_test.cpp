// The custom rules file starts as a byte copy of the stock custom rules; a
// missing stock file is no failure.
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

class CustomRules : public sandbox::Test {};

TEST_F(CustomRules, MissingStockRulesLeaveTheRestAndAreNotTold)
{
    sandbox::StdoutCapture with_stock;
    EXPECT_EQ(ARNONAT_GenerateCustomRules(0), 0);
    const std::string told = with_stock.finish();
    const std::string rules = sandbox::read_file("/tmp/custom_iptables_rules");
    ASSERT_EQ(rules.rfind(sandbox::kStockRules, 0), 0u);

    sandbox::run("rm /etc/arno-iptables-firewall/custom-rules");
    sandbox::StdoutCapture without;
    EXPECT_EQ(ARNONAT_GenerateCustomRules(0), 0);
    EXPECT_EQ(without.finish(), told);
    EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules"), rules.substr(sandbox::kStockRules.size()));
}

TEST_F(CustomRules, CopyTakesTheWholeFileOrFailsWithItsError)
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

    // An existing destination is refused and left alone.
    sandbox::write_file("/tmp/src", "new\n");
    errno = 0;
    EXPECT_EQ(ARNONAT_cp("/tmp/dst", "/tmp/src"), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(sandbox::read_file("/tmp/dst"), big);
    EXPECT_EQ(ARNONAT_cp("/tmp/other", "/tmp/missing"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(sandbox::exists("/tmp/other"));
    ::mkdir("/tmp/folder", 0755);
    EXPECT_EQ(ARNONAT_cp("/tmp/other", "/tmp/folder"), -1);
    EXPECT_EQ(errno, EISDIR);
}

} // namespace
