#include "inputscript.h"

#include "toolkit/temporaryfile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace levels
{
namespace
{
// More ticks than any run lasts: a count beyond it is a broken file.
const unsigned long MAX_RUN = 1000000;

bool sameInput(const game::Controller::TInput& a, const game::Controller::TInput& b)
{
    return a.move == b.move && a.aimX == b.aimX && a.aimY == b.aimY && a.buttons == b.buttons;
}
} // namespace

bool InputScript::load(const std::string& path, std::string& error)
{
    inputs.clear();
    std::ifstream file(path);
    if (!file)
    {
        error = "Cannot open '" + path + "'";
        return false;
    }
    std::string line;
    for (unsigned number = 1; std::getline(file, line); ++number)
    {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        unsigned long count = 0;
        game::Controller::TInput input;
        std::string rest;
        if (!(fields >> count >> input.move >> input.aimX >> input.aimY >> input.buttons) ||
            (fields >> rest) || count == 0 || count > MAX_RUN)
        {
            error = path + ":" + std::to_string(number) + ": expected COUNT MOVE AIMX AIMY BUTTONS";
            inputs.clear();
            return false;
        }
        inputs.insert(inputs.end(), count, input);
    }
    return true;
}

bool InputScript::save(const std::string& path, const std::vector<std::string>& comments) const
{
    std::ostringstream text;
    for (const std::string& comment : comments)
        text << "# " << comment << "\n";
    for (size_t first = 0; first < inputs.size();)
    {
        size_t end = first + 1;
        while (end < inputs.size() && sameInput(inputs[end], inputs[first]))
            ++end;
        const game::Controller::TInput& input = inputs[first];
        char run[128];
        std::snprintf(run, sizeof(run), "%zu %.9g %.9g %.9g %u\n", end - first, input.move, input.aimX,
                      input.aimY, input.buttons);
        text << run;
        first = end;
    }
    const std::string bytes = text.str();
    brix::TemporaryFile file(path);
    return file.write(bytes.data(), bytes.size()) && file.commit();
}
} // namespace levels
