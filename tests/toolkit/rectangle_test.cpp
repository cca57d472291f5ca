#include "toolkit/rectangle.h"

#include <gtest/gtest.h>

namespace
{
void expectEdges(const brix::Rectangle& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(left, r.getLeft());
    EXPECT_EQ(top, r.getTop());
    EXPECT_EQ(right, r.getRight());
    EXPECT_EQ(bottom, r.getBottom());
}
} // namespace

TEST(Rectangle, RightAndBottomAreExclusive)
{
    brix::Rectangle r(1, 1, 3, 4);
    EXPECT_TRUE(r.testPoint(1, 1));
    EXPECT_TRUE(r.testPoint(2, 3));
    EXPECT_FALSE(r.testPoint(3, 1));
    EXPECT_FALSE(r.testPoint(1, 4));
    EXPECT_FALSE(brix::Rectangle(2, 0, 2, 5).testPoint(2, 0));
    EXPECT_TRUE(brix::Rectangle(2, 0, 2, 5).empty());
}

TEST(Rectangle, IntersectAndCombine)
{
    brix::Rectangle a(0, 0, 4, 4), b(2, 3, 6, 8);
    expectEdges(a.intersect(b), 2, 3, 4, 4);
    expectEdges(a.combine(b), 0, 0, 6, 8);
    EXPECT_TRUE(a.intersect(brix::Rectangle(5, 5, 6, 6)).empty());
    expectEdges(brix::Rectangle().combine(brix::Rectangle(1, 1, 2, 2)), 1, 1, 2, 2);
    expectEdges(b.combine(brix::Rectangle(9, 9, 9, 20)), 2, 3, 6, 8);

    int edges[4] = {1, 2, 3, 4};
    brix::Rectangle fromArray(edges);
    fromArray.grow(1);
    expectEdges(fromArray, 0, 1, 4, 5);
    fromArray.offset(-3, 5);
    expectEdges(fromArray, -3, 6, 1, 10);
    fromArray.shrink(2);
    expectEdges(fromArray, -1, 8, -1, 8);
    EXPECT_TRUE(fromArray.empty());
    b.clipRectangle(a);
    expectEdges(a, 2, 3, 4, 4);
    expectEdges(brix::Rectangle(nullptr), 0, 0, 0, 0);
}

TEST(Rectangle, ClipMovesTheCompanionByTheScaledDistance)
{
    brix::Rectangle bounds(0, 0, 10, 10);
    brix::Rectangle r(-2, -1, 12, 13), companion(0, 0, 28, 28);
    bounds.clipRectangle(r, companion, 2);
    expectEdges(r, 0, 0, 10, 10);
    expectEdges(companion, 4, 2, 24, 22);

    // Touching the right edge still clips; one pixel further is apart.
    brix::Rectangle touching(10, 3, 15, 5), moved(0, 0, 50, 20);
    bounds.clipRectangle(touching, moved, 3);
    expectEdges(touching, 10, 3, 10, 5);
    expectEdges(moved, 0, 0, 35, 20);

    brix::Rectangle apart(11, 0, 15, 5), other(1, 2, 3, 4);
    bounds.clipRectangle(apart, other, 1);
    expectEdges(apart, 0, 0, 0, 0);
    expectEdges(other, 0, 0, 0, 0);
}
