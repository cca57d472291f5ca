#pragma once

namespace brix
{
// A bounded cursor over a caller-owned byte buffer with a sticky result: after the first
// failure every later operation does nothing, so a caller checks the result once per message.
// Copies share the buffer.
class NetworkStream
{
public:
    enum Result : unsigned int
    {
        SUCCESS = 0,
        BUFFER_OVERFLOW = 1,
        BUFFER_UNDERFLOW = 2,
        INVALID_DATA = 3,
        UNSUPPORTED_VALUE = 4
    };

    NetworkStream(unsigned char* buffer, unsigned int size);
    virtual ~NetworkStream();

    virtual unsigned int getBufferSize() const { return mSize; }
    virtual unsigned int getOffset() const { return mOffset; }
    virtual Result getResult() const { return mResult; }
    virtual const char* getResultText() const { return getResultText(mResult); }
    static const char* getResultText(unsigned int result);

    // Past the end: BUFFER_OVERFLOW and no move.
    void skip(unsigned int n);
    // Before the start: BUFFER_UNDERFLOW and no move.
    void reverse(unsigned int n);
    // Bytes left after the offset.
    unsigned int getRemaining() const { return mSize - mOffset; }
    // Marks the stream failed, unless it already is: a reader that finds a value it cannot
    // accept reports it like any other decoding failure.
    void fail(Result result)
    {
        if (mResult == SUCCESS)
            mResult = result;
    }

protected:
    // Starts a sub-stream over the rest of parent from parent offset + offset, at most size
    // bytes when size is non-zero. A start past the parent's end fails the parent.
    void attach(NetworkStream& parent, unsigned int offset, unsigned int size);
    // True when n more bytes fit; otherwise sets BUFFER_OVERFLOW.
    bool reserve(unsigned int n);

    unsigned int mSize;
    unsigned int mOffset;
    Result mResult;
    unsigned char* mBuffer;
};
} // namespace brix
