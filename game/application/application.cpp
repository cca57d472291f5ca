#include "game/application/application.h"

#include "engine/core/audiomanager.h"
#include "engine/core/inputmanager.h"
#include "engine/core/simulator.h"
#include "engine/presentation/decalmanager.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogreoverlayloadscreen.h"
#include "engine/presentation/ogreparticlepool.h"
#include "engine/presentation/textlabelfactory.h"
#include "game/application/camera.h"
#include "game/application/characterlabelfactory.h"
#include "game/application/glowpicture.h"
#include "game/application/interactionlabelfactory.h"
#include "game/application/matchbrowser.h"
#include "game/application/menucontroller.h"
#include "game/application/menuframe.h"
#include "game/editor/leveleditor.h"
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/commandprocessor.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/entitymanager.h"
#include "game/world/shadowmanager.h"
#include "network/updatechecker.h"
#include "toolkit/desktop.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"

#include <OgreException.h>
#include <OgreMaterial.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <iostream>

namespace game
{
const char* const Application::TITLE = "Korvane";
const char* const Application::USER_DIRECTORY_NAME = "korvane";
const char* const Application::CONFIGURATION_FILE = "configuration.xml";
const char* const Application::SCREENSHOT_FOLDER = "screenshots";
const char* const Application::SCREENSHOT_TIME_FORMAT = "%Y%m%d-%H%M%S";
const char* const Application::CREATE_NEW_LEVEL = "[create new]";

namespace
{
const char* const ENTITY_FILE = "entities.xml";
const char* const FONT_NAME = "menufont";
const char* const MENU_NODE = "menu";
const char* const HIGH_SCORE_FILE = "highscores.xml";
// Signs uploaded scores; the high-score service knows it too.
const char* const HIGH_SCORE_KEY = "5be07a3c91d4f268";
const unsigned int GAME_ID = 1;
const unsigned int HIGH_SCORES_PER_LEVEL = 5;
const char* const SHADOW_MATERIAL = "blobshadow";
// Kept by each browser for its owner; nothing reads it.
const unsigned int BROWSER_RESERVED = 10;
const char* const VERSION_BANNER_RIGHT = "Side-view action in the Brix engine";
} // namespace

void Application::tearDownStep(const char* what, const std::function<void()>& step)
{
    try
    {
        step();
    }
    catch (const Ogre::Exception& e)
    {
        brix::Log::error("Tear-down of the %s failed: %s", what, e.getFullDescription().c_str());
    }
    catch (const std::exception& e)
    {
        brix::Log::error("Tear-down of the %s failed: %s", what, e.what());
    }
}

Application::Application()
    : brix::OgreApplication(TITLE, TICK_MS, MIN_FRAME_MS, MAX_FRAME_MS, USER_DIRECTORY_NAME),
      mConfiguration(APPLICATION_VERSION)
{
    std::srand(static_cast<unsigned int>(std::time(nullptr)));
    brix::Log::info("Application version: %s",
                    brix::StringUtil::versionNumberToString(APPLICATION_VERSION).c_str());
    brix::Log::info("Network protocol version: %s",
                    brix::StringUtil::versionNumberToString(PROTOCOL_VERSION).c_str());
    declareParameters();
    loadConfiguration();
    updateLogLevel();
}

Application::~Application()
{
    // The frame has torn down already; this finds only what a failed start left behind.
    cleanup();
}

int Application::runGuarded(const std::function<std::unique_ptr<Application>()>& make, int argc,
                            const char** argv)
{
    std::string text;
    const char* caption = nullptr;
    {
        std::unique_ptr<Application> application;
        try
        {
            application = make();
            application->run(argc, argv);
        }
        catch (const Ogre::Exception& e)
        {
            text = e.getDescription();
            caption = "Application error (Ogre::Exception)";
        }
        catch (const std::exception& e)
        {
            text = e.what();
            caption = "Application error (std::exception)";
        }
        catch (...)
        {
            std::cerr << "Caught unknown exception" << std::endl;
            return 1;
        }
        if (!caption)
            return 0;
        // Said while the game, and so its log, is still there: the text points into the log.
        if (brix::Log::isOpen())
            text += "\n\nSee " + brix::Log::getPath() + " for details.";
        brix::showErrorPopUp(text.c_str(), caption);
    }
    return 1;
}

void Application::run(int argc, const char** argv)
{
    const bool direct3d = getCommandLineOption(argc, argv, "--direct3d", nullptr);
    loadOgrePlugin(direct3d ? "lib/RenderSystem_Direct3D9.dll" : "lib/RenderSystem_GL.dll", true);
    loadOgrePlugin("lib/Plugin_ParticleFX.dll", true);
    loadOgrePlugin("lib/Plugin_OctreeSceneManager.dll", true);
    loadOgrePlugin("lib/Plugin_CgProgramManager.dll", true);
    loadOgrePlugin("lib/imagepng.dll", true);
    brix::OgreApplication::run(argc, argv,
                               static_cast<unsigned int>(mConfiguration.getInteger("video/width")),
                               static_cast<unsigned int>(mConfiguration.getInteger("video/height")),
                               mConfiguration.getBoolean("video/fullscreen"),
                               static_cast<unsigned int>(mConfiguration.getInteger("video/fsaa")));
}

void Application::preload()
{
    const std::string userLevels = brix::File::filePath(getUserDataDirectory(), Level::LEVEL_FOLDER);
    const std::string screenshots = brix::File::filePath(getUserDataDirectory(), SCREENSHOT_FOLDER);
    if (!brix::File::directoryExists(userLevels))
    {
        brix::Log::info("Creating user level directory in '%s'", userLevels.c_str());
        brix::File::createDirectory(userLevels);
    }
    if (!brix::File::directoryExists(screenshots))
    {
        brix::Log::info("Creating user sceenshot directory in '%s'", screenshots.c_str());
        brix::File::createDirectory(screenshots);
    }

    Ogre::ResourceGroupManager& resources = Ogre::ResourceGroupManager::getSingleton();
    resources.addResourceLocation(Level::LEVEL_FOLDER, "FileSystem", Level::RESOURCE_GROUP, false, true);
    resources.addResourceLocation(userLevels, "FileSystem", Level::RESOURCE_GROUP, false, true);
    resources.initialiseResourceGroup(Level::RESOURCE_GROUP);

    mSceneManager = createSceneManager("OctreeSceneManager");
    mLoadScreen = new brix::OgreOverlayLoadScreen(mSceneManager, getOverlaySystem(), getRenderWindow());
    mLoadScreen->show();

    mInputManager = new brix::InputManager(getWindow(), brix::InputManager::KEYBOARD);
    mInputManager->enableInputDevice(brix::InputManager::MOUSE);
    mInputManager->enableInputDevice(brix::InputManager::JOYSTICK);

    const bool highQuality = mConfiguration.getInteger("audio/quality") == 1;
    mAudioManager = new brix::AudioManager(highQuality ? 44100 : 22050, false, highQuality ? 32 : 16,
                                           mConfiguration.getBoolean("audio/filters"));

    mSimulator = new brix::Simulator(false, PHYSICS_STEP);
    mSimulator->setGravity(Ogre::Vector3::UNIT_Y * -9.8f);
    mLevel = new Level(mSceneManager, mSimulator, getUserDataDirectory());
}

void Application::setup(int argc, const char** argv)
{
    if (mLoadScreen)
    {
        mLoadScreen->hide(1000.0f);
        destroy(mLoadScreen, "load screen");
    }
    mDeveloperMode = getCommandLineOption(argc, argv, "--developer", nullptr);
    Ogre::MaterialManager::getSingleton().addListener(this);

    mCamera = mSceneManager->createCamera("main");
    Ogre::Viewport* viewport = getRenderWindow()->addViewport(mCamera, 10);
    viewport->setBackgroundColour(Ogre::ColourValue(0, 0, 0, 0));
    // The players' cameras lie under this viewport and clear what they show.
    viewport->setClearEveryFrame(false);
    viewport->setVisibilityMask(MAIN_VIEWPORT_FLAGS);

    mEventDispatcher = new EventDispatcher();
    mEventDispatcher->addListener(this);
    mParticlePool = new brix::OgreParticlePool(mSceneManager, true);
    mDecalManager = new brix::DecalManager(mSceneManager, Ogre::Vector3(40, 40, 10));
    mLabelManager = new brix::LabelManager(mSceneManager, mSceneManager->getRootSceneNode(), FONT_NAME, 2);
    mLabelManager->setLayerVisibilityFlags(0, 1);
    mLabelManager->setLayerVisibilityFlags(1, 2);
    mLabelManager->registerLabelType(new brix::TextLabelFactory());
    mLabelManager->registerLabelType(new InteractionLabelFactory());
    mLabelManager->registerLabelType(new CharacterLabelFactory());
    mShadowManager =
        new ShadowManager(mSceneManager, mSceneManager->getRootSceneNode(), mSimulator, SHADOW_MATERIAL);

    mHighScoreManager =
        new brix::HighScoreManager(brix::File::filePath(getUserDataDirectory(), HIGH_SCORE_FILE),
                                   mConfiguration.getString("network/highscoresurl"), GAME_ID,
                                   HIGH_SCORES_PER_LEVEL, HIGH_SCORE_KEY, APPLICATION_VERSION);
    mHighScoreManager->setListener(this);

    mMessageDisplay = new brix::MessageDisplay(mSceneManager, 3, MESSAGE_SECONDS, FONT_NAME, 0.05f,
                                               Ogre::ColourValue(1.0f, 1.0f, 1.0f, 0.35f));
    mMessageDisplay->setAspectRatio(getWindowAspectRatio());
    mMessageDisplay->setVisibilityFlags(MAIN_VIEWPORT_FLAGS);
    // With the message display there to say what the start found and whether saving fails.
    if (!mStartNotice.empty())
        mMessageDisplay->writeMessage(mStartNotice, true);
    ensureSharePassword();
    createPlayers();

    mMenuNode = mSceneManager->getRootSceneNode()->createChildSceneNode(MENU_NODE);
    mMenu = new brix::OgreMenu(mSceneManager, mMenuNode, FONT_NAME, 0.07f,
                               Ogre::ColourValue(0.03f, 0.44f, 1.0f, 1.0f),
                               Ogre::ColourValue(0.3f, 0.6f, 0.98f, 1.0f), true, getWindow());
    mMenu->setVisibilityFlags(MAIN_VIEWPORT_FLAGS);
    buildMenus(mMenu);

    mMenuFrame = new MenuFrame(mSceneManager, mSceneManager->getRootSceneNode(), mMenu);
    mMenuFrame->setAspectRatio(getWindowAspectRatio());
    mMenuFrame->setVisibilityFlags(MAIN_VIEWPORT_FLAGS);
    mMenuController = new MenuController(mMenu, mEventDispatcher);
    mInputManager->addListener(mMenuController, INPUT_MENU);
    showVersionBanner();
    createServerAndClients();

    mSimulator->loadMaterials("data/materials.xml");
    mSimulator->loadTemplates("data/blockbodies.xml");
    mSimulator->loadTemplates("data/entitybodies.xml");

    mEntityManager = new EntityManager(mSimulator, mSceneManager, mSceneManager->getRootSceneNode());
    createBrowsers();
    mEntityManager->setServices(mEventDispatcher, mLabelManager, mShadowManager, mParticlePool, mLevel);
    mDecalManager->initialize();
    mLevel->initialize(mDecalManager);
    mEntityManager->loadEntityPrototypes(ENTITY_FILE);
    // The lists take only levels the game plays, which needs the block catalogue and the
    // entity prototypes.
    updateLevelLists();
    setupPlayerViews();
    initializePlayers();

    mConfiguration.addListener(this);
    mConfiguration.updateAllParameters();

    openMenu(mConfiguration.getString("player1/name").empty() ? "player1" : "main");

    if (mConfiguration.getBoolean("system/physicsdebug"))
    {
        Ogre::ManualObject* debug = mSceneManager->createManualObject();
        mSceneManager->getRootSceneNode()->attachObject(debug);
        mSimulator->setDebugObject(debug, FONT_NAME);
    }

    if (!getCommandLineOption(argc, argv, "--no-update-check", nullptr))
        startVersionCheck();

    std::string hostLevel;
    if (getCommandLineOption(argc, argv, "--host", &hostLevel))
    {
        brix::OgreMenuItem* level = getMenuItem("host", "level");
        level->setValue(hostLevel);
        std::string onlineName;
        if (getCommandLineOption(argc, argv, "--online-name", &onlineName))
            getMenuItem("host", "name")->setValue(onlineName);
        // A level the host page does not offer is not swapped for another one.
        if (level->getValue() == hostLevel)
            mHostRequested = true;
        else
        {
            brix::Log::error("Level '%s' given with --host not found", hostLevel.c_str());
            mMessageDisplay->writeMessage("Unable to start a multiplayer game with level '" + hostLevel +
                                              "', see application.log for details",
                                          true);
        }
    }

    brix::Log::info("Texture memory used: %d bytes",
                    static_cast<int>(Ogre::TextureManager::getSingleton().getMemoryUsage()));
    if (mConfiguration.getBoolean("audio/filters") && !mAudioManager->isEffectsEnabled())
        mMessageDisplay->writeMessage(
            "Warning: Dynamic audio effects initialization failed (see application.log for details)", true);
    const std::vector<std::string> workarounds = getWorkaroundNames();
    if (!workarounds.empty())
    {
        std::string names;
        for (const std::string& name : workarounds)
            names += (names.empty() ? "" : ", ") + name;
        mMessageDisplay->writeMessage("Active compatibility workarounds: " + names, true);
        if (getWorkarounds() & WORKAROUND_FAILSAFE_VIDEO_MODE)
            mMessageDisplay->writeMessage(
                "Warning: Selected video mode unavailable, using default mode instead (see "
                "application.log for details)",
                true);
    }
    mRunning = true;
}

uint16_t Application::predictTick(uint16_t nextTick, unsigned int inputAdvance, float prediction)
{
    float ahead = static_cast<float>(inputAdvance) * prediction;
    if (!(ahead < MAX_PREDICTION_TICKS))
        ahead = MAX_PREDICTION_TICKS;
    return static_cast<uint16_t>(static_cast<unsigned int>(nextTick) + static_cast<unsigned int>(ahead));
}

bool Application::update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds)
{
    mInputManager->update();
    updateAudioListener();
    mAudioManager->update();

    if (ticks > 0)
    {
        updateBrowsers();
        mHighScoreManager->update();
        updateVersionCheck();
        updateClients();
    }

    for (unsigned int tick = 0; tick < ticks; ++tick)
    {
        uint16_t simulated = mEntityManager->getTick();
        if (!mPaused)
        {
            simulated = predictTick(mEntityManager->nextTick(), getInputAdvance(), mPrediction);
        }
        // The server and each client (with its controller and camera) tick, paused or not.
        tickServerAndClients(simulated);
        if (!mPaused)
        {
            mEntityManager->simulateTo(simulated);
            mPlayerManager->tick(simulated);
        }
        mEventDispatcher->dispatch();
    }
    // However a joined connection ended (the host gone, a time-out, a kick, or this client giving
    // up on the match), nothing of the match is left to play.
    if (mGameMode == MODE_JOINED && isJoinedConnectionOver())
        leaveEndedJoin();
    // An open scoreboard follows the match: a rename, a score, a player come or gone.
    if (ticks > 0 && isScoreboardShown())
        updateScoreboard();
    if (ticks > 0)
    {
        mEntityManager->updateObserverVisibility();
        mServer->update();
    }

    if (!mPaused)
    {
        mEntityManager->interpolate(elapsedSeconds, sinceTickSeconds / (TICK_MS / 1000.0f));
        mDecalManager->update(elapsedSeconds);
        mLabelManager->update(elapsedSeconds);
        mShadowManager->update();
        mMessageDisplay->update();
    }

    mMenuFrame->update(elapsedSeconds);
    updateLevel();
    updatePlayerViews(elapsedSeconds);

    if (mHostRequested)
        startRequestedHost();
    return mRunning;
}

void Application::cleanup()
{
    // Nothing is applied to managers on their way out.
    mConfiguration.removeListener(this);
    if (mLevelEditor)
        tearDownStep("level editor", [this]() { closeLevelEditor(); });
    deletePlayersAndBrowsers();
    cleanupPlayerViews();
    // The entity manager goes before the level and every manager its entities use.
    destroy(mEntityManager, "entity manager");
    destroy(mLevel, "level");
    if (mUpdateChecker)
        destroy(mUpdateChecker, "version check");
    if (mInputManager && mMenuController)
        tearDownStep("menu controller", [this]() { mInputManager->removeListener(mMenuController); });
    destroy(mMenuController, "menu controller");
    destroy(mMenuFrame, "menu frame");
    destroy(mMenu, "menu");
    if (mMenuNode)
    {
        tearDownStep("menu node", [this]() { mSceneManager->destroySceneNode(MENU_NODE); });
        mMenuNode = nullptr;
    }
    destroy(mMenuImages, "menu images");
    destroy(mMessageDisplay, "message display");
    destroy(mHighScoreManager, "high-score manager");
    destroy(mShadowManager, "shadow manager");
    destroy(mLabelManager, "label manager");
    destroy(mDecalManager, "decal manager");
    destroy(mParticlePool, "particle pool");
    destroy(mEventDispatcher, "event dispatcher");
    destroy(mSimulator, "simulator");
    destroy(mAudioManager, "audio manager");
    destroy(mInputManager, "input manager");
    destroy(mLoadScreen, "load screen");
    if (Ogre::MaterialManager* materials = Ogre::MaterialManager::getSingletonPtr())
        materials->removeListener(this);
}

// ---- Callbacks ---------------------------------------------------------------------------

void Application::showVersionBanner()
{
    mMenuFrame->setText(std::string(TITLE) + " v" +
                        brix::StringUtil::versionNumberToString(APPLICATION_VERSION) + "\t" +
                        VERSION_BANNER_RIGHT);
}

Ogre::Technique* Application::handleSchemeNotFound(unsigned short, const Ogre::String& schemeName,
                                                   Ogre::Material*, unsigned short, const Ogre::Renderable*)
{
    if (schemeName != GlowPicture::SCHEME)
        return nullptr;
    Ogre::MaterialPtr fallback = Ogre::MaterialManager::getSingleton().getByName(
        "glowignore", Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME);
    return fallback ? fallback->getTechnique(0) : nullptr;
}

// ---- Players, console and browsers ---------------------------------------------------------

void Application::createPlayers()
{
    mPlayerManager = new PlayerManager();
    mCommandProcessor = new CommandProcessor(mMessageDisplay, &mConfiguration, mEventDispatcher);
}

void Application::createBrowsers()
{
    mFileShareBrowser = new FileShareBrowser(FILE_SHARE_BROWSER, BROWSER_ROWS, BROWSER_RESERVED);
    mFileShareBrowser->initialize(mConfiguration.getString("network/fileshareserver"),
                                  brix::File::filePath(getUserDataDirectory(), Level::LEVEL_FOLDER),
                                  mMessageDisplay, *mLevel);
    mFileShareBrowser->setPageListener(this);
    mFileShareBrowser->setTransferListener(this);
    mMatchBrowser = new MatchBrowser(MATCH_BROWSER, BROWSER_ROWS, BROWSER_RESERVED);
    mMatchBrowser->initialize(mConfiguration.getString("network/announceserver"), GAME_ID, mMessageDisplay);
    mMatchBrowser->setPageListener(this);
}

void Application::initializePlayers()
{
    mPlayerManager->initialize(mEventDispatcher, mLabelManager, mLevel, mEntityManager, mHighScoreManager);
    mServer->initialize(mEventDispatcher, mPlayerManager, mEntityManager, mMessageDisplay);
    for (unsigned int i = 0; i < mClients.size(); ++i)
        mClients[i]->initialize(mEventDispatcher, mPlayerManager, mEntityManager, mMessageDisplay,
                                mCameras[i]);
}

void Application::updateBrowsers()
{
    mMatchBrowser->update();
    mFileShareBrowser->update();
}

void Application::deletePlayersAndBrowsers()
{
    if (mGameMode != MODE_MENUS && mPlayerManager && mServer && mMessageDisplay)
        tearDownStep("game", [this]() { endGame(); });
    destroy(mFileShareBrowser, "file-share browser");
    destroy(mMatchBrowser, "match browser");
    deleteServerAndClients();
    // Players remove their humans and labels: before the entity and label managers go.
    destroy(mPlayerManager, "player manager");
    destroy(mCommandProcessor, "command processor");
}

// ---- Server and clients --------------------------------------------------------------------

void Application::createServerAndClients()
{
    mServer = new Server();
    for (unsigned int index = 0; index < LOCAL_PLAYERS; ++index)
        mClients.push_back(new Client(index, getUserDataDirectory()));
}

void Application::updateClients()
{
    for (Client* client : mClients)
        client->update();
}

void Application::tickServerAndClients(uint16_t tick)
{
    mServer->tick();
    for (Client* client : mClients)
        client->tick(tick);
}

void Application::deleteServerAndClients()
{
    for (Client*& client : mClients)
        destroy(client, "client");
    mClients.clear();
    destroy(mServer, "server");
}

void Application::startRequestedHost()
{
    mHostRequested = false;
    hostMatch();
    if (mGameMode != MODE_MENUS)
    {
        mMenu->hide();
        mMenuFrame->setVisible(false);
        updateInputMask();
    }
    mPaused = false;
    mParticlePool->setSpeedFactor(1.0f);
}

void Application::sendChatMessage(const std::string& text)
{
    mClients[0]->sendChatMessage(text);
}

unsigned int Application::getInputAdvance() const
{
    return static_cast<unsigned int>(std::max(0, mClients[0]->getInputAdvance()));
}

bool Application::isJoinedConnectionOver() const
{
    const brix::NetworkManager::ConnectionState state = mClients[0]->getNetworkState();
    return state != brix::NetworkManager::CONNECTING && state != brix::NetworkManager::CONNECTED;
}

unsigned int Application::getSlotCount() const
{
    return mClients[0]->getSlotCount();
}

} // namespace game
