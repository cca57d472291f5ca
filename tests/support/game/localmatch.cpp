#include "support/game/localmatch.h"

#include "engine/core/inputmanager.h"
#include "game/application/camera.h"
#include "game/level/level.h"
#include "game/multiplayer/player.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"

#include <stdexcept>

namespace test
{
namespace
{
const char* const HUMAN = "player";
// The second human starts this far right of the first.
const float SECOND_START = 1.5f;
} // namespace

LocalMatch::LocalMatch(GameRun& game, const std::string& level, unsigned int humans) : mGame(game)
{
    mPlayers.initialize(game.getEventDispatcher(), game.getLabelManager(), game.getLevel(),
                        game.getEntityManager(), nullptr);
    mPlayers.setAuthoritative(true);
    if (!mPlayers.startMatch(level, 0, true, false))
        throw std::runtime_error("Level '" + level + "' did not start");
    game.closeMenu(true);
    game.setViewedPlayers(&mPlayers);
    const Ogre::Vector3 start = game.getLevel()->getSinglePlayerStart();
    for (unsigned int i = 0; i < humans && i < game::Application::LOCAL_PLAYERS; ++i)
    {
        game::Player* player = mPlayers.createPlayer();
        player->setLocal(true);
        auto* human = static_cast<game::Human*>(game.getEntityManager()->createEntity(
            HUMAN, start + Ogre::Vector3(SECOND_START * i, 0, 0), Ogre::Quaternion::IDENTITY,
            Ogre::Vector3::ZERO, Ogre::Vector3::ZERO));
        human->setPlayer(true);
        human->setController(game.getController(i));
        player->joinMatch(human);
        // Observer record i is local player i: labels near its human show in its camera's layer.
        game.getEntityManager()->addObserver(static_cast<uint16_t>(i + 1), 1);
        game.getEntityManager()->setObserverFocus(static_cast<uint16_t>(i + 1), human->getId());
        game.getCamera(i)->setPlayer(player->getIndex());
        mPlayerRecords.push_back(player);
    }
    const bool split = humans > 1;
    game.getCamera(0)->setViewportMode(split ? game::Camera::VIEWPORT_LEFT : game::Camera::VIEWPORT_FULL);
    game.getCamera(1)->setViewportMode(split ? game::Camera::VIEWPORT_RIGHT : game::Camera::VIEWPORT_NONE);
    // The clients are not connected: their controllers are sampled here, as a connected client
    // samples its own.
    game.setBeforeTicks(
        [&game]()
        {
            for (unsigned int i = 0; i < game::Application::LOCAL_PLAYERS; ++i)
                if (game::Controller* controller = game.getController(i))
                    controller->update(static_cast<unsigned short>(game.getEntityManager()->getTick() + 1));
        });
    // What a running match of the game modes lets through: the menu keys and the players' input.
    game.getInputManager()->setListenerEnableMask(game::Application::INPUT_MENU |
                                                  game::Application::INPUT_PLAYERS);
}

LocalMatch::~LocalMatch()
{
    mGame.setBeforeTicks(nullptr);
    for (unsigned int i = 0; i < game::Application::LOCAL_PLAYERS; ++i)
    {
        mGame.getCamera(i)->setPlayer(0);
        if (game::Human* followed = i < mPlayerRecords.size() ? human(i) : nullptr)
            followed->setController(nullptr);
    }
    mGame.getCamera(0)->setViewportMode(game::Camera::VIEWPORT_FULL);
    mGame.getCamera(1)->setViewportMode(game::Camera::VIEWPORT_NONE);
    mGame.setViewedPlayers(mGame.getPlayerManager());
    for (unsigned int i = 0; i < mPlayerRecords.size(); ++i)
        mGame.getEntityManager()->removeObserver(static_cast<uint16_t>(i + 1));
    mPlayers.endMatch();
    mPlayers.deleteAllPlayers();
}

game::Human* LocalMatch::human(unsigned int index) const
{
    return static_cast<game::Human*>(mPlayerRecords.at(index)->getHuman());
}
} // namespace test
