// ARNONAT_cp, the byte copy the custom rules file starts with: the whole
// file with the caller's umask, or a failure with its error and nothing
// written.
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <tuple>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

class Copy : public sandbox::Test {};

TEST_F(Copy, TakesTheWholeFileOrFailsWithItsError)
{
    std::string big;
    for (int i = 0; big.size() < 3 * 4096 + 17; ++i)
        big += "iptables -A CHAIN_" + std::to_string(i) + " -j ACCEPT\n";
    big += std::string("\0\xff\x01", 3);
    sandbox::write_file("/tmp/src", big);
    mode_t old = ::umask(022);
    EXPECT_EQ(ARNONAT_cp("/tmp/dst", "/tmp/src"), 0);
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat("/tmp/dst", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(sandbox::read_file("/tmp/dst"), big);

    // An existing destination is refused and left alone.
    sandbox::write_file("/tmp/src", "new\n");
    ::mkdir("/tmp/folder", 0755);
    for (const auto &[to, from, error] : {std::tuple{"/tmp/dst", "/tmp/src", EEXIST},
                                          {"/tmp/other", "/tmp/missing", ENOENT},
                                          {"/tmp/third", "/tmp/folder", EISDIR}}) {
        errno = 0;
        EXPECT_EQ(ARNONAT_cp(to, from), -1) << from;
        EXPECT_EQ(errno, error) << from;
    }
    EXPECT_EQ(sandbox::read_file("/tmp/dst"), big);
    EXPECT_FALSE(sandbox::exists("/tmp/other"));
}

} // namespace
