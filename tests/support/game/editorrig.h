#pragma once
#include "engine/presentation/messagedisplay.h"
#include "game/editor/leveleditor.h"
#include "game/multiplayer/playermanager.h"
#include "support/game/gameworld.h"
#include "support/game/levelworld.h"
#include "support/ogre/imagefont.h"

#include <OgreVector.h>

#include <memory>
#include <string>
#include <vector>

namespace test
{
// A level editor on a headless level world, driven as the user would drive it: keys by GLFW
// code, pointer motion in pointer units, buttons 0 (left) and 1 (right). Its messages go to a
// display of their own that the rig reads back. The entity prototypes are props, a platform
// and a hidden prop (see DEFINITIONS); the catalogue is the game's.
class EditorRig
{
public:
    // GLFW key codes the editor's tests press.
    enum Key
    {
        SPACE = 32,
        C = 67,
        G = 71,
        L = 76,
        N = 78,
        P = 80,
        R = 82,
        S = 83,
        T = 84,
        Y = 89,
        Z = 90,
        TAB = 258,
        DELETE = 261,
        RIGHT = 262,
        LEFT = 263,
        DOWN = 264,
        UP = 265,
        F1 = 290,
        LEFT_SHIFT = 340,
        LEFT_CONTROL = 341,
        LEFT_ALT = 342
    };

    // "crate" (dynamic, grid-snap offset 0 0.5 0), "lamp" (static), "pillar" (neither turns nor
    // leaves z 0, default depth -1), "lift" (a platform, with as many positions as an element
    // may have), "ghost" (hidden from the editor), "blast" (an explosion, which shows nothing)
    // and, hidden too, the preview's "player" with its "pistol".
    static const char* const DEFINITIONS;

    explicit EditorRig(bool developer = false, const std::string& definitions = DEFINITIONS);
    ~EditorRig();
    EditorRig(const EditorRig&) = delete;
    EditorRig& operator=(const EditorRig&) = delete;

    game::LevelEditor& editor() { return *mEditor; }
    game::Level& level() { return mLevel.level(); }
    LevelWorld& levelWorld() { return mLevel; }
    GameWorld& world() { return mWorld; }
    game::PlayerManager& players() { return mPlayers; }

    void press(int key);
    void hold(int key);
    void release(int key);
    // One pointer motion (x right, y down, wheel) in pointer units.
    void move(float x, float y, float wheel = 0.0f);
    // Moves the cursor to the world point in steps a user would make.
    void moveTo(float x, float y);
    void click(int button = 0);
    // A left drag from the cursor to the world point.
    void drag(float x, float y);
    // Picks the type from the palette with the pointer, which turns placement mode on.
    void choose(const std::string& type);
    // Places the current type at the world point (placement mode must be on).
    void place(float x, float y);
    // Selects what lies under the world point, alone (placement mode must be off).
    void select(float x, float y);
    // A frame of the editor.
    void frame(unsigned count = 1);

    // The messages shown, oldest first; blanks are not drawn, so they are left out.
    std::vector<std::string> messages();
    // The last message, blanks left out.
    std::string lastMessage();
    void clearMessages() { mDisplay->clear(); }
    // The same text without blanks, to compare with what was shown.
    static std::string unblanked(std::string text);

    // Elements of the level layer, in layer order, as "name@x,y,z" with one decimal.
    std::vector<std::string> elements() const;
    unsigned selectedCount() const;
    game::LevelElement* element(unsigned index) const;

private:
    LevelWorld mLevel;
    ImageFont mFont;
    // The font the palette's label and the help draw with.
    ImageFont mEditorFont{"menufont"};
    Ogre::SceneManager* mDisplayScene;
    std::unique_ptr<brix::MessageDisplay> mDisplay;
    GameWorld mWorld;
    game::PlayerManager mPlayers;
    std::unique_ptr<game::LevelEditor> mEditor;
};
} // namespace test
