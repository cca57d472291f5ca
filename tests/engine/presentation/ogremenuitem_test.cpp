#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuimageitem.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenutextitem.h"
#include "engine/presentation/ogremenutextvalidator.h"
#include "engine/presentation/ogremenuvalueitem.h"
#include "menutesting.h"
#include "support/ogre/manualobjectreader.h"

#include <OgreManualObject.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

using brix::OgreMenuItem;
using brix::OgreMenuListener;
using brix::OgreMenuPage;

namespace
{
class MenuItemTest : public menutest::MenuTest
{
protected:
    MenuItemTest() : page(addPage("page")) {}

    // Sends the commands to the menu and returns how many value changes were reported.
    size_t send(std::initializer_list<OgreMenuItem::Command> commands)
    {
        listener.events.clear();
        for (auto command : commands)
            menu.handleCommand(command);
        size_t changes = 0;
        for (const auto& event : listener.events)
            changes += event.second == OgreMenuListener::EVENT_VALUE_CHANGED;
        return changes;
    }

    void type(const std::string& characters)
    {
        for (char c : characters)
            menu.handleCharacter(static_cast<unsigned char>(c));
    }

    OgreMenuPage* page;
};

// Accepts letters only, in upper case.
struct UpperCaseLetters : public brix::OgreMenuTextValidator
{
    bool validateCharacter(brix::OgreMenuTextItem* item, int& character) override
    {
        if (character >= 'a' && character <= 'z')
            character -= 'a' - 'A';
        return character >= 'A' && character <= 'Z';
    }
};
} // namespace

TEST_F(MenuItemTest, TextItemTypesUpToItsLengthInTheNormalStateOnly)
{
    brix::OgreMenuTextItem* name = page->addTextItem("name", "Name", "", 3, "abcdef");
    EXPECT_EQ("abc", name->getValue());
    menu.show("page");
    listener.events.clear();

    type("d");
    EXPECT_EQ("abc", name->getValue());
    EXPECT_TRUE(listener.events.empty());
    type("\b\bx");
    EXPECT_EQ("ax", name->getValue());
    EXPECT_EQ(3u, listener.events.size());
    type("\t\n\x1b");
    menu.handleCharacter(-5);
    menu.handleCharacter(0xD800);
    menu.handleCharacter(0x110000);
    EXPECT_EQ("ax", name->getValue());
    EXPECT_EQ(3u, listener.events.size());
    // Characters are code points, not bytes.
    menu.handleCharacter(0x00E9);
    EXPECT_EQ("ax\xC3\xA9", name->getValue());
    type("\b\b\b\b");
    EXPECT_EQ("", name->getValue());
    EXPECT_EQ(7u, listener.events.size());

    name->setState(OgreMenuItem::STATE_READ_ONLY);
    type("zz");
    EXPECT_EQ("", name->getValue());
}

TEST_F(MenuItemTest, TextItemValidatorMayRefuseOrReplaceCharacters)
{
    UpperCaseLetters validator;
    brix::OgreMenuTextItem* name = page->addTextItem("name", "", "", 8, "");
    name->setValidator(&validator);
    menu.show("page");
    type("a1b-C");
    EXPECT_EQ("ABC", name->getValue());
    name->setValidator(nullptr);
    type("1");
    EXPECT_EQ("ABC1", name->getValue());
}

TEST_F(MenuItemTest, TextItemValuesAreTrimmedCutAndReadAsNumbers)
{
    brix::OgreMenuTextItem* text = page->addTextItem("port", "", "", 6, "");
    listener.events.clear();
    text->setValue("  12 ");
    EXPECT_EQ("12", text->getValue());
    EXPECT_EQ(12, text->getValueAsInteger());
    text->setValue("   ");
    EXPECT_EQ("", text->getValue());
    text->setValue("1234567");
    EXPECT_EQ("123456", text->getValue());
    text->setValue(2.5f);
    EXPECT_FLOAT_EQ(2.5f, text->getValueAsFloat());
    text->setValue(7);
    EXPECT_EQ("7", text->getValue());
    EXPECT_EQ(0, (page->addTextItem("word", "", "", 6, "abc"))->getValueAsInteger());
    // Malformed UTF-8 keeps a replacement character per bad run; setting reports nothing.
    text->setValue("a\xE2\x82"
                   "b\xFF");
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD",
              text->getValue());
    EXPECT_TRUE(listener.events.empty());
    // Activation is reported in any state.
    menu.show("page");
    page->setCurrentItem("port");
    text->setState(OgreMenuItem::STATE_READ_ONLY);
    listener.events.clear();
    menu.handleCommand(OgreMenuItem::COMMAND_ACTIVATE);
    ASSERT_EQ(1u, listener.events.size());
    EXPECT_EQ(OgreMenuListener::EVENT_ITEM_ACTIVATED, listener.events[0].second);
}

TEST_F(MenuItemTest, TextItemCopiesAndPastesThroughTheWindowClipboard)
{
    ASSERT_TRUE(glfwInit());
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    GLFWwindow* window = glfwCreateWindow(64, 64, "clipboard", nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    {
        brix::OgreMenu windowed(&ogre.sceneManager(), ogre.sceneManager().getRootSceneNode(),
                                test::ImageFont::NAME, 0.1f, menutest::TEXT_COLOUR, menutest::SELECTED_COLOUR,
                                false, window);
        OgreMenuPage* chat = windowed.addPage("chat", "Chat", &listener);
        brix::OgreMenuTextItem* from = chat->addTextItem("from", "", "", 10, " hello ");
        brix::OgreMenuTextItem* to = chat->addTextItem("to", "", "", 3, "");
        windowed.show("chat");
        windowed.handleCommand(OgreMenuItem::COMMAND_COPY);
        EXPECT_STREQ("hello", glfwGetClipboardString(window));
        // Paste ignores the state and the validator, but not the maximum length.
        windowed.handleCommand(OgreMenuItem::COMMAND_DOWN);
        to->setState(OgreMenuItem::STATE_READ_ONLY);
        listener.events.clear();
        windowed.handleCommand(OgreMenuItem::COMMAND_PASTE);
        EXPECT_EQ("hel", to->getValue());
        EXPECT_TRUE(listener.events.empty());
        // A pasted line break would spill the value over the items below.
        glfwSetClipboardString(window, "a\nb\tc\r");
        windowed.handleCommand(OgreMenuItem::COMMAND_PASTE);
        EXPECT_EQ("abc", to->getValue());
        (void)from;
    }
    glfwDestroyWindow(window);
    glfwTerminate();

    // Without a window copy and paste do nothing.
    brix::OgreMenuTextItem* plain = page->addTextItem("plain", "", "", 10, "kept");
    menu.show("page");
    menu.handleCommand(OgreMenuItem::COMMAND_PASTE);
    menu.handleCommand(OgreMenuItem::COMMAND_COPY);
    EXPECT_EQ("kept", plain->getValue());
}

TEST_F(MenuItemTest, ValueItemStepsAndClampsInTheNormalStateOnly)
{
    brix::OgreMenuValueItem* value = page->addValueItem("v", "Volume", "", 0, 10, 3, 9);
    menu.show("page");
    EXPECT_EQ(1u, send({OgreMenuItem::COMMAND_RIGHT}));
    EXPECT_FLOAT_EQ(10, value->getValueAsFloat());
    // At the limit a step still reports.
    EXPECT_EQ(1u, send({OgreMenuItem::COMMAND_RIGHT}));
    EXPECT_FLOAT_EQ(10, value->getValueAsFloat());
    EXPECT_EQ(4u, send({OgreMenuItem::COMMAND_LEFT, OgreMenuItem::COMMAND_LEFT, OgreMenuItem::COMMAND_LEFT,
                        OgreMenuItem::COMMAND_LEFT}));
    EXPECT_FLOAT_EQ(0, value->getValueAsFloat());
    EXPECT_EQ(0u, send({OgreMenuItem::COMMAND_ACTIVATE, OgreMenuItem::COMMAND_PASTE}));
    value->setState(OgreMenuItem::STATE_READ_ONLY);
    EXPECT_EQ(0u, send({OgreMenuItem::COMMAND_RIGHT}));
    EXPECT_FLOAT_EQ(0, value->getValueAsFloat());
}

TEST_F(MenuItemTest, ValueItemStartsAndIsSetWithinItsLimits)
{
    brix::OgreMenuValueItem* high = page->addValueItem("high", "", "", 0, 10, 1, 12);
    brix::OgreMenuValueItem* low = page->addValueItem("low", "", "", -1, 1, 1, -7);
    EXPECT_FLOAT_EQ(10, high->getValueAsFloat());
    EXPECT_FLOAT_EQ(-1, low->getValueAsFloat());
    listener.events.clear();
    high->setValue(10.0f);
    EXPECT_TRUE(listener.events.empty());
    high->setValue(-2.7f);
    EXPECT_FLOAT_EQ(0, high->getValueAsFloat());
    high->setValue(std::string("7.9"));
    EXPECT_EQ(7, high->getValueAsInteger());
    EXPECT_EQ("7.9", high->getValue());
    high->setValue(std::string("nan"));
    EXPECT_FLOAT_EQ(0, high->getValueAsFloat());
    high->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(0, high->getValueAsFloat());
    low->setValue(-1);
    EXPECT_EQ(-1, low->getValueAsInteger());
    EXPECT_EQ(4u, listener.events.size());
}

TEST_F(MenuItemTest, ListItemWrapsAndReportsOnlyRealChanges)
{
    brix::OgreMenuListItem* list = page->addListItem("l", "Mode", "", {"a", "b", "c"}, 7);
    EXPECT_EQ(2u, list->getIndex());
    menu.show("page");
    EXPECT_EQ(1u, send({OgreMenuItem::COMMAND_RIGHT}));
    EXPECT_EQ("a", list->getValue());
    EXPECT_EQ(1u, send({OgreMenuItem::COMMAND_LEFT}));
    EXPECT_EQ("c", list->getValue());

    listener.events.clear();
    list->setValues({"a", "b", "c"});
    list->setValue(std::string("missing"));
    list->setIndex(2);
    EXPECT_TRUE(listener.events.empty());
    list->setValues({"a", "b", "x"});
    list->setValues({"5"});
    EXPECT_EQ(2u, listener.events.size());
    EXPECT_EQ(5, list->getValueAsInteger());
    // A single entry offers no choice.
    EXPECT_EQ(0u, send({OgreMenuItem::COMMAND_RIGHT, OgreMenuItem::COMMAND_LEFT}));

    list->setValues({"1", "2", "3", "4"});
    list->setValue(3);
    EXPECT_EQ(2u, list->getIndex());
    list->setIndexLimits(1, 2);
    EXPECT_EQ(0u, send({OgreMenuItem::COMMAND_LEFT}) - 1);
    EXPECT_EQ(1u, list->getIndex());
    EXPECT_EQ(1u, send({OgreMenuItem::COMMAND_LEFT}));
    EXPECT_EQ(2u, list->getIndex());
    list->setIndex(9);
    EXPECT_EQ(2u, list->getIndex());

    brix::OgreMenuListItem* empty = page->addListItem("e", "", "", {}, 3);
    EXPECT_EQ(0u, empty->getIndex());
    EXPECT_EQ("", empty->getValue());
    EXPECT_EQ(0, empty->getValueAsInteger());
}

TEST_F(MenuItemTest, ImageItemCyclesWithinItsLimits)
{
    menutest::ImageSheet sheet("portraits", 256, 256);
    brix::OgreImageArray portraits("portraits", 4, 4);
    brix::OgreMenuImageItem* face = page->addImageItem("face", "Face", "", 0.3f, &portraits, 20);
    EXPECT_EQ(15u, face->getIndex());
    face->setIndexLimits(0, 3);
    EXPECT_EQ(3u, face->getIndex());
    menu.show("page");
    std::vector<unsigned int> seen;
    for (int i = 0; i < 5; ++i)
    {
        send({OgreMenuItem::COMMAND_RIGHT});
        seen.push_back(face->getIndex());
    }
    EXPECT_EQ((std::vector<unsigned int>{0, 1, 2, 3, 0}), seen);

    // Without images there is nothing to choose and nothing to draw but the text.
    brix::OgreMenuImageItem* none = page->addImageItem("none", "None", "", 0.3f, nullptr, 2);
    EXPECT_EQ(0u, none->getIndex());
    EXPECT_EQ(0u, none->getCustomMaterialCount());
    page->setCurrentItem("none");
    EXPECT_EQ(0u, send({OgreMenuItem::COMMAND_RIGHT}));
    menu.update(0);
    EXPECT_EQ(2u, page->getManualObject()->getSections().size());

    // An array whose material is missing (logged by the array) still draws its quad.
    brix::OgreImageArray missing("nosuchmaterial", 2, 2);
    page->addImageItem("missing", "", "", 0.3f, &missing, 0);
    menu.update(0);
    EXPECT_EQ(3u, page->getManualObject()->getSections().size());
}

TEST_F(MenuItemTest, ImagesAreDrawnUnderTheTitleAndFadedWhenDisabled)
{
    menutest::ImageSheet sheet("portraits", 512, 256);
    brix::OgreImageArray portraits("portraits", 4, 2);
    brix::OgreMenuImageItem* face = page->addImageItem("face", "", "", 0.3f, &portraits, 5);
    menu.update(0);
    test::SectionContents images = test::readSection(*page->getManualObject(), 1);
    ASSERT_EQ(4u, images.positions.size());
    // Top-left corner first; 0.3 high and as wide, centred.
    const float top = images.positions[3].y;
    EXPECT_NEAR(-0.15f, images.positions[3].x, 1e-5f);
    EXPECT_NEAR(0.3f, top - images.positions[0].y, 1e-5f);
    EXPECT_EQ(Ogre::Vector2(0.25f, 0.5f), images.uvs[3]);
    EXPECT_EQ(Ogre::Vector2(0.5f, 1.0f), images.uvs[1]);
    EXPECT_EQ(Ogre::ColourValue::White, images.colours[0]);

    face->setState(OgreMenuItem::STATE_DISABLED);
    menu.update(0);
    EXPECT_NEAR(0.5f, test::readSection(*page->getManualObject(), 1).colours[0].a, 1.0f / 255);
}

TEST_F(MenuItemTest, SelectedLinesShowMarkersAndDescriptionAndDisabledOnesFade)
{
    page->addActionItem("a", "A", "Starts", "");
    brix::OgreMenuActionItem* b = page->addActionItem("b", "B", "Stops", "");
    menu.show("page");
    menu.update(0);
    // Title "page" (4 glyphs), "[A]" and the description "Starts" (6 glyphs).
    EXPECT_EQ(4u * (4 + 3 + 6 + 1), test::readSection(*page->getManualObject()).positions.size());
    for (const Ogre::ColourValue& colour : test::readSection(*page->getManualObject()).colours)
        EXPECT_TRUE(colour == menutest::TEXT_COLOUR || colour == menutest::SELECTED_COLOUR);

    b->setState(OgreMenuItem::STATE_DISABLED);
    b->setTitle("BB");
    menu.update(0);
    const test::SectionContents text = test::readSection(*page->getManualObject());
    EXPECT_EQ(4u * (4 + 3 + 6 + 2), text.positions.size());
    EXPECT_NEAR(0.3f, text.colours.back().a, 1.0f / 255);

    // A new column format shows at the next update: here the underline's stroke.
    b->setTitleFormat("1l_");
    menu.update(0);
    EXPECT_EQ(text.positions.size() + 4, test::readSection(*page->getManualObject()).positions.size());
}
