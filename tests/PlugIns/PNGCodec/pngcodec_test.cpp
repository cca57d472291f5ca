#include "PlugIns/PNGCodec/pngcodec.h"
#include "PlugIns/PNGCodec/pngtestimage.h"
#include "support/tempdir.h"

#include <OgreColourValue.h>
#include <OgreException.h>
#include <OgreImage.h>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <limits>

namespace
{
// What the codec must give for a test image: OGRE's format and every pixel as R, G, B, A in
// the format's own range.
struct TExpected
{
    Ogre::PixelFormat format = Ogre::PF_UNKNOWN;
    unsigned maximum = 255;
    std::vector<unsigned> pixels;
};

unsigned maximumOf(int bitDepth)
{
    return (1u << bitDepth) - 1;
}

TExpected expectedFor(const test::TPngImage& image)
{
    TExpected expected;
    const bool grey = !(image.colourType & PNG_COLOR_MASK_COLOR);
    const bool palette = image.colourType == PNG_COLOR_TYPE_PALETTE;
    const bool alpha = (image.colourType & PNG_COLOR_MASK_ALPHA) || image.hasTransparentColour ||
                       !image.paletteAlpha.empty();
    const bool wide = image.bitDepth == 16;
    if (grey)
        expected.format = wide ? Ogre::PF_L16 : alpha ? Ogre::PF_BYTE_LA : Ogre::PF_L8;
    else if (wide)
        expected.format = alpha ? Ogre::PF_SHORT_RGBA : Ogre::PF_SHORT_RGB;
    else
        expected.format = alpha ? Ogre::PF_R8G8B8A8 : Ogre::PF_R8G8B8;
    expected.maximum = wide ? 65535 : 255;

    const size_t channels = test::channelsOf(image.colourType);
    // Samples narrower than a byte are stretched to the full byte.
    const unsigned scale = image.bitDepth < 8 && !palette ? 255 / maximumOf(image.bitDepth) : 1;
    for (size_t i = 0; i < image.samples.size(); i += channels)
    {
        const unsigned* s = &image.samples[i];
        unsigned r, g, b, a = expected.maximum;
        if (palette)
        {
            r = image.palette[s[0]].red;
            g = image.palette[s[0]].green;
            b = image.palette[s[0]].blue;
            if (s[0] < image.paletteAlpha.size())
                a = image.paletteAlpha[s[0]];
        }
        else if (grey)
        {
            r = g = b = s[0] * scale;
            if (channels == 2)
                a = s[1];
            if (image.hasTransparentColour && s[0] == image.transparentColour.gray)
                a = 0;
        }
        else
        {
            r = s[0];
            g = s[1];
            b = s[2];
            if (channels == 4)
                a = s[3];
            const png_color_16& t = image.transparentColour;
            if (image.hasTransparentColour && r == t.red && g == t.green && b == t.blue)
                a = 0;
        }
        expected.pixels.insert(expected.pixels.end(), {r, g, b, a});
    }
    return expected;
}

// A deterministic spread of samples that always starts with the smallest and the largest value.
std::vector<unsigned> samplesFor(size_t count, unsigned maximum, uint32_t seed)
{
    std::vector<unsigned> samples(count);
    for (size_t i = 0; i < count; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        samples[i] = i == 0 ? 0 : i == 1 ? maximum : (seed >> 8) % (maximum + 1);
    }
    return samples;
}

test::TPngImage makeImage(int colourType, int bitDepth, png_uint_32 width, png_uint_32 height,
                          bool interlaced, bool transparent)
{
    test::TPngImage image;
    image.width = width;
    image.height = height;
    image.colourType = colourType;
    image.bitDepth = bitDepth;
    image.interlaced = interlaced;
    const uint32_t seed = width * 7919u + height * 104729u + colourType * 31u + bitDepth;
    if (colourType == PNG_COLOR_TYPE_PALETTE)
    {
        const unsigned entries = 1u << bitDepth;
        std::vector<unsigned> colours = samplesFor(entries * 3, 255, seed + 1);
        for (unsigned i = 0; i < entries; ++i)
            image.palette.push_back(
                {png_byte(colours[i * 3]), png_byte(colours[i * 3 + 1]), png_byte(colours[i * 3 + 2])});
        if (transparent)
            for (unsigned value : samplesFor(std::min(entries, 5u), 255, seed + 2))
                image.paletteAlpha.push_back(png_byte(value));
    }
    image.samples =
        samplesFor(size_t(width) * height * test::channelsOf(colourType), maximumOf(bitDepth), seed);
    if (transparent && colourType != PNG_COLOR_TYPE_PALETTE)
    {
        // The last pixel's colour is the transparent one, so at least one pixel turns clear.
        const size_t last = image.samples.size() - test::channelsOf(colourType);
        image.hasTransparentColour = true;
        if (colourType == PNG_COLOR_TYPE_GRAY)
            image.transparentColour.gray = png_uint_16(image.samples[last]);
        else
        {
            image.transparentColour.red = png_uint_16(image.samples[last]);
            image.transparentColour.green = png_uint_16(image.samples[last + 1]);
            image.transparentColour.blue = png_uint_16(image.samples[last + 2]);
        }
    }
    return image;
}

// Every colour type with every bit depth it allows, with and without a tRNS chunk where one may
// stand, plain and interlaced, at sizes below, at and above Adam7's 8x8 block.
std::vector<test::TPngImage> pngSuite()
{
    const std::vector<std::pair<int, std::vector<int>>> depths = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
                                                                  {PNG_COLOR_TYPE_RGB, {8, 16}},
                                                                  {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
                                                                  {PNG_COLOR_TYPE_GRAY_ALPHA, {8}},
                                                                  {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
    const std::vector<std::pair<png_uint_32, png_uint_32>> sizes = {{1, 1}, {5, 3}, {17, 9}};
    std::vector<test::TPngImage> suite;
    for (const auto& [colourType, bitDepths] : depths)
        for (int bitDepth : bitDepths)
            for (bool interlaced : {false, true})
                for (bool transparent : {false, true})
                {
                    if (transparent && (colourType & PNG_COLOR_MASK_ALPHA))
                        continue;
                    // 16-bit grey with a transparent colour becomes 16-bit grey + alpha: refused.
                    if (transparent && colourType == PNG_COLOR_TYPE_GRAY && bitDepth == 16)
                        continue;
                    for (const auto& [width, height] : sizes)
                        suite.push_back(
                            makeImage(colourType, bitDepth, width, height, interlaced, transparent));
                }
    return suite;
}

std::string describe(const test::TPngImage& image)
{
    return "colour type " + std::to_string(image.colourType) + ", " + std::to_string(image.bitDepth) +
           " bits, " + std::to_string(image.width) + "x" + std::to_string(image.height) +
           (image.interlaced ? ", interlaced" : "") +
           (image.hasTransparentColour || !image.paletteAlpha.empty() ? ", tRNS" : "");
}

unsigned component(float value, unsigned maximum)
{
    return unsigned(std::lround(value * maximum));
}

void expectPixels(const Ogre::Image& image, const TExpected& expected)
{
    ASSERT_EQ(image.getFormat(), expected.format) << Ogre::PixelUtil::getFormatName(image.getFormat());
    size_t i = 0;
    for (uint32_t y = 0; y < image.getHeight(); ++y)
        for (uint32_t x = 0; x < image.getWidth(); ++x, i += 4)
        {
            const Ogre::ColourValue colour = image.getColourAt(x, y, 0);
            const std::vector<unsigned> actual = {
                component(colour.r, expected.maximum), component(colour.g, expected.maximum),
                component(colour.b, expected.maximum), component(colour.a, expected.maximum)};
            const std::vector<unsigned> wanted(expected.pixels.begin() + i, expected.pixels.begin() + i + 4);
            ASSERT_EQ(actual, wanted) << "pixel " << x << "," << y;
        }
}

// The text of the InvalidParametersException that decoding throws, or "" when it throws none.
std::string decodeError(const std::string& bytes)
{
    Ogre::Image image;
    try
    {
        image.load(test::streamOf(bytes), "png");
    }
    catch (const Ogre::InvalidParametersException& error)
    {
        return error.getDescription();
    }
    return "";
}

class PNGCodecTest : public ::testing::Test
{
protected:
    test::OgreWithPNG mOgre;
    test::TempDir mFolder;
};
} // namespace

TEST_F(PNGCodecTest, DecodesEveryColourTypeDepthAndInterlacingToTheFilesPixels)
{
    for (const test::TPngImage& source : pngSuite())
    {
        SCOPED_TRACE(describe(source));
        Ogre::Image image;
        image.load(test::streamOf(test::encodePng(source)));
        EXPECT_EQ(image.getWidth(), source.width);
        EXPECT_EQ(image.getHeight(), source.height);
        EXPECT_EQ(image.getNumMipmaps(), 0u);
        expectPixels(image, expectedFor(source));
    }
}

TEST_F(PNGCodecTest, KeepsFullRangeSamplesOfImagesWithFewerSignificantBits)
{
    test::TPngImage source = makeImage(PNG_COLOR_TYPE_RGB, 8, 4, 2, false, false);
    source.significantBits = 5;
    Ogre::Image image;
    image.load(test::streamOf(test::encodePng(source)));
    expectPixels(image, expectedFor(source));
}

TEST_F(PNGCodecTest, RefusesSixteenBitGreyWithAlpha)
{
    const std::string refusal = "Error: 32-bit grayscale + alpha not supported";
    EXPECT_EQ(decodeError(test::encodePng(makeImage(PNG_COLOR_TYPE_GRAY_ALPHA, 16, 3, 2, false, false))),
              refusal);
    EXPECT_EQ(decodeError(test::encodePng(makeImage(PNG_COLOR_TYPE_GRAY, 16, 3, 2, false, true))), refusal);
}

TEST_F(PNGCodecTest, RefusesStreamsWithoutTheSignatureBeforeTouchingLibpng)
{
    const std::string png = test::encodePng(makeImage(PNG_COLOR_TYPE_RGB, 8, 2, 2, false, false));
    EXPECT_EQ(decodeError(""), "Error: Not a PNG image");
    EXPECT_EQ(decodeError(png.substr(0, 7)), "Error: Not a PNG image");
    EXPECT_EQ(decodeError("GIF89a\x01\x00\x01\x00"), "Error: Not a PNG image");
    std::string damaged = png;
    damaged[7] = 'x';
    EXPECT_EQ(decodeError(damaged), "Error: Not a PNG image");

    try
    {
        Ogre::Image image;
        image.load(test::streamOf("\x89PNG\r\n"), "png");
        FAIL() << "a six-byte stream decoded";
    }
    catch (const Ogre::InvalidParametersException& error)
    {
        EXPECT_EQ(error.getSource(), "PNGCodec::decode");
        EXPECT_STREQ(error.getFile(), "PlugIns/PNGCodec/TevraPNGCodec.cpp");
    }
}

TEST_F(PNGCodecTest, ReportsEveryTruncationAndDamageAsALoadError)
{
    const std::string png = test::encodePng(makeImage(PNG_COLOR_TYPE_RGB_ALPHA, 8, 9, 5, true, false));
    for (size_t length = 8; length < png.size(); ++length)
    {
        // libpng reports its reason on stderr: the image must fail at the read that comes up
        // short, not later on a checksum over whatever the buffer held before.
        testing::internal::CaptureStderr();
        const std::string error = decodeError(png.substr(0, length));
        const std::string reason = testing::internal::GetCapturedStderr();
        ASSERT_EQ(error, "Error: PNG load error") << length << " bytes";
        ASSERT_EQ(reason, "libpng error: Read error: the image ends early\n") << length << " bytes";
    }

    // A flipped bit in the image data fails its chunk's checksum.
    std::string damaged = png;
    damaged[png.size() / 2] ^= 0x10;
    EXPECT_EQ(decodeError(damaged), "Error: PNG load error");

    // A stream that throws past the signature, as a damaged archive's may: the read fails
    // there and the exception never crosses libpng.
    struct ThrowingStream : Ogre::MemoryDataStream
    {
        using Ogre::MemoryDataStream::MemoryDataStream;
        size_t read(void* buffer, size_t count) override
        {
            if (tell() >= 8)
                OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, "archive damaged", "test");
            return Ogre::MemoryDataStream::read(buffer, count);
        }
    };
    auto* throwing = new ThrowingStream(png.size());
    png.copy(reinterpret_cast<char*>(throwing->getPtr()), png.size());
    testing::internal::CaptureStderr();
    Ogre::Image image;
    EXPECT_THROW(image.load(Ogre::DataStreamPtr(throwing), "png"), Ogre::InvalidParametersException);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "libpng error: Read error: the image ends early\n");
}

TEST_F(PNGCodecTest, RefusesImagesLargerThanTheLimitBeforeAllocatingThem)
{
    const png_uint_32 limit = PNG::PNGCodec::MAX_DIMENSION;
    test::TPngImage wide = makeImage(PNG_COLOR_TYPE_GRAY, 1, limit, 1, false, false);
    Ogre::Image image;
    image.load(test::streamOf(test::encodePng(wide)));
    EXPECT_EQ(image.getWidth(), limit);

    wide.width = limit + 1;
    wide.samples.push_back(0);
    EXPECT_EQ(decodeError(test::encodePng(wide)), "Error: PNG load error");
    test::TPngImage tall = makeImage(PNG_COLOR_TYPE_GRAY, 1, 1, limit + 1, false, false);
    EXPECT_EQ(decodeError(test::encodePng(tall)), "Error: PNG load error");
}

TEST_F(PNGCodecTest, RecognisesTheMagicNumberFromFourBytes)
{
    PNG::PNGCodec codec;
    EXPECT_EQ(codec.getType(), "png");
    EXPECT_EQ(codec.magicNumberToFileExt("\x89PNG", 4), "png");
    EXPECT_EQ(codec.magicNumberToFileExt("\x89PNG\r\n\x1a\n", 8), "png");
    EXPECT_EQ(codec.magicNumberToFileExt("\x89PN", 3), "");
    EXPECT_EQ(codec.magicNumberToFileExt("\x89PNX", 4), "");
    EXPECT_EQ(codec.magicNumberToFileExt("GIF89a", 6), "");

    char header[] = "\x89PNG\r\n\x1a\n";
    ASSERT_NE(Ogre::Codec::getCodec(header, 8), nullptr);
    EXPECT_EQ(Ogre::Codec::getCodec(header, 8)->getType(), "png");
    EXPECT_EQ(Ogre::Codec::getCodec(header, 3), nullptr);

    const PNG::PNGCodec copy(codec);
    EXPECT_EQ(copy.getType(), "png");
}

TEST_F(PNGCodecTest, EncodingToMemoryIsUnimplemented)
{
    Ogre::Image image;
    image.load(test::streamOf(test::encodePng(makeImage(PNG_COLOR_TYPE_RGB, 8, 2, 2, false, false))));
    try
    {
        image.encode("png");
        FAIL() << "encoding to memory returned";
    }
    catch (const Ogre::UnimplementedException& error)
    {
        EXPECT_EQ(error.getDescription(), "PNG encoding not supported");
        EXPECT_EQ(error.getSource(), "PNGCodec::encode");
    }
}

TEST_F(PNGCodecTest, SavesEveryDecodedImageAsEightBitRgbThatLoadsBack)
{
    for (const test::TPngImage& source : pngSuite())
    {
        if (source.width != 17 || source.interlaced)
            continue;
        SCOPED_TRACE(describe(source));
        Ogre::Image image;
        image.load(test::streamOf(test::encodePng(source)));
        const std::string path = mFolder.file("saved.png");
        image.save(path);

        const test::TPngImage saved = test::decodePng(test::readFile(path));
        EXPECT_EQ(saved.colourType, PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(saved.bitDepth, 8);
        EXPECT_FALSE(saved.interlaced);
        // Each component keeps its top eight bits; alpha is dropped.
        TExpected expected = expectedFor(source);
        std::vector<unsigned> rgb;
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            if (i % 4 != 3)
                rgb.push_back(expected.pixels[i] * 255 / expected.maximum);
        EXPECT_EQ(saved.samples, rgb);

        Ogre::Image reloaded;
        reloaded.load(test::streamOf(test::readFile(path)));
        expectPixels(reloaded, expectedFor(saved));
    }
}

TEST_F(PNGCodecTest, SavesComponentsTruncatedAfterClampingThemToOne)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float pixels[] = {0.999f, 0.5f, 1.0f, 1.5f, -0.25f, nan, 0.0f, 254.5f / 255.0f, 1.0f / 255.0f};
    Ogre::Image image(Ogre::PF_FLOAT32_RGB, 3, 1, 1, reinterpret_cast<Ogre::uchar*>(pixels), false);
    const std::string path = mFolder.file("clamped.png");
    image.save(path);
    const test::TPngImage saved = test::decodePng(test::readFile(path));
    EXPECT_EQ(saved.samples, std::vector<unsigned>({254, 127, 255, 255, 0, 0, 0, 254, 1}));
}

TEST_F(PNGCodecTest, ReportsAnUnwritableFileByNameAndKeepsTheOldOneOnAFailedWrite)
{
    Ogre::Image image;
    image.load(test::streamOf(test::encodePng(makeImage(PNG_COLOR_TYPE_RGB, 8, 64, 64, false, false))));
    const std::string missing = mFolder.file("no such folder/shot.png");
    try
    {
        image.save(missing);
        FAIL() << "saving into a missing folder returned";
    }
    catch (const Ogre::InvalidParametersException& error)
    {
        EXPECT_EQ(error.getDescription(), "Error: Could not open PNG file '" + missing + "' for writing");
        EXPECT_EQ(error.getSource(), "PNGCodec::encode");
    }

    // A file-size limit makes the write itself fail halfway.
    const std::string path = mFolder.file("map.png");
    test::writeFile(path, "old map");
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    try
    {
        image.save(path);
    }
    catch (const Ogre::InvalidParametersException& e)
    {
        error = e.getDescription();
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(error, "Error: PNG save error");
    EXPECT_EQ(test::readFile(path), "old map");
    EXPECT_EQ(test::readFile(path + ".tmp"), "");
}

TEST_F(PNGCodecTest, RefusesToSavePixelsShorterThanTheirDescription)
{
    auto* description = new Ogre::ImageCodec::ImageData();
    Ogre::Codec::CodecDataPtr data(description);
    description->width = 4;
    description->height = 4;
    description->format = Ogre::PF_R8G8B8;
    Ogre::MemoryDataStreamPtr pixels(new Ogre::MemoryDataStream(4 * 4 * 3 - 1));
    const std::string path = mFolder.file("short.png");
    PNG::PNGCodec codec;
    EXPECT_THROW(codec.encodeToFile(pixels, path, data), Ogre::InvalidParametersException);
    EXPECT_EQ(test::readFile(path), "");
}
