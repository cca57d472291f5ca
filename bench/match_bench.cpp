// A networked match under load, headless, on loopback, run from the source root:
// - eight players (the host's own and seven joiners) among 200 entities, paced at the game's
//   25 ms tick: the host's whole tick (server, world, players, events, packets) with a target
//   of 2 ms mean and 5 ms at the 99th percentile, and the bytes the server sends each joiner a
//   second, which must stay within 512 bytes a packet at the packet rate;
// - a joiner fetching a 16 KB level: from the connection request to the match running.
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/server.h"
#include "game/world/entitymanager.h"
#include "network/networkmanager.h"
#include "toolkit/thread.h"

#include "support/game/matchpeer.h"
#include "support/loopback.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
using game::Client;
using Clock = std::chrono::steady_clock;
constexpr unsigned int JOINERS = 7;
constexpr unsigned int ENTITIES = 200;
constexpr int TICK_MS = 25;
constexpr int MEASURED_TICKS = 240;
constexpr int SETTLE_TICKS = 120;
constexpr unsigned int JOIN_TIMEOUT_MS = 30000;

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

using Joiners = std::vector<std::unique_ptr<test::MatchPeer>>;

// Ticks everyone until every joiner runs the match.
bool join(test::MatchPeer& host, Joiners& joiners)
{
    return test::pollUntil(
        [&]
        {
            host.tick();
            for (auto& joiner : joiners)
                joiner->tick();
        },
        [&]
        {
            return std::all_of(joiners.begin(), joiners.end(),
                               [](const std::unique_ptr<test::MatchPeer>& joiner)
                               { return joiner->client(0).getConnectionState() == Client::STATE_IN_MATCH; });
        },
        JOIN_TIMEOUT_MS);
}

void eightPlayersAmongTwoHundredEntities(benchmark::State& state)
{
    test::MatchGround ground;
    test::MatchPeer host(ground, true);
    const unsigned short port = test::freeUdpPort();
    if (!host.startMatch(test::LevelBuilder().smallRoom(), "crowd", 0) ||
        !host.server()->start(8, port, "", "Crowd", "", 0) ||
        !host.addClient("Host").connectLocal(host.server()))
    {
        state.SkipWithError("the host did not start");
        return;
    }
    Joiners joiners;
    for (unsigned int i = 0; i < JOINERS; ++i)
    {
        joiners.push_back(std::make_unique<test::MatchPeer>(ground, false));
        joiners.back()
            ->addClient("Joiner" + std::to_string(i))
            .connect("127.0.0.1:" + std::to_string(port), "");
    }
    if (!join(host, joiners))
    {
        state.SkipWithError("the joiners did not all join");
        return;
    }
    const unsigned int crates = ENTITIES - 1 - JOINERS;
    for (unsigned int i = 0; i < crates; ++i)
        host.entities().createEntity("crate",
                                     Ogre::Vector3((i % 24) * 1.6f - 19.0f, 0.6f + (i / 24) * 1.6f, 0.0f),
                                     Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    // The crates land and settle before the measured ticks.
    for (int tick = 0; tick < SETTLE_TICKS; ++tick)
    {
        host.tick();
        for (auto& joiner : joiners)
            joiner->tick();
    }
    // From here on the packets go at the game's own pace.
    host.server()->setUpdateInterval(game::Server::UPDATE_INTERVAL_MS);
    for (auto& joiner : joiners)
        joiner->client(0).setUpdateInterval(Client::UPDATE_INTERVAL_MS);

    std::vector<double> ticks;
    double seconds = 0.0;
    unsigned int bytes = 0;
    unsigned int packets = 0;
    for (auto _ : state)
    {
        const brix::NetworkManager::Statistics before = host.server()->getStatistics();
        const Clock::time_point start = Clock::now();
        for (int tick = 0; tick < MEASURED_TICKS; ++tick)
        {
            const Clock::time_point begin = Clock::now();
            host.tick();
            ticks.push_back(milliseconds(Clock::now() - begin));
            for (auto& joiner : joiners)
                joiner->tick();
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(TICK_MS));
        }
        seconds += milliseconds(Clock::now() - start) / 1000.0;
        bytes += host.server()->getStatistics().transmittedBytes - before.transmittedBytes;
        packets += host.server()->getStatistics().transmittedPackets - before.transmittedPackets;
    }
    std::sort(ticks.begin(), ticks.end());
    double sum = 0.0;
    for (double tick : ticks)
        sum += tick;
    state.counters["tick_mean_ms"] = sum / ticks.size();
    state.counters["tick_p99_ms"] = ticks[ticks.size() * 99 / 100];
    const double perClient = bytes / seconds / JOINERS;
    const double packetRate = packets / seconds / JOINERS;
    state.counters["bytes_per_client_s"] = perClient;
    state.counters["packets_per_client_s"] = packetRate;
    state.counters["byte_limit_per_client_s"] = 512.0 * packetRate;
}
BENCHMARK(eightPlayersAmongTwoHundredEntities)->Iterations(1)->Unit(benchmark::kMillisecond);

void sixteenKilobyteLevelDownload(benchmark::State& state)
{
    test::MatchGround ground;
    test::MatchPeer host(ground, true);
    const unsigned short port = test::freeUdpPort();
    test::LevelBuilder builder;
    builder.smallRoom();
    // Crates along the floor until the level file holds about 16 KB.
    for (int i = 0; i < 110; ++i)
        builder.entity("crate", Ogre::Vector3(-7.5f + (i % 16), 0.5f + (i / 16), 0.0f));
    if (!host.startMatch(builder, "large", 0) || !host.server()->start(8, port, "", "Large", "", 0))
    {
        state.SkipWithError("the host did not start");
        return;
    }
    std::ifstream level(host.levelFile("large"), std::ios::binary | std::ios::ate);
    state.counters["level_bytes"] = static_cast<double>(level.tellg());
    for (auto _ : state)
    {
        state.PauseTiming();
        Joiners joiners;
        joiners.push_back(std::make_unique<test::MatchPeer>(ground, false));
        joiners.back()->addClient("Joiner").connect("127.0.0.1:" + std::to_string(port), "");
        state.ResumeTiming();
        if (!join(host, joiners))
            state.SkipWithError("the joiner did not join");
        state.PauseTiming();
        joiners.back()->client(0).disconnect();
        for (int tick = 0; tick < 10; ++tick)
        {
            host.tick();
            joiners.back()->tick();
        }
        joiners.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(sixteenKilobyteLevelDownload)->Iterations(3)->Unit(benchmark::kMillisecond);
} // namespace
