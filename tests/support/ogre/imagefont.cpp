#include "support/ogre/imagefont.h"
#include "support/ogre/headlessogre.h"

#include <OgreFontManager.h>
#include <OgreMaterialManager.h>
#include <OgreResourceGroupManager.h>

namespace test
{
const char* const ImageFont::NAME = "testfont";
const char* const ImageFont::MATERIAL = "TestFontMaterial";

ImageFont::ImageFont(const std::string& name)
    : mName(name), mMaterial(name == NAME ? std::string(MATERIAL) : name + "Material")
{
    if (!Ogre::FontManager::getSingletonPtr())
        mOwnManager = new Ogre::FontManager();
    const std::string group = dataGroup();
    mFont = Ogre::FontManager::getSingleton().create(mName, group);
    mFont->setType(Ogre::FT_IMAGE);
    mFont->setSource("testfont.png");
    for (Ogre::Font::CodePoint c = 33; c < 127; ++c)
    {
        const float u = (c % 16) / 16.0f, v = (c / 16) / 8.0f;
        const float w = (c == 'M' || c == 'W') ? 2.0f / 16 : 1.0f / 16;
        mFont->setGlyphTexCoords(c, u, v, u + w, v + 1.0f / 8, 1.0f);
    }
    mFont->setGlyphTexCoords(0xFFFD, 0.0f, 0.0f, 1.0f / 8, 1.0f / 8, 1.0f);
    Ogre::MaterialPtr material = Ogre::MaterialManager::getSingleton().create(mMaterial, group);
    mFont->_setMaterial(material);
}

ImageFont::~ImageFont()
{
    Ogre::FontManager::getSingleton().remove(mFont);
    mFont.reset();
    Ogre::MaterialManager::getSingleton().remove(mMaterial, dataGroup());
    delete mOwnManager;
}
} // namespace test
