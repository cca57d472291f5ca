#include "network/highscoremanager.h"
#include "network/httpclient.h"
#include "network/httpmessage.h"
#include "network/networkaddress.h"
#include "network/tcpsocket.h"
#include "toolkit/md5.h"
#include "toolkit/thread.h"

#include "support/logcapture.h"
#include "support/loopback.h"
#include "support/services.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using brix::HighScore;
using brix::HighScoreManager;
using brix::HTTPMessage;
using test::ScriptedServer;

namespace
{
const std::string KEY = "0123456789abcdef";
const unsigned int VERSION = 0x01040200;

class Recorder : public HighScoreManager::Listener
{
public:
    void onHighScoresUpdate(const std::string& level, bool online, HighScoreManager::Status status) override
    {
        updates.push_back(level + (online ? " online " : " local ") + std::to_string(status));
    }
    void onHighScoreUpload(const std::string& level, bool success) override
    {
        uploads.push_back(level + (success ? " uploaded" : " failed"));
    }
    std::vector<std::string> updates;
    std::vector<std::string> uploads;
};

HighScore score(const std::string& level, int value, const std::string& name = "")
{
    HighScore entry;
    entry.level = level;
    entry.score = value;
    entry.name = name;
    entry.custom = "12.5|3|2";
    entry.timestamp = 1700000000;
    return entry;
}

void file(HighScoreManager& manager, const std::string& level, int value, const std::string& name)
{
    manager.add(score(level, value), true);
    manager.finalize(name);
}

std::vector<int> scores(const std::list<HighScore>& list)
{
    std::vector<int> values;
    for (const HighScore& entry : list)
        values.push_back(entry.score);
    return values;
}

// Polls update() until the listener heard `count` things, at most ten seconds.
bool waitFor(HighScoreManager& manager, const Recorder& recorder, std::size_t count)
{
    return test::pollUntil([&] { manager.update(); },
                           [&] { return recorder.updates.size() + recorder.uploads.size() >= count; }, 10000,
                           10, 1000);
}

ScriptedServer::Script answer(const std::string& reply)
{
    return [reply](int socket)
    {
        ScriptedServer::readAvailable(socket, 200);
        ScriptedServer::send(socket, reply);
    };
}
} // namespace

TEST(HighScoreManager, RanksLocalScoresAndKeepsTheBest)
{
    test::TempDir dir;
    HighScoreManager manager(dir.file("highscores.xml"), "", 1, 5, KEY, VERSION);
    Recorder recorder;
    manager.setListener(&recorder);
    EXPECT_EQ(1, manager.testLocalHighScore("canyon", 10));
    for (int value : {50, 40, 40, 30, 20})
        file(manager, "canyon", value, "Ann");
    EXPECT_EQ(4, manager.testLocalHighScore("canyon", 40));
    EXPECT_EQ(1, manager.testLocalHighScore("canyon", 51));
    EXPECT_EQ(0, manager.testLocalHighScore("canyon", 20));
    EXPECT_EQ(0, manager.testLocalHighScore("canyon", 0));
    EXPECT_EQ(0, manager.testOnlineHighScore("canyon", 100));

    file(manager, "canyon", 45, "Bob");
    file(manager, "canyon", 40, "Cid"); // after the scores it ties with
    std::list<HighScore> list;
    EXPECT_EQ(HighScoreManager::STATUS_AVAILABLE, manager.getLocalHighScores("canyon", list));
    EXPECT_EQ((std::vector<int>{50, 45, 40, 40, 40}), scores(list));
    EXPECT_EQ("Bob", std::next(list.begin())->name);
    EXPECT_EQ("Cid", list.back().name);
    EXPECT_EQ(7u, recorder.updates.size());
    EXPECT_EQ("canyon local 2", recorder.updates.back());

    // Without a pending score, or without any name, nothing is filed.
    manager.finalize("Carl");
    manager.add(score("canyon", 99), true);
    manager.finalize("");
    manager.getLocalHighScores("canyon", list);
    EXPECT_EQ((std::vector<int>{50, 45, 40, 40, 40}), scores(list));
    EXPECT_EQ(7u, recorder.updates.size());
}

TEST(HighScoreManager, ReloadsItsSignedFileAndDropsATamperedOne)
{
    test::TempDir dir;
    const std::string path = dir.file("highscores.xml");
    {
        HighScoreManager manager(path, "", 1, 5, KEY, VERSION);
        file(manager, "canyon", 30, "Ann");
        file(manager, "arena", 20, "Bob");
    }
    std::string text = test::readFile(path);
    EXPECT_LT(text.find("<level>arena</level>"), text.find("<level>canyon</level>"));
    EXPECT_NE(std::string::npos, text.find("<checksum>"));
    {
        HighScoreManager manager(path, "", 1, 5, KEY, VERSION);
        std::list<HighScore> list;
        manager.getLocalHighScores("canyon", list);
        ASSERT_EQ(1u, list.size());
        EXPECT_EQ("Ann", list.front().name);
        EXPECT_EQ("12.5|3|2", list.front().custom);
        EXPECT_EQ(1700000000u, list.front().timestamp);
    }

    test::TempDir other;
    test::writeFile(other.file("keep.xml"), "untouched");
    const std::size_t at = text.find("<score>30</score>");
    ASSERT_NE(std::string::npos, at);
    test::writeFile(path, text.replace(at, 17, "<score>99</score>"));
    test::LogCapture log;
    HighScoreManager manager(path, "", 1, 5, KEY, VERSION);
    std::list<HighScore> list;
    manager.getLocalHighScores("canyon", list);
    EXPECT_TRUE(list.empty());
    manager.getLocalHighScores("arena", list);
    EXPECT_TRUE(list.empty());
    auto lines = log.lines();
    EXPECT_NE(lines.end(),
              std::find(lines.begin(), lines.end(), "E High-score file '" + path + "' checksum mismatch"));
    EXPECT_EQ("untouched", test::readFile(other.file("keep.xml")));
}

TEST(HighScoreManager, RemovesEveryRevisionOfALevel)
{
    test::TempDir dir;
    HighScoreManager manager(dir.file("highscores.xml"), "", 1, 5, KEY, VERSION);
    for (const char* level : {"canyon", "canyon@2", "canyon@3", "canyonlands"})
        file(manager, level, 10, "Ann");
    manager.removeLocalHighScores("canyon");
    std::list<HighScore> list;
    for (const char* level : {"canyon", "canyon@2", "canyon@3"})
    {
        list.clear();
        manager.getLocalHighScores(level, list);
        EXPECT_TRUE(list.empty()) << level;
    }
    manager.getLocalHighScores("canyonlands", list);
    EXPECT_EQ(1u, list.size());
}

TEST(HighScoreManager, BuildsSignedRequestsWithEncodedLevelNames)
{
    HighScoreManager manager("", "http://127.0.0.1:1/scores", 1, 5, KEY, VERSION);
    std::string url;
    HTTPMessage request;
    manager.createDownloadRequest(url, request, "canyon@2");
    EXPECT_EQ("http://127.0.0.1:1/scores/1/canyon@2?limit=5", url);
    manager.createDownloadRequest(url, request, "my level?x=1/..");
    EXPECT_EQ("http://127.0.0.1:1/scores/1/my%20level%3Fx%3D1%2F..?limit=5", url);

    manager.createUploadRequest(url, request, score("canyon", 42, "Ann & Co"));
    EXPECT_EQ("http://127.0.0.1:1/scores/", url);
    EXPECT_EQ("application/xml", request.getHeader("content-type"));
    const std::string signature =
        HighScoreManager::signScore("1", "1.4.2", score("canyon", 42, "Ann & Co"), KEY);
    EXPECT_EQ(
        "<highscore><gameid>1</gameid><version>1.4.2</version><level>canyon</level><name>Ann &amp; Co</name>"
        "<score>42</score><custom>12.5|3|2</custom><checksum>" +
            signature + "</checksum></highscore>",
        request.getBody());
    EXPECT_EQ(32u, signature.size());
    EXPECT_NE(signature, HighScoreManager::signScore("1", "1.4.2", score("canyon", 43, "Ann & Co"), KEY));
}

TEST(HighScoreManager, SortsAndCutsDownloadedTables)
{
    ScriptedServer server(answer("HTTP/1.0 200 OK\nContent-Type: Application/XML; charset=utf-8\n\n"
                                 "<highscores>"
                                 "<highscore><level>c</level><name>a</name><score>10</score></highscore>"
                                 "<highscore><level>c</level><name>b</name><score>70</score></highscore>"
                                 "<highscore><level>c</level><name>c</name><score>30</score></highscore>"
                                 "<highscore><level>c</level><name>d</name><score>50</score></highscore>"
                                 "</highscores>"));
    HighScoreManager manager("", "http://" + server.address(), 1, 3, KEY, VERSION);
    Recorder recorder;
    manager.setListener(&recorder);
    manager.refresh("c");
    ASSERT_TRUE(waitFor(manager, recorder, 2));
    EXPECT_EQ("c online 1", recorder.updates[0]);
    EXPECT_EQ("c online 2", recorder.updates[1]);
    std::list<HighScore> list;
    EXPECT_EQ(HighScoreManager::STATUS_AVAILABLE, manager.getOnlineHighScores("c", list));
    EXPECT_EQ((std::vector<int>{70, 50, 30}), scores(list));
    EXPECT_EQ(2, manager.testOnlineHighScore("c", 60));
    EXPECT_EQ(0, manager.testOnlineHighScore("c", 30));
    EXPECT_LT(manager.getOnlineHighScoresAge("c"), 60u);
}

TEST(HighScoreManager, ReportsFailedDownloadsAndAFullQueue)
{
    test::LogCapture log;
    std::atomic<int> served(0);
    // The first request keeps the worker busy until the queue has been filled.
    ScriptedServer server(
        [&](int socket)
        {
            ScriptedServer::readAvailable(socket, 100);
            if (served++ == 0)
                brix::Thread::sleep(1000);
            ScriptedServer::send(socket, "HTTP/1.0 404 Not Found\r\n\r\nno such level");
        },
        5, 20000);
    HighScoreManager manager("", "http://" + server.address(), 1, 5, KEY, VERSION);
    Recorder recorder;
    manager.setListener(&recorder);
    manager.refresh("level0");
    ASSERT_TRUE(test::pollUntil([] {}, [&] { return served.load() > 0; }, 5000, 5, 1000));
    for (int i = 1; i < 6; ++i)
        manager.refresh("level" + std::to_string(i));
    std::list<HighScore> list;
    EXPECT_EQ(HighScoreManager::STATUS_NONE, manager.getOnlineHighScores("level5", list));
    EXPECT_EQ(HighScoreManager::STATUS_PENDING, manager.getOnlineHighScores("level4", list));
    ASSERT_TRUE(waitFor(manager, recorder, 6 + 5));
    EXPECT_EQ("level0 online 3", recorder.updates[6]);
    EXPECT_EQ("level4 online 3", recorder.updates[10]);
    EXPECT_EQ(HighScoreManager::STATUS_FAILED, manager.getOnlineHighScores("level0", list));
    EXPECT_EQ(0, manager.testOnlineHighScore("level0", 10));
    auto lines = log.lines();
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(),
                            "E Too many online high-score requests in queue, request rejected"));
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                     "E High-score download for level 'level0' failed with HTTP error 404 "
                                     "('no such level')"));
}

TEST(HighScoreManager, LogsWhatTheServiceSaysWithoutItsControls)
{
    // An escape sequence, a bell and a right-to-left override in what the service sends.
    const std::string hostile = "\x1b[2J\xe2\x80\xae\x07";
    const struct
    {
        std::string reply;
        std::string logged;
    } cases[] = {
        {"HTTP/1.0 500 Oops\r\n\r\nno" + hostile + " way",
         "E High-score download for level 'c' failed with HTTP error 500 ('no[2J way')"},
        {"HTTP/1.0 200 OK\r\nContent-type: text/" + hostile + "html\r\n\r\n<highscores/>",
         "E Unsupported high-score download response content type 'text/[2Jhtml'"},
        {"HTTP/1.0 200 OK\r\n\r\n<highscores></x" + hostile + ">",
         "E Failed to parse high-score download response: Mismatching closing tag 'x[2J' while expecting "
         "'highscores' at /highscores"},
    };
    for (const auto& row : cases)
    {
        test::LogCapture log;
        ScriptedServer server(answer(row.reply));
        HighScoreManager manager("", "http://" + server.address(), 1, 3, KEY, VERSION);
        Recorder recorder;
        manager.setListener(&recorder);
        manager.refresh("c");
        ASSERT_TRUE(waitFor(manager, recorder, 2));
        auto errors = log.errors();
        EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), row.logged)) << row.logged;
    }
}

TEST(HighScoreManager, UploadsASignedScoreAndReadsTheTableBack)
{
    test::WebService service;
    ASSERT_TRUE(service.process.isRunning());
    test::TempDir dir;
    // The stand-in checks signatures with the game's own key.
    HighScoreManager manager(dir.file("highscores.xml"), service.url("/api/v1/highscores"), 1, 5,
                             "5be07a3c91d4f268", VERSION);
    Recorder recorder;
    manager.setListener(&recorder);
    manager.refresh("canyon@2");
    ASSERT_TRUE(waitFor(manager, recorder, 2));
    std::list<HighScore> list;
    ASSERT_EQ(HighScoreManager::STATUS_AVAILABLE, manager.getOnlineHighScores("canyon@2", list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(1, manager.testOnlineHighScore("canyon@2", 300));

    // The document drops the name's trailing blank; a no-break space ending the custom text
    // stays. Both must still verify at the service.
    HighScore mine = score("canyon@2", 300);
    mine.custom += "\u00a0";
    manager.add(mine, true);
    manager.finalize("Zoë \"Z\" <3 ");
    ASSERT_TRUE(waitFor(manager, recorder, 4));
    EXPECT_EQ((std::vector<std::string>{"canyon@2 uploaded"}), recorder.uploads);

    manager.refresh("canyon@2");
    ASSERT_TRUE(waitFor(manager, recorder, 6));
    ASSERT_EQ(HighScoreManager::STATUS_AVAILABLE, manager.getOnlineHighScores("canyon@2", list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ("Zoë \"Z\" <3", list.front().name);
    EXPECT_EQ(300, list.front().score);
    EXPECT_EQ("12.5|3|2\u00a0", list.front().custom);

    // A score signed with another key is refused by the service.
    HighScoreManager forger("", service.url("/api/v1/highscores"), 1, 5, "badbadbadbadbad0", VERSION);
    Recorder forged;
    forger.setListener(&forged);
    forger.refresh("canyon@2");
    ASSERT_TRUE(waitFor(forger, forged, 2));
    forger.add(score("canyon@2", 999), true);
    forger.finalize("Mallory");
    ASSERT_TRUE(waitFor(forger, forged, 3));
    EXPECT_EQ((std::vector<std::string>{"canyon@2 failed"}), forged.uploads);
}

TEST(HighScoreManager, ServiceAnswersOnlyWellFormedRequestsAndKeepsTablesReadable)
{
    test::WebService service;
    ASSERT_TRUE(service.process.isRunning());
    const std::string base = service.url("/api/v1/highscores");
    brix::HTTPClient client;

    // Malformed or unknown requests are answered with nothing at all.
    for (const char* path : {"/elsewhere", "/api/v1/highscores/x/canyon",
                             "/api/v1/highscores/1/canyon?limit=many", "/api/v1/updates/beta"})
        EXPECT_EQ(0u, client.send(service.url(path), brix::HTTPClient::GET, HTTPMessage(), 4096).getStatus())
            << path;
    for (const char* body : {"<highscore", "<result><name>x</name></result>",
                             "<highscore><gameid>one</gameid><level>a</level><name>b</name></highscore>"})
        EXPECT_EQ(0u, client.send(base, brix::HTTPClient::POST, HTTPMessage(body), 4096).getStatus()) << body;
    // Correctly signed, but a score the game could not hold.
    brix::MD5 md5;
    md5.add("11.4.2canyonEve1099511627776" + std::string("5be07a3c91d4f268"));
    md5.finalize();
    const std::string wide = "<highscore><gameid>1</gameid><version>1.4.2</version><level>canyon</level>"
                             "<name>Eve</name><score>1099511627776</score><custom></custom><checksum>" +
                             md5.getChecksumHex() + "</checksum></highscore>";
    EXPECT_EQ(0u, client.send(base, brix::HTTPClient::POST, HTTPMessage(wide), 4096).getStatus());
    brix::TCPSocket raw;
    ASSERT_TRUE(raw.connect(brix::NetworkAddress("127.0.0.1:" + std::to_string(service.port)), 2000));
    const std::string garbage = "BREW /pot\r\n\r\n";
    ASSERT_TRUE(raw.transmit(reinterpret_cast<const unsigned char*>(garbage.data()), garbage.size()));
    std::string reply;
    EXPECT_TRUE(raw.receiveAll(reply, 4096, 3000, 6000));
    EXPECT_EQ("", reply);

    // Five signed scores whose names swell when escaped would not fit the game's reply limit
    // together; the table it reads is cut to the best that fit.
    HighScoreManager manager("", base, 1, 5, "5be07a3c91d4f268", VERSION);
    for (int i = 1; i <= 5; ++i)
    {
        std::string url;
        HTTPMessage request;
        manager.createUploadRequest(url, request, score("canyon", i * 100, std::string(200, '&')));
        EXPECT_EQ(200u, client.send(url, brix::HTTPClient::POST, request, 4096).getStatus());
    }
    Recorder recorder;
    manager.setListener(&recorder);
    manager.refresh("canyon");
    ASSERT_TRUE(waitFor(manager, recorder, 2));
    std::list<HighScore> list;
    ASSERT_EQ(HighScoreManager::STATUS_AVAILABLE, manager.getOnlineHighScores("canyon", list));
    EXPECT_EQ((std::vector<int>{500, 400, 300}), scores(list));
    EXPECT_EQ(std::string(200, '&'), list.front().name);
}
