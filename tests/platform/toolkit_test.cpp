// The small helpers every generator shares, against the C library they
// mimic.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/text_values.h"
#include "platform/tokens.h"

namespace {

// strtoll, defined for every text, clamped to an int is the reference (where
// the value fits, atoi is the same as strtoll).
TEST(AtoiClamped, ReadsAsAtoiAndClampsWhereAtoiWouldOverflow)
{
    for (const char *text : {"", "0", "42", "  42", "\t\n\v\f\r 7", "+5", "-5", "- 5", "+-5", "12abc", "abc", "007",
                             "1e5", "0x10", " +0", "-0", "2147483647", "-2147483648", "2147483648", "-2147483649",
                             "4294967297", "99999999999999999999999", "-99999999999999999999999",
                             "  -00000000000000000000012"})
        EXPECT_EQ(arnonat::atoi_clamped(text), std::clamp<long long>(std::strtoll(text, nullptr, 10), INT32_MIN, INT32_MAX))
            << text;
    // A view ends the number where it ends.
    EXPECT_EQ(arnonat::atoi_clamped(std::string_view("123456", 3)), 123);
}

// What strtok_r cannot do (the splitting itself is seen through every
// setting that is split).
TEST(Tokens, SplitsAViewWithoutWritingAndGivesTheRest)
{
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
