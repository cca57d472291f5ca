#include "network/networkstatecodec.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"

#include <cstring>

namespace brix
{
NetworkStateCodec::NetworkStateCodec() : mSizeBits(0) {}

NetworkStateCodec::~NetworkStateCodec() = default;

void NetworkStateCodec::append(Type type, void* pointer, float min, float max, unsigned int bits)
{
    if (bits < 1)
        bits = 1;
    if (bits > MAX_BITS)
        bits = MAX_BITS;
    mBindings.push_back(TBinding{type, pointer, min, max, bits});
    mSizeBits += bits;
}

void NetworkStateCodec::bind(unsigned int* variable, unsigned int bits)
{
    append(UNSIGNED_INT, variable, 0.0f, 0.0f, bits);
}

void NetworkStateCodec::bind(float* variable, float min, float max, unsigned int bits)
{
    append(FLOAT, variable, min, max, bits);
}

void NetworkStateCodec::bind(bool* variable)
{
    append(BOOLEAN, variable, 0.0f, 0.0f, 1);
}

void NetworkStateCodec::clearBindings()
{
    mBindings.clear();
    mSizeBits = 0;
}

bool NetworkStateCodec::encode(unsigned char* buffer, unsigned int size) const
{
    unsigned int bytes = getSizeBytes();
    if (size < bytes)
        return false;
    std::memset(buffer, 0, bytes);
    unsigned int position = 0;
    for (const TBinding& binding : mBindings)
    {
        unsigned int mask = (1u << binding.bits) - 1;
        unsigned int value = 0;
        switch (binding.type)
        {
        case UNSIGNED_INT:
            value = *static_cast<const unsigned int*>(binding.pointer) & mask;
            break;
        case BOOLEAN:
            value = *static_cast<const bool*>(binding.pointer) ? 1 : 0;
            break;
        case FLOAT:
        {
            float v = *static_cast<const float*>(binding.pointer);
            unsigned int steps = mask - 1;
            if (v >= binding.max)
                value = steps;
            else if (v <= binding.min)
                value = 0;
            else if (v == v && steps > 0)
                value = static_cast<unsigned int>((static_cast<double>(v) - binding.min) * steps /
                                                      (static_cast<double>(binding.max) - binding.min) +
                                                  0.5);
            if (value > steps)
                value = steps;
            break;
        }
        }
        unsigned int left = binding.bits;
        while (left > 0)
        {
            unsigned int bit = position & 7;
            unsigned int piece = 8 - bit < left ? 8 - bit : left;
            buffer[position >> 3] |= static_cast<unsigned char>((value & ((1u << piece) - 1)) << bit);
            value >>= piece;
            position += piece;
            left -= piece;
        }
    }
    return true;
}

bool NetworkStateCodec::decode(const unsigned char* buffer, unsigned int size) const
{
    if (size < getSizeBytes())
        return false;
    unsigned int position = 0;
    for (const TBinding& binding : mBindings)
    {
        unsigned int value = 0;
        unsigned int filled = 0;
        while (filled < binding.bits)
        {
            unsigned int bit = position & 7;
            unsigned int piece = 8 - bit < binding.bits - filled ? 8 - bit : binding.bits - filled;
            value |= ((static_cast<unsigned int>(buffer[position >> 3]) >> bit) & ((1u << piece) - 1))
                     << filled;
            filled += piece;
            position += piece;
        }
        switch (binding.type)
        {
        case UNSIGNED_INT:
            *static_cast<unsigned int*>(binding.pointer) = value;
            break;
        case BOOLEAN:
            *static_cast<bool*>(binding.pointer) = value != 0;
            break;
        case FLOAT:
        {
            // The top code is never sent; read from a hostile peer it still means the maximum.
            unsigned int steps = (1u << binding.bits) - 2;
            if (value > steps)
                value = steps;
            *static_cast<float*>(binding.pointer) =
                steps == 0
                    ? binding.min
                    : static_cast<float>((static_cast<double>(binding.max) - binding.min) * value / steps +
                                         binding.min);
            break;
        }
        }
    }
    return true;
}

void NetworkStateCodec::encode(NetworkEncodeStream& stream) const
{
    unsigned int bytes = getSizeBytes();
    if (!stream.encodeTest(bytes))
        return;
    encode(stream.getBuffer() + stream.getOffset(), stream.getRemaining());
    stream.skip(bytes);
}

void NetworkStateCodec::decode(NetworkDecodeStream& stream) const
{
    unsigned int bytes = getSizeBytes();
    if (!stream.decodeTest(bytes))
        return;
    decode(stream.getBuffer() + stream.getOffset(), stream.getRemaining());
    stream.skip(bytes);
}
} // namespace brix
