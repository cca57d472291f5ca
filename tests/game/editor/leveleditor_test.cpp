#include "game/editor/leveleditor.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelementposition.h"
#include "game/editor/levelelementselector.h"
#include "game/editor/levelelementtype.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/player.h"
#include "game/world/controller.h"
#include "game/world/entity.h"
#include "game/world/human.h"
#include "game/world/weapon.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "support/game/editorrig.h"
#include "support/game/eventlink.h"
#include "support/game/levelbuilder.h"
#include "support/game/mapworld.h"

#include <OgreEntity.h>
#include <OgreRoot.h>
#include <OgreSubEntity.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace
{
using test::EditorRig;
typedef std::vector<std::string> Lines;

Lines unblanked(const Lines& lines)
{
    Lines result;
    for (const std::string& line : lines)
        result.push_back(EditorRig::unblanked(line));
    return result;
}

float turnDegrees(const game::LevelElement* element, const Ogre::Vector3& axis)
{
    Ogre::Radian angle;
    Ogre::Vector3 turnAxis;
    element->getOrientation().ToAngleAxis(angle, turnAxis);
    if (angle.valueDegrees() < 1e-3f)
        return 0.0f;
    return angle.valueDegrees() * turnAxis.dotProduct(axis);
}

void withCommand(EditorRig& rig, int key, bool shift = false)
{
    rig.hold(EditorRig::LEFT_CONTROL);
    if (shift)
        rig.hold(EditorRig::LEFT_SHIFT);
    rig.press(key);
    if (shift)
        rig.release(EditorRig::LEFT_SHIFT);
    rig.release(EditorRig::LEFT_CONTROL);
}

TEST(LevelEditor, OffersBlocksShownPrototypesAndMarkersInPaletteOrder)
{
    {
        EditorRig rig;
        game::LevelEditor& editor = rig.editor();
        EXPECT_EQ(editor.getCurrentType()->getName(), "techfloor");
        EXPECT_NE(editor.getType("crate"), nullptr);
        // Hidden prototypes and ones without a mesh are no types; the trigger markers are, but
        // only developers see them in the palette.
        EXPECT_EQ(editor.getType("ghost"), nullptr);
        EXPECT_EQ(editor.getType("blast"), nullptr);
        EXPECT_NE(editor.getType("hint"), nullptr);

        Lines names;
        for (const game::LevelElementType* type : editor.getSelector()->getTypes())
            names.push_back(type->getName());
        ASSERT_GE(names.size(), 10u);
        EXPECT_EQ(Lines(names.begin(), names.begin() + 6),
                  (Lines{"techceiling", "techcube", "techfloor", "techledge", "techramp", "techwall"}));
        // Unlisted categories come after "special", by category name.
        EXPECT_EQ(Lines(names.end() - 10, names.end()),
                  (Lines{"checkpoint", "exit", "hazardfloor", "mpstart", "pipe", "spstart", "lamp", "lift",
                         "crate", "pillar"}));
        EXPECT_EQ(std::count(names.begin(), names.end(), "hint"), 0);

        const game::LevelElementSelector& selector = *editor.getSelector();
        EXPECT_EQ(selector.cycleType(editor.getType("pillar"), 1)->getName(), "techceiling");
        EXPECT_EQ(selector.cycleType(editor.getType("techceiling"), -1)->getName(), "pillar");
        EXPECT_EQ(selector.cycleType(editor.getType("lift"), static_cast<int>(names.size())),
                  editor.getType("lift"));

        // The wheel walks the palette in placement mode.
        rig.editor().newLevel("wheel");
        rig.press(EditorRig::SPACE);
        rig.move(0, 0, 1);
        EXPECT_EQ(editor.getCurrentType()->getName(), "techledge");
        rig.move(0, 0, -2);
        EXPECT_EQ(editor.getCurrentType()->getName(), "techcube");
    }

    EditorRig developer(true);
    unsigned triggers = 0;
    for (const game::LevelElementType* type : developer.editor().getSelector()->getTypes())
        triggers += type->getName() == "hint" || type->getName() == "sound";
    EXPECT_EQ(triggers, 2u);
}

TEST(LevelEditor, SnapsEachKindToItsGrid)
{
    EditorRig rig;
    const Ogre::Vector3 half(0.5f);
    const Ogre::Vector3 point(0.3f, 0.3f, 0.3f);
    const game::LevelEditor& editor = rig.editor();
    // Blocks: whole units from their offset, at z 0, whatever the grid.
    EXPECT_EQ(
        editor.getType("techfloor")
            ->snapPosition(Ogre::Vector3(0.4f, 0.6f, 2.3f), Ogre::Quaternion::IDENTITY, Ogre::Vector3(0.25f)),
        Ogre::Vector3(0.0f, 0.5f, 0.0f));
    // Half a unit off the grid, a block at the world's edge takes the grid point inside it.
    EXPECT_EQ(editor.getType("techcube")
                  ->snapPosition(Ogre::Vector3(300, -300, 5), Ogre::Quaternion::IDENTITY, half),
              Ogre::Vector3(249.5f, -249.5f, 0.0f));
    EXPECT_EQ(editor.getType("crate")->snapPosition(point, Ogre::Quaternion::IDENTITY, half),
              Ogre::Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(editor.getType("crate")->snapPosition(point, Ogre::Quaternion::IDENTITY, Ogre::Vector3(1.0f)),
              Ogre::Vector3(0.0f, 0.5f, 0.0f));
    EXPECT_EQ(editor.getType("crate")->snapPosition(point, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO),
              point);
    // The offset turns with the element.
    const Ogre::Quaternion quarter(Ogre::Degree(90), Ogre::Vector3::UNIT_Z);
    const Ogre::Vector3 turned = editor.getType("crate")->snapPosition(point, quarter, Ogre::Vector3(1.0f));
    EXPECT_NEAR(turned.x, 0.5f, 1e-5f);
    EXPECT_NEAR(turned.y, 0.0f, 1e-5f);
    EXPECT_EQ(editor.getType("pillar")->snapPosition(point, Ogre::Quaternion::IDENTITY, half),
              Ogre::Vector3(0.5f, 0.5f, 0.0f));
    EXPECT_EQ(editor.getType("exit")->snapPosition(Ogre::Vector3(-1.2f, 1.4f, 0.2f),
                                                   Ogre::Quaternion::IDENTITY, half),
              Ogre::Vector3(-1.0f, 1.5f, 0.0f));
    EXPECT_EQ(editor.getType("pillar")->constrainOrientation(quarter), Ogre::Quaternion::IDENTITY);
    EXPECT_EQ(editor.getType("exit")->constrainOrientation(quarter), quarter);
    EXPECT_EQ(editor.getType("lift")->getMaxPositions(), 16u);
    EXPECT_EQ(editor.getType("crate")->getMaxPositions(), 1u);
    EXPECT_FALSE(editor.getType("crate")->isStatic());
    EXPECT_TRUE(editor.getType("lamp")->isStatic());
}

TEST(LevelEditor, BuildsALevelUndoesRedoesSavesAndReopensIt)
{
    EditorRig rig;
    game::LevelEditor& editor = rig.editor();
    editor.newLevel("built");
    EXPECT_EQ(rig.lastMessage(), EditorRig::unblanked("Created new level 'built'"));
    withCommand(rig, EditorRig::Z);
    EXPECT_TRUE(rig.elements().empty());

    rig.press(EditorRig::SPACE);
    ASSERT_TRUE(editor.isPlacementMode());
    for (float x : {-2.0f, -1.0f, 0.0f, 1.0f})
        rig.place(x, 0.0f);
    rig.choose("crate");
    EXPECT_EQ(editor.getCurrentType()->getName(), "crate");
    rig.place(0.3f, 0.6f);
    // Nothing placed glows with what a weapon lying in the last game left in its material.
    EXPECT_EQ(Ogre::Vector4::ZERO,
              rig.element(4)->getPosition(0)->getMeshEntity()->getSubEntity(0)->getCustomParameter(
                  game::Weapon::GLOW_PARAMETER));
    rig.choose("spstart");
    rig.place(-1.2f, 1.4f);
    // What is carried from the palette and let go in the level lies there, a marker or a block;
    // the next one carried is a new one.
    rig.choose("exit");
    rig.drag(3.0f, 2.0f);
    rig.drag(5.0f, 2.0f);
    rig.choose("techwall");
    rig.drag(-4.0f, 3.0f);
    const Lines built{"techfloor@-2.0,0.5,0.0", "techfloor@-1.0,0.5,0.0", "techfloor@0.0,0.5,0.0",
                      "techfloor@1.0,0.5,0.0",  "crate@0.5,0.5,0.0",      "spstart@-1.0,1.5,0.0",
                      "exit@3.0,2.0,0.0",       "exit@5.0,2.0,0.0",       "techwall@-3.5,3.0,0.0"};
    EXPECT_EQ(rig.elements(), built);

    withCommand(rig, EditorRig::Z);
    EXPECT_EQ(rig.elements(), Lines(built.begin(), built.end() - 1));
    withCommand(rig, EditorRig::Z, true);
    EXPECT_EQ(rig.elements(), built);
    withCommand(rig, EditorRig::Z);
    withCommand(rig, EditorRig::Z);
    EXPECT_EQ(rig.elements(), Lines(built.begin(), built.end() - 2));
    withCommand(rig, EditorRig::Y);
    withCommand(rig, EditorRig::Y);
    withCommand(rig, EditorRig::Y);
    EXPECT_EQ(rig.elements(), built);
    // Z alone is no command.
    rig.press(EditorRig::Z);
    EXPECT_EQ(rig.elements(), built);

    rig.level().setTitle("Built");
    rig.clearMessages();
    editor.saveLevel();
    EXPECT_EQ(rig.messages(),
              unblanked({"Warning: Light map might not be up-to-date (press L -key to regenerate light map)",
                         "Level 'built' successfully saved"}));

    // The cache has the level as it was written, also when saved again within the second at the
    // same size: its scores are keyed by that file's checksum.
    for (const char* title : {"Bui1t", "Built"})
    {
        rig.level().setTitle(title);
        editor.saveLevel();
        game::LevelCache::Entry written;
        ASSERT_TRUE(rig.level().getLevelCache()->scanLevelFile(rig.level().getFileName(), written));
        EXPECT_EQ(rig.level().getLevelCache()->getChecksum("built"), written.checksum) << title;
    }

    editor.newLevel("other");
    EXPECT_TRUE(rig.elements().empty());
    ASSERT_TRUE(editor.loadLevel("built"));
    EXPECT_EQ(rig.lastMessage(), EditorRig::unblanked("Loaded level 'built' for editing"));
    EXPECT_EQ(rig.elements(), built);
    EXPECT_EQ(rig.level().getTitle(), "Built");
    // The loaded state is the oldest one.
    withCommand(rig, EditorRig::Z);
    EXPECT_EQ(rig.elements(), built);
    EXPECT_FALSE(editor.loadLevel("missing"));
    EXPECT_EQ(rig.elements(), built);
    // Nor does a listed level whose file broke since: the editor keeps its level, and what is
    // built after is saved with it.
    std::filesystem::copy_file(rig.levelWorld().userLevelFile("built"),
                               rig.levelWorld().userLevelFile("broken"));
    rig.level().updateLevelCache();
    test::writeFile(rig.levelWorld().userLevelFile("broken"), "<level><title>Cut</level>");
    EXPECT_FALSE(editor.loadLevel("broken"));
    rig.choose("crate");
    rig.place(-2.0f, 2.0f);
    editor.saveLevel();
    EXPECT_EQ(rig.lastMessage(), EditorRig::unblanked("Level 'built' successfully saved"));
    ASSERT_TRUE(rig.levelWorld().load("built"));
    EXPECT_EQ(rig.level().getPoints().size(), built.size() + 1);
}

TEST(LevelEditor, StepsAndTurnsByTheGridWithTheirLeastSteps)
{
    EditorRig rig;
    game::LevelEditor& editor = rig.editor();
    editor.newLevel("steps");
    rig.press(EditorRig::SPACE);
    rig.place(0.0f, -0.5f);
    rig.choose("crate");
    rig.place(3.0f, 0.0f);
    rig.choose("exit");
    rig.place(6.0f, 0.0f);
    rig.choose("pillar");
    rig.place(9.0f, 0.0f);
    rig.press(EditorRig::SPACE);
    ASSERT_EQ(rig.elements(), (Lines{"techfloor@0.0,-0.5,0.0", "crate@3.0,0.0,0.0", "exit@6.0,0.0,0.0",
                                     "pillar@9.0,0.0,0.0"}));

    // A block steps a whole unit on the half grid; the crate half a unit, a unit, then 0.1.
    rig.select(0.0f, -0.5f);
    EXPECT_EQ(rig.selectedCount(), 1u);
    rig.press(EditorRig::RIGHT);
    rig.select(3.0f, 0.0f);
    rig.press(EditorRig::RIGHT);
    rig.press(EditorRig::G);
    EXPECT_EQ(rig.lastMessage(), "Gridsize:1");
    rig.press(EditorRig::RIGHT);
    rig.press(EditorRig::UP);
    rig.press(EditorRig::G);
    EXPECT_EQ(rig.lastMessage(), "Gridsize:0");
    rig.press(EditorRig::RIGHT);
    EXPECT_EQ(rig.elements()[0], "techfloor@1.0,-0.5,0.0");
    EXPECT_EQ(rig.elements()[1], "crate@5.1,1.5,0.0");
    // Left Alt steps in depth instead of height.
    rig.hold(EditorRig::LEFT_ALT);
    rig.press(EditorRig::UP);
    rig.release(EditorRig::LEFT_ALT);
    EXPECT_EQ(rig.elements()[1], "crate@5.1,1.5,-0.1");
    // Left and down step back by the same sizes: the block by its unit on grid 0 too.
    rig.press(EditorRig::LEFT);
    rig.press(EditorRig::DOWN);
    EXPECT_EQ(rig.elements()[1], "crate@5.0,1.4,-0.1");
    rig.press(EditorRig::RIGHT);
    rig.press(EditorRig::UP);
    rig.select(0.0f, -0.5f);
    rig.press(EditorRig::LEFT);
    EXPECT_EQ(rig.elements()[0], "techfloor@0.0,-0.5,0.0");
    rig.press(EditorRig::RIGHT);

    // Shift turns by the least step's quarter turn (0.1 x 90 degrees on grid 0), 45 degrees on
    // the half grid; up and down turn by 0.
    rig.select(6.0f, 0.0f);
    rig.hold(EditorRig::LEFT_SHIFT);
    rig.press(EditorRig::RIGHT);
    EXPECT_NEAR(turnDegrees(rig.element(2), Ogre::Vector3::UNIT_Z), 9.0f, 1e-3f);
    rig.press(EditorRig::G);
    EXPECT_EQ(rig.lastMessage(), "Gridsize:0.5");
    rig.press(EditorRig::RIGHT);
    rig.press(EditorRig::UP);
    EXPECT_NEAR(turnDegrees(rig.element(2), Ogre::Vector3::UNIT_Z), 54.0f, 1e-3f);
    EXPECT_EQ(rig.elements()[2], "exit@6.0,0.0,0.0");
    rig.release(EditorRig::LEFT_SHIFT);
    // R straightens the exit; with left Alt, Shift turns about the vertical instead. The
    // pillar never turns.
    rig.press(EditorRig::R);
    EXPECT_NEAR(turnDegrees(rig.element(2), Ogre::Vector3::UNIT_Z), 0.0f, 1e-3f);
    rig.hold(EditorRig::LEFT_ALT);
    rig.hold(EditorRig::LEFT_SHIFT);
    rig.press(EditorRig::LEFT);
    rig.release(EditorRig::LEFT_SHIFT);
    rig.release(EditorRig::LEFT_ALT);
    EXPECT_NEAR(turnDegrees(rig.element(2), Ogre::Vector3::UNIT_Y), -45.0f, 1e-3f);
    rig.press(EditorRig::R);
    rig.select(9.0f, 0.0f);
    rig.hold(EditorRig::LEFT_SHIFT);
    rig.press(EditorRig::LEFT);
    rig.release(EditorRig::LEFT_SHIFT);
    EXPECT_EQ(rig.element(3)->getOrientation(), Ogre::Quaternion::IDENTITY);

    // Centring moves the whole level by whole units about the origin.
    rig.press(EditorRig::N);
    const Lines centred{"techfloor@-4.0,-1.5,0.0", "crate@0.0,0.5,0.0", "exit@1.0,-1.0,0.0",
                        "pillar@4.0,-1.0,0.0"};
    EXPECT_EQ(rig.elements(), centred);
    rig.press(EditorRig::N);
    EXPECT_EQ(rig.elements(), centred);
}

TEST(LevelEditor, DragsStartPastHalfAUnitAndCancelWithoutChangingTheSelection)
{
    EditorRig rig;
    game::LevelEditor& editor = rig.editor();
    editor.newLevel("drags");
    rig.press(EditorRig::SPACE);
    rig.choose("exit");
    rig.place(0.0f, 0.0f);
    rig.place(4.0f, 0.0f);
    rig.press(EditorRig::SPACE);
    rig.select(0.0f, 0.0f);
    ASSERT_EQ(rig.selectedCount(), 1u);

    // Half a unit is still a click.
    editor.onMouseButtonPress(0);
    EXPECT_EQ(editor.getDragState(), game::LevelEditor::DRAG_PENDING);
    EXPECT_EQ(editor.getDragKind(), game::LevelEditor::DRAG_MOVE);
    rig.move(0.0f, -5.0f);
    EXPECT_EQ(editor.getDragState(), game::LevelEditor::DRAG_PENDING);
    editor.onMouseButtonRelease(0);
    EXPECT_EQ(rig.elements()[0], "exit@0.0,0.0,0.0");
    EXPECT_EQ(rig.selectedCount(), 1u);

    // Farther moves the selection on the grid; undo puts it back.
    rig.moveTo(0.0f, 0.0f);
    editor.onMouseButtonPress(0);
    rig.move(6.0f, 0.0f);
    EXPECT_EQ(editor.getDragState(), game::LevelEditor::DRAG_ACTIVE);
    EXPECT_EQ(rig.elements()[0], "exit@0.5,0.0,0.0");
    rig.moveTo(1.0f, 1.2f);
    editor.onMouseButtonRelease(0);
    EXPECT_EQ(rig.elements()[0], "exit@1.0,1.0,0.0");
    withCommand(rig, EditorRig::Z);
    EXPECT_EQ(rig.elements()[0], "exit@0.0,0.0,0.0");

    // Shift turns about z by the nearest 45 degree step of the pointer (80 degrees turn 90);
    // the cursor returns.
    rig.select(0.0f, 0.0f);
    rig.hold(EditorRig::LEFT_SHIFT);
    editor.onMouseButtonPress(0);
    EXPECT_EQ(editor.getDragKind(), game::LevelEditor::DRAG_ROTATE_Z);
    rig.move(28.0f, 0.0f);
    editor.onMouseButtonRelease(0);
    rig.release(EditorRig::LEFT_SHIFT);
    EXPECT_NEAR(turnDegrees(rig.element(0), Ogre::Vector3::UNIT_Z), 90.0f, 1e-3f);
    EXPECT_EQ(editor.getCursorPosition(), Ogre::Vector2(0.0f, 0.0f));
    EXPECT_EQ(rig.elements()[0], "exit@0.0,0.0,0.0");

    // A right click cancels a move exactly; the left release after it selects nothing new.
    editor.onMouseButtonPress(0);
    rig.move(33.0f, 17.0f);
    EXPECT_EQ(rig.elements()[0], "exit@3.5,-1.5,0.0");
    rig.click(1);
    EXPECT_EQ(editor.getDragState(), game::LevelEditor::DRAG_IDLE);
    editor.onMouseButtonRelease(0);
    EXPECT_EQ(rig.elements()[0], "exit@0.0,0.0,0.0");
    EXPECT_EQ(rig.selectedCount(), 1u);
    EXPECT_FALSE(editor.getSelector()->isVisible());

    // The palette: a right click closes it as it was; a left click off the previews keeps the
    // type and turns placement on, with the cursor back where the palette opened.
    rig.press(EditorRig::TAB);
    ASSERT_TRUE(editor.getSelector()->isVisible());
    rig.click(1);
    EXPECT_FALSE(editor.getSelector()->isVisible());
    EXPECT_FALSE(editor.isPlacementMode());
    const Ogre::Vector2 cursor = editor.getCursorPosition();
    rig.press(EditorRig::TAB);
    rig.move(0.0f, 600.0f);
    rig.frame();
    EXPECT_EQ(editor.getSelector()->getSelectedType(), nullptr);
    rig.click();
    EXPECT_FALSE(editor.getSelector()->isVisible());
    EXPECT_TRUE(editor.isPlacementMode());
    EXPECT_EQ(editor.getCurrentType()->getName(), "exit");
    EXPECT_EQ(editor.getCursorPosition(), cursor);
    rig.press(EditorRig::SPACE);

    // A box from empty space takes both; a click on nothing clears.
    rig.moveTo(-2.0f, -2.0f);
    rig.drag(6.0f, 3.0f);
    EXPECT_EQ(rig.selectedCount(), 2u);
    rig.select(-8.0f, -8.0f);
    EXPECT_EQ(rig.selectedCount(), 0u);
    rig.press(EditorRig::DELETE);
    EXPECT_EQ(rig.elements().size(), 2u);
}

// A selection driven past the level world's edge stops there as a whole, and what is saved
// loads as it was edited.
TEST(LevelEditor, KeepsEveryPositionInsideTheWorldThroughDragsKeysAndASave)
{
    EditorRig rig;
    rig.editor().newLevel("edge");
    rig.press(EditorRig::SPACE);
    rig.choose("crate");
    rig.place(-100.0f, 0.0f);
    rig.place(150.0f, 3.0f);
    rig.press(EditorRig::SPACE);
    rig.moveTo(-110.0f, -5.0f);
    rig.drag(160.0f, 5.0f);
    ASSERT_EQ(rig.selectedCount(), 2u);
    rig.moveTo(-100.0f, 0.0f);
    rig.drag(100.0f, 0.0f);
    rig.press(EditorRig::G);
    rig.hold(EditorRig::LEFT_ALT);
    for (int press = 0; press < 120; ++press)
        rig.press(EditorRig::DOWN);
    rig.release(EditorRig::LEFT_ALT);
    rig.press(EditorRig::RIGHT);
    EXPECT_EQ(rig.elements(), (Lines{"crate@0.0,0.5,100.0", "crate@250.0,3.5,100.0"}));
    // And past the lower faces, each by ten steps.
    for (int press = 0; press < 260; ++press)
    {
        rig.press(EditorRig::LEFT);
        rig.press(EditorRig::DOWN);
    }
    rig.hold(EditorRig::LEFT_ALT);
    for (int press = 0; press < 210; ++press)
        rig.press(EditorRig::UP);
    rig.release(EditorRig::LEFT_ALT);
    EXPECT_EQ(rig.elements(), (Lines{"crate@-250.0,-249.5,-100.0", "crate@0.0,-246.5,-100.0"}));

    rig.editor().saveLevel();
    EXPECT_EQ(rig.lastMessage(), EditorRig::unblanked("Level 'edge' successfully saved"));
    ASSERT_TRUE(rig.levelWorld().load("edge"));
    EXPECT_EQ(rig.level().getRepairCount(), 0u);
    EXPECT_EQ(rig.level().getPoints().at(0).getPosition(), Ogre::Vector3(-250.0f, -249.5f, -100.0f));
}

TEST(LevelEditor, RoutesTakeSixteenPositionsAndDeletingOneLinksTheRest)
{
    EditorRig rig;
    game::LevelEditor& editor = rig.editor();
    editor.newLevel("routes");
    rig.press(EditorRig::T);
    EXPECT_EQ(rig.lastMessage(), "Selectoneelementtoaddposition");
    rig.press(EditorRig::SPACE);
    rig.choose("lift");
    rig.place(0.0f, 0.0f);
    rig.choose("crate");
    rig.place(0.0f, 10.0f);
    rig.press(EditorRig::SPACE);

    rig.select(0.0f, 10.0f);
    rig.press(EditorRig::T);
    EXPECT_EQ(rig.lastMessage(), "Maximumamountofpositionsalreadysetforselectedelement");
    rig.press(EditorRig::S);
    EXPECT_EQ(rig.lastMessage(), "Selectedelementdoesnotsupportstates");

    rig.select(0.0f, 0.0f);
    for (int i = 1; i < 16; ++i)
    {
        rig.moveTo(i * 4.0f, 0.0f);
        rig.press(EditorRig::T);
    }
    game::LevelElement* lift = rig.element(0);
    ASSERT_EQ(lift->getPositionCount(), 16u);
    rig.moveTo(70.0f, 0.0f);
    rig.press(EditorRig::T);
    EXPECT_EQ(lift->getPositionCount(), 16u);
    EXPECT_EQ(rig.lastMessage(), "Maximumamountofpositionsalreadysetforselectedelement");

    // The second position alone goes; the third now links to the first.
    rig.select(4.0f, 0.0f);
    EXPECT_EQ(rig.selectedCount(), 1u);
    rig.press(EditorRig::DELETE);
    ASSERT_EQ(lift->getPositionCount(), 15u);
    EXPECT_EQ(lift->getPosition(1)->getPosition(), Ogre::Vector3(8.0f, 0.0f, 0.0f));
    EXPECT_EQ(lift->getPosition(1)->getPrevious(), lift->getPosition(0));

    std::vector<game::LevelPoint> points;
    editor.storeElements(points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].type, 2u);
    EXPECT_EQ(points[0].name, "lift");
    EXPECT_EQ(points[0].positions.size(), 15u);

    // Deleting every position of an element deletes it.
    rig.moveTo(-4.0f, -4.0f);
    rig.drag(70.0f, 4.0f);
    rig.press(EditorRig::DELETE);
    EXPECT_EQ(rig.elements(), (Lines{"crate@0.0,10.0,0.0"}));
}

TEST(LevelEditor, SavingWarnsInOrderAndStillSaves)
{
    EditorRig rig;
    test::LevelBuilder busy;
    for (int i = 0; i < 151; ++i)
        busy.entity("crate", Ogre::Vector3(static_cast<float>(i % 10), 1.0f, 0.0f));
    ASSERT_TRUE(rig.levelWorld().load(busy, "busy"));
    ASSERT_TRUE(rig.editor().loadLevel("busy"));
    rig.clearMessages();
    rig.editor().saveLevel();
    EXPECT_EQ(rig.messages(),
              unblanked({"Warning: No start points defined in level!",
                         "Warning: Too many dynamic entities in level!",
                         "Warning: Dynamic entities outside outer walls!", "Warning: No title set for level!",
                         "Warning: Light map might not be up-to-date (press L -key to regenerate light map)",
                         "Level 'busy' successfully saved"}));

    // 150 dynamic entities, on the edge of the walls, with only a multiplayer start.
    test::LevelBuilder calm;
    calm.title("Calm").block("techfloor", Ogre::Vector3(-5.0f, -0.5f, 0.0f));
    calm.block("techfloor", Ogre::Vector3(5.0f, 3.5f, 0.0f))
        .special("mpstart", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    for (int i = 0; i < 150; ++i)
        calm.entity("crate", Ogre::Vector3(-5.0f + (i % 11), i % 2 ? -0.5f : 3.5f, 2.0f));
    ASSERT_TRUE(rig.levelWorld().load(calm, "calm"));
    ASSERT_TRUE(rig.editor().loadLevel("calm"));
    rig.clearMessages();
    rig.editor().saveLevel();
    EXPECT_EQ(rig.messages(),
              unblanked({"Warning: Light map might not be up-to-date (press L -key to regenerate light map)",
                         "Level 'calm' successfully saved"}));

    // A dynamic entity just outside in y is caught; a failed write is told as such.
    rig.press(EditorRig::SPACE);
    rig.choose("crate");
    rig.place(0.0f, 4.5f);
    rig.clearMessages();
    const std::string file = rig.level().getFileName();
    ASSERT_TRUE(std::ifstream(file).good());
    rig.level().load("nowhere/deeper", true);
    rig.editor().saveLevel();
    EXPECT_EQ(rig.messages(),
              unblanked({"Warning: Too many dynamic entities in level!",
                         "Warning: Dynamic entities outside outer walls!", "Warning: No title set for level!",
                         "Warning: Light map might not be up-to-date (press L -key to regenerate light map)",
                         "Level file saving failed!"}));
}

TEST(LevelEditor, KeepsPointsItCannotShowThroughASave)
{
    EditorRig rig;
    test::LevelBuilder builder;
    builder.smallRoom().title("Kept").entity("ghost", Ogre::Vector3(1.0f, 1.0f, 0.0f));
    builder.entity("pistol", Ogre::Vector3(2.0f, 1.0f, 0.0f), "open");
    builder.special("hint", Ogre::Vector3(3.0f, 1.0f, 0.0f), "Jump!");
    ASSERT_TRUE(rig.levelWorld().load(builder, "kept"));
    const size_t pointCount = rig.level().getPoints().size();
    rig.clearMessages();
    ASSERT_TRUE(rig.editor().loadLevel("kept"));
    EXPECT_EQ(unblanked(rig.messages()), unblanked({"Warning: Ignored 2 bad entity references in level",
                                                    "Loaded level 'kept' for editing"}));
    EXPECT_EQ(rig.elements().size(), pointCount - 2);
    EXPECT_EQ(rig.elements().back(), "hint@3.0,1.0,0.0");

    rig.editor().saveLevel();
    ASSERT_TRUE(rig.levelWorld().load("kept"));
    const std::vector<game::LevelPoint>& points = rig.level().getPoints();
    ASSERT_EQ(points.size(), pointCount);
    EXPECT_EQ(points[pointCount - 3].name, "hint");
    EXPECT_EQ(points[pointCount - 3].value, "Jump!");
    EXPECT_EQ(points[pointCount - 2].name, "ghost");
    EXPECT_EQ(points[pointCount - 1].name, "pistol");
    EXPECT_EQ(points[pointCount - 1].state, "open");
    EXPECT_EQ(points[pointCount - 1].getPosition(), Ogre::Vector3(2.0f, 1.0f, 0.0f));

    // A point without a position cannot be placed: it counts as a bad reference.
    game::LevelPoint nowhere;
    nowhere.type = game::LevelPoint::TYPE_SPECIAL;
    nowhere.name = "exit";
    rig.editor().loadElements({nowhere});
    EXPECT_EQ(rig.lastMessage(), EditorRig::unblanked("Warning: Ignored 1 bad entity references in level"));
    EXPECT_TRUE(rig.elements().empty());
}

TEST(LevelEditor, CursorAndCameraStayWithinTheirLimits)
{
    EditorRig rig;
    game::LevelEditor& editor = rig.editor();
    editor.newLevel("");
    EXPECT_EQ(rig.level().getFileName().substr(rig.level().getFileName().size() - 12), "/levels/.xml");
    rig.move(1e6f, -1e6f);
    EXPECT_EQ(editor.getCursorPosition(), Ogre::Vector2(200.0f, 200.0f));
    EXPECT_EQ(rig.lastMessage(), "Position:[200.00,200.00]");
    rig.move(-1e6f, 1e6f);
    EXPECT_EQ(editor.getCursorPosition(), Ogre::Vector2(-200.0f, -200.0f));

    rig.hold(EditorRig::LEFT_CONTROL);
    rig.move(0.0f, 0.0f, 100.0f);
    EXPECT_EQ(editor.getCameraDistance(), 5.0f);
    rig.move(0.0f, 0.0f, -100.0f);
    EXPECT_EQ(editor.getCameraDistance(), 50.0f);
    rig.move(1000.0f, -10.0f);
    EXPECT_FLOAT_EQ(editor.getCameraYaw(), -Ogre::Math::HALF_PI);
    EXPECT_FLOAT_EQ(editor.getCameraPitch(), -0.1f);
    EXPECT_EQ(editor.getCursorPosition(), Ogre::Vector2(-200.0f, -200.0f));
    rig.press(EditorRig::R);
    rig.release(EditorRig::LEFT_CONTROL);
    EXPECT_EQ(editor.getCameraYaw(), 0.0f);
    EXPECT_EQ(editor.getCameraPitch(), -0.2f);
    EXPECT_EQ(editor.getCameraDistance(), 20.0f);

    // Commands on an empty level do nothing.
    for (int key : {EditorRig::N, EditorRig::DELETE, EditorRig::R, EditorRig::RIGHT, EditorRig::S})
        rig.press(key);
    EXPECT_TRUE(rig.elements().empty());

    test::EventJournal journal;
    rig.world().events().addListener(&journal);
    rig.press(EditorRig::F1);
    rig.world().events().dispatch();
    rig.world().events().removeListener(&journal);
    EXPECT_EQ(journal.events, Lines{"30,0,0,"});
}

// What the game's server does for the preview: a local player joins the match with a human at
// the single-player start, and leaves it when the preview ends.
class PreviewPlayer : public game::LevelEditor::PreviewHost
{
public:
    explicit PreviewPlayer(EditorRig& rig) : rig(rig) {}
    bool attachPreviewPlayer() override
    {
        calls.push_back("attach");
        player = rig.players().createPlayer();
        if (!player)
            return false;
        auto* human =
            static_cast<game::Human*>(rig.world().create("player", rig.level().getSinglePlayerStart()));
        human->setController(&controller);
        player->joinMatch(human);
        return true;
    }
    void detachPreviewPlayer() override
    {
        calls.push_back("detach");
        player->leaveMatch();
        rig.players().deletePlayer(player);
        player = nullptr;
    }
    EditorRig& rig;
    game::Controller controller{0};
    game::Player* player = nullptr;
    Lines calls;
};

TEST(LevelEditor, PreviewsTheEditedLevelAndRegeneratesItsMaps)
{
    EditorRig rig;
    game::LevelEditor& editor = rig.editor();
    PreviewPlayer host(rig);
    editor.setPreviewHost(&host);
    test::LevelBuilder room;
    room.smallRoom().title("Room");
    ASSERT_TRUE(rig.levelWorld().load(room, "room"));
    ASSERT_TRUE(editor.loadLevel("room"));
    EXPECT_TRUE(editor.isLightMapStale());

    // The preview plays what is edited now: the crate placed last is in the match.
    rig.press(EditorRig::SPACE);
    rig.choose("crate");
    rig.place(2.0f, 3.0f);
    rig.press(EditorRig::P);
    EXPECT_TRUE(editor.isPreviewRunning());
    EXPECT_EQ(rig.players().getMatchState(), game::PlayerManager::Running);
    EXPECT_EQ(host.calls, Lines{"attach"});
    EXPECT_EQ(rig.level().getPoints().back().name, "crate");
    rig.press(EditorRig::SPACE);
    EXPECT_TRUE(editor.isPlacementMode());
    EXPECT_FALSE(editor.getPreviewElement()->getPosition(0)->isVisible());
    // Nor does the pointer reach the editor: no cursor, orbit or type change.
    const Ogre::Vector2 cursor = editor.getCursorPosition();
    rig.move(30.0f, 20.0f, 1.0f);
    rig.hold(EditorRig::LEFT_CONTROL);
    rig.move(30.0f, 20.0f, 1.0f);
    rig.release(EditorRig::LEFT_CONTROL);
    EXPECT_EQ(editor.getCursorPosition(), cursor);
    EXPECT_EQ(editor.getCameraYaw(), 0.0f);
    EXPECT_EQ(editor.getCameraDistance(), 20.0f);
    EXPECT_EQ(editor.getCurrentType()->getName(), "crate");
    // The player's human is at the start; the crate placed in the air falls onto the floor.
    for (int tick = 0; tick < 80; ++tick)
    {
        rig.world().tick();
        rig.frame();
    }
    ASSERT_NE(host.player, nullptr);
    const auto* human = static_cast<const game::Human*>(host.player->getHuman());
    ASSERT_NE(human, nullptr);
    EXPECT_EQ(human->getPosition().distance(rig.level().getSinglePlayerStart()), 0.0f);
    EXPECT_GT(human->getHealth(), 0.0f);
    std::vector<game::Entity*> crates;
    rig.world().entities().findEntities(crates, Ogre::Vector3(2.0f, 1.5f, 0.0f), 3.0f, "prop");
    ASSERT_EQ(crates.size(), 1u);
    EXPECT_NEAR(crates[0]->getPosition().y, 0.5f, 0.05f);
    rig.press(EditorRig::P);
    EXPECT_FALSE(editor.isPreviewRunning());
    EXPECT_TRUE(editor.getPreviewElement()->getPosition(0)->isVisible());
    EXPECT_EQ(rig.players().getMatchState(), game::PlayerManager::NoMatch);
    EXPECT_EQ(host.calls, (Lines{"attach", "detach"}));

    test::loadPngPlugin(Ogre::Root::getSingleton());
    rig.press(EditorRig::L);
    EXPECT_TRUE(editor.isGeneratingMaps());
    EXPECT_EQ(rig.lastMessage(), "Regeneratinglevellightandsoundmaps..");
    rig.press(EditorRig::P);
    EXPECT_FALSE(editor.isPreviewRunning());
    EXPECT_EQ(rig.lastMessage(), "Levelpreviewnotavailablewhilelight/soundmapisbeinggenerated");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (editor.isGeneratingMaps() && std::chrono::steady_clock::now() < deadline)
    {
        rig.frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(editor.isGeneratingMaps());
    EXPECT_EQ(rig.lastMessage(), "Levellight/soundmapready");
    EXPECT_FALSE(editor.isLightMapStale());
    EXPECT_TRUE(rig.level().hasLightMap());
    EXPECT_TRUE(rig.level().hasSoundMap());
}
} // namespace

namespace
{
// The game's catalogue without its usual floor block.
class NoFloorLevel : public game::Level
{
public:
    using game::Level::Level;
    void getBlockNames(std::vector<std::string>& names) const override
    {
        game::Level::getBlockNames(names);
        names.erase(std::remove(names.begin(), names.end(), "techfloor"), names.end());
    }
};

TEST(LevelEditor, StartsWithTheFirstTypeOfThePaletteWithoutTheFloorBlock)
{
    EditorRig rig;
    NoFloorLevel level(&rig.levelWorld().sceneManager(), &rig.levelWorld().simulator(),
                       rig.levelWorld().userDirectory());
    level.initialize(nullptr);
    Ogre::SceneManager& scene = rig.levelWorld().sceneManager();
    game::LevelEditor editor(&scene, scene.getRootSceneNode(), false);
    editor.initialize(&level, &rig.players(), &rig.world().entities(), nullptr, nullptr, nullptr);
    EXPECT_EQ(editor.getType("techfloor"), nullptr);
    EXPECT_EQ(editor.getCurrentType()->getName(), "techceiling");
    editor.newLevel("floorless");
    editor.onKeyPress(EditorRig::SPACE, 0);
    editor.onMouseButtonPress(0);
    editor.onMouseButtonRelease(0);
    std::vector<game::LevelPoint> points;
    editor.storeElements(points);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].name, "techceiling");
}
} // namespace

namespace
{
// The campaign's levels open in the editor and come back from a save as they were, and the
// saved file builds in the game.
TEST(LevelEditor, ShippedLevelsSurviveASaveFromTheEditor)
{
    namespace fs = std::filesystem;
    // The shipped prototypes, so that every entity of every level is one the editor shows.
    std::ifstream shipped(test::sourcePath("entities.xml"));
    std::string definitions((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>());
    definitions = definitions.substr(definitions.find("<entities>") + std::string("<entities>").size());
    definitions = definitions.substr(0, definitions.rfind("</entities>"));
    EditorRig rig(false, definitions);
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(test::sourcePath("levels")))
        if (entry.path().extension() == game::Level::FILE_EXTENSION)
            names.push_back(entry.path().stem().string());
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names)
    {
        SCOPED_TRACE(name);
        ASSERT_TRUE(rig.levelWorld().load(name));
        const game::Level& level = rig.level();
        const std::vector<game::LevelPoint> original = level.getPoints();
        const std::string header[] = {level.getTitle(), level.getAuthor(), level.getNext()};
        const float targetTime = level.getTargetTime();
        EXPECT_TRUE(level.isBuiltin());

        // Edited under a name of its own, so that the shipped file stays as it is.
        const std::string copy = name + "edited";
        fs::create_directories(fs::path(rig.levelWorld().userLevelFile(copy)).parent_path());
        fs::copy_file(level.getFileName(), rig.levelWorld().userLevelFile(copy),
                      fs::copy_options::overwrite_existing);
        rig.level().updateLevelCache();
        rig.clearMessages();
        ASSERT_TRUE(rig.editor().loadLevel(copy));
        EXPECT_EQ(rig.elements().size(), original.size());
        rig.editor().saveLevel();
        EXPECT_EQ(rig.lastMessage(), EditorRig::unblanked("Level '" + copy + "' successfully saved"));
        for (const std::string& line : rig.messages())
            EXPECT_EQ(line.find("Ignored"), std::string::npos) << line;

        ASSERT_TRUE(rig.levelWorld().load(copy, true));
        EXPECT_EQ(level.getTitle(), header[0]);
        EXPECT_EQ(level.getAuthor(), header[1]);
        EXPECT_EQ(level.getNext(), header[2]);
        EXPECT_EQ(level.getTargetTime(), targetTime);
        // A copy in the player's folder is the player's, whatever the shipped file said.
        EXPECT_FALSE(level.isBuiltin());
        const std::vector<game::LevelPoint>& saved = level.getPoints();
        ASSERT_EQ(saved.size(), original.size());
        for (size_t i = 0; i < saved.size(); ++i)
        {
            SCOPED_TRACE(original[i].name);
            EXPECT_EQ(saved[i].type, original[i].type);
            EXPECT_EQ(saved[i].name, original[i].name);
            EXPECT_EQ(saved[i].positions, original[i].positions);
            EXPECT_EQ(saved[i].orientation, original[i].orientation);
            EXPECT_EQ(saved[i].state, original[i].state);
            EXPECT_EQ(saved[i].value, original[i].value);
        }
        rig.level().destroyScene();
    }
}
} // namespace
