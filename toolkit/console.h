#pragma once
#include "toolkit/consolecommand.h"

#include <map>
#include <string>
#include <vector>

namespace brix
{
// A text console model: typed characters build a command line, an entered line is split
// into words and dispatched to a registered command, and output lines are kept up to a
// maximum for a display to show. "set" and "get" work on registered string variables.
// Commands and variable storage are not owned and must outlive their registration.
class Console : public ConsoleCommand
{
public:
    enum VariableType
    {
        VT_BOOL = 0,
        VT_INT = 1,
        VT_UINT = 2,
        VT_FLOAT = 3,
        VT_STRING = 4 // storage is a std::string; the only type "set" and "get" handle
    };

    // Carriage return enters the line; line feed erases the last character.
    static const char KEY_ENTER = 13;
    static const char KEY_ERASE = 10;

    explicit Console(int maximumOutputLines);
    ~Console() override;

    // A name already registered keeps its first record. A null handler is not registered.
    void addCommand(const std::string& name, const std::string& description, int minimumParameters,
                    int maximumParameters, ConsoleCommand* handler);
    void removeCommand(const std::string& name);
    // A name already registered keeps its first record. Null storage is not registered.
    void addVariable(const std::string& name, const std::string& description, VariableType type,
                     float minimum, float maximum, void* storage);
    void removeVariable(const std::string& name);

    // Always true: characters outside 32..127 other than enter and erase are ignored.
    bool putChar(char c);
    // Prints an error line and returns false when the line cannot be dispatched.
    bool parseAndExecute(const std::string& line);
    void print(const std::string& text);

    // The "set" and "get" commands.
    bool execute(const std::vector<std::string>& words) override;

    const std::string& getCommandLine() const { return mCommandLine; }
    // Up to count lines, newest first, starting skip lines back from the newest.
    void getOutput(std::vector<std::string>& out, int count, int skip) const;
    int getOutputLenght() const { return int(mOutput.size()); }
    unsigned getOutputModCount() const { return mOutputModCount; }
    unsigned getCommandLineModCount() const { return mCommandLineModCount; }

private:
    struct TCommand
    {
        std::string name;
        std::string description;
        int minimumParameters;
        int maximumParameters;
        ConsoleCommand* handler;
    };
    struct TVariable
    {
        std::string name;
        std::string description;
        VariableType type;
        float minimum;
        float maximum;
        void* storage;
    };

    // False when a quotation is not closed.
    static bool split(const std::string& line, std::vector<std::string>& words);

    std::string mCommandLine;
    std::vector<std::string> mOutput;
    int mMaximumOutputLines;
    std::map<std::string, TVariable> mVariables;
    std::map<std::string, TCommand> mCommands;
    unsigned mOutputModCount;
    unsigned mCommandLineModCount;
};
} // namespace brix
