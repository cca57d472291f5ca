#include "network/updatechecker.h"

#include "support/logcapture.h"
#include "support/loopback.h"
#include "support/services.h"

#include <gtest/gtest.h>

using brix::UpdateChecker;
using test::ScriptedServer;

namespace
{
const unsigned int CURRENT_VERSION = 0x01040200;

// Runs one check to its end, at most ten seconds.
bool runCheck(UpdateChecker& checker)
{
    return checker.check() && test::pollUntil([] {}, [&] { return !checker.isBusy(); }, 20000, 10, 2000);
}

ScriptedServer::Script answer(const std::string& body, std::string* request = nullptr)
{
    return [=](int socket)
    {
        std::string text = ScriptedServer::readAvailable(socket, 200);
        if (request)
            *request = text;
        ScriptedServer::send(socket, "HTTP/1.0 200 OK\r\nContent-type: application/xml\r\n\r\n" + body);
    };
}
} // namespace

TEST(UpdateChecker, AsksForItsChannelAndVersion)
{
    UpdateChecker checker("http://127.0.0.1:1/check", 1, CURRENT_VERSION);
    EXPECT_EQ("http://127.0.0.1:1/check/1?message=1&version=1.4.2", checker.getRequestURL());
    UpdateChecker slashed("http://127.0.0.1:1/check/", 2, CURRENT_VERSION);
    EXPECT_EQ("http://127.0.0.1:1/check/2?message=1&version=1.4.2", slashed.getRequestURL());
}

TEST(UpdateChecker, SeesANewerVersionAtTheServiceAfterAFloodOfIdleConnections)
{
    test::WebService service("1.5.0");
    ASSERT_TRUE(service.process.isRunning());

    // The service serves a bounded number of connections at once, each on a thread: idle
    // connections beyond that are closed, not given a thread each.
    const int mainThread = 1, connections = 32;
    {
        // Some find the listen queue full: those give up soon, and are no threads either way.
        test::IdleConnections flood(service.port, 100, 100);
        test::pollFor([] {}, 500, 50);
        EXPECT_LE(service.process.threads(), mainThread + connections);
        EXPECT_GT(service.process.threads(), mainThread);
    }
    // Until the threads of the closed flood end, a new connection may find every place taken.
    EXPECT_TRUE(test::pollUntil([] {}, [&] { return service.process.threads() == mainThread; }, 20000, 20));

    UpdateChecker checker(service.url("/api/v1/updates"), 1, CURRENT_VERSION);
    ASSERT_TRUE(runCheck(checker));
    EXPECT_EQ(0x01050000u, checker.getVersion());
    EXPECT_EQ("http://example.invalid/korvane", checker.getDownloadURL());
    EXPECT_EQ("A new version is out", checker.getMessage());
}

TEST(UpdateChecker, KeepsNoVersionFromBadReplies)
{
    test::LogCapture log;
    {
        std::string request;
        ScriptedServer server(answer("<update><url>u</url><message>m</message></update>", &request));
        UpdateChecker checker("http://" + server.address() + "/check", 1, CURRENT_VERSION);
        ASSERT_TRUE(runCheck(checker));
        EXPECT_EQ(0u, checker.getVersion());
        EXPECT_EQ("u", checker.getDownloadURL());
        EXPECT_EQ("m", checker.getMessage());
        EXPECT_EQ(0u, request.find("GET /check/1?message=1&version=1.4.2 HTTP/1.0\r\n"));
    }
    {
        ScriptedServer server(answer("this is not xml"));
        UpdateChecker checker("http://" + server.address() + "/", 1, CURRENT_VERSION);
        ASSERT_TRUE(runCheck(checker));
        EXPECT_EQ(0u, checker.getVersion());
    }
    {
        // Too large to be an answer: refused whole.
        ScriptedServer server(answer("<update><version>9.0.0</version><message>" +
                                     std::string(UpdateChecker::MAX_RESPONSE_SIZE, 'x') +
                                     "</message></update>"));
        UpdateChecker checker("http://" + server.address() + "/", 1, CURRENT_VERSION);
        ASSERT_TRUE(runCheck(checker));
        EXPECT_EQ(0u, checker.getVersion());
        EXPECT_EQ("", checker.getMessage());
    }
    {
        // What the service names is quoted without its controls.
        ScriptedServer server(answer("<up\x1b[2J\xe2\x80\xae\x07>x</up\x1b[2J\xe2\x80\xae\x07>"));
        UpdateChecker checker("http://" + server.address() + "/", 1, CURRENT_VERSION);
        ASSERT_TRUE(runCheck(checker));
        EXPECT_EQ(0u, checker.getVersion());
    }
    auto lines = log.lines();
    EXPECT_NE(lines.end(),
              std::find_if(lines.begin(), lines.end(),
                           [](const std::string& line)
                           { return line.rfind("E Failed to parse version check response: ", 0) == 0; }));
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                     "E Failed to parse version check response: root element 'up[2J' is not "
                                     "'update'"));
}
