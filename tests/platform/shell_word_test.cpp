// Settings texts placed into shell commands: ordinary values stay
// byte-exact, everything else reaches the shell as one inert word; and a
// line that does not fit its buffer is refused whole.
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
    FILE *p = popen(("printf '[%s]' " + command_tail).c_str(), "r");
    std::string out;
    char buf[256];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    return pclose(p) == 0 ? out : "failed: " + out;
}

TEST(ShellWord, OrdinaryTextsStayAndTheRestIsOneQuotedWordTheShellReadsBack)
{
    const std::pair<std::string, std::string> rows[] = {
        {"", ""}, {"eth0", "eth0"}, {"192.168.1.0/24", "192.168.1.0/24"}, {"a-b_c.d:e,f@g%h+i=j", "a-b_c.d:e,f@g%h+i=j"},
        {"ABCxyz019", "ABCxyz019"}, {"x;reboot", "'x;reboot'"}, {"$(reboot)", "'$(reboot)'"}, {"a b", "'a b'"},
        {"it's", "'it'\\''s'"}, {"'", "''\\'''"}, {"`id`", "'`id`'"}, {"a\nb", "'a\nb'"}, {"-n", "-n"},
        {"~root", "'~root'"}, {"\\", "'\\'"}, {"*", "'*'"}, {"!x", "'!x'"}, {"a\"b", "'a\"b'"}, {"#c", "'#c'"},
        {"{a,b}", "'{a,b}'"}, {"\x01\x7f\xff", "'\x01\x7f\xff'"}, {"&", "'&'"}, {"|", "'|'"}, {"<x", "'<x'"},
        {"$HOME", "'$HOME'"}, {"${PATH}", "'${PATH}'"}, {"''", "''\\'''\\'''"}};
    for (const auto &[text, word] : rows) {
        EXPECT_EQ(shell_word(text), word) << text;
        if (!text.empty())
            EXPECT_EQ(shell_arguments(word), "[" + text + "]") << text;
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        std::string text(1 + rng() % 12, ' ');
        for (char &c : text)
            c = static_cast<char>(1 + rng() % 255);
        EXPECT_EQ(shell_arguments(shell_word(text)), "[" + text + "]");
    }
    // Inside a double-quoted assignment value.
    for (const std::string text : {"br0", "a\"b", "$(reboot)", "`id`", "back\\slash", "a b;c"}) {
        char line[64] = "\"";
        FILE *stream = fmemopen(line + 1, sizeof line - 2, "w");
        arnonat::put_quoted_text(text.c_str(), stream);
        std::fclose(stream);
        EXPECT_EQ(shell_arguments(std::string(line) + "\""), "[" + text + "]") << text;
    }
}

TEST(LineBuffer, TakesUpToItsSizeAndRefusesTheWholeLineBeyond)
{
    arnonat::LineBuffer<8> b;
    b.append("%s", "1234567");
    EXPECT_TRUE(b.fits());
    EXPECT_STREQ(b.c_str(), "1234567");
    b.append("%d", 8);
    EXPECT_FALSE(b.fits());
    b.clear();
    b.append("%s", "1234567").raw("").raw("8").raw(""); // once cut it stays cut, even for a text that fits
    EXPECT_FALSE(b.fits());
    b.clear();
    b.raw("12").word("a b c"); // the quoted word needs 7 more bytes
    EXPECT_FALSE(b.fits());
    EXPECT_STREQ(b.c_str(), "12");
    arnonat::LineBuffer<4> small;
    small.raw("toolong");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(small.ready("unit"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[unit]:text longer than 3 bytes refused, nothing written or run\n");
}

} // namespace
