#include "game/application/keyboardcontroller.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/package.h"
#include "engine/core/simulator.h"

#include "support/game/levelworld.h"
#include "support/logcapture.h"
#include "support/tempdir.h"

#include "inputscript.h"
#include "levelplay.h"

#include <OgreStringConverter.h>

#include <btBulletDynamicsCommon.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
using game::LevelCache;

const char* const FIRST_LEVEL = "sp01";
const unsigned CAMPAIGN_LEVELS = 10;
const unsigned ARENAS = 4;
const unsigned ARENA_STARTS = 8;
const std::string SCRIPT_FOLDER = "tests/data/playthrough/";
// Three quarters of the entity manager's dynamic slots, above which the editor warns.
const unsigned MAX_DYNAMIC_ENTITIES = 150;
// A person presses a jump or starts a walk up to this many ticks off, in these many trials drawn
// from the seed.
const int MAX_SHIFT = 3;
const unsigned SHIFT_TRIALS = 6;
const unsigned SHIFT_SEED = 40;
// A player sent back this many times lives this many ticks (3 s) of each life; he is back this
// many ticks after a death (5 s and a margin), and takes a checkpoint he is put on in this many.
const unsigned SENT_BACK = 12;
const unsigned FIRST_SECONDS_TICKS = 120;
const unsigned RESPAWN_TICKS = 240;
const unsigned CHECKPOINT_TICKS = 40;
// Damage that kills any human outright.
const float KILLING_BLOW = 1.0e6f;
// What fights back, and must be shot before it lets a player by.
const char* const ENEMIES[] = {"human", "drone", "crawler", "sentrygun"};

using Inputs = std::vector<game::Controller::TInput>;
// The ticks one press moves, later when positive.
using Shift = std::function<int()>;

// A person's timing instead of the recorder's: every jump press moved by its own shift, the
// rest of the input as it was.
Inputs shiftJumps(const Inputs& inputs, const Shift& ticks)
{
    Inputs shifted = inputs;
    for (game::Controller::TInput& input : shifted)
        input.buttons &= ~game::Controller::BUTTON_JUMP;
    for (size_t tick = 0; tick < inputs.size(); ++tick)
    {
        if (!(inputs[tick].buttons & game::Controller::BUTTON_JUMP))
            continue;
        const long moved = static_cast<long>(tick) + ticks();
        if (moved >= 0 && moved < static_cast<long>(inputs.size()))
            shifted[moved].buttons |= game::Controller::BUTTON_JUMP;
    }
    return shifted;
}

// Every start of a walk (a tick whose walk differs from the one before and is not 0) moved by
// its own shift: later, the walk before it held on; or earlier, the new walk taking over the
// ticks before it.
Inputs shiftWalkStarts(const Inputs& inputs, const Shift& shift)
{
    Inputs shifted = inputs;
    for (size_t tick = 1; tick < inputs.size(); ++tick)
    {
        if (inputs[tick].move == 0.0f || inputs[tick].move == inputs[tick - 1].move)
            continue;
        const int ticks = shift();
        for (int step = 0; step < std::abs(ticks); ++step)
        {
            const long at = ticks > 0 ? static_cast<long>(tick) + step : static_cast<long>(tick) - 1 - step;
            if (at < 1 || at >= static_cast<long>(inputs.size()) ||
                inputs[at].move != (ticks > 0 ? inputs[tick].move : inputs[tick - 1].move))
                break;
            shifted[at].move = ticks > 0 ? inputs[tick - 1].move : inputs[tick].move;
        }
    }
    return shifted;
}

std::vector<std::string> levelNames(const LevelCache& cache, unsigned value, unsigned mask)
{
    std::vector<std::string> names;
    cache.getLevelNames(names, value, mask);
    return names;
}

// No block of the level's body reaches into a human standing at the point: one placed there
// lives. A box of a standing human's size, put there, touches nothing deeper than a skin.
bool standsFree(brix::Simulator& simulator, const game::LevelPoint& start)
{
    struct TOverlap : btCollisionWorld::ContactResultCallback
    {
        btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper*, int, int,
                                 const btCollisionObjectWrapper*, int, int) override
        {
            found = found || point.getDistance() < -0.01f;
            return 0;
        }
        bool found = false;
    } overlap;
    btBoxShape human(btVector3(0.25f, 0.8f, 0.25f));
    btCollisionObject probe;
    probe.setCollisionShape(&human);
    const Ogre::Vector3 centre = start.getPosition();
    probe.getWorldTransform().setOrigin(btVector3(centre.x, centre.y, centre.z));
    simulator.getWorld()->contactTest(&probe, overlap);
    return !overlap.found;
}

// The campaign from its first level along "next", as the single-player menu walks it.
std::vector<std::string> campaign(const LevelCache& cache)
{
    std::vector<std::string> chain;
    for (std::string name = FIRST_LEVEL; cache.hasLevel(name) && chain.size() <= CAMPAIGN_LEVELS;
         name = cache.getNext(name))
        chain.push_back(name);
    return chain;
}

TEST(Campaign, ChainsTenLevelsFromTheFirstAndShipsFourArenasWithEightFreeStarts)
{
    test::LevelWorld world(true);
    world.level().updateLevelCache();
    const LevelCache& cache = *world.level().getLevelCache();
    const std::vector<std::string> chain = campaign(cache);
    ASSERT_EQ(CAMPAIGN_LEVELS, chain.size());
    // Every single-player level is on the chain once, and the last one leads nowhere.
    EXPECT_EQ(chain, levelNames(cache, LevelCache::FLAG_SINGLE_PLAYER | LevelCache::FLAG_BUILTIN,
                                LevelCache::FLAG_SINGLE_PLAYER | LevelCache::FLAG_BUILTIN));
    EXPECT_EQ("", cache.getNext(chain.back()));
    for (const std::string& name : chain)
    {
        ASSERT_TRUE(world.level().load(name, false)) << name;
        EXPECT_FALSE(world.level().getTitle().empty()) << name;
        EXPECT_EQ("Korvane", world.level().getAuthor()) << name;
        EXPECT_GT(world.level().getTargetTime(), 0.0f) << name;
        EXPECT_FALSE(world.level().isModified()) << name;
    }
    const std::vector<std::string> arenas =
        levelNames(cache, LevelCache::FLAG_MULTIPLAYER | LevelCache::FLAG_BUILTIN,
                   LevelCache::FLAG_MULTIPLAYER | LevelCache::FLAG_BUILTIN);
    EXPECT_EQ(ARENAS, arenas.size());
    for (const std::string& name : arenas)
    {
        ASSERT_TRUE(world.level().load(name, false)) << name;
        EXPECT_EQ(ARENA_STARTS, world.level().getMultiplayerStarts().size()) << name;
        world.level().createScene();
        for (unsigned start : world.level().getMultiplayerStarts())
            EXPECT_TRUE(standsFree(world.simulator(), world.level().getPoints()[start]))
                << name << " start " << world.level().getPoints()[start].positions[0];
        EXPECT_FALSE(world.level().isModified()) << name;
    }
}

// Every level starts a match naming nothing the game does not know, with its maps, lit by
// lamps; and each single-player level, played headless from its start with the committed input
// of a recorded run (tools/level/levelrecord.cpp), ends completed with a score, also when a
// person's timing moves the jumps and walks of that input.
TEST(Campaign, EveryLevelStartsCleanAndEveryScriptFinishesItsLevel)
{
    std::vector<std::string> names;
    std::vector<std::string> singlePlayer;
    {
        test::LevelWorld world;
        world.level().updateLevelCache();
        const LevelCache& cache = *world.level().getLevelCache();
        names = levelNames(cache, LevelCache::FLAG_BUILTIN, LevelCache::FLAG_BUILTIN);
        singlePlayer = levelNames(cache, LevelCache::FLAG_SINGLE_PLAYER, LevelCache::FLAG_SINGLE_PLAYER);
    }
    ASSERT_EQ(CAMPAIGN_LEVELS + ARENAS, names.size());
    std::vector<std::pair<std::string, Inputs>> runs;
    for (const std::string& name : names)
    {
        SCOPED_TRACE(name);
        test::LevelWorld world(false, {"Codec_STBI"});
        levels::LevelPlay play(world.level(), world.simulator());
        const bool campaign = std::find(singlePlayer.begin(), singlePlayer.end(), name) != singlePlayer.end();
        {
            test::LogCapture log;
            ASSERT_TRUE(play.start(name, campaign));
            EXPECT_EQ(std::vector<std::string>(), log.errors());
        }
        EXPECT_TRUE(world.level().hasLightMap() && world.level().hasSoundMap());
        // What the editor warns of when saving: everything that moves stays within the blocks'
        // box, and there are not too many of them.
        Ogre::AxisAlignedBox walls;
        for (const game::LevelPoint& point : world.level().getPoints())
            if (point.type == game::LevelPoint::TYPE_BLOCK)
                walls.merge(point.getPosition());
        unsigned lamps = 0;
        unsigned dynamic = 0;
        for (const game::LevelPoint& point : world.level().getPoints())
        {
            lamps += point.name == "lamp" || point.name == "flickerlamp";
            const game::Entity* prototype = play.entities().getPrototype(point.name);
            if (point.type == game::LevelPoint::TYPE_ENTITY &&
                (prototype->getFlags() & game::Entity::ATTRIBUTE_STATIC) != 0)
                continue;
            dynamic += point.type == game::LevelPoint::TYPE_ENTITY;
            for (const Ogre::Vector3& position : point.positions)
                EXPECT_TRUE(walls.contains(position)) << point.name << " at " << position;
        }
        EXPECT_GE(lamps, 4u);
        EXPECT_LE(dynamic, MAX_DYNAMIC_ENTITIES);
        if (!campaign)
            continue;
        // A hint greets the player where it starts.
        const Ogre::Vector3 start = world.level().getSinglePlayerStart();
        EXPECT_TRUE(std::any_of(world.level().getPoints().begin(), world.level().getPoints().end(),
                                [&](const game::LevelPoint& point)
                                {
                                    return point.isSpecial(game::LevelPoint::HINT) &&
                                           point.getPosition().distance(start) <= game::Level::TRIGGER_RANGE;
                                }));
        // A and D walk without turning: a hint that gives them to a "Keyboard" player also
        // names the arrow keys, which turn him.
        const game::KeyboardController keys(0);
        for (const game::LevelPoint& point : world.level().getPoints())
        {
            std::string text, subText;
            if (point.isSpecial(game::LevelPoint::HINT) &&
                game::Player::splitHint(point.value, &keys, text, subText) &&
                subText.find("A and D") != std::string::npos)
            {
                EXPECT_NE(subText.find("arrow keys"), std::string::npos) << subText;
            }
        }

        // A player sent back to the start or a checkpoint with no rounds left finds ammunition
        // that comes back before the next enemy (the campaign runs left to right).
        std::vector<game::Entity*> found;
        play.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "");
        std::multimap<float, std::string> route = {{start.x, "restart"}};
        for (const game::Entity* entity : found)
        {
            const auto* package = dynamic_cast<const game::Package*>(entity);
            const float x = entity->getPosition().x;
            if (package && package->getName() == "checkpoint")
                route.insert({x, "restart"});
            else if (package && !package->isRandom() && package->getRounds() > 0.0f &&
                     package->getSpawnDelay() > 0.0f)
                route.insert({x, "ammunition"});
            else if (entity != play.human() &&
                     std::count(std::begin(ENEMIES), std::end(ENEMIES), entity->getType()))
                route.insert({x, "enemy"});
        }
        float restart = NAN;
        for (const auto& [x, kind] : route)
        {
            EXPECT_TRUE(kind != "enemy" || std::isnan(restart))
                << "no ammunition that comes back from " << restart << " to the enemy at " << x;
            restart = kind == "restart" ? x : NAN;
        }

        // The recorded run gives only what a keyboard gives: whole steps of the walk (the aim
        // may be the mouse's).
        levels::InputScript script;
        std::string error;
        ASSERT_TRUE(script.load(test::sourcePath(SCRIPT_FOLDER + name + ".txt"), error)) << error;
        for (const game::Controller::TInput& input : script.inputs)
            ASSERT_TRUE(input.move == 0.0f || input.move == 1.0f || input.move == -1.0f) << input.move;
        runs.push_back({name, script.inputs});
    }

    // Replayed tick by tick, the run reaches the exit with a score; and so it does with a
    // person's timing: all jumps, or all walk starts, 3 ticks early or late, and each press moved
    // on its own by up to 3 ticks either way (the same draws on every run).
    for (const auto& run : runs)
    {
        std::mt19937 random(SHIFT_SEED);
        const Shift jitter = [&] { return static_cast<int>(random() % (2 * MAX_SHIFT + 1)) - MAX_SHIFT; };
        const auto by = [](int ticks) { return [ticks] { return ticks; }; };
        std::vector<std::pair<std::string, Inputs>> variants = {
            {"as recorded", run.second},
            {"jumps 3 ticks early", shiftJumps(run.second, by(-MAX_SHIFT))},
            {"jumps 3 ticks late", shiftJumps(run.second, by(MAX_SHIFT))},
            {"walks 3 ticks early", shiftWalkStarts(run.second, by(-MAX_SHIFT))},
            {"walks 3 ticks late", shiftWalkStarts(run.second, by(MAX_SHIFT))}};
        for (unsigned trial = 1; trial <= SHIFT_TRIALS; ++trial)
            variants.push_back({"presses shifted apart, trial " + std::to_string(trial),
                                shiftWalkStarts(shiftJumps(run.second, jitter), jitter)});
        for (const auto& variant : variants)
        {
            SCOPED_TRACE(run.first + ", " + variant.first);
            test::LevelWorld world(false, {"Codec_STBI"});
            levels::LevelPlay play(world.level(), world.simulator());
            ASSERT_TRUE(play.start(run.first));
            for (const game::Controller::TInput& input : variant.second)
            {
                if (play.isComplete())
                    break;
                play.tick(input);
            }
            const game::Human* human = play.human();
            EXPECT_TRUE(play.isComplete())
                << "the run ended after " << play.getTime() << " s short of the exit, the human "
                << (human ? "at " + Ogre::StringConverter::toString(human->getPosition())
                          : std::string("dead"));
            EXPECT_GT(play.player().getScore(), 0u);
            std::printf("%s \"%s\", %s: completed in %.2f s (target %.0f s), score %u\n", run.first.c_str(),
                        world.level().getTitle().c_str(), variant.first.c_str(), play.getTime(),
                        world.level().getTargetTime(), play.player().getScore());
        }
    }
}

// A player sent back to the start or a checkpoint who stands still there lives the first
// seconds of each new life: no enemy's round brings it within reach of where he comes back. He
// is sent back again and again (by a blow that kills outright) while the enemies walk on.
TEST(Campaign, APlayerSentBackLivesHisFirstSecondsThere)
{
    std::vector<std::string> singlePlayer;
    {
        test::LevelWorld world;
        world.level().updateLevelCache();
        singlePlayer = levelNames(*world.level().getLevelCache(), LevelCache::FLAG_SINGLE_PLAYER,
                                  LevelCache::FLAG_SINGLE_PLAYER);
    }
    ASSERT_EQ(CAMPAIGN_LEVELS, singlePlayer.size());
    for (const std::string& name : singlePlayer)
    {
        std::vector<Ogre::Vector3> restarts;
        {
            test::LevelWorld world;
            world.level().updateLevelCache();
            ASSERT_TRUE(world.level().load(name, false)) << name;
            restarts.push_back(world.level().getSinglePlayerStart());
            for (const game::LevelPoint& point : world.level().getPoints())
                if (point.isSpecial("checkpoint"))
                    restarts.push_back(point.getPosition());
        }
        for (const Ogre::Vector3& restart : restarts)
        {
            SCOPED_TRACE(name + " from " + Ogre::StringConverter::toString(restart));
            test::LevelWorld world(false, {"Codec_STBI"});
            levels::LevelPlay play(world.level(), world.simulator());
            ASSERT_TRUE(play.start(name));
            if (restart != world.level().getSinglePlayerStart())
            {
                // Put down on the checkpoint, he takes it.
                play.human()->respawn(restart, true);
                for (unsigned tick = 0; tick < CHECKPOINT_TICKS && play.players().getCheckpoint() != restart;
                     ++tick)
                    play.tick(game::Controller::TInput());
                ASSERT_EQ(restart, play.players().getCheckpoint());
            }
            for (unsigned life = 0; life < SENT_BACK; ++life)
            {
                for (unsigned tick = 0; tick < RESPAWN_TICKS && !play.human(); ++tick)
                    play.tick(game::Controller::TInput());
                ASSERT_NE(nullptr, play.human()) << "not back after life " << life;
                for (unsigned tick = 0; tick < FIRST_SECONDS_TICKS; ++tick)
                {
                    play.tick(game::Controller::TInput());
                    ASSERT_NE(nullptr, play.human())
                        << "shot on tick " << tick + 1 << " of life " << life << " (" << FIRST_SECONDS_TICKS
                        << " wanted), at " << std::to_string(play.getTime()) << " s";
                }
                game::Human& human = *play.human();
                human.damage(KILLING_BLOW, human.getPosition(), Ogre::Vector3::ZERO, 0);
            }
        }
    }
}

TEST(Campaign, ScriptsReadBackTheExactInputsAndRejectBrokenLines)
{
    test::TempDir folder;
    levels::InputScript written;
    game::Controller::TInput input;
    input.move = 0.3f;
    input.aimX = 0.70710677f;
    input.aimY = -0.1f / 3.0f;
    input.buttons = game::Controller::BUTTON_SHOOT | game::Controller::BUTTON_CROUCH;
    written.inputs.assign(3, input);
    written.inputs.push_back(game::Controller::TInput());
    ASSERT_TRUE(written.save(folder.file("run.txt"), {"a run"}));
    // Equal ticks share a line.
    EXPECT_EQ("# a run\n3 0.300000012 0.707106769 -0.0333333351 17\n1 0 0 0 0\n",
              test::readFile(folder.file("run.txt")));
    levels::InputScript read;
    std::string error;
    ASSERT_TRUE(read.load(folder.file("run.txt"), error)) << error;
    ASSERT_EQ(4u, read.inputs.size());
    EXPECT_EQ(input.aimX, read.inputs[2].aimX);
    EXPECT_EQ(input.aimY, read.inputs[2].aimY);
    EXPECT_EQ(17u, read.inputs[2].buttons);

    for (const char* broken : {"3 1 0 0\n", "0 1 0 0 0\n", "2 1 0 0 0 9\n", "x 1 0 0 0\n"})
    {
        test::writeFile(folder.file("broken.txt"), std::string("# fine\n1 0 0 0 0\n") + broken);
        EXPECT_FALSE(read.load(folder.file("broken.txt"), error)) << broken;
        EXPECT_EQ(folder.file("broken.txt") + ":3: expected COUNT MOVE AIMX AIMY BUTTONS", error);
        EXPECT_TRUE(read.inputs.empty());
    }
    EXPECT_FALSE(read.load(folder.file("missing.txt"), error));
}
} // namespace
