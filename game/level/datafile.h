#pragma once
#include <string>

namespace brix
{
class XMLElement;
}

namespace game
{
// The checksum of a level or data file: a CRC32 started at 0 over the whole element tree, so
// that formatting and line ends do not count. The level, the level cache and the data-file
// check all use this one rule.
unsigned calculateDataChecksum(const brix::XMLElement& root);

// The game carries the checksums of the data files it ships with (the entity definitions, the
// block catalogue and the built-in levels, by relative path such as "levels/sp01.xml").
// Looks the exact name up: true and the checksum when listed, else false and the out-parameter
// untouched.
bool getDataFileChecksum(const std::string& file, unsigned& checksum);
// True for a file not in the table, or one whose tree still has the shipped checksum; false
// for a listed file that was changed, is missing or cannot be read.
bool isDataFileUnmodified(const std::string& file);
} // namespace game
