#include "engine/presentation/messagedisplay.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"
#include "support/ogre/manualobjectreader.h"
#include "support/ogre/shownlines.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

namespace
{
typedef std::vector<std::string> Lines;

// A display on a clock the test sets.
class ClockedDisplay : public brix::MessageDisplay
{
public:
    ClockedDisplay(Ogre::SceneManager* sceneManager, unsigned maximumLines, float lifetime)
        : MessageDisplay(sceneManager, maximumLines, lifetime, test::ImageFont::NAME, 0.05f,
                         Ogre::ColourValue::White)
    {
    }
    unsigned time = 0xFFFFF000u; // the millisecond counter wraps during the tests
protected:
    unsigned now() const override { return time; }
};

class MessageDisplayTest : public testing::Test
{
protected:
    MessageDisplayTest() : display(&ogre.sceneManager(), 3, 5.0f) {}

    Lines shown()
    {
        Ogre::SceneNode* root = ogre.sceneManager().getRootSceneNode();
        auto* node = static_cast<Ogre::SceneNode*>(root->getChild(0));
        return test::shownLines(*static_cast<Ogre::ManualObject*>(node->getAttachedObject(0)));
    }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    ClockedDisplay display;
};
} // namespace

TEST_F(MessageDisplayTest, KeepsTheNewestLinesUnderTheOldest)
{
    for (const char* text : {"one", "two", "three", "four"})
        display.writeMessage(text, true);
    EXPECT_EQ((Lines{"two", "three", "four"}), shown());
}

TEST_F(MessageDisplayTest, ProvisionalLinesAreReplacedByTheNextMessage)
{
    display.writeMessage("offset1", false);
    display.writeMessage("offset2", false);
    EXPECT_EQ((Lines{"offset2"}), shown());
    display.writeMessage("saved", true);
    EXPECT_EQ((Lines{"saved"}), shown());
    display.writeMessage("third", true);
    EXPECT_EQ((Lines{"saved", "third"}), shown());

    display.clear();
    EXPECT_EQ(Lines{}, shown());
    display.writeMessage("progress", false);
    display.writeMessage("done", true);
    EXPECT_EQ((Lines{"done"}), shown());
}

TEST_F(MessageDisplayTest, LinesExpireOneUpdateAtATimeAfterTheirLifetime)
{
    const unsigned start = display.time;
    display.writeMessage("first", true);
    display.writeMessage("second", true);
    display.time = start + 3000;
    // Replacing a provisional line restarts its lifetime.
    display.writeMessage("draft", false);
    display.writeMessage("third", false);

    display.time = start + 5000;
    display.update();
    EXPECT_EQ((Lines{"first", "second", "third"}), shown());
    display.time = start + 5001;
    display.update();
    EXPECT_EQ((Lines{"second", "third"}), shown());
    display.update();
    EXPECT_EQ((Lines{"third"}), shown());
    display.update();
    EXPECT_EQ((Lines{"third"}), shown());
    display.time = start + 8001;
    display.update();
    EXPECT_EQ(Lines{}, shown());
    display.update();

    // Held lines outlive their lifetime; released, they have all of it again.
    display.writeMessage("reason", true);
    display.setHeld(true);
    display.time = start + 20000;
    display.update();
    display.setHeld(false);
    display.time = start + 25000;
    display.update();
    EXPECT_EQ(Lines{"reason"}, shown());
    display.time = start + 25001;
    display.update();
    EXPECT_EQ(Lines{}, shown());
}

TEST_F(MessageDisplayTest, HangsFromTheTopLeftInScreenCoordinates)
{
    display.setAspectRatio(2.0f);
    display.writeMessage("A", true);
    Ogre::SceneNode* node =
        static_cast<Ogre::SceneNode*>(ogre.sceneManager().getRootSceneNode()->getChild(0));
    auto* object = static_cast<Ogre::ManualObject*>(node->getAttachedObject(0));
    const test::SectionContents s = test::readSection(*object);
    ASSERT_EQ(4u, s.positions.size());
    EXPECT_FLOAT_EQ(-0.99f, s.positions[0].x);
    EXPECT_FLOAT_EQ(0.99f, s.positions[0].y);
    EXPECT_FLOAT_EQ(-0.99f + 0.0125f, s.positions[1].x);
    EXPECT_TRUE(object->getBoundingBox().isInfinite());
    EXPECT_TRUE(object->getUseIdentityProjection());
    EXPECT_EQ(99, object->getRenderQueueGroup());
}

TEST_F(MessageDisplayTest, PeerTextOfAnyBytesOrLengthIsShown)
{
    display.writeMessage("bad \xC0\xFF name", true);
    EXPECT_EQ((Lines{"bad??name"}), shown());
    display.writeMessage(std::string(10000, 'x'), true);
    EXPECT_EQ(10000u, shown().at(1).size());
}
