#include "game/multiplayer/newcomerlines.h"
#include "game/multiplayer/playermanager.h"
#include "toolkit/log.h"
#include "toolkit/thread.h"

#include <algorithm>

namespace game
{
NewcomerLines::NewcomerLines()
    : mSeats(PlayerManager::MAX_PLAYERS),
      mWithheldLines(brix::Log::INFO, "lines of players coming and going withheld")
{
}

void NewcomerLines::reset(unsigned int interval)
{
    mSeats.assign(PlayerManager::MAX_PLAYERS, Seat());
    mInterval = interval;
    mAllowance = BURST;
    mSince = brix::Thread::timer();
}

bool NewcomerLines::allow(unsigned int index, unsigned int visit, const std::string& text)
{
    if (index < 1 || index > mSeats.size())
        return false;
    if (mInterval == 0)
        return true;
    Seat& seat = mSeats[index - 1];
    // A visit whose first line was withheld keeps the rest withheld too, however long it stays.
    if (visit != seat.shown && visit != seat.withheld)
    {
        const unsigned int now = brix::Thread::timer();
        if (mAllowance == BURST)
            mSince = now;
        else if (now - mSince >= mInterval)
        {
            const unsigned int regained = (now - mSince) / mInterval;
            mAllowance = std::min(BURST, mAllowance + regained);
            mSince += regained * mInterval;
        }
        if (mAllowance > 0)
        {
            --mAllowance;
            seat.shown = visit;
        }
        else
            seat.withheld = visit;
    }
    if (visit == seat.shown)
        return true;
    if (mWithheldLines.allow())
        brix::Log::info("Line withheld: %s", text.c_str());
    return false;
}

void NewcomerLines::report()
{
    mWithheldLines.report();
}
} // namespace game
