#pragma once
#include "game/level/levelpoint.h"

#include <vector>

namespace game
{
// The last states of the edited level for undo and redo: a ring of whole copies of the
// level's point list. The editor pushes one after every change; a push after some undos drops
// the states that redo would have reached. When the ring is full the oldest state is lost.
class LevelHistory
{
public:
    typedef std::vector<LevelPoint> PointList;

    // The editor's history length.
    static constexpr unsigned SLOT_COUNT = 16;

    explicit LevelHistory(unsigned slotCount = SLOT_COUNT);

    void clear();
    // Keeps a copy as the newest state, which becomes the current one.
    void push(const PointList& points);
    // Step back or forward and copy that state out; false, with the list untouched, when there
    // is nowhere to go.
    bool undo(PointList& points);
    bool redo(PointList& points);
    // Sets the number of slots and empties them.
    void resize(unsigned slotCount);

    unsigned getCount() const { return mCount; }

private:
    unsigned wrap(unsigned index) const { return index % static_cast<unsigned>(mSlots.size()); }

    std::vector<PointList> mSlots;
    unsigned mHead = 0;
    unsigned mCount = 0;
    unsigned mCurrent = 0;
};
} // namespace game
