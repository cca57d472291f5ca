#include "game/multiplayer/eventproxy.h"

#include "support/game/eventlink.h"
#include "support/logcapture.h"
#include "toolkit/log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;
using game::EventDispatcher;
using game::EventProxy;

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class DebugLog : public ::testing::Test
{
protected:
    DebugLog() { brix::Log::setLevel(brix::Log::DEBUG); }
    ~DebugLog() override { brix::Log::setLevel(brix::Log::INFO); }
    test::LogCapture log;
};

TEST(EventProxy, EncodesGameAndSystemEventsByteForByte)
{
    EventProxy proxy(1, nullptr);
    proxy.sendGameEvent(EventDispatcher::KillScore, 3, 1500, "4");
    // A negative argument travels as its unsigned 32-bit value.
    proxy.sendGameEvent(EventDispatcher::PlayerKilled, 2, static_cast<unsigned>(-1), "");
    const unsigned char level[] = {1, 2, 3};
    proxy.sendSystemEvent(EventProxy::LevelDownloadResponse, 0, 0, "sp01", level, sizeof(level));
    proxy.sendSystemEvent(EventProxy::ConnectionReady, 2, 8, "", nullptr, 0);
    // Data given with a game event is not sent.
    proxy.sendEvent(EventDispatcher::ChatMessage, 1, 0, "hi", level, sizeof(level));

    const std::vector<Bytes> messages = test::sentMessages(proxy);
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], (Bytes{19, 3, 0xDC, 0x0B, 1, '4'}));
    EXPECT_EQ(messages[1], (Bytes{22, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0}));
    EXPECT_EQ(messages[2], (Bytes{208, 0, 0, 4, 's', 'p', '0', '1', 3, 1, 2, 3}));
    EXPECT_EQ(messages[3], (Bytes{201, 2, 8, 0, 0}));
    EXPECT_EQ(messages[4], (Bytes{23, 1, 0, 2, 'h', 'i'}));
}

TEST(EventProxy, RelaysOnlyTheEventsClientsMustSeeAndOnlyFromTheServer)
{
    test::EventLink link;
    for (unsigned id = 1; id <= 35; ++id)
        link.serverEvents.post(id, static_cast<int>(id), -5, "t" + std::to_string(id));
    link.serverEvents.dispatch();
    // Events on a client never travel to the server.
    link.clientEvents.post(EventDispatcher::KillScore, 1, 100, "1");
    link.clientEvents.dispatch();
    link.clientJournal.events.clear();
    link.flush();
    link.clientEvents.dispatch();

    std::vector<std::string> expected;
    for (unsigned id : {2u, 5u, 6u, 7u, 8u, 9u, 14u, 15u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 23u})
        expected.push_back(std::to_string(id) + "," + std::to_string(id) + ",-5,t" + std::to_string(id));
    EXPECT_EQ(link.clientJournal.events, expected);
    EXPECT_EQ(link.serverJournal.events.size(), 35u);
    EXPECT_TRUE(link.serverSystem.events.empty());

    // A host's chat reaches the client's screen as cleaned as a client's reaches the host's.
    link.clientJournal.events.clear();
    link.serverProxy->sendGameEvent(EventDispatcher::ChatMessage, 1, 0,
                                    "a\x1b[2J\xe2\x80\xae\xff"
                                    "b");
    link.flush();
    link.clientEvents.dispatch();
    EXPECT_EQ(link.clientJournal.events,
              (std::vector<std::string>{std::to_string(EventDispatcher::ChatMessage) + ",1,0,a[2Jb"}));
}

TEST_F(DebugLog, RefusesEventsFromTheWrongSideAsUnexpected)
{
    test::EventLink link;
    // The client sends what only a server may: a game event and the server's handshake.
    link.clientProxy->sendGameEvent(EventDispatcher::MatchComplete, 1, 0, "");
    link.clientProxy->sendSystemEvent(EventProxy::ConnectionReady, 1, 8, "", nullptr, 0);
    link.clientProxy->sendSystemEvent(EventProxy::LevelDownloadResponse, 0, 0, "x", "ab", 2);
    // The server sends what only a client may, and a game event that is never relayed.
    link.serverProxy->sendSystemEvent(EventProxy::ConfigurePlayer, 3, 0, "Ann", nullptr, 0);
    link.serverProxy->sendGameEvent(EventDispatcher::Cheat, 1, 1, "");
    link.serverProxy->sendGameEvent(200, 0, 0, "");
    // And what each side may send.
    link.clientProxy->sendSystemEvent(EventProxy::ChatRequest, 7, 0, "hello", nullptr, 0);
    link.clientProxy->sendSystemEvent(EventProxy::ConfigurePlayer, 3, 0, "Ann", nullptr, 0);
    link.serverProxy->sendSystemEvent(EventProxy::ConnectionReady, 1, 8, "", nullptr, 0);
    link.serverProxy->sendSystemEvent(EventProxy::BeginMatch, 5, 0xDEADBEEF, "sp01", nullptr, 0);
    link.flush();
    link.serverEvents.dispatch();
    link.clientEvents.dispatch();

    EXPECT_TRUE(link.serverJournal.events.empty());
    EXPECT_TRUE(link.clientJournal.events.empty());
    EXPECT_EQ(link.serverSystem.events, (std::vector<std::string>{"1:206,7,0,hello,0", "1:202,3,0,Ann,0"}));
    EXPECT_EQ(link.clientSystem.events,
              (std::vector<std::string>{"0:201,1,8,,0", "0:205,5,3735928559,sp01,0"}));
    const std::vector<std::string> lines = log.lines();
    // A peer can send these at will: the first of a second is logged, the others counted.
    EXPECT_TRUE(contains(lines, "D Unexpected event 2 received from node 1"));
    EXPECT_FALSE(contains(lines, "D Unexpected event 201 received from node 1"));
    EXPECT_FALSE(contains(lines, "D Unexpected event 208 received from node 1"));
    EXPECT_TRUE(contains(lines, "D Unexpected event 202 received from node 0"));
    EXPECT_FALSE(contains(lines, "D Unexpected event 24 received from node 0"));
    EXPECT_FALSE(contains(lines, "D Unexpected event 200 received from node 0"));
}

TEST_F(DebugLog, DropsAChatThatDoesNotEncodeButTheServerStillHearsIt)
{
    test::EventLink link;
    const std::string chat(130, 'x');
    link.serverEvents.post(EventDispatcher::ChatMessage, 1, 0, chat);
    link.serverEvents.post(EventDispatcher::ChatMessage, 1, 0, "short");
    link.serverEvents.dispatch();
    link.flush();
    link.clientEvents.dispatch();

    EXPECT_EQ(link.serverJournal.events, (std::vector<std::string>{"23,1,0," + chat, "23,1,0,short"}));
    EXPECT_EQ(link.clientJournal.events, (std::vector<std::string>{"23,1,0,short"}));
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{"E Event 23 encoding for node 1 failed: Buffer overflow"}));
}

TEST(EventProxy, CarriesTheLargestLevelAndHandsAnOverLongOneOverEmpty)
{
    test::EventLink link;
    std::vector<unsigned char> level(EventProxy::SYSTEM_EVENT_DATA_SIZE);
    for (size_t i = 0; i < level.size(); ++i)
        level[i] = static_cast<unsigned char>(i * 7);
    link.serverProxy->sendSystemEvent(EventProxy::LevelDownloadResponse, 0, 0, "big", level.data(),
                                      static_cast<unsigned>(level.size()));
    link.flush(400);
    ASSERT_EQ(link.clientSystem.events, (std::vector<std::string>{"0:208,0,0,big,16384"}));
    EXPECT_EQ(link.clientSystem.lastData, level);

    level.resize(EventProxy::SYSTEM_EVENT_DATA_SIZE + 1);
    link.serverProxy->sendSystemEvent(EventProxy::LevelDownloadResponse, 0, 0, "big", level.data(),
                                      static_cast<unsigned>(level.size()));
    link.flush(400);
    ASSERT_EQ(link.clientSystem.events.size(), 2u);
    EXPECT_EQ(link.clientSystem.events[1], "0:208,0,0,big,0");
}

TEST(EventProxy, ExchangesTheHandshakeInMemoryInOrder)
{
    EventDispatcher events;
    test::EventJournal journal;
    events.addListener(&journal);
    EventProxy server(1, nullptr);
    EventProxy client(0, &events);
    test::SystemJournal serverSystem;
    test::SystemJournal clientSystem;
    server.setListener(&serverSystem);
    client.setListener(&clientSystem);

    server.sendSystemEvent(EventProxy::ConnectionReady, 1, 8, "", nullptr, 0);
    server.sendSystemEvent(EventProxy::PrepareMatch, 10, 0x1234, "sp01", nullptr, 0);
    client.sendSystemEvent(EventProxy::ConfigurePlayer, 2, 0, "Bo", nullptr, 0);
    client.sendSystemEvent(EventProxy::PrepareReady, 0, 0, "", nullptr, 0);
    server.sendGameEvent(EventDispatcher::KillScore, 1, 100, "1");
    server.exchange(client);
    server.receive();
    client.receive();
    events.dispatch();

    EXPECT_EQ(clientSystem.events, (std::vector<std::string>{"0:201,1,8,,0", "0:203,10,4660,sp01,0"}));
    EXPECT_EQ(serverSystem.events, (std::vector<std::string>{"1:202,2,0,Bo,0", "1:204,0,0,,0"}));
    EXPECT_EQ(journal.events, (std::vector<std::string>{"19,1,100,1"}));

    // A reset client forgets what it had not yet taken in.
    server.sendSystemEvent(EventProxy::BeginMatch, 10, 0x1234, "sp01", nullptr, 0);
    server.exchange(client);
    client.reset();
    client.receive();
    EXPECT_EQ(clientSystem.events.size(), 2u);
    events.removeListener(&journal);
}
} // namespace
