// Two minutes of the shipped enemies against a player, on a server and a client joined by the
// in-memory link: what the enemies do, what their deaths score, and what the client sees.
#include "game/world/crawler.h"
#include "game/world/drone.h"
#include "game/world/droneai.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/human.h"
#include "game/world/sentrygun.h"
#include "support/game/entitylink.h"
#include "support/tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

using testing::Contains;

namespace
{
constexpr int TICKS_PER_SECOND = 40;
// The player's gun: the shipped pistol's bullet, every 0.3 s, at the nearest enemy within 12.
constexpr int SHOT_TICKS = 12;
constexpr float SHOT_RANGE = 12.0f;
constexpr float BULLET_SPEED = 40.0f;

// Scores the way a player does: the victim's kill score for each enemy its human killed.
class KillLedger : public game::EventDispatcher::Listener
{
public:
    KillLedger(game::EntityManager& entities, uint32_t human) : mEntities(entities), mHuman(human) {}
    void onEvent(unsigned int id, int a, int b, const std::string&) override
    {
        if (id != game::EventDispatcher::DroneKilled && id != game::EventDispatcher::CrawlerKilled)
            return;
        const game::Enemy* victim =
            static_cast<const game::Enemy*>(mEntities.getEntity(static_cast<uint32_t>(a)));
        deaths[static_cast<uint32_t>(a)] = {id, static_cast<uint32_t>(b)};
        if (victim && static_cast<uint32_t>(b) == mHuman)
            score += victim->getKillScore();
    }
    std::map<uint32_t, std::pair<unsigned, uint32_t>> deaths;
    int score = 0;

private:
    game::EntityManager& mEntities;
    uint32_t mHuman;
};

class EnemyScenario : public testing::Test
{
protected:
    EnemyScenario()
    {
        std::srand(20);
        for (test::GameWorld* side : {&link.server, &link.client})
        {
            side->entities().loadEntityPrototypes(test::sourcePath("entities.xml"));
            // A floor rays can hit, a wall at the east end and the wall of a side room in the west.
            side->addBlock(Ogre::Vector3(0.0f, -0.5f, 0.0f), Ogre::Vector3(80.0f, 1.0f, 3.0f));
            side->addBlock(Ogre::Vector3(20.5f, 3.0f, 0.0f), Ogre::Vector3(1.0f, 6.0f, 3.0f));
            side->addBlock(Ogre::Vector3(-30.5f, 5.0f, 0.0f), Ogre::Vector3(1.0f, 10.0f, 3.0f));
        }
    }

    game::Entity* create(const std::string& name, float x, float y)
    {
        return link.server.create(name, Ogre::Vector3(x, y, 0.0f));
    }

    // The entity of that id while it is still the one of that definition (a dead one's slot
    // goes to another entity once it is purged); null after.
    game::Entity* find(uint32_t id, const std::string& name)
    {
        game::Entity* entity = link.server.entities().getEntity(id);
        return entity && entity->getName() == name ? entity : nullptr;
    }

    // The nearest live enemy within range of the player, or null.
    game::Entity* nearestEnemy(const game::Entity* player)
    {
        game::Entity* best = nullptr;
        float bestDistance = SHOT_RANGE;
        for (const char* type : {"drone", "crawler", "sentrygun"})
        {
            found.clear();
            link.server.entities().findEntities(found, player->getPosition(), SHOT_RANGE, type);
            for (game::Entity* enemy : found)
            {
                float distance = enemy->getPosition().distance(player->getPosition());
                if (enemy->getHealth() > 0.0f && distance < bestDistance)
                {
                    best = enemy;
                    bestDistance = distance;
                }
            }
        }
        return best;
    }

    void shoot(const game::Entity* player, const game::Entity* target)
    {
        Ogre::Vector3 from = player->getPosition() + Ogre::Vector3(0.0f, 0.5f, 0.0f);
        Ogre::Vector3 direction = (target->getPosition() - from).normalisedCopy();
        game::Entity* bullet =
            link.server.entities().createEntity("bullet", from + direction * 0.8f, Ogre::Quaternion::IDENTITY,
                                                direction * BULLET_SPEED, Ogre::Vector3::ZERO);
        if (bullet)
            bullet->setOwnerId(player->getId());
    }

    // The player steps to another place, as through a door.
    void move(game::Entity* player, float x)
    {
        player->setPosition(Ogre::Vector3(x, 1.0f, 0.0f));
        player->setVelocity(Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
        player->setTick(player->getTick());
    }

    test::GameOgre ogre;
    test::EntityLink link{ogre, 2, 0.0, 20};
    std::vector<game::Entity*> found;
};
} // namespace

TEST_F(EnemyScenario, EnemiesFindAttackAndLoseThePlayerAndDieWithTheirScores)
{
    game::Human* player = static_cast<game::Human*>(create("player", 0.0f, 1.0f));
    player->applyCheats(true, false);
    const uint32_t playerId = player->getId();
    link.focus(player);
    // Seen at once: a drone above the player. A crawler patrols to the east wall and back; one
    // walks at the player from the west. In the west room, a drone and a sentry gun wait.
    auto* hunter = static_cast<game::Drone*>(create("drone", 5.0f, 4.0f));
    const uint32_t hunterId = hunter->getId();
    const uint32_t patrolId = create("crawler", 14.0f, 0.25f)->getId();
    const uint32_t chargerId = create("crawler", -7.0f, 0.25f)->getId();
    const uint32_t guardId = create("drone", -39.0f, 5.0f)->getId();
    auto* sentry = static_cast<game::SentryGun*>(create("sentrygun", -36.0f, 0.6f));
    const uint32_t sentryId = sentry->getId();
    EXPECT_EQ(hunter->getAI().getState(), game::DroneAI::ATTACK);
    KillLedger ledger(link.server.entities(), playerId);
    link.server.events().addListener(&ledger);

    std::vector<unsigned> guardStates;
    std::set<unsigned> sentryStates, clientHunterStates;
    unsigned sentryShots = 0, clientProjectiles = 0;
    for (int tick = 1; tick <= 120 * TICKS_PER_SECOND; ++tick)
    {
        // 0 to 30 s the player fights in the middle; 30 to 45 s it visits the west room without
        // shooting; then it is back in the middle, where nothing is left to find it.
        if (tick == 30 * TICKS_PER_SECOND)
            move(player, -33.0f);
        if (tick == 45 * TICKS_PER_SECOND)
            move(player, 0.0f);
        if (tick < 30 * TICKS_PER_SECOND && tick % SHOT_TICKS == 0)
            if (game::Entity* target = nearestEnemy(player))
                shoot(player, target);
        link.tick();
        link.server.events().dispatch();

        if (auto* guard = static_cast<game::Drone*>(find(guardId, "drone")))
            if (guardStates.empty() || guardStates.back() != guard->getAI().getState())
                guardStates.push_back(guard->getAI().getState());
        if (find(sentryId, "sentrygun"))
        {
            sentryStates.insert(sentry->getPowerState());
            found.clear();
            link.server.entities().findEntities(found, sentry->getPosition(), 3.0f, "projectile");
            sentryShots += static_cast<unsigned>(found.size());
        }
        game::Entity* seen = link.client.entities().getEntity(hunterId);
        if (seen && seen->getName() == "drone")
            clientHunterStates.insert(static_cast<game::Drone*>(seen)->getAIState());
        found.clear();
        link.client.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "projectile");
        clientProjectiles += static_cast<unsigned>(found.size());
    }
    link.server.events().removeListener(&ledger);

    // The hunter attacked and was shot down by the player, and so were both crawlers, the patrol
    // on its way back from the wall: 150 + 100 + 100 for the player.
    using Death = std::pair<unsigned, uint32_t>;
    EXPECT_EQ(ledger.deaths[hunterId], Death(game::EventDispatcher::DroneKilled, playerId));
    EXPECT_EQ(ledger.deaths[patrolId], Death(game::EventDispatcher::CrawlerKilled, playerId));
    EXPECT_EQ(ledger.deaths[chargerId], Death(game::EventDispatcher::CrawlerKilled, playerId));
    EXPECT_EQ(ledger.score, 350);
    // The guard found the player in its room, attacked, lost it when it left, searched and
    // settled down again; it is still alive, as the player never shot at it.
    EXPECT_NE(find(guardId, "drone"), nullptr)
        << ledger.deaths[guardId].first << " by " << ledger.deaths[guardId].second;
    ASSERT_GE(guardStates.size(), 4u);
    EXPECT_EQ(guardStates[0], game::DroneAI::IDLE);
    EXPECT_EQ(guardStates[1], game::DroneAI::ATTACK);
    EXPECT_EQ(guardStates[guardStates.size() - 2], game::DroneAI::SEARCH);
    EXPECT_EQ(guardStates.back(), game::DroneAI::IDLE);
    // The sentry gun powered up for the visitor and fired.
    EXPECT_TRUE(sentryStates.count(game::SentryGun::READY));
    EXPECT_GT(sentryShots, 0u);
    // The client saw the hunter go from idle to attack (the attack sound) and the shots fly.
    EXPECT_TRUE(clientHunterStates.count(game::DroneAI::ATTACK));
    EXPECT_GT(clientProjectiles, 0u);
    EXPECT_GT(link.appliedRecords(), 1000u);
    EXPECT_LT(link.worstAppliedError(), 0.05f);
}
