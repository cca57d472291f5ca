#include "toolkit/peertext.h"
#include "toolkit/utf8.h"
#include "toolkit/log.h"

namespace brix
{
namespace
{
const char32_t C0_END = 0x20;
const char32_t DELETE = 0x7F;
const char32_t C1_END = 0xA0;
// Bidirectional controls: the Arabic letter mark, the left-to-right and right-to-left marks,
// the embeddings and overrides, and the isolates.
const char32_t ARABIC_LETTER_MARK = 0x061C;
const char32_t MARKS_BEGIN = 0x200E, MARKS_END = 0x200F;
const char32_t EMBEDDINGS_BEGIN = 0x202A, EMBEDDINGS_END = 0x202E;
const char32_t ISOLATES_BEGIN = 0x2066, ISOLATES_END = 0x2069;
// What separates the columns of a menu row, and what stands for it inside a column: the
// broken bar (U+00A6), which the menu font holds.
const char COLUMN_SEPARATOR = '|';
const char* const COLUMN_SEPARATOR_STAND_IN = "\xC2\xA6";
} // namespace

bool PeerText::isUnwanted(char32_t codePoint)
{
    return codePoint < C0_END || (codePoint >= DELETE && codePoint < C1_END) ||
           codePoint == ARABIC_LETTER_MARK || (codePoint >= MARKS_BEGIN && codePoint <= MARKS_END) ||
           (codePoint >= EMBEDDINGS_BEGIN && codePoint <= EMBEDDINGS_END) ||
           (codePoint >= ISOLATES_BEGIN && codePoint <= ISOLATES_END) ||
           codePoint == UTF8::REPLACEMENT_CHARACTER;
}

std::string PeerText::clean(const std::string& text, unsigned int maxBytes)
{
    std::string clean;
    clean.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    std::string character;
    for (char32_t codePoint : UTF8::decode(text))
    {
        if (isUnwanted(codePoint))
            continue;
        character.clear();
        UTF8::append(codePoint, character);
        if (clean.size() + character.size() > maxBytes)
            break;
        clean += character;
    }
    return clean;
}

std::string PeerText::forLog(const std::string& text)
{
    return clean(text, Log::MESSAGE_BUFFER_SIZE);
}

std::string PeerText::forColumn(const std::string& text, unsigned int maxBytes)
{
    std::string column;
    // The separator is one byte that occurs in no longer UTF-8 sequence.
    for (char byte : clean(text, maxBytes))
    {
        if (byte == COLUMN_SEPARATOR)
            column += COLUMN_SEPARATOR_STAND_IN;
        else
            column += byte;
    }
    return column;
}
} // namespace brix
