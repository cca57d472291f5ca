// Writes the built-in levels into the folder "levels": the single-player campaign and the
// arenas of tools/level/campaign.cpp. Run from the source tree's root after changing a layout,
// then bake their maps with korvane-maps and record the campaign's runs with
// korvane-levelrecord:
//
//   build/bin/korvane-levelgen [ROOT]
//
// With ROOT, the files go to ROOT/levels instead (the tests compare them with the committed
// ones).
#include "gamedata.h"
#include "levelplan.h"

#include "game/level/level.h"
#include "toolkit/xmlelement.h"

#include <cstdio>

namespace
{
bool write(game::Level& level, const levels::TBuiltinLevel& definition)
{
    levels::LevelPlan plan;
    levels::makeBuiltinPlan(definition.name, plan);
    if (!plan.layout().save(level, definition.name))
        return false;
    // The shipped files say they are built in, and their recorded checksums include it; the
    // game itself tells a built-in level by the folder it ships in.
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
    for (const levels::TBuiltinLevel& definition : levels::getBuiltinLevels())
        if (!write(level, definition))
        {
            std::fprintf(stderr, "Writing level '%s' failed\n", definition.name);
            return 1;
        }
    return 0;
}
