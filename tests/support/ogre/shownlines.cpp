#include "support/ogre/shownlines.h"
#include "support/ogre/manualobjectreader.h"

#include <OgreManualObject.h>

#include <cmath>
#include <map>

namespace test
{
std::vector<std::string> shownLines(const Ogre::ManualObject& object)
{
    if (object.getSections().empty())
        return {};
    const SectionContents contents = readSection(object);
    // Glyph quads have four vertices, the first at the top-left of the glyph's cell.
    std::map<float, std::map<float, char>, std::greater<float>> rows;
    for (size_t i = 0; i + 3 < contents.positions.size(); i += 4)
    {
        const Ogre::Vector2 uv = contents.uvs[i];
        const int code =
            static_cast<int>(std::lround(uv.x * 16)) + 16 * static_cast<int>(std::lround(uv.y * 8));
        const Ogre::Vector3& at = contents.positions[i];
        rows[std::round(at.y * 1000) / 1000][at.x] = code > 32 && code < 127 ? static_cast<char>(code) : '?';
    }
    std::vector<std::string> lines;
    for (const auto& row : rows)
    {
        std::string line;
        for (const auto& glyph : row.second)
            line += glyph.second;
        lines.push_back(line);
    }
    return lines;
}
} // namespace test
