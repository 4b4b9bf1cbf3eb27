// Settings texts placed into shell commands: ordinary values stay
// byte-exact, everything else reaches the shell as one inert word.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/line_buffer.h"
#include "platform/shell_word.h"

namespace {

std::string shell_word(const std::string &text)
{
    arnonat::LineBuffer<4096> b;
    b.word(text.c_str());
    return b.c_str();
}

// What /bin/sh makes of a command line: each argument of printf '[%s]'.
std::string shell_arguments(const std::string &command_tail)
{
    std::string command = "printf '[%s]' " + command_tail;
    FILE *p = popen(command.c_str(), "r");
    std::string out;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

TEST(ShellWord, OrdinarySettingsStayByteExact)
{
    for (const char *text : {"", "eth0", "192.168.1.0/24", "ppp0", "a-b_c.d:e,f@g%h+i=j", "ABCxyz019"})
        EXPECT_EQ(shell_word(text), text);
}

TEST(ShellWord, AnythingElseBecomesOneSingleQuotedWord)
{
    EXPECT_EQ(shell_word("x;reboot"), "'x;reboot'");
    EXPECT_EQ(shell_word("$(reboot)"), "'$(reboot)'");
    EXPECT_EQ(shell_word("a b"), "'a b'");
    EXPECT_EQ(shell_word("it's"), "'it'\\''s'");
    EXPECT_EQ(shell_word("'"), "''\\'''");
}

TEST(ShellWord, TheShellSeesExactlyTheTextAsOneArgument)
{
    const std::string hostile[] = {"x;reboot", "$(touch /x)", "`id`", "a b\tc", "it's", "''",
                                   "\\", "a\nb", "*", "~root", "-n", "!x", "a\"b", "#c", "{a,b}",
                                   "\x01\x7f\xff", "&", "|", "<x", ">y", "$HOME", "${PATH}"};
    for (const std::string &text : hostile)
        EXPECT_EQ(shell_arguments(shell_word(text)), "[" + text + "]") << text;

    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        std::string text;
        int len = static_cast<int>(rng() % 12);
        for (int k = 0; k < len; ++k)
            text += static_cast<char>(1 + rng() % 255);
        EXPECT_EQ(shell_arguments(shell_word(text)), "[" + text + "]");
    }
}

TEST(ShellWord, DoubleQuotedAssignmentValuesKeepTheirText)
{
    for (const std::string text : {"br0", "a\"b", "$(reboot)", "`id`", "back\\slash", "a b;c"}) {
        arnonat::LineBuffer<256> b;
        b.raw("\"").quoted(text.c_str()).raw("\"");
        EXPECT_EQ(shell_arguments(b.c_str()), "[" + text + "]") << text;
    }
}

TEST(LineBuffer, AcceptsUpToItsSizeAndRefusesBeyond)
{
    arnonat::LineBuffer<8> b;
    b.append("%s", "1234567");
    EXPECT_TRUE(b.fits());
    EXPECT_STREQ(b.c_str(), "1234567");

    b.append("%d", 8);
    EXPECT_FALSE(b.fits());
    // Once cut it stays cut, even for a text that would fit.
    b.raw("");
    EXPECT_FALSE(b.fits());

    b.clear();
    b.raw("12").word("a b c"); // the quoted word needs 7 more bytes
    EXPECT_FALSE(b.fits());
    EXPECT_STREQ(b.c_str(), "12");
}

TEST(LineBuffer, RefusedTextPrintsOneNoticeLine)
{
    arnonat::LineBuffer<4> b;
    b.raw("toolong");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(b.ready("unit"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[unit]:text longer than 3 bytes refused, nothing written or run\n");
}

} // namespace
