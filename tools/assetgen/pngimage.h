#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen
{
// An 8-bit RGBA picture in memory, row 0 at the top, written as PNG through libpng.
class PngImage
{
public:
    PngImage(unsigned width, unsigned height, uint32_t rgba = 0x000000FF);

    unsigned getWidth() const { return mWidth; }
    unsigned getHeight() const { return mHeight; }
    uint8_t* getRow(unsigned y) { return &mPixels[size_t(y) * mWidth * 4]; }

    // Colours are 0xRRGGBBAA. Rectangles are clipped to the picture.
    void setPixel(int x, int y, uint32_t rgba);
    uint32_t getPixel(int x, int y) const;
    void fillRectangle(int x, int y, int width, int height, uint32_t rgba);
    void fillEllipse(int centreX, int centreY, int radiusX, int radiusY, uint32_t rgba);
    // Copies another picture in with its top-left corner at (x, y).
    void paste(const PngImage& other, int x, int y);

    // Writes the file at once (no temporary): the generators own their output folders.
    bool save(const std::string& path) const;

private:
    unsigned mWidth;
    unsigned mHeight;
    std::vector<uint8_t> mPixels;
};
} // namespace assetgen
