#include "game/application/application.h"

#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenuitem.h"
#include "engine/presentation/ogremenutextitem.h"
#include "game/application/menuframe.h"
#include "game/world/entitymanager.h"
#include "support/game/gamerun.h"
#include "support/services.h"
#include "support/tempdir.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace
{
using test::GameRun;
using test::UserFolder;

// Every parameter with the text of its default, in declaration order, as a stored file has it.
const std::vector<std::pair<std::string, std::string>> DEFAULTS = {
    {"system/loglevel", "info"},
    {"system/physicsdebug", "0"},
    {"video/width", "1280"},
    {"video/height", "720"},
    {"video/fullscreen", "0"},
    {"video/fsaa", "0"},
    {"video/filters", "1"},
    {"video/decalcount", "1000"},
    {"audio/quality", "0"},
    {"audio/music", "1"},
    {"audio/filters", "1"},
    {"audio/audiblerange", "25.000000"},
    {"network/packetrate", "20"},
    {"network/versioncheckurl", "http://localhost/api/v1/updates"},
    {"network/highscoresurl", "http://localhost/api/v1/highscores"},
    {"network/onlinehighscores", "1"},
    {"network/announceserver", "localhost:4000"},
    {"network/punchthroughserver", "localhost:4000"},
    {"network/fileshareserver", "localhost:4021"},
    {"network/visiblewidth", "30.000000"},
    {"network/visibleheight", "20.000000"},
    {"network/prediction", "1.000000"},
    {"player1/name", ""},
    {"player1/skin", "0"},
    {"player1/controller", "1"},
    {"player1/gamepadlayout", "[Automatic]"},
    {"player2/name", "Player 2"},
    {"player2/skin", "0"},
    {"player2/controller", "2"},
    {"player2/gamepadlayout", "[Automatic]"},
    {"misc/controllerinfo", "16"},
    {"misc/level", ""},
    {"misc/sharepassword", ""},
    {"misc/versionchecktime", "0"},
    {"misc/latestversion", ""},
    {"misc/latestversionurl", ""},
    {"misc/message", ""},
};

// Numbers written below and above their limits, and what the configuration keeps of them.
struct TLimit
{
    const char* name;
    const char* low;
    const char* lowKept;
    const char* high;
    const char* highKept;
};
const TLimit LIMITS[] = {
    {"video/width", "100", "320", "9000", "8192"},
    {"video/height", "100", "200", "5000", "4096"},
    {"video/fsaa", "-1", "0", "65", "64"},
    {"video/decalcount", "-1", "0", "5001", "5000"},
    {"audio/quality", "-1", "0", "2", "1"},
    {"audio/audiblerange", "4", "5.000000", "101", "100.000000"},
    {"network/packetrate", "9", "10", "31", "30"},
    {"network/visiblewidth", "4.5", "5.000000", "51", "50.000000"},
    {"network/visibleheight", "4.5", "5.000000", "51", "50.000000"},
    {"network/prediction", "-0.5", "0.000000", "1.5", "1.000000"},
    {"player1/skin", "-1", "0", "4", "3"},
    {"player1/controller", "-1", "0", "4", "3"},
    {"player2/skin", "-1", "0", "4", "3"},
    {"player2/controller", "-1", "0", "4", "3"},
    {"misc/controllerinfo", "-1", "0", "256", "255"},
    // No limits at all: the minimum lies above the maximum.
    {"misc/versionchecktime", "-5", "-5", "2147483647", "2147483647"},
};

// True when the log has a line of that level whose text (after the time stamp) starts so.
bool logged(const std::string& log, char level, const std::string& text)
{
    const size_t TEXT_OFFSET = 26;
    size_t start = 0;
    while (start < log.size())
    {
        size_t end = log.find('\n', start);
        const std::string line =
            log.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.size() > TEXT_OFFSET && line[0] == level &&
            line.compare(TEXT_OFFSET, text.size(), text) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

bool isLowerCaseWord(const std::string& text)
{
    for (char c : text)
        if (c < 'a' || c > 'z')
            return false;
    return !text.empty();
}

std::string storedValue(const std::string& file, const std::string& name)
{
    brix::XMLElement root("");
    if (root.load(file) < 0)
        return "<unreadable>";
    const brix::XMLElement* element = root.findChild(name);
    return element ? element->getValue() : "<missing>";
}

// The application constructed but not run: configuration and log only.
class ApplicationConfiguration : public testing::Test
{
protected:
    std::string log() const { return test::readFile(user.file("application.log")); }

    UserFolder user;
};
} // namespace

TEST_F(ApplicationConfiguration, DeclaresAllParametersWithTheirDefaultsInOrder)
{
    std::unique_ptr<game::Application> application(new game::Application());
    brix::XMLElement root("configuration");
    application->getConfiguration().save(&root);
    std::vector<std::string> names;
    for (const brix::XMLElement* section = root.getChild(""); section;
         section = root.getNextChild(section, ""))
        for (const brix::XMLElement* key = section->getChild(""); key; key = section->getNextChild(key, ""))
            names.push_back(section->getName() + "/" + key->getName());
    ASSERT_EQ(names.size(), 37u);
    for (size_t i = 0; i < DEFAULTS.size(); ++i)
    {
        EXPECT_EQ(names[i], DEFAULTS[i].first);
        EXPECT_EQ(application->getConfiguration().get(DEFAULTS[i].first), DEFAULTS[i].second)
            << DEFAULTS[i].first;
    }
    EXPECT_EQ(root.getValueAsInteger("version", 0), 0x01040200);
    EXPECT_EQ(application->getPrediction(), 1.0f);
    application.reset();
    EXPECT_TRUE(logged(log(), 'I', "Application version: 1.4.2")) << log();
    EXPECT_TRUE(logged(log(), 'I', "Network protocol version: 0.21.0"));
}

TEST_F(ApplicationConfiguration, ClipsStoredNumbersToTheirLimitsAndKeepsLongStrings)
{
    std::vector<std::pair<std::string, std::string>> low, high;
    for (const TLimit& limit : LIMITS)
    {
        low.emplace_back(limit.name, limit.low);
        high.emplace_back(limit.name, limit.high);
    }
    // Too long for its 15 characters, kept whole all the same.
    low.emplace_back("misc/sharepassword", "abcdefghijklmnopqrst");
    user.writeConfiguration(low);
    {
        game::Application application;
        for (const TLimit& limit : LIMITS)
            EXPECT_EQ(application.getConfiguration().get(limit.name), limit.lowKept) << limit.name;
        EXPECT_EQ(application.getConfiguration().getString("misc/sharepassword"), "abcdefghijklmnopqrst");
    }
    user.writeConfiguration(high);
    game::Application application;
    for (const TLimit& limit : LIMITS)
        EXPECT_EQ(application.getConfiguration().get(limit.name), limit.highKept) << limit.name;
}

TEST_F(ApplicationConfiguration, ReadsEachValueOnlyFromFilesOfItsVersion)
{
    const std::vector<std::pair<std::string, std::string>> stored = {
        {"video/width", "800"},
        {"audio/audiblerange", "50"},
        {"network/visiblewidth", "40"},
        {"network/visibleheight", "10"},
        {"network/versioncheckurl", "http://example.invalid/updates"},
        {"network/highscoresurl", "http://example.invalid/scores"},
        {"network/onlinehighscores", "false"},
    };
    struct TCase
    {
        unsigned int version;
        bool readsRange;
        bool readsServices;
    };
    // Before 0.22.0 (or with no version at all) only the old values are read.
    for (TCase c : {TCase{0, false, false}, TCase{0x00150000, false, false}, TCase{0x00160000, true, false},
                    TCase{0x00170000, true, true}, TCase{0x01040200, true, true}})
    {
        user.writeConfiguration(stored, c.version);
        game::Application application;
        brix::Configuration& configuration = application.getConfiguration();
        EXPECT_EQ(configuration.getInteger("video/width"), 800);
        EXPECT_EQ(configuration.getFloat("audio/audiblerange"), c.readsRange ? 50.0f : 25.0f) << c.version;
        EXPECT_EQ(configuration.getFloat("network/visiblewidth"), c.readsRange ? 40.0f : 30.0f);
        EXPECT_EQ(configuration.getFloat("network/visibleheight"), c.readsRange ? 10.0f : 20.0f);
        EXPECT_EQ(configuration.getString("network/versioncheckurl"),
                  c.readsServices ? "http://example.invalid/updates" : "http://localhost/api/v1/updates");
        EXPECT_EQ(configuration.getString("network/highscoresurl"),
                  c.readsServices ? "http://example.invalid/scores" : "http://localhost/api/v1/highscores");
        EXPECT_EQ(configuration.getBoolean("network/onlinehighscores"), !c.readsServices);
    }
}

TEST(ApplicationStart, DamagedSettingsAreKeptAsideNamedOnTheFirstPageAndKeepTheSharePassword)
{
    std::string saved;
    {
        UserFolder user;
        user.writeConfiguration({{"video/width", "1024"},
                                 {"video/height", "600"},
                                 {"player1/name", "Alice"},
                                 {"misc/sharepassword", "secretpw"}});
        saved = test::readFile(user.file("configuration.xml"));
    }
    auto replaced = [&saved](const std::string& from, const std::string& to)
    { return std::string(saved).replace(saved.find(from), from.size(), to); };
    // The file, what the log says of it, whether it still reads (else it is kept aside) and
    // whether the share password is taken from it.
    const struct
    {
        std::string content;
        std::string logged;
        bool read;
        bool password;
    } cases[] = {
        {replaced("</sharepassword>", "</sharepasword>"), "' loading failed (-", false, true},
        {saved.substr(0, saved.find("</sharepassword>") + 16),
         "' loading failed (-202): Unexpected end of source data at /configuration/misc", false, true},
        {"", "' loading failed (-1): Unable to read source file", false, false},
        {std::string("\x89PNG\r\n\x1a\n\0\x01\xff", 11), "' loading failed (-", false, false},
        {replaced("<width>1024</width>", "<width>abc</width>"),
         "Invalid value 'abc' for configuration parameter 'video/width' ignored", true, true},
    };
    for (const auto& c : cases)
    {
        UserFolder user;
        test::writeFile(user.file("configuration.xml"), c.content);
        std::string page;
        std::vector<std::string> shown;
        std::map<std::string, std::string> values;
        GameRun::TOutcome outcome = GameRun::play(
            [&](GameRun& game)
            {
                if (&c == &cases[0])
                    game.wait(70);
                game.then(
                    [&](GameRun& game)
                    {
                        page = game.currentPage();
                        shown = game.getMessageDisplay()->getMessages();
                        for (const auto& parameter : DEFAULTS)
                            values[parameter.first] = game.getConfiguration().get(parameter.first);
                        const char* screens = std::getenv("KORVANE_SCREENS_DIR");
                        if (&c == &cases[0])
                            game.screenshot((screens ? screens : user.path()) +
                                            "/start-damaged-settings.png");
                    });
            },
            {"--no-update-check"});
        ASSERT_EQ(outcome.result, 0);
        const std::string log = test::readFile(user.file("application.log"));
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        const std::string password = storedValue(user.file("configuration.xml"), "misc/sharepassword");
        EXPECT_EQ(values["misc/sharepassword"], password);
        EXPECT_TRUE(c.password ? password == "secretpw" : isLowerCaseWord(password) && password.size() == 6)
            << password;
        std::vector<std::string> kept;
        for (const auto& entry : std::filesystem::directory_iterator(user.path()))
            if (entry.path().filename().string().rfind("configuration.xml.", 0) == 0)
                kept.push_back(entry.path().string());
        if (c.read)
        {
            // Every value that reads is taken; the one that does not keeps its default.
            EXPECT_EQ(kept.size() + shown.size(), 0u);
            EXPECT_EQ(page + " " + values["video/width"] + "x" + values["video/height"] + " " +
                          values["player1/name"],
                      "main 1280x600 Alice");
            continue;
        }
        // The player's file stays as it was beside a new one; the game starts on the defaults and
        // says where the old file went.
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(test::readFile(kept[0]), c.content);
        EXPECT_EQ(page, "player1");
        EXPECT_EQ(shown, std::vector<std::string>{
                             "Configuration unreadable (see application.log), kept as '" + kept[0] + "'"});
        for (const auto& parameter : DEFAULTS)
            if (parameter.first != "misc/sharepassword")
                EXPECT_EQ(values[parameter.first], parameter.second) << parameter.first;
    }
}

TEST_F(ApplicationConfiguration, LogLevelFollowsTheParameterAndRefusesOtherSpellings)
{
    user.writeConfiguration({{"system/loglevel", "error"}});
    {
        game::Application application;
        EXPECT_EQ(brix::Log::getLevel(), brix::Log::ERROR);
        application.getConfiguration().setString("system/loglevel", "debug");
        application.updateLogLevel();
        EXPECT_EQ(brix::Log::getLevel(), brix::Log::DEBUG);
    }
    // Opening the log sets debug; a level in another case is refused and leaves it.
    user.writeConfiguration({{"system/loglevel", "Debug"}});
    {
        game::Application application;
        EXPECT_EQ(brix::Log::getLevel(), brix::Log::DEBUG);
    }
    EXPECT_TRUE(logged(log(), 'E', "Invalid log level: Debug")) << log();
}

TEST(ApplicationUpdate, PredictsTicksFromTheInputAdvanceUpToFifteenAhead)
{
    // No prediction: the counter just after its increment.
    EXPECT_EQ(game::Application::predictTick(101, 20, 0.0f), 101);
    EXPECT_EQ(game::Application::predictTick(101, 4, 1.0f), 105);
    // An advance of 20 is capped at 15, and 14.9 ticks count as 14.
    EXPECT_EQ(game::Application::predictTick(101, 20, 1.0f), 116);
    EXPECT_EQ(game::Application::predictTick(101, 15, 1.0f), 116);
    EXPECT_EQ(game::Application::predictTick(101, 21, 0.71f), 115);
    EXPECT_EQ(game::Application::predictTick(101, 3, 0.5f), 102);
    // The counter wraps at 16 bits, and so does the prediction on top of it.
    EXPECT_EQ(game::Application::predictTick(0, 0, 1.0f), 0);
    EXPECT_EQ(game::Application::predictTick(65535, 0, 1.0f), 65535);
    EXPECT_EQ(game::Application::predictTick(65530, 20, 1.0f), 9);
}

namespace
{
// The pages of the menu tree, in order, with their items after the title line.
const std::vector<std::pair<std::string, std::vector<std::string>>> PAGES = {
    {"main", {"sp", "mp", "abort", "levels", "settings", "exit"}},
    {"sp", {"level", "score", "ready", "back"}},
    {"mp", {"host", "join", "restart", "back"}},
    {"host", {"level", "splitscreen", "players", "scorelimit", "port", "name", "password", "ready", "back"}},
    {"join", {"browse", "address", "port", "password", "ready", "back"}},
    {"restart", {"level", "scorelimit", "ready", "back"}},
    {"settings", {"player1", "player2", "system", "back"}},
    {"player1", {"name", "skin", "controller", "gamepadlayout", "ready", "back"}},
    {"player2", {"name", "skin", "controller", "gamepadlayout", "ready", "back"}},
    {"system", {"mode", "fullscreen", "fsaa", "vfilters", "music", "afilters", "audio", "ready", "back"}},
    {"chat", {"message"}},
    {"browse",
     {"header", "match0", "match1", "match2", "match3", "match4", "match5", "match6", "match7", "spacer",
      "previous", "next", "back"}},
    {"scoreboard",
     {"header", "player0", "player1", "player2", "player3", "player4", "player5", "player6", "player7"}},
    {"newscore", {"name", "ready"}},
    {"highscore",
     {"header", "score0", "score1", "score2", "score3", "score4", "spacer", "switch", "replay", "back"}},
    {"levels", {"download", "spacer", "level", "new", "edit", "delete", "upload", "back"}},
    {"delete", {"text", "yes", "no"}},
    {"upload", {"password", "upload", "back"}},
    {"download",
     {"header", "level0", "level1", "level2", "level3", "level4", "level5", "level6", "level7", "spacer",
      "previous", "next", "filter", "back"}},
    {"filter", {"type", "title", "author", "ready", "back"}},
    {"preview", {"title", "filename", "type", "author", "date", "spacer", "download", "back"}},
    {"editor", {"save", "properties", "exit"}},
    {"level", {"title", "author", "time", "next", "ready", "back"}},
};

// Items that are not selectable when the tree is built, with their state.
const std::map<std::string, int> BUILT_STATES = {
    {"main/__title__", 4},
    {"browse/header", 2},
    {"browse/spacer", 2},
    {"browse/previous", 3},
    {"browse/next", 3},
    {"scoreboard/header", 2},
    {"highscore/header", 2},
    {"highscore/spacer", 2},
    {"levels/spacer", 2},
    {"levels/delete", 3},
    // The first player plays by keyboard at first: no gamepad layout to choose.
    {"player1/gamepadlayout", 3},
    {"levels/upload", 3},
    {"delete/text", 2},
    {"download/header", 2},
    {"download/spacer", 2},
    {"download/previous", 3},
    {"download/next", 3},
    {"preview/title", 2},
    {"preview/filename", 2},
    {"preview/type", 2},
    {"preview/author", 2},
    {"preview/date", 2},
    {"preview/spacer", 2},
    // Opening the menu outside a game fades what only a game offers.
    {"main/abort", 3},
    {"mp/restart", 3},
    // The first page shown is player 1's, whose keyboard has no gamepad layout to choose.
    {"player1/gamepadlayout", 3},
};

// Where each item with a target page leads.
const std::vector<std::pair<std::string, std::string>> TARGETS = {
    {"main/sp", "sp"},
    {"main/mp", "mp"},
    {"main/levels", "levels"},
    {"main/settings", "settings"},
    {"sp/score", "highscore"},
    {"sp/back", "main"},
    {"mp/host", "host"},
    {"mp/join", "join"},
    {"mp/back", "main"},
    {"host/back", "mp"},
    {"join/browse", "browse"},
    {"join/back", "mp"},
    {"restart/back", "mp"},
    {"settings/player1", "player1"},
    {"settings/player2", "player2"},
    {"settings/system", "system"},
    {"settings/back", "main"},
    {"player1/ready", "main"},
    {"player1/back", "settings"},
    {"player2/ready", "main"},
    {"player2/back", "settings"},
    {"system/ready", "main"},
    {"system/back", "settings"},
    {"browse/back", "join"},
    {"newscore/ready", "highscore"},
    {"highscore/back", "sp"},
    {"levels/download", "download"},
    {"levels/back", "main"},
    {"delete/yes", "levels"},
    {"delete/no", "levels"},
    {"upload/upload", "levels"},
    {"upload/back", "levels"},
    {"download/filter", "filter"},
    {"download/back", "levels"},
    {"filter/ready", "download"},
    {"filter/back", "download"},
    {"preview/download", "download"},
    {"preview/back", "download"},
    {"editor/properties", "level"},
    {"editor/exit", "main"},
    {"level/ready", "editor"},
    {"level/back", "editor"},
};

std::vector<std::string> itemNames(brix::OgreMenuPage* page)
{
    std::vector<std::string> names;
    for (unsigned int i = 1; i < page->getItemCount(); ++i)
        names.push_back(page->getItem(i)->getName());
    return names;
}

// Types the text into the named text item, as the keyboard would, and returns its value.
std::string typeInto(GameRun& game, const std::string& page, const std::string& item, const std::string& text)
{
    game.getMenu()->show(page);
    game.getMenu()->getPage(page)->setCurrentItem(item);
    game.type(text);
    return game.item(page, item)->getValue();
}
} // namespace

TEST(ApplicationMenus, BuildsTheTwentyThreePagesWithTheirItemsStatesTargetsAndValidators)
{
    UserFolder user;
    user.writeTestConfiguration({{"misc/sharepassword", "ABCdefghijklmnopqrst"},
                                 {"video/fsaa", "2"},
                                 {"player2/skin", "7"},
                                 {"player2/controller", "3"},
                                 {"player1/gamepadlayout", "no such pad"},
                                 {"audio/quality", "1"}});
    std::vector<std::string> pages;
    std::map<std::string, std::vector<std::string>> items;
    std::map<std::string, int> states;
    std::vector<std::pair<std::string, std::string>> reached;
    std::map<std::string, std::string> values;
    std::map<std::string, std::string> typed;
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    brix::OgreMenu* menu = game.getMenu();
                    for (const auto& page : PAGES)
                    {
                        brix::OgreMenuPage* menuPage = menu->getPage(page.first);
                        if (!menuPage)
                            continue;
                        pages.push_back(page.first);
                        items[page.first] = itemNames(menuPage);
                        for (unsigned int i = 0; i < menuPage->getItemCount(); ++i)
                            if (menuPage->getItem(i)->getState() > brix::OgreMenuItem::STATE_READ_ONLY &&
                                i > 0)
                                states[page.first + "/" + menuPage->getItem(i)->getName()] =
                                    menuPage->getItem(i)->getState();
                    }
                    states["main/__title__"] = menu->getPage("main")->getItem(0u)->getState();
                    for (const char* name :
                         {"upload/password", "system/fsaa", "system/audio", "system/music", "player2/skin",
                          "player2/controller", "player1/gamepadlayout", "player1/name", "host/port",
                          "join/address", "host/players", "host/scorelimit", "level/time", "filter/type",
                          "host/level", "restart/level", "sp/level", "levels/level"})
                    {
                        std::string text = name;
                        size_t slash = text.find('/');
                        brix::OgreMenuItem* item = game.item(text.substr(0, slash), text.substr(slash + 1));
                        values[name] =
                            text == "player2/skin" ? std::to_string(item->getIndex()) : item->getValue();
                    }
                    // The typed character filter of the port, level-name and share-password fields.
                    typed["host/port"] = typeInto(game, "host", "port", "\b\b\b\b\ba1.9 ");
                    typed["join/port"] = typeInto(game, "join", "port", "\b\b\b\b\b65535x6");
                    typed["levels/new"] = typeInto(game, "levels", "new", "My Level-2_.x");
                    typed["upload/password"] =
                        typeInto(game, "upload", "password", "\b\b\b\b\b\b\b\b\b\b\b\b\b\b\bQ w.e");
                    // Unfiltered fields take any character.
                    typed["join/password"] = typeInto(game, "join", "password", "A b.C");
                });
            // Each item with a target page shows that page when activated.
            game.then(
                [&](GameRun& game)
                {
                    for (const auto& target : TARGETS)
                    {
                        size_t slash = target.first.find('/');
                        const std::string page = target.first.substr(0, slash);
                        game.getMenu()->show(page);
                        game.item(page, target.first.substr(slash + 1))
                            ->handleCommand(brix::OgreMenuItem::COMMAND_ACTIVATE);
                        reached.emplace_back(target.first, game.currentPage());
                    }
                });
        });
    EXPECT_EQ(outcome.result, 0);
    ASSERT_EQ(pages.size(), 23u);
    for (const auto& page : PAGES)
        EXPECT_EQ(items[page.first], page.second) << page.first;
    EXPECT_EQ(states, BUILT_STATES);
    EXPECT_EQ(reached, TARGETS);

    // Stored values go in as they are (cut to the length), clamped to the item's range.
    EXPECT_EQ(values["upload/password"], "ABCdefghijklmno");
    EXPECT_EQ(values["system/fsaa"], "2");
    EXPECT_EQ(values["system/audio"], "High");
    EXPECT_EQ(values["system/music"], "Off");
    EXPECT_EQ(values["player2/skin"], "3");
    EXPECT_EQ(values["player2/controller"], "Gamepad 2");
    EXPECT_EQ(values["player1/gamepadlayout"], "[Automatic]");
    EXPECT_EQ(values["player1/name"], "Tester");
    EXPECT_EQ(values["host/port"], "26001");
    EXPECT_EQ(values["join/address"], "127.0.0.1");
    EXPECT_EQ(values["host/players"], "4");
    EXPECT_EQ(values["host/scorelimit"], "10000");
    EXPECT_EQ(values["level/time"], "120");
    EXPECT_EQ(values["filter/type"], "All");
    // The level lists hold the levels found: the shipped multiplayer and single-player levels,
    // and for editing only a new level, since the user has none and the game no --developer.
    EXPECT_EQ(values["host/level"], "arena");
    EXPECT_EQ(values["restart/level"], "arena");
    EXPECT_EQ(values["sp/level"], "sp01");
    EXPECT_EQ(values["levels/level"], "[create new]");

    EXPECT_EQ(typed["host/port"], "19");
    EXPECT_EQ(typed["join/port"], "65535");
    EXPECT_EQ(typed["levels/new"], "mylevel-2_x");
    EXPECT_EQ(typed["upload/password"], "qwe");
    EXPECT_EQ(typed["join/password"], "A b.C");
}

TEST(ApplicationStart, FirstStartOpensThePlayerPageAndStoresAShareAndVersion)
{
    UserFolder user;
    user.writeConfiguration({{"video/width", "640"}, {"video/height", "360"}});
    std::string firstPage, backState, password, storedVersion, storedPassword;
    std::vector<std::string> walked;
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    firstPage = game.currentPage();
                    backState = std::to_string(game.item("player1", "back")->getState());
                    password = game.getConfiguration().getString("misc/sharepassword");
                    storedVersion = storedValue(user.file("configuration.xml"), "version");
                    storedPassword = storedValue(user.file("configuration.xml"), "misc/sharepassword");
                });
            // The gamepad layout is skipped for the keyboard; "ready" leads to the main page,
            // where Up wraps to "Exit".
            for (test::Key key : {test::KEY_DOWN, test::KEY_DOWN, test::KEY_DOWN, test::KEY_ENTER,
                                  test::KEY_UP, test::KEY_ENTER})
                game.then(
                    [&, key](GameRun& game)
                    {
                        game.press(key);
                        walked.push_back(game.currentPage() + "/" + game.currentItem());
                    });
            game.wait(5);
        },
        {"--no-update-check"});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.endedByGame) << "Exit ends the game";
    EXPECT_EQ(firstPage, "player1");
    EXPECT_EQ(backState, "3");
    EXPECT_EQ(password.size(), 6u);
    EXPECT_TRUE(isLowerCaseWord(password)) << password;
    EXPECT_EQ(storedPassword, password);
    EXPECT_EQ(storedVersion, std::to_string(0x01040200));
    EXPECT_EQ(walked, (std::vector<std::string>{"player1/skin", "player1/controller", "player1/ready",
                                                "main/sp", "main/exit", "main/exit"}));

    // A later start keeps the password; asked for Direct3D, it renders with OpenGL.
    GameRun::TOutcome later = GameRun::play([](GameRun&) {}, {"--no-update-check", "--direct3d"});
    EXPECT_EQ(later.result, 0);
    EXPECT_EQ(storedValue(user.file("configuration.xml"), "misc/sharepassword"), password);
    const std::string log = test::readFile(user.file("application.log"));
    EXPECT_TRUE(logged(log, 'I', "Direct3D is not available on this platform, using OpenGL instead")) << log;
    EXPECT_TRUE(logged(log, 'I', "Unable to load plug-in: lib/Plugin_CgProgramManager.dll"));
    struct stat info;
    EXPECT_EQ(stat(user.file("screenshots").c_str(), &info), 0);
    EXPECT_EQ(stat(user.file("levels").c_str(), &info), 0);
}

TEST(ApplicationStart, KeysNavigateTheMenuPagesAndTheMenuFrameFollowsTheMainPage)
{
    UserFolder user;
    user.writeTestConfiguration();
    const char* screens = std::getenv("KORVANE_SCREENS_DIR");
    const std::string folder = screens ? screens : user.path();
    std::vector<std::string> seen;
    float mainSlide = 0.0f, settingsSlide = 1.0f;
    std::string closedPage, forcedPage;
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            auto see = [&](GameRun& game) { seen.push_back(game.currentPage() + "/" + game.currentItem()); };
            // The logo and footer slide in over half a second.
            game.wait(70);
            game.then(
                [&, see](GameRun& game)
                {
                    mainSlide = game.getMenuFrame()->getSlidePosition();
                    game.screenshot(folder + "/menu-main.png");
                    see(game);
                });
            // Settings (sp, mp, levels, settings), then the system page.
            for (test::Key key : {test::KEY_DOWN, test::KEY_DOWN, test::KEY_DOWN, test::KEY_ENTER,
                                  test::KEY_DOWN, test::KEY_DOWN, test::KEY_ENTER})
                game.then(
                    [see, key](GameRun& game)
                    {
                        game.press(key);
                        see(game);
                    });
            game.wait(70);
            game.then(
                [&](GameRun& game)
                {
                    settingsSlide = game.getMenuFrame()->getSlidePosition();
                    game.screenshot(folder + "/menu-system.png");
                });
            // Back to settings, back to main, then into "Multiplayer" and "Host match".
            for (test::Key key : {test::KEY_UP, test::KEY_ENTER, test::KEY_UP, test::KEY_ENTER, test::KEY_UP,
                                  test::KEY_UP, test::KEY_UP, test::KEY_UP, test::KEY_ENTER, test::KEY_ENTER})
                game.then(
                    [see, key](GameRun& game)
                    {
                        game.press(key);
                        see(game);
                    });
            game.wait(3);
            game.then([&](GameRun& game) { game.screenshot(folder + "/menu-host.png"); });
            // Outside a game the menu stays open unless forced shut.
            game.then(
                [&](GameRun& game)
                {
                    game.closeMenu(false);
                    closedPage = game.currentPage();
                    game.closeMenu(true);
                    forcedPage = game.currentPage();
                    game.openMenu("");
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.endedByGame);
    EXPECT_EQ(mainSlide, 1.0f);
    EXPECT_EQ(settingsSlide, 0.0f);
    EXPECT_EQ(closedPage, "host");
    EXPECT_EQ(forcedPage, "");
    EXPECT_EQ(seen, (std::vector<std::string>{"main/sp", "main/mp", "main/levels", "main/settings",
                                              "settings/player1", "settings/player2", "settings/system",
                                              "system/mode", "system/back", "settings/player1",
                                              "settings/back", "main/sp", "main/exit", "main/settings",
                                              "main/levels", "main/mp", "mp/host", "host/ready"}));
    for (const char* shot : {"menu-main.png", "menu-system.png", "menu-host.png"})
    {
        const std::string png = test::readFile(folder + "/" + shot);
        ASSERT_GT(png.size(), 8u) << shot;
        EXPECT_EQ(png.substr(1, 3), "PNG");
    }
}

TEST(ApplicationStart, HostOptionTakesOnlyALevelTheHostPageOffers)
{
    UserFolder user;
    user.writeTestConfiguration();
    bool requested = true;
    std::string name;
    GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    requested = game.isHostRequested();
                    name = game.item("host", "name")->getValue();
                });
        },
        {"--no-update-check", "--online-name", "Friday", "--host", "nosuchlevel"});
    // Hosting another level than the one asked for would be a surprise: nothing is hosted.
    EXPECT_FALSE(requested);
    EXPECT_EQ(name, "Friday");
    EXPECT_TRUE(logged(test::readFile(user.file("application.log")), 'E',
                       "Level 'nosuchlevel' given with --host not found"));

    // "--host" without a level after it counts as absent, and so does "--online-name".
    GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    requested = game.isHostRequested();
                    name = game.item("host", "name")->getValue();
                });
        },
        {"--no-update-check", "--host"});
    EXPECT_FALSE(requested);
    EXPECT_EQ(name, "");

    // A level the host page offers is taken.
    UserFolder hostUser;
    hostUser.writeTestConfiguration();
    std::string level;
    GameRun::play([&](GameRun& game)
                  { game.then([&](GameRun& game) { level = game.item("host", "level")->getValue(); }); },
                  {"--no-update-check", "--host", "arena"});
    EXPECT_EQ(level, "arena");
    EXPECT_FALSE(logged(test::readFile(hostUser.file("application.log")), 'E',
                        "Level 'arena' given with --host not found"));
}

TEST(ApplicationStart, ErrorsEndTheGameWithTheirTextAndResultOne)
{
    UserFolder user;
    // Before the game has opened its log there is no log to point to.
    testing::internal::CaptureStderr();
    int result = game::Application::runGuarded(
        []() -> std::unique_ptr<game::Application> { throw std::runtime_error("disk on fire"); }, 0, nullptr);
    std::string error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(error, "Application error (std::exception): disk on fire\n");

    testing::internal::CaptureStderr();
    result =
        game::Application::runGuarded([]() -> std::unique_ptr<game::Application> { throw 42; }, 0, nullptr);
    error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(error, "Caught unknown exception\n");

    // Started where there is no data folder: said as such, naming the log.
    test::TempDir elsewhere;
    const std::filesystem::path sourceRoot = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.path());
    testing::internal::CaptureStderr();
    result = GameRun::play([](GameRun&) {}, {"--no-update-check"}).result;
    error = testing::internal::GetCapturedStderr();
    std::filesystem::current_path(sourceRoot);
    EXPECT_EQ(result, 1);
    const std::string missingData = "Data folder 'data' not found in '" + elsewhere.path() + "'";
    EXPECT_EQ(error, "Application error (Ogre::Exception): " + missingData + "\n\nSee " +
                         user.file("application.log") + " for details.\n");
}

namespace
{
// Runs the launcher of the build with the environment given, and returns its exit code and
// what it wrote to stderr.
int runLauncher(const std::string& launcher, const std::string& environment, std::string& error)
{
    test::TempDir out;
    const std::string command = environment + " " + launcher + " --no-update-check 2>" + out.file("stderr");
    int status = std::system(command.c_str());
    error = test::readFile(out.file("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST(ApplicationStart, MissingPluginEndsTheGameWithItsErrorAndExitCodeOne)
{
    const char* binary = std::getenv("KORVANE_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    const std::string build = binary;
    // A copy of the build's program and libraries without the PNG plug-in.
    test::TempDir install;
    std::string setup = "mkdir -p " + install.file("bin") + " " + install.file("lib") + " && cp " + build +
                        "/bin/korvane " + install.file("bin") + " && for f in " + build +
                        "/lib/lib*.so; do ln -s \"$f\" " + install.file("lib") + "/; done";
    ASSERT_EQ(std::system(setup.c_str()), 0);
    UserFolder user;
    std::string error;
    const int result =
        runLauncher(install.file("bin/korvane"), "LD_LIBRARY_PATH=" + install.file("lib"), error);
    EXPECT_EQ(result, 1) << error;
    EXPECT_NE(error.find("Application error (Ogre::Exception)"), std::string::npos) << error;
    EXPECT_NE(error.find("imagepng"), std::string::npos) << error;
    EXPECT_NE(error.find("\n\nSee " + user.file("application.log") + " for details."), std::string::npos)
        << error;
    const std::string log = test::readFile(user.file("application.log"));
    EXPECT_TRUE(logged(log, 'E', "Application error (Ogre::Exception): ")) << log;
    EXPECT_NE(log.find("imagepng"), std::string::npos);
}

TEST(ApplicationStart, MenuKeysOpenPagesTakeAScreenshotAndEndTheGame)
{
    UserFolder user;
    user.writeTestConfiguration();
    std::vector<std::string> pages;
    auto see = [&pages](GameRun& game) { pages.push_back(game.currentPage()); };
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.thenPress(test::KEY_DOWN);
            game.thenPress(test::KEY_ENTER);
            game.then(see);
            // Escape outside a game opens the main page again; events arrive with the next tick.
            game.thenPress(test::KEY_ESCAPE);
            game.wait(5);
            game.then(see);
            game.thenPress(test::KEY_F9);
            game.wait(5);
            // A screenshot that cannot be written (its folder is now a file) leaves the game running.
            game.then(
                [&user](GameRun&)
                {
                    std::rename(user.file("screenshots").c_str(), user.file("taken").c_str());
                    test::writeFile(user.file("screenshots"), "not a folder");
                });
            game.thenPress(test::KEY_F9);
            game.wait(5);
            // With the menu closed, T opens the chat page.
            game.then([](GameRun& game) { game.closeMenu(true); });
            game.then(see);
            game.thenPress(static_cast<test::Key>(84));
            game.wait(5);
            game.then(see);
            game.thenPress(static_cast<test::Key>(301));
            game.wait(50);
        },
        {"--no-update-check"});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.endedByGame) << "F12 ends the game";
    EXPECT_EQ(pages, (std::vector<std::string>{"mp", "main", "", "chat"}));

    std::vector<std::string> shots;
    if (DIR* folder = opendir(user.file("taken").c_str()))
    {
        while (dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.')
                shots.push_back(entry->d_name);
        closedir(folder);
    }
    ASSERT_EQ(shots.size(), 1u);
    // "screenshot-" + YYYYmmdd-HHMMSS + ".png"
    const std::string& shot = shots[0];
    ASSERT_EQ(shot.size(), 30u) << shot;
    EXPECT_EQ(shot.substr(0, 11), "screenshot-");
    EXPECT_EQ(shot.substr(19, 1), "-");
    EXPECT_EQ(shot.substr(26), ".png");
    EXPECT_EQ(test::readFile(user.file("taken/" + shot)).substr(1, 3), "PNG");
}

namespace
{
struct TVersionCheck
{
    bool asked = false;
    bool newVersion = false;
    // What the message display held when the check had ended.
    std::vector<std::string> messages;
};

// A scripted service waits this long for the game to ask: the game asks once it has started,
// which takes a loaded machine many seconds.
const unsigned int GAME_START_PATIENCE_MS = 60000;

// Starts the game with these stored values and runs it until its version check, if it makes
// one, has its answer: at most 3000 frames, of 10 ms at least, which outlast the HTTP client's
// own time-outs however slowly a loaded machine answers. Asked: the stored time of the last
// check changed.
TVersionCheck checkVersion(const UserFolder& user, std::vector<std::pair<std::string, std::string>> values)
{
    std::string lastCheck = "0";
    for (const auto& value : values)
        if (value.first == "misc/versionchecktime")
            lastCheck = value.second;
    user.writeTestConfiguration(values);
    TVersionCheck check;
    GameRun::play(
        [&](GameRun& game)
        {
            for (int frame = 0; frame < 3000; ++frame)
                game.then(
                    [&](GameRun& game)
                    {
                        check.newVersion = game.isNewVersionAvailable();
                        check.messages = game.getMessageDisplay()->getMessages();
                        if (!game.isUpdateCheckRunning())
                            game.stop();
                    });
        });
    check.asked = storedValue(user.file("configuration.xml"), "misc/versionchecktime") != lastCheck;
    return check;
}
} // namespace

TEST(ApplicationVersionCheck, AsksOnceADayAndKeepsTheAnswer)
{
    test::WebService service("1.5.0");
    ASSERT_TRUE(service.process.isRunning());
    UserFolder user;
    const std::string configuration = user.file("configuration.xml");
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    TVersionCheck check = checkVersion(user, {{"network/versioncheckurl", service.url("/api/v1/updates")}});
    EXPECT_TRUE(check.asked);
    EXPECT_TRUE(check.newVersion);
    EXPECT_EQ(storedValue(configuration, "misc/latestversion"), "1.5.0");
    EXPECT_EQ(storedValue(configuration, "misc/latestversionurl"), "http://example.invalid/korvane");
    EXPECT_EQ(storedValue(configuration, "misc/message"), "A new version is out");
    const int64_t checked = std::stoll(storedValue(configuration, "misc/versionchecktime"));
    EXPECT_GE(checked, before);
    EXPECT_LE(checked, static_cast<int64_t>(std::time(nullptr)));

    // Within a day the stored answer is shown without asking.
    const std::string now = std::to_string(std::time(nullptr) - 100);
    check = checkVersion(user, {{"network/versioncheckurl", service.url("/api/v1/updates")},
                                {"misc/versionchecktime", now},
                                {"misc/latestversion", "1.4.3"}});
    EXPECT_FALSE(check.asked);
    EXPECT_TRUE(check.newVersion);
    // The running version itself is no news.
    check = checkVersion(user, {{"misc/versionchecktime", now}, {"misc/latestversion", "1.4.2"}});
    EXPECT_FALSE(check.newVersion);
    // No address, no check.
    check = checkVersion(user, {{"network/versioncheckurl", ""}});
    EXPECT_FALSE(check.asked);
    EXPECT_FALSE(check.newVersion);

    // Whatever the service's message holds, it is shown without control or bidirectional
    // characters.
    test::ScriptedServer stranger(
        [](int socket)
        {
            test::ScriptedServer::readAvailable(socket);
            const std::string body = "<update><version>1.4.2</version><url></url>"
                                     "<message>Re\x1b[2Jad\xe2\x80\xae me\xc2\x9b</message></update>";
            test::ScriptedServer::send(socket, "HTTP/1.0 200 OK\r\nContent-Length: " +
                                                   std::to_string(body.size()) + "\r\n\r\n" + body);
        },
        1, GAME_START_PATIENCE_MS);
    check =
        checkVersion(user, {{"network/versioncheckurl", "http://" + stranger.address() + "/api/v1/updates"}});
    EXPECT_TRUE(check.asked);
    EXPECT_EQ(1, std::count(check.messages.begin(), check.messages.end(), "Re[2Jad me"));
}

TEST(ApplicationVersionCheck, FailedCheckKeepsTheLastAnswerAndWaitsADay)
{
    UserFolder user;
    const std::string configuration = user.file("configuration.xml");
    // Nothing listens there: the request fails.
    const std::string closed = "http://127.0.0.1:" + std::to_string(test::freeTcpPort()) + "/api/v1/updates";
    TVersionCheck check = checkVersion(user, {{"network/versioncheckurl", closed},
                                              {"misc/latestversion", "1.4.2"},
                                              {"misc/message", "Stored"},
                                              {"misc/versionchecktime", "1000"}});
    EXPECT_TRUE(check.asked);
    EXPECT_FALSE(check.newVersion);
    EXPECT_EQ(storedValue(configuration, "misc/latestversion"), "1.4.2");
    EXPECT_EQ(storedValue(configuration, "misc/message"), "Stored");
    EXPECT_GT(std::stoll(storedValue(configuration, "misc/versionchecktime")), 1000);

    // "--no-update-check" starts none, whatever the time.
    user.writeTestConfiguration({{"network/versioncheckurl", closed}});
    GameRun::play([](GameRun& game) { game.wait(20); }, {"--no-update-check"});
    EXPECT_EQ(storedValue(configuration, "misc/versionchecktime"), "0");
}

TEST(ApplicationUpdate, AdvancesTheWorldOneTickPerDueTickAndNoneOnFramesWithout)
{
    UserFolder user;
    user.writeTestConfiguration();
    std::vector<int> ticks;
    GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    game::EntityManager* world = game.getEntityManager();
                    const uint16_t start = world->getTick();
                    for (unsigned int due : {0u, 1u, 4u, 0u, 2u})
                    {
                        EXPECT_TRUE(game.updateGame(due, 0.01f, 0.005f));
                        ticks.push_back(static_cast<uint16_t>(world->getTick() - start));
                        // Outside a match nothing predicts ahead: the world runs to the counter.
                        EXPECT_EQ(world->getSimulatedTick(), world->getTick());
                    }
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(ticks, (std::vector<int>{0, 1, 5, 5, 7}));
}

TEST(ApplicationVersionCheck, EndingTheGameWaitsForARunningCheckAndDropsItsAnswer)
{
    // A service that answers a newer version only once the game is on its way out, however
    // long the game took to start (it answers anyway after a minute).
    std::atomic<bool> stopping{false};
    test::ScriptedServer slow(
        [&](int socket)
        {
            test::ScriptedServer::readLine(socket);
            for (int waited = 0; !stopping && waited < 60000; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            const std::string body = "<update><version>9.0.0</version><url>http://example.invalid</url>"
                                     "<message>Late</message></update>";
            test::ScriptedServer::send(socket, "HTTP/1.0 200 OK\r\nContent-Length: " +
                                                   std::to_string(body.size()) + "\r\n\r\n" + body);
        },
        1, GAME_START_PATIENCE_MS);
    UserFolder user;
    user.writeTestConfiguration(
        {{"network/versioncheckurl", "http://" + slow.address() + "/api/v1/updates"}});
    bool running = false;
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    running = game.isUpdateCheckRunning();
                    stopping = true;
                    game.stop();
                });
        });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(running);
    // The answer came after the game ended: nothing of it is stored.
    EXPECT_EQ(storedValue(user.file("configuration.xml"), "misc/latestversion"), "");
    EXPECT_EQ(storedValue(user.file("configuration.xml"), "misc/versionchecktime"), "0");
}

TEST(ApplicationVersionCheck, F4OpensOnlyAWebAddressOfANewerVersion)
{
    UserFolder user;
    const std::string today = std::to_string(std::time(nullptr));
    // Without a newer version F4 does nothing; with one whose address is no web address, the
    // game neither opens it nor ends.
    for (const char* latest : {"1.4.2", "1.4.3"})
    {
        user.writeTestConfiguration({{"misc/versionchecktime", today},
                                     {"misc/latestversion", latest},
                                     {"misc/latestversionurl", "file:///etc/passwd\x1b[2J"}});
        bool newVersion = false;
        GameRun::TOutcome outcome = GameRun::play(
            [&](GameRun& game)
            {
                game.then([&](GameRun& game) { newVersion = game.isNewVersionAvailable(); });
                game.thenPress(static_cast<test::Key>(293));
                game.wait(10);
            });
        EXPECT_EQ(newVersion, std::string(latest) == "1.4.3");
        EXPECT_FALSE(outcome.endedByGame) << latest;
    }
    EXPECT_TRUE(logged(test::readFile(user.file("application.log")), 'E',
                       "Download address 'file:///etc/passwd[2J' is not a web address"));
}
