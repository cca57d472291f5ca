#include "engine/presentation/ogreobjectbuilder.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"
#include "support/ogre/manualobjectreader.h"

#include <OgreException.h>
#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreSceneManager.h>
#include <OgreUTFString.h>

#include <gtest/gtest.h>

using brix::OgreObjectBuilder;

namespace
{
const Ogre::Vector2 SOLID(0.03125f, 0.03125f), EDGE_A(0.015f, 0.03125f), EDGE_B(0.0475f, 0.03125f);
const Ogre::ColourValue RED(1, 0, 0, 1);

class ObjectBuilderTest : public testing::Test
{
protected:
    ObjectBuilderTest()
        : object(ogre.sceneManager().createManualObject("built")),
          builder(object, "testfont", SOLID, EDGE_A, EDGE_B)
    {
    }

    // Builds one section with what add() draws and reads it back.
    template <typename Add> test::SectionContents build(Add add)
    {
        builder.begin(true);
        add();
        builder.end();
        return test::readSection(*object);
    }

    Ogre::Vector2 text(const std::string& s, float height = 1,
                       OgreObjectBuilder::Alignment h = OgreObjectBuilder::ALIGN_LEFT,
                       OgreObjectBuilder::Alignment v = OgreObjectBuilder::ALIGN_RIGHT, float maxWidth = 0,
                       Ogre::Vector3 at = Ogre::Vector3::ZERO)
    {
        return builder.addText(at, s, height, RED, h, v, maxWidth);
    }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    Ogre::ManualObject* object;
    OgreObjectBuilder builder;
};

void expectNear(const Ogre::Vector3& expected, const Ogre::Vector3& actual)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-5f);
    EXPECT_NEAR(expected.y, actual.y, 1e-5f);
    EXPECT_NEAR(expected.z, actual.z, 1e-5f);
}
} // namespace

TEST(ObjectBuilder, MissingFontThrowsWithItsName)
{
    test::HeadlessOgre ogre;
    test::ImageFont font;
    Ogre::ManualObject* object = ogre.sceneManager().createManualObject("built");
    try
    {
        OgreObjectBuilder builder(object, "menufont", SOLID, EDGE_A, EDGE_B);
        FAIL() << "no exception";
    }
    catch (const Ogre::InternalErrorException& e)
    {
        EXPECT_EQ("Font 'menufont' not found", e.getDescription());
        EXPECT_EQ("OgreObjectBuilder::OgreObjectBuilder", e.getSource());
    }
}

TEST_F(ObjectBuilderTest, BeginReusesSectionsByMaterialAndRestartsTheVertexCount)
{
    Ogre::MaterialManager::getSingleton().create("Other", test::dataGroup());
    builder.begin(false);
    builder.addRectangle(Ogre::Vector3(0, 0, 0), Ogre::Vector3(1, 1, 0), RED);
    builder.end();
    ASSERT_EQ(1u, object->getSections().size());
    EXPECT_EQ(test::ImageFont::MATERIAL, object->getSections()[0]->getMaterialName());
    EXPECT_FALSE(object->getDynamic());

    // A second material appends a section whose indices count from 0 again.
    builder.begin("Other", true);
    builder.addRectangle(Ogre::Vector3(0, 0, 0), Ogre::Vector3(1, 1, 0), RED);
    builder.end();
    ASSERT_EQ(2u, object->getSections().size());
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 1, 0, 3, 2}), test::readSection(*object, 1).indices);

    // "" is the font's material: section 0 is updated in place, not appended.
    builder.begin("", true);
    builder.addRectangle(Ogre::Vector3(0, 0, 0), Ogre::Vector3(1, 1, 0), RED);
    builder.addRectangle(Ogre::Vector3(0, 0, 0), Ogre::Vector3(1, 1, 0), RED);
    builder.end();
    EXPECT_EQ(2u, object->getSections().size());
    EXPECT_EQ(8u, test::readSection(*object, 0).positions.size());
    EXPECT_EQ(4u, test::readSection(*object, 1).positions.size());

    // A missing material gets one section, drawn in the default material, and keeps it.
    for (int rebuild = 0; rebuild < 2; ++rebuild)
    {
        OgreObjectBuilder again(object, "testfont", SOLID, EDGE_A, EDGE_B);
        again.begin("Missing", true);
        again.addRectangle(Ogre::Vector3(0, 0, 0), Ogre::Vector3(1, 1, 0), RED);
        again.end();
        ASSERT_EQ(3u, object->getSections().size());
        EXPECT_EQ(4u, test::readSection(*object, 2).positions.size());
    }
}

TEST_F(ObjectBuilderTest, RectangleAndImageShareCornersButWindOppositeWays)
{
    test::SectionContents s = build(
        [&]
        {
            builder.addRectangle(Ogre::Vector3(1, 2, 0), Ogre::Vector3(3, 4, 2), RED);
            builder.addImage(Ogre::Vector3(1, 4, 0), Ogre::Vector3(3, 2, 0), Ogre::Vector2(0.25f, 0.5f),
                             Ogre::Vector2(0.5f, 1.0f), RED);
        });
    ASSERT_EQ(8u, s.positions.size());
    expectNear(Ogre::Vector3(1, 4, 1), s.positions[0]);
    expectNear(Ogre::Vector3(3, 2, 1), s.positions[2]);
    EXPECT_EQ(SOLID, s.uvs[3]);
    expectNear(Ogre::Vector3(1, 2, 0), s.positions[4]);
    EXPECT_EQ(Ogre::Vector2(0.25f, 1.0f), s.uvs[4]);
    EXPECT_EQ(Ogre::Vector2(0.25f, 0.5f), s.uvs[7]);
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7}), s.indices);
    EXPECT_NEAR(1.0f, s.colours[5].r, 1e-3f);
    EXPECT_NEAR(0.0f, s.colours[5].g, 1e-3f);
}

TEST_F(ObjectBuilderTest, LinesTaperAndCollapseWhenTheirEndsMeet)
{
    test::SectionContents s = build(
        [&]
        {
            builder.addLine(Ogre::Vector3(0, 0, 0), Ogre::Vector3(10, 0, 0), 2, 4, RED, RED);
            builder.addLine(Ogre::Vector3(5, 5, 5), Ogre::Vector3(5, 5, 5), 2, 2, RED, RED);
        });
    // (to - from) x UNIT_Z points down for a line to the right.
    expectNear(Ogre::Vector3(0, -1, 0), s.positions[0]);
    expectNear(Ogre::Vector3(0, 1, 0), s.positions[1]);
    expectNear(Ogre::Vector3(10, -2, 0), s.positions[2]);
    expectNear(Ogre::Vector3(10, 2, 0), s.positions[3]);
    EXPECT_EQ(EDGE_A, s.uvs[0]);
    EXPECT_EQ(EDGE_B, s.uvs[1]);
    for (size_t i = 4; i < 8; ++i)
        expectNear(Ogre::Vector3(5, 5, 5), s.positions[i]);
    EXPECT_EQ((std::vector<uint32_t>{1, 0, 2, 3, 1, 2, 5, 4, 6, 7, 5, 6}), s.indices);
}

TEST_F(ObjectBuilderTest, OutlineAndSpeechBubbleCentreTheStrokeOnTheEdges)
{
    test::SectionContents s = build(
        [&]
        {
            builder.addRectangleOutline(Ogre::Vector3(0, 0, 0), Ogre::Vector3(4, 2, 0), 0.2f, RED);
            builder.addSpeechBubble(Ogre::Vector3(0, 0, 0), Ogre::Vector3(4, 2, 0), 0.5f, 1.0f, 0.2f, RED);
        });
    ASSERT_EQ(22u, s.positions.size());
    EXPECT_EQ(8u + 14u, s.triangleCount());
    expectNear(Ogre::Vector3(-0.1f, 2.1f, 0), s.positions[0]);
    expectNear(Ogre::Vector3(0.1f, 1.9f, 0), s.positions[4]);
    EXPECT_EQ(EDGE_B, s.uvs[4]);
    // The bubble's pointer tip hangs pointerSize below the bottom, offset from the centre.
    expectNear(Ogre::Vector3(3.0f, -0.6f, 0), s.positions[8 + 4]);
    expectNear(Ogre::Vector3(3.0f, -0.4f, 0), s.positions[8 + 11]);
    for (uint32_t index : s.indices)
        EXPECT_LT(index, 22u);
    EXPECT_EQ((std::vector<uint32_t>{8 + 12, 8 + 13, 8 + 5}),
              std::vector<uint32_t>(s.indices.end() - 3, s.indices.end()));
}

TEST_F(ObjectBuilderTest, ArcsHaveOneStepPerSegmentOfTheirSpanAndAtLeastTwo)
{
    const Ogre::Vector3 centre(1, 1, 3);
    test::SectionContents quarter = build([&] { builder.addCircleOutline(centre, 2, 0.5f, 16, RED, 0, 90); });
    EXPECT_EQ(10u, quarter.positions.size());
    EXPECT_EQ(8u, quarter.triangleCount());
    expectNear(Ogre::Vector3(2.75f, 1, 3), quarter.positions[0]);
    expectNear(Ogre::Vector3(3.25f, 1, 3), quarter.positions[1]);
    expectNear(Ogre::Vector3(1, 3.25f, 3), quarter.positions[9]);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 2, 1, 3}),
              std::vector<uint32_t>(quarter.indices.begin(), quarter.indices.begin() + 6));

    EXPECT_EQ(6u, build([&] { builder.addCircleOutline(centre, 2, 0.5f, 4, RED, 0, 90); }).positions.size());
    EXPECT_EQ(6u, build([&] { builder.addCircleOutline(centre, 2, 0.5f, 0, RED, 0, 90); }).positions.size());
    // Equal angles are the whole circle; an end before the start wraps through 360.
    test::SectionContents full = build([&] { builder.addCircleOutline(centre, 2, 0.5f, 16, RED, 45, 45); });
    EXPECT_EQ(34u, full.positions.size());
    expectNear(full.positions[0], full.positions[32]);
    test::SectionContents wrapped =
        build([&] { builder.addCircleOutline(centre, 2, 0.5f, 16, RED, 270, 90); });
    EXPECT_EQ(18u, wrapped.positions.size());
    expectNear(Ogre::Vector3(1, 2.75f, 3), wrapped.positions[16]);
}

TEST_F(ObjectBuilderTest, BillboardsSpanThePlaneAcrossTheirDirectionAndTurnAboutIt)
{
    test::SectionContents s = build(
        [&]
        {
            builder.addBillboard(Ogre::Vector3(0, 0, 0), Ogre::Vector3::UNIT_Z, Ogre::Vector2(2, 4),
                                 Ogre::Degree(0), Ogre::Vector2(0, 0), Ogre::Vector2(1, 1), RED);
            builder.addBillboard(Ogre::Vector3(0, 0, 0), Ogre::Vector3::UNIT_Z, Ogre::Vector2(2, 4),
                                 Ogre::Degree(90), Ogre::Vector2(0, 0), Ogre::Vector2(1, 1), RED);
        });
    expectNear(Ogre::Vector3(-1, -2, 0), s.positions[0]);
    expectNear(Ogre::Vector3(1, -2, 0), s.positions[1]);
    EXPECT_EQ(Ogre::Vector2(0, 1), s.uvs[0]);
    expectNear(Ogre::Vector3(2, -1, 0), s.positions[4]);
}

TEST_F(ObjectBuilderTest, TextAdvancesByGlyphSpaceAndLine)
{
    // Glyphs of the test font are half as wide as high; gaps are 0.05 of the height.
    EXPECT_EQ(Ogre::Vector2(1.05f, 1), builder.calculateTextSize("ab", 1));
    EXPECT_EQ(Ogre::Vector2(4, 2), builder.calculateTextSize(std::string("a M"), 2));
    EXPECT_EQ(Ogre::Vector2(0, 0), builder.calculateTextSize(std::string("   "), 1));
    // Only the first line adds height; a text that starts with a line feed has none.
    EXPECT_EQ(Ogre::Vector2(1.05f, 1), builder.calculateTextSize(std::string("a\nbb"), 1));
    EXPECT_EQ(Ogre::Vector2(0.5f, 0), builder.calculateTextSize(std::string("\na"), 1));
    EXPECT_EQ(Ogre::Vector2(1.05f, 1), builder.calculateTextSize(Ogre::UTFString("ab"), 1));
    builder.setAspectRatio(2);
    EXPECT_EQ(Ogre::Vector2(0.525f, 1), builder.calculateTextSize(std::string("ab"), 1));

    builder.setAspectRatio(1);
    test::SectionContents s = build([&] { text("a\tb\nc", 2); });
    ASSERT_EQ(12u, s.positions.size());
    // Tab is ignored; the glyph after the line feed starts at x = 0, 1.1 heights down.
    expectNear(Ogre::Vector3(1.1f, 0, 0), s.positions[4]);
    expectNear(Ogre::Vector3(0, -2.2f, 0), s.positions[8]);
}

TEST_F(ObjectBuilderTest, GlyphsTakeTheirCellOfTheFontTexture)
{
    test::SectionContents s = build([&] { text("A"); });
    ASSERT_EQ(4u, s.positions.size());
    const float u = ('A' % 16) / 16.0f, v = ('A' / 16) / 8.0f;
    EXPECT_EQ(Ogre::Vector2(u, v), s.uvs[0]);
    EXPECT_EQ(Ogre::Vector2(u + 1.0f / 16, v + 1.0f / 8), s.uvs[2]);
    expectNear(Ogre::Vector3(0.5f, -1, 0), s.positions[2]);
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 1, 0, 3, 2}), s.indices);
}

TEST_F(ObjectBuilderTest, AlignmentPlacesTheMeasuredTextAroundTheAnchor)
{
    const Ogre::Vector3 anchor(10, 10, 1);
    // "ab" is 1.05 by 1.
    test::SectionContents s = build(
        [&]
        {
            text("ab", 1, OgreObjectBuilder::ALIGN_LEFT, OgreObjectBuilder::ALIGN_LEFT, 0, anchor);
            text("ab", 1, OgreObjectBuilder::ALIGN_MIDDLE, OgreObjectBuilder::ALIGN_MIDDLE, 0, anchor);
            text("ab", 1, OgreObjectBuilder::ALIGN_RIGHT, OgreObjectBuilder::ALIGN_RIGHT, 0, anchor);
        });
    ASSERT_EQ(24u, s.positions.size());
    expectNear(Ogre::Vector3(10, 11, 1), s.positions[0]);
    expectNear(Ogre::Vector3(10 - 0.525f, 10.5f, 1), s.positions[8]);
    expectNear(Ogre::Vector3(10 - 1.05f, 10, 1), s.positions[16]);
    expectNear(Ogre::Vector3(10, 9, 1), s.positions[16 + 6]);
}

TEST_F(ObjectBuilderTest, MaximumWidthDropsTheFirstGlyphPastItAndEverythingAfter)
{
    Ogre::Vector2 drawn;
    test::SectionContents s = build(
        [&]
        { drawn = text("abc\nd", 1, OgreObjectBuilder::ALIGN_LEFT, OgreObjectBuilder::ALIGN_RIGHT, 1.1f); });
    EXPECT_EQ(8u, s.positions.size());
    EXPECT_EQ(Ogre::Vector2(1.05f, 1), drawn);

    // Right-aligned, the text is placed as if it were exactly the maximum width.
    s = build(
        [&]
        {
            text("abc", 1, OgreObjectBuilder::ALIGN_RIGHT, OgreObjectBuilder::ALIGN_RIGHT, 1.1f,
                 Ogre::Vector3(5, 0, 0));
        });
    ASSERT_EQ(8u, s.positions.size());
    expectNear(Ogre::Vector3(3.9f, 0, 0), s.positions[0]);
}

TEST_F(ObjectBuilderTest, MissingAndMalformedCharactersAdvanceWithoutThrowing)
{
    // U+00E9 is not in the font: it advances by the default glyph width and draws nothing.
    EXPECT_EQ(Ogre::Vector2(1.55f, 1), builder.calculateTextSize(std::string("\xC3\xA9") + "a", 1));
    test::SectionContents s = build(
        [&]
        {
            text("\xC3\xA9"
                 "a");
        });
    ASSERT_EQ(4u, s.positions.size());
    expectNear(Ogre::Vector3(1.05f, 0, 0), s.positions[0]);

    // Bad bytes become U+FFFD, which the font draws one height wide.
    s = build([&] { text("a\xFF\xC3"); });
    ASSERT_EQ(12u, s.positions.size());
    EXPECT_EQ(Ogre::Vector2(0, 0), s.uvs[4]);
    expectNear(Ogre::Vector3(0.55f + 1.05f, 0, 0), s.positions[8]);
}

TEST_F(ObjectBuilderTest, LongTextSwitchesToWideIndices)
{
    const std::string longText(20000, 'x');
    test::SectionContents s = build([&] { text(longText, 0.01f); });
    EXPECT_EQ(80000u, s.positions.size());
    EXPECT_EQ(79999u, *std::max_element(s.indices.begin(), s.indices.end()));
}

TEST_F(ObjectBuilderTest, FormatColumnsAlignUnderlineAndSizeTheBlock)
{
    Ogre::Vector2 size;
    test::SectionContents s = build(
        [&]
        {
            size = builder.addTextFormatted(Ogre::Vector3(0, 0, 0), "10l|20r_", "a|b", 1, RED,
                                            OgreObjectBuilder::ALIGN_LEFT, OgreObjectBuilder::ALIGN_RIGHT);
        });
    EXPECT_EQ(Ogre::Vector2(30, 1.15f), size);
    ASSERT_EQ(12u, s.positions.size());
    expectNear(Ogre::Vector3(0, 0, 0), s.positions[0]);
    // "b" right-aligned in the column from 10 to 30; the underline runs along the column one height down.
    expectNear(Ogre::Vector3(29.5f, 0, 0), s.positions[4]);
    expectNear(Ogre::Vector3(10, -1.075f, 0), s.positions[8]);
    expectNear(Ogre::Vector3(30, -0.925f, 0), s.positions[11]);

    // A centred single column, the block centred on the anchor both ways.
    s = build(
        [&]
        {
            size = builder.addTextFormatted(Ogre::Vector3(0, 0, 0), "4m", "a", 1, RED,
                                            OgreObjectBuilder::ALIGN_MIDDLE, OgreObjectBuilder::ALIGN_MIDDLE);
        });
    EXPECT_EQ(Ogre::Vector2(4, 1), size);
    expectNear(Ogre::Vector3(-0.25f, 0.5f, 0), s.positions[0]);
}

TEST_F(ObjectBuilderTest, FormatFieldsEndWithTheTextOrTheColumns)
{
    auto vertices = [&](const std::string& format, const std::string& s)
    {
        return build(
                   [&]
                   {
                       builder.addTextFormatted(Ogre::Vector3(0, 0, 0), format, s, 1, RED,
                                                OgreObjectBuilder::ALIGN_LEFT,
                                                OgreObjectBuilder::ALIGN_RIGHT);
                   })
            .positions.size();
    };
    EXPECT_EQ(4u, vertices("10l", "a|b|c"));
    // The empty trailing field ends the walk before the underlined second column.
    EXPECT_EQ(4u, vertices("10l|10l_", "a|"));
    // An empty middle field is skipped but its column still counts.
    EXPECT_EQ(8u, vertices("10l|10l|10l", "a||c"));
    // A quoted token keeps its bar, so this is one column.
    EXPECT_EQ(4u, vertices("\"10|l\"", "a|b"));
}

TEST_F(ObjectBuilderTest, InvalidFormatsFallBackToPlainText)
{
    for (const char* format : {"l|10", "10|m", "abc", "-3", "0.0"})
    {
        Ogre::Vector2 size;
        test::SectionContents s = build(
            [&]
            {
                size =
                    builder.addTextFormatted(Ogre::Vector3(0, 0, 0), format, "a|b", 1, RED,
                                             OgreObjectBuilder::ALIGN_LEFT, OgreObjectBuilder::ALIGN_RIGHT);
            });
        EXPECT_EQ(12u, s.positions.size()) << format;
        EXPECT_EQ(Ogre::Vector2(1.6f, 1), size) << format;
    }
}
