#include "support/game/levelworld.h"

#include "support/game/levelbuilder.h"

#include "engine/core/simulator.h"
#include "engine/presentation/decalmanager.h"
#include "game/level/level.h"

namespace test
{
namespace
{
// The game's tick, in which the simulator runs two physics steps.
const float TICK = 0.025f;
} // namespace

LevelWorld::LevelWorld(bool withScene, std::initializer_list<const char*> plugins) : mOgre(plugins)
{
    mData = std::make_unique<levels::GameData>(mUser.path());
    if (withScene)
    {
        mDecals = std::make_unique<brix::DecalManager>(&mOgre.sceneManager(), Ogre::Vector3::ZERO);
        mDecals->initialize();
    }
    mLevel = std::make_unique<game::Level>(withScene ? &mOgre.sceneManager() : nullptr, &mData->simulator(),
                                           mUser.path());
    mLevel->initialize(mDecals.get());
}

LevelWorld::~LevelWorld()
{
    mLevel.reset();
    mDecals.reset();
    mData.reset();
}

std::string LevelWorld::userLevelFile(const std::string& name) const
{
    return mUser.path() + "/" + game::Level::LEVEL_FOLDER + "/" + name + game::Level::FILE_EXTENSION;
}

bool LevelWorld::load(const LevelBuilder& builder, const std::string& name, bool createScene)
{
    return builder.save(*mLevel, name) && load(name, createScene);
}

bool LevelWorld::load(const std::string& name, bool createScene)
{
    mLevel->updateLevelCache();
    if (!mLevel->load(name, false))
        return false;
    if (createScene)
        mLevel->createScene();
    return true;
}

void LevelWorld::simulate(float seconds)
{
    for (float time = 0.0f; time < seconds; time += TICK)
    {
        mData->simulator().update(TICK, false);
        mData->simulator().flush();
    }
}
} // namespace test
