#include "game/application/application.h"

#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "game/application/menucontroller.h"
#include "game/application/musicplayer.h"
#include "game/level/level.h"
#include "toolkit/peertext.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/controller.h"
#include "network/updatechecker.h"
#include "toolkit/desktop.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"

#include <ctime>

namespace game
{
namespace
{
const unsigned int UPDATE_CHANNEL = 1;
// The placing of a single-player result carries this bit when it is an online one.
const int ONLINE_PLACING = 16;
} // namespace

// ---- Version check -------------------------------------------------------------------------

void Application::startVersionCheck()
{
    const std::string& url = mConfiguration.getString("network/versioncheckurl");
    if (url.empty())
        return;
    const uint32_t lastCheck = static_cast<uint32_t>(mConfiguration.getInteger("misc/versionchecktime"));
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (now > static_cast<int64_t>(static_cast<uint32_t>(lastCheck + VERSION_CHECK_INTERVAL)))
    {
        mUpdateChecker = new brix::UpdateChecker(url, UPDATE_CHANNEL, APPLICATION_VERSION);
        mUpdateChecker->check();
    }
    else
        showVersionMessages();
}

void Application::updateVersionCheck()
{
    if (!mUpdateChecker || mUpdateChecker->isBusy())
        return;
    if (unsigned int version = mUpdateChecker->getVersion())
    {
        mConfiguration.setString("misc/latestversion", brix::StringUtil::versionNumberToString(version));
        mConfiguration.setString("misc/latestversionurl", mUpdateChecker->getDownloadURL());
        mConfiguration.setString("misc/message", mUpdateChecker->getMessage());
    }
    destroy(mUpdateChecker, "version check");
    mConfiguration.setInteger("misc/versionchecktime", static_cast<int>(std::time(nullptr)));
    saveConfiguration();
    showVersionMessages();
}

void Application::showVersionMessages()
{
    const std::string& latest = mConfiguration.getString("misc/latestversion");
    if (brix::StringUtil::versionStringToNumber(latest) > APPLICATION_VERSION)
    {
        mMessageDisplay->writeMessage("New version " + latest +
                                          " available on the website! Press F4 to exit and launch browser..",
                                      true);
        mNewVersionAvailable = true;
    }
    else
    {
        // Stored as the web service sent it: cleaned for the screen.
        const std::string message =
            brix::PeerText::clean(mConfiguration.getString("misc/message"), MAX_VERSION_MESSAGE_SIZE);
        if (!message.empty())
            mMessageDisplay->writeMessage(message, true);
    }
}

// ---- Game events -------------------------------------------------------------------------

void Application::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    switch (id)
    {
    case EventDispatcher::MatchStarted:
        if (mMusicPlayer)
            mMusicPlayer->play("ambient.ogg", true);
        if (a != 0)
            mMessageDisplay->writeMessage("Warning: Configuration or level modification detected, online "
                                          "high-scores disabled for this match",
                                          true);
        closeMenu(false);
        break;
    case EventDispatcher::MatchComplete:
        onMatchComplete(a, b);
        break;
    case EventDispatcher::MatchEnded:
    case EventDispatcher::BackToMenu:
        playMenuMusic();
        break;
    case EventDispatcher::EditorStarted:
        if (mMusicPlayer)
            mMusicPlayer->stop();
        break;
    case EventDispatcher::ToggleControllerInfo:
        if (a == 0 || a == 1)
            toggleControllerInfo(1u << a);
        break;
    case EventDispatcher::ToggleHelp:
        toggleControllerInfo(16u);
        break;
    case EventDispatcher::MenuEscape:
        if (mMenu->isVisible() && mGameMode != MODE_MENUS)
        {
            closeMenu(false);
            break;
        }
        {
            const std::string page = mNextMenuPage;
            // A finished game ends here; a finished preview gives the level back to the editor,
            // over which its results are shown.
            if (mPlayerManager->getMatchState() == PlayerManager::Complete)
            {
                if (mGameMode == MODE_SINGLE_PLAYER)
                    endGame();
                else if (mGameMode == MODE_EDITOR)
                    mLevelEditor->stopPreview();
            }
            openMenu(page);
            mNextMenuPage.clear();
            break;
        }
    case EventDispatcher::MenuChat:
        if (mGameMode != MODE_EDITOR && !mMenu->isVisible())
            openMenu("chat");
        break;
    case EventDispatcher::MenuScoreboard:
        onScoreboardKey();
        break;
    case EventDispatcher::MenuCommand:
        onMenuCommand(a);
        break;
    case EventDispatcher::ControllersChanged:
        for (Client* client : mClients)
            if (Controller* controller = client->getController())
                controller->initializeDevice();
        mMenuController->setController(mClients[0]->getController());
        break;
    default:
        break;
    }
    (void)text;
}

void Application::onMatchComplete(int winner, int placing)
{
    if (mMusicPlayer && mConfiguration.getBoolean("audio/music"))
        mMusicPlayer->play("completion.ogg", false);
    if (mPlayerManager->isSinglePlayer())
    {
        const std::string level = mPlayerManager->getLevelName();
        mConfiguration.setString("misc/level", level);
        saveConfiguration();
        onParameterChange("misc/level");
        if (winner > 0 && mPlayerManager->getPlayer(static_cast<unsigned int>(winner)))
        {
            showHighScores(mLevel->getHighScoreName(level), (placing & ONLINE_PLACING) != 0, true);
            mNextMenuPage = placing != 0 ? "newscore" : "highscore";
        }
        else
        {
            mHighScoreName.clear();
            mNextMenuPage = "sp";
        }
    }
    else if (mGameMode == MODE_HOST)
        mNextMenuPage = "restart";
    updateInputMask();
}

void Application::onScoreboardKey()
{
    if (mGameMode != MODE_HOST && mGameMode != MODE_JOINED)
        return;
    if (!mMenu->isVisible())
    {
        updateScoreboard();
        openMenu("scoreboard");
    }
    else if (isScoreboardShown())
        closeMenu(false);
}

bool Application::isScoreboardShown() const
{
    return mMenu->isVisible() && mMenu->getCurrentPage() &&
           mMenu->getCurrentPage()->getName() == "scoreboard";
}

void Application::toggleControllerInfo(unsigned int bit)
{
    mConfiguration.setInteger("misc/controllerinfo", static_cast<int>(mControllerInfo ^ bit));
    saveConfiguration();
}

void Application::onMenuCommand(int key)
{
    switch (key)
    {
    case 4:
        if (!mNewVersionAvailable)
            break;
        {
            // Only a web address is opened; the game goes on when the stored one is not.
            const std::string& address = mConfiguration.getString("misc/latestversionurl");
            if (address.compare(0, 7, "http://") == 0 || address.compare(0, 8, "https://") == 0)
            {
                brix::launchWebBrowser(address.c_str());
                mRunning = false;
            }
            else
                brix::Log::error("Download address '%s' is not a web address",
                                 brix::PeerText::forLog(address).c_str());
        }
        break;
    case 5:
        showRenderStatistics();
        break;
    case 6:
        showNetworkStatistics();
        break;
    case 7:
        if (mGameMode == MODE_JOINED)
            mMessageDisplay->writeMessage(
                "Network connection latency estimate: " + std::to_string(mClients[0]->getLatencyEstimate()) +
                    " +/- " + std::to_string(mClients[0]->getLatencyJitter()) + "ms (input advance " +
                    std::to_string(mClients[0]->getInputAdvance()) + " ticks)",
                true);
        break;
    case 9:
        takeScreenshot();
        break;
    case 12:
        mRunning = false;
        break;
    default:
        break;
    }
}

void Application::showNetworkStatistics()
{
    const brix::NetworkManager::Statistics& statistics =
        mGameMode == MODE_JOINED ? mClients[0]->getStatistics() : mServer->getStatistics();
    mMessageDisplay->writeMessage("Network TX: " + std::to_string(statistics.transmittedBytes) + " B (" +
                                      std::to_string(statistics.transmittedBytesPerSecond) + " B/s) " +
                                      std::to_string(statistics.transmittedPackets) + " P (" +
                                      std::to_string(statistics.transmittedPacketsPerSecond) + " P/s) " +
                                      " RX: " + std::to_string(statistics.receivedBytes) + " B (" +
                                      std::to_string(statistics.receivedBytesPerSecond) + " B/s) " +
                                      std::to_string(statistics.receivedPackets) + " P (" +
                                      std::to_string(statistics.receivedPacketsPerSecond) + " P/s)",
                                  true);
}

} // namespace game
