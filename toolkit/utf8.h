#pragma once
#include <string>

namespace brix
{
// Decodes UTF-8 text that may come from anywhere (peers, services, files) into code points, and
// encodes code points back. Decoding never throws: every byte that does not belong to a
// well-formed sequence (stray continuation bytes, overlong forms, surrogates, values above
// U+10FFFF, sequences cut short) becomes one U+FFFD per maximal invalid run, as browsers do.
class UTF8
{
public:
    static const char32_t REPLACEMENT_CHARACTER = 0xFFFD;

    static std::u32string decode(const std::string& text);
    // Appends to codePoints instead of building a new string.
    static void decode(const std::string& text, std::u32string& codePoints);
    // Appends the code point's one to four bytes; it must be a scalar value (at most U+10FFFF,
    // no surrogate), as decode gives.
    static void append(char32_t codePoint, std::string& text);
};
} // namespace brix
