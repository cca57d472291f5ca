#pragma once
#include <string>

namespace brix
{
// Packs a whole file into a caller's buffer as a zlib stream (level 9), and unpacks such a
// buffer into a file. Failures are logged and reported as 0; nothing is thrown.
class ZLibCompressor
{
public:
    static constexpr int COMPRESSION_LEVEL = 9;
    // Files are read and written in blocks of this many bytes.
    static constexpr unsigned int BLOCK_SIZE = 1024;

    ZLibCompressor() {}
    virtual ~ZLibCompressor() {}

    // Packs the bytes into the buffer: the number written, 0 when their packed form does not fit.
    unsigned int compress(const void* data, unsigned int size, unsigned char* buffer,
                          unsigned int bufferSize);
    // The number of bytes written to the buffer; 0 when the file cannot be read or its packed
    // form does not fit.
    unsigned int compressFile(const std::string& path, unsigned char* buffer, unsigned int bufferSize);
    // The size of the written file; 0 on failure. The file is written beside the target and
    // renamed over it only when the whole stream unpacked, so bad data leaves the old file alone.
    // A maximum above 0 fails a stream that unpacks to more bytes, so that a small packet
    // cannot fill the disk.
    unsigned int decompressFile(const unsigned char* data, unsigned int size, const std::string& path,
                                unsigned int maxSize = 0);
};
} // namespace brix
