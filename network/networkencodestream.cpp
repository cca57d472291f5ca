#include "network/networkencodestream.h"

#include <cstring>

namespace brix
{
NetworkEncodeStream::NetworkEncodeStream(unsigned char* buffer, unsigned int size)
    : NetworkStream(buffer, size)
{
}

NetworkEncodeStream::NetworkEncodeStream(NetworkEncodeStream& parent, unsigned int offset, unsigned int size)
    : NetworkStream(nullptr, 0)
{
    attach(parent, offset, size);
}

void NetworkEncodeStream::encodeUInt8(unsigned char value)
{
    if (!reserve(1))
        return;
    mBuffer[mOffset++] = value;
}

void NetworkEncodeStream::encodeUInt16(unsigned short value)
{
    if (!reserve(2))
        return;
    mBuffer[mOffset++] = static_cast<unsigned char>(value);
    mBuffer[mOffset++] = static_cast<unsigned char>(value >> 8);
}

void NetworkEncodeStream::encodeUInt32(unsigned int value)
{
    if (!reserve(4))
        return;
    for (int i = 0; i < 4; ++i)
        mBuffer[mOffset++] = static_cast<unsigned char>(value >> (8 * i));
}

void NetworkEncodeStream::encodeUIntVar(unsigned int value)
{
    for (;;)
    {
        if (!reserve(1))
            return;
        unsigned char byte = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
        if (value == 0)
        {
            mBuffer[mOffset++] = byte;
            return;
        }
        mBuffer[mOffset++] = byte | 0x80;
    }
}

void NetworkEncodeStream::encodeRaw(const unsigned char* data, unsigned int length)
{
    encodeUIntVar(length);
    if (length == 0 || !reserve(length))
        return;
    std::memcpy(mBuffer + mOffset, data, length);
    mOffset += length;
}

void NetworkEncodeStream::encodeString(const std::string& text)
{
    encodeRaw(reinterpret_cast<const unsigned char*>(text.data()), static_cast<unsigned int>(text.size()));
}
} // namespace brix
