#include "network/fileshare.h"
#include "network/ftpclient.h"
#include "toolkit/file.h"

#include "support/logcapture.h"
#include "support/loopback.h"
#include "support/services.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

using brix::FileShare;
using brix::FTPClient;
using test::ScriptedServer;

namespace
{
typedef std::vector<FileShare::FileInfo> Files;

Files parse(const std::string& text, bool* ok = nullptr)
{
    Files files;
    bool result = FileShare::parseIndex(text, "index", files);
    if (ok)
        *ok = result;
    return files;
}

// Logs in a client and serves one RETR of the given content; reply150and226 sends both
// replies in one write, as vsftpd often does.
ScriptedServer::Script retrieve(const std::string& content, const std::string& pasvHost, bool complete = true,
                                bool streamed = false)
{
    return [=](int control)
    {
        ScriptedServer::send(control, "220-Welcome\r\n220 Ready\r\n");
        ScriptedServer::readLine(control);
        ScriptedServer::send(control, "331 Password\r\n");
        ScriptedServer::readLine(control);
        ScriptedServer::send(control, "230 In\r\n");
        ScriptedServer::readLine(control);
        ScriptedServer::send(control, "200 Binary\r\n");
        ScriptedServer::readLine(control);
        unsigned short port = 0;
        int listener = ScriptedServer::listenOn(port);
        ScriptedServer::send(control, "227 Entering Passive Mode (" + pasvHost + "," +
                                          std::to_string(port / 256) + "," + std::to_string(port % 256) +
                                          ")\r\n");
        int data = ScriptedServer::acceptOne(listener, 3000);
        ScriptedServer::readLine(control);
        // A large file streams while the client reads, so its preliminary reply goes first.
        if (streamed)
            ScriptedServer::send(control, "150 Opening\r\n");
        if (data >= 0)
        {
            ScriptedServer::send(data, content);
            close(data);
        }
        // Both replies in one write, as vsftpd's often arrive.
        ScriptedServer::send(control, std::string(streamed ? "" : "150 Opening\r\n") +
                                          (complete ? "226 Done\r\n" : "426 Broken\r\n"));
        ScriptedServer::readAvailable(control, 300);
        close(listener);
    };
}

FTPClient* loggedIn(FTPClient& client, const ScriptedServer& server)
{
    return client.connect(server.address(), "ftp", "") ? &client : nullptr;
}
} // namespace

TEST(FTPClient, ParsesPassiveAddressesWithinRange)
{
    test::LogCapture log;
    brix::NetworkAddress address = FTPClient::parsePasvAddress("Entering Passive Mode (10,0,0,5,19,137).");
    EXPECT_EQ("10.0.0.5:5001", address.toString());
    EXPECT_FALSE(FTPClient::parsePasvAddress("Entering Passive Mode 10,0,0,5,19,137").isValid());
    EXPECT_FALSE(FTPClient::parsePasvAddress("(10,0,0,5,19)").isValid());
    EXPECT_FALSE(FTPClient::parsePasvAddress("(10,0,0,5,256,1)").isValid());
    EXPECT_FALSE(FTPClient::parsePasvAddress("(10,0,0,1000,1,1)").isValid());
    EXPECT_FALSE(FTPClient::parsePasvAddress("(-1,0,0,5,1,1)").isValid());
    EXPECT_FALSE(FTPClient::parsePasvAddress("(1,2,3,4,5,6").isValid());
    EXPECT_FALSE(FTPClient::parsePasvAddress("(1,2\x1b[2J\xe2\x80\xae").isValid());
    auto errors = log.errors();
    EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(),
                                      "E Unable to parse address from PASV response '(1,2[2J'"));
}

TEST(FTPClient, TakesWholeRepliesLineByLine)
{
    std::string buffer = "220-first\r\n more\r\n220 last\r\n150 Opening\r\n226 Done\r\n331 pa";
    std::string code, text, whole;
    ASSERT_EQ(1, FTPClient::takeResponse(buffer, code, text, whole));
    EXPECT_EQ("220", code);
    EXPECT_EQ("last", text);
    ASSERT_EQ(1, FTPClient::takeResponse(buffer, code, text, whole));
    EXPECT_EQ("150", code);
    ASSERT_EQ(1, FTPClient::takeResponse(buffer, code, text, whole));
    EXPECT_EQ("226", code);
    EXPECT_EQ(0, FTPClient::takeResponse(buffer, code, text, whole));
    EXPECT_EQ("331 pa", buffer);

    std::string bad = "hello there\r\n";
    EXPECT_EQ(-1, FTPClient::takeResponse(bad, code, text, whole));
    std::string endless(FTPClient::MAX_RESPONSE_SIZE + 1, 'x');
    EXPECT_EQ(-1, FTPClient::takeResponse(endless, code, text, whole));
}

TEST(FTPClient, LogsRefusedGreetingsWithoutTheirControls)
{
    const std::string hostile = "\x1b[2J\xe2\x80\xae\x07";
    const struct
    {
        std::string greeting;
        std::string logged;
    } cases[] = {
        {"530 Go" + hostile + " away\r\n", "E Unexpected response '530 Go[2J away' from FTP server"},
        {"Hello" + hostile + "\r\n", "E Invalid response 'Hello[2J' from FTP server"},
    };
    for (const auto& row : cases)
    {
        test::LogCapture log;
        const std::string greeting = row.greeting;
        ScriptedServer server(
            [greeting](int control)
            {
                ScriptedServer::send(control, greeting);
                ScriptedServer::readAvailable(control, 300);
            });
        FTPClient client;
        EXPECT_FALSE(client.connect(server.address(), "ftp", ""));
        auto errors = log.errors();
        EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), row.logged)) << row.logged;
    }
}

TEST(FTPClient, SeesACompletionThatArrivesWithItsPreliminaryReply)
{
    test::TempDir dir;
    ScriptedServer server(retrieve("level data", "127,0,0,1"));
    FTPClient client;
    ASSERT_NE(nullptr, loggedIn(client, server));
    ASSERT_TRUE(client.getFile("canyon.xml", dir.file("canyon.xml")));
    EXPECT_EQ("level data", test::readFile(dir.file("canyon.xml")));
}

TEST(FTPClient, DataConnectionGoesToTheControlPeerOnly)
{
    test::TempDir dir;
    // The reply names another host; the data must still come from the server we talk to.
    ScriptedServer server(retrieve("from our server", "192,0,2,1"));
    FTPClient client;
    ASSERT_NE(nullptr, loggedIn(client, server));
    ASSERT_TRUE(client.getFile("a.xml", dir.file("a.xml")));
    EXPECT_EQ("from our server", test::readFile(dir.file("a.xml")));
}

TEST(FTPClient, FailedDownloadKeepsTheExistingLevel)
{
    test::TempDir dir;
    test::writeFile(dir.file("a.xml"), "my level");
    ScriptedServer server(retrieve("half a lev", "127,0,0,1", false));
    FTPClient client;
    ASSERT_NE(nullptr, loggedIn(client, server));
    EXPECT_FALSE(client.getFile("a.xml", dir.file("a.xml")));
    EXPECT_EQ("my level", test::readFile(dir.file("a.xml")));
    EXPECT_FALSE(brix::File::fileExists(dir.file("a.xml.tmp")));

    test::LogCapture log;
    // A server that sends more than any level may be is cut off.
    ScriptedServer flood(
        retrieve(std::string(FTPClient::MAX_DOWNLOAD_SIZE + 1, 'x'), "127,0,0,1", true, true));
    FTPClient second;
    ASSERT_NE(nullptr, loggedIn(second, flood));
    EXPECT_FALSE(second.getFile("a.xml", dir.file("a.xml")));
    EXPECT_EQ("my level", test::readFile(dir.file("a.xml")));
    auto lines = log.lines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "E TCP socket receive size exceeded"));
}

TEST(FTPClient, StalledServerTimesOut)
{
    test::LogCapture log;
    // Silent until it closes, long after the client's response time-out.
    ScriptedServer server(
        [](int control)
        { ScriptedServer::readAvailable(control, FTPClient::DEFAULT_RESPONSE_TIMEOUT + 10000); });
    FTPClient client;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.connect(server.address(), "ftp", ""));
    auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), FTPClient::DEFAULT_RESPONSE_TIMEOUT);
    EXPECT_LT(waited.count(), FTPClient::DEFAULT_RESPONSE_TIMEOUT + 5000);
    auto errors = log.errors();
    EXPECT_NE(errors.end(), std::find(errors.begin(), errors.end(), "E Response wait timeout"));
}

TEST(FileShare, ParsesQuotedAndPlainIndexTokens)
{
    bool ok = false;
    Files files = parse("\"My \"\"best\"\" level\" Title Author 3 17\r\n\r\nb.xml \"\" Ann 2 5x\n", &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(2u, files.size());
    EXPECT_EQ("My \"best\" level", files[0].name);
    EXPECT_EQ("Title", files[0].title);
    EXPECT_EQ("Author", files[0].author);
    EXPECT_EQ(3u, files[0].flags);
    EXPECT_EQ(17u, files[0].time);
    EXPECT_EQ("", files[1].title);
    EXPECT_EQ(5u, files[1].time);
}

TEST(FileShare, RefusesMalformedIndexLines)
{
    test::LogCapture log;
    bool ok = true;
    parse("a.xml t a 1 1\n\"quoted\"x t a 1 1\n", &ok);
    EXPECT_FALSE(ok);
    parse("a\"b t a 1 1\n", &ok);
    EXPECT_FALSE(ok);
    parse("a.xml t a 1\n", &ok);
    EXPECT_FALSE(ok);
    parse("\"open t a 1 1\n", &ok);
    EXPECT_FALSE(ok);
    auto lines = log.lines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                     "E File share index file 'index' parsing failed (on line 1 column 8)"));
}

TEST(FileShare, SkipsIndexEntriesThatAreNotPlainFileNames)
{
    bool ok = false;
    Files files = parse("../../evil t a 1 1\n/etc/passwd t a 1 1\nsub/x.xml t a 1 1\n\"a\tb\" t a 1 1\n"
                        "good.xml t a 1 1\n" +
                            std::string(200, 'n') + " t a 1 1\n",
                        &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ("good.xml", files[0].name);

    FileShare share("127.0.0.1:1", "/korvane/levels", "/tmp");
    EXPECT_FALSE(share.download("../configuration.xml"));
    EXPECT_FALSE(share.upload("a/b.xml", ""));
    EXPECT_FALSE(share.upload("a#b.xml", "secret"));
}

TEST(FileShare, ListsLevelsDownloadsAndUploadsThroughVsftpd)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "vsftpd needs root for the chroot of its anonymous sessions";
    test::FileShareService service;
    ASSERT_TRUE(service.process.isRunning());
    test::writeFile(
        service.levels() + "/canyon.xml",
        "<level><title>Red Canyon</title><author>Ann Lee</author><points><point><name>spstart</name>"
        "</point></points></level>\n");
    test::TempDir local;
    FileShare share(service.server(), "/korvane/levels", local.path());

    // The filing job indexes the new level within a few scans.
    Files files;
    bool listed = test::pollUntil(
        [&]
        {
            if (share.refresh() && share.getResult() == FileShare::RESULT_SUCCESS)
                share.getFileList(files);
        },
        [&] { return files.size() == 1; }, 10000, 200, 50);
    ASSERT_TRUE(listed);
    EXPECT_EQ("canyon.xml", files[0].name);
    EXPECT_EQ("Red Canyon", files[0].title);
    EXPECT_EQ("Ann Lee", files[0].author);
    EXPECT_EQ(1u, files[0].flags);

    Files found;
    share.getFileList("CANYON", "", "", 1, 1, found);
    EXPECT_EQ(1u, found.size());
    share.getFileList("", "", "", 2, 2, found);
    EXPECT_EQ(1u, found.size());

    // A level comes beside the local one, for the caller to check before it takes its place.
    ASSERT_TRUE(share.download("canyon.xml"));
    EXPECT_EQ(FileShare::RESULT_SUCCESS, share.getResult());
    EXPECT_EQ(test::readFile(service.levels() + "/canyon.xml"),
              test::readFile(local.file("canyon.xml.download")));
    EXPECT_FALSE(brix::File::fileExists(local.file("canyon.xml")));

    const std::string mine = "<level><title>Mine</title><author>Bob</author></level>\n";
    test::writeFile(local.file("mine.xml"), mine);
    ASSERT_TRUE(share.upload("mine.xml", "secret"));
    EXPECT_EQ(FileShare::RESULT_SUCCESS, share.getResult());
    EXPECT_TRUE(test::pollUntil([] {}, [&] { return test::readFile(service.levels() + "/mine.xml") == mine; },
                                10000, 100, 200));

    // An upload past the size cap goes at the next scan, even one still arriving that may
    // never end in a whole level.
    const std::string endless = service.levels() + "/upload/endless.xml#pw";
    test::writeFile(endless, "<level><title>Endless</title>");
    ASSERT_EQ(0, truncate(endless.c_str(), 16 * 1024 * 1024 + 1));
    EXPECT_TRUE(test::pollUntil([] {}, [&] { return !brix::File::fileExists(endless); }, 2000, 50, 100));

    // A name that is not UTF-8 is refused by the filing job, which goes on working (below).
    const std::string odd = "caf\xE9.xml";
    test::writeFile(local.file(odd), mine);
    ASSERT_TRUE(share.upload(odd, "pw"));
    EXPECT_EQ(FileShare::RESULT_SUCCESS, share.getResult());
    EXPECT_TRUE(test::pollUntil(
        [] {}, [&] { return !brix::File::fileExists(service.levels() + "/upload/" + odd + "#pw"); }, 10000,
        100, 200));
    EXPECT_FALSE(brix::File::fileExists(service.levels() + "/" + odd));

    // Someone else's upload under the same name must not replace it; the owner's may.
    test::writeFile(local.file("mine.xml"), "<level><title>Stolen</title></level>\n");
    ASSERT_TRUE(share.upload("mine.xml", "guess"));
    EXPECT_EQ(FileShare::RESULT_SUCCESS, share.getResult());
    EXPECT_TRUE(test::pollUntil(
        [] {}, [&] { return !brix::File::fileExists(service.levels() + "/upload/mine.xml#guess"); }, 10000,
        100, 200));
    EXPECT_EQ(mine, test::readFile(service.levels() + "/mine.xml"));
    const std::string update = "<level><title>Mine 2</title><author>Bob</author></level>\n";
    test::writeFile(local.file("mine.xml"), update);
    ASSERT_TRUE(share.upload("mine.xml", "secret"));
    EXPECT_EQ(FileShare::RESULT_SUCCESS, share.getResult());
    EXPECT_TRUE(test::pollUntil(
        [] {}, [&] { return test::readFile(service.levels() + "/mine.xml") == update; }, 10000, 100, 200));
    EXPECT_TRUE(test::pollUntil(
        [] {},
        [&]
        {
            return test::readFile(service.levels() + "/index").find("mine.xml \"Mine 2\" Bob 0 ") !=
                   std::string::npos;
        },
        10000, 100, 200));

    // A level the host put in by hand belongs to nobody's password.
    const std::string canyon = test::readFile(service.levels() + "/canyon.xml");
    test::writeFile(local.file("canyon.xml"), "<level><title>Stolen</title></level>\n");
    ASSERT_TRUE(share.upload("canyon.xml", "first"));
    EXPECT_EQ(FileShare::RESULT_SUCCESS, share.getResult());
    EXPECT_TRUE(test::pollUntil(
        [] {}, [&] { return !brix::File::fileExists(service.levels() + "/upload/canyon.xml#first"); }, 10000,
        100, 200));
    EXPECT_EQ(canyon, test::readFile(service.levels() + "/canyon.xml"));

    FTPClient client;
    ASSERT_TRUE(client.connect(service.server(), "ftp", ""));
    ASSERT_TRUE(client.changeDirectory("/korvane/levels"));
    std::list<std::string> names;
    ASSERT_TRUE(client.listFiles("", names));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "canyon.xml"));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "index"));
    // Anonymous players may not delete shared levels.
    EXPECT_FALSE(client.deleteFile("canyon.xml"));
    EXPECT_EQ(0u, client.getLastError().find("550 "));
    client.disconnect();

    EXPECT_TRUE(share.download("missing.xml"));
    EXPECT_EQ(FileShare::RESULT_TRANSFER_FAILED, share.getResult());

    // One address cannot open sessions (each a process on the host) without end.
    std::vector<std::unique_ptr<FTPClient>> sessions;
    int refused = 0;
    for (int i = 0; i < 14; ++i)
    {
        sessions.emplace_back(new FTPClient());
        if (!sessions.back()->connect(service.server(), "ftp", "") &&
            sessions.back()->getLastError().compare(0, 4, "421 ") == 0)
            ++refused;
    }
    EXPECT_GE(refused, 4);
}

TEST(FileShare, ReportsAnUnreachableServer)
{
    test::TempDir local;
    FileShare share("127.0.0.1:" + std::to_string(test::freeTcpPort()), "/korvane/levels", local.path());
    ASSERT_TRUE(share.refresh());
    EXPECT_EQ(FileShare::RESULT_CONNECTION_FAILED, share.getResult());
    EXPECT_FALSE(share.isBusy());
}
