#include "engine/presentation/ogreoverlayloadscreen.h"

#include <OgreOverlay.h>
#include <OgreOverlayContainer.h>
#include <OgreOverlayManager.h>

namespace brix
{
namespace
{
// The named child of a container, or null (OGRE's own look-up throws).
Ogre::OverlayElement* findChild(Ogre::OverlayContainer* parent, const std::string& name)
{
    if (!parent)
        return nullptr;
    auto found = parent->getChildren().find(name);
    return found == parent->getChildren().end() ? nullptr : found->second;
}

Ogre::OverlayContainer* asContainer(Ogre::OverlayElement* element)
{
    return element && element->isContainer() ? static_cast<Ogre::OverlayContainer*>(element) : nullptr;
}
} // namespace

OgreOverlayLoadScreen::OgreOverlayLoadScreen(Ogre::SceneManager* sceneManager,
                                             Ogre::OverlaySystem* overlaySystem, Ogre::RenderWindow* window)
    : mOverlaySystem(overlaySystem), mView(sceneManager, window), mOverlay(nullptr), mStatusText(nullptr)
{
}

OgreOverlayLoadScreen::~OgreOverlayLoadScreen()
{
    hide(0);
}

bool OgreOverlayLoadScreen::show()
{
    if (mView.isOpen())
        return mOverlay != nullptr;
    mView.open(Ogre::ColourValue::Black);
    mOverlay = Ogre::OverlayManager::getSingleton().getByName("loadscreen");
    if (!mOverlay)
        return false;
    Ogre::OverlayContainer* panel = asContainer(findChild(mOverlay->getChild("background"), "statuspanel"));
    mStatusText = findChild(panel, "statustext");

    mOverlay->show();
    mView.render();
    Ogre::ResourceGroupManager::getSingleton().addResourceGroupListener(this);
    mView.markShown();
    return true;
}

void OgreOverlayLoadScreen::hide(float minimumMs)
{
    Ogre::ResourceGroupManager::getSingleton().removeResourceGroupListener(this);
    mView.waitShown(minimumMs);
    if (mOverlay)
        mOverlay->hide();
    mOverlay = nullptr;
    mStatusText = nullptr;
    mView.close();
}

void OgreOverlayLoadScreen::setStatusText(const std::string& text)
{
    if (!mStatusText)
        return;
    mStatusText->setCaption(text);
    mView.render();
}

void OgreOverlayLoadScreen::resourceGroupScriptingStarted(const Ogre::String& groupName, size_t scriptCount)
{
    setStatusText("Parsing resource scripts..");
}

void OgreOverlayLoadScreen::resourceGroupLoadStarted(const Ogre::String& groupName, size_t resourceCount)
{
    setStatusText("Loading resources..");
}

void OgreOverlayLoadScreen::resourceGroupLoadEnded(const Ogre::String& groupName)
{
    setStatusText("Initializing application..");
}
} // namespace brix
