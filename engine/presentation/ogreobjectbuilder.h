#pragma once
#include <OgreColourValue.h>
#include <OgreCommon.h>
#include <OgreFont.h>
#include <OgreVector.h>

#include <string>
#include <vector>

namespace Ogre
{
class ManualObject;
class UTFString;
} // namespace Ogre

namespace brix
{
// Appends textured, vertex-coloured triangles to one section of a manual object at a time:
// text in an OGRE font, optionally in columns, and lines, rectangles, outlines, speech
// bubbles, images, billboards and arcs. Shapes without an image of their own sample the
// font's texture at the solid and edge coordinates, so text and shapes share one section.
// Geometry lies in the x/y plane, y up. A builder lives for one rebuild: construct, begin,
// add, end, drop. The manual object is written into and never owned.
class OgreObjectBuilder
{
public:
    enum Alignment
    {
        // Horizontally the anchor is the left edge; vertically the text stands on the anchor.
        ALIGN_LEFT = 0,
        // Centred on the anchor either way.
        ALIGN_MIDDLE = 1,
        // Horizontally the anchor is the right edge; vertically the text hangs below it.
        ALIGN_RIGHT = 2
    };

    // One column of a format string such as "10l|20r_".
    struct FormatElement
    {
        static const unsigned UNDERLINE = 1;

        float width;
        Alignment alignment;
        unsigned flags;
    };

    // Throws Ogre::InternalErrorException when the font is not declared.
    OgreObjectBuilder(Ogre::ManualObject* object, const std::string& fontName, const Ogre::Vector2& solidUV,
                      const Ogre::Vector2& edgeUV1, const Ogre::Vector2& edgeUV2);
    virtual ~OgreObjectBuilder();

    // Every horizontal text metric is divided by this, so glyphs keep their shape in a frame
    // whose x and y units differ.
    void setAspectRatio(float aspectRatio) { mAspectRatio = aspectRatio; }

    // Starts the first section (made with the font's material when the object has none yet;
    // the flag counts only then).
    void begin(bool dynamic);
    // Starts the first section using this material ("" is the font's), appending one when
    // there is none.
    void begin(std::string materialName, bool dynamic);
    void end();

    // Widths are full stroke widths; a line tapers when they differ.
    void addLine(const Ogre::Vector3& from, const Ogre::Vector3& to, float widthFrom, float widthTo,
                 const Ogre::ColourValue& colourFrom, const Ogre::ColourValue& colourTo);
    // Faces +z when corner1 is the lower-left corner.
    void addRectangle(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2,
                      const Ogre::ColourValue& colour);
    // The stroke is centred on the rectangle's edges.
    void addRectangleOutline(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2, float width,
                             const Ogre::ColourValue& colour);
    // An outline whose bottom edge carries a pointer, its tip pointerSize below the edge and
    // pointerOffset right of the centre.
    void addSpeechBubble(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2, float pointerSize,
                         float pointerOffset, float width, const Ogre::ColourValue& colour);
    // Faces +z when corner1 is the upper-left corner; uv1 is the image's top-left.
    void addImage(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2, const Ogre::Vector2& uv1,
                  const Ogre::Vector2& uv2, const Ogre::ColourValue& colour);
    void addBillboard(const Ogre::Vector3& position, const Ogre::Vector3& direction,
                      const Ogre::Vector2& size, const Ogre::Degree& rotation, const Ogre::Vector2& uv1,
                      const Ogre::Vector2& uv2, const Ogre::ColourValue& colour);
    // Angles in degrees; equal angles draw the full circle. At least two steps are drawn.
    void addCircleOutline(const Ogre::Vector3& centre, float radius, float width, unsigned int segments,
                          const Ogre::ColourValue& colour, float startAngle, float endAngle);

    // The extent the text would cover, without drawing. Only the first line adds height.
    Ogre::Vector2 calculateTextSize(const Ogre::UTFString& text, float height) const;
    // The same for UTF-8 text, which may be malformed (bad bytes measure as U+FFFD).
    Ogre::Vector2 calculateTextSize(const std::string& text, float height) const;
    // Literals would otherwise be ambiguous between the two above.
    Ogre::Vector2 calculateTextSize(const char* text, float height) const
    {
        return calculateTextSize(std::string(text), height);
    }
    // Draws UTF-8 text and returns the extent of what was drawn, without alignment offsets.
    // A maximum width of 0 means no limit; otherwise the first glyph past it and everything
    // after it are dropped.
    Ogre::Vector2 addText(Ogre::Vector3 position, const std::string& text, float height,
                          const Ogre::ColourValue& colour, Alignment horizontal, Alignment vertical,
                          float maxWidth);
    // Draws the "|"-separated fields of text in the columns of format and returns the
    // format's size. An invalid format draws the text unformatted.
    Ogre::Vector2 addTextFormatted(Ogre::Vector3 position, const std::string& format, const std::string& text,
                                   float height, const Ogre::ColourValue& colour, Alignment horizontal,
                                   Alignment vertical);

private:
    void addCharacter(const Ogre::Vector3& topLeft, const Ogre::Vector2& size, const Ogre::FloatRect& uv,
                      const Ogre::ColourValue& colour);
    // Leaves elements empty when any column lacks a positive width.
    void decodeFormatString(const std::string& format, std::vector<FormatElement>& elements) const;
    Ogre::Vector2 calculateFormatSize(const std::vector<FormatElement>& elements, float height) const;

    // Walks the code points from (0, 0), returning the extent; draws from start when draw is
    // set, stopping at the first glyph past maxWidth (0: no limit).
    Ogre::Vector2 layoutText(const std::u32string& codePoints, float height, bool draw,
                             const Ogre::Vector3& start, const Ogre::ColourValue& colour, float maxWidth);
    void vertex(float x, float y, float z, const Ogre::Vector2& uv, const Ogre::ColourValue& colour);

    Ogre::ManualObject* mObject;
    Ogre::FontPtr mFont;
    Ogre::Vector2 mSolidUV;
    Ogre::Vector2 mEdgeUV1;
    Ogre::Vector2 mEdgeUV2;
    float mAspectRatio;
    unsigned int mVertexCount;
};
} // namespace brix
