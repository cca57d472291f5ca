#pragma once
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuitem.h"
#include "engine/presentation/ogremenulistener.h"
#include "engine/presentation/ogremenupage.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"

#include <OgreMaterialManager.h>
#include <OgreMaterial.h>
#include <OgrePass.h>
#include <OgreSceneManager.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace menutest
{
const Ogre::ColourValue TEXT_COLOUR(1, 1, 1, 1);
const Ogre::ColourValue SELECTED_COLOUR(1, 1, 0, 1);
const float TEXT_SIZE = 0.1f;

// Every event a page reports, in order.
struct RecordingListener : public brix::OgreMenuListener
{
    void onMenuEvent(brix::OgreMenuItem* item, EventType type) override { events.emplace_back(item, type); }

    std::vector<std::pair<brix::OgreMenuItem*, EventType>> events;
};

// A material named name whose first texture unit shows a width × height texture. Without a
// render system a texture cannot load, so it is measured as declared.
class ImageSheet
{
public:
    ImageSheet(const std::string& name, unsigned int width, unsigned int height) : mName(name)
    {
        if (!Ogre::TextureManager::getSingletonPtr())
            mTextures.reset(new Ogre::DefaultTextureManager());
        Ogre::TexturePtr texture =
            Ogre::TextureManager::getSingleton().create(name + ".png", test::dataGroup());
        texture->setWidth(width);
        texture->setHeight(height);
        Ogre::MaterialManager::getSingleton()
            .create(name, test::dataGroup())
            ->getTechnique(0)
            ->getPass(0)
            ->createTextureUnitState(name + ".png");
    }
    ~ImageSheet()
    {
        Ogre::MaterialManager::getSingleton().remove(mName, test::dataGroup());
        Ogre::TextureManager::getSingleton().remove(mName + ".png", test::dataGroup());
    }

private:
    std::string mName;
    std::unique_ptr<Ogre::DefaultTextureManager> mTextures;
};

// A headless menu in the test image font, its pages reporting to one listener.
class MenuTest : public testing::Test
{
protected:
    MenuTest()
        : menu(&ogre.sceneManager(), ogre.sceneManager().getRootSceneNode(), test::ImageFont::NAME, TEXT_SIZE,
               TEXT_COLOUR, SELECTED_COLOUR, false, nullptr)
    {
    }

    brix::OgreMenuPage* addPage(const std::string& name) { return menu.addPage(name, name, &listener); }

    std::vector<brix::OgreMenuListener::EventType> eventTypes() const
    {
        std::vector<brix::OgreMenuListener::EventType> types;
        for (const auto& event : listener.events)
            types.push_back(event.second);
        return types;
    }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    RecordingListener listener;
    brix::OgreMenu menu;
};
} // namespace menutest
