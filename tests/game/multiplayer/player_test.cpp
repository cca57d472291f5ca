#include "game/multiplayer/player.h"
#include "game/level/level.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/package.h"
#include "network/highscoremanager.h"

#include "game/world/controller.h"

#include "support/game/eventlink.h"
#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;
using game::EventDispatcher;
using game::Player;
using game::PlayerManager;

const char* const GRUNT_AND_PACKAGES =
    "<human><name>grunt</name><id>2</id><weapon>pistol</weapon><killscore>100</killscore></human>"
    "<package><name>vials</name><id>3</id><displayname>Vials</"
    "displayname><mesh>health.mesh</mesh><vials>2</vials></package>"
    "<package><name>medkit</name><id>4</id><displayname>Medkit</"
    "displayname><mesh>health.mesh</mesh><health>0.5</health></package>";

// A level running on the authoritative side, a human for each of two players, and a journal
// of every event the match posts.
class Match : public ::testing::Test
{
protected:
    void start(bool singlePlayer, float targetTime = 0.0f, unsigned scoreLimit = 0,
               const std::string& definitions = test::GameWorld::DEFINITIONS)
    {
        test::LevelBuilder builder;
        builder.smallRoom().targetTime(targetTime);
        for (const std::string& name : levelEntities)
            builder.entity(name, Ogre::Vector3(2, 1, 0));
        ASSERT_TRUE(levelWorld.load(builder, "mpscores"));
        world.reset(new test::GameWorld(levelWorld));
        world->loadEntities(definitions);
        world->events().addListener(&journal);
        players.initialize(&world->events(), nullptr, &levelWorld.level(), &world->entities(),
                           highScores.get());
        ASSERT_TRUE(players.startMatch("mpscores", scoreLimit, singlePlayer, false));
        for (Player** player : {&first, &second})
        {
            *player = players.createPlayer();
            (*player)->joinMatch(world->create("player", Ogre::Vector3(0, 1, 0)));
        }
        deliver();
        // The shipped data and a user level: nothing modified.
        EXPECT_EQ(journal.events,
                  (std::vector<std::string>{"1,0,0,", "14,1," + std::to_string(human(first)) + ",",
                                            "14,2," + std::to_string(human(second)) + ","}));
        journal.events.clear();
    }

    ~Match() override
    {
        if (world)
        {
            world->events().removeListener(&journal);
            players.deleteAllPlayers();
            players.initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
        }
    }

    void deliver() { world->events().dispatch(); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            players.tick(0);
            deliver();
        }
    }
    void post(unsigned id, int a, int b)
    {
        world->events().post(id, a, b, "");
        deliver();
    }
    int human(const Player* player) const { return static_cast<int>(player->getEntityId()); }

    test::LevelWorld levelWorld;
    std::unique_ptr<test::GameWorld> world;
    // Entity points of the level, set before start.
    std::vector<std::string> levelEntities;
    // Set before start to keep a local table.
    std::unique_ptr<brix::HighScoreManager> highScores;
    PlayerManager players;
    test::EventJournal journal;
    Player* first = nullptr;
    Player* second = nullptr;
};

TEST_F(Match, KillsCloseTogetherCountDoubleThenTripleThenSingleAgain)
{
    start(false);
    first->creditKill(50, 100);
    ticks(12); // 0.3 s
    first->creditKill(51, 100);
    ticks(80); // 2 s
    first->creditKill(52, 100);
    ticks(200); // 5 s
    first->creditKill(53, 100);
    // A kill worth nothing counts nothing, but still starts the clock again.
    first->creditKill(54, 0);
    deliver();

    EXPECT_EQ(first->getScore(), 700u);
    EXPECT_EQ(first->getKills(), 4u);
    EXPECT_EQ(journal.events,
              (std::vector<std::string>{"19,1,100,1", "21,1,50,0", "19,1,300,2", "21,1,51,1", "19,1,600,3",
                                        "21,1,52,2", "19,1,700,4", "21,1,53,0"}));
    EXPECT_EQ(Player::getKillKind(0.4999f), Player::MultipleKill);
    EXPECT_EQ(Player::getKillKind(0.5f), Player::KillStreak);
    EXPECT_EQ(Player::getKillKind(5.0f), Player::SingleKill);
}

TEST_F(Match, KillsAndVialsScoredInPlayAreCreditedToTheHumansPlayer)
{
    start(false, 0.0f, 0, std::string(test::GameWorld::DEFINITIONS) + GRUNT_AND_PACKAGES);
    const int grunt = static_cast<int>(world->create("grunt", Ogre::Vector3(4, 1, 0))->getId());
    const int vials = static_cast<int>(world->create("vials", Ogre::Vector3(6, 1, 0))->getId());
    post(EventDispatcher::HumanKilled, grunt, human(first));
    ticks(12); // 0.3 s
    post(EventDispatcher::DroneKilled, grunt, human(first));
    post(EventDispatcher::VialsPickedUp, human(second), vials);
    // Only the package's own vials count, and only for the human that picks it up.
    post(EventDispatcher::VialsPickedUp, human(first), grunt);
    EXPECT_EQ(first->getScore(), 300u);
    EXPECT_EQ(first->getKills(), 2u);
    EXPECT_EQ(second->getScore(), 600u);
    EXPECT_EQ(second->getVials(), 2u);

    players.completeMatch(1);
    deliver();
    post(EventDispatcher::HumanKilled, grunt, human(second));
    post(EventDispatcher::VialsPickedUp, human(second), vials);
    EXPECT_EQ(second->getScore(), 600u);
}

TEST_F(Match, DronesAndCrawlersScoreTheirOwnKillScore)
{
    start(false, 0.0f, 0,
          std::string(test::GameWorld::DEFINITIONS) +
              "<drone><name>drone</name><id>5</id><mesh>drone.mesh</mesh><killscore>150</killscore></drone>"
              "<crawler><name>crawler</name><id>6</id><mesh>crawler.mesh</mesh><killscore>70</killscore></"
              "crawler>");
    const int drone = static_cast<int>(world->create("drone", Ogre::Vector3(4, 3, 0))->getId());
    const int crawler = static_cast<int>(world->create("crawler", Ogre::Vector3(6, 1, 0))->getId());
    post(EventDispatcher::DroneKilled, drone, human(first));
    ticks(400); // 10 s: each a single kill
    post(EventDispatcher::CrawlerKilled, crawler, human(first));
    // A crawler that blows itself up scores for nobody.
    post(EventDispatcher::CrawlerKilled, crawler, crawler);
    EXPECT_EQ(first->getScore(), 220u);
    EXPECT_EQ(first->getKills(), 2u);
    EXPECT_EQ(second->getScore(), 0u);
}

TEST_F(Match, SinglePlayerVialsAreFoundOnce)
{
    levelEntities = {"vials", "medkit"};
    start(true, 0.0f, 0, std::string(test::GameWorld::DEFINITIONS) + GRUNT_AND_PACKAGES);
    std::vector<game::Entity*> packages;
    world->entities().findEntities(packages, Ogre::Vector3(2, 1, 0), 1.0f, "package");
    ASSERT_EQ(packages.size(), 2u);
    for (game::Entity* package : packages)
        EXPECT_EQ(static_cast<game::Package*>(package)->isRespawnDisabled(), package->getName() == "vials")
            << package->getName();
}

TEST_F(Match, TheScoreLimitEndsTheMatchInTheTickItIsReached)
{
    start(false, 0.0f, 500);
    first->creditKill(50, 400);
    second->creditKill(51, 499);
    ticks(1);
    EXPECT_EQ(players.getMatchState(), PlayerManager::Running);
    second->creditKill(52, 1);
    first->creditKill(53, 100);
    ticks(1);
    EXPECT_EQ(players.getMatchState(), PlayerManager::Complete);
    // The first player in slot order past the limit wins, and only once.
    EXPECT_EQ(journal.events.back(), "2,1,0,");
    ticks(3);
    EXPECT_EQ(journal.events.back(), "2,1,0,");
    EXPECT_EQ(players.getRank(1), 0u);
    EXPECT_EQ(players.getRank(2), 1u);
}

TEST_F(Match, NoScoreLimitNeverEndsTheMatch)
{
    start(false);
    EXPECT_EQ(players.getRank(1), 0u);
    EXPECT_EQ(players.getRank(2), 0u);
    first->creditKill(50, 100000);
    ticks(2);
    EXPECT_EQ(players.getMatchState(), PlayerManager::Running);
    EXPECT_EQ(players.getRank(2), 1u);
}

TEST_F(Match, ADeadPlayerRespawnsAfterFiveSecondsAndSinglePlayerDeathsCostPointsDownToZero)
{
    start(true);
    first->addVials(5);
    post(EventDispatcher::HumanKilled, human(first), human(second));
    EXPECT_EQ(first->getState(), Player::Dead);
    EXPECT_EQ(first->getScore(), 500u);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"20,1,1500,5",
                                                        "4," + std::to_string(human(first)) + "," +
                                                            std::to_string(human(second)) + ",",
                                                        "22,1,2,"}));
    journal.events.clear();
    game::Entity* body = first->getHuman();
    body->setPosition(Ogre::Vector3(5, 7, 0));
    ticks(199);
    EXPECT_EQ(first->getState(), Player::Dead);
    ticks(2);
    EXPECT_EQ(first->getState(), Player::Alive);
    // The human comes back at the checkpoint.
    EXPECT_EQ(first->getHuman(), body);
    EXPECT_EQ(body->getPosition(), players.getCheckpoint());
    EXPECT_EQ(journal.events, (std::vector<std::string>{"16,1,0,"}));

    // Suicide names the victim as its own killer; 500 points less 1000 leave 0.
    post(EventDispatcher::HumanKilled, human(first), human(first));
    EXPECT_EQ(journal.events.back(), "22,1,1,");
    EXPECT_EQ(first->getScore(), 0u);
    EXPECT_EQ(first->getKills(), 0u);
}

TEST_F(Match, TheExitPaysTheTimeAndHealthBonusUnlessCheated)
{
    start(true, 2.0f);
    EXPECT_EQ(players.getTimeBonus(), 12000);
    ticks(20);
    EXPECT_EQ(players.getTimeBonus(), 9000);
    first->addVials(2);
    EXPECT_EQ(first->getScore(), 600u);
    post(EventDispatcher::ExitReached, human(first), 0);
    // 600 + 9000 time bonus + the full health's 2000.
    EXPECT_EQ(first->getScore(), 11600u);
    EXPECT_EQ(players.getMatchState(), PlayerManager::Complete);
    EXPECT_EQ(journal.events.back(), "2,1,0,");
}

TEST_F(Match, ASinglePlayerWinThatPlacesIsAddedAndItsPlacingReported)
{
    highScores.reset(new brix::HighScoreManager(levelWorld.userDirectory() + "/highscores.xml", "", 1, 10,
                                                "key", 0x01040200));
    start(true);
    first->addVials(2);
    post(EventDispatcher::ExitReached, human(first), 0);
    EXPECT_EQ(journal.events.back(), "2,1,1,");
    // Nobody can win without a player.
    players.completeMatch(0);
    deliver();
    EXPECT_EQ(journal.events.back(), "2,0,0,");
}

TEST_F(Match, TheTimeBonusRunsOutAtTheTargetTime)
{
    start(true, 1.0f);
    ticks(39);
    EXPECT_EQ(players.getTimeBonus(), 300);
    ticks(1);
    EXPECT_EQ(players.getTimeBonus(), 0);
    ticks(40);
    EXPECT_EQ(players.getTimeBonus(), 0);
    // A level may ask for any time at all: the bonus is whole, never an overflow.
    levelWorld.level().setTargetTime(std::numeric_limits<float>::max());
    EXPECT_EQ(players.getTimeBonus(), PlayerManager::TIME_BONUS);
}

TEST_F(Match, ACheatZeroesTheScoreAndStopsTheExitBonus)
{
    start(true, 100.0f);
    first->addVials(3);
    post(EventDispatcher::Cheat, 0, 1);
    EXPECT_TRUE(first->isCheated());
    EXPECT_EQ(static_cast<game::Human*>(first->getHuman())->getKeyMask(), 0xFFFFFFFFu);
    EXPECT_EQ(first->getScore(), 0u);
    post(EventDispatcher::ExitReached, human(first), 0);
    EXPECT_EQ(first->getScore(), 0u);
    EXPECT_EQ(players.getMatchState(), PlayerManager::Complete);
}

TEST_F(Match, PlayersLeavingAndTheMatchEndingAreHeardOnce)
{
    start(false);
    players.removePlayerFromMatch(2);
    deliver();
    EXPECT_EQ(second->getState(), Player::NotInMatch);
    EXPECT_EQ(second->getEntityId(), 0u);
    players.endMatch();
    deliver();
    EXPECT_EQ(journal.events, (std::vector<std::string>{"15,2,0,", "15,1,0,", "3,0,0,"}));
    EXPECT_EQ(players.getMatchState(), PlayerManager::NoMatch);
}

TEST(Player, SendsItsWholeStateToOnePeer)
{
    EventDispatcher events;
    PlayerManager players;
    players.initialize(&events, nullptr, nullptr, nullptr, nullptr);
    Player* player = players.createPlayer();
    player = players.createPlayer();
    events.post(EventDispatcher::PlayerRenamed, 2, 0, "Ann");
    events.post(EventDispatcher::PlayerConfigured, 2, 3, "");
    events.dispatch();
    player->addVials(1);
    game::EventProxy proxy(1, nullptr);
    player->sendStateTo(&proxy);
    // Not in the match, it is not told as entered.
    const std::vector<Bytes> messages = test::sentMessages(proxy);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], (Bytes{17, 2, 0, 3, 'A', 'n', 'n'}));
    EXPECT_EQ(messages[1], (Bytes{18, 2, 3, 0}));
    EXPECT_EQ(messages[2], (Bytes{19, 2, 0xAC, 0x02, 1, '0'}));
    EXPECT_EQ(messages[3], (Bytes{20, 2, 0xAC, 0x02, 1, '1'}));
    EXPECT_EQ(player->getNameWithScore(), "Ann (300)");
    players.deleteAllPlayers();
}
} // namespace

namespace
{
// Answers an action's control text in brackets.
class BracketController : public game::Controller
{
public:
    BracketController() : game::Controller(0) {}
    std::string getControlText(const std::string& action) const override { return "[" + action + "]"; }
};

TEST(PlayerTexts, FloatingTextsPlacingsAndHintsReadAsThePlayerSeesThem)
{
    EXPECT_EQ(Player::getFloatingText("Kill streak", 300), "Kill streak +300");
    EXPECT_EQ(Player::getFloatingText("Death", -1000), "Death -1000");
    EXPECT_EQ(Player::getFloatingText("Health", 0), "Health");
    EXPECT_EQ(Player::getPlacing(0) + Player::getPlacing(1) + Player::getPlacing(2) + Player::getPlacing(3) +
                  Player::getPlacing(10),
              "1st2nd3rd4th11th");

    BracketController controller;
    std::string text;
    std::string subText;
    ASSERT_TRUE(Player::splitHint("Jump the gap|Press #JUMP# and #CROUCH#.", &controller, text, subText));
    EXPECT_EQ(text, "Jump the gap");
    EXPECT_EQ(subText, "Press [JUMP] and [CROUCH].");
    ASSERT_TRUE(Player::splitHint("Just this", &controller, text, subText));
    EXPECT_EQ(text + "/" + subText, "Just this/");
    // Empty parts do not count: the first part that is not empty becomes the text.
    ASSERT_TRUE(Player::splitHint("|Below", &controller, text, subText));
    EXPECT_EQ(text + "/" + subText, "Below/");
    EXPECT_FALSE(Player::splitHint("|", &controller, text, subText));
    EXPECT_FALSE(Player::splitHint("", &controller, text, subText));

    test::LogCapture log;
    ASSERT_TRUE(Player::splitHint("Go|Press #JUMP", &controller, text, subText));
    EXPECT_EQ(subText, "Press #JUMP");
    EXPECT_EQ(log.errors(),
              std::vector<std::string>{"E Unterminated tag in level hint text 'Go|Press #JUMP' at 6"});
}
} // namespace
