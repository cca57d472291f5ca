#include "pngimage.h"

#include <png.h>

#include <cstdio>

namespace assetgen
{
PngImage::PngImage(unsigned width, unsigned height, uint32_t rgba)
    : mWidth(width), mHeight(height), mPixels(size_t(width) * height * 4)
{
    fillRectangle(0, 0, int(width), int(height), rgba);
}

void PngImage::setPixel(int x, int y, uint32_t rgba)
{
    if (x < 0 || y < 0 || x >= int(mWidth) || y >= int(mHeight))
        return;
    uint8_t* pixel = &mPixels[(size_t(y) * mWidth + x) * 4];
    pixel[0] = uint8_t(rgba >> 24);
    pixel[1] = uint8_t(rgba >> 16);
    pixel[2] = uint8_t(rgba >> 8);
    pixel[3] = uint8_t(rgba);
}

uint32_t PngImage::getPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= int(mWidth) || y >= int(mHeight))
        return 0;
    const uint8_t* pixel = &mPixels[(size_t(y) * mWidth + x) * 4];
    return uint32_t(pixel[0]) << 24 | uint32_t(pixel[1]) << 16 | uint32_t(pixel[2]) << 8 | pixel[3];
}

void PngImage::fillRectangle(int x, int y, int width, int height, uint32_t rgba)
{
    for (int row = y; row < y + height; ++row)
        for (int column = x; column < x + width; ++column)
            setPixel(column, row, rgba);
}

void PngImage::fillEllipse(int centreX, int centreY, int radiusX, int radiusY, uint32_t rgba)
{
    for (int row = -radiusY; row <= radiusY; ++row)
        for (int column = -radiusX; column <= radiusX; ++column)
        {
            float u = float(column) / radiusX, v = float(row) / radiusY;
            if (u * u + v * v <= 1.0f)
                setPixel(centreX + column, centreY + row, rgba);
        }
}

void PngImage::paste(const PngImage& other, int x, int y)
{
    for (unsigned row = 0; row < other.mHeight; ++row)
        for (unsigned column = 0; column < other.mWidth; ++column)
            setPixel(x + int(column), y + int(row), other.getPixel(int(column), int(row)));
}

bool PngImage::save(const std::string& path) const
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info)
    {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, mWidth, mHeight, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (unsigned row = 0; row < mHeight; ++row)
        png_write_row(png, &mPixels[size_t(row) * mWidth * 4]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
} // namespace assetgen
