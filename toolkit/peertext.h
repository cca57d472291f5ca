#pragma once
#include <string>

namespace brix
{
// Text that comes from another machine (player names, chat, match names and info, level titles,
// authors and hints, shared level names, what a service replies) made fit to show and to log: valid UTF-8
// only, without control characters (C0, DEL and C1) and without the bidirectional controls that could turn
// the text around or disguise what follows it on the same line.
class PeerText
{
public:
    // Drops every byte of an ill-formed sequence and every unwanted character, then cuts the
    // result to at most maxBytes bytes, never inside a character.
    static std::string clean(const std::string& text, unsigned int maxBytes);
    // A text to quote in a log line (which may quote what another machine wrote): cleaned and
    // cut to what a log line holds.
    static std::string forLog(const std::string& text);
    // A text to show in one column of a menu row, whose columns are separated by '|': cleaned
    // as by clean, with each '|' drawn as a broken bar so that it starts no column of its own.
    static std::string forColumn(const std::string& text, unsigned int maxBytes);
    // True for the code points clean takes out, the replacement character among them: it
    // stands for an ill-formed sequence.
    static bool isUnwanted(char32_t codePoint);
};
} // namespace brix
