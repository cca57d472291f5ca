#include "support/ogre/shownlines.h"
#include "support/ogre/manualobjectreader.h"

#include <OgreFont.h>
#include <OgreManualObject.h>

#include <cmath>
#include <functional>
#include <map>

namespace test
{
namespace
{
// Glyph quads have four vertices, the first at the top-left of the glyph's cell; the glyph
// is told by that corner's texture coordinates, and a quad the reader does not know is left out.
std::vector<std::string> readLines(const Ogre::ManualObject& object,
                                   const std::function<char(const Ogre::Vector2&)>& glyph)
{
    if (object.getSections().empty())
        return {};
    const SectionContents contents = readSection(object);
    std::map<float, std::map<float, char>, std::greater<float>> rows;
    for (size_t i = 0; i + 3 < contents.positions.size(); i += 4)
    {
        const char shown = glyph(contents.uvs[i]);
        const Ogre::Vector3& at = contents.positions[i];
        if (shown)
            rows[std::round(at.y * 1000) / 1000][at.x] = shown;
    }
    std::vector<std::string> lines;
    for (const auto& row : rows)
    {
        std::string line;
        for (const auto& shown : row.second)
            line += shown.second;
        lines.push_back(line);
    }
    return lines;
}

long cell(float coordinate)
{
    return std::lround(coordinate * 8192);
}
} // namespace

std::vector<std::string> shownLines(const Ogre::ManualObject& object)
{
    return readLines(object,
                     [](const Ogre::Vector2& uv)
                     {
                         const int code = static_cast<int>(std::lround(uv.x * 16)) +
                                          16 * static_cast<int>(std::lround(uv.y * 8));
                         return code > 32 && code < 127 ? static_cast<char>(code) : '?';
                     });
}

std::vector<std::string> shownLines(const Ogre::ManualObject& object, const Ogre::Font& font)
{
    std::map<std::pair<long, long>, char> glyphs;
    for (char code = 33; code < 127; ++code)
    {
        const Ogre::Font::UVRect& rect = font.getGlyphTexCoords(static_cast<Ogre::Font::CodePoint>(code));
        glyphs[{cell(rect.left), cell(rect.top)}] = code;
    }
    return readLines(object,
                     [&](const Ogre::Vector2& uv)
                     {
                         auto found = glyphs.find({cell(uv.x), cell(uv.y)});
                         return found == glyphs.end() ? '\0' : found->second;
                     });
}
} // namespace test
