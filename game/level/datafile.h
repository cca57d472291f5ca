#pragma once
#include "toolkit/crc32.h"
#include "toolkit/xmlelement.h"

#include <string>

namespace game
{
// The checksum of a level or data file: a CRC32 started at 0 over the whole element tree, so
// that formatting and line ends do not count. The level, the level cache and the data-file
// check all use this one rule, and so does the build step that makes the table below (inline,
// so that it needs only the toolkit).
inline unsigned calculateDataChecksum(const brix::XMLElement& root)
{
    brix::CRC32 crc(0);
    root.calculateChecksum(crc);
    crc.finalize();
    return crc.getChecksumInteger();
}

// Reads a data file into the tree and checks its root element's name. False with the reason
// (the reader's error, or the wrong root) in the error text. Text, when given, receives the
// file's text as read (XMLElement::load).
bool loadDataTree(const std::string& path, const std::string& root, brix::XMLElement& tree,
                  std::string& error, std::string* text = nullptr);

// One shipped file and its checksum. The table DATA_FILE_CHECKSUMS is generated from the data
// files at build time and ends with a record whose file is null.
struct TDataFileChecksum
{
    const char* file;
    unsigned checksum;
};
extern const TDataFileChecksum DATA_FILE_CHECKSUMS[];

// The game carries the checksums of the data files it ships with (the entity definitions, the
// block catalogue and the built-in levels, by relative path such as "levels/sp01.xml").
// Looks the exact name up: true and the checksum when listed, else false and the out-parameter
// untouched.
bool getDataFileChecksum(const std::string& file, unsigned& checksum);
// True for a file not in the table, or one whose tree still has the shipped checksum; false
// for a listed file that was changed, is missing or cannot be read.
bool isDataFileUnmodified(const std::string& file);
} // namespace game
