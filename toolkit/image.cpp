#include "toolkit/image.h"
#include "toolkit/log.h"
#include "toolkit/temporaryfile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace brix
{
namespace
{
// Header fields of a TGA file, by byte offset.
const int TGA_ID_LENGTH = 0;
const int TGA_COLOUR_MAP_TYPE = 1;
const int TGA_IMAGE_TYPE = 2;
const int TGA_WIDTH = 12;
const int TGA_HEIGHT = 14;
const int TGA_BITS = 16;
const unsigned char TGA_TRUE_COLOUR = 2;
const unsigned char TGA_GREY = 3;

// The smallest i with start + i * step >= limit, for step > 0 (rounding toward plus infinity).
int64_t firstIndexReaching(int64_t start, int64_t limit, int64_t step)
{
    int64_t distance = limit - start;
    if (distance <= 0)
        return -((-distance) / step);
    return (distance + step - 1) / step;
}

// One axis of a blit: destination index i takes source coordinate sourceStart + i * scale.
// Gives the range of i that stays inside both images.
void clipAxis(int64_t sourceStart, int64_t sourceEnd, int64_t sourceSize, int64_t position,
              int64_t destinationSize, int64_t scale, int64_t& first, int64_t& last)
{
    int64_t count = sourceEnd > sourceStart ? (sourceEnd - sourceStart) / scale : 0;
    first = std::max<int64_t>({0, -position, firstIndexReaching(sourceStart, 0, scale)});
    last = std::min<int64_t>(
        {count, destinationSize - position, firstIndexReaching(sourceStart, sourceSize, scale)});
}

// Opened without blocking, so a named pipe or device in place of the file cannot hang the
// reader; anything but a regular file is refused.
FILE* openRegularFile(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat status;
    FILE* file = nullptr;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

} // namespace

Image::Image() : mData(nullptr), mWidth(0), mHeight(0) {}

Image::Image(int width, int height) : Image()
{
    create(width, height);
}

Image::Image(const Image& other) : Image()
{
    create(other.mWidth, other.mHeight);
    if (mData && other.mData)
        std::memcpy(mData, other.mData, size_t(mWidth) * size_t(mHeight) * sizeof(uint32_t));
}

Image::~Image()
{
    reset();
}

void Image::create(int width, int height)
{
    reset();
    mWidth = width;
    mHeight = height;
    if (width > 0 && height > 0)
    {
        // A buffer larger than the address space can index fails like any other shortage
        // instead of throwing from the allocation.
        size_t pixels = size_t(width) * size_t(height);
        if (pixels <= size_t(PTRDIFF_MAX) / sizeof(uint32_t))
            mData = new (std::nothrow) uint32_t[pixels];
        if (!mData)
        {
            Log::error("Image::create: no memory for %d x %d pixels", width, height);
            mWidth = 0;
            mHeight = 0;
        }
    }
}

void Image::reset()
{
    delete[] mData;
    mData = nullptr;
    mWidth = 0;
    mHeight = 0;
}

void Image::flipVertical()
{
    if (!mData || mWidth < 1 || mHeight < 2)
        return;
    for (int row = 0; row < mHeight / 2; ++row)
    {
        uint32_t* upper = mData + size_t(row) * mWidth;
        uint32_t* lower = mData + size_t(mHeight - 1 - row) * mWidth;
        std::swap_ranges(upper, upper + mWidth, lower);
    }
}

int Image::blit(const Image& source, const Rectangle& sourceRectangle, int x, int y)
{
    return blit(source, sourceRectangle, x, y, AL_NONE, 0, 1);
}

int Image::blit(const Image& source, const Rectangle& sourceRectangle, int x, int y, int alphaMode, int alpha,
                int scale)
{
    if (!mData || !source.mData)
        return 0;
    int64_t step = std::max(scale, 1);
    int64_t firstColumn, lastColumn, firstRow, lastRow;
    clipAxis(sourceRectangle.getLeft(), sourceRectangle.getRight(), source.mWidth, x, mWidth, step,
             firstColumn, lastColumn);
    clipAxis(sourceRectangle.getTop(), sourceRectangle.getBottom(), source.mHeight, y, mHeight, step,
             firstRow, lastRow);
    if (firstColumn >= lastColumn || firstRow >= lastRow)
        return 0;

    uint32_t* to = mData + (y + firstRow) * mWidth + (x + firstColumn);
    const uint32_t* from = source.mData + (sourceRectangle.getTop() + firstRow * step) * source.mWidth +
                           (sourceRectangle.getLeft() + firstColumn * step);
    int width = int((lastColumn - firstColumn) * step);
    int height = int((lastRow - firstRow) * step);
    return blitRaw(to, mWidth, from, source.mWidth, width, height, alphaMode, alpha, int(step));
}

int Image::blitRaw(uint32_t* destination, int destinationStride, const uint32_t* source, int sourceStride,
                   int width, int height)
{
    if (!destination || !source || width < 1 || height < 1)
        return 0;
    for (int row = 0; row < height; ++row)
        std::memmove(destination + ptrdiff_t(row) * destinationStride, source + ptrdiff_t(row) * sourceStride,
                     size_t(width) * sizeof(uint32_t));
    return width * height;
}

int Image::blitRaw(uint32_t* destination, int destinationStride, const uint32_t* source, int sourceStride,
                   int width, int height, int alphaMode, int alpha, int scale)
{
    if (alphaMode == AL_NONE && scale <= 1)
        return blitRaw(destination, destinationStride, source, sourceStride, width, height);
    if (!destination || !source || alphaMode < 0 || alphaMode > AL_CKBLACK)
        return 0;
    int step = std::max(scale, 1);
    int columns = width / step;
    int rows = height / step;
    if (rows < 1 || columns < 1)
        return 0;

    uint32_t alphaBits = (uint32_t(alpha) & 0xFFu) << 24;
    int written = 0;
    for (int row = 0; row < rows; ++row)
    {
        uint32_t* to = destination + ptrdiff_t(row) * destinationStride;
        const uint32_t* from = source + ptrdiff_t(row) * step * sourceStride;
        for (int column = 0; column < columns; ++column)
        {
            uint32_t pixel = from[ptrdiff_t(column) * step];
            bool pass = alphaMode == AL_CKBLACK ? (pixel & 0xFFFFFFu) != 0 : int(pixel >> 24) >= alphaMode;
            if (pass)
            {
                to[column] = (pixel & 0xFFFFFFu) | alphaBits;
                ++written;
            }
        }
    }
    return written;
}

int Image::loadTGA(const std::string& path)
{
    FILE* file = openRegularFile(path);
    if (!file)
        return -1;
    unsigned char header[TGA_HEADER_SIZE];
    if (std::fread(header, 1, sizeof(header), file) != sizeof(header))
    {
        std::fclose(file);
        return -2;
    }
    int result = 0;
    int bytesPerPixel = header[TGA_BITS] / 8;
    if (header[TGA_COLOUR_MAP_TYPE] != 0)
        result = -3;
    else if (header[TGA_IMAGE_TYPE] != TGA_TRUE_COLOUR && header[TGA_IMAGE_TYPE] != TGA_GREY)
        result = -4;
    else if (header[TGA_BITS] != 8 && header[TGA_BITS] != 24 && header[TGA_BITS] != 32)
        result = -5;
    if (result < 0)
    {
        std::fclose(file);
        return result;
    }

    int width = header[TGA_WIDTH] | (header[TGA_WIDTH + 1] << 8);
    int height = header[TGA_HEIGHT] | (header[TGA_HEIGHT + 1] << 8);
    int64_t pixelStart = TGA_HEADER_SIZE + header[TGA_ID_LENGTH];
    int64_t pixels = int64_t(width) * height;
    // Check the header's size against the file before allocating anything for it.
    off_t fileSize = -1;
    if (fseeko(file, 0, SEEK_END) == 0)
        fileSize = ftello(file);
    if (fileSize < pixelStart + pixels * bytesPerPixel || pixels > INT_MAX ||
        fseeko(file, pixelStart, SEEK_SET) != 0)
    {
        std::fclose(file);
        return -6;
    }

    create(width, height);
    if (pixels > 0 && !mData)
    {
        std::fclose(file);
        return -6;
    }
    std::vector<unsigned char> row(size_t(width) * bytesPerPixel);
    bool complete = true;
    for (int y = 0; y < height; ++y)
    {
        if (std::fread(row.data(), 1, row.size(), file) != row.size())
        {
            complete = false;
            break;
        }
        uint32_t* to = mData + size_t(y) * width;
        const unsigned char* from = row.data();
        for (int x = 0; x < width; ++x, from += bytesPerPixel)
        {
            if (bytesPerPixel == 1)
                to[x] = 0xFF000000u | (uint32_t(from[0]) << 16) | (uint32_t(from[0]) << 8) | from[0];
            else
            {
                uint32_t alpha = bytesPerPixel == 4 ? from[3] : 0xFFu;
                to[x] = (alpha << 24) | (uint32_t(from[2]) << 16) | (uint32_t(from[1]) << 8) | from[0];
            }
        }
    }
    std::fclose(file);
    if (!complete)
        return -6;
    flipVertical();
    return int(pixels);
}

int Image::saveTGA(const std::string& path, int bits) const
{
    if (bits != 8 && bits != 24 && bits != 32)
        return -1;
    if (mWidth < 0 || mHeight < 0 || mWidth > TGA_MAX_SIDE || mHeight > TGA_MAX_SIDE ||
        int64_t(mWidth) * mHeight > INT_MAX)
    {
        Log::error("Image::saveTGA: %d x %d does not fit a TGA file: %s", mWidth, mHeight, path.c_str());
        return -1;
    }
    TemporaryFile file(path);
    if (!file.isOpen())
    {
        Log::error("Image::saveTGA: cannot create '%s': %s", file.getTemporaryPath().c_str(),
                   std::strerror(errno));
        return -2;
    }

    unsigned char header[TGA_HEADER_SIZE] = {};
    header[TGA_IMAGE_TYPE] = bits == 8 ? TGA_GREY : TGA_TRUE_COLOUR;
    header[TGA_WIDTH] = mWidth & 0xFF;
    header[TGA_WIDTH + 1] = (mWidth >> 8) & 0xFF;
    header[TGA_HEIGHT] = mHeight & 0xFF;
    header[TGA_HEIGHT + 1] = (mHeight >> 8) & 0xFF;
    header[TGA_BITS] = (unsigned char)bits;
    bool written = file.write(header, sizeof(header));

    int bytesPerPixel = bits / 8;
    std::vector<unsigned char> row(size_t(mWidth) * bytesPerPixel);
    for (int y = mHeight - 1; y >= 0 && written && mData; --y)
    {
        const uint32_t* from = mData + size_t(y) * mWidth;
        unsigned char* to = row.data();
        for (int x = 0; x < mWidth; ++x, to += bytesPerPixel)
        {
            uint32_t pixel = from[x];
            unsigned red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
            if (bytesPerPixel == 1)
            {
                to[0] = (unsigned char)((red + green + blue) / 3);
                continue;
            }
            to[0] = (unsigned char)blue;
            to[1] = (unsigned char)green;
            to[2] = (unsigned char)red;
            if (bytesPerPixel == 4)
                to[3] = (unsigned char)(pixel >> 24);
        }
        written = file.write(row.data(), row.size());
    }
    if (!written || !file.commit())
    {
        Log::error("Image::saveTGA: cannot write '%s': %s", path.c_str(), std::strerror(errno));
        return -3;
    }
    return mWidth * mHeight;
}

int Image::loadRawData(const void* data, ExternalPixelFormat format)
{
    reset();
    return 0;
}
} // namespace brix
