#pragma once
#include "support/ogre/headlessogre.h"

#include <OgreDataStream.h>
#include <OgreRoot.h>

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

// Test images written with libpng directly, and an OGRE Root with the plug-in loaded.
namespace test
{
// A PNG image as its file stores it. Samples are the file's own values, one per channel,
// row by row; a palette image has one palette index per pixel.
struct TPngImage
{
    png_uint_32 width = 1;
    png_uint_32 height = 1;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<unsigned> samples;
    std::vector<png_color> palette;
    // tRNS of a palette image: the alpha of the first entries.
    std::vector<png_byte> paletteAlpha;
    // tRNS of a grey or RGB image: the one colour that is fully transparent.
    bool hasTransparentColour = false;
    png_color_16 transparentColour{};
    // sBIT for every channel; 0 writes none.
    png_byte significantBits = 0;
};

inline int channelsOf(int colourType)
{
    switch (colourType)
    {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    default:
        return 4;
    }
}

inline void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Packs the samples into rows as the file stores them: sub-byte samples from the high bits,
// 16-bit samples big-endian.
inline std::vector<std::vector<png_byte>> packRows(const TPngImage& image)
{
    const size_t channels = channelsOf(image.colourType);
    const size_t rowBits = size_t(image.width) * channels * image.bitDepth;
    std::vector<std::vector<png_byte>> rows(image.height, std::vector<png_byte>((rowBits + 7) / 8));
    for (size_t y = 0; y < image.height; ++y)
        for (size_t i = 0; i < image.width * channels; ++i)
        {
            const unsigned value = image.samples.at(y * image.width * channels + i);
            const size_t bit = i * image.bitDepth;
            if (image.bitDepth == 16)
            {
                rows[y][bit / 8] = png_byte(value >> 8);
                rows[y][bit / 8 + 1] = png_byte(value);
            }
            else
                rows[y][bit / 8] |= png_byte(value << (8 - image.bitDepth - bit % 8));
        }
    return rows;
}

inline std::string encodePng(const TPngImage& image)
{
    std::string bytes;
    std::vector<std::vector<png_byte>> rows = packRows(image);
    std::vector<png_bytep> rowPointers;
    for (auto& row : rows)
        rowPointers.push_back(row.data());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the test image");
    }
    png_set_write_fn(png, &bytes, &appendBytes, nullptr);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty())
        png_set_PLTE(png, info, image.palette.data(), int(image.palette.size()));
    if (!image.paletteAlpha.empty())
        png_set_tRNS(png, info, image.paletteAlpha.data(), int(image.paletteAlpha.size()), nullptr);
    if (image.hasTransparentColour)
        png_set_tRNS(png, info, nullptr, 0, &image.transparentColour);
    if (image.significantBits)
    {
        png_color_8 bits{image.significantBits, image.significantBits, image.significantBits,
                         image.significantBits, image.significantBits};
        png_set_sBIT(png, info, &bits);
    }
    png_set_rows(png, info, rowPointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

inline void readBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* source = static_cast<std::pair<const std::string*, size_t>*>(png_get_io_ptr(png));
    if (source->second + length > source->first->size())
        png_error(png, "short test file");
    source->first->copy(reinterpret_cast<char*>(data), length, source->second);
    source->second += length;
}

// Reads a file of 8-bit samples with libpng alone, as it is stored.
inline TPngImage decodePng(const std::string& bytes)
{
    TPngImage image;
    std::pair<const std::string*, size_t> source(&bytes, 0);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng could not read the test image");
    }
    png_set_read_fn(png, &source, &readBytes);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    int interlace = 0;
    png_get_IHDR(png, info, &image.width, &image.height, &image.bitDepth, &image.colourType, &interlace,
                 nullptr, nullptr);
    image.interlaced = interlace != PNG_INTERLACE_NONE;
    png_bytepp rows = png_get_rows(png, info);
    for (png_uint_32 y = 0; y < image.height; ++y)
        for (size_t i = 0; i < image.width * channelsOf(image.colourType); ++i)
            image.samples.push_back(rows[y][i]);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

// The plug-in as the game loads it: by file name into a Root of its own.
class OgreWithPNG
{
public:
    OgreWithPNG() { mOgre.root().loadPlugin(pluginPath()); }

    Ogre::Root& root() { return mOgre.root(); }

    static std::string pluginPath()
    {
        const char* binary = std::getenv("KORVANE_BINARY_DIR");
        return std::string(binary ? binary : "build") + "/lib/imagepng.so";
    }

private:
    HeadlessOgre mOgre;
};

inline Ogre::DataStreamPtr streamOf(const std::string& bytes)
{
    auto* stream = new Ogre::MemoryDataStream(bytes.size());
    bytes.copy(reinterpret_cast<char*>(stream->getPtr()), bytes.size());
    return Ogre::DataStreamPtr(stream);
}
} // namespace test
