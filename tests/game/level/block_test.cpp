#include "support/game/levelworld.h"
#include "support/workingfolder.h"

#include "game/level/block.h"
#include "game/level/level.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreMesh.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
std::string catalogueEntry(const std::string& name, const std::string& extra)
{
    return "<block><name>" + name + "</name><category>test</category><mesh>techcube.mesh</mesh>" + extra +
           "</block>";
}

// The text of the OGRE exception that loading the catalogue throws, or "" when none.
std::string loadCatalogue(test::LevelWorld& world, const std::string& blocks, const char* root = "blocks")
{
    // The meshes are loaded already, so a working folder of its own only needs the catalogue.
    test::WorkingFolder folder;
    folder.write("blocks.xml", std::string("<") + root + ">" + blocks + "</" + root + ">");
    game::Level level(nullptr, &world.simulator(), world.userDirectory());
    try
    {
        level.initialize(nullptr);
    }
    catch (const Ogre::Exception& exception)
    {
        return exception.getDescription();
    }
    return "";
}

TEST(Block, ReadsTheShippedCatalogue)
{
    test::LevelWorld world;
    std::vector<std::string> names;
    world.level().getBlockNames(names);
    ASSERT_EQ(16u, names.size());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    const game::Block* floor = world.level().getBlock("techfloor");
    ASSERT_NE(nullptr, floor);
    EXPECT_EQ("technical", floor->getCategory());
    EXPECT_EQ("techfloor", floor->getBodyTemplateName());
    EXPECT_EQ(Ogre::Vector3(0, 0.5f, 0), floor->getGridSnapOffset());
    EXPECT_EQ(Ogre::Vector3::UNIT_SCALE, floor->getScale());
    ASSERT_TRUE(floor->getMesh());
    EXPECT_EQ("techfloor.mesh", floor->getMesh()->getName());
    EXPECT_EQ("", world.level().getBlock("pipe")->getBodyTemplateName());
    EXPECT_EQ(nullptr, world.level().getBlock("Techfloor"));
}

TEST(Block, TakesAUnitScaleForAMissingZeroOrUnreadableOne)
{
    test::LevelWorld world;
    struct TCase
    {
        const char* scale;
        Ogre::Vector3 expected;
    };
    const TCase cases[] = {{"", Ogre::Vector3::UNIT_SCALE},
                           {"<scale>0 0 0</scale>", Ogre::Vector3::UNIT_SCALE},
                           {"<scale>big</scale>", Ogre::Vector3::UNIT_SCALE},
                           {"<scale>2 2 2</scale>", Ogre::Vector3(2, 2, 2)},
                           {"<scale>1 0 3</scale>", Ogre::Vector3(1, 0, 3)}};
    for (const TCase& entry : cases)
    {
        brix::XMLElement element("");
        ASSERT_GE(element.parse(catalogueEntry("scaled", entry.scale)), 0);
        game::Block block(&world.level());
        block.load(element);
        EXPECT_EQ(entry.expected, block.getScale()) << entry.scale;
        EXPECT_EQ(Ogre::Vector3::ZERO, block.getGridSnapOffset());
        EXPECT_EQ("", block.getBodyTemplateName());
    }
}

TEST(Block, StopsSetUpOnABadCatalogue)
{
    test::LevelWorld world;
    EXPECT_EQ("", loadCatalogue(world, catalogueEntry("plain", "") +
                                           catalogueEntry("solid", "<body>techcube</body>")));
    EXPECT_EQ("Duplicate block name 'twice'",
              loadCatalogue(world, catalogueEntry("twice", "") + catalogueEntry("twice", "")));
    EXPECT_EQ("Reference to non-existing body template'nosuch'",
              loadCatalogue(world, catalogueEntry("ghost", "<body>nosuch</body>")));
    EXPECT_EQ("Attempt to load an block without name",
              loadCatalogue(world, "<block><category>test</category><mesh>techcube.mesh</mesh></block>"));
    EXPECT_EQ("Attempt to load an block without category",
              loadCatalogue(world, "<block><name>loose</name><mesh>techcube.mesh</mesh></block>"));
    EXPECT_EQ(0u, loadCatalogue(world, catalogueEntry("plain", ""), "catalogue")
                      .find("Error loading block definitions: "));
}
} // namespace
