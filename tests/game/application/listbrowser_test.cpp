#include "game/application/filesharebrowser.h"
#include "game/application/listbrowser.h"
#include "game/application/matchbrowser.h"
#include "game/level/level.h"
#include "network/networkserver.h"

#include "support/game/gameworld.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"
#include "support/loopback.h"
#include "support/services.h"
#include "support/tempdir.h"
#include "toolkit/file.h"
#include "toolkit/stringutil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{
using game::FileShareBrowser;
using game::ListBrowser;
using test::ScriptedServer;

// What the page listener was told, call by call.
struct Pages : public ListBrowser::PageListener
{
    void onPageUpdate(unsigned int browserId, int state) override { reports.push_back({browserId, state}); }
    std::vector<std::pair<unsigned int, int>> reports;
};

// A list of a given length whose rows are their entry numbers.
class CountingBrowser : public ListBrowser
{
public:
    CountingBrowser() : ListBrowser(7, 8, 10) {}
    void setEntries(unsigned int count) { setItemCount(count, STATE_READY); }
    std::string getItemTitle(unsigned int row) override { return std::to_string(getEntryIndex(row)); }
    std::string getItemDescription(unsigned int) override { return std::string(); }
    void refresh() override {}
    void update() override {}
};

TEST(ListBrowser, PagesRunsOfEightRowsAndKeepsThePageWithinTheList)
{
    CountingBrowser browser;
    Pages pages;
    browser.setPageListener(&pages);
    EXPECT_EQ(0u, browser.getPageCount());
    EXPECT_EQ(0u, browser.getItemCountOnPage());

    browser.setEntries(17);
    ASSERT_EQ(1u, pages.reports.size());
    EXPECT_EQ(7u, pages.reports[0].first);
    EXPECT_EQ(ListBrowser::STATE_READY, pages.reports[0].second);
    EXPECT_EQ(3u, browser.getPageCount());
    EXPECT_EQ(8u, browser.getItemCountOnPage());

    browser.nextPage();
    browser.nextPage();
    EXPECT_EQ(2u, browser.getPage());
    EXPECT_EQ(1u, browser.getItemCountOnPage());
    EXPECT_EQ("16", browser.getItemTitle(0));
    browser.nextPage();
    EXPECT_EQ(2u, browser.getPage());
    browser.setPage(99);
    EXPECT_EQ(2u, browser.getPage());
    browser.previousPage();
    EXPECT_EQ(1u, browser.getPage());
    EXPECT_EQ("8", browser.getItemTitle(0));

    // A shorter list takes the page back to its last one; an empty one to page 0.
    browser.setEntries(8);
    EXPECT_EQ(0u, browser.getPage());
    EXPECT_EQ(1u, browser.getPageCount());
    browser.previousPage();
    EXPECT_EQ(0u, browser.getPage());
    browser.setEntries(0);
    browser.setPage(3);
    EXPECT_EQ(0u, browser.getPage());
    EXPECT_EQ(0u, browser.getItemCountOnPage());
}

// A start point as a level file holds it.
std::string start(const char* name)
{
    return std::string("<point><type>special</type><position>0 0 0</position><name>") + name +
           "</name></point>";
}

// A multiplayer start with as many positions as given, as a level file holds it.
std::string route(unsigned int positions)
{
    std::string point = "<point><type>special</type>";
    while (positions-- > 0)
        point += "<position>0 0 0</position>";
    return point + "<name>mpstart</name></point>";
}

const std::string SINGLE = "<level><title>Red Canyon</title><author>Ann Lee</author><points>" +
                           start("spstart") + "</points></level>\n";
const std::string MULTI =
    "<level><title>Pit</title><author>Bob</author><points>" + start("mpstart") + "</points></level>\n";
const std::string BOTH = "<level><title>Twin Pit</title><author>Ann Lee</author><points>" + start("spstart") +
                         start("mpstart") + "</points></level>\n";

struct Transfers : public FileShareBrowser::FileTransferListener
{
    void onUploadComplete(const std::string& file) override { uploaded.push_back(file); }
    void onDownloadComplete(const std::string& file) override { downloaded.push_back(file); }
    std::vector<std::string> uploaded;
    std::vector<std::string> downloaded;
};

// Refreshes until the listing holds count entries, polling as the game does once per update.
bool listUntil(FileShareBrowser& browser, unsigned int count)
{
    return test::pollUntil(
        [&]
        {
            browser.update();
            if (browser.getListState() != ListBrowser::STATE_REFRESHING)
            {
                if (browser.getItemCount() == count)
                    return;
                browser.refresh();
            }
        },
        [&] { return browser.getListState() == ListBrowser::STATE_READY && browser.getItemCount() == count; },
        15000, 50);
}

// Polls until the running transfer is reported.
void finishTransfer(FileShareBrowser& browser, const Transfers& transfers, size_t reports)
{
    test::pollUntil([&] { browser.update(); },
                    [&] { return transfers.uploaded.size() + transfers.downloaded.size() == reports; }, 10000,
                    20);
}

// Polls until the browser has logged the line (its messages are logged as they are shown).
bool toldUntil(FileShareBrowser& browser, const test::LogCapture& log, const std::string& line)
{
    return test::pollUntil([&] { browser.update(); },
                           [&]
                           {
                               const std::vector<std::string> lines = log.lines();
                               return std::find(lines.begin(), lines.end(), line) != lines.end();
                           },
                           10000, 20);
}

// The files of a folder by name.
std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.insert(entry.path().filename().string());
    return files;
}

TEST(FileShareBrowser, ListsFiltersDownloadsAndUploadsSharedLevels)
{
    test::FileShareService service;
    ASSERT_TRUE(service.process.isRunning());
    test::writeFile(service.levels() + "/canyon.xml", SINGLE);
    test::writeFile(service.levels() + "/pit.xml", MULTI);
    test::writeFile(service.levels() + "/twin.xml", BOTH);
    // A stranger's name, title and author with escape, bidirectional and ill-formed bytes, and
    // a title that would fill the type column of its row.
    test::writeFile(service.levels() + "/ev\xe2\x80\xaeil.xml",
                    "<level><title>Re\x1b[2Jd\xe2\x81\xa7 Al\xff"
                    "ert|SM</title><author>Ev\xc2\x85"
                    "e</author><points><point><name>mpstart</name></point></points></level>\n");
    test::TempDir local;
    test::LevelWorld world;
    // The game world tells the level which prototypes exist, as in the game.
    test::GameWorld entities(world);
    entities.loadEntities();

    FileShareBrowser browser(0, 8, 10);
    browser.initialize(service.server(), local.path(), nullptr, world.level());
    Pages pages;
    Transfers transfers;
    browser.setPageListener(&pages);
    browser.setTransferListener(&transfers);
    browser.refresh();
    ASSERT_FALSE(pages.reports.empty());
    EXPECT_EQ(ListBrowser::STATE_REFRESHING, pages.reports[0].second);
    ASSERT_TRUE(listUntil(browser, 4));
    EXPECT_EQ(ListBrowser::STATE_READY, pages.reports.back().second);

    std::vector<std::string> titles;
    for (unsigned int row = 0; row < browser.getItemCountOnPage(); ++row)
        titles.push_back(browser.getItemTitle(row));
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ((std::vector<std::string>{"canyon|Red Canyon|S", "evil|Re[2Jd Alert\u00a6SM|M", "pit|Pit|M",
                                        "twin|Twin Pit|SM"}),
              titles);
    for (unsigned int row = 0; row < 4; ++row)
    {
        if (browser.getEntry(row).name != "twin.xml")
            continue;
        EXPECT_EQ("By 'Ann Lee', updated " +
                      brix::StringUtil::timeStampToString(browser.getEntry(row).time, true) +
                      ", single player, multiplayer",
                  browser.getItemDescription(row));
    }

    // The menu's type filter "Single player" is value 1 under mask 3: levels for both stay out.
    browser.setFilter("", "", 1, 3);
    ASSERT_EQ(1u, browser.getItemCount());
    EXPECT_EQ("canyon.xml", browser.getEntry(0).name);
    browser.setFilter("pit", "ann", 0, 0);
    ASSERT_EQ(1u, browser.getItemCount());
    EXPECT_EQ("twin.xml", browser.getEntry(0).name);
    // The filter reads the texts as shown.
    browser.setFilter("d alert", "eve", 0, 0);
    ASSERT_EQ(1u, browser.getItemCount());
    browser.setFilter("", "", 0, 0);
    EXPECT_EQ(4u, browser.getItemCount());

    ASSERT_TRUE(browser.download("canyon.xml"));
    finishTransfer(browser, transfers, 1);
    EXPECT_EQ(std::vector<std::string>{"canyon.xml"}, transfers.downloaded);
    EXPECT_EQ(SINGLE, test::readFile(local.file("canyon.xml")));

    // A level of the largest size the game reads comes; one byte larger is not fetched (the next
    // download waits for that one), and the one at hand stays.
    const std::string largest =
        "<level><title>" + std::string(game::Level::MAX_FILE_SIZE - 30, 'x') + "</title></level>";
    test::writeFile(service.levels() + "/vast.xml", largest);
    ASSERT_TRUE(browser.download("vast.xml"));
    finishTransfer(browser, transfers, 2);
    test::writeFile(service.levels() + "/vast.xml", largest + "x");
    {
        test::LogCapture log;
        ASSERT_TRUE(browser.download("vast.xml"));
        ASSERT_TRUE(browser.download("canyon.xml"));
        finishTransfer(browser, transfers, 3);
        EXPECT_TRUE(
            toldUntil(browser, log,
                      "I File 'vast.xml' download failed (larger than the 2097152 bytes a level may have)"));
        const std::vector<std::string> errors = log.errors();
        EXPECT_NE(errors.end(),
                  std::find(errors.begin(), errors.end(), "E Data of more than 2097152 bytes refused"));
    }
    EXPECT_EQ(largest, test::readFile(local.file("vast.xml")));
    // A download that fails right after one refused for its size is told for what it is.
    {
        test::LogCapture log;
        ASSERT_TRUE(browser.download("vast.xml"));
        EXPECT_TRUE(
            toldUntil(browser, log,
                      "I File 'vast.xml' download failed (larger than the 2097152 bytes a level may have)"));
        struct stat folder;
        ASSERT_EQ(0, stat(service.levels().c_str(), &folder));
        ASSERT_EQ(0, chmod(service.levels().c_str(), 0));
        ASSERT_TRUE(browser.download("canyon.xml"));
        EXPECT_TRUE(toldUntil(browser, log, "I File 'canyon.xml' download failed (File operation error)"));
        ASSERT_EQ(0, chmod(service.levels().c_str(), folder.st_mode & 07777));
    }
    std::remove((service.levels() + "/vast.xml").c_str());

    // A level of as many points as the game reads replaces the player's own of that name, also
    // when the next download is asked for before an update saw it; one with a point more is
    // refused once fetched, and the player's file stays as it was.
    const auto crowd = [](unsigned int points)
    {
        std::string text = "<level><title>Crowd</title><points>";
        while (points-- > 0)
            text += start("mpstart");
        return text + "</points></level>\n";
    };
    const std::string most = crowd(game::Level::MAX_POINTS);
    test::writeFile(local.file("crowd.xml"), MULTI);
    test::writeFile(service.levels() + "/crowd.xml", most);
    ASSERT_TRUE(browser.download("crowd.xml"));
    ASSERT_TRUE(browser.download("canyon.xml"));
    finishTransfer(browser, transfers, 5);
    EXPECT_EQ("crowd.xml", transfers.downloaded.at(3));
    EXPECT_TRUE(most == test::readFile(local.file("crowd.xml")));
    test::writeFile(service.levels() + "/crowd.xml", crowd(game::Level::MAX_POINTS + 1));
    {
        test::LogCapture log;
        const std::string message = "I File 'crowd.xml' download failed (level too large for the game: more "
                                    "than the 4096 points a level may have)";
        ASSERT_TRUE(browser.download("crowd.xml"));
        const auto told = [&]
        {
            const std::vector<std::string> lines = log.lines();
            return std::find(lines.begin(), lines.end(), message) != lines.end();
        };
        EXPECT_TRUE(test::pollUntil([&] { browser.update(); }, told, 10000, 20));
        EXPECT_EQ(std::vector<std::string>{"E Shared level 'crowd.xml' refused: more than the 4096 points a "
                                           "level may have"},
                  log.errors());
    }
    EXPECT_TRUE(most == test::readFile(local.file("crowd.xml")));
    EXPECT_EQ(5u, transfers.downloaded.size());
    std::remove((service.levels() + "/crowd.xml").c_str());
    // Nothing of it is left where levels are looked for.
    EXPECT_EQ((std::set<std::string>{"canyon.xml", "crowd.xml", "index", "vast.xml"}), filesIn(local.path()));

    // Nor does a level the game would not play, or one cut short, take the place of the player's
    // level: the line says why, in few words, and the level and its maps stay byte for byte.
    test::writeFile(local.file("own.xml"), MULTI);
    test::writeFile(local.file("own_lightmap.png"), "light");
    test::writeFile(local.file("own_soundmap.png"), "sound");
    const std::pair<std::string, std::string> unplayable[] = {
        {"<level><points>" + start("mpstart") + "<point><type>" + std::string(1024, 't') +
             "</type><position>0 0 0</position></point></points></level>\n",
         "not a level the game can play: point 1: Unsupported level point type '" +
             std::string(game::LevelPoint::MAX_QUOTE_SIZE, 't') + "...'"},
        {BOTH.substr(0, BOTH.size() / 2),
         "not a level the game can play: Unexpected end of source data at /level/points/point"},
        {"<level><points>" + start("mpstart") + "<point><type>entity</type><position>0 0 0</position>" +
             "<name>ghost</name></point></points></level>\n",
         "not a level the game can play: point 1: Reference to non-existing entity 'ghost'"},
        {"<level><points>" + route(game::LevelPoint::MAX_POSITIONS + 1) + "</points></level>\n",
         "level too large for the game: point 0 ('mpstart'): more than the 64 positions a point may have"}};
    for (const auto& level : unplayable)
    {
        test::writeFile(service.levels() + "/own.xml", level.first);
        test::LogCapture log;
        ASSERT_TRUE(browser.download("own.xml"));
        EXPECT_TRUE(toldUntil(browser, log, "I File 'own.xml' download failed (" + level.second + ")"));
        EXPECT_EQ(MULTI, test::readFile(local.file("own.xml")));
        EXPECT_EQ("light", test::readFile(local.file("own_lightmap.png")));
        EXPECT_EQ("sound", test::readFile(local.file("own_soundmap.png")));
        EXPECT_FALSE(brix::File::fileExists(local.file("own.xml.download")));
    }
    // One the game plays does, a point of as many positions as the game reads among its points,
    // and the maps of the level it replaces go with that level; a refresh asked for while it
    // runs waits for it and reports it, and a download asked for while the listing runs shows
    // the listing first.
    const std::string farthest = "<level><title>Far</title><points>" + start("spstart") +
                                 route(game::LevelPoint::MAX_POSITIONS) + "</points></level>\n";
    test::writeFile(service.levels() + "/own.xml", farthest);
    ASSERT_TRUE(browser.download("own.xml"));
    browser.refresh();
    EXPECT_EQ(6u, transfers.downloaded.size());
    ASSERT_TRUE(browser.download("canyon.xml"));
    EXPECT_NE(ListBrowser::STATE_REFRESHING, browser.getListState());
    finishTransfer(browser, transfers, 7);
    EXPECT_EQ(farthest, test::readFile(local.file("own.xml")));
    EXPECT_EQ((std::set<std::string>{"canyon.xml", "crowd.xml", "index", "own.xml", "vast.xml"}),
              filesIn(local.path()));
    EXPECT_TRUE(listUntil(browser, 5));

    // Names from outside never reach a path: the share refuses them before any transfer. Nor is
    // a name that cleaning changed taken, under the name shown or its own.
    EXPECT_FALSE(browser.download("../escape.xml"));
    {
        test::LogCapture log;
        EXPECT_FALSE(browser.download("evil.xml"));
        EXPECT_EQ(std::vector<std::string>{"I File 'evil.xml' download refused (its name on the share is not "
                                           "plain text)"},
                  log.lines());
    }
    EXPECT_FALSE(browser.upload("sub/mine.xml", "pw"));
    // A file the game would never look for as a level is not fetched.
    for (const char* name : {"notes.txt", ".xml", "own.xml.bak"})
    {
        test::LogCapture log;
        EXPECT_FALSE(browser.download(name));
        EXPECT_EQ(std::vector<std::string>{"I File '" + std::string(name) +
                                           "' download refused (a level's file name ends in '.xml')"},
                  log.lines());
    }

    test::writeFile(local.file("mine.xml"), BOTH);
    ASSERT_TRUE(browser.upload("mine.xml", "secret"));
    finishTransfer(browser, transfers, 8);
    EXPECT_EQ(std::vector<std::string>{"mine.xml"}, transfers.uploaded);
    EXPECT_TRUE(listUntil(browser, 6));
}

TEST(FileShareBrowser, FailedListingEmptiesTheListAndNamesTheCause)
{
    test::TempDir local;
    test::LevelWorld world;
    FileShareBrowser browser(0, 8, 10);
    // Nobody listens on this port.
    const std::string server = "127.0.0.1:" + std::to_string(test::freeTcpPort());
    browser.initialize(server, local.path(), nullptr, world.level());
    Pages pages;
    browser.setPageListener(&pages);
    test::LogCapture log;
    browser.refresh();
    ASSERT_TRUE(test::pollUntil([&] { browser.update(); },
                                [&] { return browser.getListState() != ListBrowser::STATE_REFRESHING; },
                                10000, 20));
    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                     "I Shared file listing failed (Server connection error: no file share "
                                     "answered at " +
                                         server + ")"));
    EXPECT_EQ(ListBrowser::STATE_FAILED, browser.getListState());
    EXPECT_EQ(ListBrowser::STATE_FAILED, pages.reports.back().second);
    EXPECT_EQ(0u, browser.getItemCount());

    // A share that answers and turns the session down is told apart, with its reply cleaned; once
    // it is gone, the next listing says so.
    const std::pair<ScriptedServer::Script, std::string> refusals[] = {
        {[](int control) { ScriptedServer::send(control, "421 Too\x1b[2J many\xe2\x80\xae users\r\n"); },
         "421 Too[2J many users"},
        {[](int control)
         {
             ScriptedServer::send(control, "220 Ready\r\n");
             ScriptedServer::readLine(control);
             ScriptedServer::send(control, "331 Password\r\n");
             ScriptedServer::readLine(control);
             ScriptedServer::send(control, "530 Login incorrect.\r\n");
             ScriptedServer::readAvailable(control, 300);
         },
         "530 Login incorrect."}};
    for (const auto& refusal : refusals)
    {
        auto share = std::make_unique<ScriptedServer>(refusal.first);
        const std::string address = share->address();
        FileShareBrowser refused(0, 8, 10);
        refused.initialize(address, local.path(), nullptr, world.level());
        test::LogCapture told;
        refused.refresh();
        EXPECT_TRUE(toldUntil(refused, told,
                              "I Shared file listing failed (Server connection error: the file share at " +
                                  address + " refused: " + refusal.second + ")"));
        share.reset();
        refused.refresh();
        EXPECT_TRUE(
            toldUntil(refused, told,
                      "I Shared file listing failed (Server connection error: no file share answered at " +
                          address + ")"));
    }

    EXPECT_EQ("Operation successful", FileShareBrowser::getResultText(brix::FileShare::RESULT_SUCCESS));
    EXPECT_EQ("Server connection error",
              FileShareBrowser::getResultText(brix::FileShare::RESULT_CONNECTION_FAILED));
    EXPECT_EQ("File operation error",
              FileShareBrowser::getResultText(brix::FileShare::RESULT_TRANSFER_FAILED));
    EXPECT_EQ("File index error", FileShareBrowser::getResultText(brix::FileShare::RESULT_INDEX_FAILED));
    EXPECT_EQ("File operation cancelled",
              FileShareBrowser::getResultText(static_cast<brix::FileShare::Result>(5)));
    EXPECT_EQ("Unknown error", FileShareBrowser::getResultText(brix::FileShare::RESULT_NONE));
}

// A host that only announces its match.
struct Announcer : public brix::NetworkServer::Listener
{
    unsigned short onClientConnect(const std::string&, brix::NetworkDecodeStream&, unsigned int&) override
    {
        return brix::NetworkServer::NO_NODE;
    }
    void onClientDisconnect(unsigned short, const std::string&, unsigned int) override {}
    void onAnnounceVerification(bool) override {}
};

TEST(MatchBrowser, ListsAnnouncedMatchesAndKeepsThemThroughAFailedQuery)
{
    test::MatchMakerService service;
    ASSERT_TRUE(service.process.isRunning());
    const std::string maker = "127.0.0.1:" + std::to_string(service.port);
    // Eight slots, four players in, a password.
    const unsigned int flags = 8u << 28 | 4u << 24 | 1u << 23;
    Announcer announcer;
    brix::NetworkServer server(1);
    const unsigned short port = test::freeUdpPort();
    ASSERT_TRUE(server.setAnnounceServer(maker));
    // Any host may announce escape, bidirectional and ill-formed bytes, and bars that would
    // start the next columns of its row.
    ASSERT_TRUE(server.start(port, &announcer, "Can\x1b[2Jyon\xe2\x80\xae brawl\xff|pit",
                             "\xc2\x9b\xe2\x81\xa6"
                             "are\xc0\xafna|8/8",
                             flags, game::MatchBrowser::PROTOCOL_VERSION));

    game::MatchBrowser browser(1, 8, 10);
    browser.initialize(maker, 1, nullptr);
    Pages pages;
    browser.setPageListener(&pages);
    // Listed once the match maker has verified the announcement.
    const bool listed = test::pollUntil(
        [&]
        {
            server.update();
            browser.update();
            if (browser.getListState() != ListBrowser::STATE_REFRESHING && browser.getItemCount() == 0)
                browser.refresh();
        },
        [&] { return browser.getItemCount() == 1; }, 15000, 50);
    ASSERT_TRUE(listed);
    EXPECT_EQ(ListBrowser::STATE_READY, browser.getListState());
    EXPECT_EQ(std::make_pair(1u, int(ListBrowser::STATE_READY)), pages.reports.back());
    EXPECT_EQ("Can[2Jyon brawl\u00a6pit|arena\u00a68/8|4/8", browser.getItemTitle(0));
    EXPECT_EQ("Host address 127.0.0.1:" + std::to_string(port) + ", password required",
              browser.getItemDescription(0));
    server.stop(2);

    // A match maker that is gone: the page shows the failure, the browser keeps the last list.
    browser.initialize("127.0.0.1:" + std::to_string(test::freeTcpPort()), 1, nullptr);
    browser.refresh();
    EXPECT_EQ(ListBrowser::STATE_REFRESHING, pages.reports.back().second);
    ASSERT_TRUE(test::pollUntil([&] { browser.update(); },
                                [&] { return browser.getListState() != ListBrowser::STATE_REFRESHING; },
                                15000, 20));
    EXPECT_EQ(ListBrowser::STATE_FAILED, pages.reports.back().second);
    EXPECT_EQ(1u, browser.getItemCount());
}
} // namespace
