#include "network/networkstream.h"

namespace brix
{
NetworkStream::NetworkStream(unsigned char* buffer, unsigned int size)
    : mSize(buffer ? size : 0), mOffset(0), mResult(SUCCESS), mBuffer(buffer)
{
}

NetworkStream::~NetworkStream() = default;

const char* NetworkStream::getResultText(unsigned int result)
{
    switch (result)
    {
    case SUCCESS:
        return "Success";
    case BUFFER_OVERFLOW:
        return "Buffer overflow";
    case BUFFER_UNDERFLOW:
        return "Buffer underflow";
    case INVALID_DATA:
        return "Invalid data";
    case UNSUPPORTED_VALUE:
        return "Unsupported value";
    default:
        return "Unknown";
    }
}

void NetworkStream::skip(unsigned int n)
{
    if (reserve(n))
        mOffset += n;
}

void NetworkStream::reverse(unsigned int n)
{
    if (mResult != SUCCESS)
        return;
    if (n > mOffset)
    {
        fail(BUFFER_UNDERFLOW);
        return;
    }
    mOffset -= n;
}

bool NetworkStream::reserve(unsigned int n)
{
    if (mResult != SUCCESS)
        return false;
    if (n > mSize - mOffset)
    {
        fail(BUFFER_OVERFLOW);
        return false;
    }
    return true;
}

void NetworkStream::attach(NetworkStream& parent, unsigned int offset, unsigned int size)
{
    mBuffer = parent.mBuffer;
    mSize = 0;
    mOffset = 0;
    mResult = parent.mResult;
    if (mResult != SUCCESS)
        return;
    unsigned int left = parent.mSize - parent.mOffset;
    if (offset > left)
    {
        parent.fail(BUFFER_OVERFLOW);
        return;
    }
    mBuffer = parent.mBuffer + parent.mOffset + offset;
    mSize = left - offset;
    if (size != 0 && size <= mSize)
        mSize = size;
}
} // namespace brix
