#include "PlugIns/PNGCodec/pngcodec.h"

#include <OgreDataStream.h>
#include <OgreException.h>
#include <OgreImage.h>

#include <cstddef>
#include <cstdint>

// Feeds arbitrary bytes to the PNG codec through Ogre::Image, as the game loads textures.
// Every input must either decode to an image of consistent size or throw an Ogre::Exception.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PNG::PNGCodec* codec = []
    {
        auto* registered = new PNG::PNGCodec();
        Ogre::Codec::registerCodec(registered);
        return registered;
    }();
    (void)codec;

    Ogre::DataStreamPtr stream(new Ogre::MemoryDataStream(const_cast<uint8_t*>(data), size, false, true));
    Ogre::Image image;
    try
    {
        image.load(stream, "png");
    }
    catch (const Ogre::Exception&)
    {
        return 0;
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
    return 0;
}
