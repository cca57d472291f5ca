#include "toolkit/crc32.h"
#include "toolkit/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::string md5Hex(const std::string& text)
{
    brix::MD5 md5;
    md5.add(text);
    md5.finalize();
    return md5.getChecksumHex();
}

std::vector<unsigned char> pattern(unsigned length)
{
    std::vector<unsigned char> bytes(length);
    unsigned value = 12345;
    for (auto& byte : bytes)
    {
        value = value * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(value >> 16);
    }
    return bytes;
}
} // namespace

TEST(CRC32, KeepsTheRegisterUninvertedFromZero)
{
    brix::CRC32 crc;
    crc.add("abc");
    crc.finalize();
    EXPECT_EQ(crc.getChecksumInteger(), 0xCA6598D0u);
    EXPECT_EQ(crc.getChecksumHex(), "d09865ca");
    unsigned char raw[4];
    crc.getChecksumRaw(raw);
    EXPECT_EQ(raw[0], 0xD0);
    EXPECT_EQ(raw[3], 0xCA);

    brix::CRC32 zeros;
    EXPECT_EQ(zeros.getChecksumInteger(), 0u);
    zeros.add(std::string(100, '\0'));
    EXPECT_EQ(zeros.getChecksumInteger(), 0u);
    EXPECT_EQ(zeros.getChecksumLength(), 4u);
}

TEST(CRC32, MatchesTheStandardCheckValueWhenInvertedByTheCaller)
{
    // The common CRC-32 starts at all ones and inverts the result; its check value
    // covers the table and the eight-byte steps alike.
    brix::CRC32 crc(0xFFFFFFFFu);
    crc.add("123456789");
    EXPECT_EQ(~crc.getChecksumInteger(), 0xCBF43926u);
}

TEST(CRC32, ResetReturnsToTheInitialValue)
{
    brix::CRC32 crc(0x12345678u);
    EXPECT_EQ(crc.getChecksumInteger(), 0x12345678u);
    crc.add("some level");
    EXPECT_NE(crc.getChecksumInteger(), 0x12345678u);
    crc.reset();
    EXPECT_EQ(crc.getChecksumInteger(), 0x12345678u);
}

TEST(CRC32, GivesTheSameResultHoweverTheDataIsSplit)
{
    auto bytes = pattern(1000);
    brix::CRC32 whole;
    whole.addRaw(bytes.data(), static_cast<unsigned>(bytes.size()));

    brix::CRC32 single;
    for (unsigned char byte : bytes)
        single.addRaw(&byte, 1);
    EXPECT_EQ(single.getChecksumInteger(), whole.getChecksumInteger());

    for (unsigned first = 0; first < 20; ++first)
    {
        brix::CRC32 split;
        split.addRaw(bytes.data(), first);
        split.addRaw(bytes.data() + first, static_cast<unsigned>(bytes.size()) - first);
        EXPECT_EQ(split.getChecksumInteger(), whole.getChecksumInteger()) << first;
    }
}

TEST(MD5, MatchesTheReferenceDigests)
{
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5, IntegerIsTheLastFourBytesBigEndian)
{
    brix::MD5 md5;
    md5.finalize();
    EXPECT_EQ(md5.getChecksumInteger(), 0xecf8427eu);
    EXPECT_EQ(md5.getChecksumLength(), 16u);
}

TEST(MD5, PadsEveryLengthAroundABlockEdgeLikeOneFeed)
{
    // 55, 56 and 63 bytes are where the padding needs one block or two; digests of that many 'a's.
    const std::pair<unsigned, const char*> digests[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"},  {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},  {65, "c743a45e0d2e6a95cb859adae0248435"},
        {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"},
        {128, "e510683b3f5ffe4093d021808bc6ff70"}, {200, "887f30b43b2867f4a9accceee7d16e6c"}};
    const std::string bytes(200, 'a');
    for (const auto& digest : digests)
    {
        const unsigned length = digest.first;
        EXPECT_EQ(md5Hex(bytes.substr(0, length)), digest.second) << length;
        brix::MD5 pieces;
        for (unsigned offset = 0; offset < length; offset += 7)
            pieces.add(bytes.substr(offset, std::min(7u, length - offset)));
        pieces.finalize();
        EXPECT_EQ(pieces.getChecksumHex(), digest.second) << length;
    }
}

TEST(MD5, ResetAndCopiesStartOrContinueCleanly)
{
    brix::MD5 md5;
    md5.add("stale data");
    md5.finalize();
    md5.reset();
    md5.add("abc");
    brix::MD5 copy = md5;
    md5.finalize();
    EXPECT_EQ(md5.getChecksumHex(), "900150983cd24fb0d6963f7d28e17f72");
    copy.add("d");
    copy.finalize();
    EXPECT_EQ(copy.getChecksumHex(), md5Hex("abcd"));
}

TEST(Checksum, StringFeedsZeroBytesButCharacterStringStopsAtThem)
{
    const std::string withZero("ab\0c", 4);
    brix::CRC32 fromString, fromChars, expected;
    fromString.add(withZero);
    fromChars.add(withZero.c_str());
    fromChars.add(static_cast<const char*>(nullptr));
    expected.addRaw(reinterpret_cast<const unsigned char*>("ab\0c"), 4);
    EXPECT_EQ(fromString.getChecksumInteger(), expected.getChecksumInteger());

    brix::CRC32 ab;
    ab.add("ab");
    EXPECT_EQ(fromChars.getChecksumInteger(), ab.getChecksumInteger());
    EXPECT_NE(fromString.getChecksumInteger(), ab.getChecksumInteger());
}
