#include "engine/core/zlibcompressor.h"

#include "support/logcapture.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace
{
// A level-like file: repetitive text with some noise, larger than several read blocks.
std::string levelText(size_t size)
{
    std::string text;
    unsigned int seed = 12345;
    while (text.size() < size)
    {
        seed = seed * 1103515245u + 12345u;
        text += "<block><type>wall" + std::to_string(seed % 97) + "</type><x>" + std::to_string(seed % 1000) +
                "</x></block>\n";
    }
    text.resize(size);
    return text;
}

class ZLibCompressorTest : public testing::Test
{
protected:
    test::TempDir mDir;
    test::LogCapture mLog;
    brix::ZLibCompressor mZip;
};
} // namespace

TEST_F(ZLibCompressorTest, RestoresFilesByteForByte)
{
    for (size_t size : {size_t(0), size_t(1), size_t(1024), size_t(1025), size_t(100000)})
    {
        std::string original = levelText(size);
        if (size)
            original[size / 2] = '\0';
        test::writeFile(mDir.file("level.xml"), original);
        std::vector<unsigned char> packed(16384);
        unsigned int packedSize = mZip.compressFile(mDir.file("level.xml"), packed.data(), 16384);
        ASSERT_GT(packedSize, 0u) << size;
        EXPECT_EQ(packed[0], 0x78) << "zlib header";

        EXPECT_EQ(mZip.decompressFile(packed.data(), packedSize, mDir.file("copy.xml")), size);
        EXPECT_EQ(test::readFile(mDir.file("copy.xml")), original) << size;
    }
    EXPECT_TRUE(mLog.lines().empty());
}

TEST_F(ZLibCompressorTest, ReportsAPackedFormThatDoesNotFit)
{
    test::writeFile(mDir.file("level.xml"), levelText(100000));
    std::vector<unsigned char> packed(64);
    EXPECT_EQ(mZip.compressFile(mDir.file("level.xml"), packed.data(), 64), 0u);
    ASSERT_EQ(mLog.lines().size(), 1u);
    EXPECT_TRUE(mLog.lines()[0] == "E Compression output buffer full" ||
                mLog.lines()[0].rfind("E ZLib deflate (finish) failed: ", 0) == 0)
        << mLog.lines()[0];

    // Small enough to stay inside zlib until the end: only the finish runs out of room.
    test::writeFile(mDir.file("small.xml"), levelText(500));
    EXPECT_EQ(mZip.compressFile(mDir.file("small.xml"), packed.data(), 16), 0u);
    EXPECT_EQ(mLog.lines().back(), "E ZLib deflate (finish) failed: buffer error");
}

TEST_F(ZLibCompressorTest, ReportsAFileThatCannotBeRead)
{
    unsigned char packed[256];
    EXPECT_EQ(mZip.compressFile(mDir.file("missing.xml"), packed, sizeof(packed)), 0u);
    EXPECT_EQ(mZip.compressFile(mDir.path(), packed, sizeof(packed)), 0u);
    EXPECT_EQ(mLog.lines(),
              (std::vector<std::string>{"E Unable to read data from " + mDir.file("missing.xml"),
                                        "E Unable to read data from " + mDir.path()}));
}

TEST_F(ZLibCompressorTest, BadDataFailsAndKeepsTheOldFile)
{
    std::string original = levelText(5000);
    test::writeFile(mDir.file("level.xml"), original);
    std::vector<unsigned char> packed(16384);
    unsigned int packedSize = mZip.compressFile(mDir.file("level.xml"), packed.data(), 16384);
    ASSERT_GT(packedSize, 10u);
    test::writeFile(mDir.file("old.xml"), "old level");

    // Cut short anywhere, even a byte before the end of the checksum.
    for (unsigned int cut : {0u, 1u, 2u, packedSize / 2, packedSize - 1})
    {
        EXPECT_EQ(mZip.decompressFile(packed.data(), cut, mDir.file("old.xml")), 0u) << cut;
        EXPECT_EQ(test::readFile(mDir.file("old.xml")), "old level") << cut;
    }
    std::vector<std::string> lines = mLog.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "E ZLib inflate failed: buffer error");

    // Damaged in the middle: the checksum catches it.
    packed[packedSize / 2] ^= 0x55;
    EXPECT_EQ(mZip.decompressFile(packed.data(), packedSize, mDir.file("old.xml")), 0u);
    EXPECT_EQ(test::readFile(mDir.file("old.xml")), "old level");
    EXPECT_EQ(mLog.lines().back().rfind("E ZLib inflate failed: ", 0), 0u);

    // A small packet that unpacks past the largest size asked for writes nothing; one that
    // unpacks to exactly that size is taken.
    const unsigned int largest = 100000;
    test::writeFile(mDir.file("zeros.xml"), std::string(largest, '\0'));
    packedSize = mZip.compressFile(mDir.file("zeros.xml"), packed.data(), 16384);
    ASSERT_GT(packedSize, 0u);
    ASSERT_LT(packedSize, 1000u);
    EXPECT_EQ(mZip.decompressFile(packed.data(), packedSize, mDir.file("old.xml"), largest - 1), 0u);
    EXPECT_EQ(test::readFile(mDir.file("old.xml")), "old level");
    EXPECT_EQ(mLog.lines().back(), "E Unpacked data exceeds 99999 bytes");
    EXPECT_EQ(mZip.decompressFile(packed.data(), packedSize, mDir.file("old.xml"), largest), largest);
    EXPECT_TRUE(test::readFile(mDir.file("old.xml")) == std::string(largest, '\0'));

    EXPECT_EQ(mZip.decompressFile(nullptr, 100, mDir.file("old.xml")), 0u);
    struct stat info;
    EXPECT_NE(stat(mDir.file("old.xml.tmp").c_str(), &info), 0) << "no temporary file left behind";
}

TEST_F(ZLibCompressorTest, ReportsATargetThatCannotBeWritten)
{
    test::writeFile(mDir.file("level.xml"), "x");
    unsigned char packed[64];
    unsigned int packedSize = mZip.compressFile(mDir.file("level.xml"), packed, sizeof(packed));
    std::string target = mDir.file("no/such/folder.xml");
    EXPECT_EQ(mZip.decompressFile(packed, packedSize, target), 0u);
    EXPECT_EQ(mLog.lines(), (std::vector<std::string>{"E Unable to write data to " + target}));
}
