#pragma once
#include <OgreImageCodec.h>

#include <png.h>

// OGRE keeps its codec data types private, which would hide the methods that take them:
// those are exported like the rest of the class.
#define PNG_CODEC_EXPORT __attribute__((visibility("default")))

namespace PNG
{
// OGRE's image codec "png" on libpng: decodes every PNG colour type and bit depth into an OGRE
// pixel format (grey to PF_L8 or PF_L16, grey + alpha to PF_BYTE_LA, colour and palettes to
// PF_R8G8B8, PF_R8G8B8A8, PF_SHORT_RGB or PF_SHORT_RGBA), and writes any OGRE image as an 8-bit
// RGB file. Holds no state but its type, so any thread may use it. Every failure is an
// Ogre::Exception; libpng's own messages go to standard error.
class PNGCodec : public Ogre::ImageCodec
{
public:
    // The file named in the codec's exceptions.
    static const char* const SOURCE_FILE;
    static const size_t SIGNATURE_SIZE = 8;
    // Images wider or taller than this are refused before their pixels are allocated.
    static const png_uint_32 MAX_DIMENSION = 16384;

    PNGCodec();
    PNGCodec(const PNGCodec& other);
    PNGCodec& operator=(const PNGCodec& other);
    ~PNGCodec() override;

    using Ogre::ImageCodec::decode;
    using Ogre::ImageCodec::encode;
    using Ogre::ImageCodec::encodeToFile;

    // Writing to memory is not offered: always throws Ogre::UnimplementedException.
    PNG_CODEC_EXPORT Ogre::DataStreamPtr encode(const Ogre::MemoryDataStreamPtr& input,
                                                const CodecDataPtr& data) const override;
    // Writes the pixels (laid out as data's ImageData says) as an 8-bit RGB file; alpha is dropped.
    // The file is written beside its final name and renamed over it only when complete.
    PNG_CODEC_EXPORT void encodeToFile(const Ogre::MemoryDataStreamPtr& input, const Ogre::String& fileName,
                                       const CodecDataPtr& data) const override;
    // Reads the whole stream; a short, damaged or unsupported image throws and leaves the
    // stream closed (all but a missing signature, which leaves it open).
    PNG_CODEC_EXPORT DecodeResult decode(const Ogre::DataStreamPtr& input) const override;
    Ogre::String getType() const override;
    // "png" for a buffer of at least four bytes that starts like a PNG file, else "".
    Ogre::String magicNumberToFileExt(const char* magicNumber, size_t maxBytes) const override;

    // libpng's read callback: fills the buffer from the Ogre::DataStream that is the io pointer,
    // and raises a libpng error when the stream has fewer bytes left.
    static void Read(png_structp png, png_bytep data, png_size_t length);

private:
    Ogre::String mType;
};
} // namespace PNG
