#pragma once
#include <OgreColourValue.h>

namespace game
{
class Level;
}

namespace test
{
class OgreWindow;

// Readies a window to draw shipped levels as the game draws them, for the scene pictures: the
// "lightmap" texture the block materials read (the default light map until a level's own is
// loaded), the "default" group initialised, the level's services and cache, and the scene's
// ambient light and background.
void prepareLevelScene(OgreWindow& window, game::Level& level, const Ogre::ColourValue& ambient,
                       const Ogre::ColourValue& background);
} // namespace test
