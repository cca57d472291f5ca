#pragma once
#include <vector>

namespace brix
{
class NetworkEncodeStream;
class NetworkDecodeStream;

// Packs a fixed list of the caller's variables into a bit string of exactly the widths
// chosen for them, least significant bit first, and unpacks it into the same variables.
// A float of b bits travels as one of 2^b - 1 steps between its limits (the top code is
// never sent). The bound variables must outlive the codec's use; copies share them.
class NetworkStateCodec
{
public:
    NetworkStateCodec();
    virtual ~NetworkStateCodec();

    // Widths from 1 to 31 bits.
    void bind(unsigned int* variable, unsigned int bits);
    void bind(float* variable, float min, float max, unsigned int bits);
    void bind(bool* variable);
    void clearBindings();

    unsigned int getSizeBits() const { return mSizeBits; }
    unsigned int getSizeBytes() const { return (mSizeBits + 7) / 8; }

    // False, and nothing touched, when size is below getSizeBytes().
    bool encode(unsigned char* buffer, unsigned int size) const;
    bool decode(const unsigned char* buffer, unsigned int size) const;
    // At the stream's position; a stream without room fails with BUFFER_OVERFLOW.
    void encode(NetworkEncodeStream& stream) const;
    void decode(NetworkDecodeStream& stream) const;

private:
    // The widest field; wider requests are narrowed to it.
    static constexpr unsigned int MAX_BITS = 31;

    enum Type
    {
        UNSIGNED_INT = 0,
        FLOAT = 1,
        BOOLEAN = 2
    };

    struct TBinding
    {
        Type type;
        void* pointer;
        float min;
        float max;
        unsigned int bits;
    };

    void append(Type type, void* pointer, float min, float max, unsigned int bits);

    std::vector<TBinding> mBindings;
    unsigned int mSizeBits;
};
} // namespace brix
