// What a menu page costs per frame on a headless OGRE Root: a full rebuild of a 25-item page,
// and the frame of a page nobody changed, which must not rebuild at all.
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuitem.h"
#include "engine/presentation/ogremenupage.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"

#include <OgreSceneManager.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
const unsigned int ITEMS = 25;

// A Root without a render system, an image font whose glyphs are set in code,
// and a menu in it with one page of 25 items of every text kind.
struct MenuScene
{
    MenuScene()
    {
        menu = std::make_unique<brix::OgreMenu>(scene, scene->getRootSceneNode(), test::ImageFont::NAME, 0.05f,
                                                Ogre::ColourValue::White, Ogre::ColourValue(1, 0.8f, 0.2f),
                                                true, nullptr);
        page = menu->addPage("options", "Options", nullptr);
        for (unsigned int i = 1; i < ITEMS; ++i)
        {
            const std::string name = "item" + std::to_string(i);
            switch (i % 4)
            {
            case 0:
                page->addActionItem(name, "Open page " + std::to_string(i), "Shows another page", "");
                break;
            case 1:
                page->addTextItem(name, "Player name", "Up to 16 characters", 16, "Korva");
                break;
            case 2:
                page->addValueItem(name, "Volume", "", 0, 1, 0.1f, 0.5f);
                break;
            default:
                page->addListItem(name, "Mode", "", {"Deathmatch", "Co-op", "Race"}, 1);
                break;
            }
        }
        menu->show("options");
        menu->update(0);
    }
    ~MenuScene()
    {
        menu.reset();
    }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    Ogre::SceneManager* scene = &ogre.sceneManager();
    std::unique_ptr<brix::OgreMenu> menu;
    brix::OgreMenuPage* page;
};

MenuScene& menuScene()
{
    static MenuScene instance;
    return instance;
}

// Moving the selection each frame forces the whole page to be laid out and drawn again.
void RebuildPage25Items(benchmark::State& state)
{
    MenuScene& s = menuScene();
    for (auto _ : state)
    {
        s.menu->handleCommand(brix::OgreMenuItem::COMMAND_DOWN);
        s.menu->update(0.016f);
    }
    state.counters["items/s"] =
        benchmark::Counter(static_cast<double>(ITEMS) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(RebuildPage25Items);

// Nothing changes: the frame should cost next to nothing and rebuild nothing.
void UnchangedPageFrame(benchmark::State& state)
{
    MenuScene& s = menuScene();
    s.menu->update(0);
    double rebuilds = 0;
    for (auto _ : state)
    {
        rebuilds += s.page->isModified() ? 1 : 0;
        s.menu->update(0.016f);
    }
    state.counters["rebuilds/frame"] = rebuilds / static_cast<double>(state.iterations());
}
BENCHMARK(UnchangedPageFrame);
} // namespace
