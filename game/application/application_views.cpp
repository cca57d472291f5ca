#include "game/application/application.h"

#include "engine/core/audiomanager.h"
#include "engine/core/inputmanager.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenu.h"
#include "game/application/camera.h"
#include "game/application/gamepadcontroller.h"
#include "game/application/glowpicture.h"
#include "game/application/keyboardcontroller.h"
#include "game/application/menucontroller.h"
#include "game/application/menuframe.h"
#include "game/application/musicplayer.h"
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/controller.h"
#include "game/world/entity.h"
#include "toolkit/file.h"
#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreRenderWindow.h>
#include <OgreStringConverter.h>
#include <OgreTextureManager.h>

#include <algorithm>
#include <ctime>

namespace game
{
// ---- Players' views ------------------------------------------------------------------------

void Application::setupPlayerViews()
{
    mMusicPlayer = new MusicPlayer(mAudioManager);
    mGlowPicture = new GlowPicture(getRenderWindow(), mSceneManager);
    mGlowPicture->setHiddenTest([this](const Ogre::Vector3& from, const Ogre::Vector3& to)
                                { return mLevel && mLevel->hides(from, to); });
    for (unsigned int i = 0; i < LOCAL_PLAYERS; ++i)
    {
        mCameras[i] = new Camera(static_cast<int>(i), getRenderWindow(), mSceneManager, mGlowPicture);
        mCameras[i]->setFollowSpeed(Camera::DEFAULT_FOLLOW_SPEED);
    }
    setViewedPlayers(mPlayerManager);
    setViewports(Camera::VIEWPORT_FULL, Camera::VIEWPORT_NONE);
}

void Application::setViewedPlayers(PlayerManager* players)
{
    mViewedPlayers = players;
    for (Camera* camera : mCameras)
        if (camera)
            camera->setWorld(mEntityManager, players);
}

void Application::setViewports(int first, int second)
{
    if (mCameras[0])
        mCameras[0]->setViewportMode(first);
    if (mCameras[1])
        mCameras[1]->setViewportMode(second);
}

void Application::updatePlayerViews(float frameSeconds)
{
    for (Client* client : mClients)
        client->updateCamera(frameSeconds);
    if (mMusicPlayer)
        mMusicPlayer->update(frameSeconds);
    const bool gameVisible = !mMenuFrame->isShown() && !mMenu->isVisible();
    for (Camera* camera : mCameras)
        if (camera)
            camera->setHUDVisible(gameVisible);
    mLabelManager->setVisible(gameVisible);
}

void Application::cleanupPlayerViews()
{
    for (Camera*& camera : mCameras)
        destroy(camera, "camera");
    destroy(mGlowPicture, "glow picture");
    destroy(mMusicPlayer, "music player");
    mViewedPlayers = nullptr;
}

void Application::setCamerasPaused(bool paused)
{
    for (Camera* camera : mCameras)
        if (camera)
            camera->setPaused(paused);
}

void Application::playMenuMusic()
{
    if (!mMusicPlayer)
        return;
    if (mConfiguration.getBoolean("audio/music") && mGameMode != MODE_EDITOR)
        mMusicPlayer->play("menu.ogg", true);
    else
        mMusicPlayer->stop();
}

void Application::onViewParameterChange(const std::string& name)
{
    if (name == "video/filters")
    {
        for (Camera* camera : mCameras)
            if (camera)
                camera->setCompositorsEnabled(mConfiguration.getBoolean(name));
    }
    else if (name == "audio/music")
    {
        const unsigned int state = mViewedPlayers ? mViewedPlayers->getMatchState() : PlayerManager::NoMatch;
        if (mConfiguration.getBoolean(name))
        {
            if (state == PlayerManager::NoMatch)
                mMusicPlayer->play("menu.ogg", true);
            else if (state == PlayerManager::Complete)
                mMusicPlayer->play("completion.ogg", true);
        }
        else if (state == PlayerManager::NoMatch)
            mMusicPlayer->stop();
    }
    else if (name == "player1/controller" || name == "player1/gamepadlayout" ||
             name == "player2/controller" || name == "player2/gamepadlayout")
    {
        const unsigned int index = name.compare(0, 7, "player1") == 0 ? 0 : 1;
        const std::string section = index == 0 ? "player1" : "player2";
        setPlayerController(index, mConfiguration.getInteger(section + "/controller") + 1,
                            mConfiguration.getString(section + "/gamepadlayout"));
        updateControllerInfo();
    }
    else if (name == "misc/controllerinfo")
        updateControllerInfo();
}

// ---- Controllers, their hints and the input mask -------------------------------------------

Controller* Application::getController(unsigned int index) const
{
    return index < mClients.size() ? mClients[index]->getController() : nullptr;
}

void Application::setPlayerController(unsigned int index, int type, const std::string& gamepadLayout)
{
    if (index >= mClients.size())
        return;
    std::unique_ptr<Controller> controller;
    switch (type)
    {
    case 0:
        break;
    case 1:
    case 2:
    {
        std::unique_ptr<KeyboardController> keyboard(new KeyboardController(0));
        keyboard->setMouseEnabled(type == 2);
        controller = std::move(keyboard);
        break;
    }
    case 3:
    case 4:
        controller.reset(new GamePadController(0, static_cast<unsigned int>(type - 3), gamepadLayout));
        break;
    default:
        brix::Log::error("Unsupported controller type %d requested", type);
    }
    // The client hands it to its human and sends the player's input from it.
    mClients[index]->setController(std::move(controller));
    if (index == 0 && mMenuController)
        mMenuController->setController(mClients[0]->getController());
}

void Application::updateControllerInfo()
{
    const bool inGame = mGameMode >= MODE_SINGLE_PLAYER && mGameMode <= MODE_JOINED;
    for (unsigned int i = 0; i < LOCAL_PLAYERS; ++i)
    {
        if (!mCameras[i])
            continue;
        std::string info;
        const int type = getController(i) ? getController(i)->getType() : 0;
        if (inGame && (mControllerInfo & (1u << i)))
        {
            if (type == 1 || type == 2)
                info = "keyboardinfo";
            else if (type == 3 || type == 4)
                info = "gamepadinfo";
        }
        mCameras[i]->setInfoText(info);
    }
    if (mLevelEditor)
        mLevelEditor->setHelpVisible(!mMenu->isVisible() && (mControllerInfo & EDITOR_HELP_BIT) != 0);
}

void Application::updateInputMask()
{
    unsigned int mask = INPUT_MENU;
    // A play preview is played: the players' input goes through beside the editor's.
    if (!mMenu->isVisible() && mGameMode == MODE_EDITOR)
        mask = INPUT_MENU | INPUT_EDITOR | (mServer && mServer->isStarted() ? INPUT_PLAYERS : 0u);
    else if (!mMenu->isVisible() && mGameMode >= MODE_SINGLE_PLAYER && mGameMode <= MODE_JOINED &&
             mViewedPlayers && mViewedPlayers->getMatchState() == PlayerManager::Running)
        mask = INPUT_MENU | INPUT_PLAYERS;
    mInputManager->setListenerEnableMask(mask);
}

// ---- Audio listener ------------------------------------------------------------------------

Application::TListener Application::listenFrom(const std::vector<TSoundSample>& samples, float audibleRange)
{
    TListener listener;
    listener.position = Ogre::Vector3::ZERO;
    listener.audibleRange = audibleRange;
    float red = 0.5f;
    float green = 0.5f;
    if (!samples.empty())
    {
        red = green = 0.0f;
        for (const TSoundSample& sample : samples)
        {
            red += sample.red;
            green += sample.green;
            listener.position += sample.position;
        }
        const float n = static_cast<float>(samples.size());
        red /= n;
        green /= n;
        listener.position /= n;
        if (samples.size() > 1)
        {
            float farthest = 0.0f;
            for (const TSoundSample& sample : samples)
                farthest = std::max(farthest, sample.position.distance(listener.position));
            listener.audibleRange += farthest;
        }
    }
    listener.reverb[0] = 0.05f + 0.25f * green;
    listener.reverb[1] = 0.03f * red;
    listener.reverb[2] = 0.04f * green;
    listener.reverb[3] = 1.0f + 3.0f * green;
    return listener;
}

void Application::updateAudioListener()
{
    std::vector<TSoundSample> samples;
    if (mViewedPlayers)
    {
        std::vector<Player*> players;
        mViewedPlayers->getPlayers(players);
        for (Player* player : players)
        {
            Entity* human = player->isLocal() ? player->getHuman() : nullptr;
            if (!human)
                continue;
            TSoundSample sample;
            sample.position = human->getPosition();
            mLevel->sampleSoundMap(sample.position, sample.red, sample.green);
            samples.push_back(sample);
        }
    }
    const TListener listener = listenFrom(samples, mConfiguration.getFloat("audio/audiblerange"));
    mAudioManager->setAudibleRange(listener.audibleRange);
    mAudioManager->setListener(listener.position + Ogre::Vector3(0.0f, 0.0f, 10.0f),
                               Ogre::Vector3::NEGATIVE_UNIT_Z, Ogre::Vector3::UNIT_Y);
    mAudioManager->setReverb(listener.reverb[0], listener.reverb[1], listener.reverb[2], listener.reverb[3]);
}

// ---- Screenshots and render statistics -----------------------------------------------------

void Application::takeScreenshot()
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof(stamp), SCREENSHOT_TIME_FORMAT, &local);
    const std::string base =
        brix::File::filePath(getUserDataDirectory(), SCREENSHOT_FOLDER) + "/screenshot-" + stamp;
    // A second screenshot within the same second must not overwrite the first.
    std::string path = base + ".png";
    for (unsigned int copy = 2; brix::File::fileExists(path); ++copy)
        path = base + "-" + std::to_string(copy) + ".png";
    // A screenshot that cannot be written costs only the screenshot, never the game.
    try
    {
        getRenderWindow()->writeContentsToFile(path);
        brix::Log::info("Screenshot saved to '%s'", path.c_str());
    }
    catch (const Ogre::Exception& e)
    {
        brix::Log::error("Screenshot to '%s' failed: %s", path.c_str(), e.getDescription().c_str());
    }
}

void Application::showRenderStatistics()
{
    if (!mCameras[0])
        return;
    const Ogre::RenderTarget::FrameStats& statistics = mCameras[0]->getStatistics();
    mMessageDisplay->writeMessage(
        "FPS: " + Ogre::StringConverter::toString(statistics.lastFPS) + " " +
            Ogre::StringConverter::toString(statistics.avgFPS) + " triangles: " +
            std::to_string(statistics.triangleCount) + " batches: " + std::to_string(statistics.batchCount) +
            " mem: " + std::to_string(Ogre::TextureManager::getSingleton().getMemoryUsage() >> 10),
        true);
}

} // namespace game
