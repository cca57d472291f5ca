#pragma once
#include "toolkit/logthrottle.h"

#include <string>
#include <vector>

namespace game
{
// What one screen shows of players coming and going: the lines about a new player in a seat
// (his connection, his entries and leavings, his disconnection) are shown for BURST new
// players at once, then for one more each interval, the time the screen holds a line; the
// lines of the others are withheld and counted in the log. So strangers going round the match
// never keep the screen from its players' chat and kills. A screen that lets a line go at once
// (an interval of 0) shows every new player's lines. Main thread only.
class NewcomerLines
{
public:
    // New players whose lines are shown at once.
    static constexpr unsigned int BURST = 2;

    NewcomerLines();

    // Every seat is news again, the whole burst may be shown, and one more new player each
    // interval (ms) after it.
    void reset(unsigned int interval);
    // True when the line is to be shown. A new player of the seat of that player index (his
    // visit, PlayerManager::getSeatVisit) takes one of the new players that may be shown, or
    // has his lines withheld while he stays; a line withheld is logged about once a second.
    bool allow(unsigned int index, unsigned int visit, const std::string& text);
    // Writes the count of the lines withheld and not logged; call it once per tick.
    void report();

private:
    // Per seat: the visit whose lines are shown, and the last one whose lines are withheld.
    struct Seat
    {
        unsigned int shown = 0;
        unsigned int withheld = 0;
    };

    std::vector<Seat> mSeats;
    unsigned int mInterval = 0;
    // New players that may still be shown, and when the last one was given back.
    unsigned int mAllowance = BURST;
    unsigned int mSince = 0;
    brix::LogThrottle mWithheldLines;
};
} // namespace game
