#pragma once
#include <string>
#include <vector>

namespace brix
{
// A command of the text console. The words include the command name as the first word.
class ConsoleCommand
{
public:
    virtual bool execute(const std::vector<std::string>& words) = 0;
    virtual ~ConsoleCommand() {}
};
} // namespace brix
