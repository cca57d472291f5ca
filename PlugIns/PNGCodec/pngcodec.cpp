#include "PlugIns/PNGCodec/pngcodec.h"

#include <OgreColourValue.h>
#include <OgreDataStream.h>
#include <OgreException.h>
#include <OgreImage.h>
#include <OgrePixelFormat.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace PNG
{
const char* const PNGCodec::SOURCE_FILE = "PlugIns/PNGCodec/TevraPNGCodec.cpp";

namespace
{
const char* const TYPE = "png";
const char* const DECODE_SOURCE = "PNGCodec::decode";
const char* const ENCODE_SOURCE = "PNGCodec::encode";
// The part of the signature that tells a PNG file from other images.
const unsigned char MAGIC[] = {0x89, 0x50, 0x4E, 0x47};
const size_t MAGIC_SIZE = sizeof(MAGIC);
const int ENCODED_BIT_DEPTH = 8;
const int ENCODED_CHANNELS = 3;
const char* const TEMPORARY_SUFFIX = ".tmp";

// libpng hands 16-bit samples over big-endian; OGRE's short formats are native.
const int READ_TRANSFORMS = PNG_TRANSFORM_PACKING | PNG_TRANSFORM_EXPAND |
                            (OGRE_ENDIAN == OGRE_ENDIAN_LITTLE ? PNG_TRANSFORM_SWAP_ENDIAN : 0);

[[noreturn]] void fail(Ogre::Exception::ExceptionCodes code, const Ogre::String& text, const char* source,
                       long line)
{
    Ogre::ExceptionFactory::throwException(code, text, source, PNGCodec::SOURCE_FILE, line);
}

// libpng's structures, destroyed whichever way an operation leaves.
struct ReadStructs
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

struct WriteStructs
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStructs()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

// The functions below are where libpng long-jumps back to on an error: they own nothing, so
// the jump skips no destructor. Each returns false when libpng failed.
bool readImage(png_structp png, png_infop info, Ogre::DataStream* stream)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, PNGCodec::MAX_DIMENSION, PNGCodec::MAX_DIMENSION);
    png_set_read_fn(png, stream, &PNGCodec::Read);
    png_set_sig_bytes(png, PNGCodec::SIGNATURE_SIZE);
    png_read_png(png, info, READ_TRANSFORMS, nullptr);
    return true;
}

bool describeImage(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, width, height, ENCODED_BIT_DEPTH, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    return true;
}

bool writeImage(png_structp png, png_infop info, FILE* file, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

// OGRE's packed 8-bit colour formats keep their first channel in the highest byte, so on a
// little-endian machine their bytes run backwards: B G R, and A B G R.
bool storedBackwards(Ogre::PixelFormat format)
{
    return OGRE_ENDIAN == OGRE_ENDIAN_LITTLE && (format == Ogre::PF_R8G8B8 || format == Ogre::PF_R8G8B8A8);
}

void copyRow(unsigned char* out, const unsigned char* in, size_t length, size_t pixelSize, bool backwards)
{
    if (!backwards)
    {
        std::memcpy(out, in, length);
    }
    else if (pixelSize == 4)
    {
        for (size_t i = 0; i < length; i += 4)
        {
            uint32_t pixel;
            std::memcpy(&pixel, in + i, 4);
            pixel = __builtin_bswap32(pixel);
            std::memcpy(out + i, &pixel, 4);
        }
    }
    else
    {
        for (size_t i = 0; i < length; i += 3)
        {
            out[i] = in[i + 2];
            out[i + 1] = in[i + 1];
            out[i + 2] = in[i];
        }
    }
}

// A colour component as a byte, truncated; out-of-range and NaN components are clamped first.
png_byte toByte(float component)
{
    if (!(component > 0.0f))
        return 0;
    if (component >= 1.0f)
        return 255;
    return static_cast<png_byte>(component * 255.0f);
}
} // namespace

PNGCodec::PNGCodec() : mType(TYPE) {}

PNGCodec::PNGCodec(const PNGCodec& other) : Ogre::ImageCodec(other), mType(other.mType) {}

PNGCodec& PNGCodec::operator=(const PNGCodec& other)
{
    mType = other.mType;
    return *this;
}

PNGCodec::~PNGCodec() {}

Ogre::String PNGCodec::getType() const
{
    return mType;
}

Ogre::String PNGCodec::magicNumberToFileExt(const char* magicNumber, size_t maxBytes) const
{
    if (magicNumber && maxBytes >= MAGIC_SIZE && std::memcmp(magicNumber, MAGIC, MAGIC_SIZE) == 0)
        return TYPE;
    return Ogre::BLANKSTRING;
}

void PNGCodec::Read(png_structp png, png_bytep data, png_size_t length)
{
    auto* stream = static_cast<Ogre::DataStream*>(png_get_io_ptr(png));
    size_t count = 0;
    try
    {
        count = stream->read(data, length);
    }
    catch (...)
    {
        // An exception must not cross libpng: it learns of the failure below instead.
        count = 0;
    }
    if (count != length)
        png_error(png, "Read error: the image ends early");
}

Ogre::Codec::DecodeResult PNGCodec::decode(const Ogre::DataStreamPtr& input) const
{
    png_byte signature[SIGNATURE_SIZE];
    if (input->read(signature, SIGNATURE_SIZE) != SIGNATURE_SIZE ||
        png_sig_cmp(signature, 0, SIGNATURE_SIZE) != 0)
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: Not a PNG image", DECODE_SOURCE, __LINE__);

    ReadStructs structs;
    structs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!structs.png)
    {
        input->close();
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG read struct creation failed", DECODE_SOURCE,
             __LINE__);
    }
    structs.info = png_create_info_struct(structs.png);
    if (!structs.info)
    {
        input->close();
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG info struct creating failed", DECODE_SOURCE,
             __LINE__);
    }
    if (!readImage(structs.png, structs.info, input.get()))
    {
        input->close();
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG load error", DECODE_SOURCE, __LINE__);
    }

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(structs.png, structs.info, &width, &height, &bitDepth, &colourType, nullptr, nullptr,
                 nullptr);

    auto* imageData = new ImageData();
    CodecDataPtr imageDataPtr(imageData);
    imageData->height = height;
    imageData->width = width;
    imageData->depth = 1;
    imageData->num_mipmaps = 0;
    if (colourType == PNG_COLOR_TYPE_GRAY)
        imageData->flags = Ogre::PFF_LUMINANCE;
    else if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        imageData->flags = Ogre::PFF_LUMINANCE | Ogre::PFF_HASALPHA;
    else if (colourType == PNG_COLOR_TYPE_RGB_ALPHA)
        imageData->flags = Ogre::PFF_HASALPHA;
    else
        imageData->flags = 0;

    const bool luminance = (imageData->flags & Ogre::PFF_LUMINANCE) != 0;
    const bool alpha = (imageData->flags & Ogre::PFF_HASALPHA) != 0;
    if (bitDepth < 8)
        imageData->format = Ogre::PF_L8;
    else if (bitDepth == 8 && luminance)
        imageData->format = alpha ? Ogre::PF_BYTE_LA : Ogre::PF_L8;
    else if (bitDepth == 8)
        imageData->format = alpha ? Ogre::PF_R8G8B8A8 : Ogre::PF_R8G8B8;
    else if (luminance && alpha)
    {
        input->close();
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: 32-bit grayscale + alpha not supported",
             DECODE_SOURCE, __LINE__);
    }
    else if (luminance)
        imageData->format = Ogre::PF_L16;
    else
        imageData->format = alpha ? Ogre::PF_SHORT_RGBA : Ogre::PF_SHORT_RGB;

    imageData->size = Ogre::Image::calculateSize(0, 1, width, height, 1, imageData->format);
    const size_t rowLength = Ogre::PixelUtil::getMemorySize(width, height, 1, imageData->format) / height;
    if (png_get_rowbytes(structs.png, structs.info) != rowLength)
    {
        input->close();
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG load error", DECODE_SOURCE, __LINE__);
    }

    Ogre::MemoryDataStreamPtr output(new Ogre::MemoryDataStream(imageData->size, true, false));
    const size_t pixelSize = Ogre::PixelUtil::getNumElemBytes(imageData->format);
    const bool backwards = storedBackwards(imageData->format);
    png_bytepp rows = png_get_rows(structs.png, structs.info);
    unsigned char* out = output->getPtr();
    for (png_uint_32 y = 0; y < height; ++y, out += rowLength)
        copyRow(out, rows[y], rowLength, pixelSize, backwards);
    return DecodeResult(output, imageDataPtr);
}

Ogre::DataStreamPtr PNGCodec::encode(const Ogre::MemoryDataStreamPtr& input, const CodecDataPtr& data) const
{
    fail(Ogre::Exception::ERR_NOT_IMPLEMENTED, "PNG encoding not supported", ENCODE_SOURCE, __LINE__);
}

void PNGCodec::encodeToFile(const Ogre::MemoryDataStreamPtr& input, const Ogre::String& fileName,
                            const CodecDataPtr& data) const
{
    const auto* image = static_cast<const ImageData*>(data.get());
    if (!input || !image ||
        Ogre::PixelUtil::getMemorySize(image->width, image->height, image->depth, image->format) >
            input->size())
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG save error", ENCODE_SOURCE, __LINE__);
    Ogre::PixelBox box(image->width, image->height, image->depth, image->format, input->getPtr());

    WriteStructs structs;
    structs.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!structs.png)
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG write struct creating failed", ENCODE_SOURCE,
             __LINE__);
    structs.info = png_create_info_struct(structs.png);
    if (!structs.info)
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG info struct creating failed", ENCODE_SOURCE,
             __LINE__);
    if (!describeImage(structs.png, structs.info, box.getWidth(), box.getHeight()))
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG save error", ENCODE_SOURCE, __LINE__);

    const size_t rowLength = size_t(box.getWidth()) * ENCODED_CHANNELS;
    std::vector<png_byte> pixels(rowLength * box.getHeight());
    std::vector<png_bytep> rows(box.getHeight());
    for (size_t y = 0; y < box.getHeight(); ++y)
    {
        rows[y] = pixels.data() + y * rowLength;
        for (size_t x = 0; x < box.getWidth(); ++x)
        {
            const Ogre::ColourValue colour = box.getColourAt(x, y, 0);
            rows[y][x * ENCODED_CHANNELS] = toByte(colour.r);
            rows[y][x * ENCODED_CHANNELS + 1] = toByte(colour.g);
            rows[y][x * ENCODED_CHANNELS + 2] = toByte(colour.b);
        }
    }

    // The old file stays untouched until the new one is complete.
    const Ogre::String temporaryName = fileName + TEMPORARY_SUFFIX;
    FILE* file = std::fopen(temporaryName.c_str(), "wb");
    if (!file)
        fail(Ogre::Exception::ERR_INVALIDPARAMS,
             "Error: Could not open PNG file '" + fileName + "' for writing", ENCODE_SOURCE, __LINE__);
    const bool written = writeImage(structs.png, structs.info, file, rows.data());
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporaryName.c_str(), fileName.c_str()) != 0)
    {
        std::remove(temporaryName.c_str());
        fail(Ogre::Exception::ERR_INVALIDPARAMS, "Error: PNG save error", ENCODE_SOURCE, __LINE__);
    }
}
} // namespace PNG
