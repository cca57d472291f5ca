#include "game/application/application.h"

#include "engine/core/inputmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "game/application/camera.h"
#include "game/application/editorcameraview.h"
#include "game/editor/leveleditor.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/entitymanager.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"

#include <algorithm>
#include <limits>

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
    {
        // An editor without its level could never save what is built in it: the game stays at
        // the menus, whose lists lose a level whose file went.
        closeLevelEditor();
        mCameras[0]->setFollowSpeed(Camera::DEFAULT_FOLLOW_SPEED);
        updateLevelLists();
        mMessageDisplay->writeMessage(
            "Unable to load level '" + level + "' for editing, see application.log for details", true);
        return;
    }
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
    // The preview's results go with it: Escape opens the editor's own page again.
    mNextMenuPage.clear();
    updateInputMask();
}

void Application::updateLevel()
{
    // Maps are made for the editor and for matches on levels that came without them.
    mLevel->updateMapGenerators();
    if (mLevelEditor)
        mLevelEditor->update();
    // A level the cache took in (downloaded from a host, saved by the editor) is offered at once.
    if (mLevel->getLevelCache()->getRevision() != mListedLevelRevision)
        updateLevelLists();
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
    // The menu may be open over the game that ended.
    updateGameItems();
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
    if (!mServer->restartMatch(level, scoreLimit))
    {
        // Ending the game clears the messages: the failure is written after it, or it is lost.
        endGame();
        mMessageDisplay->writeMessage("Unable to restart multiplayer game with level '" + level +
                                          "', see application.log for details",
                                      true);
    }
}

void Application::leaveEndedJoin()
{
    // Ending the game clears the messages: what they told of the end is written again after it,
    // and stays until the player has read it and acts at the menu.
    const std::vector<std::string> shown = mMessageDisplay->getMessages();
    endGame();
    for (const std::string& line : shown)
        mMessageDisplay->writeMessage(line, true);
    mMessageDisplay->setHeld(true);
    openMenu("");
}

void Application::joinMatch()
{
    endGame();
    setAuthoritative(false);
    const std::string address =
        getMenuItem("join", "address")->getValue() + ":" + getMenuItem("join", "port")->getValue();
    mGameMode = MODE_JOINED;
    // The client has said why a join could not even be tried.
    if (!mClients[0]->connect(address, getMenuItem("join", "password")->getValue()))
        leaveEndedJoin();
}

} // namespace game
