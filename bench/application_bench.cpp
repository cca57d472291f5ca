// The game's own costs under Xvfb: start-up from the constructor to the first frame of the
// menu (target at most 3 s), building the whole menu tree, and the update of a menu frame.
// Run: build/bin/bench_application (the game starts an X server of its own, Xvfb). A game that
// cannot start shows its error and each benchmark reports that instead of a figure.
#include "engine/presentation/ogremenu.h"
#include "support/game/gamerun.h"

#include <OgreSceneManager.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace
{
void useOpenALWithoutSoundCard()
{
    setenv("ALSOFT_DRIVERS", "null", 0);
}

void BM_StartUpToFirstMenuFrame(benchmark::State& state)
{
    useOpenALWithoutSoundCard();
    for (auto _ : state)
    {
        test::UserFolder user;
        user.writeTestConfiguration();
        std::chrono::steady_clock::time_point firstFrame;
        const auto start = std::chrono::steady_clock::now();
        const test::GameRun::TOutcome outcome = test::GameRun::play(
            [&](test::GameRun& game)
            { game.then([&](test::GameRun&) { firstFrame = std::chrono::steady_clock::now(); }); },
            {"--no-update-check"});
        if (outcome.frames == 0)
        {
            state.SkipWithError(test::GameRun::NOT_STARTED);
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(firstFrame - start).count());
    }
}
BENCHMARK(BM_StartUpToFirstMenuFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The work of a step inside the running game, timed by the benchmark's own loop.
void insideGame(benchmark::State& state, const std::function<void(test::GameRun&)>& work)
{
    useOpenALWithoutSoundCard();
    test::UserFolder user;
    user.writeTestConfiguration();
    if (test::GameRun::play([&](test::GameRun& game) { game.then(work); }, {"--no-update-check"}).frames == 0)
        state.SkipWithError(test::GameRun::NOT_STARTED);
}

void BM_MenuBuild(benchmark::State& state)
{
    insideGame(state,
               [&](test::GameRun& game)
               {
                   Ogre::SceneManager* scene = game.getMenu()->getSceneManager();
                   for (auto _ : state)
                   {
                       brix::OgreMenu menu(scene, scene->getRootSceneNode(), "menufont", 0.07f,
                                           Ogre::ColourValue::White, Ogre::ColourValue::White, true, nullptr);
                       game.buildMenus(&menu);
                       menu.show("main");
                       menu.update(0.0f);
                   }
               });
}
BENCHMARK(BM_MenuBuild)->Unit(benchmark::kMillisecond);

// A menu frame with one tick: input, sound, high scores, the event dispatcher, decals,
// labels, shadows, messages and the menu frame with its menu.
void BM_UpdatePerFrame(benchmark::State& state)
{
    insideGame(state,
               [&](test::GameRun& game)
               {
                   for (auto _ : state)
                       game.updateGame(1, 0.016f, 0.0f);
               });
}
BENCHMARK(BM_UpdatePerFrame)->Unit(benchmark::kMicrosecond);
} // namespace
