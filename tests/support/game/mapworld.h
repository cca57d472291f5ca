#pragma once
#include "support/game/levelworld.h"

#include "game/level/levelmapsource.h"

#include <OgreImage.h>

#include <map>
#include <string>

namespace Ogre
{
class Root;
}

namespace test
{
// Entity prototypes for the map generators, set by the test: lights by prototype name, and
// doors with their body template names.
class MapSource : public game::LevelMapSource
{
public:
    struct TLight
    {
        Ogre::Vector3 offset;
        Ogre::ColourValue colour;
        float range;
        float angle; // degrees
    };

    std::map<std::string, TLight> lights;
    std::map<std::string, std::string> doors;

    bool getStaticLight(const std::string& prototype, Ogre::Vector3& offset, Ogre::ColourValue& colour,
                        float& range, float& angle) const override;
    bool getDoorBodyTemplate(const std::string& prototype, std::string& bodyTemplate) const override;
};

// Loads our PNG plug-in into the root the way the game loads it: by file name, from the
// build's library folder.
void loadPngPlugin(Ogre::Root& root);

// A headless level that bakes maps: the level world with our PNG plug-in loaded the way the
// game loads it, so the generators write and the level reads the maps through it.
class MapWorld : public LevelWorld
{
public:
    MapWorld();

    // Polls the level's generator queue, as the game does each frame, until it is empty.
    void runGenerators();
    // The user's map of the level with the suffix (Level::LIGHT_MAP_SUFFIX, ...).
    std::string userMapFile(const std::string& name, const char* suffix) const;
    // Reads a PNG file through the plug-in; an empty image when there is none.
    static Ogre::Image readMap(const std::string& path);
};
} // namespace test
