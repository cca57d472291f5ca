// Writes the built-in levels into the folder "levels": the single-player walk "sp01" and the
// multiplayer "arena". Run from the source tree's root after changing a layout here:
//
//   build/bin/korvane-levelgen [ROOT]
//
// With ROOT, the files go to ROOT/levels instead (the tests compare them with the committed
// ones).
// Blocks are centred on their origin (see tools/assetgen): a "techfloor" slab at y = -0.5 has
// its top at 0, and floor slabs are 4 wide. Start points sit 1 above the floor they stand on.
#include "gamedata.h"
#include "levelbuilder.h"

#include "game/level/level.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreMath.h>

#include <cstdio>
#include <functional>

namespace
{

using levels::LevelBuilder;

Ogre::Vector3 at(float x, float y)
{
    return Ogre::Vector3(x, y, 0.0f);
}

// A walk from the start on the left to the exit on the right: crates to jump up, a gap to jump
// across, ledges to climb, a ceiling to crouch under and a drop to the exit floor.
void buildSp01(LevelBuilder& layout)
{
    layout.row("techfloor", 0, 60, 4, -0.5f);
    layout.column("techwall", -2.5f, 2, 6, 4);
    layout.column("techwall", 62.5f, 2, 6, 4);
    layout.special(game::LevelPoint::SINGLE_PLAYER_START, at(0, 1));
    layout.special(game::LevelPoint::HINT, at(2, 1), "Jump up the crates, then across the gap.");

    // Crates: a one-metre step, then a two-metre crate, onto the raised floor.
    layout.block("techcube", at(10.5f, 0.5f));
    layout.block("storagecube", at(14, 1));
    layout.block("techfloor", at(17, 1.5f));
    // The gap from 19 to 22; a fall lands on the ground floor, and a step there leads back up.
    layout.block("techfloor", at(24, 1.5f));
    layout.block("techcube", at(26.5f, 0.5f));

    // Ledges up to the high platform, each 1.25 above the last.
    layout.block("techledge", at(28, 3.125f));
    layout.block("techledge", at(31, 4.125f));
    layout.block("techledge", at(34, 5.125f));
    layout.row("techfloor", 38, 46, 4, 4.5f);
    // The platform stands on a wall, so the ground floor below is no way round.
    layout.block("techwall", at(36.5f, 2));
    layout.special("checkpoint", at(38, 6));
    layout.special(game::LevelPoint::HINT, at(39, 6), "Crouch to get under the low ceiling.");

    // A ceiling hanging 1.2 above the platform, too tall to jump over.
    layout.column("techceiling", 42, 6.7f, 11.7f, 1);

    // Down a ledge to the exit floor.
    layout.block("techledge", at(49, 2.125f));
    layout.special("exit", at(60, 1));
}

// A closed hall with ramps to two side platforms, ledges up to a central bridge, a crate for
// cover and eight start points spread over the floor, the platforms and the bridge.
void buildArena(LevelBuilder& layout)
{
    layout.row("techfloor", -16, 16, 4, -0.5f);
    layout.row("techceiling", -16, 16, 4, 12.5f);
    layout.column("techwall", -18.5f, 2, 10, 4);
    layout.column("techwall", 18.5f, 2, 10, 4);

    // Ramps rise towards the middle; the right one is the left one turned about y.
    layout.block("techramp", at(-12, 1));
    layout.block("techramp", at(12, 1), Ogre::Quaternion(Ogre::Degree(180), Ogre::Vector3::UNIT_Y));
    layout.block("techfloor", at(-8, 1.5f));
    layout.block("techfloor", at(8, 1.5f));
    layout.block("techledge", at(-4, 3.125f));
    layout.block("techledge", at(4, 3.125f));
    layout.block("bridge", at(0, 4.15f));
    layout.block("storagecube", at(0, 1));

    for (float x : {-16.0f, -4.0f, 4.0f, 16.0f})
        layout.special(game::LevelPoint::MULTIPLAYER_START, at(x, 1));
    for (float x : {-8.0f, 8.0f})
        layout.special(game::LevelPoint::MULTIPLAYER_START, at(x, 3));
    for (float x : {-1.0f, 1.0f})
        layout.special(game::LevelPoint::MULTIPLAYER_START, at(x, 5.3f));
}

struct TLevel
{
    const char* name;
    const char* title;
    float targetTime;
    std::function<void(LevelBuilder&)> build;
};

bool write(game::Level& level, const TLevel& definition)
{
    LevelBuilder layout;
    layout.title(definition.title).author("Korvane").targetTime(definition.targetTime);
    definition.build(layout);
    if (!layout.save(level, definition.name))
        return false;
    // The shipped levels are built-in, which only the file itself can say.
    brix::XMLElement root("level");
    if (root.load(level.getFileName()) < 0)
        return false;
    root.findChild("builtin", true)->setValue(true);
    if (root.save(level.getFileName(), true) < 0)
        return false;
    std::printf("%s: %u points\n", level.getFileName().c_str(),
                static_cast<unsigned>(level.getPoints().size()));
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    // The level writes into its user data directory's level folder.
    const std::string root = argc > 1 ? argv[1] : ".";
    levels::HeadlessGame game(root, "/tmp/korvane-levelgen-ogre.log");
    game::Level level(nullptr, &game.simulator(), root);
    level.initialize(nullptr);
    const TLevel definitions[] = {{"sp01", "First Steps", 60.0f, buildSp01},
                                  {"arena", "Arena", 0.0f, buildArena}};
    for (const TLevel& definition : definitions)
        if (!write(level, definition))
        {
            std::fprintf(stderr, "Writing level '%s' failed\n", definition.name);
            return 1;
        }
    return 0;
}
