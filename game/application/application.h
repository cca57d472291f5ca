#pragma once
#include "engine/core/ogreapplication.h"
#include "engine/presentation/ogremenulistener.h"
#include "engine/presentation/ogremenutextvalidator.h"
#include "game/application/filesharebrowser.h"
#include "game/application/listbrowser.h"
#include "game/editor/leveleditor.h"
#include "game/level/version.h"
#include "game/world/eventdispatcher.h"
#include "network/highscoremanager.h"
#include "toolkit/configuration.h"

#include <OgreMaterialManager.h>
#include <OgreVector.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ogre
{
class Camera;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class AudioManager;
class DecalManager;
class InputManager;
class LabelManager;
class MessageDisplay;
class OgreImageArray;
class OgreMenu;
class OgreMenuActionItem;
class OgreMenuPage;
class OgreOverlayLoadScreen;
class OgreParticlePool;
class Simulator;
class UpdateChecker;
struct HighScore;
} // namespace brix

namespace game
{
class EditorCameraView;
class Camera;
class Controller;
class EntityManager;
class Client;
class GlowPicture;
class CommandProcessor;
class Level;
class LevelEditor;
class MatchBrowser;
class MenuController;
class MenuFrame;
class MusicPlayer;
class Player;
class PlayerManager;
class Server;
class ShadowManager;

// The game: starts OGRE with its plug-ins, declares and applies the configuration, builds every
// manager and the menu tree, runs the fixed-tick update and tears everything down in reverse.
// The export run() makes one for the life of the program. Main thread only, except for the
// background services it polls (high scores, the version check).
//
// Every game mode runs through the one server and the two local clients made at set-up. Each
// client sends its player's input from the controller the configuration chooses for it and
// shows its player through the camera of its index; the level editor and its play preview see
// through the first player's camera.
//
// The implementation is split by concern: application.cpp (start-up, main update, tear-down, and
// their steps for the players, the browsers, the server and the clients),
// application_configuration.cpp (parameters, their file and their changes), application_events.cpp
// (game events, the menu keys and the version check), application_menus.cpp (the menu tree, its
// actions, and opening and closing it), application_pages.cpp (browser, high-score and
// scoreboard pages), application_modes.cpp (game modes and the level editor) and
// application_views.cpp (the players' cameras and music, their controllers and hints, the input
// mask, the audio listener, screenshots and render statistics).
class Application : public brix::OgreApplication,
                    public brix::Configuration::Listener,
                    public brix::OgreMenuListener,
                    public brix::OgreMenuTextValidator,
                    public Ogre::MaterialManager::Listener,
                    public EventDispatcher::Listener,
                    public brix::HighScoreManager::Listener,
                    public ListBrowser::PageListener,
                    public FileShareBrowser::FileTransferListener,
                    public LevelEditor::PreviewHost
{
public:
    static const unsigned int APPLICATION_VERSION = game::APPLICATION_VERSION;
    static const unsigned int PROTOCOL_VERSION = game::PROTOCOL_VERSION;
    static const char* const TITLE;
    static const char* const USER_DIRECTORY_NAME;
    static constexpr float TICK_MS = 25.0f;
    static constexpr float MIN_FRAME_MS = 10.0f;
    static constexpr float MAX_FRAME_MS = 100.0f;
    static constexpr float PHYSICS_STEP = 0.0125f;
    static const char* const CONFIGURATION_FILE;
    // The simulation runs ahead of the counter by at most this many ticks.
    static constexpr float MAX_PREDICTION_TICKS = 15.0f;
    // A version check is made at most once in this many seconds.
    static const unsigned int VERSION_CHECK_INTERVAL = 86400;
    // The web service's message after a version check is kept and shown in at most these bytes.
    static const unsigned int MAX_VERSION_MESSAGE_SIZE = 256;
    static const unsigned int SHARE_PASSWORD_LENGTH = 6;
    // Menu, menu frame and messages draw only in the main, full-window viewport.
    static const unsigned int MAIN_VIEWPORT_FLAGS = 0x10;
    // Listener groups of the input manager.
    static const unsigned int INPUT_MENU = 1;
    static const unsigned int INPUT_PLAYERS = 2;
    static const unsigned int INPUT_EDITOR = 4;
    // Players sharing the window, each with a camera and a controller.
    static const unsigned int LOCAL_PLAYERS = 2;
    // How long a message line stays on screen, unless it is held for the player to read.
    static constexpr float MESSAGE_SECONDS = 10.0f;
    // The first player's camera closes in on the editor's views faster than on a human.
    static constexpr float EDITOR_FOLLOW_SPEED = 5.0f;
    // Bit of misc/controllerinfo that shows the level editor's help.
    static const unsigned int EDITOR_HELP_BIT = 16;
    static const char* const SCREENSHOT_FOLDER;
    // Local time in screenshot names ("screenshot-20261209-093012.png").
    static const char* const SCREENSHOT_TIME_FORMAT;
    // Rows of the browser pages, and the ids the browsers report with.
    static const unsigned int BROWSER_ROWS = 8;
    static const unsigned int FILE_SHARE_BROWSER = 0;
    static const unsigned int MATCH_BROWSER = 1;
    // The first entry of the editable level list.
    static const char* const CREATE_NEW_LEVEL;

    // Game modes.
    enum GameMode
    {
        MODE_MENUS = 0,
        MODE_SINGLE_PLAYER = 1,
        MODE_HOST = 2,
        MODE_JOINED = 3,
        MODE_EDITOR = 4
    };

    // Opens the user data directory and its log, declares every parameter and loads
    // "configuration.xml" from there; a missing file leaves the defaults, and so does an
    // unreadable one, which is kept aside and named on the first menu page.
    Application();
    ~Application() override;

    // Loads the OGRE plug-ins (a missing one throws, unless this platform lacks it) and runs the
    // game until it ends.
    virtual void run(int argc, const char** argv);

    // What the export run does with the game make() gives: runs it and returns 0, or shows the
    // error of an exception (the error pop-up, which goes to stderr and to the log, naming the
    // log's path while it is open) and returns 1. The error is shown before the game is
    // destroyed, and so torn down, so that it reaches the log.
    static int runGuarded(const std::function<std::unique_ptr<Application>()>& make, int argc,
                          const char** argv);

    // The tick the world runs to when the counter has just advanced to nextTick and the first
    // client's input runs inputAdvance ticks ahead: prediction of that advance, at most
    // MAX_PREDICTION_TICKS, on top of nextTick, wrapping at 16 bits.
    static uint16_t predictTick(uint16_t nextTick, unsigned int inputAdvance, float prediction);

    // Where the audio listener stands and what it hears, from the sound-map samples (red,
    // green) at the local players' humans.
    struct TSoundSample
    {
        Ogre::Vector3 position;
        float red;
        float green;
    };
    struct TListener
    {
        Ogre::Vector3 position;
        float audibleRange;
        // Gain, reflections delay, late reverb delay and decay time.
        float reverb[4];
    };
    // Without samples the listener stands at the origin amid neutral surroundings (0.5, 0.5);
    // with several, at their average, hearing as much farther as the farthest stands from it.
    static TListener listenFrom(const std::vector<TSoundSample>& samples, float audibleRange);

    void openMenu(const std::string& page);
    void closeMenu(bool force);
    // Editor mode: ends the running game and starts the level editor on the level (an empty new
    // one with create), seen through the first player's camera. A level that fails to load
    // leaves the editor running on an empty scene.
    void openLevelEditor(const std::string& level, bool create);
    // Deletes the editor, if any; the game is left in menus-only mode.
    void closeLevelEditor();
    // Back from the editor to the menus: the editor goes, the level lists are read again.
    void backToMenu();
    // The editor's play preview: the server hosts the preview match with one slot, which the
    // first local client takes; the players' input is let through while it runs.
    bool attachPreviewPlayer() override;
    void detachPreviewPlayer() override;
    LevelEditor* getLevelEditor() const { return mLevelEditor; }
    void updateInputMask();
    // Ends the running match: clients disconnected, server stopped, menus-only mode.
    void endGame();
    // The game modes. Each ends the running game first; a failed start is shown and leaves
    // the game in menus-only mode. Single player and hosting read their pages (or, on a
    // restart, the level of the high-score page), joining the page "join".
    void startSinglePlayer(bool restart);
    void hostMatch();
    // The host starts the level of the page "restart" with the players connected.
    void restartMatch();
    void joinMatch();
    void updateLogLevel();
    // Each local player's camera shows the keyboard or gamepad help when its bit of
    // misc/controllerinfo is set and a match of modes 1 to 3 runs.
    void updateControllerInfo();
    // The listener stands in front of the local players' humans; how far sounds carry and the
    // reverb follow their surroundings in the level's sound map.
    void updateAudioListener();
    // The player manager whose local players the cameras, the HUDs and the audio listener
    // follow; not owned, null for none.
    void setViewedPlayers(PlayerManager* players);
    // A player page's gamepad layout can be chosen only with a gamepad as its controller; its
    // description then names the device found for it.
    void updateGamepadItems(brix::OgreMenuPage* page);
    // Replaces local player index's controller by one of the type (1 keyboard, 2 keyboard with
    // mouse aiming, 3 and 4 gamepad 1 and 2): its client sends input from it and hands it to
    // its human.
    void setPlayerController(unsigned int index, int type, const std::string& gamepadLayout);

    // The high-score page for a level's high-score name: the local or the online table, its
    // last item reading "Continue" after a completed level, else "Back".
    void showHighScores(const std::string& highScoreName, bool online, bool continueMode);
    // The scoreboard page: the match's players by score, then the free slots. While it is
    // shown it follows the match.
    void updateScoreboard();
    // Deletes a user level's file with its light and sound maps, and its local high scores;
    // built-in levels stay.
    void deleteLevel(const std::string& name);
    // The description line of a level list item: the level's title and author.
    void updateLevelDescription(brix::OgreMenuItem* item);
    // The shared-level filter from the page "filter".
    void applyShareFilter();
    // The page "preview" for one row of the shared-level page.
    void showSharedLevel(unsigned int row);

    brix::Configuration& getConfiguration() { return mConfiguration; }
    brix::OgreMenu* getMenu() const { return mMenu; }
    MenuFrame* getMenuFrame() const { return mMenuFrame; }
    EventDispatcher* getEventDispatcher() const { return mEventDispatcher; }
    EntityManager* getEntityManager() const { return mEntityManager; }
    Level* getLevel() const { return mLevel; }
    brix::InputManager* getInputManager() const { return mInputManager; }
    unsigned int getGameMode() const { return mGameMode; }
    bool isPaused() const { return mPaused; }
    bool isRunning() const { return mRunning; }
    bool isHostRequested() const { return mHostRequested; }
    bool isUpdateCheckRunning() const { return mUpdateChecker != nullptr; }
    // Null for an index of LOCAL_PLAYERS or more, and before set-up.
    Camera* getCamera(unsigned int index) const { return index < LOCAL_PLAYERS ? mCameras[index] : nullptr; }
    // The controller local player index's client sends input from; null for none.
    Controller* getController(unsigned int index) const;
    MusicPlayer* getMusicPlayer() const { return mMusicPlayer; }
    brix::LabelManager* getLabelManager() const { return mLabelManager; }
    Ogre::SceneManager* getSceneManager() const { return mSceneManager; }
    bool isNewVersionAvailable() const { return mNewVersionAvailable; }
    float getPrediction() const { return mPrediction; }
    PlayerManager* getPlayerManager() const { return mPlayerManager; }
    Server* getServer() const { return mServer; }
    // Index 0 or 1; null for any other.
    Client* getClient(unsigned int index) const
    {
        return index < mClients.size() ? mClients[index] : nullptr;
    }
    FileShareBrowser* getFileShareBrowser() const { return mFileShareBrowser; }
    MatchBrowser* getMatchBrowser() const { return mMatchBrowser; }
    brix::HighScoreManager* getHighScoreManager() const { return mHighScoreManager; }
    brix::MessageDisplay* getMessageDisplay() const { return mMessageDisplay; }

    void onParameterChange(const std::string& name) override;
    void onMenuEvent(brix::OgreMenuItem* item, EventType type) override;
    bool validateCharacter(brix::OgreMenuTextItem* item, int& character) override;
    Ogre::Technique* handleSchemeNotFound(unsigned short schemeIndex, const Ogre::String& schemeName,
                                          Ogre::Material* originalMaterial, unsigned short lodIndex,
                                          const Ogre::Renderable* renderable) override;
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;
    void onHighScoresUpdate(const std::string& level, bool online,
                            brix::HighScoreManager::Status status) override;
    void onHighScoreUpload(const std::string& level, bool success) override;
    void onPageUpdate(unsigned int browserId, int state) override;
    void onUploadComplete(const std::string& file) override;
    void onDownloadComplete(const std::string& file) override;

protected:
    void preload() override;
    void setup(int argc, const char** argv) override;
    bool update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds) override;
    void cleanup() override;
    // Adds every page of the game's menu tree with all their items to the menu, reading the
    // configuration for the initial values; every page reports to this Application.
    void buildMenus(brix::OgreMenu* menu);
    // Fills the level lists of the pages "host", "restart", "sp" and "levels" of the game's menu
    // from a fresh scan of the level folders.
    void updateLevelLists() { updateLevelLists(mMenu); }

private:
    // Runs one step of the tear-down, so that a failing step leaves the later ones to run.
    static void tearDownStep(const char* what, const std::function<void()>& step);
    template <typename T> static void destroy(T*& object, const char* what)
    {
        tearDownStep(what, [&object]() { delete object; });
        object = nullptr;
    }

    void declareParameters();
    // Loads "configuration.xml"; one that does not read whole is kept beside it under a time
    // stamp, with the player's share password taken over from it, and the player is told.
    void loadConfiguration();
    // Saves the configuration; a failure is shown to the player with its reason.
    bool saveConfiguration();
    void updateLevelLists(brix::OgreMenu* menu);
    void ensureSharePassword();
    void showVersionBanner();
    void startVersionCheck();
    void updateVersionCheck();
    void showVersionMessages();
    void onMenuCommand(int key);
    void takeScreenshot();
    // F5: frame rate, triangles, batches and texture memory of the first player's view.
    void showRenderStatistics();
    void showNetworkStatistics();
    void toggleControllerInfo(unsigned int bit);
    void updateLevel();
    // The players' views: the cameras (each the view of the local client of its index) and the
    // music, made after the world, updated per frame and deleted after the clients.
    void setupPlayerViews();
    void updatePlayerViews(float frameSeconds);
    void cleanupPlayerViews();
    void onViewParameterChange(const std::string& name);
    void setCamerasPaused(bool paused);
    // Viewport modes of the first and the second local player's camera.
    void setViewports(int first, int second);
    // Music for the events that start and end matches; mode 4 keeps silent.
    void playMenuMusic();
    // Throws Ogre::ItemIdentityException for an item the menu tree does not have.
    brix::OgreMenuItem* getMenuItem(const std::string& page, const std::string& item) const;
    void setMenuItemState(const std::string& page, const std::string& item, int state);
    brix::OgreMenuActionItem* getActionItem(const std::string& page, const std::string& item) const;

    // The players, the console and the browsers: made, given their services, polled and
    // deleted in their own steps of set-up, update and tear-down.
    void createPlayers();
    void createBrowsers();
    void initializePlayers();
    void updateBrowsers();
    void deletePlayersAndBrowsers();
    void createServerAndClients();
    void updateClients();
    void tickServerAndClients(uint16_t tick);
    void deleteServerAndClients();
    void setAuthoritative(bool authoritative);
    void sendChatMessage(const std::string& text);
    // The first client's input advance in ticks.
    unsigned int getInputAdvance() const;
    unsigned int getSlotCount() const;
    // The first client's connection to a remote host has ended; one still being made has not.
    bool isJoinedConnectionOver() const;
    // A joined game whose connection ended goes back to the menu as "End game" does, with the
    // messages that told of the end still shown.
    void leaveEndedJoin();
    void startRequestedHost();

    // "End game" and "Restart match" are offered only while there is such a game.
    void updateGameItems();
    // The menu actions, by page.
    void onPageShown(brix::OgreMenuPage* page);
    void onLevelsAction(const std::string& item);
    void storePlayerSettings(const std::string& page);
    void storeSystemSettings();
    void sendChat(brix::OgreMenuItem* item);
    void openSharedLevelBrowser();
    void editLevel();
    void takeMatchIntoJoinPage(brix::OgreMenuItem* item);
    void uploadSharedLevel();
    // The row of a browser page an item shows; false for an item past the page's entries.
    bool getBrowserRow(brix::OgreMenuItem* item, const char* firstRow, const ListBrowser* browser,
                       unsigned int& row) const;
    void onMatchComplete(int winner, int placing);
    void onScoreboardKey();
    bool isScoreboardShown() const;
    void fillHighScoreRow(brix::OgreMenuActionItem* row, unsigned int rank, const brix::HighScore* entry);
    void fillScoreboardRow(brix::OgreMenuActionItem* row, unsigned int rank, Player* player);

    brix::Configuration mConfiguration;
    float mPrediction = 1.0f;
    bool mRunning = false;
    bool mPaused = false;
    bool mHostRequested = false;
    bool mDeveloperMode = false;
    bool mVideoChanged = false;
    bool mAudioChanged = false;
    bool mNewVersionAvailable = false;
    // The configuration file did not read whole and was kept aside: set-up saves a new one.
    bool mConfigurationKeptAside = false;
    // What the start has to tell the player on the first menu page; empty for nothing.
    std::string mStartNotice;
    // The page the next Escape opens; empty for the default page.
    std::string mNextMenuPage;
    // What the high-score page shows.
    std::string mHighScoreName;
    bool mHighScoreOnline = false;
    bool mHighScoreContinue = false;
    // The shared-level file the preview shows or the upload page offers.
    std::string mSharedLevelFile;
    // The level cache's revision the level lists were filled from.
    unsigned int mListedLevelRevision = 0;
    // The browser page's cursor when it last showed a ready list.
    unsigned int mBrowserItemIndex = 0;
    int mBrowserState = ListBrowser::STATE_READY;
    unsigned int mGameMode = MODE_MENUS;
    unsigned int mControllerInfo = 0;

    Ogre::SceneManager* mSceneManager = nullptr;
    brix::OgreOverlayLoadScreen* mLoadScreen = nullptr;
    brix::InputManager* mInputManager = nullptr;
    brix::AudioManager* mAudioManager = nullptr;
    brix::Simulator* mSimulator = nullptr;
    Level* mLevel = nullptr;
    Ogre::Camera* mCamera = nullptr;
    EventDispatcher* mEventDispatcher = nullptr;
    brix::OgreParticlePool* mParticlePool = nullptr;
    brix::DecalManager* mDecalManager = nullptr;
    brix::LabelManager* mLabelManager = nullptr;
    ShadowManager* mShadowManager = nullptr;
    brix::HighScoreManager* mHighScoreManager = nullptr;
    brix::MessageDisplay* mMessageDisplay = nullptr;
    PlayerManager* mPlayerManager = nullptr;
    CommandProcessor* mCommandProcessor = nullptr;
    FileShareBrowser* mFileShareBrowser = nullptr;
    MatchBrowser* mMatchBrowser = nullptr;
    Server* mServer = nullptr;
    std::vector<Client*> mClients;
    Ogre::SceneNode* mMenuNode = nullptr;
    brix::OgreMenu* mMenu = nullptr;
    brix::OgreImageArray* mMenuImages = nullptr;
    MenuFrame* mMenuFrame = nullptr;
    MenuController* mMenuController = nullptr;
    EntityManager* mEntityManager = nullptr;
    brix::UpdateChecker* mUpdateChecker = nullptr;
    LevelEditor* mLevelEditor = nullptr;
    EditorCameraView* mEditorView = nullptr;
    Camera* mCameras[LOCAL_PLAYERS] = {};
    // The cameras' shared glow picture; it outlives them.
    GlowPicture* mGlowPicture = nullptr;
    MusicPlayer* mMusicPlayer = nullptr;
    PlayerManager* mViewedPlayers = nullptr;
};
} // namespace game
