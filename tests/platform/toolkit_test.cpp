// The small helpers every generator shares, against the C library they
// mimic, and the file copy onto a file that takes no bytes.
#include <unistd.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "platform/text_values.h"
#include "platform/tokens.h"
#include "support/sandbox.h"

namespace {

// While armed, every write() of the component returns 0, as a device that
// takes nothing does; a writer that keeps trying is stopped after a bound.
int g_zero_writes_left = -1;
int g_zero_writes = 0;

} // namespace

extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    if (g_zero_writes_left < 0 || fd <= 2)
        return syscall(SYS_write, fd, data, size);
    ++g_zero_writes;
    if (g_zero_writes_left-- > 0)
        return 0;
    errno = ELOOP; // the bound: the writer spun
    return -1;
}

namespace {

// strtoll is defined for every text; where its value fits an int, atoi
// must agree with it too.
TEST(AtoiClamped, ReadsAsAtoiAndClampsWhereAtoiWouldOverflow)
{
    const char *const rows[] = {
        "", "0", "42", "  42", "\t\n\v\f\r 7", "+5", "-5", "- 5", "+-5", "12abc", "abc", "007", "1e5",
        "0x10", " +0", "-0", "2147483647", "-2147483648", "2147483648", "-2147483649", "4294967297",
        "99999999999999999999999", "-99999999999999999999999", "  -00000000000000000000012",
    };
    for (const char *text : rows) {
        long long reference = std::clamp<long long>(std::strtoll(text, nullptr, 10), INT32_MIN, INT32_MAX);
        EXPECT_EQ(arnonat::atoi_clamped(text), reference) << text;
        if (reference > INT32_MIN && reference < INT32_MAX)
            EXPECT_EQ(arnonat::atoi_clamped(text), std::atoi(text)) << text;
    }
    // A view ends the number where it ends.
    EXPECT_EQ(arnonat::atoi_clamped(std::string_view("123456", 3)), 123);
}

std::vector<std::string> by_strtok_r(std::string text, const char *delimiters)
{
    std::vector<std::string> tokens;
    char *save = nullptr;
    for (char *t = strtok_r(text.data(), delimiters, &save); t; t = strtok_r(nullptr, delimiters, &save))
        tokens.emplace_back(t);
    return tokens;
}

TEST(Tokens, SplitAsStrtokRDoes)
{
    const std::pair<const char *, const char *> rows[] = {
        {"", ";"},          {";;;", ";"},           {"a", ";"},           {"a;;b;", ";"},
        {";a;b", ";"},      {"  a  b  ", " "},      {"a b\tc \t d", " \t"}, {"a b", ""},
        {"@@1@@2@", "@"},   {"x\n\ny\n", "\n"}, {"1:2:3", ": "},       {"::", ":"},
    };
    for (const auto &[text, delimiters] : rows) {
        std::vector<std::string> tokens;
        arnonat::Tokens split(text, delimiters);
        for (std::string_view t; split.next(t);)
            tokens.emplace_back(t);
        EXPECT_EQ(tokens, by_strtok_r(text, delimiters)) << text;
    }
    // A view is split up to its end, and the text is never written.
    const char text[] = "a;b;c";
    arnonat::Tokens split(std::string_view(text, 3), ";");
    std::string_view t;
    EXPECT_TRUE(split.next(t) && t == "a" && split.next(t) && t == "b" && !split.next(t));
    EXPECT_STREQ(text, "a;b;c");
    // The rest after a token: the delimiters before it skipped, the later ones kept.
    arnonat::Tokens fields(";1;;2;3;", ";");
    EXPECT_TRUE(fields.next(t) && t == "1" && fields.rest(t) && t == "2;3;" && !fields.rest(t));
}

class Toolkit : public sandbox::Test {};

TEST_F(Toolkit, CopyOntoAFileThatTakesNoBytesFailsAtOnce)
{
    FILE *source = std::fopen("/tmp/src", "w");
    ASSERT_TRUE(source);
    std::fputs("iptables -F\n", source);
    std::fclose(source);

    g_zero_writes = 0;
    g_zero_writes_left = 1000;
    errno = 0;
    int result = ARNONAT_cp("/tmp/dst", "/tmp/src");
    int error = errno;
    g_zero_writes_left = -1;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(g_zero_writes, 1);
}

} // namespace
