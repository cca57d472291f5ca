// Records how the campaign is played: for each single-player level an autopilot follows the
// route of the level's plan (tools/level/campaign.cpp) through a headless game from "spstart"
// to "exit", and the input it gave, tick by tick, becomes the level's script for the
// playthrough test. Run from the source tree's root after changing a level or what its
// entities do:
//
//   build/bin/korvane-levelrecord [--out DIR] [--log FILE] [LEVEL...]
//
// DIR receives LEVEL.txt (default tests/data/playthrough); without LEVEL every single-player
// level is recorded. A script is written only for a run that completes the level; exits with 1
// when one does not.
#include "autopilot.h"
#include "gamedata.h"
#include "inputscript.h"
#include "levelplan.h"
#include "levelplay.h"

#include "game/level/level.h"
#include "game/multiplayer/player.h"
#include "game/world/human.h"

#include <OgreException.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
const char* const USAGE = "usage: %s [--out DIR] [--log FILE] [LEVEL...]\n";
const char* const SCRIPT_FOLDER = "tests/data/playthrough";
// Five minutes of play, more than any level's target time.
const unsigned MAX_TICKS = 12000;
// After the exit the run walks on for this long the way it went: a person's slower run still
// has the input that takes it there.
const unsigned TAIL_TICKS = 40;

// Plays the level with the autopilot; true when it was completed, with the inputs in script.
bool record(const std::string& name, const std::string& user, levels::InputScript& script,
            std::string& summary)
{
    levels::LevelPlan plan;
    if (!levels::makeBuiltinPlan(name, plan))
    {
        summary = "no such built-in level";
        return false;
    }
    levels::HeadlessGame game(user, user + "/ogre.log");
    game::Level level(nullptr, &game.simulator(), user);
    level.initialize(nullptr);
    levels::LevelPlay play(level, game.simulator());
    if (!play.start(name))
    {
        summary = "does not start (see the log)";
        return false;
    }
    levels::Autopilot pilot(plan.route());
    size_t lastStep = 0;
    for (unsigned tick = 0; tick < MAX_TICKS && !play.isComplete(); ++tick)
    {
        game::Controller::TInput input;
        if (const game::Human* human = play.human())
        {
            pilot.next(*human, play.entities(), input);
            if (pilot.getStep() != lastStep)
            {
                lastStep = pilot.getStep();
                std::printf("  %s: step %zu at %.1f s, (%.2f, %.2f), health %.2f, %u kills\n", name.c_str(),
                            lastStep, play.getTime(), human->getPosition().x, human->getPosition().y,
                            human->getHealth(), play.player().getKills());
            }
        }
        script.inputs.push_back(input);
        play.tick(input);
    }
    if (play.isComplete() && !script.inputs.empty())
    {
        game::Controller::TInput tail = script.inputs.back();
        tail.move = tail.aimX < 0.0f ? -1.0f : 1.0f;
        tail.buttons = 0;
        script.inputs.insert(script.inputs.end(), TAIL_TICKS, tail);
    }
    char text[160];
    if (!play.isComplete())
    {
        const game::Human* human = play.human();
        std::snprintf(text, sizeof(text), "not completed: step %zu of %zu, human %s (%.2f, %.2f)",
                      pilot.getStep(), plan.route().size(), human ? "at" : "dead near",
                      human ? human->getPosition().x : 0.0f, human ? human->getPosition().y : 0.0f);
        summary = text;
        return false;
    }
    std::snprintf(text, sizeof(text), "completed in %.2f s, score %u, %u kills, %u vials", play.getTime(),
                  play.player().getScore(), play.player().getKills(), play.player().getVials());
    summary = text;
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    std::string out = SCRIPT_FOLDER;
    std::string log;
    std::vector<std::string> names;
    for (int index = 1; index < argc; ++index)
    {
        const std::string argument = argv[index];
        if (argument == "--out" && index + 1 < argc)
            out = argv[++index];
        else if (argument == "--log" && index + 1 < argc)
            log = argv[++index];
        else if (argument.compare(0, 2, "--") != 0)
            names.push_back(argument);
        else
        {
            std::fprintf(stderr, USAGE, argv[0]);
            return 2;
        }
    }
    if (names.empty())
        for (const levels::TBuiltinLevel& level : levels::getBuiltinLevels())
            if (level.targetTime > 0.0f)
                names.push_back(level.name);
    std::string user;
    if (!levels::prepareUserFolder(user, "korvane-levelrecord", log))
        return 1;

    int result = 0;
    for (const std::string& name : names)
    {
        levels::InputScript script;
        std::string summary;
        bool completed = false;
        try
        {
            completed = record(name, user, script, summary);
        }
        catch (const Ogre::Exception& exception)
        {
            summary = exception.getFullDescription();
        }
        std::printf("%s: %s\n", name.c_str(), summary.c_str());
        if (!completed)
        {
            result = 1;
            continue;
        }
        const std::string path = out + "/" + name + ".txt";
        if (!script.save(path,
                         {"Input of a run through " + name + ", one line per run of equal ticks:",
                          "TICKS MOVE AIMX AIMY BUTTONS. Made by korvane-levelrecord: " + summary + "."}))
        {
            std::fprintf(stderr, "Writing %s failed\n", path.c_str());
            result = 1;
        }
    }
    return result;
}
