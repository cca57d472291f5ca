#include "toolkit/image.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <fstream>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>

namespace
{
// A w x h image whose pixel (x, y) is 0xAA000000 | y << 8 | x, so every pixel tells where it
// came from.
brix::Image numbered(int w, int h)
{
    brix::Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.getData()[y * w + x] = 0xAA000000u | uint32_t(y) << 8 | uint32_t(x);
    return image;
}

uint32_t pixel(const brix::Image& image, int x, int y)
{
    return image.getData()[y * image.getWidth() + x];
}

// An 18-byte TGA header followed by the given pixel bytes.
std::string tga(int type, int width, int height, int bits, const std::string& pixels, int colourMap = 0,
                const std::string& id = "")
{
    std::string header(18, '\0');
    header[0] = char(id.size());
    header[1] = char(colourMap);
    header[2] = char(type);
    header[12] = char(width & 0xFF);
    header[13] = char(width >> 8);
    header[14] = char(height & 0xFF);
    header[15] = char(height >> 8);
    header[16] = char(bits);
    return header + id + pixels;
}
} // namespace

TEST(Image, TwentyFourBitRoundTripKeepsColoursAndRows)
{
    test::TempDir dir;
    brix::Image image(2, 2);
    uint32_t colours[4] = {0x10112233, 0x20445566, 0x30778899, 0x40AABBCC};
    std::copy(colours, colours + 4, image.getData());
    ASSERT_EQ(4, image.saveTGA(dir.file("a.tga"), 24));

    std::string file = test::readFile(dir.file("a.tga"));
    ASSERT_EQ(18u + 12u, file.size());
    EXPECT_EQ(2, file[2]);
    EXPECT_EQ(24, file[16]);
    // Bottom row first, blue green red.
    EXPECT_EQ(std::string("\x99\x88\x77", 3), file.substr(18, 3));
    EXPECT_FALSE(test::readFile(dir.file("a.tga.tmp")).size());

    brix::Image loaded;
    ASSERT_EQ(4, loaded.loadTGA(dir.file("a.tga")));
    ASSERT_EQ(2, loaded.getWidth());
    ASSERT_EQ(2, loaded.getHeight());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ((colours[i] & 0xFFFFFFu) | 0xFF000000u, loaded.getData()[i]) << i;
}

TEST(Image, ThirtyTwoBitKeepsAlphaAndEightBitStoresTheGreyAverage)
{
    test::TempDir dir;
    brix::Image image(3, 1);
    image.getData()[0] = 0x801E3266; // red 30, green 50, blue 102: grey 60, truncated
    image.getData()[1] = 0x00FFFFFF;
    image.getData()[2] = 0xFF000000;

    brix::Image loaded;
    ASSERT_EQ(3, image.saveTGA(dir.file("c.tga"), 32));
    ASSERT_EQ(3, loaded.loadTGA(dir.file("c.tga")));
    EXPECT_EQ(0x801E3266u, loaded.getData()[0]);
    EXPECT_EQ(0x00FFFFFFu, loaded.getData()[1]);

    ASSERT_EQ(3, image.saveTGA(dir.file("g.tga"), 8));
    std::string file = test::readFile(dir.file("g.tga"));
    ASSERT_EQ(18u + 3u, file.size());
    EXPECT_EQ(3, file[2]);
    EXPECT_EQ(60, file[18]);
    ASSERT_EQ(3, loaded.loadTGA(dir.file("g.tga")));
    EXPECT_EQ(0xFF3C3C3Cu, loaded.getData()[0]);
    EXPECT_EQ(0xFFFFFFFFu, loaded.getData()[1]);
}

TEST(Image, LoadSkipsTheImageIdAndTakesRowsBottomUp)
{
    test::TempDir dir;
    test::writeFile(dir.file("id.tga"), tga(3, 1, 2, 8, "\x01\x02", 0, "name"));
    brix::Image image;
    ASSERT_EQ(2, image.loadTGA(dir.file("id.tga")));
    EXPECT_EQ(0xFF020202u, pixel(image, 0, 0));
    EXPECT_EQ(0xFF010101u, pixel(image, 0, 1));
}

TEST(Image, LoadRejectsBadFilesWithTheirCodesAndKeepsTheImage)
{
    test::TempDir dir;
    struct
    {
        std::string content;
        int result;
    } cases[] = {
        {std::string(17, '\0'), -2},
        {tga(2, 1, 1, 24, "abc", 1), -3},
        {tga(10, 1, 1, 24, "abc"), -4},
        {tga(2, 1, 1, 16, "ab"), -5},
        {tga(2, 2, 1, 24, "abcde"), -6},
        // Claims 4 billion pixels: refused from the file size, nothing allocated.
        {tga(2, 65535, 65535, 32, "abcd"), -6},
    };
    brix::Image image = numbered(3, 3);
    EXPECT_EQ(-1, image.loadTGA(dir.file("missing.tga")));
    EXPECT_EQ(-1, image.loadTGA(dir.path()));
    // A pipe with no writer would block an ordinary open.
    ASSERT_EQ(0, mkfifo(dir.file("pipe.tga").c_str(), 0600));
    EXPECT_EQ(-1, image.loadTGA(dir.file("pipe.tga")));
    for (const auto& c : cases)
    {
        test::writeFile(dir.file("bad.tga"), c.content);
        EXPECT_EQ(c.result, image.loadTGA(dir.file("bad.tga"))) << c.result;
        EXPECT_EQ(3, image.getWidth());
        EXPECT_EQ(0xAA000202u, pixel(image, 2, 2));
    }
}

TEST(Image, SaveRefusesBadDepthsAndSidesAndKeepsTheOldFile)
{
    test::TempDir dir;
    test::writeFile(dir.file("old.tga"), "old");
    brix::Image image = numbered(2, 2);
    EXPECT_EQ(-1, image.saveTGA(dir.file("old.tga"), 16));

    brix::Image wide(65536, 1);
    EXPECT_EQ(-1, wide.saveTGA(dir.file("old.tga"), 8));
    EXPECT_EQ("old", test::readFile(dir.file("old.tga")));

    brix::Image widest(65535, 1);
    EXPECT_EQ(65535, widest.saveTGA(dir.file("widest.tga"), 8));

    EXPECT_EQ(-2, image.saveTGA(dir.file("no/such/folder.tga"), 24));

    // A write that fails half-way (here at a 20-byte file size limit) keeps the old file.
    struct rlimit limit;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &limit));
    struct rlimit small = limit;
    small.rlim_cur = 20;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int result = image.saveTGA(dir.file("old.tga"), 24);
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(-3, result);
    EXPECT_EQ("old", test::readFile(dir.file("old.tga")));
    EXPECT_FALSE(std::ifstream(dir.file("old.tga.tmp")).good());
}

TEST(Image, BlitClipsToBothImages)
{
    brix::Image source = numbered(4, 4);
    brix::Image target(4, 4);
    std::fill(target.getData(), target.getData() + 16, 0u);

    // From the source's second row and column into the top-left 3 x 3.
    EXPECT_EQ(9, target.blit(source, brix::Rectangle(0, 0, 4, 4), -1, -1));
    EXPECT_EQ(0xAA000101u, pixel(target, 0, 0));
    EXPECT_EQ(0xAA000303u, pixel(target, 2, 2));
    EXPECT_EQ(0u, pixel(target, 3, 3));

    // A source rectangle reaching past the source image copies only what is there.
    std::fill(target.getData(), target.getData() + 16, 0u);
    EXPECT_EQ(4, target.blit(source, brix::Rectangle(2, 2, 9, 9), 0, 0));
    EXPECT_EQ(0xAA000303u, pixel(target, 1, 1));
    EXPECT_EQ(0u, pixel(target, 2, 2));
    EXPECT_EQ(1, target.blit(source, brix::Rectangle(-5, -5, 1, 1), -3, -3));
    EXPECT_EQ(0xAA000000u, pixel(target, 2, 2));

    EXPECT_EQ(0, target.blit(source, brix::Rectangle(0, 0, 4, 4), 4, 0));
    EXPECT_EQ(0, target.blit(source, brix::Rectangle(0, 0, 4, 4), 2147483647, -2147483647 - 1));
    brix::Image empty;
    EXPECT_EQ(0, empty.blit(source, source.getSize(), 0, 0));
}

TEST(Image, KeyedBlitFiltersByColourKeyOrAlpha)
{
    brix::Image source(3, 1);
    source.getData()[0] = 0xFF000000; // black
    source.getData()[1] = 0x7F102030;
    source.getData()[2] = 0x80405060;
    brix::Image target(3, 1);

    std::fill(target.getData(), target.getData() + 3, 0x11111111u);
    EXPECT_EQ(2, target.blit(source, source.getSize(), 0, 0, brix::Image::AL_CKBLACK, 0x40, 1));
    EXPECT_EQ(0x11111111u, pixel(target, 0, 0));
    EXPECT_EQ(0x40102030u, pixel(target, 1, 0));

    std::fill(target.getData(), target.getData() + 3, 0x11111111u);
    EXPECT_EQ(2, target.blit(source, source.getSize(), 0, 0, 0x80, 0xFF, 1));
    EXPECT_EQ(0x11111111u, pixel(target, 1, 0));
    EXPECT_EQ(0xFF405060u, pixel(target, 2, 0));

    EXPECT_EQ(0, target.blit(source, source.getSize(), 0, 0, -1, 0xFF, 1));
    EXPECT_EQ(3, target.blit(source, source.getSize(), 0, 0, brix::Image::AL_NONE, 0, 0));
    EXPECT_EQ(0x7F102030u, pixel(target, 1, 0));
}

TEST(Image, ScaledBlitSamplesEveryScaleThPixelIntoConsecutivePixels)
{
    brix::Image source = numbered(5, 5);
    brix::Image target(4, 4);
    std::fill(target.getData(), target.getData() + 16, 0u);
    EXPECT_EQ(4, target.blit(source, source.getSize(), 1, 1, 0, 0x01, 2));
    EXPECT_EQ(0x01000000u, pixel(target, 1, 1));
    EXPECT_EQ(0x01000002u, pixel(target, 2, 1));
    EXPECT_EQ(0x01000202u, pixel(target, 2, 2));
    EXPECT_EQ(0u, pixel(target, 3, 3));

    // Left off the image: the first sample that lands is the source's third column.
    std::fill(target.getData(), target.getData() + 16, 0u);
    EXPECT_EQ(1, target.blit(source, brix::Rectangle(0, 0, 4, 2), -1, 0, 0, 0, 2));
    EXPECT_EQ(0x00000002u, pixel(target, 0, 0));
    EXPECT_EQ(0, target.blit(source, brix::Rectangle(0, 0, 4, 1), 0, 0, 0, 0, 2));
}

TEST(Image, FlipCopyAndReset)
{
    brix::Image image = numbered(2, 3);
    image.flipVertical();
    EXPECT_EQ(0xAA000201u, pixel(image, 1, 0));
    EXPECT_EQ(0xAA000100u, pixel(image, 0, 1));
    EXPECT_EQ(0xAA000000u, pixel(image, 0, 2));

    brix::Image copy(image);
    image.getData()[0] = 0;
    EXPECT_EQ(0xAA000200u, pixel(copy, 0, 0));

    brix::Image flat(0, 5);
    EXPECT_EQ(nullptr, flat.getData());
    EXPECT_EQ(5, flat.getHeight());

    // A size no buffer can hold leaves an empty image rather than ending the program.
    brix::Image huge(INT_MAX, INT_MAX);
    EXPECT_EQ(nullptr, huge.getData());
    EXPECT_EQ(0, huge.getWidth());
    EXPECT_EQ(0, huge.blit(image, image.getSize(), 0, 0));
    copy.reset();
    EXPECT_EQ(nullptr, copy.getData());
    EXPECT_EQ(0, copy.getWidth());
}
