#include "game/editor/levelhistory.h"

#include <gtest/gtest.h>

namespace
{
using game::LevelHistory;

// A state told apart by its one point's name.
LevelHistory::PointList state(int number)
{
    game::LevelPoint point;
    point.type = game::LevelPoint::TYPE_SPECIAL;
    point.name = std::to_string(number);
    point.positions.push_back(Ogre::Vector3(static_cast<float>(number), 0.0f, 0.0f));
    return {point};
}

int number(const LevelHistory::PointList& points)
{
    return points.empty() ? -1 : std::stoi(points.front().name);
}

TEST(LevelHistory, KeepsTheLastSixteenStatesAndWalksBackAndForth)
{
    LevelHistory history;
    LevelHistory::PointList out = state(-2);
    history.push(state(0));
    EXPECT_FALSE(history.undo(out));
    EXPECT_FALSE(history.redo(out));
    EXPECT_EQ(number(out), -2);

    for (int i = 1; i < 20; ++i)
        history.push(state(i));
    EXPECT_EQ(history.getCount(), 16u);
    std::vector<int> undone;
    while (history.undo(out) && undone.size() < 40)
        undone.push_back(number(out));
    ASSERT_EQ(undone.size(), 15u);
    EXPECT_EQ(undone.front(), 18);
    EXPECT_EQ(undone.back(), 4);

    std::vector<int> redone;
    while (history.redo(out) && redone.size() < 40)
        redone.push_back(number(out));
    ASSERT_EQ(redone.size(), 15u);
    EXPECT_EQ(redone.front(), 5);
    EXPECT_EQ(redone.back(), 19);
    EXPECT_TRUE(history.undo(out));
    EXPECT_EQ(number(out), 18);
    EXPECT_TRUE(history.redo(out));
    EXPECT_EQ(number(out), 19);
}

TEST(LevelHistory, AChangeAfterUndoDropsTheRedoBranch)
{
    LevelHistory history;
    for (int i = 0; i < 4; ++i)
        history.push(state(i));
    LevelHistory::PointList out;
    ASSERT_TRUE(history.undo(out));
    ASSERT_TRUE(history.undo(out));
    EXPECT_EQ(number(out), 1);
    history.push(state(9));
    EXPECT_EQ(history.getCount(), 3u);
    EXPECT_FALSE(history.redo(out));
    ASSERT_TRUE(history.undo(out));
    EXPECT_EQ(number(out), 1);
    ASSERT_TRUE(history.undo(out));
    EXPECT_EQ(number(out), 0);
    EXPECT_FALSE(history.undo(out));

    history.clear();
    history.push(state(5));
    EXPECT_FALSE(history.undo(out));
    EXPECT_EQ(history.getCount(), 1u);
}
} // namespace
