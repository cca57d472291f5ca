#include "common/pngwriter.h"

#include <png.h>

#include <cstdio>

namespace tools
{
namespace
{
int colourType(unsigned channels)
{
    switch (channels)
    {
    case 1:
        return PNG_COLOR_TYPE_GRAY;
    case 2:
        return PNG_COLOR_TYPE_GRAY_ALPHA;
    case 3:
        return PNG_COLOR_TYPE_RGB;
    case 4:
        return PNG_COLOR_TYPE_RGBA;
    default:
        return -1;
    }
}

// Everything libpng can jump out of lives here, so no object with a destructor is skipped.
bool writeRows(std::FILE* file, unsigned width, unsigned height, int type, unsigned channels,
               const unsigned char* samples, int compressionLevel)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info)
    {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (compressionLevel >= 0)
        png_set_compression_level(png, compressionLevel);
    png_write_info(png, info);
    for (unsigned row = 0; row < height; ++row)
        png_write_row(png, samples + static_cast<size_t>(row) * width * channels);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
} // namespace

bool PngWriter::write(const std::string& path, unsigned width, unsigned height, unsigned channels,
                      const unsigned char* samples, int compressionLevel)
{
    const int type = colourType(channels);
    if (type < 0 || width == 0 || height == 0)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = writeRows(file, width, height, type, channels, samples, compressionLevel);
    return std::fclose(file) == 0 && written;
}
} // namespace tools
