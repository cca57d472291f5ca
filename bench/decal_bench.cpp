// Cost of decals on a headless OGRE Root: rebuilding the geometry of 1,000 and 5,000 decals, and
// placing one decal into a full list (with and without a spacing test over every decal).
#include "engine/presentation/decalmanager.h"
#include "support/ogre/headlessogre.h"

#include <OgreSceneManager.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace
{
// A Root without a render system, working in a temporary folder holding the benchmark's
// "decals.xml": "mark" without spacing, "hole" spaced 0.01 apart.
struct Headless
{
    Headless()
    {
        char pattern[] = "/tmp/korvane-decal-bench-XXXXXX";
        folder = mkdtemp(pattern);
        std::filesystem::current_path(folder);
        std::ofstream("decals.xml")
            << "<decals>"
               "<decal><name>mark</name><quad><material>marks</material>"
               "<size>0.2 0.2</size><uv1>0 0</uv1><uv2>1 1</uv2></quad></decal>"
               "<decal><name>hole</name><spacing>0.01</spacing><quad><material>marks</material>"
               "<size>0.2 0.2</size><uv1>0 0</uv1><uv2>1 1</uv2></quad></decal>"
               "</decals>";
    }
    ~Headless()
    {
        std::filesystem::remove_all(folder);
    }

    test::HeadlessOgre ogre;
    Ogre::SceneManager* scene = &ogre.sceneManager();
    std::string folder;
};

Headless& headless()
{
    static Headless instance;
    return instance;
}

Ogre::Vector3 spot(unsigned i)
{
    return Ogre::Vector3(static_cast<float>(i % 100), static_cast<float>(i / 100), 0);
}

// One placement and the rebuild it causes: every decal of the section is added again.
void DecalRebuild(benchmark::State& state)
{
    const unsigned count = static_cast<unsigned>(state.range(0));
    brix::DecalManager decals(headless().scene, Ogre::Vector3::ZERO);
    decals.initialize();
    decals.setMaximumDecalCount(count);
    for (unsigned i = 0; i < count; ++i)
        decals.createDecal("mark", spot(i), Ogre::Quaternion::IDENTITY);
    decals.update(1.0f);
    unsigned next = count;
    for (auto _ : state)
    {
        decals.createDecal("mark", spot(next++ % count), Ogre::Quaternion::IDENTITY);
        decals.update(1.0f);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(DecalRebuild)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Placing one decal into a full list of 100; the spaced kind first compares with every decal.
void DecalCreate(benchmark::State& state)
{
    const char* kind = state.range(0) ? "hole" : "mark";
    brix::DecalManager decals(headless().scene, Ogre::Vector3::ZERO);
    decals.initialize();
    for (unsigned i = 0; i < decals.getMaximumDecalCount(); ++i)
        decals.createDecal(kind, spot(i), Ogre::Quaternion::IDENTITY);
    unsigned next = decals.getMaximumDecalCount();
    for (auto _ : state)
        decals.createDecal(kind, spot(next++), Ogre::Quaternion::IDENTITY);
}
BENCHMARK(DecalCreate)->ArgName("spaced")->Arg(0)->Arg(1);
} // namespace
