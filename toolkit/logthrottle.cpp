#include "toolkit/logthrottle.h"
#include "toolkit/thread.h"

namespace brix
{
LogThrottle::LogThrottle(Log::Level level, const std::string& summary, unsigned int interval)
    : mLevel(level), mSummary(summary), mInterval(interval)
{
}

bool LogThrottle::isLineDue(unsigned int now) const
{
    return !mLogged || now - mLineTime >= mInterval;
}

bool LogThrottle::allow()
{
    const unsigned int now = Thread::timer();
    if (mPending == 0 && isLineDue(now))
    {
        mLogged = true;
        mLineTime = now;
        return true;
    }
    ++mPending;
    return false;
}

void LogThrottle::report()
{
    const unsigned int now = Thread::timer();
    if (mPending == 0 || !isLineDue(now))
        return;
    const std::string line = std::to_string(mPending) + " more " + mSummary;
    switch (mLevel)
    {
    case Log::ERROR:
        Log::error(line);
        break;
    case Log::INFO:
        Log::info(line);
        break;
    default:
        Log::debug(line);
        break;
    }
    mPending = 0;
    mLogged = true;
    mLineTime = now;
}
} // namespace brix
