#include "network/networkdecodestream.h"

#include <cstring>

namespace brix
{
NetworkDecodeStream::NetworkDecodeStream(const unsigned char* buffer, unsigned int size)
    : NetworkStream(const_cast<unsigned char*>(buffer), size)
{
}

NetworkDecodeStream::NetworkDecodeStream(NetworkDecodeStream& parent, unsigned int offset, unsigned int size)
    : NetworkStream(nullptr, 0)
{
    attach(parent, offset, size);
}

unsigned char NetworkDecodeStream::decodeUInt8()
{
    if (!reserve(1))
        return 0;
    return mBuffer[mOffset++];
}

unsigned short NetworkDecodeStream::decodeUInt16()
{
    if (!reserve(2))
        return 0;
    unsigned short value = static_cast<unsigned short>(mBuffer[mOffset] | mBuffer[mOffset + 1] << 8);
    mOffset += 2;
    return value;
}

unsigned int NetworkDecodeStream::decodeUInt32()
{
    if (!reserve(4))
        return 0;
    unsigned int value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<unsigned int>(mBuffer[mOffset + i]) << (8 * i);
    mOffset += 4;
    return value;
}

unsigned int NetworkDecodeStream::decodeUIntVar()
{
    if (!reserve(1))
        return 0;
    unsigned int value = 0;
    for (unsigned int i = 0;; ++i)
    {
        if (!reserve(1))
            return 0;
        unsigned char byte = mBuffer[mOffset];
        // The fifth byte carries the top four bits and must end the value.
        if (i == MAX_VAR_INT_SIZE - 1 && byte > 0x0F)
        {
            fail(INVALID_DATA);
            return 0;
        }
        ++mOffset;
        value |= static_cast<unsigned int>(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0)
            return value;
    }
}

bool NetworkDecodeStream::decodeLength(unsigned int& length)
{
    length = decodeUIntVar();
    if (mResult != SUCCESS)
        return false;
    if (length > mSize - mOffset)
    {
        fail(INVALID_DATA);
        return false;
    }
    return true;
}

unsigned int NetworkDecodeStream::decodeRaw(unsigned char* out, unsigned int capacity)
{
    unsigned int length;
    if (!decodeLength(length))
        return 0;
    if (length > capacity)
    {
        mOffset += length;
        return 0;
    }
    if (length > 0)
        std::memcpy(out, mBuffer + mOffset, length);
    mOffset += length;
    return length;
}

std::string NetworkDecodeStream::decodeString()
{
    unsigned int length;
    if (!decodeLength(length))
        return std::string();
    std::string text(reinterpret_cast<const char*>(mBuffer + mOffset), length);
    mOffset += length;
    return text;
}
} // namespace brix
