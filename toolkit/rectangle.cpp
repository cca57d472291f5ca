#include "toolkit/rectangle.h"

#include <algorithm>

namespace brix
{
Rectangle::Rectangle() : mLeft(0), mTop(0), mRight(0), mBottom(0) {}

Rectangle::Rectangle(int left, int top, int right, int bottom)
    : mLeft(left), mTop(top), mRight(right), mBottom(bottom)
{
}

Rectangle::Rectangle(const int* edges) : Rectangle()
{
    if (edges)
    {
        mLeft = edges[0];
        mTop = edges[1];
        mRight = edges[2];
        mBottom = edges[3];
    }
}

Rectangle::~Rectangle() {}

void Rectangle::clear()
{
    mLeft = mTop = mRight = mBottom = 0;
}

void Rectangle::offset(int dx, int dy)
{
    mLeft += dx;
    mRight += dx;
    mTop += dy;
    mBottom += dy;
}

void Rectangle::shrink(int n)
{
    mLeft += n;
    mTop += n;
    mRight -= n;
    mBottom -= n;
}

void Rectangle::grow(int n)
{
    shrink(-n);
}

bool Rectangle::testPoint(int x, int y) const
{
    return x >= mLeft && x < mRight && y >= mTop && y < mBottom;
}

Rectangle Rectangle::intersect(const Rectangle& other) const
{
    return Rectangle(std::max(mLeft, other.mLeft), std::max(mTop, other.mTop), std::min(mRight, other.mRight),
                     std::min(mBottom, other.mBottom));
}

Rectangle Rectangle::combine(const Rectangle& other) const
{
    if (empty())
        return other;
    if (other.empty())
        return *this;
    return Rectangle(std::min(mLeft, other.mLeft), std::min(mTop, other.mTop), std::max(mRight, other.mRight),
                     std::max(mBottom, other.mBottom));
}

void Rectangle::clipRectangle(Rectangle& rectangle) const
{
    rectangle = intersect(rectangle);
}

void Rectangle::clipRectangle(Rectangle& rectangle, Rectangle& companion, int scale) const
{
    if (rectangle.mLeft > mRight || rectangle.mTop > mBottom || rectangle.mRight < mLeft ||
        rectangle.mBottom < mTop)
    {
        rectangle.clear();
        companion.clear();
        return;
    }
    if (mLeft > rectangle.mLeft)
    {
        companion.mLeft += (mLeft - rectangle.mLeft) * scale;
        rectangle.mLeft = mLeft;
    }
    if (mTop > rectangle.mTop)
    {
        companion.mTop += (mTop - rectangle.mTop) * scale;
        rectangle.mTop = mTop;
    }
    if (rectangle.mRight > mRight)
    {
        companion.mRight -= (rectangle.mRight - mRight) * scale;
        rectangle.mRight = mRight;
    }
    if (rectangle.mBottom > mBottom)
    {
        companion.mBottom -= (rectangle.mBottom - mBottom) * scale;
        rectangle.mBottom = mBottom;
    }
}
} // namespace brix
