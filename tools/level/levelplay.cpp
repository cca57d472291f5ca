#include "levelplay.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/human.h"

#include <OgreSceneManager.h>

#include <cstdlib>

namespace levels
{
namespace
{
const char* const ENTITY_DEFINITIONS = "entities.xml";
const char* const ENTITY_BODIES = "data/entitybodies.xml";
// A body template the entity definitions bring, to tell whether they are loaded.
const char* const ENTITY_BODY = "humanstanding";
} // namespace

LevelPlay::LevelPlay(game::Level& level, brix::Simulator& simulator, Ogre::SceneManager* sceneManager)
    : mLevel(level), mSimulator(simulator), mEvents(std::make_unique<game::EventDispatcher>()),
      mEntities(std::make_unique<game::EntityManager>(
          &simulator, sceneManager, sceneManager ? sceneManager->getRootSceneNode() : nullptr)),
      mPlayers(std::make_unique<game::PlayerManager>()), mController(0)
{
    if (!mSimulator.hasTemplate(ENTITY_BODY))
        mSimulator.loadTemplates(ENTITY_BODIES);
    mEntities->setServices(mEvents.get(), nullptr, nullptr, nullptr, &mLevel);
    mEntities->setAuthoritative(true);
    mEntities->loadEntityPrototypes(ENTITY_DEFINITIONS);
    mPlayers->setAuthoritative(true);
    mPlayers->initialize(mEvents.get(), nullptr, &mLevel, mEntities.get(), nullptr);
    // The game finds its levels at start-up.
    mLevel.updateLevelCache();
}

LevelPlay::~LevelPlay()
{
    mPlayers->endMatch();
    mPlayers->deleteAllPlayers();
    mPlayers->initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
    mEntities.reset();
    mSimulator.flush();
}

bool LevelPlay::start(const std::string& level, bool singlePlayer)
{
    std::srand(SEED);
    if (!mPlayers->startMatch(level, 0, singlePlayer, false))
        return false;
    mPlayer = mPlayers->createPlayer();
    mPlayers->addPlayerToMatch(mPlayer->getIndex(), &mController);
    // A level may fill the world so that no human fits.
    if (!mPlayer->getHuman())
        return false;
    mEvents->dispatch();
    return true;
}

void LevelPlay::tick(game::Controller::TInput input)
{
    const uint16_t tick = mEntities->nextTick();
    input.tick = tick;
    mController.addInput(input);
    mEntities->simulateTo(tick);
    mPlayers->tick(tick);
    mEvents->dispatch();
}

game::Human* LevelPlay::human() const
{
    game::Entity* human = mPlayer ? mPlayer->getHuman() : nullptr;
    return human && human->getHealth() > 0.0f ? static_cast<game::Human*>(human) : nullptr;
}

bool LevelPlay::isComplete() const
{
    return mPlayers->getMatchState() == game::PlayerManager::Complete;
}

float LevelPlay::getTime() const
{
    return mPlayers->getMatchTime();
}
} // namespace levels
