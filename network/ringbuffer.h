#pragma once
#include <cstring>
#include <vector>

namespace brix
{
// A fixed ring of capacity items, for plain data types. Writes are all or nothing.
template <typename T> class RingBuffer
{
public:
    explicit RingBuffer(unsigned int capacity) : mStorage(capacity + 1), mWrite(0), mRead(0) {}
    virtual ~RingBuffer() = default;

    unsigned int capacity() const { return static_cast<unsigned int>(mStorage.size()) - 1; }
    unsigned int size() const
    {
        unsigned int total = static_cast<unsigned int>(mStorage.size());
        return (mWrite + total - mRead) % total;
    }
    unsigned int space() const { return capacity() - size(); }

    // n, or 0 with nothing written when n items do not fit.
    unsigned int write(const T* data, unsigned int n)
    {
        if (n > space())
            return 0;
        unsigned int total = static_cast<unsigned int>(mStorage.size());
        unsigned int first = total - mWrite < n ? total - mWrite : n;
        std::memcpy(&mStorage[mWrite], data, first * sizeof(T));
        std::memcpy(&mStorage[0], data + first, (n - first) * sizeof(T));
        mWrite = (mWrite + n) % total;
        return n;
    }

    // Copies up to n items from the oldest on (out may be null to skip them); the items are
    // removed only when consume is true. Returns the count.
    unsigned int read(T* out, unsigned long n, bool consume)
    {
        unsigned int held = size();
        unsigned int count = n < held ? static_cast<unsigned int>(n) : held;
        unsigned int total = static_cast<unsigned int>(mStorage.size());
        if (out)
        {
            unsigned int first = total - mRead < count ? total - mRead : count;
            std::memcpy(out, &mStorage[mRead], first * sizeof(T));
            std::memcpy(out + first, &mStorage[0], (count - first) * sizeof(T));
        }
        if (consume)
            mRead = (mRead + count) % total;
        return count;
    }

    // The item at position from the oldest, which the caller has checked is below size().
    const T& peek(unsigned int position) const { return mStorage[(mRead + position) % mStorage.size()]; }

    void clear() { mRead = mWrite = 0; }

private:
    std::vector<T> mStorage;
    unsigned int mWrite;
    unsigned int mRead;
};
} // namespace brix
