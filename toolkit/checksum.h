#pragma once
#include <string>

namespace brix
{
// A checksum over a stream of bytes. Feed it with add or addRaw, call finalize once, then
// read the result; call reset before feeding the same object again.
class Checksum
{
public:
    // Bytes in the longest raw checksum of the family.
    static const unsigned MAX_CHECKSUM_LENGTH = 16;

    virtual ~Checksum() = default;

    // Feeds every byte of the string, zero bytes included.
    virtual void add(const std::string& text);
    // Feeds the bytes before the terminator; a null pointer feeds nothing.
    virtual void add(const char* text);
    virtual void addRaw(const unsigned char* data, unsigned length) = 0;
    virtual void finalize() = 0;
    // Length of the raw checksum in bytes.
    virtual unsigned getChecksumLength() const = 0;
    // Writes getChecksumLength() bytes.
    virtual void getChecksumRaw(unsigned char* out) const = 0;
    // Two lower-case hex digits per raw byte, in raw order.
    virtual std::string getChecksumHex() const;
    // The last (up to) four raw bytes read as a big-endian number.
    virtual unsigned getChecksumInteger() const;
    virtual void reset() = 0;
};
} // namespace brix
