#include "toolkit/configuration.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using brix::Configuration;

namespace
{
const unsigned VERSION = 0x01040200;

class Recorder : public Configuration::Listener
{
public:
    Recorder(std::vector<std::string>& calls, const std::string& tag) : mCalls(calls), mTag(tag) {}
    void onParameterChange(const std::string& name) override { mCalls.push_back(mTag + ":" + name); }

private:
    std::vector<std::string>& mCalls;
    std::string mTag;
};

class ConfigurationTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(brix::Log::open(mDir.file("application.log").c_str(), false)); }
    void TearDown() override { brix::Log::close(); }

    bool logged(const std::string& text) const
    {
        return test::readFile(mDir.file("application.log")).find(text) != std::string::npos;
    }

    test::TempDir mDir;
    std::vector<std::string> mCalls;
};
} // namespace

TEST_F(ConfigurationTest, ClipsDefaultsAndRefusesDuplicates)
{
    Configuration config(VERSION);
    EXPECT_TRUE(config.addIntegerParameter("a/b", 50, 0, 10, VERSION));
    EXPECT_EQ(config.getInteger("a/b"), 10);
    EXPECT_TRUE(logged("Too high value for configration parameter 'a/b' clipped to 10"));

    EXPECT_FALSE(config.addIntegerParameter("a/b", 3, 0, 5, VERSION));
    EXPECT_FALSE(config.addStringParameter("a/b", "x", 0, 5, VERSION));
    EXPECT_TRUE(logged("Attempt to add a duplicate configuration parameter 'a/b'"));
    EXPECT_EQ(config.getInteger("a/b"), 10);
    config.setInteger("a/b", 7);
    EXPECT_EQ(config.getInteger("a/b"), 7); // the limits are still the first declaration's
    config.setInteger("a/b", -1);
    EXPECT_EQ(config.getInteger("a/b"), 0);
    EXPECT_TRUE(logged("Too low value for configuration parameter 'a/b' clipped to 0"));
}

TEST_F(ConfigurationTest, ClipsNumbersOnlyWithinSaneLimits)
{
    Configuration config(VERSION);
    config.addIntegerParameter("free/count", 0, 1, 0, VERSION);
    EXPECT_TRUE(config.setInteger("free/count", -123456));
    EXPECT_EQ(config.getInteger("free/count"), -123456);
    // Equal limits still hold the value.
    config.addIntegerParameter("fixed/count", 5, 3, 3, VERSION);
    EXPECT_EQ(config.getInteger("fixed/count"), 3);

    config.addFloatParameter("audio/volume", 2.0f, 0.0f, 1.0f, VERSION);
    EXPECT_FLOAT_EQ(config.getFloat("audio/volume"), 1.0f);
    EXPECT_TRUE(logged("Too high value for configuration parameter 'audio/volume' clipped to 1.000000"));
    config.setFloat("audio/volume", -0.5f);
    EXPECT_FLOAT_EQ(config.getFloat("audio/volume"), 0.0f);
    EXPECT_TRUE(logged("Too low value for configuration parameter 'audio/volume' clipped to 0.000000"));
    config.setFloat("audio/volume", 0.25f);
    EXPECT_FALSE(config.setFloat("audio/volume", std::nanf("")));
    EXPECT_FLOAT_EQ(config.getFloat("audio/volume"), 0.25f);

    config.addStringParameter("player/name", "Ann", 1, 4, VERSION);
    EXPECT_TRUE(config.setString("player/name", "Bartholomew"));
    EXPECT_EQ(config.getString("player/name"), "Bartholomew");
    EXPECT_TRUE(logged("Too long value for configuration parameter 'player/name' bytes"));
    EXPECT_TRUE(config.setString("player/name", ""));
    EXPECT_TRUE(logged("Too short value for configuration parameter 'player/name'"));
}

TEST_F(ConfigurationTest, NotifiesListenersOncePerChangeInOrder)
{
    Configuration config(VERSION);
    config.addIntegerParameter("video/width", 1280, 320, 4096, VERSION);
    config.addBooleanParameter("video/fullscreen", false, VERSION);
    Recorder first(mCalls, "1"), second(mCalls, "2");
    config.addListener(&first);
    config.addListener(&second);
    config.addListener(&first);

    EXPECT_TRUE(config.setInteger("video/width", 1280));
    EXPECT_TRUE(config.setInteger("video/width", 99999));
    EXPECT_TRUE(config.setInteger("video/width", 99999)); // clipped to the stored 4096: no change
    EXPECT_TRUE(config.setBoolean("video/fullscreen", true));
    EXPECT_EQ(mCalls, (std::vector<std::string>{"1:video/width", "2:video/width", "1:video/fullscreen",
                                                "2:video/fullscreen"}));

    mCalls.clear();
    config.removeListener(&first);
    config.updateAllParameters();
    EXPECT_EQ(mCalls, (std::vector<std::string>{"2:video/width", "2:video/fullscreen"}));
}

TEST_F(ConfigurationTest, ListenerMayRemoveAnotherWhileBeingTold)
{
    Configuration config(VERSION);
    config.addBooleanParameter("a/b", false, VERSION);
    Recorder last(mCalls, "last");
    struct Remover : Configuration::Listener
    {
        Configuration* config;
        Configuration::Listener* victim;
        void onParameterChange(const std::string&) override { config->removeListener(victim); }
    } remover;
    remover.config = &config;
    remover.victim = &last;
    config.addListener(&remover);
    config.addListener(&last);
    config.setBoolean("a/b", true);
    EXPECT_TRUE(mCalls.empty());
}

TEST_F(ConfigurationTest, SetsAndGetsEveryTypeAsText)
{
    Configuration config(VERSION);
    config.addBooleanParameter("video/vsync", false, VERSION);
    config.addIntegerParameter("video/width", 640, 0, 10000, VERSION);
    config.addFloatParameter("audio/volume", 0.5f, 0.0f, 1.0f, VERSION);
    config.addStringParameter("player/name", "Ann", 0, 32, VERSION);

    EXPECT_EQ(config.get("audio/volume"), "0.500000");
    EXPECT_FALSE(config.set("video/vsync", "1"));
    EXPECT_EQ(config.get("video/vsync"), "0");
    EXPECT_TRUE(config.set("video/vsync", "  true"));
    EXPECT_EQ(config.get("video/vsync"), "1");
    EXPECT_TRUE(config.set("video/vsync", "false"));
    EXPECT_FALSE(config.getBoolean("video/vsync"));

    EXPECT_TRUE(config.set("video/width", " 800px"));
    EXPECT_EQ(config.get("video/width"), "800");
    EXPECT_FALSE(config.set("video/width", "wide"));
    EXPECT_FALSE(config.set("video/width", ""));
    EXPECT_EQ(config.getInteger("video/width"), 800);
    EXPECT_TRUE(config.set("video/width", "99999999999999999999"));
    EXPECT_EQ(config.getInteger("video/width"), 10000);

    EXPECT_TRUE(config.set("audio/volume", ".25"));
    EXPECT_FLOAT_EQ(config.getFloat("audio/volume"), 0.25f);
    EXPECT_FALSE(config.set("audio/volume", "nan"));
    EXPECT_FALSE(config.set("audio/volume", "-"));
    EXPECT_TRUE(config.set("player/name", " Bo "));
    EXPECT_EQ(config.get("player/name"), " Bo ");

    EXPECT_FALSE(config.set("player/age", "3"));
    EXPECT_EQ(config.get("player/age"), "");
    EXPECT_FALSE(config.setInteger("audio/volume", 1));
    EXPECT_EQ(config.getInteger("audio/volume"), 0);
    EXPECT_EQ(config.getString("video/width"), "");
    EXPECT_TRUE(logged("Configuration parameter type conflict 'audio/volume'"));
    EXPECT_TRUE(logged("Access to non-existing configuration parameter 'player/age'"));
}

TEST_F(ConfigurationTest, SavesSectionsInOrderOfTheirFirstParameter)
{
    Configuration config(VERSION);
    config.addIntegerParameter("video/width", 1280, 0, 10000, VERSION);
    config.addFloatParameter("audio/volume", 0.5f, 0.0f, 1.0f, VERSION);
    config.addIntegerParameter("video/height", 720, 0, 10000, VERSION);
    config.addBooleanParameter("audio/music", true, VERSION);
    config.addStringParameter("player/name", "  Ann ", 0, 32, VERSION);
    const std::string path = mDir.file("configuration.xml");
    ASSERT_TRUE(config.save(path));
    EXPECT_EQ(test::readFile(path), "<configuration>\n"
                                    "\t<version>17039872</version>\n"
                                    "\t<video>\n"
                                    "\t\t<width>1280</width>\n"
                                    "\t\t<height>720</height>\n"
                                    "\t</video>\n"
                                    "\t<audio>\n"
                                    "\t\t<volume>0.500000</volume>\n"
                                    "\t\t<music>true</music>\n"
                                    "\t</audio>\n"
                                    "\t<player>\n"
                                    "\t\t<name>Ann</name>\n"
                                    "\t</player>\n"
                                    "</configuration>\n");

    EXPECT_FALSE(config.save());
    EXPECT_TRUE(logged("Attempt to save configuration without file name (not loaded from a file)"));
    EXPECT_FALSE(config.save(mDir.file("missing/configuration.xml")));
    EXPECT_TRUE(logged("Configuration saving to file '" + mDir.file("missing/configuration.xml") +
                       "' failed (-1): Unable to open target file"));
}

TEST_F(ConfigurationTest, LoadsValuesOnlyFromFilesOfTheirVersionOrLater)
{
    const std::string path = mDir.file("configuration.xml");
    test::writeFile(path, "<configuration><version>17039616</version>"
                          "<video><width>20000</width><height>600</height></video>"
                          "<audio><volume>0.75</volume></audio><unknown>1</unknown></configuration>");
    Configuration config(VERSION);
    config.addIntegerParameter("video/width", 1280, 0, 10000, 0x01040100);
    config.addIntegerParameter("video/height", 720, 0, 10000, VERSION); // 0x01040200 > file's 0x01040100
    config.addFloatParameter("audio/volume", 0.5f, 0.0f, 1.0f, 0);
    config.addBooleanParameter("audio/music", true, 0);
    Recorder recorder(mCalls, "r");
    config.addListener(&recorder);

    ASSERT_TRUE(config.load(path));
    EXPECT_EQ(config.getInteger("video/width"), 10000);
    EXPECT_EQ(config.getInteger("video/height"), 720);
    EXPECT_FLOAT_EQ(config.getFloat("audio/volume"), 0.75f);
    EXPECT_TRUE(config.getBoolean("audio/music"));
    EXPECT_EQ(mCalls, (std::vector<std::string>{"r:video/width", "r:audio/volume"}));
    EXPECT_TRUE(logged("Configuration parameter 'video/height' value ignored (interpretation changed between "
                       "versions)"));
    EXPECT_TRUE(logged("No value for configuration parameter 'audio/music'"));

    // Saving back writes the configuration's own version.
    ASSERT_TRUE(config.save());
    brix::XMLElement saved("");
    ASSERT_GE(saved.load(path), 0);
    EXPECT_EQ(saved.getValueAsInteger("version", 0), static_cast<int>(VERSION));
    EXPECT_EQ(saved.getValueAsInteger("video/width", 0), 10000);
}

TEST_F(ConfigurationTest, MissingFileKeepsItsPathAndBadFileKeepsTheValues)
{
    const std::string path = mDir.file("configuration.xml");
    Configuration config(VERSION);
    config.addIntegerParameter("video/width", 1280, 0, 10000, VERSION);
    EXPECT_TRUE(config.load(path));
    EXPECT_TRUE(logged("No configuration file '" + path + "' found"));
    config.setInteger("video/width", 800);
    ASSERT_TRUE(config.save());

    Configuration reloaded(VERSION);
    reloaded.addIntegerParameter("video/width", 1280, 0, 10000, VERSION);
    ASSERT_TRUE(reloaded.load(path));
    EXPECT_EQ(reloaded.getInteger("video/width"), 800);

    test::writeFile(path, "<configuration><version>17039872</version><video><width>640</width></vid>");
    EXPECT_FALSE(reloaded.load(path));
    EXPECT_EQ(reloaded.getInteger("video/width"), 800);
    EXPECT_TRUE(logged("Configuration file '" + path + "' loading failed (-"));
    EXPECT_TRUE(logged("Mismatching closing tag 'vid' while expecting 'video' at /configuration/video"));
}

TEST_F(ConfigurationTest, FirstConstructedIsTheInstance)
{
    EXPECT_EQ(Configuration::getInstance(), nullptr);
    {
        Configuration first(VERSION);
        Configuration second(first);
        EXPECT_EQ(Configuration::getInstance(), &first);
    }
    EXPECT_EQ(Configuration::getInstance(), nullptr);
}
