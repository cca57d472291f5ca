#pragma once

namespace brix
{
// An integer rectangle in pixels. Right and bottom are exclusive: (x, y) lies inside when
// left <= x < right and top <= y < bottom. Empty when left >= right or top >= bottom.
class Rectangle
{
public:
    Rectangle();
    Rectangle(int left, int top, int right, int bottom);
    // Four ints in the order left, top, right, bottom; null gives the empty rectangle.
    explicit Rectangle(const int* edges);
    Rectangle(const Rectangle& other) = default;
    Rectangle& operator=(const Rectangle& other) = default;
    virtual ~Rectangle();

    int getLeft() const { return mLeft; }
    int getTop() const { return mTop; }
    int getRight() const { return mRight; }
    int getBottom() const { return mBottom; }
    int getWidth() const { return mRight - mLeft; }
    int getHeight() const { return mBottom - mTop; }
    bool empty() const { return mLeft >= mRight || mTop >= mBottom; }

    void clear();
    void offset(int dx, int dy);
    void shrink(int n);
    void grow(int n);
    bool testPoint(int x, int y) const;

    // The overlap of both; may be empty.
    Rectangle intersect(const Rectangle& other) const;
    // The bounding box of both; an empty rectangle does not count.
    Rectangle combine(const Rectangle& other) const;

    // Replaces the rectangle by its overlap with this one.
    void clipRectangle(Rectangle& rectangle) const;
    // Clips the rectangle to this one and moves the companion's edges by the distance each
    // edge moved times scale. A rectangle that does not touch this one clears both to 0.
    void clipRectangle(Rectangle& rectangle, Rectangle& companion, int scale) const;

private:
    int mLeft;
    int mTop;
    int mRight;
    int mBottom;
};
} // namespace brix
