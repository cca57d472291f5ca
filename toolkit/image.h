#pragma once
#include "toolkit/rectangle.h"

#include <cstdint>
#include <string>

namespace brix
{
// A 32-bit ARGB raster in memory: alpha in bits 24 to 31, then red, green and blue, rows
// packed from the top. Reads and writes uncompressed TGA files (8-bit grey, 24 or 32-bit
// colour). Results are pixel counts, or negative codes on failure.
class Image
{
public:
    // Alpha modes of the keyed blit: a plain copy, or black (colour bits 0) as the colour key.
    // Modes 0 to 255 copy pixels whose alpha is at least the mode.
    static const int AL_NONE = 0;
    static const int AL_CKBLACK = 256;

    // TGA files store each side in 16 bits.
    static const int TGA_MAX_SIDE = 65535;
    static const int TGA_HEADER_SIZE = 18;

    enum ExternalPixelFormat
    {
        EPF_RGB8 = 0,
        EPF_RGBA8 = 1
    };

    Image();
    // Pixels are allocated only when both sides are at least 1; their contents are undefined.
    // The sides are kept as given either way.
    Image(int width, int height);
    Image(const Image& other);
    Image& operator=(const Image& other) = delete;
    virtual ~Image();

    void create(int width, int height);
    void reset();

    uint32_t* getData() { return mData; }
    const uint32_t* getData() const { return mData; }
    int getWidth() const { return mWidth; }
    int getHeight() const { return mHeight; }
    Rectangle getSize() const { return Rectangle(0, 0, mWidth, mHeight); }

    void flipVertical();

    // Copies the source rectangle to (x, y), both clipped to their images. Returns the
    // number of pixels copied.
    int blit(const Image& source, const Rectangle& sourceRectangle, int x, int y);
    // As above, sampling every scale-th pixel and row of the source, and writing only the
    // pixels the alpha mode lets through, with the given alpha. Returns the pixels written.
    int blit(const Image& source, const Rectangle& sourceRectangle, int x, int y, int alphaMode, int alpha,
             int scale);

    // The same on raw pixels without clipping; strides are in pixels. The keyed form
    // writes (width / scale) x (height / scale) pixels.
    static int blitRaw(uint32_t* destination, int destinationStride, const uint32_t* source, int sourceStride,
                       int width, int height);
    static int blitRaw(uint32_t* destination, int destinationStride, const uint32_t* source, int sourceStride,
                       int width, int height, int alphaMode, int alpha, int scale);

    // -1 cannot open, -2 short header, -3 colour-mapped, -4 compressed or unknown type,
    // -5 unsupported depth, -6 pixel data missing or unreadable. On -1 to -5, and when the
    // file is too short for the pixels its header claims, the image is left as it was.
    int loadTGA(const std::string& path);
    // bits is 8, 24 or 32. -1 bad depth, a side outside 0..65535 or more pixels than an int
    // counts, -2 cannot create the file, -3 writing failed. The file is replaced only when
    // the whole image was written.
    int saveTGA(const std::string& path, int bits) const;

    // Conversion from external formats is not supported: the image is emptied.
    int loadRawData(const void* data, ExternalPixelFormat format);

private:
    uint32_t* mData;
    int mWidth;
    int mHeight;
};
} // namespace brix
