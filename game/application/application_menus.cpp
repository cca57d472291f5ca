#include "game/application/application.h"

#include "engine/core/gamepadlayout.h"
#include "engine/core/inputmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuimageitem.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenutextitem.h"
#include "engine/presentation/ogremenuvalueitem.h"
#include "engine/presentation/ogreparticlepool.h"
#include "game/application/keyboardcontroller.h"
#include "game/application/matchbrowser.h"
#include "game/application/menuframe.h"
#include "game/editor/leveleditor.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/commandprocessor.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/server.h"
#include "game/world/controller.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/peertext.h"
#include "toolkit/stringutil.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace game
{
namespace
{
const char* const GAMEPAD_LAYOUT_FILE = "gamepads.xml";
const char* const CONTROLLER_DESCRIPTION = "Type of player controller";
// An online table fetched this many seconds ago is shown without a new download.
const unsigned int ONLINE_HIGH_SCORES_MAX_AGE = 20;

// The help line of both player pages' controller items: the keys that one press drives both
// players with, when the two chosen controllers share keys.
void describeSharedControls(brix::OgreMenu* menu)
{
    brix::OgreMenuPage* pages[] = {menu->getPage("player1"), menu->getPage("player2")};
    if (!pages[0] || !pages[1])
        return;
    // The list's index is one below the controller type: "Keyboard" is type 1.
    auto type = [](brix::OgreMenuPage* page)
    { return static_cast<int>(page->getItem("controller")->getIndex()) + 1; };
    const std::vector<std::string> shared =
        KeyboardController::getSharedControls(type(pages[0]), type(pages[1]));
    for (int player = 0; player < 2; ++player)
    {
        std::string description = CONTROLLER_DESCRIPTION;
        if (!shared.empty())
        {
            description = "Keys that also drive player " + std::to_string(2 - player) + ": ";
            for (size_t i = 0; i < shared.size(); ++i)
                description += (i > 0 ? ", " : "") + shared[i];
        }
        static_cast<brix::OgreMenuListItem*>(pages[player]->getItem("controller"))
            ->setDescription(description);
    }
}

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
    list("controller", "Controller", CONTROLLER_DESCRIPTION, LIST_CONTROLLERS, "controller"),
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
    text("title", "Title", "Title of level", Level::MAX_TITLE_LENGTH),
    text("author", "Author", "Name of level's creator", Level::MAX_TITLE_LENGTH),
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

// True, with the reason shown, when a new level may not take the name: a level of it is listed,
// or a file of it lies in the player's level folder.
bool refuseTakenLevelName(const Level& level, brix::MessageDisplay& display, const std::string& name)
{
    if (!level.getLevelCache()->hasLevel(name))
    {
        // A file the lists leave out is the player's all the same, never written over; one the
        // game does not play is named, for the player to mend or remove it, and why in the log.
        const std::string file = level.getUserLevelFile(name);
        if (!brix::File::fileExists(file))
            return false;
        brix::XMLElement root("");
        std::string error;
        if (!level.loadPlayableTree(file, root, error))
        {
            brix::Log::error("Level file '%s' is not played: %s", file.c_str(),
                             brix::PeerText::forLog(error).c_str());
            display.writeMessage(
                "Level file '" + file + "' cannot be played, remove it or choose another name", true);
            return true;
        }
    }
    display.writeMessage("Level '" + name + "' already exists, choose another name", true);
    return true;
}
} // namespace

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
    const VideoMode stored = {mConfiguration.getInteger("video/width"),
                              mConfiguration.getInteger("video/height")};
    std::vector<VideoMode> modes = getVideoModes();
    auto isStored = [&stored](const VideoMode& mode)
    { return mode.width == stored.width && mode.height == stored.height; };
    // A window size the screen does not list (set by hand, or on another screen) is offered in
    // its place by size, so that storing the page keeps it.
    if (std::none_of(modes.begin(), modes.end(), isStored))
        modes.insert(std::find_if(modes.begin(), modes.end(),
                                  [&stored](const VideoMode& mode) {
                                      return mode.width > stored.width ||
                                             (mode.width == stored.width && mode.height > stored.height);
                                  }),
                     stored);
    unsigned int videoModeIndex = 0;
    for (const VideoMode& mode : modes)
    {
        if (isStored(mode))
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
}

void Application::updateLevelLists(brix::OgreMenu* menu)
{
    mLevel->updateLevelCache();
    const LevelCache* cache = mLevel->getLevelCache();
    mListedLevelRevision = cache->getRevision();
    // Flag bits of a cached level: a single-player start, a multiplayer start, built in.
    Ogre::StringVector singlePlayer, multiplayer, editable;
    cache->getLevelNames(singlePlayer, 1, 1);
    cache->getLevelNames(multiplayer, 2, 2);
    cache->getLevelNames(editable, 0, mDeveloperMode ? 0 : 4);
    for (Ogre::StringVector* names : {&singlePlayer, &multiplayer, &editable})
        std::sort(names->begin(), names->end());
    editable.insert(editable.begin(), CREATE_NEW_LEVEL);
    // Filled anew while a page may show them (a level arrived): each stays on the level chosen
    // while it is listed.
    auto fill = [menu](const char* page, const Ogre::StringVector& names)
    {
        auto* list = static_cast<brix::OgreMenuListItem*>(menu->getPage(page)->getItem("level"));
        const std::string chosen = list->getValue();
        list->setValues(names);
        list->setValue(chosen);
        return list;
    };
    fill("host", multiplayer);
    fill("restart", multiplayer);
    fill("sp", singlePlayer);
    onMenuEvent(fill("levels", editable), EVENT_VALUE_CHANGED);
}

void Application::onMenuEvent(brix::OgreMenuItem* item, EventType type)
{
    brix::OgreMenuPage* menuPage = item->getPage();
    if (type == EVENT_PAGE_SHOWN)
    {
        onPageShown(menuPage);
        return;
    }
    // The player acts: what was held for reading may go.
    if (type == EVENT_ITEM_ACTIVATED)
        mMessageDisplay->setHeld(false);
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
        {
            updateGamepadItems(menuPage);
            describeSharedControls(menuPage->getMenu());
        }
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
    saveConfiguration();
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
    // Settings that were not saved take no effect at the next start either.
    const bool saved = saveConfiguration();
    if (saved && mVideoChanged)
        mMessageDisplay->writeMessage(
            "Changes to video mode settings will take effect next time you start this game", true);
    if (saved && mAudioChanged)
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
    if (index == 0 && refuseTakenLevelName(*mLevel, *mMessageDisplay, name))
        return;
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
        saveConfiguration();
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
    Level::deleteMapFiles(path);
    brix::Log::debug("Level file '%s' deleted", path.c_str());
    mMessageDisplay->writeMessage("Level '" + name + "' deleted", true);
    updateLevelLists();
    mHighScoreManager->removeLocalHighScores(name);
}

// ---- Opening and closing the menu ----------------------------------------------------------

void Application::updateGameItems()
{
    setMenuItemState("mp", "restart",
                     mGameMode == MODE_HOST ? brix::OgreMenuItem::STATE_NORMAL
                                            : brix::OgreMenuItem::STATE_DISABLED);
    const bool inGame = mGameMode >= MODE_SINGLE_PLAYER && mGameMode <= MODE_JOINED;
    setMenuItemState("main", "abort",
                     inGame ? brix::OgreMenuItem::STATE_NORMAL : brix::OgreMenuItem::STATE_DISABLED);
}

void Application::openMenu(const std::string& page)
{
    std::string name = page;
    if (name.empty())
        name = mGameMode == MODE_EDITOR ? "editor" : "main";
    updateGameItems();
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

// ---- Typed text and the gamepad items ------------------------------------------------------

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

} // namespace game
