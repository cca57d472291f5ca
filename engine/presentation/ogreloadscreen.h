#pragma once
#include "engine/presentation/loadscreenview.h"

#include <OgreColourValue.h>

namespace Ogre
{
class ManualObject;
class RenderWindow;
class SceneManager;
} // namespace Ogre

namespace brix
{
// A plain start-up screen: the material "logo" of the group "loader" centred on a background
// colour, in front of everything. Main thread only.
class OgreLoadScreen
{
public:
    // logoSize is the logo's height where the screen is 2 units wide; its width follows the
    // aspect ratio of the logo's texture.
    OgreLoadScreen(Ogre::SceneManager* sceneManager, Ogre::RenderWindow* window, float logoSize,
                   const Ogre::ColourValue& background);
    // Hides without waiting.
    ~OgreLoadScreen();
    OgreLoadScreen(const OgreLoadScreen&) = delete;
    OgreLoadScreen& operator=(const OgreLoadScreen&) = delete;

    bool show();
    // Keeps the screen up until minimumMs milliseconds have passed since show, then takes it
    // down. Hiding a screen that is not shown does nothing beyond the wait.
    void hide(float minimumMs);

private:
    // Width over height of the logo's texture; 1 without one.
    float getLogoAspectRatio() const;

    LoadScreenView mView;
    float mLogoSize;
    Ogre::ColourValue mBackground;
    Ogre::ManualObject* mLogo;
};
} // namespace brix
