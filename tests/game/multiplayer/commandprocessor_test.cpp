#include "game/multiplayer/commandprocessor.h"
#include "engine/presentation/messagedisplay.h"
#include "game/world/eventdispatcher.h"
#include "toolkit/configuration.h"

#include "support/game/eventlink.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"
#include "support/ogre/shownlines.h"
#include "support/tempdir.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;

bool exists(const std::string& path)
{
    return std::ifstream(path).good();
}

// The display draws no blanks, so replies compare without them.
Lines unblanked(Lines lines)
{
    for (std::string& line : lines)
        line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
    return lines;
}

class Console : public ::testing::Test
{
protected:
    Console()
        : display(&ogre.sceneManager(), 10, 60.0f, test::ImageFont::NAME, 0.05f, Ogre::ColourValue::White),
          configuration(0x01040200), console(&display, &configuration, &events)
    {
        configuration.addIntegerParameter("video/width", 1024, 640, 4096, 0);
        configuration.addStringParameter("player1/name", "Player", 0, 60, 0);
        configuration.load(dir.file("configuration.xml"));
        events.addListener(&journal);
    }
    ~Console() override { events.removeListener(&journal); }

    Lines shown()
    {
        Ogre::SceneNode* root = ogre.sceneManager().getRootSceneNode();
        if (root->numChildren() == 0)
            return {};
        auto* node = static_cast<Ogre::SceneNode*>(root->getChild(0));
        return test::shownLines(*static_cast<Ogre::ManualObject*>(node->getAttachedObject(0)));
    }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    test::TempDir dir;
    brix::MessageDisplay display;
    brix::Configuration configuration;
    game::EventDispatcher events;
    test::EventJournal journal;
    game::CommandProcessor console;
};

TEST_F(Console, ReadsChangesAndSavesParameters)
{
    EXPECT_TRUE(console.execute("/set video/width 800"));
    EXPECT_TRUE(console.execute("/set\tplayer1/name \"Ann Bo\""));
    EXPECT_TRUE(console.execute("/get player1/name"));
    EXPECT_FALSE(console.execute("/set video/width"));
    EXPECT_FALSE(console.execute("/set video/width wide"));
    EXPECT_FALSE(console.execute("/get"));
    EXPECT_FALSE(console.execute("/save now"));
    EXPECT_FALSE(exists(dir.file("configuration.xml")));
    EXPECT_TRUE(console.execute("/save"));
    EXPECT_TRUE(exists(dir.file("configuration.xml")));
    // A save that fails says why.
    std::filesystem::create_directory(dir.file("configuration.xml.tmp"));
    EXPECT_FALSE(console.execute("/save"));

    EXPECT_EQ(configuration.getInteger("video/width"), 800);
    EXPECT_EQ(configuration.getString("player1/name"), "Ann Bo");
    EXPECT_EQ(shown(), unblanked({"video/width=800", "player1/name=Ann Bo", "player1/name=Ann Bo",
                                  "Usage: /set <parameter name> <value>",
                                  "Error: unable to set parameter 'video/width'",
                                  "Usage: /get <parameter name>", "Usage: /save",
                                  "Error: unable to save configuration: Unable to open target file '" +
                                      dir.file("configuration.xml") + "': Is a directory"}));
}

TEST_F(Console, ShowsVersionsPostsCheatsAndRefusesTheRest)
{
    EXPECT_TRUE(console.execute("/version and more"));
    EXPECT_TRUE(console.execute("/vobrk"));
    EXPECT_TRUE(console.execute("/ulzem x"));
    EXPECT_FALSE(console.execute(" \t "));
    EXPECT_FALSE(console.execute("/VERSION"));
    events.dispatch();

    EXPECT_EQ(journal.events, (Lines{"24,0,1,", "24,1,0,"}));
    EXPECT_EQ(shown(), unblanked({"Application version: 1.4.2 network protocol version: 0.21.0",
                                  "Error: empty command", "Error: Unknown command"}));
}
} // namespace
