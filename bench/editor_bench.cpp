// The level editor on a level of 2,000 elements, headless on the game's data, driven through
// its input callbacks as the user drives it. Run from the source root (or with
// KORVANE_SOURCE_DIR set to it).
//
// Targets: an edit that stores a history state (an arrow-key step) and a pick (a click) within
// one 60 Hz frame, 16 ms; an undo that rebuilds every element under 100 ms; a save with its
// checks under 200 ms.
#include "support/game/editorrig.h"
#include "support/game/levelbuilder.h"

#include "game/editor/leveleditor.h"
#include "game/level/level.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace
{
const unsigned ELEMENTS = 2000;
const char* const BLOCK_KINDS[] = {"techfloor", "techwall", "techcube", "storagecube"};

void enterSourceRoot()
{
    if (const char* root = std::getenv("KORVANE_SOURCE_DIR"))
        if (chdir(root) != 0)
            std::perror(root);
}

// Blocks in rows of 50 two units apart, every fourth element a crate, and the starts.
std::unique_ptr<test::EditorRig> makeEditor()
{
    enterSourceRoot();
    auto rig = std::make_unique<test::EditorRig>();
    test::LevelBuilder builder;
    builder.title("Bench").special("spstart", Ogre::Vector3(0, 1, 0));
    for (unsigned index = 1; index < ELEMENTS; ++index)
    {
        const Ogre::Vector3 place(float(index % 50) * 2.0f, float(index / 50) * 2.0f - 0.5f, 0);
        if (index % 4 == 0)
            builder.entity("crate", place);
        else
            builder.block(BLOCK_KINDS[index % 4], place);
    }
    if (!rig->levelWorld().load(builder, "bench") || !rig->editor().loadLevel("bench"))
        return nullptr;
    rig->select(2.0f, -0.5f);
    return rig;
}

void BM_EditorStepAndPush(benchmark::State& state)
{
    auto rig = makeEditor();
    if (!rig)
        return state.SkipWithError("level not built");
    int direction = 1;
    for (auto _ : state)
    {
        rig->press(direction > 0 ? test::EditorRig::UP : test::EditorRig::DOWN);
        direction = -direction;
    }
}
BENCHMARK(BM_EditorStepAndPush)->Unit(benchmark::kMillisecond);

void BM_EditorUndo(benchmark::State& state)
{
    auto rig = makeEditor();
    if (!rig)
        return state.SkipWithError("level not built");
    rig->press(test::EditorRig::UP);
    bool undo = true;
    for (auto _ : state)
    {
        rig->hold(test::EditorRig::LEFT_CONTROL);
        rig->press(undo ? test::EditorRig::Z : test::EditorRig::Y);
        rig->release(test::EditorRig::LEFT_CONTROL);
        undo = !undo;
    }
}
BENCHMARK(BM_EditorUndo)->Unit(benchmark::kMillisecond);

void BM_EditorPick(benchmark::State& state)
{
    auto rig = makeEditor();
    if (!rig)
        return state.SkipWithError("level not built");
    float x = 0.0f;
    for (auto _ : state)
    {
        rig->select(x, 9.5f);
        x = x >= 90.0f ? 0.0f : x + 2.0f;
    }
}
BENCHMARK(BM_EditorPick)->Unit(benchmark::kMillisecond);

void BM_EditorSave(benchmark::State& state)
{
    auto rig = makeEditor();
    if (!rig)
        return state.SkipWithError("level not built");
    for (auto _ : state)
        rig->editor().saveLevel();
}
BENCHMARK(BM_EditorSave)->Unit(benchmark::kMillisecond);
} // namespace
