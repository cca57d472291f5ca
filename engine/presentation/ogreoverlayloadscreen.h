#pragma once
#include "engine/presentation/loadscreenview.h"

#include <OgreResourceGroupManager.h>

#include <string>

namespace Ogre
{
class Overlay;
class OverlayElement;
class OverlaySystem;
class RenderWindow;
class SceneManager;
} // namespace Ogre

namespace brix
{
// The start-up screen: the overlay "loadscreen" of the group "loader" in front of everything,
// with a status line that follows OGRE's parsing and loading of the resource groups. The status
// line is the element background/statuspanel/statustext; without it the screen shows no status.
// Each new line is drawn at once, since loading holds up the frame loop. Main thread only.
class OgreOverlayLoadScreen : public Ogre::ResourceGroupListener
{
public:
    OgreOverlayLoadScreen(Ogre::SceneManager* sceneManager, Ogre::OverlaySystem* overlaySystem,
                          Ogre::RenderWindow* window);
    // Hides without waiting.
    virtual ~OgreOverlayLoadScreen();
    OgreOverlayLoadScreen(const OgreOverlayLoadScreen&) = delete;
    OgreOverlayLoadScreen& operator=(const OgreOverlayLoadScreen&) = delete;

    // False when the group "loader" has no overlay "loadscreen"; the camera stays until hide.
    bool show();
    // Keeps the screen up until minimumMs milliseconds have passed since show, then takes it
    // down. Hiding a screen that is not shown does nothing beyond the wait.
    void hide(float minimumMs);

    void resourceGroupScriptingStarted(const Ogre::String& groupName, size_t scriptCount) override;
    void resourceGroupLoadStarted(const Ogre::String& groupName, size_t resourceCount) override;
    void resourceGroupLoadEnded(const Ogre::String& groupName) override;

private:
    void setStatusText(const std::string& text);

    Ogre::OverlaySystem* mOverlaySystem;
    LoadScreenView mView;
    Ogre::Overlay* mOverlay;
    Ogre::OverlayElement* mStatusText;
};
} // namespace brix
