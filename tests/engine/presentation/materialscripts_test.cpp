// The material scripts of the shadow, glow, menu logo, HUD and editor: they compile, define every material
// the game asks for by name, and name only textures that are there.
#include "support/ogre/headlessogre.h"
#include "support/ogre/scriptgroup.h"

#include <OgreMaterialManager.h>
#include <OgrePass.h>
#include <OgreTechnique.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{
const char* const FOLDER = "data";

class MaterialScripts : public testing::Test
{
protected:
    test::HeadlessOgre mOgre;
    test::ScriptGroup mGroup{
        "MaterialScripts",
        {"data/world.material", "data/menu.material", "data/hud.material", "data/editor.material"}};
};

TEST_F(MaterialScripts, CompileWithoutErrorsAndDefineTheMaterialsTheGameNames)
{
    for (const std::string& error : mGroup.errors())
        ADD_FAILURE() << error;
    Ogre::MaterialManager& materials = Ogre::MaterialManager::getSingleton();
    for (const char* name : {"blobshadow", "glowignore", "menulogo", "keyboardinfo", "gamepadinfo",
                             "editinfoleft", "editinforight", "editorgrid", "editorselection", "editorlink",
                             "editormovecursor", "editorrotatecursor", "menufont"})
        EXPECT_TRUE(materials.getByName(name, mGroup.name())) << name;
}

TEST_F(MaterialScripts, EveryTextureIsAShippedPngOfThatExactName)
{
    size_t textures = 0;
    auto it = Ogre::MaterialManager::getSingleton().getResourceIterator();
    while (it.hasMoreElements())
    {
        Ogre::MaterialPtr material = Ogre::static_pointer_cast<Ogre::Material>(it.getNext());
        if (material->getGroup() != mGroup.name())
            continue;
        for (Ogre::Technique* technique : material->getTechniques())
            for (Ogre::Pass* pass : technique->getPasses())
                for (Ogre::TextureUnitState* unit : pass->getTextureUnitStates())
                {
                    const std::string path = std::string(FOLDER) + "/" + unit->getTextureName();
                    std::ifstream file(path, std::ios::binary);
                    char signature[8] = {};
                    file.read(signature, sizeof signature);
                    EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), std::string(signature, 8))
                        << material->getName() << " names " << path;
                    ++textures;
                }
    }
    EXPECT_GE(textures, 7u);
}
} // namespace
