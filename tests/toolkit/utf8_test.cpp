#include "toolkit/utf8.h"

#include <gtest/gtest.h>

using brix::UTF8;

TEST(UTF8, DecodesAndEncodesEveryWellFormedLength)
{
    EXPECT_EQ(U"a\u00E9\u20AC\U0001F600", UTF8::decode("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    EXPECT_EQ(U"\U0010FFFF\uD7FF\uE000", UTF8::decode("\xF4\x8F\xBF\xBF\xED\x9F\xBF\xEE\x80\x80"));
    EXPECT_EQ(std::u32string(U"x\0y", 3), UTF8::decode(std::string("x\0y", 3)));
    // The lowest and highest value of each length, both ways.
    const std::string bounds = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    EXPECT_EQ(U"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF", UTF8::decode(bounds));
    std::string encoded;
    for (char32_t codePoint : UTF8::decode(bounds))
        UTF8::append(codePoint, encoded);
    EXPECT_EQ(encoded, bounds);
}

TEST(UTF8, ReplacesEachMaximalBadRunWithOneReplacementCharacter)
{
    // Stray continuation, bytes that never start a sequence.
    EXPECT_EQ(U"\uFFFDa\uFFFD\uFFFD", UTF8::decode("\x80"
                                                   "a\xC0\xFF"));
    // Overlong two-byte forms ("/" as C0 AF) have no lead byte at all; F5 and above neither.
    EXPECT_EQ(U"\uFFFD\uFFFD\uFFFD\uFFFD", UTF8::decode("\xC0\xAF\xC1\xBF"));
    EXPECT_EQ(U"\uFFFD\uFFFD\uFFFD\uFFFD", UTF8::decode("\xF5\x80\x80\x80"));
    // Overlong forms, surrogates and values beyond U+10FFFF fail at their second byte.
    EXPECT_EQ(U"\uFFFD\uFFFD", UTF8::decode("\xE0\x80"));
    EXPECT_EQ(U"\uFFFD\uFFFD\uFFFD", UTF8::decode("\xED\xA0\x80"));
    EXPECT_EQ(U"\uFFFD\uFFFD\uFFFD\uFFFD", UTF8::decode("\xF4\x90\x80\x80"));
    // A sequence cut short by the end or by a new character is one replacement.
    EXPECT_EQ(U"\uFFFD", UTF8::decode("\xF0\x9F\x98"));
    EXPECT_EQ(U"\uFFFDb", UTF8::decode("\xE2\x82"
                                       "b"));
}
