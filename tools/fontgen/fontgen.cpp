// fontgen: renders an OGRE image font from a TrueType font.
//
//   fontgen <font.ttf> <name> <pixel size> <texture size> <output folder>
//
// Writes <name>.png (white glyphs on transparent, coverage in alpha) and <name>.fontdef.
// The top-left 32 x 32 texels of the texture are solid white: the object builder samples
// its solid and edge texture coordinates there to draw shapes with the font's material.
// Glyphs: printable ASCII, Latin-1 and U+FFFD, which stands for undecodable text.
//
// data/menufont comes from
//   fontgen /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf menufont 32 512 data

#include "common/pngwriter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace
{
const int WHITE_PATCH = 32;
const int PADDING = 2;

struct Glyph
{
    unsigned long codePoint;
    int x, y, width;
};

// White everywhere: the glyphs are in the alpha channel alone.
bool writePng(const std::string& path, int size, const std::vector<unsigned char>& alpha)
{
    std::vector<unsigned char> samples(alpha.size() * 2, 255);
    for (size_t i = 0; i < alpha.size(); ++i)
        samples[i * 2 + 1] = alpha[i];
    return tools::PngWriter::write(path, size, size, 2, samples.data());
}

// The glyph's name in a font definition: the character itself for letters and digits, else
// "u" and the decimal code point (OGRE's script lexer gives quotes, braces and slashes a
// meaning of their own).
std::string glyphName(unsigned long codePoint)
{
    if (codePoint < 127 && std::isalnum(static_cast<int>(codePoint)))
        return std::string(1, static_cast<char>(codePoint));
    return "u" + std::to_string(codePoint);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 6)
    {
        std::fprintf(stderr,
                     "usage: fontgen <font.ttf> <name> <pixel size> <texture size> <output folder>\n");
        return 2;
    }
    const std::string ttf = argv[1], name = argv[2], folder = argv[5];
    const int pixelSize = std::atoi(argv[3]), size = std::atoi(argv[4]);
    if (pixelSize <= 0 || size < 64 || size > 8192)
    {
        std::fprintf(stderr, "fontgen: bad pixel or texture size\n");
        return 2;
    }

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, ttf.c_str(), 0, &face) ||
        FT_Set_Pixel_Sizes(face, 0, pixelSize))
    {
        std::fprintf(stderr, "fontgen: cannot open %s\n", ttf.c_str());
        return 1;
    }
    const int ascender = face->size->metrics.ascender >> 6, descender = face->size->metrics.descender >> 6;
    const int cellHeight = ascender - descender;

    std::vector<unsigned long> codePoints;
    for (unsigned long c = 33; c < 127; ++c)
        codePoints.push_back(c);
    for (unsigned long c = 161; c < 256; ++c)
        if (c != 173) // the soft hyphen has no glyph to show
            codePoints.push_back(c);
    codePoints.push_back(0xFFFD);

    std::vector<unsigned char> alpha(size * size, 0);
    for (int y = 0; y < WHITE_PATCH; ++y)
        std::fill_n(alpha.begin() + y * size, WHITE_PATCH, 255);

    std::vector<Glyph> glyphs;
    int penX = WHITE_PATCH + PADDING, penY = 0;
    for (unsigned long codePoint : codePoints)
    {
        if (FT_Load_Char(face, codePoint, FT_LOAD_RENDER))
        {
            std::fprintf(stderr, "fontgen: no glyph for U+%04lX\n", codePoint);
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        const int left = std::min(0, slot->bitmap_left);
        const int right = std::max<int>(slot->advance.x >> 6, slot->bitmap_left + slot->bitmap.width);
        const int width = right - left;
        if (penX + width > size)
        {
            penX = 0;
            penY += cellHeight + PADDING;
            if (penY < WHITE_PATCH + PADDING && penX < WHITE_PATCH + PADDING)
                penX = WHITE_PATCH + PADDING;
        }
        if (penY + cellHeight > size)
        {
            std::fprintf(stderr, "fontgen: the glyphs do not fit a %d texture\n", size);
            return 1;
        }
        for (unsigned row = 0; row < slot->bitmap.rows; ++row)
            for (unsigned column = 0; column < slot->bitmap.width; ++column)
            {
                const int x = penX + slot->bitmap_left - left + column,
                          y = penY + ascender - slot->bitmap_top + row;
                if (x >= penX && x < penX + width && y >= penY && y < penY + cellHeight)
                    alpha[y * size + x] = slot->bitmap.buffer[row * slot->bitmap.pitch + column];
            }
        glyphs.push_back({codePoint, penX, penY, width});
        penX += width + PADDING;
    }

    if (!writePng(folder + "/" + name + ".png", size, alpha))
    {
        std::fprintf(stderr, "fontgen: cannot write %s.png\n", name.c_str());
        return 1;
    }
    std::ofstream out(folder + "/" + name + ".fontdef");
    out << "// " << name << ": made by tools/fontgen from " << ttf.substr(ttf.find_last_of('/') + 1) << " at "
        << pixelSize << " pixels.\n";
    out << "font " << name << "\n{\n    type image\n    source " << name << ".png\n";
    for (const Glyph& glyph : glyphs)
    {
        char line[160];
        std::snprintf(line, sizeof line, "    glyph %s %.6f %.6f %.6f %.6f\n",
                      glyphName(glyph.codePoint).c_str(), glyph.x / double(size), glyph.y / double(size),
                      (glyph.x + glyph.width) / double(size), (glyph.y + cellHeight) / double(size));
        out << line;
    }
    out << "}\n";
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return out.good() ? 0 : 1;
}
