// The small helpers every generator shares, against the C library they
// mimic.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/text_values.h"
#include "platform/tokens.h"

namespace {

// strtoll is defined for every text; where its value fits an int, atoi
// must agree with it too.
TEST(AtoiClamped, ReadsAsAtoiAndClampsWhereAtoiWouldOverflow)
{
    for (const char *text : {"", "0", "42", "  42", "\t\n\v\f\r 7", "+5", "-5", "- 5", "+-5", "12abc", "abc", "007",
                             "1e5", "0x10", " +0", "-0", "2147483647", "-2147483648", "2147483648", "-2147483649",
                             "4294967297", "99999999999999999999999", "-99999999999999999999999",
                             "  -00000000000000000000012"}) {
        long long reference = std::clamp<long long>(std::strtoll(text, nullptr, 10), INT32_MIN, INT32_MAX);
        EXPECT_EQ(arnonat::atoi_clamped(text), reference) << text;
        if (reference > INT32_MIN && reference < INT32_MAX)
            EXPECT_EQ(arnonat::atoi_clamped(text), std::atoi(text)) << text;
    }
    // A view ends the number where it ends.
    EXPECT_EQ(arnonat::atoi_clamped(std::string_view("123456", 3)), 123);
}

TEST(Tokens, SplitAsStrtokRDoes)
{
    const std::pair<const char *, const char *> rows[] = {
        {"", ";"},    {";;;", ";"}, {"a", ";"}, {"a;;b;", ";"}, {";a;b", ";"},    {"  a  b  ", " "},
        {"a b\tc \t d", " \t"}, {"a b", ""}, {"@@1@@2@", "@"}, {"x\n\ny\n", "\n"}, {"1:2:3", ": "}, {"::", ":"},
    };
    for (const auto &[text, delimiters] : rows) {
        std::string copy = text, by_strtok_r, by_tokens;
        char *save = nullptr;
        for (char *t = strtok_r(copy.data(), delimiters, &save); t; t = strtok_r(nullptr, delimiters, &save))
            by_strtok_r += std::string(t) + "|";
        arnonat::Tokens split(text, delimiters);
        for (std::string_view t; split.next(t);)
            by_tokens += std::string(t) + "|";
        EXPECT_EQ(by_tokens, by_strtok_r) << text;
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

} // namespace
