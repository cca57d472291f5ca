#include "game/application/application.h"

#include "engine/core/audiomanager.h"
#include "engine/core/gamepadlayout.h"
#include "engine/core/inputmanager.h"
#include "engine/core/simulator.h"
#include "engine/presentation/decalmanager.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuimageitem.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenutextitem.h"
#include "engine/presentation/ogremenuvalueitem.h"
#include "engine/presentation/ogreoverlayloadscreen.h"
#include "engine/presentation/ogreparticlepool.h"
#include "engine/presentation/textlabelfactory.h"
#include "game/application/camera.h"
#include "game/application/characterlabelfactory.h"
#include "game/application/editorcameraview.h"
#include "game/application/gamepadcontroller.h"
#include "game/application/hud.h"
#include "game/application/interactionlabelfactory.h"
#include "game/application/keyboardcontroller.h"
#include "game/application/matchbrowser.h"
#include "game/application/menucontroller.h"
#include "game/application/menuframe.h"
#include "game/application/musicplayer.h"
#include "game/editor/leveleditor.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/commandprocessor.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/shadowmanager.h"
#include "network/updatechecker.h"
#include "toolkit/desktop.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/stringutil.h"

#include <OgreCamera.h>
#include <OgreException.h>
#include <OgreMaterial.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <list>
#include <ctime>
#include <functional>
#include <iostream>
#include <random>

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
const char* const GAMEPAD_LAYOUT_FILE = "gamepads.xml";
const char* const HIGH_SCORE_FILE = "highscores.xml";
// Signs uploaded scores; the high-score service knows it too.
const char* const HIGH_SCORE_KEY = "5be07a3c91d4f268";
const unsigned int GAME_ID = 1;
const unsigned int HIGH_SCORES_PER_LEVEL = 5;
const unsigned int UPDATE_CHANNEL = 1;
const char* const SHADOW_MATERIAL = "blobshadow";
// Kept by each browser for its owner; nothing reads it.
const unsigned int BROWSER_RESERVED = 10;
const unsigned int HIGH_SCORE_ROWS = 5;
// An online table fetched this many seconds ago is shown without a new download.
const unsigned int ONLINE_HIGH_SCORES_MAX_AGE = 20;
// The placing of a single-player result carries this bit when it is an online one.
const int ONLINE_PLACING = 16;
// Rank, name and score columns of the high-score and scoreboard rows.
const char* const SCORE_ROW_FORMAT = "0.05l|0.5l|0.15r";
const char* const VERSION_BANNER_RIGHT = "Side-view action in the Brix engine";

// A configuration parameter: b boolean, i integer, f float, s string (limits are lengths).
struct TParameterDefinition
{
    const char* name;
    char type;
    double number;
    const char* text;
    double minimum;
    double maximum;
    unsigned version;
};

const unsigned V0_22_0 = 0x00160000;
const unsigned V0_23_0 = 0x00170000;

// Every setting of the game, in declaration order; the default service addresses are the
// local services of tools/services.
const TParameterDefinition PARAMETERS[] = {
    {"system/loglevel", 's', 0, "info", 0, 8, 0},
    {"system/physicsdebug", 'b', 0, nullptr, 0, 0, 0},
    {"video/width", 'i', 1280, nullptr, 320, 8192, 0},
    {"video/height", 'i', 720, nullptr, 200, 4096, 0},
    {"video/fullscreen", 'b', 0, nullptr, 0, 0, 0},
    {"video/fsaa", 'i', 0, nullptr, 0, 64, 0},
    {"video/filters", 'b', 1, nullptr, 0, 0, 0},
    {"video/decalcount", 'i', 1000, nullptr, 0, 5000, 0},
    {"audio/quality", 'i', 0, nullptr, 0, 1, 0},
    {"audio/music", 'b', 1, nullptr, 0, 0, 0},
    {"audio/filters", 'b', 1, nullptr, 0, 0, 0},
    {"audio/audiblerange", 'f', 25.0, nullptr, 5.0, 100.0, V0_22_0},
    {"network/packetrate", 'i', 20, nullptr, 10, 30, 0},
    {"network/versioncheckurl", 's', 0, "http://localhost/api/v1/updates", 0, 256, V0_23_0},
    {"network/highscoresurl", 's', 0, "http://localhost/api/v1/highscores", 0, 256, V0_23_0},
    {"network/onlinehighscores", 'b', 1, nullptr, 0, 0, V0_23_0},
    {"network/announceserver", 's', 0, "localhost:4000", 0, 128, 0},
    {"network/punchthroughserver", 's', 0, "localhost:4000", 0, 128, 0},
    {"network/fileshareserver", 's', 0, "localhost:4021", 0, 128, 0},
    {"network/visiblewidth", 'f', 30.0, nullptr, 5.0, 50.0, V0_22_0},
    {"network/visibleheight", 'f', 20.0, nullptr, 5.0, 50.0, V0_22_0},
    {"network/prediction", 'f', 1.0, nullptr, 0.0, 1.0, 0},
    {"player1/name", 's', 0, "", 0, 60, 0},
    {"player1/skin", 'i', 0, nullptr, 0, 3, 0},
    {"player1/controller", 'i', 1, nullptr, 0, 3, 0},
    {"player1/gamepadlayout", 's', 0, "[Automatic]", 0, 64, 0},
    {"player2/name", 's', 0, "Player 2", 0, 60, 0},
    {"player2/skin", 'i', 0, nullptr, 0, 3, 0},
    {"player2/controller", 'i', 2, nullptr, 0, 3, 0},
    {"player2/gamepadlayout", 's', 0, "[Automatic]", 0, 64, 0},
    {"misc/controllerinfo", 'i', 16, nullptr, 0, 255, 0},
    {"misc/level", 's', 0, "", 0, 15, 0},
    {"misc/sharepassword", 's', 0, "", 0, 15, 0},
    // Minimum above maximum: any value is taken.
    {"misc/versionchecktime", 'i', 0, nullptr, 0, -1, 0},
    {"misc/latestversion", 's', 0, "", 0, 16, 0},
    {"misc/latestversionurl", 's', 0, "", 0, 256, 0},
    {"misc/message", 's', 0, "", 0, 256, 0},
};

// ---- The menu tree -------------------------------------------------------------------------

enum ItemKind
{
    ACTION,
    TEXT,
    VALUE,
    LIST,
    IMAGE
};

// Lists made once for the build.
enum ListKind
{
    LIST_NONE,
    LIST_ON_OFF,
    LIST_VIDEO_MODES,
    LIST_AUDIO_QUALITY,
    LIST_LEVEL_TYPES,
    LIST_CONTROLLERS,
    LIST_GAMEPAD_LAYOUTS,
    LIST_LEVELS,
    LIST_COUNT
};

const int KEEP_STATE = -1;

// One item of a page, or a run of rows named name0, name1, ... A key names the configuration
// parameter that gives the initial value or index; a key without a section is read from the
// section named like the page ("player1/name" on the page "player1").
struct TMenuItem
{
    const char* name = "";
    ItemKind kind = ACTION;
    const char* title = "";
    const char* description = "";
    // Action items: the page shown on activation.
    const char* target = "";
    const char* key = nullptr;
    // Text items: the initial value when no key gives it.
    const char* text = "";
    // Value items: the range, the step and the initial value; text items: the length in
    // maximum; image items: the size in value.
    float minimum = 0.0f;
    float maximum = 0.0f;
    float step = 0.0f;
    float value = 0.0f;
    ListKind list = LIST_NONE;
    int state = KEEP_STATE;
    const char* titleFormat = nullptr;
    bool validated = false;
    unsigned rows = 0;

    constexpr TMenuItem withState(int newState) const
    {
        TMenuItem item = *this;
        item.state = newState;
        return item;
    }
    constexpr TMenuItem withValidator() const
    {
        TMenuItem item = *this;
        item.validated = true;
        return item;
    }
};

constexpr TMenuItem item(const char* name, ItemKind kind, const char* title, const char* description)
{
    TMenuItem item;
    item.name = name;
    item.kind = kind;
    item.title = title;
    item.description = description;
    return item;
}
constexpr TMenuItem action(const char* name, const char* title, const char* description = "",
                           const char* target = "")
{
    TMenuItem action = item(name, ACTION, title, description);
    action.target = target;
    return action;
}
// A line that only shows (a blank spacer, or a text filled in later).
constexpr TMenuItem line(const char* name)
{
    return action(name, "").withState(brix::OgreMenuItem::STATE_INACTIVE);
}
// The column titles above the rows of a table page.
constexpr TMenuItem header(const char* title, const char* format)
{
    TMenuItem header = line("header");
    header.title = title;
    header.titleFormat = format;
    return header;
}
constexpr TMenuItem rows(const char* name, unsigned count, const char* title)
{
    TMenuItem rows = action(name, title);
    rows.rows = count;
    return rows;
}
constexpr TMenuItem text(const char* name, const char* title, const char* description, unsigned maxLength,
                         const char* value = "", const char* key = nullptr)
{
    TMenuItem text = item(name, TEXT, title, description);
    text.maximum = float(maxLength);
    text.text = value;
    text.key = key;
    return text;
}
constexpr TMenuItem value(const char* name, const char* title, const char* description, float minimum,
                          float maximum, float step, float initial, const char* key = nullptr)
{
    TMenuItem value = item(name, VALUE, title, description);
    value.minimum = minimum;
    value.maximum = maximum;
    value.step = step;
    value.value = initial;
    value.key = key;
    return value;
}
constexpr TMenuItem list(const char* name, const char* title, const char* description, ListKind kind,
                         const char* key = nullptr)
{
    TMenuItem list = item(name, LIST, title, description);
    list.list = kind;
    list.key = key;
    return list;
}
constexpr TMenuItem image(const char* name, const char* title, const char* description, float size,
                          const char* key)
{
    TMenuItem image = item(name, IMAGE, title, description);
    image.value = size;
    image.key = key;
    return image;
}

const char* const BACK = "Back";
const char* const READY = "Ready";
const char* const NONE = "";

const TMenuItem MAIN_ITEMS[] = {
    action("sp", "Single player", "Play single player levels", "sp"),
    action("mp", "Multiplayer", "Host or join multiplayer matches", "mp"),
    action("abort", "End game", "End currently active game session"),
    action("levels", "Manage levels", "Create, edit and share custom levels", "levels"),
    action("settings", "Settings", "Change player and system settings", "settings"),
    action("exit", "Exit", "Exit game and return to desktop"),
};
// The host page and the restart page offer the same score limits.
const TMenuItem SCORE_LIMIT =
    value("scorelimit", "Score limit", "Score required to win the match", 5000, 50000, 5000, 10000);

const TMenuItem SP_ITEMS[] = {
    list("level", "Level", NONE, LIST_LEVELS),
    action("score", "High-scores", NONE, "highscore"),
    action("ready", READY),
    action("back", BACK, NONE, "main"),
};
const TMenuItem MP_ITEMS[] = {
    action("host", "Host match", "Host a new local or network multiplayer match", "host"),
    action("join", "Join match", "Join a match hosted by someone else", "join"),
    action("restart", "Restart match", "Start another match with current players", "restart"),
    action("back", BACK, NONE, "main"),
};
const TMenuItem HOST_ITEMS[] = {
    list("level", "Level", NONE, LIST_LEVELS),
    list("splitscreen", "Split screen", "Split screen for two local players", LIST_ON_OFF),
    value("players", "Number of players",
          "Maximum number of players allowed in match including local players", 2, 8, 1, 4),
    SCORE_LIMIT,
    text("port", "Port", "Server UDP port number that clients connect to", 5, "26001").withValidator(),
    text("name", "Online name", "Enter a match name here to make it visible to others online", 15),
    text("password", "Password", "Password required for others to join this match.", 12),
    action("ready", READY),
    action("back", BACK, NONE, "mp"),
};
const TMenuItem JOIN_ITEMS[] = {
    action("browse", "Browse online matches", "Browse multiplayer matches hosted by other players", "browse"),
    text("address", "Server address", "Public IP address of computer to connect to", 31, "127.0.0.1"),
    text("port", "Server port", "Public port number to connect to", 5, "26001").withValidator(),
    text("password", "Password", "Enter password here if one is required", 12),
    action("ready", READY),
    action("back", BACK, NONE, "mp"),
};
const TMenuItem RESTART_ITEMS[] = {
    list("level", "Level", NONE, LIST_LEVELS),
    SCORE_LIMIT,
    action("ready", READY),
    action("back", BACK, NONE, "mp"),
};
const TMenuItem SETTINGS_ITEMS[] = {
    action("player1", "Player 1 settings", "Primary player and controller settings", "player1"),
    action("player2", "Player 2 settings", "Second (split screen) player and controller settings", "player2"),
    action("system", "System settings", "Graphics, audio and network settigns", "system"),
    action("back", BACK, NONE, "main"),
};
const TMenuItem PLAYER_ITEMS[] = {
    text("name", "Name", "Player name visible to others in multiplayer matches", 15, "", "name"),
    image("skin", "Multiplayer skin", "Player skin visible to others in multiplayer matches", 0.28f, "skin"),
    list("controller", "Controller", "Type of player controller", LIST_CONTROLLERS, "controller"),
    list("gamepadlayout", "Gamepad type", NONE, LIST_GAMEPAD_LAYOUTS, "gamepadlayout"),
    action("ready", READY, NONE, "main"),
    action("back", BACK, NONE, "settings"),
};
const TMenuItem SYSTEM_ITEMS[] = {
    list("mode", "Video mode", "Full screen video mode or window size", LIST_VIDEO_MODES),
    list("fullscreen", "Full screen", "Enables full screen video mode", LIST_ON_OFF, "video/fullscreen"),
    value("fsaa", "Anti-aliasing", "Preferred anti-aliasing (FSAA) quality", 0, 8, 4, 0, "video/fsaa"),
    list("vfilters", "Video filters", "Enables video post-processing filters (glow, grayscale, etc.)",
         LIST_ON_OFF, "video/filters"),
    list("music", "Music", "Enables background music and ambient sounds", LIST_ON_OFF, "audio/music"),
    list("afilters", "Audio filters", "Enables audio post-processing filters", LIST_ON_OFF, "audio/filters"),
    list("audio", "Audio quality", NONE, LIST_AUDIO_QUALITY, "audio/quality"),
    action("ready", READY, NONE, "main"),
    action("back", BACK, NONE, "settings"),
};
const TMenuItem CHAT_ITEMS[] = {
    text("message", "Message", NONE, 63),
};
const TMenuItem BROWSE_ITEMS[] = {
    header("Name|Level|Players", "0.35l_|0.35l_|0.2r_"),
    rows("match", 8, "-"),
    line("spacer"),
    action("previous", "Previous page").withState(brix::OgreMenuItem::STATE_DISABLED),
    action("next", "Next page").withState(brix::OgreMenuItem::STATE_DISABLED),
    action("back", BACK, NONE, "join"),
};
const TMenuItem SCOREBOARD_ITEMS[] = {
    header("#|Name|Score", "0.05l_|0.5l_|0.15r_"),
    rows("player", 8, ""),
};
const TMenuItem NEWSCORE_ITEMS[] = {
    text("name", "Name", "Name stored to high-scores", 15),
    action("ready", READY, NONE, "highscore"),
};
const TMenuItem HIGHSCORE_ITEMS[] = {
    header("#|Name|Score", "0.05l_|0.5l_|0.15r_"),
    rows("score", 5, ""),
    line("spacer"),
    action("switch", "Switch"),
    action("replay", "Replay"),
    action("back", BACK, NONE, "sp"),
};
const TMenuItem LEVELS_ITEMS[] = {
    action("download", "Browse shared levels",
           "Browse levels that other players have created and shared online", "download"),
    line("spacer"),
    list("level", "Level", NONE, LIST_LEVELS),
    text("new", "New level name", "File name for new level to create", 15).withValidator(),
    action("edit", "Edit", "Open built-in level editor to edit selected level"),
    action("delete", "Delete", "Delete selected level from this computer", "delete")
        .withState(brix::OgreMenuItem::STATE_DISABLED),
    action("upload", "Share", "Share selected level online", "upload")
        .withState(brix::OgreMenuItem::STATE_DISABLED),
    action("back", BACK, NONE, "main"),
};
const TMenuItem DELETE_ITEMS[] = {
    line("text"),
    action("yes", "Yes", NONE, "levels"),
    action("no", "No", NONE, "levels"),
};
const TMenuItem UPLOAD_ITEMS[] = {
    text("password", "Password", "Level password required to later update or delete the shared level.", 15,
         "", "misc/sharepassword")
        .withValidator(),
    action("upload", "Upload", "Upload level online. Level will be shortly available for other to download.",
           "levels"),
    action("back", BACK, NONE, "levels"),
};
const TMenuItem DOWNLOAD_ITEMS[] = {
    header("Name|Title|Type", "0.35l_|0.6l_|0.15r_"),
    rows("level", 8, ""),
    line("spacer"),
    action("previous", "Previous page").withState(brix::OgreMenuItem::STATE_DISABLED),
    action("next", "Next page").withState(brix::OgreMenuItem::STATE_DISABLED),
    action("filter", "Filter", "Set up filter to only show certain type of levels", "filter"),
    action("back", BACK, NONE, "levels"),
};
const TMenuItem FILTER_ITEMS[] = {
    list("type", "Type", "Show only levels of this type", LIST_LEVEL_TYPES),
    text("title", "Title", "Show only levels whose title contains this text", 31),
    text("author", "Author", "Show only levels whose author name contains this text", 31),
    action("ready", READY, NONE, "download"),
    action("back", BACK, NONE, "download"),
};
// The details of one shared level, each a read-only line.
const TMenuItem PREVIEW_ITEMS[] = {
    text("title", "Title", NONE, 31).withState(brix::OgreMenuItem::STATE_INACTIVE),
    text("filename", "File name", NONE, 19).withState(brix::OgreMenuItem::STATE_INACTIVE),
    text("type", "Type", NONE, 63).withState(brix::OgreMenuItem::STATE_INACTIVE),
    text("author", "Author", NONE, 31).withState(brix::OgreMenuItem::STATE_INACTIVE),
    text("date", "Last updated", NONE, 31).withState(brix::OgreMenuItem::STATE_INACTIVE),
    line("spacer"),
    action("download", "Download", NONE, "download"),
    action("back", BACK, NONE, "download"),
};
const TMenuItem EDITOR_ITEMS[] = {
    action("save", "Save level"),
    action("properties", "Level Properties", NONE, "level"),
    action("exit", "Exit editor", NONE, "main"),
};
const TMenuItem LEVEL_ITEMS[] = {
    text("title", "Title", "Title of level", 31),
    text("author", "Author", "Name of level's creator", 31),
    value("time", "Target time (s)", "Level completion time below which extra score is rewarded", 0, 600, 10,
          120),
    text("next", "Next level", "Name of the level intended to be played next", 15),
    action("ready", READY, NONE, "editor"),
    action("back", BACK, NONE, "editor"),
};

struct TMenuPage
{
    const char* name;
    const char* title;
    const TMenuItem* items;
    size_t count;
};

#define PAGE(name, title, items)                                                                             \
    {                                                                                                        \
        name, title, items, sizeof(items) / sizeof(items[0])                                                 \
    }
const TMenuPage PAGES[] = {
    PAGE("main", "Main menu", MAIN_ITEMS),
    PAGE("sp", "Single player", SP_ITEMS),
    PAGE("mp", "Multiplayer", MP_ITEMS),
    PAGE("host", "Host match", HOST_ITEMS),
    PAGE("join", "Join match", JOIN_ITEMS),
    PAGE("restart", "Restart match", RESTART_ITEMS),
    PAGE("settings", "Settings", SETTINGS_ITEMS),
    PAGE("player1", "Player 1 settings", PLAYER_ITEMS),
    PAGE("player2", "Player 2 settings", PLAYER_ITEMS),
    PAGE("system", "System settings", SYSTEM_ITEMS),
    PAGE("chat", "Send chat message", CHAT_ITEMS),
    PAGE("browse", "Browse online matches", BROWSE_ITEMS),
    PAGE("scoreboard", "Scoreboard", SCOREBOARD_ITEMS),
    PAGE("newscore", "New high-score!", NEWSCORE_ITEMS),
    PAGE("highscore", "High-scores", HIGHSCORE_ITEMS),
    PAGE("levels", "Manage levels", LEVELS_ITEMS),
    PAGE("delete", "Delete level", DELETE_ITEMS),
    PAGE("upload", "Share level online", UPLOAD_ITEMS),
    PAGE("download", "Browse shared levels", DOWNLOAD_ITEMS),
    PAGE("filter", "Filter shared levels", FILTER_ITEMS),
    PAGE("preview", "Download shared level", PREVIEW_ITEMS),
    PAGE("editor", "Level editor", EDITOR_ITEMS),
    PAGE("level", "Level properties", LEVEL_ITEMS),
};
#undef PAGE

// The parameter a page's item reads: keys without a section belong to the page's own.
std::string parameterName(const std::string& page, const char* key)
{
    std::string name = key;
    return name.find('/') == std::string::npos ? page + "/" + name : name;
}

// Runs one step of the tear-down, so that a failing step leaves the later ones to run.
void tearDownStep(const char* what, const std::function<void()>& step)
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

template <typename T> void destroy(T*& object, const char* what)
{
    tearDownStep(what, [&object]() { delete object; });
    object = nullptr;
}
} // namespace

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
    mConfiguration.load(brix::File::filePath(getUserDataDirectory(), CONFIGURATION_FILE));
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
    int result = 0;
    try
    {
        std::unique_ptr<Application> application = make();
        application->run(argc, argv);
    }
    catch (const Ogre::Exception& e)
    {
        const std::string text = e.getDescription() + "\n\nSee application.log for details.";
        brix::showErrorPopUp(text.c_str(), "Application error (Ogre::Exception)");
        result = 1;
    }
    catch (const std::exception& e)
    {
        const std::string text = std::string(e.what()) + "\n\nSee application.log for details.";
        brix::showErrorPopUp(text.c_str(), "Application error (std::exception)");
        result = 1;
    }
    catch (...)
    {
        std::cerr << "Caught unknown exception" << std::endl;
        result = 1;
    }
    return result;
}

void Application::declareParameters()
{
    for (const TParameterDefinition& parameter : PARAMETERS)
    {
        switch (parameter.type)
        {
        case 'b':
            mConfiguration.addBooleanParameter(parameter.name, parameter.number != 0.0, parameter.version);
            break;
        case 'i':
            mConfiguration.addIntegerParameter(parameter.name, static_cast<int>(parameter.number),
                                               static_cast<int>(parameter.minimum),
                                               static_cast<int>(parameter.maximum), parameter.version);
            break;
        case 'f':
            mConfiguration.addFloatParameter(parameter.name, static_cast<float>(parameter.number),
                                             static_cast<float>(parameter.minimum),
                                             static_cast<float>(parameter.maximum), parameter.version);
            break;
        default:
            mConfiguration.addStringParameter(parameter.name, parameter.text,
                                              static_cast<int>(parameter.minimum),
                                              static_cast<int>(parameter.maximum), parameter.version);
        }
    }
}

void Application::updateLogLevel()
{
    const std::string& level = mConfiguration.getString("system/loglevel");
    if (level == "debug")
        brix::Log::setLevel(brix::Log::DEBUG);
    else if (level == "info")
        brix::Log::setLevel(brix::Log::INFO);
    else if (level == "error")
        brix::Log::setLevel(brix::Log::ERROR);
    else
        brix::Log::error("Invalid log level: " + level);
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
    ensureSharePassword();
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

    mMessageDisplay = new brix::MessageDisplay(mSceneManager, 3, 10.0f, FONT_NAME, 0.05f,
                                               Ogre::ColourValue(1.0f, 1.0f, 1.0f, 0.35f));
    mMessageDisplay->setAspectRatio(getWindowAspectRatio());
    mMessageDisplay->setVisibilityFlags(MAIN_VIEWPORT_FLAGS);
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
    setupPlayerViews();
    initializePlayers();
    mEntityManager->loadEntityPrototypes(ENTITY_FILE);

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
    updateLevelEditor();
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

// ---- Configuration -------------------------------------------------------------------------

void Application::onParameterChange(const std::string& name)
{
    brix::Log::debug("onParameterChange('%s')", name.c_str());
    if (name == "system/loglevel")
        updateLogLevel();
    else if (name == "video/width" || name == "video/height" || name == "video/fullscreen" ||
             name == "video/fsaa")
        mVideoChanged = true;
    else if (name == "video/decalcount")
        mDecalManager->setMaximumDecalCount(static_cast<uint32_t>(mConfiguration.getInteger(name)));
    else if (name == "audio/quality" || name == "audio/filters")
        mAudioChanged = true;
    else if (name == "network/packetrate")
    {
        const unsigned int interval =
            static_cast<unsigned int>(1.0f / static_cast<float>(mConfiguration.getInteger(name)) * 1000.0f);
        mClients[0]->setUpdateInterval(interval);
        mServer->setUpdateInterval(interval);
    }
    else if (name == "network/punchthroughserver")
    {
        mServer->setPunchThroughServer(mConfiguration.getString(name));
        mClients[0]->setPunchThroughServer(mConfiguration.getString(name));
    }
    else if (name == "player1/name" || name == "player1/skin" || name == "player2/name" ||
             name == "player2/skin")
    {
        const std::string player = name.substr(0, name.find('/'));
        mClients[player == "player1" ? 0 : 1]->configurePlayer(
            mConfiguration.getString(player + "/name"),
            static_cast<unsigned int>(std::max(0, mConfiguration.getInteger(player + "/skin"))));
    }
    else if (name == "network/announceserver")
    {
        mServer->setAnnounceServer(mConfiguration.getString(name));
        const bool none = mConfiguration.getString(name).empty();
        const int state = none ? brix::OgreMenuItem::STATE_DISABLED : brix::OgreMenuItem::STATE_NORMAL;
        setMenuItemState("join", "browse", state);
        setMenuItemState("host", "name", state);
        getMenuItem("host", "name")->setValue(std::string());
    }
    else if (name == "network/visiblewidth" || name == "network/visibleheight")
        mEntityManager->setVisibleArea(mConfiguration.getFloat("network/visiblewidth"),
                                       mConfiguration.getFloat("network/visibleheight"));
    else if (name == "network/prediction")
        mPrediction = mConfiguration.getFloat(name);
    else if (name == "network/onlinehighscores")
        mHighScoreManager->setUploadEnabled(mConfiguration.getBoolean(name));
    else if (name == "misc/controllerinfo")
        mControllerInfo = static_cast<unsigned int>(mConfiguration.getInteger(name));
    else if (name == "misc/level")
    {
        // The level after the last one played is offered first.
        const std::string& level = mConfiguration.getString(name);
        const std::string next = mLevel->getLevelCache()->getNext(level);
        if (!next.empty() && mLevel->getLevelCache()->hasLevel(next))
            getMenuItem("sp", "level")->setValue(next);
        else
            getMenuItem("sp", "level")->setValue(level.empty() ? std::string("sp01") : level);
    }
    onViewParameterChange(name);
}

void Application::ensureSharePassword()
{
    if (!mConfiguration.getString("misc/sharepassword").empty())
        return;
    // The system's random source: a password guessed from the start time would not protect much.
    std::random_device random;
    std::uniform_int_distribution<int> letter(0, 25);
    std::string password;
    for (unsigned int i = 0; i < SHARE_PASSWORD_LENGTH; ++i)
        password += static_cast<char>('a' + letter(random));
    mConfiguration.setString("misc/sharepassword", password);
    mConfiguration.save();
}

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
    mConfiguration.save();
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
    else if (!mConfiguration.getString("misc/message").empty())
        mMessageDisplay->writeMessage(mConfiguration.getString("misc/message"), true);
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
    if (schemeName != "glow")
        return nullptr;
    Ogre::MaterialPtr fallback = Ogre::MaterialManager::getSingleton().getByName(
        "glowignore", Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME);
    return fallback ? fallback->getTechnique(0) : nullptr;
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
        if (mGameMode == MODE_SINGLE_PLAYER && mPlayerManager->getMatchState() == PlayerManager::Complete)
            endGame();
        openMenu(mNextMenuPage);
        mNextMenuPage.clear();
        break;
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
        mConfiguration.save();
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
    else if (mMenu->getCurrentPage() && mMenu->getCurrentPage()->getName() == "scoreboard")
        closeMenu(false);
}

void Application::toggleControllerInfo(unsigned int bit)
{
    mConfiguration.setInteger("misc/controllerinfo", static_cast<int>(mControllerInfo ^ bit));
    mConfiguration.save();
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
                brix::Log::error("Download address '%s' is not a web address", address.c_str());
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

void Application::onHighScoreUpload(const std::string& level, bool success)
{
    if (success)
    {
        mMessageDisplay->writeMessage("New high-score posted online", true);
        mHighScoreManager->refresh(level);
    }
    else
        mMessageDisplay->writeMessage("Online high-score posting failed", true);
}

// ---- Menus ---------------------------------------------------------------------------------

brix::OgreMenuActionItem* Application::getActionItem(const std::string& page, const std::string& item) const
{
    return static_cast<brix::OgreMenuActionItem*>(getMenuItem(page, item));
}

brix::OgreMenuItem* Application::getMenuItem(const std::string& page, const std::string& item) const
{
    brix::OgreMenuPage* menuPage = mMenu->getPage(page);
    brix::OgreMenuItem* menuItem = menuPage ? menuPage->getItem(item) : nullptr;
    if (!menuItem)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Menu item '" + page + "/" + item + "' not found",
                    "Application::getMenuItem");
    return menuItem;
}

void Application::setMenuItemState(const std::string& page, const std::string& item, int state)
{
    getMenuItem(page, item)->setState(static_cast<brix::OgreMenuItem::State>(state));
}

void Application::buildMenus(brix::OgreMenu* menu)
{
    std::vector<Ogre::StringVector> lists(LIST_COUNT);
    lists[LIST_ON_OFF] = {"Off", "On"};
    unsigned int videoModeIndex = 0;
    for (const VideoMode& mode : getVideoModes())
    {
        if (mode.width == mConfiguration.getInteger("video/width") &&
            mode.height == mConfiguration.getInteger("video/height"))
            videoModeIndex = static_cast<unsigned int>(lists[LIST_VIDEO_MODES].size());
        lists[LIST_VIDEO_MODES].push_back(std::to_string(mode.width) + "x" + std::to_string(mode.height));
    }
    lists[LIST_AUDIO_QUALITY] = {"Normal", "High"};
    lists[LIST_LEVEL_TYPES] = {"All", "Multiplayer", "Single player"};
    lists[LIST_CONTROLLERS] = {"Keyboard", "Keyboard+mouse", "Gamepad 1", "Gamepad 2"};
    lists[LIST_GAMEPAD_LAYOUTS] = {"[Automatic]"};
    {
        brix::GamepadLayout layouts;
        layouts.loadLayouts(GAMEPAD_LAYOUT_FILE);
        std::vector<std::string> names;
        layouts.getLayoutNames(names);
        lists[LIST_GAMEPAD_LAYOUTS].insert(lists[LIST_GAMEPAD_LAYOUTS].end(), names.begin(), names.end());
    }
    if (!mMenuImages)
        mMenuImages = new brix::OgreImageArray("skins", 2, 2);

    for (const TMenuPage& pageDefinition : PAGES)
    {
        const std::string pageName = pageDefinition.name;
        brix::OgreMenuPage* page = menu->addPage(pageName, pageDefinition.title, this);
        if (pageName == "main")
            page->getItem(0u)->setState(brix::OgreMenuItem::STATE_HIDDEN);
        for (size_t i = 0; i < pageDefinition.count; ++i)
        {
            const TMenuItem& item = pageDefinition.items[i];
            const std::string key = item.key ? parameterName(pageName, item.key) : std::string();
            for (unsigned row = 0; row < std::max(item.rows, 1u); ++row)
            {
                const std::string name = item.rows ? item.name + std::to_string(row) : std::string(item.name);
                brix::OgreMenuItem* added = nullptr;
                switch (item.kind)
                {
                case ACTION:
                {
                    brix::OgreMenuActionItem* actionItem =
                        page->addActionItem(name, item.title, item.description, item.target);
                    if (item.titleFormat)
                        actionItem->setTitleFormat(item.titleFormat);
                    added = actionItem;
                    break;
                }
                case TEXT:
                {
                    brix::OgreMenuTextItem* textItem = page->addTextItem(
                        name, item.title, item.description, static_cast<unsigned int>(item.maximum),
                        key.empty() ? std::string(item.text) : mConfiguration.getString(key));
                    if (item.validated)
                        textItem->setValidator(this);
                    added = textItem;
                    break;
                }
                case VALUE:
                    added = page->addValueItem(
                        name, item.title, item.description, item.minimum, item.maximum, item.step,
                        key.empty() ? item.value : float(mConfiguration.getInteger(key)));
                    break;
                case LIST:
                {
                    unsigned int index = 0;
                    if (item.list == LIST_VIDEO_MODES)
                        index = videoModeIndex;
                    else if (!key.empty() && item.list != LIST_GAMEPAD_LAYOUTS)
                        index = static_cast<unsigned int>(
                            std::max(0, brix::StringUtil::stringToInt(mConfiguration.get(key))));
                    added = page->addListItem(name, item.title, item.description, lists[item.list], index);
                    if (item.list == LIST_GAMEPAD_LAYOUTS)
                        added->setValue(mConfiguration.getString(key));
                    break;
                }
                case IMAGE:
                {
                    brix::OgreMenuImageItem* imageItem = page->addImageItem(
                        name, item.title, item.description, item.value, mMenuImages,
                        static_cast<unsigned int>(std::max(0, mConfiguration.getInteger(key))));
                    imageItem->setIndexLimits(0, 3);
                    added = imageItem;
                    break;
                }
                }
                if (item.state != KEEP_STATE)
                    added->setState(static_cast<brix::OgreMenuItem::State>(item.state));
            }
        }
        // The controller choice decides whether the gamepad layout can be chosen.
        if (pageName == "player1" || pageName == "player2")
            onMenuEvent(page->getItem("controller"), EVENT_VALUE_CHANGED);
    }
    updateLevelLists(menu);
}

void Application::updateLevelLists(brix::OgreMenu* menu)
{
    mLevel->updateLevelCache();
    const LevelCache* cache = mLevel->getLevelCache();
    // Flag bits of a cached level: a single-player start, a multiplayer start, built in.
    Ogre::StringVector singlePlayer, multiplayer, editable;
    cache->getLevelNames(singlePlayer, 1, 1);
    cache->getLevelNames(multiplayer, 2, 2);
    cache->getLevelNames(editable, 0, mDeveloperMode ? 0 : 4);
    for (Ogre::StringVector* names : {&singlePlayer, &multiplayer, &editable})
        std::sort(names->begin(), names->end());
    editable.insert(editable.begin(), CREATE_NEW_LEVEL);
    auto levelList = [menu](const char* page)
    { return static_cast<brix::OgreMenuListItem*>(menu->getPage(page)->getItem("level")); };
    levelList("host")->setValues(multiplayer);
    levelList("restart")->setValues(multiplayer);
    levelList("sp")->setValues(singlePlayer);
    levelList("levels")->setValues(editable);
    onMenuEvent(levelList("levels"), EVENT_VALUE_CHANGED);
}

void Application::onMenuEvent(brix::OgreMenuItem* item, EventType type)
{
    brix::OgreMenuPage* menuPage = item->getPage();
    if (type == EVENT_PAGE_SHOWN)
    {
        onPageShown(menuPage);
        return;
    }
    const std::string& page = menuPage->getName();
    const std::string name = item->getName();
    auto startsWith = [&name](const char* prefix)
    { return name.compare(0, std::strlen(prefix), prefix) == 0; };
    if (page == "editor" && mLevelEditor)
    {
        if (name == "save")
        {
            mLevelEditor->saveLevel();
            closeMenu(false);
        }
        else if (name == "exit")
            backToMenu();
        return;
    }
    if (page == "level" && mLevelEditor)
    {
        if (name == "ready")
        {
            mLevel->setTitle(menuPage->getItem("title")->getValue());
            mLevel->setAuthor(menuPage->getItem("author")->getValue());
            mLevel->setTargetTime(static_cast<float>(menuPage->getItem("time")->getValueAsInteger()));
            mLevel->setNext(menuPage->getItem("next")->getValue());
        }
        return;
    }
    if (page == "main")
    {
        if (name == "abort")
        {
            endGame();
            closeMenu(false);
        }
        else if (name == "exit")
            mRunning = false;
    }
    else if (page == "sp")
    {
        if (name == "score")
            showHighScores(mLevel->getHighScoreName(menuPage->getItem("level")->getValue()), false, false);
        else if (name == "level")
            updateLevelDescription(item);
        else if (name == "ready")
        {
            startSinglePlayer(false);
            closeMenu(false);
        }
    }
    else if (page == "highscore")
    {
        // The menu closes when the match has started.
        if (name == "replay")
            startSinglePlayer(true);
        else if (name == "switch")
        {
            if (!mHighScoreOnline &&
                mHighScoreManager->getOnlineHighScoresAge(mHighScoreName) >= ONLINE_HIGH_SCORES_MAX_AGE)
                mHighScoreManager->refresh(mHighScoreName);
            showHighScores(mHighScoreName, !mHighScoreOnline, mHighScoreContinue);
        }
    }
    else if (page == "newscore")
    {
        if (name == "ready")
            mHighScoreManager->finalize(menuPage->getItem("name")->getValue());
    }
    else if (page == "host" || page == "restart")
    {
        if (name == "level")
            updateLevelDescription(item);
        else if (name == "ready")
        {
            if (page == "host")
                hostMatch();
            else
                restartMatch();
            closeMenu(false);
        }
    }
    else if (page == "join")
    {
        if (name == "browse")
        {
            mMatchBrowser->setPage(0);
            mMatchBrowser->refresh();
            mBrowserItemIndex = 0;
        }
        else if (name == "ready")
        {
            joinMatch();
            closeMenu(false);
        }
    }
    else if (page == "player1" || page == "player2")
    {
        if (name == "controller")
            updateGamepadItems(menuPage);
        else if (name == "ready")
            storePlayerSettings(page);
    }
    else if (page == "system")
    {
        if (name == "ready")
            storeSystemSettings();
    }
    else if (page == "chat")
    {
        if (name == "message" && type == EVENT_ITEM_ACTIVATED)
            sendChat(item);
    }
    else if (page == "levels")
        onLevelsAction(name);
    else if (page == "browse")
    {
        if (startsWith("match"))
            takeMatchIntoJoinPage(item);
        else if (name == "previous")
            mMatchBrowser->previousPage();
        else if (name == "next")
            mMatchBrowser->nextPage();
    }
    else if (page == "upload")
    {
        if (name == "upload")
            uploadSharedLevel();
    }
    else if (page == "delete")
    {
        if (name == "yes")
            deleteLevel(getMenuItem("levels", "level")->getValue());
    }
    else if (page == "download")
    {
        unsigned int row = 0;
        if (startsWith("level") && getBrowserRow(item, "level0", mFileShareBrowser, row))
        {
            showSharedLevel(row);
            mMenu->show("preview");
        }
        else if (name == "previous")
            mFileShareBrowser->previousPage();
        else if (name == "next")
            mFileShareBrowser->nextPage();
    }
    else if (page == "filter")
    {
        if (name == "ready")
            applyShareFilter();
    }
    else if (page == "preview")
    {
        if (name == "download")
        {
            mMessageDisplay->writeMessage("Downloading level '" + mSharedLevelFile + "'..", true);
            mFileShareBrowser->download(mSharedLevelFile);
        }
    }
}

void Application::onPageShown(brix::OgreMenuPage* page)
{
    const std::string& name = page->getName();
    if (name == "sp" || name == "host")
        page->setCurrentItem("ready");
    else if (name == "newscore")
    {
        page->getItem("name")->setValue(mConfiguration.getString("player1/name"));
        page->setCurrentItem("ready");
    }
    else if (name == "highscore")
        page->setCurrentItem("back");
    else if (name == "player1" || name == "player2")
        updateGamepadItems(page);
    else if (name == "delete")
        page->setCurrentItem("no");
}

void Application::onLevelsAction(const std::string& item)
{
    brix::OgreMenuItem* level = getMenuItem("levels", "level");
    if (item == "download")
        openSharedLevelBrowser();
    else if (item == "delete")
        getActionItem("delete", "text")->setTitle("Really delete level '" + level->getValue() + "'?");
    else if (item == "level")
    {
        updateLevelDescription(level);
        const bool createNew = level->getIndex() == 0;
        const int existing =
            createNew ? brix::OgreMenuItem::STATE_DISABLED : brix::OgreMenuItem::STATE_NORMAL;
        setMenuItemState("levels", "new",
                         createNew ? brix::OgreMenuItem::STATE_NORMAL : brix::OgreMenuItem::STATE_DISABLED);
        setMenuItemState("levels", "delete", existing);
        setMenuItemState("levels", "upload", existing);
    }
    else if (item == "edit")
        editLevel();
    else if (item == "upload")
    {
        mMenu->getPage("upload")->setTitle("Share level: " + level->getValue());
        mSharedLevelFile = level->getValue() + ".xml";
    }
}

void Application::storePlayerSettings(const std::string& page)
{
    mConfiguration.setString(page + "/name", getMenuItem(page, "name")->getValue());
    mConfiguration.setInteger(page + "/skin", static_cast<int>(getMenuItem(page, "skin")->getIndex()));
    mConfiguration.setInteger(page + "/controller",
                              static_cast<int>(getMenuItem(page, "controller")->getIndex()));
    mConfiguration.setString(page + "/gamepadlayout", getMenuItem(page, "gamepadlayout")->getValue());
    mEventDispatcher->post(EventDispatcher::ControllersChanged, 0, 0, "");
    mConfiguration.save();
}

void Application::storeSystemSettings()
{
    int width = 0, height = 0;
    const std::vector<std::string> size =
        Ogre::StringUtil::split(getMenuItem("system", "mode")->getValue(), "x");
    if (size.size() == 2)
    {
        width = brix::StringUtil::stringToInt(size[0]);
        height = brix::StringUtil::stringToInt(size[1]);
    }
    mVideoChanged = false;
    mAudioChanged = false;
    auto chosen = [this](const char* item) { return getMenuItem("system", item)->getIndex() != 0; };
    mConfiguration.setInteger("video/width", width);
    mConfiguration.setInteger("video/height", height);
    mConfiguration.setBoolean("video/fullscreen", chosen("fullscreen"));
    mConfiguration.setInteger("video/fsaa", getMenuItem("system", "fsaa")->getValueAsInteger());
    mConfiguration.setBoolean("video/filters", chosen("vfilters"));
    mConfiguration.setBoolean("audio/music", chosen("music"));
    mConfiguration.setBoolean("audio/filters", chosen("afilters"));
    mConfiguration.setInteger("audio/quality", static_cast<int>(getMenuItem("system", "audio")->getIndex()));
    mConfiguration.save();
    if (mVideoChanged)
        mMessageDisplay->writeMessage(
            "Changes to video mode settings will take effect next time you start this game", true);
    if (mAudioChanged)
        mMessageDisplay->writeMessage(
            "Changes to audio quality settings will take effect next time you start this game", true);
    openMenu("");
}

void Application::sendChat(brix::OgreMenuItem* item)
{
    const std::string text = item->getValue();
    if (!text.empty())
    {
        if (text[0] == '/')
            mCommandProcessor->execute(text);
        else
            sendChatMessage(text);
    }
    item->setValue(std::string());
    closeMenu(true);
}

void Application::openSharedLevelBrowser()
{
    mFileShareBrowser->setPage(0);
    mFileShareBrowser->setFilter("", "", 0, 0);
    mFileShareBrowser->refresh();
    mBrowserItemIndex = 0;
    getMenuItem("filter", "type")->setIndex(0);
    getMenuItem("filter", "title")->setValue(std::string());
    getMenuItem("filter", "author")->setValue(std::string());
}

void Application::editLevel()
{
    const std::string name = getMenuItem("levels", "new")->getValue();
    const unsigned int index = getMenuItem("levels", "level")->getIndex();
    if (index == 0 && name.empty())
    {
        mMessageDisplay->writeMessage("Please enter a name for the level to create", true);
        return;
    }
    if (index == 0 && mLevel->getLevelCache()->hasLevel(name))
    {
        mMessageDisplay->writeMessage("Level '" + name + "' already exists, choose another name", true);
        return;
    }
    if (index == 0)
    {
        openLevelEditor(name, true);
        getMenuItem("levels", "new")->setValue(std::string());
    }
    else
        openLevelEditor(getMenuItem("levels", "level")->getValue(), false);
    closeMenu(false);
}

bool Application::getBrowserRow(brix::OgreMenuItem* item, const char* firstRow, const ListBrowser* browser,
                                unsigned int& row) const
{
    brix::OgreMenuPage* page = item->getPage();
    const unsigned int index = page->getItemIndex(item->getName());
    const unsigned int first = page->getItemIndex(firstRow);
    if (index < first || index - first >= browser->getItemCountOnPage())
        return false;
    row = index - first;
    return true;
}

void Application::takeMatchIntoJoinPage(brix::OgreMenuItem* item)
{
    unsigned int row = 0;
    if (!getBrowserRow(item, "match0", mMatchBrowser, row))
        return;
    const std::vector<std::string> address =
        Ogre::StringUtil::split(mMatchBrowser->getEntry(row).address.toString(), ":");
    if (address.size() != 2)
        return;
    getMenuItem("join", "address")->setValue(address[0]);
    getMenuItem("join", "port")->setValue(address[1]);
    mMenu->show("join");
    mMenu->getPage("join")->setCurrentItem("ready");
}

void Application::uploadSharedLevel()
{
    mMessageDisplay->writeMessage("Uploading level '" + mSharedLevelFile + "'..", true);
    const std::string password = getMenuItem("upload", "password")->getValue();
    mFileShareBrowser->upload(mSharedLevelFile, password);
    if (password != mConfiguration.getString("misc/sharepassword"))
    {
        mConfiguration.setString("misc/sharepassword", password);
        mConfiguration.save();
    }
}

void Application::updateLevelDescription(brix::OgreMenuItem* item)
{
    brix::OgreMenuListItem* list = static_cast<brix::OgreMenuListItem*>(item);
    if (item->getPage()->getName() == "levels" && item->getIndex() == 0)
    {
        list->setDescription("Create a new level with name entered below");
        return;
    }
    const LevelCache* cache = mLevel->getLevelCache();
    const std::string name = item->getValue();
    const std::string author = cache->getAuthor(name);
    list->setDescription(cache->getTitle(name) + (author.empty() ? std::string() : " by " + author));
}

void Application::deleteLevel(const std::string& name)
{
    const LevelCache* cache = mLevel->getLevelCache();
    const std::string path = cache->getFileName(name);
    if (path.empty() || (cache->getFlags(name) & LevelCache::FLAG_BUILTIN))
        return;
    if (!brix::File::deleteFile(path))
    {
        mMessageDisplay->writeMessage("Level '" + name + "' deletion failed", true);
        return;
    }
    // The maps lie next to the level file; both go with it.
    const std::string base = path.size() > 4 ? path.substr(0, path.size() - 4) : path;
    for (const char* suffix : {Level::LIGHT_MAP_SUFFIX, Level::SOUND_MAP_SUFFIX})
    {
        const std::string map = base + suffix;
        if (brix::File::fileExists(map) && brix::File::deleteFile(map))
            brix::Log::debug("Deleting map '%s'", map.c_str());
    }
    brix::Log::debug("Level file '%s' deleted", path.c_str());
    mMessageDisplay->writeMessage("Level '" + name + "' deleted", true);
    updateLevelLists();
    mHighScoreManager->removeLocalHighScores(name);
}

// ---- Browsers ------------------------------------------------------------------------------

void Application::onPageUpdate(unsigned int browserId, int state)
{
    const char* pageName;
    const char* title;
    const char* format;
    const char* firstRowName;
    ListBrowser* browser;
    if (browserId == FILE_SHARE_BROWSER)
    {
        pageName = "download";
        title = "Browse shared levels";
        format = "0.35l|0.6l|0.15r";
        firstRowName = "level0";
        browser = mFileShareBrowser;
    }
    else if (browserId == MATCH_BROWSER)
    {
        pageName = "browse";
        title = "Browse online matches";
        format = "0.35l|0.35l|0.2r";
        firstRowName = "match0";
        browser = mMatchBrowser;
    }
    else
        return;
    brix::OgreMenuPage* page = mMenu->getPage(pageName);
    if (mBrowserState == ListBrowser::STATE_READY)
        mBrowserItemIndex = page->getCurrentItemIndex();
    const unsigned int firstRow = page->getItemIndex(firstRowName);
    const unsigned int previous = page->getItemIndex("previous");
    const unsigned int next = page->getItemIndex("next");
    const unsigned int back = page->getItemIndex("back");
    auto row = [page, firstRow](unsigned int r)
    { return static_cast<brix::OgreMenuActionItem*>(page->getItem(firstRow + r)); };

    if (state == ListBrowser::STATE_READY)
    {
        const unsigned int pages = browser->getPageCount();
        page->setTitle(pages > 1 ? std::string(title) + "(page " + std::to_string(browser->getPage() + 1) +
                                       "/" + std::to_string(pages) + ")"
                                 : std::string(title));
        const unsigned int shown = browser->getItemCountOnPage();
        for (unsigned int r = 0; r < BROWSER_ROWS; ++r)
        {
            brix::OgreMenuActionItem* item = row(r);
            item->setTitleFormat(format);
            item->setTitle(r < shown ? browser->getItemTitle(r) : std::string());
            item->setDescription(r < shown ? browser->getItemDescription(r) : std::string());
            item->setState(r < shown ? brix::OgreMenuItem::STATE_NORMAL : brix::OgreMenuItem::STATE_DISABLED);
        }
        const bool hasNext = browser->getPage() + 1 < pages;
        const bool hasPrevious = browser->getPage() > 0;
        page->getItem(next)->setState(hasNext ? brix::OgreMenuItem::STATE_NORMAL
                                              : brix::OgreMenuItem::STATE_DISABLED);
        page->getItem(previous)->setState(hasPrevious ? brix::OgreMenuItem::STATE_NORMAL
                                                      : brix::OgreMenuItem::STATE_DISABLED);

        page->setCurrentItem(firstRow);
        const unsigned int remembered = mBrowserItemIndex;
        auto selectable = [page](unsigned int index)
        { return page->getItem(index)->getState() == brix::OgreMenuItem::STATE_NORMAL; };
        if (remembered >= firstRow && remembered < firstRow + BROWSER_ROWS)
        {
            if (selectable(remembered))
                page->setCurrentItem(remembered);
        }
        else if (remembered >= previous && remembered <= back)
        {
            if (selectable(remembered))
                page->setCurrentItem(remembered);
            else if (remembered == next)
                page->setCurrentItem(previous);
            else if (remembered == previous)
                page->setCurrentItem(next);
        }
    }
    else
    {
        page->setTitle(title);
        for (unsigned int r = 0; r < BROWSER_ROWS; ++r)
        {
            brix::OgreMenuActionItem* item = row(r);
            item->setTitleFormat(r == 0 ? std::string() : std::string(format));
            item->setTitle(r > 0 ? "-" : state == ListBrowser::STATE_REFRESHING ? "Updating.." : "Error");
            item->setDescription(std::string());
            item->setState(brix::OgreMenuItem::STATE_DISABLED);
        }
        page->getItem(next)->setState(brix::OgreMenuItem::STATE_DISABLED);
        page->getItem(previous)->setState(brix::OgreMenuItem::STATE_DISABLED);
    }
    mBrowserState = state;
}

void Application::applyShareFilter()
{
    // All, multiplayer, single player: the flags value and mask of each.
    static const unsigned int VALUES[] = {0, 2, 1};
    static const unsigned int MASKS[] = {0, 3, 3};
    const unsigned int type = std::min(getMenuItem("filter", "type")->getIndex(), 2u);
    mFileShareBrowser->setFilter(getMenuItem("filter", "title")->getValue(),
                                 getMenuItem("filter", "author")->getValue(), VALUES[type], MASKS[type]);
}

void Application::showSharedLevel(unsigned int row)
{
    const brix::FileShare::FileInfo& entry = mFileShareBrowser->getEntry(row);
    Ogre::String base, extension;
    Ogre::StringUtil::splitBaseFilename(entry.name, base, extension);
    std::string type = (entry.flags & LevelCache::FLAG_SINGLE_PLAYER) ? "Single player" : "";
    if (entry.flags & LevelCache::FLAG_MULTIPLAYER)
        type = type.empty() ? std::string("Multiplayer") : type + ", multiplayer";
    getMenuItem("preview", "title")->setValue(entry.title);
    getMenuItem("preview", "filename")->setValue(entry.name);
    getMenuItem("preview", "type")->setValue(type);
    getMenuItem("preview", "author")->setValue(entry.author);
    getMenuItem("preview", "date")
        ->setValue(brix::StringUtil::timeStampToString(static_cast<int64_t>(entry.time), true));
    brix::OgreMenuActionItem* download = getActionItem("preview", "download");
    const LevelCache* cache = mLevel->getLevelCache();
    if (cache->hasLevel(base))
    {
        download->setTitle("Download (overwrite existing)");
        download->setState((cache->getFlags(base) & LevelCache::FLAG_BUILTIN)
                               ? brix::OgreMenuItem::STATE_DISABLED
                               : brix::OgreMenuItem::STATE_NORMAL);
    }
    else
    {
        download->setTitle("Download");
        download->setState(brix::OgreMenuItem::STATE_NORMAL);
    }
    mSharedLevelFile = entry.name;
}

void Application::onUploadComplete(const std::string& file)
{
    mMessageDisplay->writeMessage("Level '" + file + "' upload complete", true);
}

void Application::onDownloadComplete(const std::string& file)
{
    updateLevelLists();
    mMessageDisplay->writeMessage("Level '" + file + "' download complete", true);
}

bool Application::validateCharacter(brix::OgreMenuTextItem* item, int& character)
{
    if (item->getName() == "port")
        return character >= '0' && character <= '9';
    if (character > 127)
        return false;
    if (std::isalnum(character) || character == '-' || character == '_')
    {
        character = std::tolower(character);
        return true;
    }
    return false;
}

void Application::openMenu(const std::string& page)
{
    std::string name = page;
    if (name.empty())
        name = mGameMode == MODE_EDITOR ? "editor" : "main";
    setMenuItemState("mp", "restart",
                     mGameMode == MODE_HOST ? brix::OgreMenuItem::STATE_NORMAL
                                            : brix::OgreMenuItem::STATE_DISABLED);
    const bool inGame = mGameMode >= MODE_SINGLE_PLAYER && mGameMode <= MODE_JOINED;
    setMenuItemState("main", "abort",
                     inGame ? brix::OgreMenuItem::STATE_NORMAL : brix::OgreMenuItem::STATE_DISABLED);
    for (const char* player : {"player1", "player2"})
        setMenuItemState(player, "back",
                         name == player ? brix::OgreMenuItem::STATE_DISABLED
                                        : brix::OgreMenuItem::STATE_NORMAL);
    setCamerasPaused(true);
    mMenu->show(name);
    mMenuFrame->setVisible(true);
    updateInputMask();
    updateControllerInfo();
    if (mGameMode == MODE_SINGLE_PLAYER)
    {
        mPaused = true;
        mParticlePool->setSpeedFactor(0.0f);
    }
}

void Application::closeMenu(bool force)
{
    if (mGameMode != MODE_MENUS || force)
    {
        mMenu->hide();
        mMenuFrame->setVisible(false);
        updateInputMask();
        setCamerasPaused(false);
    }
    updateControllerInfo();
    mPaused = false;
    mParticlePool->setSpeedFactor(1.0f);
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
    properties->getItem("time")->setValue(static_cast<int>(mLevel->getTargetTime()));
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

void Application::updateLevelEditor()
{
    if (!mLevelEditor)
        return;
    mLevel->updateMapGenerators();
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
// ---- High scores and the scoreboard --------------------------------------------------------

void Application::showHighScores(const std::string& highScoreName, bool online, bool continueMode)
{
    const std::string level = Level::getLevelNameOfHighScoreName(highScoreName);
    std::string title = mLevel->getLevelCache()->getTitle(level);
    if (title.empty())
        title = level;
    brix::OgreMenuPage* page = mMenu->getPage("highscore");
    page->setTitle(std::string(online ? "Online" : "Local") + " high-scores: " + title);
    getActionItem("highscore", "back")->setTitle(continueMode ? "Continue" : "Back");
    getActionItem("highscore", "switch")->setTitle(online ? "Show local" : "Show online");

    std::list<brix::HighScore> scores;
    const brix::HighScoreManager::Status status =
        online ? mHighScoreManager->getOnlineHighScores(highScoreName, scores)
               : mHighScoreManager->getLocalHighScores(highScoreName, scores);
    const unsigned int first = page->getItemIndex("score0");
    auto entry = scores.begin();
    for (unsigned int i = 0; i < HIGH_SCORE_ROWS; ++i)
    {
        brix::OgreMenuActionItem* row = static_cast<brix::OgreMenuActionItem*>(page->getItem(first + i));
        if (status == brix::HighScoreManager::STATUS_AVAILABLE)
        {
            fillHighScoreRow(row, i + 1, entry != scores.end() ? &*entry : nullptr);
            if (entry != scores.end())
                ++entry;
            continue;
        }
        row->setTitleFormat(std::string());
        row->setDescription(std::string());
        row->setState(brix::OgreMenuItem::STATE_DISABLED);
        if (i == 0)
            row->setTitle(status == brix::HighScoreManager::STATUS_PENDING ? "Updating.." : "Error");
        else
            row->setTitle(std::string());
    }
    mHighScoreOnline = online;
    mHighScoreName = highScoreName;
    mHighScoreContinue = continueMode;
}

void Application::fillHighScoreRow(brix::OgreMenuActionItem* row, unsigned int rank,
                                   const brix::HighScore* entry)
{
    row->setTitleFormat(SCORE_ROW_FORMAT);
    if (!entry)
    {
        row->setTitle(std::to_string(rank) + "|-|-");
        row->setDescription(std::string());
        row->setState(brix::OgreMenuItem::STATE_DISABLED);
        return;
    }
    row->setTitle(std::to_string(rank) + "|" + entry->name + "|" + std::to_string(entry->score));
    // The run's time, kills and vials, as the player manager writes them.
    const std::vector<std::string> parts = Ogre::StringUtil::tokenise(entry->custom, "|", "\"");
    row->setDescription(parts.size() == 3
                            ? "Completion time " + parts[0] + "s, kills " + parts[1] + ", vials " + parts[2]
                            : std::string());
    row->setState(brix::OgreMenuItem::STATE_READ_ONLY);
}

void Application::onHighScoresUpdate(const std::string& highScoreName, bool online,
                                     brix::HighScoreManager::Status)
{
    if (highScoreName == mHighScoreName && online == mHighScoreOnline)
        showHighScores(highScoreName, online, mHighScoreContinue);
}

void Application::updateScoreboard()
{
    std::vector<Player*> players;
    mPlayerManager->getPlayers(players);
    std::stable_sort(players.begin(), players.end(),
                     [](const Player* a, const Player* b) { return a->getScore() > b->getScore(); });
    brix::OgreMenuPage* page = mMenu->getPage("scoreboard");
    const unsigned int first = page->getItemIndex("player0");
    const unsigned int slots = getSlotCount();
    for (unsigned int i = 0; i < PlayerManager::MAX_PLAYERS; ++i)
    {
        brix::OgreMenuActionItem* row = static_cast<brix::OgreMenuActionItem*>(page->getItem(first + i));
        if (i < players.size())
            fillScoreboardRow(row, i + 1, players[i]);
        else
            fillScoreboardRow(row, i < slots ? i + 1 : 0, nullptr);
    }
}

void Application::fillScoreboardRow(brix::OgreMenuActionItem* row, unsigned int rank, Player* player)
{
    row->setTitleFormat(SCORE_ROW_FORMAT);
    if (!player)
    {
        row->setTitle(rank != 0 ? std::to_string(rank) + "|-|-" : std::string());
        row->setDescription(std::string());
        row->setState(brix::OgreMenuItem::STATE_DISABLED);
        return;
    }
    row->setTitle(std::to_string(rank) + "|" + player->getName() + "|" + std::to_string(player->getScore()));
    row->setDescription("Kills " + std::to_string(player->getKills()) + ", vials " +
                        std::to_string(player->getVials()));
    row->setState(brix::OgreMenuItem::STATE_READ_ONLY);
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
                                  mMessageDisplay);
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

unsigned int Application::getSlotCount() const
{
    return mClients[0]->getSlotCount();
}

} // namespace game
