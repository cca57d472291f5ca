#include "PlugIns/PNGCodec/pngcodec.h"

#include <OgreDataStream.h>
#include <OgreException.h>
#include <OgreImage.h>

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Feeds arbitrary bytes to the PNG codec through Ogre::Image, as the game loads textures.
// Every input must either decode to an image of consistent size or throw an Ogre::Exception.
namespace
{
const size_t SIGNATURE_SIZE = 8;
// Length, type and checksum around each chunk's data.
const size_t CHUNK_FRAME_SIZE = 12;

uint32_t readBigEndian(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// The input with every whole chunk's checksum made right, so that mutated headers and image
// data get past libpng's checksum test and into the decoder.
std::vector<uint8_t> withValidChecksums(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> fixed(data, data + size);
    size_t position = SIGNATURE_SIZE;
    while (position + CHUNK_FRAME_SIZE <= fixed.size())
    {
        const uint32_t length = readBigEndian(&fixed[position]);
        if (length > fixed.size() - position - CHUNK_FRAME_SIZE)
            break;
        const uLong crc = crc32(0, &fixed[position + 4], length + 4);
        uint8_t* out = &fixed[position + 8 + length];
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        position += CHUNK_FRAME_SIZE + length;
    }
    return fixed;
}

void decode(const uint8_t* data, size_t size)
{
    Ogre::DataStreamPtr stream(new Ogre::MemoryDataStream(const_cast<uint8_t*>(data), size, false, true));
    Ogre::Image image;
    try
    {
        image.load(stream, "png");
    }
    catch (const Ogre::Exception&)
    {
        return;
    }
    // Touch every byte so that a short buffer shows up under the address sanitizer.
    const size_t bytes =
        Ogre::PixelUtil::getMemorySize(image.getWidth(), image.getHeight(), 1, image.getFormat());
    if (bytes != image.getSize())
        __builtin_trap();
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        sum += image.getData()[i];
    __asm__ volatile("" : : "r"(sum));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PNG::PNGCodec* codec = []
    {
        auto* registered = new PNG::PNGCodec();
        Ogre::Codec::registerCodec(registered);
        return registered;
    }();
    (void)codec;

    decode(data, size);
    const std::vector<uint8_t> fixed = withValidChecksums(data, size);
    decode(fixed.data(), fixed.size());
    return 0;
}
