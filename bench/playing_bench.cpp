// The costs of playing, under Xvfb at 1280x720: a whole frame of single player and of split
// screen on sp01 (the game's update with one tick, then drawing the window) with glowing things
// in view, with the screen filters on and off side by side (targets: under 16.7 ms, and with
// filters at most 1.4 times the frame without), a rebuild of the HUD, and 50 world labels that
// all change every frame.
// Run: build/bin/bench_playing --benchmark_filter=Frame (the game starts an X server of its own,
// Xvfb). A game that cannot start shows its error and each benchmark reports that instead of a
// figure.
#include "engine/presentation/labelmanager.h"
#include "game/application/camera.h"
#include "game/application/hud.h"
#include "game/level/level.h"
#include "game/world/entitymanager.h"
#include "game/world/worldlabel.h"
#include "support/game/gamerun.h"
#include "support/game/localmatch.h"

#include <OgreRenderWindow.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace
{
const float TICK = 0.025f;
// The frame benchmarks turn the filters on and off in turn: frames left to settle after each
// turn, then frames timed.
const int SETTLE_FRAMES = 2;
const int TIMED_FRAMES = 5;

// Things that glow, in view of the humans at sp01's start: a weapon lying in the world, a lamp
// and the exit, none of them within the humans' reach.
void placeGlowingThings(test::GameRun& game)
{
    const Ogre::Vector3 start = game.getLevel()->getSinglePlayerStart();
    const std::pair<const char*, Ogre::Vector3> things[] = {{"pistol", Ogre::Vector3(3.0f, 0.3f, 0.0f)},
                                                            {"lamp", Ogre::Vector3(6.5f, 1.5f, 0.0f)},
                                                            {"exit", Ogre::Vector3(5.0f, -0.9f, 0.0f)}};
    for (const auto& thing : things)
        if (!game.getEntityManager()->createEntity(thing.first, start + thing.second,
                                                   Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                                                   Ogre::Vector3::ZERO))
            throw std::runtime_error(std::string("No ") + thing.first + " to place");
}

// The work of a step inside the running game at 1280x720, timed by the benchmark's own loop;
// with humans, a match on sp01 runs meanwhile.
void insideGame(benchmark::State& state, unsigned int humans, const std::function<void(test::GameRun&)>& work)
{
    setenv("ALSOFT_DRIVERS", "null", 0);
    test::UserFolder user;
    user.writeTestConfiguration(
        {{"video/width", "1280"}, {"video/height", "720"}, {"video/filters", "true"}});
    std::unique_ptr<test::LocalMatch> match;
    const test::GameRun::TOutcome outcome = test::GameRun::play(
        [&](test::GameRun& game)
        {
            if (humans)
                game.then(
                    [&](test::GameRun& game)
                    {
                        match.reset(new test::LocalMatch(game, "sp01", humans));
                        placeGlowingThings(game);
                    });
            game.then(work);
            game.then([&](test::GameRun&) { match.reset(); });
        },
        {"--no-update-check"});
    if (outcome.frames == 0)
        state.SkipWithError(test::GameRun::NOT_STARTED);
}

// Each iteration times frames with the screen filters on, then as many without, so that both
// meet the machine as it is at that moment: the benchmark's time is a frame with the filters,
// filters_off one without and filters_ratio the one over the other.
void playFrames(benchmark::State& state, unsigned int humans)
{
    insideGame(state, humans,
               [&](test::GameRun& game)
               {
                   double seconds[2] = {0.0, 0.0};
                   for (auto _ : state)
                       for (int filters = 1; filters >= 0; --filters)
                       {
                           for (unsigned int camera = 0; camera < humans; ++camera)
                               game.getCamera(camera)->setCompositorsEnabled(filters != 0);
                           double timed = 0.0;
                           for (int frame = 0; frame < SETTLE_FRAMES + TIMED_FRAMES; ++frame)
                           {
                               const auto start = std::chrono::steady_clock::now();
                               game.updateGame(1, TICK, 0.0f);
                               game.getRenderWindow()->update();
                               if (frame >= SETTLE_FRAMES)
                                   timed +=
                                       std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                                           .count();
                           }
                           seconds[filters] += timed;
                           if (filters)
                               state.SetIterationTime(timed / TIMED_FRAMES);
                       }
                   const double frames = static_cast<double>(state.iterations()) * TIMED_FRAMES;
                   state.counters["filters_off_ms"] = 1000.0 * seconds[0] / frames;
                   state.counters["filters_ratio"] = seconds[0] > 0.0 ? seconds[1] / seconds[0] : 0.0;
               });
}

void BM_FrameSinglePlayer(benchmark::State& state)
{
    playFrames(state, 1);
}
BENCHMARK(BM_FrameSinglePlayer)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FrameSplitScreen(benchmark::State& state)
{
    playFrames(state, 2);
}
BENCHMARK(BM_FrameSplitScreen)->UseManualTime()->Unit(benchmark::kMillisecond);

// Health changing every time: the whole HUD drawn anew.
void BM_HudRebuild(benchmark::State& state)
{
    insideGame(state, 0,
               [&](test::GameRun& game)
               {
                   game::HUD hud(0, game.getSceneManager());
                   game::HUD::TStatus status;
                   status.name = "Tester (12300)";
                   status.weapons[0] = {"Pistol", 48, 9};
                   status.weapons[1] = {"Rocket launcher", 4, 1};
                   status.keyMask = 5;
                   status.shieldEnergy = 0.5f;
                   int i = 0;
                   for (auto _ : state)
                   {
                       status.health = (++i % 100) / 100.0f;
                       hud.update(status);
                   }
               });
}
BENCHMARK(BM_HudRebuild)->Unit(benchmark::kMicrosecond);

// 25 character labels with moving aim lines and 25 interaction labels fading in and out, in
// both layers: every layer redrawn every frame.
void BM_FiftyLabelsPerFrame(benchmark::State& state)
{
    insideGame(
        state, 0,
        [&](test::GameRun& game)
        {
            brix::LabelManager& labels = *game.getLabelManager();
            std::vector<game::WorldLabel*> characters, interactions;
            for (int i = 0; i < 25; ++i)
            {
                auto* character = static_cast<game::WorldLabel*>(
                    labels.addLabel("character", Ogre::Vector3(i * 2.0f, 0, 0)));
                character->setText("Guard " + std::to_string(i));
                character->setLayerFlags(3);
                characters.push_back(character);
                auto* interaction = static_cast<game::WorldLabel*>(
                    labels.addLabel("interaction", Ogre::Vector3(i * 2.0f, 2, 0)));
                interaction->setText("Crate");
                interaction->setBoundingBox(Ogre::AxisAlignedBox(-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f));
                interaction->setPlacement(1 + i % 4);
                interactions.push_back(interaction);
            }
            int frame = 0;
            for (auto _ : state)
            {
                ++frame;
                for (game::WorldLabel* character : characters)
                    character->setAimLine(Ogre::Vector2::ZERO, Ogre::Vector2(3.0f, 0.01f * (frame % 50)));
                for (game::WorldLabel* interaction : interactions)
                    interaction->setLayerFlags(frame % 20 < 10 ? 3 : 0);
                labels.update(0.016f);
            }
            labels.removeLabels();
        });
}
BENCHMARK(BM_FiftyLabelsPerFrame)->Unit(benchmark::kMicrosecond);
} // namespace
