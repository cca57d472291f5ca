#include "toolkit/peertext.h"

#include <gtest/gtest.h>

using brix::PeerText;

TEST(PeerText, CutsPeerTextAtWholeCharactersWithoutControlCharacters)
{
    EXPECT_EQ(PeerText::clean("a\tb\nc\x7F"
                              "d\x1B",
                              100),
              "abcd");
    EXPECT_EQ(PeerText::clean(std::string(99, 'a') + "\xC3\xA9", 100), std::string(99, 'a'));
    EXPECT_EQ(PeerText::clean(std::string(98, 'a') + "\xC3\xA9", 100), std::string(98, 'a') + "\xC3\xA9");
    EXPECT_EQ(PeerText::clean(std::string(70, 'n'), 60), std::string(60, 'n'));
    // Ill-formed sequences (a stray continuation byte, an overlong slash, a surrogate, a cut
    // sequence), C1 controls and bidirectional controls go; other characters stay whole.
    EXPECT_EQ(PeerText::clean("a\x80"
                              "b\xC0\xAF"
                              "c\xED\xA0\x80"
                              "d\xE2\x82",
                              100),
              "abcd");
    EXPECT_EQ(PeerText::clean("x\xC2\x85y\xC2\x9Bz\xC2\xA0", 100), "xyz\xC2\xA0");
    for (const char* control : {"\xD8\x9C", "\xE2\x80\x8E", "\xE2\x80\x8F", "\xE2\x80\xAA", "\xE2\x80\xAE",
                                "\xE2\x81\xA6", "\xE2\x81\xA9"})
        EXPECT_EQ(PeerText::clean(std::string("evil") + control + "txt", 100), "eviltxt") << control;
    EXPECT_EQ(PeerText::clean("\xF0\x9F\x98\x80\xE2\x82\xAC", 6), "\xF0\x9F\x98\x80");
}
