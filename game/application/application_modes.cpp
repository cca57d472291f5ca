#include "game/application/application.h"

#include "engine/core/audiomanager.h"
#include "engine/core/inputmanager.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenupage.h"
#include "game/application/camera.h"
#include "game/application/editorcameraview.h"
#include "game/application/gamepadcontroller.h"
#include "game/application/keyboardcontroller.h"
#include "game/application/menucontroller.h"
#include "game/application/menuframe.h"
#include "game/application/musicplayer.h"
#include "game/editor/leveleditor.h"
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/controller.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"

#include <algorithm>
#include <limits>

#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>

namespace game
{
// ---- Level editor ------------------------------------------------------------------------

void Application::openLevelEditor(const std::string& level, bool create)
{
    closeLevelEditor();
    endGame();
    setAuthoritative(true);
    mInputManager->enableInputDevice(brix::InputManager::MOUSE);
    mEditorView = new EditorCameraView(mCameras[0]);
    mLevelEditor = new LevelEditor(mSceneManager, mSceneManager->getRootSceneNode(), mDeveloperMode);
    mLevelEditor->setAspectRatio(getWindowAspectRatio());
    mLevelEditor->initialize(mLevel, mPlayerManager, mEntityManager, mEditorView, mMessageDisplay,
                             mEventDispatcher);
    mLevelEditor->setPreviewHost(this);
    setViewports(Camera::VIEWPORT_FULL, Camera::VIEWPORT_NONE);
    mCameras[0]->setFollowSpeed(EDITOR_FOLLOW_SPEED);
    if (create)
        mLevelEditor->newLevel(level);
    else if (!mLevelEditor->loadLevel(level))
        mMessageDisplay->writeMessage(
            "Unable to load level '" + level + "' for editing, see application.log for details", true);
    mGameMode = MODE_EDITOR;
    brix::OgreMenuPage* properties = mMenu->getPage("level");
    properties->getItem("title")->setValue(mLevel->getTitle());
    properties->getItem("author")->setValue(mLevel->getAuthor());
    // The page counts whole seconds; a level may hold any number of them.
    properties->getItem("time")->setValue(
        static_cast<int>(std::min<double>(mLevel->getTargetTime(), std::numeric_limits<int>::max())));
    properties->getItem("next")->setValue(mLevel->getNext());
    updateInputMask();
    updateControllerInfo();
    mEventDispatcher->post(EventDispatcher::EditorStarted, 0, 0, "");
}

void Application::closeLevelEditor()
{
    if (!mLevelEditor)
        return;
    // The editor's destructor ends a running preview through this host.
    delete mLevelEditor;
    mLevelEditor = nullptr;
    delete mEditorView;
    mEditorView = nullptr;
    if (mGameMode == MODE_EDITOR)
        mGameMode = MODE_MENUS;
    updateInputMask();
}

void Application::backToMenu()
{
    mMessageDisplay->clear();
    closeLevelEditor();
    updateLevelLists();
    mCameras[0]->setFollowSpeed(Camera::DEFAULT_FOLLOW_SPEED);
    mGameMode = MODE_MENUS;
    updateInputMask();
    mEventDispatcher->post(EventDispatcher::BackToMenu, 0, 0, "");
}

bool Application::attachPreviewPlayer()
{
    const bool attached =
        mServer->start(1, 0, "", "", mLevel->getName(), 0) && mClients[0]->connectLocal(mServer);
    if (!attached)
        mServer->stop();
    updateInputMask();
    return attached;
}

void Application::detachPreviewPlayer()
{
    mClients[0]->disconnect();
    mServer->stop();
    updateInputMask();
}

void Application::updateLevel()
{
    // Maps are made for the editor and for matches on levels that came without them.
    mLevel->updateMapGenerators();
    if (mLevelEditor)
        mLevelEditor->update();
}

// ---- Players' views ------------------------------------------------------------------------

void Application::setupPlayerViews()
{
    mMusicPlayer = new MusicPlayer(mAudioManager);
    for (unsigned int i = 0; i < LOCAL_PLAYERS; ++i)
    {
        mCameras[i] = new Camera(static_cast<int>(i), getRenderWindow(), mSceneManager);
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

void Application::updateGamepadItems(brix::OgreMenuPage* page)
{
    brix::OgreMenuItem* controller = page->getItem("controller");
    auto* layout = static_cast<brix::OgreMenuListItem*>(page->getItem("gamepadlayout"));
    if (!controller || !layout)
        return;
    // The list offers "Keyboard", "Keyboard+mouse", then one entry per gamepad.
    const unsigned int firstGamepad = 2;
    if (controller->getValue().compare(0, 7, "Gamepad") == 0 && controller->getIndex() >= firstGamepad)
    {
        layout->setState(brix::OgreMenuItem::STATE_NORMAL);
        // Pads plugged in since the last look are found again.
        mInputManager->disableInputDevice(brix::InputManager::JOYSTICK);
        mInputManager->enableInputDevice(brix::InputManager::JOYSTICK);
        const std::string device = mInputManager->getDeviceIdentifier(brix::InputManager::JOYSTICK,
                                                                      controller->getIndex() - firstGamepad);
        layout->setDescription(device.empty() ? "No gamepad device detected"
                                              : "Found device '" + device + "'");
    }
    else
    {
        layout->setState(brix::OgreMenuItem::STATE_DISABLED);
        layout->setDescription(std::string());
    }
}

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
// ---- Game modes ----------------------------------------------------------------------------

void Application::endGame()
{
    mMessageDisplay->clear();
    for (Client* client : mClients)
        client->disconnect();
    mServer->stop();
    mPlayerManager->endMatch();
    setViewports(Camera::VIEWPORT_FULL, Camera::VIEWPORT_NONE);
    mGameMode = MODE_MENUS;
}

void Application::setAuthoritative(bool authoritative)
{
    mEntityManager->setAuthoritative(authoritative);
    mPlayerManager->setAuthoritative(authoritative);
}

void Application::startSinglePlayer(bool restart)
{
    endGame();
    setAuthoritative(true);
    const std::string level =
        restart ? Level::getLevelNameOfHighScoreName(mHighScoreName) : getMenuItem("sp", "level")->getValue();
    if (mPlayerManager->startMatch(level, 0, true, false) && mServer->start(1, 0, "", "", level, 0))
    {
        setViewports(Camera::VIEWPORT_FULL, Camera::VIEWPORT_NONE);
        if (mClients[0]->connectLocal(mServer))
        {
            mGameMode = MODE_SINGLE_PLAYER;
            return;
        }
    }
    // Nothing half-started stays behind a failure.
    endGame();
    mMessageDisplay->writeMessage("Unable to start single player game with level '" + level +
                                      "', see application.log for details",
                                  true);
}

void Application::hostMatch()
{
    endGame();
    setAuthoritative(true);
    brix::OgreMenuPage* page = mMenu->getPage("host");
    const std::string level = page->getItem("level")->getValue();
    const unsigned int scoreLimit =
        static_cast<unsigned int>(std::max(0, page->getItem("scorelimit")->getValueAsInteger()));
    const unsigned int players =
        static_cast<unsigned int>(std::max(1, page->getItem("players")->getValueAsInteger()));
    const bool splitScreen = page->getItem("splitscreen")->getIndex() != 0;
    // The port is typed as up to five digits: one outside the UDP range is refused, never
    // wrapped onto another port.
    const int port = brix::StringUtil::stringToInt(page->getItem("port")->getValue());
    bool started = false;
    if (port < 1 || port > 65535)
        brix::Log::error("Host port '%s' is not a port number from 1 to 65535",
                         page->getItem("port")->getValue().c_str());
    else if (mPlayerManager->startMatch(level, scoreLimit, false, false) &&
             mServer->start(players, static_cast<unsigned short>(port), page->getItem("password")->getValue(),
                            page->getItem("name")->getValue(), level, 0))
    {
        if (splitScreen)
            setViewports(Camera::VIEWPORT_LEFT, Camera::VIEWPORT_RIGHT);
        else
            setViewports(Camera::VIEWPORT_FULL, Camera::VIEWPORT_NONE);
        started = mClients[0]->connectLocal(mServer) && (!splitScreen || mClients[1]->connectLocal(mServer));
        if (!started)
            brix::Log::error("No slot for the local players in a match of %u", players);
    }
    if (!started)
    {
        endGame();
        mMessageDisplay->writeMessage("Unable to start a multiplayer game with level '" + level +
                                          "', see application.log for details",
                                      true);
        return;
    }
    getMenuItem("restart", "level")->setValue(level);
    getMenuItem("restart", "scorelimit")->setValue(static_cast<int>(scoreLimit));
    mGameMode = MODE_HOST;
}

void Application::restartMatch()
{
    const std::string level = getMenuItem("restart", "level")->getValue();
    const unsigned int scoreLimit =
        static_cast<unsigned int>(std::max(0, getMenuItem("restart", "scorelimit")->getValueAsInteger()));
    mPlayerManager->endMatch();
    if (mPlayerManager->startMatch(level, scoreLimit, false, false))
        mServer->updateMatch(level, 0);
    else
    {
        // Ending the game clears the messages: the failure is written after it, or it is lost.
        endGame();
        mMessageDisplay->writeMessage("Unable to restart multiplayer game with level '" + level +
                                          "', see application.log for details",
                                      true);
    }
}

void Application::joinMatch()
{
    endGame();
    setAuthoritative(false);
    const std::string address =
        getMenuItem("join", "address")->getValue() + ":" + getMenuItem("join", "port")->getValue();
    mClients[0]->connect(address, getMenuItem("join", "password")->getValue());
    mGameMode = MODE_JOINED;
}

} // namespace game
