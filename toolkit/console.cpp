#include "toolkit/console.h"
#include "toolkit/log.h"

namespace brix
{
Console::Console(int maximumOutputLines)
    : mMaximumOutputLines(maximumOutputLines), mOutputModCount(0), mCommandLineModCount(0)
{
    addCommand("set", "Set value of console variable (set <variable> <value>)", 2, 2, this);
    addCommand("get", "Get value of console variable (get <variable>)", 1, 1, this);
}

Console::~Console() {}

void Console::addCommand(const std::string& name, const std::string& description, int minimumParameters,
                         int maximumParameters, ConsoleCommand* handler)
{
    if (!handler)
    {
        Log::error("Console::addCommand: no handler for '%s'", name.c_str());
        return;
    }
    mCommands.insert({name, TCommand{name, description, minimumParameters, maximumParameters, handler}});
}

void Console::removeCommand(const std::string& name)
{
    mCommands.erase(name);
}

void Console::addVariable(const std::string& name, const std::string& description, VariableType type,
                          float minimum, float maximum, void* storage)
{
    if (!storage)
    {
        Log::error("Console::addVariable: no storage for '%s'", name.c_str());
        return;
    }
    mVariables.insert({name, TVariable{name, description, type, minimum, maximum, storage}});
}

void Console::removeVariable(const std::string& name)
{
    mVariables.erase(name);
}

bool Console::putChar(char c)
{
    if (c == KEY_ENTER)
    {
        if (mCommandLine.empty())
            return true;
        // Taken out first: a command may print, and the line is consumed either way.
        std::string line;
        line.swap(mCommandLine);
        print(line);
        parseAndExecute(line);
        ++mCommandLineModCount;
    }
    else if (c == KEY_ERASE)
    {
        if (!mCommandLine.empty())
        {
            mCommandLine.pop_back();
            ++mCommandLineModCount;
        }
    }
    else if ((unsigned char)c >= 32 && (unsigned char)c <= 127)
    {
        mCommandLine += c;
        ++mCommandLineModCount;
    }
    return true;
}

bool Console::split(const std::string& line, std::vector<std::string>& words)
{
    size_t i = 0;
    while (i < line.size())
    {
        char c = line[i];
        if (c == ' ' || c == '\t')
        {
            ++i;
            continue;
        }
        size_t end;
        std::string word;
        if (c == '"')
        {
            end = line.find('"', i + 1);
            if (end == std::string::npos)
                return false;
            word = line.substr(i + 1, end - i - 1);
            ++end;
        }
        else
        {
            end = line.find_first_of(" \t", i);
            if (end == std::string::npos)
                end = line.size();
            word = line.substr(i, end - i);
        }
        if (!word.empty())
            words.push_back(word);
        i = end;
    }
    return true;
}

bool Console::parseAndExecute(const std::string& line)
{
    std::vector<std::string> words;
    if (!split(line, words))
    {
        print("Error: Unterminated quotation");
        return false;
    }
    if (words.empty())
    {
        print("Error: Unable to parse command");
        return false;
    }
    auto command = mCommands.find(words[0]);
    if (command == mCommands.end())
    {
        print("Error: Unknown command: '" + words[0] + "'");
        return false;
    }
    int parameters = int(words.size()) - 1;
    if (parameters < command->second.minimumParameters)
    {
        print("Error: Too few parameters for command");
        return false;
    }
    if (parameters > command->second.maximumParameters)
    {
        print("Error: Too many parameters for command");
        return false;
    }
    return command->second.handler->execute(words);
}

bool Console::execute(const std::vector<std::string>& words)
{
    if (words.size() < 2)
        return false;
    auto variable = mVariables.find(words[1]);
    if (variable == mVariables.end())
    {
        print("Error: Variable not found");
        return false;
    }
    bool set = words[0] == "set" && words.size() >= 3;
    if (!set && words[0] != "get")
        return false;
    if (variable->second.type != VT_STRING)
    {
        print("Error: Unexpected variable type");
        return false;
    }
    std::string& value = *static_cast<std::string*>(variable->second.storage);
    if (set)
        value = words[2];
    else
        print(words[1] + " = '" + value + "'");
    return true;
}

void Console::print(const std::string& text)
{
    mOutput.push_back(text);
    while (!mOutput.empty() && int(mOutput.size()) > mMaximumOutputLines)
        mOutput.erase(mOutput.begin());
    ++mOutputModCount;
}

void Console::getOutput(std::vector<std::string>& out, int count, int skip) const
{
    out.clear();
    int lines = int(mOutput.size());
    if (skip < 0 || skip >= lines || count <= 0)
        return;
    for (int i = lines - 1 - skip; i >= 0 && int(out.size()) < count; --i)
        out.push_back(mOutput[i]);
}
} // namespace brix
