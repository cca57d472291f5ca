#pragma once
#include "toolkit/log.h"

#include <string>

namespace brix
{
// Keeps a line that strangers can provoke at will (a flood of datagrams, requests or chat)
// from filling the log: the first occurrence after a quiet interval is logged by the caller,
// the others are only counted, and report() writes the count as one line, "<count> more
// <summary>", once the interval since the last line is over. Main thread only: one owner
// asks and reports. A throttle stands for one line: two lines sharing one would spend each
// other's allowance, and its count would name neither.
class LogThrottle
{
public:
    // The shortest time between two lines, in ms.
    static constexpr unsigned int DEFAULT_INTERVAL = 1000;

    // level is that of the count line, which should be that of the lines it stands for.
    LogThrottle(Log::Level level, const std::string& summary, unsigned int interval = DEFAULT_INTERVAL);

    // True when the caller is to log this occurrence; otherwise it is counted.
    bool allow();
    // Writes the count when one is held and a line is due; call it once per update.
    void report();
    // Occurrences counted and not reported yet.
    unsigned int getPending() const { return mPending; }

private:
    bool isLineDue(unsigned int now) const;

    Log::Level mLevel;
    std::string mSummary;
    unsigned int mInterval;
    unsigned int mPending = 0;
    unsigned int mLineTime = 0;
    bool mLogged = false;
};
} // namespace brix
