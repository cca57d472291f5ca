#pragma once
#include <string>
#include <vector>

namespace Ogre
{
class Font;
class ManualObject;
} // namespace Ogre

namespace test
{
// The lines of text drawn in section 0 of a manual object with test::ImageFont, top line
// first, read back from the glyphs' texture cells (blanks are not drawn, so not shown). A
// glyph outside the font's printable cells reads as "?".
std::vector<std::string> shownLines(const Ogre::ManualObject& object);
// The same for text drawn in one of the game's own fonts; quads that are no glyph of it, such
// as outlines, are left out.
std::vector<std::string> shownLines(const Ogre::ManualObject& object, const Ogre::Font& font);
} // namespace test
