#pragma once
#include <string>

namespace tools
{
// Writes 8-bit PNG files for the content generators, which own their output folders and
// write in place. Samples are row after row, top row first, `channels` bytes a pixel:
// 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA. A compression level of -1 is zlib's default.
class PngWriter
{
public:
    static bool write(const std::string& path, unsigned width, unsigned height, unsigned channels,
                      const unsigned char* samples, int compressionLevel = -1);
};
} // namespace tools
