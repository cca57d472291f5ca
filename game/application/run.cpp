// The game module's one export: the launcher loads the module and calls run with its command
// line, and exits with the result.

#include "game/application/application.h"

extern "C" __attribute__((visibility("default"))) int run(int argc, const char** argv)
{
    return game::Application::runGuarded([]() { return std::make_unique<game::Application>(); }, argc, argv);
}
