// The built-in levels. Each single-player level teaches one thing on a walk from its start on
// the left to its exit on the right, in a block set of its own; its route is the way the
// level recorder's autopilot takes through it. The arenas are closed halls built mirrored about
// x = 0, so that no start point is nearer to a weapon or a package than its twin.
//
// Blocks are centred on their origin (see tools/assetgen): floors are 4 wide and 1 thick,
// "techwall" 1 x 4, "techcube" and "labcube" 1 x 1, "storagecube" 2 x 2, "techledge" 2 x 0.25,
// "bridge" 4 x 0.3 and "bridgepillar" 1 x 4. A human stands 1 above the floor top, a crate or
// barrel 0.5, a package or weapon 0.25, a sentry gun 0.6, a door 1.5.
#include "levelplan.h"

#include "game/level/levelpoint.h"

#include <algorithm>

namespace levels
{
namespace
{
const float PACKAGE = 0.25f;
const float PROP = 0.5f;
const float SENTRY = 0.6f;
const float DOOR = 1.5f;
const float HUMAN = 1.0f;
// Sentry guns start ready to fire.
const char* const ARMED = "armed";

Ogre::Vector3 at(float x, float y)
{
    return Ogre::Vector3(x, y, 0.0f);
}

// A hall from left to right with walls of the block at both ends, a ceiling at the height when
// there is one, and a backdrop of the panel.
void hall(LevelPlan& plan, const char* floor, const char* wall, float wallSize, const char* ceiling,
          const char* panel, float left, float right, float height)
{
    plan.floor(floor, left, right, 0.0f);
    plan.stack(wall, left - wallSize * 0.5f, 0.0f, height, wallSize);
    plan.stack(wall, right + wallSize * 0.5f, 0.0f, height, wallSize);
    if (ceiling)
        plan.floor(ceiling, left, right, height + 1.0f);
    if (panel)
        plan.backdrop(panel, left, right, 0.0f, height);
}

// Lamps along the hall every step, the odd ones flickering when asked.
void lamps(LevelPlan& plan, float from, float to, float step, float y, bool flicker = false)
{
    bool odd = false;
    for (float x = from; x <= to + 0.001f; x += step, odd = !odd)
        plan.lamp(x, y, flicker && odd);
}

// Slabs of the floor block from fromX to toX with their top at the height, stacked down to the
// ground floor so that nothing hangs in the air: a step, a raised floor or a pit's bottom.
void solid(LevelPlan& plan, const char* block, float fromX, float toX, float top)
{
    for (float slab = top; slab > 0.0f; slab -= 1.0f)
        plan.floor(block, fromX, toX, slab);
}

// The first level teaches walking, jumping and crouching: steps a standing jump clears with room
// to spare, a short gap over a shallow pit that a missed jump climbs out of, more steps up to a
// platform with a low ceiling and a key, then down and through the door it opens to the exit.
// Each step is a long tread, so a jump from its foot lands well before the next one. Guards wait
// for the levels after it.
void buildSp01(LevelPlan& plan)
{
    hall(plan, "techfloor", "techwall", 1, nullptr, "labwall", -2, 94, 12);
    // A and D walk without turning: the hint says what turns, in the words of each controller.
    plan.start(0, 0).hint(0, 0,
                          "Jump up the steps, then across the gap.|Walk with #WALK#, jump with #JUMP#; "
                          "you face where you aim with the #AIM#.");

    // Steps of 0.5 and 0.75, a gap of 2.5 over a pit 0.75 deep, then three more steps of 0.75 up
    // to the platform.
    solid(plan, "techfloor", 9, 25, 0.5f);
    solid(plan, "techfloor", 17, 25, 1.25f);
    plan.floor("techfloor", 23.75f, 27.75f, 0.5f);
    solid(plan, "techfloor", 27.5f, 35.5f, 1.25f);
    solid(plan, "techfloor", 34.5f, 42.5f, 2);
    solid(plan, "techfloor", 42.5f, 50.5f, 2.75f);
    solid(plan, "techfloor", 50.5f, 66.5f, 3.5f);
    plan.checkpoint(51.5f, 3.5f)
        .hint(51.5f, 3.5f, "Crouch to get under the low ceiling.|Hold #CROUCH# and walk.");
    // A ceiling hanging 1.2 above the platform, too tall to jump over.
    plan.layout().column("techceiling", 58.5f, 5.2f, 11.2f, 1);
    // Down a step to the ground and through a door the key on the platform opens.
    solid(plan, "techfloor", 66.5f, 70.5f, 2);
    plan.entity("doora", 89, DOOR).stack("techwall", 89, 3, 11, 4).exit(92, 0);

    // Pickups: a vial in the pit for those who fall, health past the gap, ammunition, a vial
    // and the key on the platform.
    plan.entity("vial", 26.25f, 0.5f + PACKAGE).entity("health", 32, 1.25f + PACKAGE);
    plan.entity("ammo", 54, 3.5f + PACKAGE)
        .entity("vial", 62, 3.5f + PACKAGE)
        .entity("keya", 64, 3.5f + PACKAGE);
    lamps(plan, 4, 90, 8, 7);

    plan.walk(21).jump(24, 31).walk(55.8f).crouch(62).walk(92);
}

// Container ducts to crawl through: each is too low to walk and too tall to jump over.
void buildSp02(LevelPlan& plan)
{
    hall(plan, "storagefloor", "storagecube", 2, "storagefloor", "storagewall", -2, 50, 8);
    plan.start(0, 0).hint(0, 0, "Hold crouch to crawl under the low containers.");
    for (float x : {11.0f, 13.0f, 23.0f, 37.0f, 39.0f})
        plan.stack("storagecube", x, 1.2f, 8, 2);
    plan.entity("health", 18, PACKAGE).entity("vial", 38, PACKAGE).entity("vial", 30, PACKAGE);
    plan.exit(46, 0);
    lamps(plan, 6, 44, 12, 3, true);

    plan.walk(9.4f).crouch(15.2f).walk(21.4f).crouch(25.2f).walk(35.4f).crouch(41.2f).walk(46);
}

// Crates to climb on and to shoot out of the way, and barrels that burst when shot.
void buildSp03(LevelPlan& plan)
{
    hall(plan, "techfloor", "techwall", 1, "techceiling", "storagewall", -2, 62, 7);
    plan.start(0, 0).hint(0, 0, "Climb on the crate. Shoot crates and barrels that bar the way.");
    // A crate as the step up onto a row of containers.
    plan.entity("crate", 12.5f, PROP);
    for (float x = 15; x <= 25; x += 2)
        plan.block("storagecube", x, 1);
    plan.entity("vial", 24, 2 + PACKAGE);
    // A stack of crates under a hanging wall.
    plan.stack("techwall", 30.5f, 3, 7, 4);
    for (float y : {0.5f, 1.5f, 2.5f})
        plan.entity("crate", 30.5f, y);
    plan.entity("ammo", 36, PACKAGE);
    // Barrels under a low duct; shot from afar they clear it.
    plan.stack("techcube", 42.5f, 1.2f, 7, 1);
    plan.entity("barrel", 41.8f, PROP).entity("barrel", 42.8f, PROP);
    plan.entity("health", 50, PACKAGE).exit(58, 0);
    lamps(plan, 4, 60, 8, 3.5f);

    plan.walk(20).walk(28.5f).fight(30.5f, 1.5f, 12).walk(34).fight(42.3f, PROP, 12).walk(41).crouch(45);
    plan.walk(58);
}

// Guards on the floor and on a raised bench, each to be shot before it shoots.
void buildSp04(LevelPlan& plan)
{
    hall(plan, "labfloor", "labcube", 1, "labfloor", "labwall", -2, 70, 9);
    plan.start(0, 0).hint(0, 0, "Aim and shoot: guards fire back, so keep your distance.");
    plan.entity("ammo", 5, PACKAGE).entity("guard", 18, HUMAN);
    // A step onto a raised bench with a guard on it.
    plan.block("labcube", 24.5f, 0.5f).floor("labfloor", 25, 37, 2);
    plan.entity("health", 28, 2 + PACKAGE).entity("guard", 34, 2 + HUMAN);
    // The last guard walks his round between two low blocks, and is shot from the floor.
    plan.entity("ammo", 40, PACKAGE).entity("guard", 52, HUMAN);
    plan.block("labcube", 46.5f, 0.5f).block("labcube", 57.5f, 0.5f);
    plan.entity("vial", 60, PACKAGE).exit(66, 0);
    lamps(plan, 4, 64, 10, 4);

    plan.walk(5).fight(18, HUMAN).walk(28).fight(34, 2 + HUMAN).walk(41).fight(52, HUMAN).walk(66);
}

// Two keys for two doors; the second key lies up a flight of steps a metre high.
void buildSp05(LevelPlan& plan)
{
    hall(plan, "labfloor", "techwall", 1, "labfloor", "labwall", -2, 70, 7);
    plan.start(0, 0).hint(0, 0, "Doors open for the key of their colour.");
    plan.entity("keya", 8, PACKAGE);
    plan.entity("doora", 14, DOOR).stack("techwall", 14, 3, 7, 4);
    solid(plan, "labfloor", 18, 42, 1);
    solid(plan, "labfloor", 26, 42, 2);
    solid(plan, "labfloor", 34, 42, 3);
    plan.entity("keyb", 39.5f, 3 + PACKAGE).entity("vial", 46.5f, PACKAGE);
    plan.entity("doorb", 50, DOOR).stack("techwall", 50, 3, 7, 4);
    plan.entity("health", 54, PACKAGE).exit(66, 0);
    lamps(plan, 4, 68, 8, 4);

    plan.walk(12.4f).wait(1.5f).walk(40).walk(48.4f).wait(1.5f).walk(66);
}

// Bridges over a chasm: a lift up, a jump across and a lift called back up to ride down.
void buildSp06(LevelPlan& plan)
{
    // Decks on pillars; a fall into the chasm is the end.
    plan.floor("bridge", -2, 10, 0, 4, 0.3f).floor("bridge", 14, 30, 6, 4, 0.3f);
    plan.floor("bridge", 33, 49, 6, 4, 0.3f).floor("bridge", 53, 65, 0, 4, 0.3f);
    for (float x : {2.0f, 62.0f})
        plan.stack("bridgepillar", x, -8.3f, -0.3f, 4);
    for (float x : {18.0f, 26.0f, 37.0f, 45.0f})
        plan.stack("bridgepillar", x, -8.3f, 5.7f, 4);
    plan.stack("techwall", -2.5f, 0, 12, 4).stack("techwall", 65.5f, 0, 12, 4);
    plan.lift(12, 0, 6).lift(51, 0, 6);
    // Ledges carry each deck up to the lift beside it, leaving the lift a hand's breadth to pass.
    plan.block("techledge", 9.4f, -0.125f).block("techledge", 14.6f, 5.875f);
    plan.block("techledge", 48.4f, 5.875f).block("techledge", 53.6f, -0.125f);
    // A ledge brings the far side of the gap 1 nearer: a running jump from the last 2 of the deck
    // clears it.
    plan.block("techledge", 33, 5.875f);
    plan.start(0, 0).hint(0, 0, "Stand on the lift to ride it; call it back with the interact key.");
    plan.checkpoint(22, 6).entity("vial", 40, 6 + PACKAGE).entity("health", 47, 6 + PACKAGE);
    plan.exit(62, 0);
    lamps(plan, 4, 60, 8, 9);

    plan.walk(12).ride(7).jump(29, 34).walk(48.6f).interact().wait(5).walk(51).ride(1).walk(62);
}

// A heavy weapon picked up at the start, for soldiers who carry one too.
void buildSp07(LevelPlan& plan)
{
    hall(plan, "storagefloor", "storagecube", 2, "techceiling", "storagewall", -2, 66, 8);
    // Picking up a weapon of a kind not carried takes it in hand: a switch would go back to the
    // pistol. One of a kind carried already adds its rounds to that one.
    plan.start(0, 0).hint(0, 0,
                          "Pick up the heavy weapon: it is ready at once, no need to switch.|"
                          "#INTERACT# takes a new kind of weapon in hand; one you carry adds its rounds.");
    plan.entity("heavyweapon", 5, PACKAGE).entity("ammo", 10, PACKAGE);
    // A low block ends the soldier's round well out of sight of the start, where a player comes
    // back after a death.
    plan.block("techcube", 19.5f, 0.5f);
    plan.entity("soldier", 24, HUMAN).entity("ammo", 30, PACKAGE);
    // A container to climb, a step before it, with a guard on top.
    plan.block("techcube", 33.5f, 0.5f).block("storagecube", 35, 1).block("storagecube", 37, 1);
    plan.entity("guard", 36, 2 + HUMAN).entity("vial", 37, 2 + PACKAGE);
    plan.entity("health", 41, PACKAGE).entity("soldier", 48, HUMAN).exit(62, 0);
    lamps(plan, 4, 60, 8, 4, true);

    plan.walk(5).interact().wait(0.5f).walk(11).fight(24, HUMAN).walk(26).fight(36, 2 + HUMAN).walk(37.5f);
    plan.fight(48, HUMAN).walk(62);
}

// Sentry guns on the floor and on a gallery above it.
void buildSp08(LevelPlan& plan)
{
    hall(plan, "techfloor", "techwall", 1, "techceiling", nullptr, -2, 70, 9);
    plan.floor("hazardfloor", 16, 28, 0.01f, 2);
    plan.start(0, 0).hint(0, 0, "Sentry guns fire at what moves in front of them.");
    plan.entity("heavyweapon", 5, PACKAGE).entity("ammo", 9, PACKAGE).entity("sentrygun", 22, SENTRY, ARMED);
    // The gallery stands on a wall.
    plan.floor("techfloor", 34, 42, 4).stack("techwall", 38, 0, 3, 4);
    plan.entity("sentrygun", 38, 4 + SENTRY, ARMED).entity("ammo", 46, PACKAGE);
    plan.entity("sentrygun", 56, SENTRY, ARMED).entity("vial", 36, 4 + PACKAGE).exit(66, 0);
    plan.block("techcube", 30.5f, 0.5f);
    lamps(plan, 4, 68, 8, 5);

    plan.walk(5).interact().wait(0.5f).walk(13).fight(22, SENTRY).walk(28).fight(38, 4 + SENTRY);
    plan.walk(46).fight(56, SENTRY).walk(66);
}

// A gallery of sentry guns too high to reach, passed behind a raised shield.
void buildSp09(LevelPlan& plan)
{
    hall(plan, "labfloor", "labcube", 1, "techceiling", "labwall", -2, 58, 9);
    plan.start(0, 0).hint(0, 0, "Take the energy and raise your shield to walk past the guns.");
    plan.entity("shieldenergy", 6, PACKAGE).entity("ammo", 11, PACKAGE);
    plan.floor("techfloor", 22, 38, 6);
    for (float x : {26.0f, 34.0f})
        plan.entity("sentrygun", x, 6 + SENTRY, ARMED);
    plan.entity("vial", 30, PACKAGE).entity("health", 44, PACKAGE).exit(54, 0);
    lamps(plan, 4, 52, 8, 4);

    plan.walk(14).shield(44).walk(54);
}

// Crawlers on the floor and drones in the air, in a long hall with two checkpoints.
void buildSp10(LevelPlan& plan)
{
    hall(plan, "labfloor", "storagecube", 2, "labfloor", "labwall", -2, 98, 9);
    plan.start(0, 0).hint(0, 0, "Crawlers bite and drones fly: shoot both before they close in.");
    plan.entity("ammo", 8, PACKAGE).entity("crawler", 20, PROP).entity("crawler", 23, PROP);
    plan.checkpoint(32, 0).entity("vial", 34, PACKAGE);
    plan.entity("drone", 44, 3.5f).entity("drone", 50, 4.5f).entity("ammo", 38, PACKAGE);
    plan.block("storagecube", 58, 1).entity("vial", 58, 2 + PACKAGE).block("labcube", 56.5f, 0.5f);
    plan.checkpoint(64, 0).entity("health", 66, PACKAGE).entity("ammo", 68, PACKAGE);
    plan.entity("crawler", 74, PROP).entity("drone", 80, 4).entity("vial", 88, PACKAGE).exit(94, 0);
    lamps(plan, 4, 96, 8, 4, true);

    plan.walk(10).fight(21.5f, PROP).walk(36).fight(47, 4).walk(62).walk(66).fight(77, 2).walk(94);
}

// A closed hall with ramps to two side platforms, ledges up to a central bridge, a crate for
// cover and eight start points spread over the floor, the platforms and the bridge.
void buildArena(LevelPlan& plan)
{
    LevelBuilder& layout = plan.layout();
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

    for (float side : {-1.0f, 1.0f})
    {
        plan.entity("heavyweapon", side * 8, 2 + PACKAGE).entity("ammo", side * 14, PACKAGE);
        plan.entity("health", side * 2, 4.3f + PACKAGE).lamp(side * 12, 6).lamp(side * 4, 9, true);
    }
}

// Stacks of containers in a storage hall: two tiers on each side, a bridge between the upper
// ones and the rocket launcher under it.
void buildArmory(LevelPlan& plan)
{
    hall(plan, "storagefloor", "storagecube", 2, "storagefloor", "storagewall", -22, 22, 12);
    for (float side : {-1.0f, 1.0f})
    {
        // A step, a lower tier of containers and an upper tier.
        plan.block("techcube", side * 17.5f, 0.5f);
        for (float x : {19.0f, 21.0f})
            plan.block("storagecube", side * x, 1);
        plan.floor("storagefloor", side > 0 ? 10 : -14, side > 0 ? 14 : -10, 4);
        plan.stack("storagecube", side * 12, 0, 3, 2);
        plan.block("techledge", side * 16.5f, 3.125f);
        plan.entity("crate", side * 6, PROP).entity("barrel", side * 8, PROP);
        plan.entity("health", side * 20, 2 + PACKAGE).entity("ammo", side * 12, 4 + PACKAGE);
        plan.entity("heavyweapon", side * 3, PACKAGE).lamp(side * 16, 7).lamp(side * 6, 9, true);
        // On the ground between the stack of the tiers and the step, clear of the containers.
        for (float x : {4.0f, 15.0f})
            plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * x, HUMAN));
        plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * 12, 4 + HUMAN));
        plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * 20, 2 + HUMAN));
    }
    plan.floor("bridge", -10, 10, 6, 4, 0.3f).entity("rocketlauncher", 0, PACKAGE);
}

// A laboratory around a pit: lifts lead out of it to the two side floors.
void buildPit(LevelPlan& plan)
{
    plan.floor("labfloor", -6, 6, -6);
    plan.stack("labcube", -6.5f, -6, 0, 1).stack("labcube", 6.5f, -6, 0, 1);
    for (float side : {-1.0f, 1.0f})
    {
        const float inner = side * 10;
        const float outer = side * 26;
        plan.floor("labfloor", std::min(inner, outer), std::max(inner, outer), 0);
        plan.stack("labcube", side * 26.5f, 0, 12, 1);
        plan.lift(side * 8, -6, 0);
        plan.floor("labfloor", side > 0 ? 14 : -22, side > 0 ? 22 : -14, 4);
        plan.entity("health", side * 24, PACKAGE).entity("ammo", side * 18, 4 + PACKAGE);
        plan.entity("heavyweapon", side * 3, -6 + PACKAGE).lamp(side * 12, 3).lamp(side * 20, 8, true);
        plan.lamp(side * 4, -3);
        for (float x : {12.0f, 24.0f})
            plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * x, HUMAN));
        plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * 18, 4 + HUMAN));
        plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * 4, -6 + HUMAN));
        plan.block("labcube", side * 16.5f, 0.5f).block("labcube", side * 16.5f, 1.5f);
    }
    plan.floor("labfloor", -26, 26, 13).backdrop("labwall", -26, 26, -6, 12);
}

// An open square of bridges over a floor: three decks on pillars, joined by ledges.
void buildSquare(LevelPlan& plan)
{
    hall(plan, "techfloor", "techwall", 1, "techceiling", nullptr, -20, 20, 12);
    plan.floor("bridge", -4, 4, 8, 4, 0.3f);
    plan.stack("bridgepillar", -4.5f, 0, 8, 4).stack("bridgepillar", 4.5f, 0, 8, 4);
    for (float side : {-1.0f, 1.0f})
    {
        plan.floor("bridge", side > 0 ? 8 : -16, side > 0 ? 16 : -8, 4, 4, 0.3f);
        plan.stack("bridgepillar", side * 12, 0, 4, 4);
        plan.block("techledge", side * 18, 2.125f).block("techledge", side * 6, 6.125f);
        plan.entity("ammo", side * 12, 4 + PACKAGE).entity("health", side * 18, PACKAGE);
        plan.entity("heavyweapon", side * 8, PACKAGE).lamp(side * 14, 7).lamp(side * 8, 10, true);
        for (float x : {2.0f, 16.0f})
            plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * x, HUMAN));
        plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * 10, 4 + HUMAN));
        plan.layout().special(game::LevelPoint::MULTIPLAYER_START, at(side * 2, 8 + HUMAN));
    }
    plan.entity("rocketlauncher", 0, PACKAGE).lamp(0, 4);
}
} // namespace

const std::vector<TBuiltinLevel>& getBuiltinLevels()
{
    static const std::vector<TBuiltinLevel> levels = {
        {"sp01", "First Steps", 60.0f, "sp02", buildSp01},
        {"sp02", "Duck and Cover", 80.0f, "sp03", buildSp02},
        {"sp03", "Crates and Barrels", 50.0f, "sp04", buildSp03},
        {"sp04", "Guard Duty", 40.0f, "sp05", buildSp04},
        {"sp05", "Locked Doors", 30.0f, "sp06", buildSp05},
        {"sp06", "Going Up", 60.0f, "sp07", buildSp06},
        {"sp07", "Heavy Metal", 40.0f, "sp08", buildSp07},
        {"sp08", "Sentry Line", 35.0f, "sp09", buildSp08},
        {"sp09", "Shield Wall", 25.0f, "sp10", buildSp09},
        {"sp10", "The Hive", 50.0f, "", buildSp10},
        {"arena", "Arena", 0.0f, "", buildArena},
        {"armory", "Armory", 0.0f, "", buildArmory},
        {"pit", "The Pit", 0.0f, "", buildPit},
        {"square", "Square", 0.0f, "", buildSquare}};
    return levels;
}

bool makeBuiltinPlan(const std::string& name, LevelPlan& plan)
{
    for (const TBuiltinLevel& level : getBuiltinLevels())
        if (name == level.name)
        {
            plan.layout().title(level.title).author("Korvane").targetTime(level.targetTime).next(level.next);
            level.build(plan);
            return true;
        }
    return false;
}
} // namespace levels
