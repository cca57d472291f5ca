#pragma once
#include "engine/core/simulator.h"
#include "support/tempdir.h"

#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <memory>
#include <string>

namespace Ogre
{
class SceneManager;
}

namespace game
{
class Entity;
class EntityManager;
class Level;
class EventDispatcher;
class ShadowManager;
} // namespace game

namespace test
{
class HeadlessOgre;
class LevelWorld;

// OGRE without a window for game-world tests: the resource group "default" maps the source
// tree's "data" folder, so entity definitions load the content pack's meshes by name. Scripts
// are not parsed (they need a render system). One per test, made before any world.
class GameOgre
{
public:
    GameOgre();
    ~GameOgre();
    GameOgre(const GameOgre&) = delete;
    GameOgre& operator=(const GameOgre&) = delete;

    // A new scene manager; each world of a test takes its own.
    Ogre::SceneManager* createSceneManager();

private:
    std::unique_ptr<HeadlessOgre> mOgre;
};

// A headless game world set up as the game does it: a physics world with 0.0125 s steps,
// gravity 9.8 down y and the content pack's materials and entity bodies, a ground slab, the
// event dispatcher, the blob shadows (with a scene) and the entity manager over them. A test
// loads entity definitions, creates entities and runs ticks.
class GameWorld
{
public:
    // Test definitions in the content pack's manner: "player" (a human to focus on, holding a
    // "pistol" that fires nothing), "crate",
    // "barrel" (breaks at 10 damage into "barrelexplosion"), "barrelexplosion" (range 6, damage
    // 6, impulse 300, four "fragment"s) and "fragment" (a small crate that lasts 2 s).
    static const char* const DEFINITIONS;
    // The ground's top face.
    static constexpr float GROUND = 0.0f;

    // Without a scene manager entities show nothing, which is all a server needs.
    explicit GameWorld(Ogre::SceneManager* sceneManager, bool authoritative = true);
    // The world of a loaded level: its physics (the entity bodies added) and its scene when it
    // has one, and the level itself, whose box entities die leaving. Make it after the level
    // is loaded and drop it before the level world.
    explicit GameWorld(LevelWorld& level, bool withScene = false, bool authoritative = true);
    // The world of a level loaded elsewhere (a test's window), on that level's physics and scene.
    GameWorld(brix::Simulator& simulator, Ogre::SceneManager* sceneManager, game::Level* level);
    ~GameWorld();
    GameWorld(const GameWorld&) = delete;
    GameWorld& operator=(const GameWorld&) = delete;

    brix::Simulator& simulator() { return *mSimulator; }
    game::EntityManager& entities() { return *mEntities; }
    game::EventDispatcher& events() { return *mEvents; }
    // Null without a scene.
    game::ShadowManager* shadows() { return mShadows.get(); }

    // Loads definitions written as the children of "entities".
    void loadEntities(const std::string& definitions = DEFINITIONS);
    // Creates and spawns an entity of the prototype.
    game::Entity* create(const std::string& name, const Ogre::Vector3& position,
                         const Ogre::Vector3& velocity = Ogre::Vector3::ZERO,
                         const Ogre::Quaternion& orientation = Ogre::Quaternion::IDENTITY);
    // A static box of level geometry (a body without entity) of that full size, centred there.
    void addBlock(const Ogre::Vector3& center, const Ogre::Vector3& size,
                  const Ogre::Quaternion& orientation = Ogre::Quaternion::IDENTITY);
    // Whole ticks as the application runs them: next tick, simulate to it, deliver the events,
    // then one frame (interpolation and shadows).
    void tick(int count = 1);

private:
    void createServices(Ogre::SceneManager* sceneManager, game::Level* level, bool authoritative);

    TempDir mDir;
    unsigned mBlocks = 0;
    std::unique_ptr<brix::Simulator> mOwnSimulator;
    brix::Simulator* mSimulator;
    std::unique_ptr<game::EventDispatcher> mEvents;
    std::unique_ptr<game::ShadowManager> mShadows;
    std::unique_ptr<game::EntityManager> mEntities;
};
} // namespace test
