#pragma once
#include <fstream>
#include <string>

namespace brix
{
class Mutex;

// The one developer log: levelled, time-stamped lines in a single text file. A line is the
// tag (E, I, D, or X for the log's own lines), a blank, the local time as
// "YYYY-MM-DD hh:mm:ss.mmm", a blank and the text. Any thread may log; lines never
// interleave. open and close belong to the main thread.
class Log
{
public:
    // Any int is a level (the configuration allows up to 7): a message is written when the
    // level is at least its kind's.
    enum Level : int
    {
        NONE = 0,
        ERROR = 1,
        INFO = 2,
        DEBUG = 3
    };

    // Formatted messages are cut to this many bytes, terminator included.
    static const int MESSAGE_BUFFER_SIZE = 1024;

    // Opening resets the level to DEBUG: set the wanted level afterwards. A log that is open is
    // closed first, even when the new file does not open.
    static bool open(const char* path, bool append);
    static void close();
    // The file of the last open, whether it opened or not; kept after close.
    static const std::string& getPath() { return m_LogPath; }
    static void setLevel(Level level);
    static Level getLevel() { return m_LogLevel; }
    static bool isOpen() { return m_LogStream != nullptr; }

    static void error(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void info(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // The text is written whole and unformatted.
    static void error(const std::string& text);
    static void info(const std::string& text);
    static void debug(const std::string& text);

private:
    Log() = delete;
    static void write(char tag, const char* text);

    static Level m_LogLevel;
    static Mutex* m_LogMutex;
    static std::ofstream* m_LogStream;
    static std::string m_LogPath;
};
} // namespace brix
