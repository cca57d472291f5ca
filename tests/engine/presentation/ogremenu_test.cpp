#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuimageitem.h"
#include "engine/presentation/ogremenuslidetransition.h"
#include "engine/presentation/ogremenuvalueitem.h"
#include "menutesting.h"
#include "support/ogre/manualobjectreader.h"

#include <OgreException.h>
#include <OgreManualObject.h>
#include <OgreSceneNode.h>

#include <memory>

using brix::OgreMenuItem;
using brix::OgreMenuListener;
using brix::OgreMenuPage;
using menutest::MenuTest;

namespace
{
bool isShown(OgreMenuPage* page)
{
    return page->getManualObject()->isVisible();
}
} // namespace

TEST_F(MenuTest, ShowSelectsTheFirstSelectableItemAndReportsThePage)
{
    OgreMenuPage* main = addPage("main");
    OgreMenuPage* options = addPage("options");
    main->addActionItem("play", "Play", "", "");
    OgreMenuItem* sound = options->addValueItem("sound", "Sound", "", 0, 1, 0.1f, 0.5f);
    options->addActionItem("back", "Back", "", "main");
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(isShown(main));

    menu.show("options");
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(options, menu.getCurrentPage());
    EXPECT_TRUE(isShown(options));
    EXPECT_FALSE(isShown(main));
    ASSERT_EQ(1u, listener.events.size());
    EXPECT_EQ(sound, listener.events[0].first);
    EXPECT_EQ(OgreMenuListener::EVENT_PAGE_SHOWN, listener.events[0].second);

    // Showing the current page again brings the selection back to the first item.
    menu.handleCommand(OgreMenuItem::COMMAND_DOWN);
    EXPECT_EQ(2u, options->getCurrentItemIndex());
    menu.show("options");
    EXPECT_EQ(1u, options->getCurrentItemIndex());
    EXPECT_TRUE(isShown(options));
    EXPECT_EQ(2u, listener.events.size());

    // An unknown page changes nothing.
    menu.show("nowhere");
    EXPECT_EQ(options, menu.getCurrentPage());
    EXPECT_EQ(2u, listener.events.size());

    menu.hide();
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(isShown(options));
}

TEST_F(MenuTest, UpAndDownSkipUnselectableItemsWrapAndReportNothing)
{
    OgreMenuPage* page = addPage("page");
    page->addActionItem("a", "A", "", "");
    page->addActionItem("b", "B", "", "")->setState(OgreMenuItem::STATE_DISABLED);
    page->addActionItem("c", "C", "", "")->setState(OgreMenuItem::STATE_READ_ONLY);
    page->addActionItem("d", "D", "", "")->setState(OgreMenuItem::STATE_HIDDEN);
    menu.show("page");
    listener.events.clear();
    EXPECT_EQ(1u, page->getCurrentItemIndex());

    menu.handleCommand(OgreMenuItem::COMMAND_DOWN);
    EXPECT_EQ(3u, page->getCurrentItemIndex());
    menu.handleCommand(OgreMenuItem::COMMAND_DOWN);
    EXPECT_EQ(1u, page->getCurrentItemIndex());
    menu.handleCommand(OgreMenuItem::COMMAND_UP);
    EXPECT_EQ(3u, page->getCurrentItemIndex());
    EXPECT_TRUE(listener.events.empty());

    // An item that stops being selectable hands the selection on.
    page->getItem("c")->setState(OgreMenuItem::STATE_INACTIVE);
    EXPECT_EQ(1u, page->getCurrentItemIndex());
    // Commands reach the page while the menu is hidden.
    menu.hide();
    menu.handleCommand(OgreMenuItem::COMMAND_UP);
    EXPECT_EQ(1u, page->getCurrentItemIndex());
    page->getItem("c")->setState(OgreMenuItem::STATE_NORMAL);
    menu.handleCommand(OgreMenuItem::COMMAND_UP);
    EXPECT_EQ(3u, page->getCurrentItemIndex());
}

TEST_F(MenuTest, WalkOverAPageWithoutSelectableItemsEndsWhereItStopsAndMarksTheRebuild)
{
    OgreMenuPage* page = addPage("page");
    page->addActionItem("off", "Off", "", "")->setState(OgreMenuItem::STATE_DISABLED);
    menu.show("page");
    ASSERT_EQ(1u, listener.events.size());
    EXPECT_EQ(page->getCurrentItem(), listener.events[0].first);
    menu.update(0);
    EXPECT_FALSE(page->isModified());
    menu.handleCommand(OgreMenuItem::COMMAND_DOWN);
    EXPECT_LT(page->getCurrentItemIndex(), page->getItemCount());
    EXPECT_TRUE(page->isModified());
    menu.handleCommand(OgreMenuItem::COMMAND_ACTIVATE);
    EXPECT_EQ(1u, listener.events.size());
}

TEST_F(MenuTest, MenuWithoutPagesIgnoresEverything)
{
    EXPECT_EQ(nullptr, menu.getCurrentPage());
    menu.handleCommand(OgreMenuItem::COMMAND_ACTIVATE);
    menu.handleCharacter('a');
    menu.show("main");
    menu.hide();
    menu.update(0.1f);
    EXPECT_FALSE(menu.isVisible());
}

TEST_F(MenuTest, ActivatingAnActionReportsItThenShowsItsTarget)
{
    OgreMenuPage* main = addPage("main");
    OgreMenuPage* options = addPage("options");
    OgreMenuItem* open = main->addActionItem("open", "Options", "", "options");
    OgreMenuItem* back = options->addActionItem("back", "Back", "", "main");
    menu.show("main");
    listener.events.clear();

    menu.handleCommand(OgreMenuItem::COMMAND_ACTIVATE);
    ASSERT_EQ(2u, listener.events.size());
    EXPECT_EQ(open, listener.events[0].first);
    EXPECT_EQ(OgreMenuListener::EVENT_ITEM_ACTIVATED, listener.events[0].second);
    EXPECT_EQ(back, listener.events[1].first);
    EXPECT_EQ(OgreMenuListener::EVENT_PAGE_SHOWN, listener.events[1].second);
    EXPECT_EQ(options, menu.getCurrentPage());
    EXPECT_FALSE(isShown(main));

    // Left, right, copy and paste do nothing on an action.
    for (auto command : {OgreMenuItem::COMMAND_LEFT, OgreMenuItem::COMMAND_RIGHT, OgreMenuItem::COMMAND_COPY,
                         OgreMenuItem::COMMAND_PASTE})
        menu.handleCommand(command);
    EXPECT_EQ(2u, listener.events.size());
}

TEST_F(MenuTest, SetCurrentItemTakesOnlyExistingSelectableItems)
{
    OgreMenuPage* page = addPage("page");
    page->addActionItem("a", "A", "", "");
    page->addActionItem("b", "B", "", "")->setState(OgreMenuItem::STATE_DISABLED);
    page->addActionItem("c", "C", "", "");
    menu.show("page");
    listener.events.clear();
    page->setCurrentItem("c");
    EXPECT_EQ(3u, page->getCurrentItemIndex());
    page->setCurrentItem("b");
    page->setCurrentItem(brix::OgreMenuPage::TITLE_ITEM_NAME);
    page->setCurrentItem(9);
    page->setCurrentItem("unknown");
    EXPECT_EQ(3u, page->getCurrentItemIndex());
    EXPECT_EQ(0u, page->getItemIndex("unknown"));
    EXPECT_EQ(2u, page->getItemIndex("b"));
    EXPECT_EQ(nullptr, page->getItem(4));
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(MenuTest, RemovingItemsKeepsTheSelectionOnItsItemAndInRange)
{
    OgreMenuPage* page = addPage("page");
    std::vector<OgreMenuItem*> removed;
    page->addActionItem("x", "X", "", "");
    page->addActionItem("a", "A", "", "");
    page->addActionItem("x", "X", "", "");
    page->addActionItem("b", "B", "", "");
    page->addActionItem("x", "X", "", "");
    menu.show("page");
    page->setCurrentItem("b");
    OgreMenuItem* b = page->getItem("b");
    for (unsigned int i = 0; i < page->getItemCount(); ++i)
        if (page->getItem(i)->getName() == "x")
            removed.push_back(page->getItem(i));

    // Two removed above the selection, one below: it stays on "b".
    page->removeItem("x");
    ASSERT_EQ(3u, page->getItemCount());
    EXPECT_EQ(b, page->getCurrentItem());

    // The selected item itself goes: the selection falls back to the one before it.
    page->addActionItem("c", "C", "", "");
    page->addActionItem("c", "C", "", "");
    page->setCurrentItem(4u);
    OgreMenuItem* c1 = page->getItem(3);
    OgreMenuItem* c2 = page->getItem(4);
    page->removeItem("c");
    EXPECT_EQ(b, page->getCurrentItem());
    // Removed items belong to the caller.
    for (OgreMenuItem* item : removed)
        delete item;
    delete c1;
    delete c2;

    // With nothing left the page has no current item, and commands are ignored.
    std::unique_ptr<OgreMenuItem> a(page->getItem("a")), title(page->getItem(0u)), last(b);
    page->removeItem("a");
    page->removeItem("b");
    page->removeItem(OgreMenuPage::TITLE_ITEM_NAME);
    EXPECT_EQ(0u, page->getItemCount());
    EXPECT_EQ(nullptr, page->getCurrentItem());
    menu.handleCommand(OgreMenuItem::COMMAND_UP);
    menu.handleCommand(OgreMenuItem::COMMAND_ACTIVATE);
    menu.update(0);
    menu.show("page");
    EXPECT_EQ(nullptr, listener.events.back().first);
}

TEST_F(MenuTest, PagesRebuildOnlyAfterAChangeAndCentreThemselves)
{
    OgreMenuPage* page = addPage("page");
    page->addActionItem("a", "A", "", "");
    OgreMenuItem* hidden = page->addActionItem("hidden", "Hidden", "", "");
    hidden->setState(OgreMenuItem::STATE_HIDDEN);
    menu.update(0);
    EXPECT_FALSE(page->isModified());
    // Title (1.6 high plus a gap) and one line, each followed by the item gap.
    const float height =
        (1.6f * menutest::TEXT_SIZE + 0.03f) + menutest::TEXT_SIZE + 2 * 0.1f * menutest::TEXT_SIZE;
    EXPECT_NEAR(height, page->getSize().y, 1e-5f);
    Ogre::SceneNode* inner = static_cast<Ogre::SceneNode*>(page->getSceneNode()->getChild(0));
    EXPECT_NEAR(height / 2, inner->getPosition().y, 1e-5f);
    const size_t vertices = test::readSection(*page->getManualObject()).positions.size();

    // An item that is shown again is drawn at the next update, though the selection stays.
    hidden->setState(OgreMenuItem::STATE_NORMAL);
    EXPECT_TRUE(page->isModified());
    menu.update(0);
    EXPECT_FALSE(page->isModified());
    const size_t shownVertices = test::readSection(*page->getManualObject()).positions.size();
    EXPECT_GT(shownVertices, vertices);
    page->setTitle("Pages");
    EXPECT_TRUE(page->isModified());
    menu.update(0);
    EXPECT_FALSE(page->isModified());
    EXPECT_EQ(shownVertices + 4, test::readSection(*page->getManualObject()).positions.size());
    EXPECT_EQ(99, page->getManualObject()->getRenderQueueGroup());
}

TEST_F(MenuTest, ImagesAddedAfterTheFirstRebuildAreDrawn)
{
    menutest::ImageSheet sheet("portraits", 256, 256);
    menutest::ImageSheet thumbnails("thumbnails", 128, 64);
    brix::OgreImageArray portraits("portraits", 4, 4);
    brix::OgreImageArray levels("thumbnails", 2, 1);
    OgreMenuPage* page = addPage("page");
    page->addActionItem("a", "A", "", "");
    menu.update(0);
    EXPECT_EQ(1u, page->getManualObject()->getSections().size());

    page->addImageItem("face", "Face", "", 0.3f, &portraits, 5);
    menu.update(0);
    ASSERT_EQ(2u, page->getManualObject()->getSections().size());
    EXPECT_EQ("portraits", page->getManualObject()->getSections()[1]->getMaterialName());
    EXPECT_EQ(4u, test::readSection(*page->getManualObject(), 1).positions.size());

    page->setTitleImage(&levels, 1, 0.2f);
    menu.update(0);
    ASSERT_EQ(3u, page->getManualObject()->getSections().size());
    EXPECT_EQ(4u, test::readSection(*page->getManualObject(), 2).positions.size());
    // The text is still in the first section.
    EXPECT_FALSE(test::readSection(*page->getManualObject(), 0).positions.empty());

    // A second array on the same material shares its section instead of overwriting it.
    brix::OgreImageArray halves("portraits", 2, 1);
    page->addImageItem("half", "", "", 0.3f, &halves, 0);
    menu.update(0);
    ASSERT_EQ(3u, page->getManualObject()->getSections().size());
    EXPECT_EQ(8u, test::readSection(*page->getManualObject(), 1).positions.size());
}

TEST_F(MenuTest, OrthogonalPagesAreNeverCulled)
{
    brix::OgreMenu flat(&ogre.sceneManager(), ogre.sceneManager().getRootSceneNode(), test::ImageFont::NAME,
                        0.1f, menutest::TEXT_COLOUR, menutest::SELECTED_COLOUR, true, nullptr);
    OgreMenuPage* page = flat.addPage("page", "Title", nullptr);
    flat.setVisibilityFlags(0x4);
    flat.update(0);
    EXPECT_TRUE(page->getManualObject()->getBoundingBox().isInfinite());
    EXPECT_TRUE(page->getManualObject()->getUseIdentityProjection());
    EXPECT_EQ(0x4u, page->getManualObject()->getVisibilityFlags());
}

TEST_F(MenuTest, TransitionsKeepBothPagesUntilCompleteOrCut)
{
    const Ogre::Vector3 offset(2, 0, 0);
    brix::OgreMenuSlideTransition slide(offset, 0.5f);
    OgreMenuPage* main = addPage("main");
    OgreMenuPage* options = addPage("options");
    addPage("help");
    menu.show("main");
    menu.setTransition(&slide);

    menu.show("options");
    EXPECT_TRUE(isShown(main));
    EXPECT_TRUE(isShown(options));
    EXPECT_EQ(offset, options->getSceneNode()->getPosition());
    menu.update(0.25f);
    EXPECT_NEAR(0.5f, options->getSceneNode()->getPosition().x, 1e-5f);
    EXPECT_NEAR(-1.5f, main->getSceneNode()->getPosition().x, 1e-5f);
    menu.update(0.25f);
    EXPECT_TRUE(slide.isComplete());
    EXPECT_FALSE(isShown(main));
    EXPECT_EQ(Ogre::Vector3::ZERO, options->getSceneNode()->getPosition());

    // Hiding mid-way puts the pages at their ends; the page being left is not hidden.
    menu.show("main");
    menu.update(0.1f);
    menu.hide();
    EXPECT_TRUE(slide.isComplete());
    EXPECT_EQ(-offset, options->getSceneNode()->getPosition());
    EXPECT_EQ(Ogre::Vector3::ZERO, main->getSceneNode()->getPosition());
    EXPECT_FALSE(isShown(main));
    EXPECT_TRUE(isShown(options));

    // An unknown page cuts a running transition short and changes nothing else.
    menu.show("help");
    menu.show("nowhere");
    EXPECT_TRUE(slide.isComplete());
    EXPECT_EQ("help", menu.getCurrentPage()->getName());
    menu.update(1.0f);
    EXPECT_TRUE(isShown(menu.getCurrentPage()));
}

TEST_F(MenuTest, MissingFontIsReportedAtTheFirstRebuild)
{
    brix::OgreMenu broken(&ogre.sceneManager(), ogre.sceneManager().getRootSceneNode(), "menufont", 0.1f,
                          menutest::TEXT_COLOUR, menutest::SELECTED_COLOUR, false, nullptr);
    broken.addPage("page", "Title", nullptr);
    try
    {
        broken.update(0);
        FAIL() << "no exception";
    }
    catch (const Ogre::InternalErrorException& e)
    {
        EXPECT_EQ("Font 'menufont' not found", e.getDescription());
    }
}
