#include "game/world/crawlerai.h"
#include "game/world/crawler.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "support/game/eventlink.h"
#include "support/game/gameworld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace
{
// A patrolling crawler that pauses 1 s at each turn and goes off within 1.5 of a "player";
// "post" is a prop that crawlers walk through, "pillar" one that blocks them.
const char* const CRAWLERS = R"(
<crawler><name>patrol</name><id>70</id><body>crawler</body><mesh>crawler.mesh</mesh><speed>1.5</speed>
    <integrity>20</integrity><explosion>barrelexplosion</explosion><killscore>100</killscore>
    <ai><targettype>human</targettype><targetname>player</targetname><targetrange>1.5</targetrange>
    <stuntime>1</stuntime></ai></crawler>
<prop><name>post</name><id>71</id><body>crate</body><mesh>crate.mesh</mesh>
    <attributes><noblockai>true</noblockai><static>true</static></attributes></prop>
<prop><name>pillar</name><id>72</id><body>crate</body><mesh>crate.mesh</mesh>
    <attributes><static>true</static></attributes></prop>
)";
// The crawler body's half height.
constexpr float REST_HEIGHT = 0.25f;

class CrawlerAITest : public testing::Test
{
protected:
    CrawlerAITest()
    {
        world.loadEntities();
        world.loadEntities(CRAWLERS);
        world.events().addListener(&journal);
        // Rays miss the test world's wide ground slab away from its middle: a floor of their own.
        world.addBlock(Ogre::Vector3(0.0f, -0.5f, 0.0f), Ogre::Vector3(80.0f, 1.0f, 3.0f));
    }
    ~CrawlerAITest() override { world.events().removeListener(&journal); }

    game::Crawler* create(float x, float floor = 0.0f)
    {
        return static_cast<game::Crawler*>(
            world.create("patrol", Ogre::Vector3(x, floor + REST_HEIGHT, 0.0f)));
    }
    // Thinks until the crawler's move turns to the side given (or 400 ticks pass); the ticks taken.
    int ticksUntilMove(game::Crawler* crawler, float moveX)
    {
        int ticks = 0;
        while (crawler->getMoveX() != moveX && ticks < 400)
        {
            world.tick();
            ++ticks;
        }
        return ticks;
    }
    std::string killed(const game::Entity* crawler) const
    {
        return std::to_string(game::EventDispatcher::CrawlerKilled) + "," + std::to_string(crawler->getId()) +
               "," + std::to_string(crawler->getId()) + ",";
    }

    test::GameOgre ogre;
    test::GameWorld world{nullptr};
    test::EventJournal journal;
};
} // namespace

TEST_F(CrawlerAITest, TurnsAtAWallPausesForItsStunTimeThenWalksBack)
{
    // A wall whose face stands at x = 3.
    world.addBlock(Ogre::Vector3(3.5f, 2.0f, 0.0f), Ogre::Vector3(1.0f, 4.0f, 3.0f));
    game::Crawler* crawler = create(0.0f);
    world.tick(4);
    EXPECT_EQ(crawler->getMoveX(), 1.0f);
    ticksUntilMove(crawler, 0.0f);
    ASSERT_EQ(crawler->getMoveX(), 0.0f);
    // It stopped short of the wall, facing back. The think that turns it counts down the first
    // tenth of its stun time, so it stands still for nine thinks.
    EXPECT_LT(crawler->getPosition().x, 3.0f - 0.5f + 0.01f);
    EXPECT_GT(crawler->getPosition().x, 1.5f);
    EXPECT_EQ(crawler->getAI().getAimDirection().x, -1.0f);
    EXPECT_EQ(ticksUntilMove(crawler, -1.0f), 36);
    world.tick(40);
    EXPECT_LT(crawler->getLinearVelocity().x, -1.0f);
}

TEST_F(CrawlerAITest, TurnsAtALedgeAndAtBlockingEntitiesButNotAtOnesThatLetItPass)
{
    // A shelf 1 high from x = -10 to 4: its right edge is a drop.
    world.addBlock(Ogre::Vector3(-3.0f, 0.5f, 0.0f), Ogre::Vector3(14.0f, 1.0f, 3.0f));
    game::Crawler* onShelf = create(1.0f, 1.0f);
    world.tick(4);
    ticksUntilMove(onShelf, -1.0f);
    EXPECT_EQ(onShelf->getMoveX(), -1.0f);
    // It turned with the drop less than 0.6 + its half width ahead, and never fell.
    EXPECT_GT(onShelf->getPosition().x, 4.0f - 0.6f - 0.6f);
    EXPECT_GT(onShelf->getPosition().y, 1.0f);

    // On the ground: a noblockai post hanging low enough to be in the way ahead is walked
    // under, a pillar turns the crawler.
    world.create("post", Ogre::Vector3(15.0f, 1.05f, 0.0f));
    world.create("pillar", Ogre::Vector3(22.0f, 0.5f, 0.0f));
    game::Crawler* walker = create(12.0f);
    world.tick(4);
    ticksUntilMove(walker, -1.0f);
    EXPECT_GT(walker->getPosition().x, 17.0f);
    EXPECT_LT(walker->getPosition().x, 22.0f - 0.5f);
}

TEST_F(CrawlerAITest, AShotFromBehindTurnsItOnItsNextThinkEvenWhilePaused)
{
    game::Crawler* crawler = create(0.0f);
    world.tick(4);
    ASSERT_EQ(crawler->getAI().getAimDirection().x, 1.0f);
    // A shot travelling right came from the left.
    crawler->damage(1.0f, crawler->getPosition(), Ogre::Vector3(1.0f, 0.0f, 0.0f), 0);
    world.tick(4);
    EXPECT_EQ(crawler->getAI().getAimDirection().x, -1.0f);
    EXPECT_EQ(crawler->getMoveX(), -1.0f);
}

TEST_F(CrawlerAITest, GoesOffWithATargetInRangeThroughWallsOrOnTouch)
{
    world.addBlock(Ogre::Vector3(2.0f, 2.0f, 0.0f), Ogre::Vector3(0.4f, 4.0f, 3.0f));
    game::Crawler* crawler = create(1.5f);
    // Someone else's human near it sets nothing off.
    world.loadEntities("<human><name>guard</name><id>73</id><weapon>pistol</weapon></human>");
    world.create("guard", Ogre::Vector3(0.5f, 1.0f, 0.0f));
    world.tick(8);
    EXPECT_EQ(crawler->getState(), game::Entity::ACTIVE);
    // The player, behind the wall 1.33 away: gone at the next think, in its own explosion.
    world.create("player", Ogre::Vector3(2.6f, 1.0f, 0.0f));
    world.tick(4);
    EXPECT_EQ(crawler->getState(), game::Entity::KILLED);
    EXPECT_THAT(journal.events, ElementsAre(killed(crawler)));
}
