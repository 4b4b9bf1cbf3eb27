// ARNONAT_cp, the byte copy the custom rules file starts with: the whole
// file with the caller's umask, or a failure with its error and nothing
// written, also onto a file that takes no bytes.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>

#include "arnonat.h"
#include "support/sandbox.h"

// From 0, every write() of the component counts and returns 0, as a device
// that takes nothing does; a writer that keeps trying is stopped after a
// bound.
static int g_zero_writes = -1;

extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    if (g_zero_writes < 0 || fd <= 2)
        return syscall(SYS_write, fd, data, size);
    if (++g_zero_writes < 1000)
        return 0;
    errno = ELOOP; // the bound: the writer spun
    return -1;
}

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
    EXPECT_EQ(sandbox::run("stat -c %a /tmp/dst").out, "644\n");
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

TEST_F(Copy, OntoAFileThatTakesNoBytesFailsAtOnce)
{
    sandbox::write_file("/tmp/src", "iptables -F\n");
    g_zero_writes = 0;
    int result = ARNONAT_cp("/tmp/dst", "/tmp/src"), error = errno, writes = g_zero_writes;
    g_zero_writes = -1;
    EXPECT_EQ(std::tuple(result, error, writes), std::tuple(-1, EIO, 1)) << "result, errno, writes";
}

} // namespace
