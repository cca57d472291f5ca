#include "engine/core/zlibcompressor.h"

#include "toolkit/log.h"
#include "toolkit/temporaryfile.h"

#include <zlib.h>

#include <cstdio>

namespace brix
{
namespace
{
const char* errorText(const z_stream& stream, int result)
{
    return stream.msg ? stream.msg : zError(result);
}

// A packing stream into the buffer; false, logged, when zlib cannot start one.
bool startPacking(z_stream& stream, unsigned char* buffer, unsigned int bufferSize)
{
    const int result = deflateInit(&stream, ZLibCompressor::COMPRESSION_LEVEL);
    if (result != Z_OK)
    {
        Log::error("ZLib deflateInit failed: %s", errorText(stream, result));
        return false;
    }
    stream.next_out = buffer;
    stream.avail_out = buffer ? bufferSize : 0;
    return true;
}

// Ends the stream: the bytes written in all, or 0, logged, when it could not end.
unsigned int finishPacking(z_stream& stream)
{
    const int result = deflate(&stream, Z_FINISH);
    if (result == Z_STREAM_END)
        return static_cast<unsigned int>(stream.total_out);
    // Z_OK here means the stream could not end for want of room.
    Log::error("ZLib deflate (finish) failed: %s", errorText(stream, result == Z_OK ? Z_BUF_ERROR : result));
    return 0;
}
} // namespace

unsigned int ZLibCompressor::compress(const void* data, unsigned int size, unsigned char* buffer,
                                      unsigned int bufferSize)
{
    z_stream stream = {};
    if (!startPacking(stream, buffer, bufferSize))
        return 0;
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    stream.avail_in = data ? size : 0;
    const unsigned int written = finishPacking(stream);
    deflateEnd(&stream);
    return written;
}

unsigned int ZLibCompressor::compressFile(const std::string& path, unsigned char* buffer,
                                          unsigned int bufferSize)
{
    z_stream stream = {};
    if (!startPacking(stream, buffer, bufferSize))
        return 0;

    FILE* file = std::fopen(path.c_str(), "rb");
    unsigned int written = 0;
    unsigned char block[BLOCK_SIZE];
    while (file)
    {
        size_t count = std::fread(block, 1, sizeof(block), file);
        if (count > 0)
        {
            stream.next_in = block;
            stream.avail_in = static_cast<uInt>(count);
            const int result = deflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK)
            {
                Log::error("ZLib deflate failed: %s", errorText(stream, result));
                break;
            }
            if (stream.avail_out == 0)
            {
                Log::error("Compression output buffer full");
                break;
            }
        }
        if (std::feof(file))
        {
            written = finishPacking(stream);
            break;
        }
        if (count < sizeof(block))
        {
            Log::error("Unable to read data from %s", path.c_str());
            break;
        }
    }
    if (file)
        std::fclose(file);
    else
        Log::error("Unable to read data from %s", path.c_str());
    deflateEnd(&stream);
    return written;
}

unsigned int ZLibCompressor::decompressFile(const unsigned char* data, unsigned int size,
                                            const std::string& path, unsigned int maxSize)
{
    // The old file stays until the new one is restored whole.
    TemporaryFile file(path);
    if (!file.isOpen())
    {
        Log::error("Unable to write data to %s", path.c_str());
        return 0;
    }
    z_stream stream = {};
    stream.next_in = const_cast<unsigned char*>(data);
    stream.avail_in = data ? size : 0;
    int result = inflateInit(&stream);
    if (result != Z_OK)
    {
        Log::error("ZLib inflateInit failed: %s", errorText(stream, result));
        return 0;
    }

    bool complete = false;
    unsigned char block[BLOCK_SIZE];
    for (;;)
    {
        stream.next_out = block;
        stream.avail_out = sizeof(block);
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
        {
            Log::error("ZLib inflate failed: %s", errorText(stream, result));
            break;
        }
        if (maxSize > 0 && stream.total_out > maxSize)
        {
            Log::error("Unpacked data exceeds %u bytes", maxSize);
            break;
        }
        if (!file.write(block, sizeof(block) - stream.avail_out))
        {
            Log::error("Unable to write data to %s", path.c_str());
            break;
        }
        if (result == Z_STREAM_END)
        {
            complete = true;
            break;
        }
    }
    unsigned long total = stream.total_out;
    inflateEnd(&stream);

    if (!complete)
        return 0;
    if (!file.commit())
    {
        Log::error("Unable to write data to %s", path.c_str());
        return 0;
    }
    return static_cast<unsigned int>(total);
}
} // namespace brix
