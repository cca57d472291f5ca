#include "pngimage.h"
#include "common/pngwriter.h"

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
    return tools::PngWriter::write(path, mWidth, mHeight, 4, mPixels.data(), 9);
}
} // namespace assetgen
