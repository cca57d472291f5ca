#pragma once
#include "engine/core/inputmanager.h"
#include "engine/presentation/labelfactory.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "game/application/application.h"
#include "game/world/worldlabel.h"
#include "support/tempdir.h"
#include "support/xserver.h"
#include "toolkit/xmlelement.h"

#include <OgreFrameListener.h>
#include <OgreRenderWindow.h>
#include <OgreRoot.h>
#include <OgreTextureManager.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The whole game in the test's process, on an X server of its own: a fresh user data folder,
// a configuration written before the start, and a script of steps run one per frame, with keys
// injected through the game's own input manager. Header-only, shared by the application's tests
// and benchmarks.
namespace test
{
// BRIX_USER_DATA_DIR names a fresh temporary folder while this lives.
class UserFolder
{
public:
    UserFolder() { setenv("BRIX_USER_DATA_DIR", mDir.path().c_str(), 1); }
    ~UserFolder() { unsetenv("BRIX_USER_DATA_DIR"); }
    UserFolder(const UserFolder&) = delete;
    UserFolder& operator=(const UserFolder&) = delete;

    const std::string& path() const { return mDir.path(); }
    std::string file(const std::string& name) const { return mDir.file(name); }

    // "configuration.xml" of that version with these values, by parameter name.
    void writeConfiguration(const std::vector<std::pair<std::string, std::string>>& values,
                            unsigned int version = game::Application::APPLICATION_VERSION) const
    {
        brix::XMLElement root("configuration");
        root.findChild("version", true)->setValue(static_cast<int>(version));
        for (const auto& value : values)
            root.findChild(value.first, true)->setValue(value.second);
        root.save(file(game::Application::CONFIGURATION_FILE), true);
    }

    // A small window, a named player (so the game opens on the main page) and no music.
    void writeTestConfiguration(std::vector<std::pair<std::string, std::string>> values = {}) const
    {
        values.insert(values.begin(), {{"video/width", "640"},
                                       {"video/height", "360"},
                                       {"player1/name", "Tester"},
                                       {"audio/music", "false"}});
        writeConfiguration(values);
    }

private:
    TempDir mDir;
};

// GLFW's key codes the tests press.
enum Key
{
    KEY_TAB = 258,
    KEY_BACKSPACE = 259,
    KEY_ENTER = 257,
    KEY_ESCAPE = 256,
    KEY_RIGHT = 262,
    KEY_LEFT = 263,
    KEY_DOWN = 264,
    KEY_UP = 265,
    KEY_F9 = 298
};

class GameRun : public game::Application
{
public:
    typedef std::function<void(GameRun&)> Step;

    // What a benchmark says instead of a figure when the game could not start (no frame drawn).
    static constexpr const char* NOT_STARTED =
        "the game could not start (a display is needed), see its error above";

    struct TOutcome
    {
        // What the export run would return.
        int result = -1;
        // The game asked to end (its update returned false) before the script ran out.
        bool endedByGame = false;
        unsigned int frames = 0;
    };

    // Runs a game the way the export does, with the command-line options given after the
    // program name. prepare adds the steps to the game before it starts. The game has an X server
    // of its own: on a shared one, other tests' windows move its pointer and take its focus.
    static TOutcome play(const std::function<void(GameRun&)>& prepare, std::vector<std::string> options = {})
    {
        XServer display;
        TOutcome outcome;
        options.insert(options.begin(), "korvane");
        std::vector<const char*> argv;
        for (const std::string& option : options)
            argv.push_back(option.c_str());
        outcome.result = game::Application::runGuarded(
            [&]()
            {
                std::unique_ptr<GameRun> game(new GameRun(outcome));
                prepare(*game);
                return std::unique_ptr<game::Application>(std::move(game));
            },
            static_cast<int>(argv.size()), argv.data());
        return outcome;
    }

    // One step per frame, in order.
    void then(const Step& step) { mSteps.push_back(step); }
    // Frames that only run the game (the menu frame slides in within 50 of them).
    void wait(unsigned int frames)
    {
        for (unsigned int i = 0; i < frames; ++i)
            then([](GameRun&) {});
    }
    // A key pressed and released, then a frame to show its effect.
    void thenPress(Key key)
    {
        then([key](GameRun& game) { game.press(key); });
    }

    // One more update of the game with these times, outside the frame clock.
    bool updateGame(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds)
    {
        if (ticks > 0 && mBeforeTicks)
            mBeforeTicks();
        return game::Application::update(ticks, elapsedSeconds, sinceTickSeconds);
    }
    // Whole ticks of 25 ms, each with its frame, outside the frame clock.
    void runTicks(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            updateGame(1, 0.025f, 0.0f);
    }
    // Runs before every update that has ticks; empty for nothing.
    void setBeforeTicks(const std::function<void()>& work) { mBeforeTicks = work; }

    // The script ends after this step.
    void stop() { mNextStep = mSteps.size(); }

    void press(int key)
    {
        getInputManager()->keyCallback(getWindow(), key, 0, 1, 0);
        getInputManager()->keyCallback(getWindow(), key, 0, 0, 0);
    }
    // Characters as typed; "\b" is the Backspace key.
    void type(const std::string& text)
    {
        for (unsigned char character : text)
        {
            if (character == '\b')
                press(KEY_BACKSPACE);
            else
                getInputManager()->characterCallback(getWindow(), character);
        }
    }
    // What this frame shows, as a PNG file written once it is drawn (before it goes on screen).
    void screenshot(const std::string& path) { mScreenshots.push_back(path); }

    std::string currentPage() const
    {
        brix::OgreMenuPage* page = getMenu()->getCurrentPage();
        return page && getMenu()->isVisible() ? page->getName() : std::string();
    }
    brix::OgreMenuItem* item(const std::string& page, const std::string& name) const
    {
        brix::OgreMenuPage* menuPage = getMenu()->getPage(page);
        return menuPage ? menuPage->getItem(name) : nullptr;
    }
    std::string currentItem() const
    {
        brix::OgreMenuPage* page = getMenu()->getCurrentPage();
        brix::OgreMenuItem* current = page ? page->getCurrentItem() : nullptr;
        return current ? current->getName() : std::string();
    }

    using game::Application::buildMenus;

protected:
    // The level's light map is what the block materials read; until the game's level makes it
    // in preload, the run makes a blank one so that the data loads.
    void preload() override
    {
        game::Application::preload();
        Ogre::TextureManager& textures = Ogre::TextureManager::getSingleton();
        if (!textures.resourceExists("lightmap", "default"))
            textures.createManual("lightmap", "default", Ogre::TEX_TYPE_2D, 1, 1, 0, Ogre::PF_R8G8B8A8);
    }

    void setup(int argc, const char** argv) override
    {
        game::Application::setup(argc, argv);
        // Humans and items float labels of these types; where the game registers none yet,
        // blank ones stand in (a type registered already keeps its own).
        for (const char* type : {"character", "interaction"})
            getLabelManager()->registerLabelType(new TBlankLabels(type));
        getRoot()->addFrameListener(&mCamera);
    }

    void cleanup() override
    {
        if (getRoot())
            getRoot()->removeFrameListener(&mCamera);
        game::Application::cleanup();
    }

    bool update(unsigned int ticks, float elapsedSeconds, float sinceTickSeconds) override
    {
        ++mOutcome.frames;
        if (ticks > 0 && mBeforeTicks)
            mBeforeTicks();
        if (!game::Application::update(ticks, elapsedSeconds, sinceTickSeconds))
        {
            mOutcome.endedByGame = true;
            return false;
        }
        if (mNextStep >= mSteps.size())
            return false;
        mSteps[mNextStep++](*this);
        return true;
    }

private:
    struct TBlankLabel : public game::WorldLabel
    {
        explicit TBlankLabel(brix::LabelManager* manager) : game::WorldLabel(manager) {}
        void rebuild(brix::OgreObjectBuilder&) override {}
    };
    struct TBlankLabels : public brix::LabelFactory
    {
        explicit TBlankLabels(const char* type) : type(type) {}
        std::string getType() override { return type; }
        brix::Label* createLabel(brix::LabelManager* manager) override { return new TBlankLabel(manager); }
        std::string type;
    };

    // Writes the screenshots asked for once the frame is drawn and before it is shown, when
    // the window's back buffer holds it.
    struct TCamera : public Ogre::FrameListener
    {
        explicit TCamera(GameRun& game) : game(game) {}
        bool frameRenderingQueued(const Ogre::FrameEvent&) override
        {
            for (const std::string& path : game.mScreenshots)
                game.getRenderWindow()->writeContentsToFile(path);
            game.mScreenshots.clear();
            return true;
        }
        GameRun& game;
    };

    explicit GameRun(TOutcome& outcome) : mOutcome(outcome), mCamera(*this) {}

    TOutcome& mOutcome;
    std::vector<Step> mSteps;
    size_t mNextStep = 0;
    std::function<void()> mBeforeTicks;
    std::vector<std::string> mScreenshots;
    TCamera mCamera;
};
} // namespace test
