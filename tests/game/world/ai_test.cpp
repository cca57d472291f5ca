#include "game/world/ai.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "support/game/gameworld.h"
#include "toolkit/xmlelement.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace
{
// An AI that looks to +x, sees whatever the test does not hide, and records its thinks.
class ProbeAI : public game::AI
{
public:
    using game::AI::AI;
    using game::AI::switchToCloserTarget;

    bool isTargetInView(const Ogre::Vector3& offset) const override { return offset.x >= 0.0f; }
    int checkVisibility(game::Entity* target) override
    {
        ++visibilityChecks;
        return hidden.count(target->getId()) ? VISIBILITY_NONE : VISIBILITY_CLEAR;
    }
    void idle() override { ++idles; }
    void think(float elapsed) override
    {
        thinks.push_back(elapsed);
        updateTarget(elapsed, range);
    }

    float range = 10.0f;
    std::set<uint32_t> hidden;
    std::vector<float> thinks;
    int idles = 0;
    int visibilityChecks = 0;
};

class AIWithOwner : public testing::Test
{
protected:
    game::Entity* makeOwner()
    {
        world.loadEntities();
        return world.create("crate", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    }

    // Loads the tuning from the text of an "ai" element.
    void load(const std::string& text, ProbeAI& target)
    {
        brix::XMLElement element("ai");
        ASSERT_GE(element.parse(text), 0);
        EXPECT_TRUE(target.load(&element));
    }

    // Runs whole thinks (four updates each).
    void think(int count)
    {
        for (int i = 0; i < count * 4; ++i)
            probe.update();
    }

    test::GameOgre ogre;
    test::GameWorld world{nullptr};
    game::Entity* owner = makeOwner();
    ProbeAI probe{&world.entities(), owner};
};
} // namespace

TEST_F(AIWithOwner, ThinksOnEveryFourthTickWithATenthOfASecond)
{
    std::vector<bool> results;
    for (int i = 0; i < 12; ++i)
        results.push_back(probe.update());
    EXPECT_EQ(results, std::vector<bool>({false, false, false, true, false, false, false, true, false, false,
                                          false, true}));
    ASSERT_EQ(probe.thinks.size(), 3u);
    for (float elapsed : probe.thinks)
        EXPECT_EQ(elapsed, game::AI::THINK_SECONDS);
    EXPECT_EQ(probe.idles, 9);
}

TEST_F(AIWithOwner, LoadsTuningAndCopiesItToInstances)
{
    EXPECT_FALSE(probe.isLoaded());
    load("<ai><targetdetecttime>0.3</targetdetecttime><targetreleasetime>1.5</targetreleasetime>"
         "<targettype>human</targettype><targettype>prop</targettype><targetname>barrel</targetname></ai>",
         probe);
    EXPECT_TRUE(probe.isLoaded());
    EXPECT_FLOAT_EQ(probe.getTargetDetectTime(), 0.3f);
    EXPECT_FLOAT_EQ(probe.getTargetReleaseTime(), 1.5f);

    ProbeAI copy(&world.entities(), owner);
    copy.copyParameters(probe);
    EXPECT_TRUE(copy.isLoaded());
    EXPECT_FLOAT_EQ(copy.getTargetReleaseTime(), 1.5f);
    game::Entity* barrel = world.create("barrel", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    game::Entity* crate = world.create("crate", Ogre::Vector3(3.0f, 0.5f, 0.0f));
    EXPECT_TRUE(copy.matchesTargetFilters(barrel));
    EXPECT_FALSE(copy.matchesTargetFilters(crate));

    // No element: unloaded, the tuning stays.
    EXPECT_FALSE(probe.load(nullptr));
    EXPECT_FALSE(probe.isLoaded());
    EXPECT_FLOAT_EQ(probe.getTargetDetectTime(), 0.3f);
}

TEST_F(AIWithOwner, TakesACandidateSeenForTheDetectTimeWithoutABreak)
{
    load("<ai><targetdetecttime>0.3</targetdetecttime></ai>", probe);
    game::Entity* crate = world.create("crate", Ogre::Vector3(4.0f, 0.5f, 0.0f));
    think(2);
    EXPECT_EQ(probe.getTargetId(), 0u);
    // A think without any candidate starts the count again.
    probe.hidden.insert(crate->getId());
    think(1);
    probe.hidden.clear();
    think(2);
    EXPECT_EQ(probe.getTargetId(), 0u);
    think(1);
    EXPECT_EQ(probe.getTargetId(), crate->getId());
    // A new target has no visibility until the next think.
    EXPECT_EQ(probe.getTargetVisibility(), game::AI::VISIBILITY_NONE);
    EXPECT_FLOAT_EQ(probe.getTargetDistance(), 4.0f);
    EXPECT_FLOAT_EQ(probe.getTargetHorizontalDistance(), 4.0f);
    EXPECT_EQ(probe.getTargetDirection(), Ogre::Vector2(1.0f, 0.0f));
    think(1);
    EXPECT_EQ(probe.getTargetVisibility(), game::AI::VISIBILITY_CLEAR);
}

TEST_F(AIWithOwner, KeepsAHiddenTargetUntilTheReleaseTimeThenKeepsItsLastGeometry)
{
    load("<ai><targetreleasetime>1.0</targetreleasetime></ai>", probe);
    game::Entity* crate = world.create("crate", Ogre::Vector3(3.0f, 4.5f, 0.0f));
    think(1);
    ASSERT_EQ(probe.getTargetId(), crate->getId());

    probe.hidden.insert(crate->getId());
    think(9);
    EXPECT_EQ(probe.getTargetId(), crate->getId());
    probe.hidden.clear();
    think(1);
    EXPECT_EQ(probe.getTargetId(), crate->getId());

    probe.hidden.insert(crate->getId());
    think(9);
    EXPECT_EQ(probe.getTargetId(), crate->getId());
    crate->setPosition(Ogre::Vector3(6.0f, 0.5f, 0.0f));
    think(1);
    EXPECT_EQ(probe.getTargetId(), 0u);
    EXPECT_EQ(probe.getTargetVisibility(), game::AI::VISIBILITY_NONE);
    // Dropped on that think before the geometry was refreshed: the last values stay.
    EXPECT_FLOAT_EQ(probe.getTargetDistance(), 5.0f);
    EXPECT_EQ(probe.getTargetDirection(), Ogre::Vector2(0.6f, 0.8f));
}

TEST_F(AIWithOwner, DropsADeadTargetAtOnceAndStartsOnTheNextCandidate)
{
    load("<ai><targetdetecttime>0.2</targetdetecttime><targetreleasetime>5</targetreleasetime></ai>", probe);
    game::Entity* near = world.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    game::Entity* far = world.create("crate", Ogre::Vector3(5.0f, 0.5f, 0.0f));
    think(2);
    ASSERT_EQ(probe.getTargetId(), near->getId());
    near->damage(100.0f, near->getPosition(), Ogre::Vector3::ZERO, 0);
    ASSERT_EQ(near->getHealth(), 0.0f);
    // The think that drops it already counts the other crate once.
    think(1);
    EXPECT_EQ(probe.getTargetId(), 0u);
    think(1);
    EXPECT_EQ(probe.getTargetId(), far->getId());
}

TEST_F(AIWithOwner, ChoosesTheNearestCandidateWithinRangeThroughItsFilters)
{
    probe.range = 5.0f;
    load("<ai><targettype>prop</targettype></ai>", probe);
    // Behind, beyond the range, and two at the same distance: the first made wins.
    world.create("crate", Ogre::Vector3(-1.0f, 0.5f, 0.0f));
    world.create("crate", Ogre::Vector3(5.5f, 0.5f, 0.0f));
    game::Entity* first = world.create("barrel", Ogre::Vector3(3.0f, 0.5f, 4.0f));
    world.create("crate", Ogre::Vector3(3.0f, 0.5f, -4.0f));
    think(1);
    // Exactly at the range passes.
    EXPECT_EQ(probe.getTargetId(), first->getId());

    ProbeAI byName(&world.entities(), owner);
    load("<ai><targetname>crate</targetname></ai>", byName);
    byName.range = 5.0f;
    for (int i = 0; i < 4; ++i)
        byName.update();
    EXPECT_NE(byName.getTargetId(), first->getId());
    EXPECT_NE(byName.getTargetId(), 0u);
    EXPECT_NE(byName.getTargetId(), owner->getId());
}

TEST_F(AIWithOwner, NeverTargetsItselfOrItsOwner)
{
    load("<ai></ai>", probe);
    game::Entity* maker = world.create("barrel", Ogre::Vector3(1.0f, 0.5f, 0.0f));
    owner->setOwnerId(maker->getId());
    think(1);
    EXPECT_EQ(probe.getTargetId(), 0u);
    EXPECT_FALSE(probe.matchesTargetFilters(owner));
    EXPECT_FALSE(probe.matchesTargetFilters(maker));
    game::Entity* other = world.create("crate", Ogre::Vector3(3.0f, 0.5f, 0.0f));
    think(1);
    EXPECT_EQ(probe.getTargetId(), other->getId());
}

TEST_F(AIWithOwner, SwitchesOnlyToAStrictlyCloserTarget)
{
    load("<ai></ai>", probe);
    game::Entity* far = world.create("crate", Ogre::Vector3(6.0f, 0.5f, 0.0f));
    think(1);
    ASSERT_EQ(probe.getTargetId(), far->getId());
    game::Entity* near = world.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    probe.switchToCloserTarget(1.5f);
    EXPECT_EQ(probe.getTargetId(), far->getId());
    probe.switchToCloserTarget(5.0f);
    EXPECT_EQ(probe.getTargetId(), near->getId());
    EXPECT_FLOAT_EQ(probe.getTargetDistance(), 2.0f);

    probe.reset();
    EXPECT_EQ(probe.getTargetId(), 0u);
    EXPECT_EQ(probe.getAimDirection(), Ogre::Vector2(1.0f, 0.0f));
    EXPECT_FALSE(probe.isFiring());
}
