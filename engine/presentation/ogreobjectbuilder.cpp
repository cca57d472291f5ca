#include "engine/presentation/ogreobjectbuilder.h"
#include "toolkit/utf8.h"

#include <OgreException.h>
#include <OgreFontManager.h>
#include <OgreManualObject.h>
#include <OgreMaterial.h>
#include <OgreMaterialManager.h>
#include <OgreQuaternion.h>
#include <OgreResourceGroupManager.h>
#include <OgreStringConverter.h>
#include <OgreUTFString.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace brix
{
namespace
{
// Text metrics in units of the text height; horizontal ones are divided by the aspect ratio.
const float SPACE_WIDTH = 0.45f;
const float GLYPH_GAP = 0.05f;
const float LINE_ADVANCE = 1.1f;
// Underlines of formatted columns: their width, and what they add to the format's height.
const float UNDERLINE_WIDTH = 0.15f;

// Walks the code points with the cursor from (0, 0) and calls onGlyph(codePoint, x, y, w)
// for each glyph; onGlyph returns false to stop there. The result is the extent of the
// glyphs accepted: y only falls, so only the first line adds height.
template <typename OnGlyph>
Ogre::Vector2 walkText(const Ogre::Font& font, const std::u32string& codePoints, float height,
                       float aspectRatio, OnGlyph onGlyph)
{
    Ogre::Vector2 extent(0, 0);
    float x = 0, y = 0;
    for (char32_t codePoint : codePoints)
    {
        if (codePoint == 32)
            x += SPACE_WIDTH * height / aspectRatio;
        else if (codePoint == 10)
        {
            x = 0;
            y -= LINE_ADVANCE * height;
        }
        else if (codePoint > 32)
        {
            const float w = font.getGlyphAspectRatio(codePoint) * height / aspectRatio;
            if (!onGlyph(codePoint, x, y, w))
                break;
            extent.x = std::max(extent.x, x + w);
            extent.y = std::max(extent.y, y + height);
            x += w + GLYPH_GAP * height / aspectRatio;
        }
    }
    return extent;
}
} // namespace

OgreObjectBuilder::OgreObjectBuilder(Ogre::ManualObject* object, const std::string& fontName,
                                     const Ogre::Vector2& solidUV, const Ogre::Vector2& edgeUV1,
                                     const Ogre::Vector2& edgeUV2)
    : mObject(object), mSolidUV(solidUV), mEdgeUV1(edgeUV1), mEdgeUV2(edgeUV2), mAspectRatio(1.0f),
      mVertexCount(0)
{
    mFont = Ogre::FontManager::getSingleton().getByName(
        fontName, Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME);
    if (!mFont)
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, "Font '" + fontName + "' not found",
                    "OgreObjectBuilder::OgreObjectBuilder");
    // A declared font makes its material and glyph table when first loaded.
    if (!mFont->getMaterial())
        mFont->load();
    if (!mFont->getMaterial())
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, "Font '" + fontName + "' has no material",
                    "OgreObjectBuilder::OgreObjectBuilder");
}

OgreObjectBuilder::~OgreObjectBuilder() {}

void OgreObjectBuilder::begin(bool dynamic)
{
    if (mObject->getSections().empty())
    {
        const Ogre::MaterialPtr& material = mFont->getMaterial();
        mObject->setDynamic(dynamic);
        mObject->begin(material->getName(), Ogre::RenderOperation::OT_TRIANGLE_LIST, material->getGroup());
    }
    else
        mObject->beginUpdate(0);
    mVertexCount = 0;
}

void OgreObjectBuilder::begin(std::string materialName, bool dynamic)
{
    // The game's materials live in its own resource group, not OGRE's default one, so they are
    // looked for in every group. OGRE draws a section whose material is missing in its default
    // material and names the section after that one; looking for the missing name again would
    // append a section on every rebuild.
    Ogre::MaterialPtr material =
        materialName.empty() ? mFont->getMaterial()
                             : Ogre::MaterialManager::getSingleton().getByName(
                                   materialName, Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME);
    if (!material)
        material = Ogre::MaterialManager::getSingleton().getDefaultMaterial();
    materialName = material->getName();
    const std::vector<Ogre::ManualObject::ManualObjectSection*>& sections = mObject->getSections();
    auto found = std::find_if(sections.begin(), sections.end(),
                              [&](Ogre::ManualObject::ManualObjectSection* section)
                              { return section->getMaterialName() == materialName; });
    if (found != sections.end())
        mObject->beginUpdate(found - sections.begin());
    else
    {
        mObject->setDynamic(dynamic);
        mObject->begin(materialName, Ogre::RenderOperation::OT_TRIANGLE_LIST, material->getGroup());
    }
    mVertexCount = 0;
}

void OgreObjectBuilder::end()
{
    mObject->end();
}

void OgreObjectBuilder::vertex(float x, float y, float z, const Ogre::Vector2& uv,
                               const Ogre::ColourValue& colour)
{
    mObject->position(x, y, z);
    mObject->textureCoord(uv);
    mObject->colour(colour);
}

void OgreObjectBuilder::addLine(const Ogre::Vector3& from, const Ogre::Vector3& to, float widthFrom,
                                float widthTo, const Ogre::ColourValue& colourFrom,
                                const Ogre::ColourValue& colourTo)
{
    Ogre::Vector3 p = (to - from).crossProduct(Ogre::Vector3::UNIT_Z);
    p.normalise();
    const Ogre::Vector3 a = p * (widthFrom / 2), b = p * (widthTo / 2);
    const unsigned n = mVertexCount;
    vertex(from.x + a.x, from.y + a.y, from.z + a.z, mEdgeUV1, colourFrom);
    vertex(from.x - a.x, from.y - a.y, from.z - a.z, mEdgeUV2, colourFrom);
    vertex(to.x + b.x, to.y + b.y, to.z + b.z, mEdgeUV1, colourTo);
    vertex(to.x - b.x, to.y - b.y, to.z - b.z, mEdgeUV2, colourTo);
    mObject->triangle(n + 1, n, n + 2);
    mObject->triangle(n + 3, n + 1, n + 2);
    mVertexCount += 4;
}

void OgreObjectBuilder::addRectangle(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2,
                                     const Ogre::ColourValue& colour)
{
    const float z = (corner1.z + corner2.z) * 0.5f;
    const unsigned n = mVertexCount;
    vertex(corner1.x, corner2.y, z, mSolidUV, colour);
    vertex(corner2.x, corner2.y, z, mSolidUV, colour);
    vertex(corner2.x, corner1.y, z, mSolidUV, colour);
    vertex(corner1.x, corner1.y, z, mSolidUV, colour);
    mObject->triangle(n, n + 2, n + 1);
    mObject->triangle(n, n + 3, n + 2);
    mVertexCount += 4;
}

void OgreObjectBuilder::addRectangleOutline(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2,
                                            float width, const Ogre::ColourValue& colour)
{
    const float l = corner1.x, r = corner2.x, b = corner1.y, t = corner2.y, h = width / 2;
    const float z = (corner1.z + corner2.z) * 0.5f;
    const unsigned n = mVertexCount;
    vertex(l - h, t + h, z, mEdgeUV1, colour);
    vertex(r + h, t + h, z, mEdgeUV1, colour);
    vertex(r + h, b - h, z, mEdgeUV1, colour);
    vertex(l - h, b - h, z, mEdgeUV1, colour);
    vertex(l + h, t - h, z, mEdgeUV2, colour);
    vertex(r - h, t - h, z, mEdgeUV2, colour);
    vertex(r - h, b + h, z, mEdgeUV2, colour);
    vertex(l + h, b + h, z, mEdgeUV2, colour);
    static const unsigned TRIANGLES[8][3] = {{0, 4, 1}, {4, 5, 1}, {7, 3, 2}, {7, 2, 6},
                                             {0, 3, 7}, {0, 7, 4}, {1, 5, 6}, {1, 6, 2}};
    for (const auto& triangle : TRIANGLES)
        mObject->triangle(n + triangle[0], n + triangle[1], n + triangle[2]);
    mVertexCount += 8;
}

void OgreObjectBuilder::addSpeechBubble(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2,
                                        float pointerSize, float pointerOffset, float width,
                                        const Ogre::ColourValue& colour)
{
    const float l = corner1.x, r = corner2.x, b = corner1.y, t = corner2.y, h = width / 2, s = pointerSize;
    const float tx = (l + r) / 2 + pointerOffset, ty = b - s;
    const float z = (corner1.z + corner2.z) * 0.5f;
    const unsigned n = mVertexCount;
    vertex(l - h, t + h, z, mEdgeUV1, colour);
    vertex(r + h, t + h, z, mEdgeUV1, colour);
    vertex(r + h, b - h, z, mEdgeUV1, colour);
    vertex(tx + s, b - h, z, mEdgeUV1, colour);
    vertex(tx, ty - h, z, mEdgeUV1, colour);
    vertex(tx - s, b - h, z, mEdgeUV1, colour);
    vertex(l - h, b - h, z, mEdgeUV1, colour);
    vertex(l + h, t - h, z, mEdgeUV2, colour);
    vertex(r - h, t - h, z, mEdgeUV2, colour);
    vertex(r - h, b + h, z, mEdgeUV2, colour);
    vertex(tx + s - h, b + h, z, mEdgeUV2, colour);
    vertex(tx, ty + h, z, mEdgeUV2, colour);
    vertex(tx - s + h, b + h, z, mEdgeUV2, colour);
    vertex(l + h, b + h, z, mEdgeUV2, colour);
    static const unsigned TRIANGLES[14][3] = {{0, 7, 1},  {7, 8, 1},   {0, 6, 13}, {0, 13, 7},  {1, 9, 2},
                                              {1, 8, 9},  {9, 3, 2},   {9, 10, 3}, {10, 11, 3}, {11, 4, 3},
                                              {11, 5, 4}, {11, 12, 5}, {13, 6, 5}, {12, 13, 5}};
    for (const auto& triangle : TRIANGLES)
        mObject->triangle(n + triangle[0], n + triangle[1], n + triangle[2]);
    mVertexCount += 14;
}

void OgreObjectBuilder::addImage(const Ogre::Vector3& corner1, const Ogre::Vector3& corner2,
                                 const Ogre::Vector2& uv1, const Ogre::Vector2& uv2,
                                 const Ogre::ColourValue& colour)
{
    const float z = (corner1.z + corner2.z) * 0.5f;
    const unsigned n = mVertexCount;
    vertex(corner1.x, corner2.y, z, Ogre::Vector2(uv1.x, uv2.y), colour);
    vertex(corner2.x, corner2.y, z, uv2, colour);
    vertex(corner2.x, corner1.y, z, Ogre::Vector2(uv2.x, uv1.y), colour);
    vertex(corner1.x, corner1.y, z, uv1, colour);
    mObject->triangle(n, n + 1, n + 2);
    mObject->triangle(n, n + 2, n + 3);
    mVertexCount += 4;
}

void OgreObjectBuilder::addBillboard(const Ogre::Vector3& position, const Ogre::Vector3& direction,
                                     const Ogre::Vector2& size, const Ogre::Degree& rotation,
                                     const Ogre::Vector2& uv1, const Ogre::Vector2& uv2,
                                     const Ogre::ColourValue& colour)
{
    Ogre::Vector3 u = Ogre::Vector3::UNIT_Y.crossProduct(direction);
    u.normalise();
    Ogre::Vector3 v = u.crossProduct(direction);
    if (rotation != Ogre::Degree(0))
    {
        const Ogre::Quaternion turn(Ogre::Radian(rotation), direction);
        u = turn * u;
        v = turn * v;
    }
    const Ogre::Vector3 hu = u * (size.x / 2), hv = v * (size.y / 2);
    const Ogre::Vector3 p0 = position - hu + hv, p1 = position + hu + hv, p2 = position + hu - hv,
                        p3 = position - hu - hv;
    const unsigned n = mVertexCount;
    vertex(p0.x, p0.y, p0.z, Ogre::Vector2(uv1.x, uv2.y), colour);
    vertex(p1.x, p1.y, p1.z, uv2, colour);
    vertex(p2.x, p2.y, p2.z, Ogre::Vector2(uv2.x, uv1.y), colour);
    vertex(p3.x, p3.y, p3.z, uv1, colour);
    mObject->triangle(n, n + 1, n + 2);
    mObject->triangle(n, n + 2, n + 3);
    mVertexCount += 4;
}

void OgreObjectBuilder::addCircleOutline(const Ogre::Vector3& centre, float radius, float width,
                                         unsigned int segments, const Ogre::ColourValue& colour,
                                         float startAngle, float endAngle)
{
    if (endAngle == startAngle)
    {
        startAngle = 0;
        endAngle = 360;
    }
    float span = endAngle - startAngle;
    if (span < 0)
        span += 360;
    const unsigned steps = std::max(2u, static_cast<unsigned>(segments * span / 360.0f));
    const float stepAngle = span / steps;
    const float inner = radius - width / 2, outer = radius + width / 2;
    for (unsigned i = 0; i <= steps; ++i)
    {
        const float a = Ogre::Math::DegreesToRadians(startAngle + i * stepAngle);
        const float c = std::cos(a), s = std::sin(a);
        vertex(centre.x + inner * c, centre.y + inner * s, centre.z, mEdgeUV1, colour);
        vertex(centre.x + outer * c, centre.y + outer * s, centre.z, mEdgeUV2, colour);
        if (i >= 1)
        {
            const unsigned b = mVertexCount - 2;
            mObject->triangle(b, b + 1, b + 2);
            mObject->triangle(b + 2, b + 1, b + 3);
        }
        mVertexCount += 2;
    }
}

void OgreObjectBuilder::addCharacter(const Ogre::Vector3& topLeft, const Ogre::Vector2& size,
                                     const Ogre::FloatRect& uv, const Ogre::ColourValue& colour)
{
    if (uv.top == uv.bottom || uv.left == uv.right)
        return;
    const unsigned n = mVertexCount;
    const float x = topLeft.x, y = topLeft.y, z = topLeft.z;
    vertex(x, y, z, Ogre::Vector2(uv.left, uv.top), colour);
    vertex(x + size.x, y, z, Ogre::Vector2(uv.right, uv.top), colour);
    vertex(x + size.x, y - size.y, z, Ogre::Vector2(uv.right, uv.bottom), colour);
    vertex(x, y - size.y, z, Ogre::Vector2(uv.left, uv.bottom), colour);
    mObject->triangle(n, n + 2, n + 1);
    mObject->triangle(n, n + 3, n + 2);
    mVertexCount += 4;
}

Ogre::Vector2 OgreObjectBuilder::calculateTextSize(const Ogre::UTFString& text, float height) const
{
    std::u32string codePoints;
    codePoints.reserve(text.size());
    for (Ogre::UTFString::const_iterator i = text.begin(); i != text.end(); i.moveNext())
        codePoints.push_back(i.getCharacter());
    return walkText(*mFont, codePoints, height, mAspectRatio,
                    [](char32_t, float, float, float) { return true; });
}

Ogre::Vector2 OgreObjectBuilder::calculateTextSize(const std::string& text, float height) const
{
    return walkText(*mFont, UTF8::decode(text), height, mAspectRatio,
                    [](char32_t, float, float, float) { return true; });
}

Ogre::Vector2 OgreObjectBuilder::addText(Ogre::Vector3 position, const std::string& text, float height,
                                         const Ogre::ColourValue& colour, Alignment horizontal,
                                         Alignment vertical, float maxWidth)
{
    const std::u32string codePoints = UTF8::decode(text);
    Ogre::Vector3 start = position;
    if (horizontal != ALIGN_LEFT || vertical != ALIGN_RIGHT)
    {
        Ogre::Vector2 size = walkText(*mFont, codePoints, height, mAspectRatio,
                                      [](char32_t, float, float, float) { return true; });
        if (maxWidth != 0)
            size.x = std::min(size.x, maxWidth);
        if (horizontal == ALIGN_MIDDLE)
            start.x -= size.x / 2;
        else if (horizontal == ALIGN_RIGHT)
            start.x -= size.x;
        if (vertical == ALIGN_MIDDLE)
            start.y += size.y / 2;
        else if (vertical == ALIGN_LEFT)
            start.y += size.y;
    }
    return walkText(*mFont, codePoints, height, mAspectRatio,
                    [&](char32_t codePoint, float x, float y, float w)
                    {
                        if (maxWidth != 0 && x + w > maxWidth)
                            return false;
                        addCharacter(Ogre::Vector3(start.x + x, start.y + y, position.z),
                                     Ogre::Vector2(w, height), mFont->getGlyphTexCoords(codePoint), colour);
                        return true;
                    });
}

void OgreObjectBuilder::decodeFormatString(const std::string& format,
                                           std::vector<FormatElement>& elements) const
{
    elements.clear();
    if (format.empty())
        return;
    for (const std::string& token : Ogre::StringUtil::tokenise(format, "|", "\"", 0))
    {
        FormatElement element = {0.0f, ALIGN_LEFT, 0};
        for (auto c = token.rbegin(); c != token.rend() && !std::isdigit(static_cast<unsigned char>(*c)); ++c)
        {
            if (*c == '_')
                element.flags |= FormatElement::UNDERLINE;
            else if (*c == 'l')
                element.alignment = ALIGN_LEFT;
            else if (*c == 'm')
                element.alignment = ALIGN_MIDDLE;
            else if (*c == 'r')
                element.alignment = ALIGN_RIGHT;
        }
        element.width = Ogre::StringConverter::parseReal(token, 0.0f);
        // Also rejects NaN, which a token such as "nan" would parse to.
        if (!(element.width > 0))
        {
            elements.clear();
            return;
        }
        elements.push_back(element);
    }
}

Ogre::Vector2 OgreObjectBuilder::calculateFormatSize(const std::vector<FormatElement>& elements,
                                                     float height) const
{
    Ogre::Vector2 size(0, height);
    bool underlined = false;
    for (const FormatElement& element : elements)
    {
        size.x += element.width;
        underlined = underlined || (element.flags & FormatElement::UNDERLINE);
    }
    if (underlined)
        size.y += UNDERLINE_WIDTH * height;
    return size;
}

Ogre::Vector2 OgreObjectBuilder::addTextFormatted(Ogre::Vector3 position, const std::string& format,
                                                  const std::string& text, float height,
                                                  const Ogre::ColourValue& colour, Alignment horizontal,
                                                  Alignment vertical)
{
    std::vector<FormatElement> elements;
    decodeFormatString(format, elements);
    if (elements.empty())
        return addText(position, text, height, colour, horizontal, vertical, 0);

    const Ogre::Vector2 size = calculateFormatSize(elements, height);
    float x = position.x, y = position.y;
    if (horizontal == ALIGN_MIDDLE)
        x -= size.x / 2;
    else if (horizontal == ALIGN_RIGHT)
        x -= size.x;
    if (vertical == ALIGN_MIDDLE)
        y += size.y / 2;
    else if (vertical == ALIGN_LEFT)
        y += size.y;

    float column = 0;
    size_t p = 0;
    bool pastEnd = false;
    for (const FormatElement& element : elements)
    {
        if (pastEnd)
            break;
        size_t bar = text.find('|', p);
        if (bar == std::string::npos)
            bar = text.size();
        const std::string field = text.substr(p, bar - p);
        p = bar + 1;
        pastEnd = p >= text.size();
        if (!field.empty())
        {
            const float offset = element.alignment == ALIGN_MIDDLE  ? element.width / 2
                                 : element.alignment == ALIGN_RIGHT ? element.width
                                                                    : 0.0f;
            addText(Ogre::Vector3(x + column + offset, y, position.z), field, height, colour,
                    element.alignment, ALIGN_RIGHT, element.width);
        }
        if (element.flags & FormatElement::UNDERLINE)
            addLine(Ogre::Vector3(x + column, y - height, position.z),
                    Ogre::Vector3(x + column + element.width, y - height, position.z),
                    UNDERLINE_WIDTH * height, UNDERLINE_WIDTH * height, colour, colour);
        column += element.width;
    }
    return size;
}
} // namespace brix
