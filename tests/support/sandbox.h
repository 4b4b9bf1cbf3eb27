// A private copy of the router's fixed paths for one test.
//
// The first sandboxed test of a process moves the process into its own mount
// namespace; every sandboxed test then gets a fresh tmpfs on /tmp, recording
// stubs for the firewall script, the custom services runner, iptables,
// ip4tables, ip6tables and date, stock custom rules from a fixture and an
// empty settings store.  The host is never touched.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace sandbox {

// Home of the sandbox's own files (stubs, call log, settings store).
inline const std::string kHome = "/mnt/arnonat-sandbox";
inline const std::string kCallLog = kHome + "/calls";

class Test : public ::testing::Test {
protected:
    void SetUp() override;
};

// A command's exit status (-1 when it did not exit), standard output and
// standard error.
struct Result {
    int status = -1;
    std::string out, err;
};

// Runs COMMAND through /bin/sh inside the sandbox.
Result run(const std::string &command);
// Runs the arnonat program with ARGS (already shell words).
Result arnonat(const std::string &args = "");

// A program built for the target, as a shell word: prefixed with the
// emulator named by $ARNONAT_TEST_EMULATOR (for example "qemu-arm -L
// /usr/arm-linux-gnueabihf") when the tests run under emulation.
std::string program(const std::string &path);

// Gives the test a /dev of its own holding only null, zero and urandom, so
// the engine's devices are absent, plus /dev/null bound over each path of
// REFUSING: a device that opens and refuses every ioctl.
void private_dev(const std::vector<std::string> &refusing = {});

// Shows TEXT to this process as the kernel's socket list (/proc/net/tcp),
// or, when ABSENT, leaves it without one.
void socket_list(const std::string &text, bool absent = false);

// Puts a fresh tmpfs of BYTES on /tmp, hiding what /tmp held; shrinks that
// /tmp so that BYTES (rounded up to whole pages) stay free.
void sized_tmp(size_t bytes);
void leave_free_on_tmp(size_t bytes);

// Sets KEY in the sandbox's settings store.
void set(const std::string &key, const std::string &value);

// Every command the stubs recorded, one per line: the program name and its
// arguments, an argument holding blanks or empty shown in single quotes.
std::vector<std::string> calls();
void clear_calls();

// Puts `pwned` on the PATH: a stand-in for any command a hostile setting
// might try to start, which records "pwned" in the call log if it ever runs.
void install_tripwire();

// Fixes what `date` and `date -u` print.
void set_date(const std::string &local, const std::string &utc);

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &content);
bool exists(const std::string &path);
// The lines of TEXT, without their newlines.
std::vector<std::string> split_lines(const std::string &text);
// Descriptors the process has open now (to see that a call closes what it
// opened).
int open_descriptors();

// The stock custom rules the sandbox starts with.
inline const std::string kStockRules =
    "# stock custom rules of the firewall script\n"
    "iptables -N STOCK_CHAIN 2>/dev/null\n";

// Captures what the calling process prints on standard output (one
// capture at a time).
class StdoutCapture {
public:
    StdoutCapture() { ::testing::internal::CaptureStdout(); }
    ~StdoutCapture() { finish(); }
    std::string finish() { return std::exchange(capturing_, false) ? ::testing::internal::GetCapturedStdout() : ""; }

private:
    bool capturing_ = true;
};

} // namespace sandbox
