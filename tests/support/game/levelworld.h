#pragma once
#include "support/game/levelbuilder.h"
#include "support/ogre/headlessogre.h"
#include "support/tempdir.h"

#include "gamedata.h"

#include <memory>
#include <string>

namespace brix
{
class DecalManager;
}

namespace game
{
class Level;
}

namespace test
{
// A level the way the game sets one up, without a window: a headless OGRE root, a temporary
// user data directory, the game's data (meshes, physics materials and block bodies, the
// resource group "levels" over the built-in and the user's levels) and an initialised
// game::Level with the block catalogue. With a scene, the level builds its render geometry
// into the root's scene manager too and shoots decals through a decal manager on it. Plug-ins
// are OGRE's own (for example "Codec_STBI" to read and write PNG images). Tests run from the
// source root.
class LevelWorld
{
public:
    explicit LevelWorld(bool withScene = false, std::initializer_list<const char*> plugins = {});
    ~LevelWorld();
    LevelWorld(const LevelWorld&) = delete;
    LevelWorld& operator=(const LevelWorld&) = delete;

    game::Level& level() { return *mLevel; }
    brix::Simulator& simulator() { return mData->simulator(); }
    Ogre::SceneManager& sceneManager() { return mOgre.sceneManager(); }
    // Only with a scene.
    brix::DecalManager& decals() { return *mDecals; }
    const std::string& userDirectory() const { return mUser.path(); }
    // The path of a user level's file.
    std::string userLevelFile(const std::string& name) const;

    // Saves the built level under the name as a user level, rescans the level cache and loads
    // it as the game would, with a scene built after it when asked. False when saving or
    // loading failed.
    bool load(const LevelBuilder& builder, const std::string& name, bool createScene = false);
    // Rescans the level cache and loads the named level; with a scene built after it.
    bool load(const std::string& name, bool createScene = false);

    // Steps the physics world for the given seconds in fixed steps, flushing after each tick.
    void simulate(float seconds);

private:
    HeadlessOgre mOgre;
    TempDir mUser;
    std::unique_ptr<levels::GameData> mData;
    std::unique_ptr<brix::DecalManager> mDecals;
    std::unique_ptr<game::Level> mLevel;
};
} // namespace test
