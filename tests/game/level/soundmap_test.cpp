#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"

#include "game/level/level.h"

#include <OgreImage.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
// A 3 x 2 image whose red channel is the column's tenth and green the row's tenth.
struct TGradient
{
    unsigned char bytes[3 * 2 * 4];
    Ogre::Image image;

    TGradient()
    {
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
            {
                unsigned char* texel = bytes + (y * 3 + x) * 4;
                texel[0] = static_cast<unsigned char>(x * 51);
                texel[1] = static_cast<unsigned char>(y * 51);
                texel[2] = 0;
                texel[3] = 255;
            }
        image.loadDynamicImage(bytes, 3, 2, 1, Ogre::PF_BYTE_RGBA);
    }
};

void expectColour(float red, float green, const Ogre::ColourValue& colour)
{
    EXPECT_NEAR(red, colour.r, 1e-3f);
    EXPECT_NEAR(green, colour.g, 1e-3f);
}

TEST(SoundMap, SamplesBilinearlyWithTexelsOnWholeCoordinates)
{
    TGradient gradient;
    const Ogre::Image& image = gradient.image;
    expectColour(0.0f, 0.0f, game::Level::sampleImage(image, 0, 0));
    expectColour(0.2f, 0.2f, game::Level::sampleImage(image, 1, 1));
    expectColour(0.1f, 0.1f, game::Level::sampleImage(image, 0.5f, 0.5f));
    expectColour(0.25f, 0.05f, game::Level::sampleImage(image, 1.25f, 0.25f));
    // The last row blends along x only, the last column along y only, the corner not at all.
    expectColour(0.15f, 0.2f, game::Level::sampleImage(image, 0.75f, 1.5f));
    expectColour(0.4f, 0.1f, game::Level::sampleImage(image, 2.5f, 0.5f));
    expectColour(0.4f, 0.2f, game::Level::sampleImage(image, 2.9f, 1.9f));
    // Within a texel before the first, the first texel; a whole texel or more out, black.
    expectColour(0.0f, 0.0f, game::Level::sampleImage(image, -0.5f, -0.5f));
    const Ogre::ColourValue black = Ogre::ColourValue::Black;
    EXPECT_EQ(black, game::Level::sampleImage(image, -1.0f, 0.5f));
    EXPECT_EQ(black, game::Level::sampleImage(image, 3.0f, 0.5f));
    EXPECT_EQ(black, game::Level::sampleImage(image, 0.5f, 2.0f));
    EXPECT_EQ(black, game::Level::sampleImage(image, 1e30f, 0.0f));
    EXPECT_EQ(black, game::Level::sampleImage(image, std::numeric_limits<float>::quiet_NaN(), 0.0f));
}

TEST(SoundMap, AnswersTheMiddleWithoutASoundMap)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom(), "quiet", true));
    EXPECT_FALSE(world.level().hasSoundMap());
    float red = 0.0f;
    float green = 0.0f;
    world.level().sampleSoundMap(Ogre::Vector3(1, 1, 0), red, green);
    EXPECT_EQ(0.5f, red);
    EXPECT_EQ(0.5f, green);
}
TEST(SoundMap, ReadsTheLevelsSoundMapOverItsBox)
{
    test::LevelWorld world(false, {"Codec_STBI"});
    test::LevelBuilder builder;
    ASSERT_TRUE(builder.smallRoom().save(world.level(), "echo"));
    TGradient gradient;
    const std::string file = world.userDirectory() + "/levels/echo_soundmap.png";
    gradient.image.save(file);
    ASSERT_FALSE(test::readFile(file).empty());
    test::LogCapture log;
    ASSERT_TRUE(world.load("echo", true));
    ASSERT_TRUE(world.level().hasSoundMap()) << testing::PrintToString(log.errors());

    // The box runs from (-11, -5.5) to (11, 4.5); image row 0 is its top.
    struct TCase
    {
        Ogre::Vector3 position;
        float red;
        float green;
    };
    const TCase cases[] = {{Ogre::Vector3(-11, 4.5f, 0), 0.0f, 0.0f},
                           {Ogre::Vector3(0, -0.5f, 3), 0.3f, 0.2f},
                           {Ogre::Vector3(-11 + 22.0f / 3, 4.5f - 10.0f / 4, 0), 0.2f, 0.1f},
                           {Ogre::Vector3(-20, 0, 0), 0.0f, 0.0f}};
    for (const TCase& sample : cases)
    {
        float red = -1.0f;
        float green = -1.0f;
        world.level().sampleSoundMap(sample.position, red, green);
        EXPECT_NEAR(sample.red, red, 1e-3f) << sample.position;
        EXPECT_NEAR(sample.green, green, 1e-3f) << sample.position;
    }
    world.level().clear();
    EXPECT_FALSE(world.level().hasSoundMap());
}
} // namespace
