#pragma once
#include <OgreFont.h>

#include <string>

namespace Ogre
{
class FontManager;
}

namespace test
{
// An image font whose glyph coordinates are set in code, for tests without a render system
// (fonts load their texture only with one). Printable ASCII glyphs are cells 1/16 wide and
// 1/8 high, so their aspect ratio is 0.5; "M", "W" and U+FFFD are twice as wide (1.0). Other
// code points are missing. It lives in the game's data group, as the game's fonts do. Make it
// after test::HeadlessOgre and drop it before.
class ImageFont
{
public:
    static const char* const NAME;
    static const char* const MATERIAL;

    // Another name stands the font in for one of the game's own (its material is the name
    // followed by "Material").
    explicit ImageFont(const std::string& name = NAME);
    ~ImageFont();
    ImageFont(const ImageFont&) = delete;
    ImageFont& operator=(const ImageFont&) = delete;

    Ogre::Font& font() { return *mFont; }

private:
    std::string mName;
    std::string mMaterial;
    Ogre::FontManager* mOwnManager = nullptr;
    Ogre::FontPtr mFont;
};
} // namespace test
