#include "toolkit/log.h"
#include "toolkit/mutex.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace brix
{
Log::Level Log::m_LogLevel = Log::DEBUG;
Mutex* Log::m_LogMutex = nullptr;
std::ofstream* Log::m_LogStream = nullptr;
std::string Log::m_LogPath;

bool Log::open(const char* path, bool append)
{
    close();
    if (!m_LogMutex)
        m_LogMutex = new Mutex();
    m_LogPath = path ? path : "";
    std::ofstream* stream =
        new std::ofstream(path, append ? std::ios::out | std::ios::app : std::ios::out | std::ios::trunc);
    if (!stream->is_open())
    {
        delete stream;
        return false;
    }
    m_LogStream = stream;
    m_LogLevel = DEBUG;
    write('X', "Log opened");
    return true;
}

void Log::close()
{
    if (m_LogStream)
    {
        write('X', "Log closed");
        m_LogStream->close();
        delete m_LogStream;
        m_LogStream = nullptr;
    }
    delete m_LogMutex;
    m_LogMutex = nullptr;
}

void Log::setLevel(Level level)
{
    static const char* const NAMES[] = {"NONE", "ERROR", "INFO", "DEBUG"};
    m_LogLevel = level;
    if (level < NONE || level > DEBUG)
        return;
    std::string line = std::string("Log level set to ") + NAMES[level];
    write('X', line.c_str());
}

void Log::write(char tag, const char* text)
{
    std::ofstream* stream = m_LogStream;
    if (!stream)
        return;

    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(now.tv_nsec / 1000000));

    m_LogMutex->lock();
    *stream << tag << ' ' << stamp << ' ' << text << '\n';
    stream->flush();
    m_LogMutex->unlock();
}

// The formatted variants share this body; the level test comes first so that dropped
// messages are never formatted.
#define BRIX_LOG_FORMATTED(tag, level)                                                                       \
    if (!m_LogStream || m_LogLevel < level)                                                                  \
        return;                                                                                              \
    char buffer[MESSAGE_BUFFER_SIZE];                                                                        \
    va_list args;                                                                                            \
    va_start(args, format);                                                                                  \
    std::vsnprintf(buffer, sizeof(buffer), format, args);                                                    \
    va_end(args);                                                                                            \
    buffer[MESSAGE_BUFFER_SIZE - 1] = '\0';                                                                  \
    write(tag, buffer);

void Log::error(const char* format, ...)
{
    BRIX_LOG_FORMATTED('E', ERROR)
}

void Log::info(const char* format, ...)
{
    BRIX_LOG_FORMATTED('I', INFO)
}

void Log::debug(const char* format, ...)
{
    BRIX_LOG_FORMATTED('D', DEBUG)
}

#undef BRIX_LOG_FORMATTED

void Log::error(const std::string& text)
{
    if (m_LogStream && m_LogLevel >= ERROR)
        write('E', text.c_str());
}

void Log::info(const std::string& text)
{
    if (m_LogStream && m_LogLevel >= INFO)
        write('I', text.c_str());
}

void Log::debug(const std::string& text)
{
    if (m_LogStream && m_LogLevel >= DEBUG)
        write('D', text.c_str());
}
} // namespace brix
