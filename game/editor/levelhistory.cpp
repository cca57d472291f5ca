#include "game/editor/levelhistory.h"

namespace game
{
LevelHistory::LevelHistory(unsigned slotCount)
{
    resize(slotCount);
}

void LevelHistory::resize(unsigned slotCount)
{
    mSlots.assign(slotCount > 0 ? slotCount : 1, PointList());
    mHead = mCount = mCurrent = 0;
}

void LevelHistory::clear()
{
    for (PointList& slot : mSlots)
        slot.clear();
    mHead = mCount = mCurrent = 0;
}

void LevelHistory::push(const PointList& points)
{
    const unsigned size = static_cast<unsigned>(mSlots.size());
    mCount -= wrap(mHead + size - mCurrent);
    mHead = wrap(mCurrent + 1);
    mSlots[mHead] = points;
    if (mCount < size)
        ++mCount;
    mCurrent = mHead;
}

bool LevelHistory::undo(PointList& points)
{
    const unsigned size = static_cast<unsigned>(mSlots.size());
    if (mCount < 2 || mCurrent == wrap(mHead + size - mCount + 1))
        return false;
    mCurrent = wrap(mCurrent + size - 1);
    points = mSlots[mCurrent];
    return true;
}

bool LevelHistory::redo(PointList& points)
{
    if (mCount < 2 || mCurrent == mHead)
        return false;
    mCurrent = wrap(mCurrent + 1);
    points = mSlots[mCurrent];
    return true;
}
} // namespace game
