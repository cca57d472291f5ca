#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "support/game/entitylink.h"
#include "support/game/gameworld.h"
#include "support/logcapture.h"
#include "support/ogre/sceneobjects.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;
using Bytes = std::vector<unsigned char>;

namespace
{
constexpr uint16_t NODE = 1;
// One step of a 16-bit position in -250..250, and of an 8-bit depth in -5..5: the most a
// replicated position may be off.
const float QUANTISATION = Ogre::Vector3(500.0f / 65535, 500.0f / 65535, 10.0f / 255).length();

Bytes encode(game::EntityManager& entities, unsigned room = test::EntityLink::MESSAGE_ROOM)
{
    Bytes buffer(room);
    brix::NetworkEncodeStream stream(buffer.data(), room);
    entities.encodeNetworkData(NODE, stream, 0);
    buffer.resize(stream.getOffset());
    return buffer;
}

void decode(game::EntityManager& entities, const Bytes& message)
{
    brix::NetworkDecodeStream stream(message.data(), static_cast<unsigned>(message.size()));
    entities.decodeNetworkData(0, stream, 0);
}

Bytes operator+(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes header(uint16_t tick, uint16_t start, uint16_t focus)
{
    return {static_cast<unsigned char>(tick),  static_cast<unsigned char>(tick >> 8),
            static_cast<unsigned char>(start), static_cast<unsigned char>(start >> 8),
            static_cast<unsigned char>(focus), static_cast<unsigned char>(focus >> 8)};
}

std::vector<test::UpdateRecord> records(const Bytes& message)
{
    uint16_t tick, start, focus;
    std::vector<test::UpdateRecord> result;
    EXPECT_TRUE(test::parseUpdateMessage(message, tick, start, focus, result));
    return result;
}

// A server with one remote observer (node 1) and a client, sharing the test definitions.
class ReplicationTest : public testing::Test
{
protected:
    ReplicationTest()
    {
        server.loadEntities();
        client.loadEntities();
        server.entities().addObserver(NODE, 0);
        server.entities().setSyncEnabled(true);
        client.entities().addObserver(NODE, 1);
        client.entities().setSyncEnabled(true);
    }

    // The node looks through the entity: one server tick and the relevance it gives.
    void lookFrom(const game::Entity* focus, int ticks = 1)
    {
        server.entities().setObserverFocus(NODE, focus->getId());
        server.tick(ticks);
        server.entities().updateObserverVisibility();
    }

    test::GameOgre ogre;
    test::GameWorld server{nullptr};
    test::GameWorld client{ogre.createSceneManager(), false};
};
} // namespace

TEST_F(ReplicationTest, DescribesEmptySlotsInFourRuns)
{
    server.tick(3);
    Bytes message = encode(server.entities());
    EXPECT_EQ(message, (Bytes{3, 0, 0, 0, 0, 0, 0x00, 0x3F, 0x00, 0x3F, 0x00, 0x3F, 0x00, 0x0B}));
    EXPECT_EQ(server.entities().getObserver(NODE)->cursor, 0);
    EXPECT_EQ(server.entities().getObserver(NODE)->pass, 1);

    // Nothing without sync, for the server's own node, for a node without record, or without room.
    server.entities().setSyncEnabled(false);
    EXPECT_TRUE(encode(server.entities()).empty());
    server.entities().setSyncEnabled(true);
    Bytes buffer(64);
    brix::NetworkEncodeStream stream(buffer.data(), 64);
    server.entities().encodeNetworkData(0, stream, 0);
    server.entities().encodeNetworkData(7, stream, 0);
    EXPECT_EQ(stream.getOffset(), 0u);
    EXPECT_TRUE(encode(server.entities(), 7).empty());
}

TEST_F(ReplicationTest, SendsRelevantEntitiesInFullAndRestingOnesEveryEighthPass)
{
    game::Entity* player = server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    server.create("crate", Ogre::Vector3(2.0f, 0.5f, 0.0f));
    server.create("crate", Ogre::Vector3(40.0f, 0.5f, 0.0f));
    lookFrom(player, 120);

    int fullCrates = 0;
    for (int pass = 0; pass < 16; ++pass)
    {
        std::vector<test::UpdateRecord> sent = records(encode(server.entities()));
        ASSERT_GE(sent.size(), 4u);
        // The focus (a human, 14 bytes of state) every pass.
        EXPECT_EQ(sent[0].id, 1u);
        EXPECT_EQ(sent[0].control, 0xCEu);
        // The resting crate in view: 14 bytes, or a relevant run of one.
        EXPECT_EQ(sent[1].id, 10u);
        if (sent[1].control == 0xCE)
            ++fullCrates;
        else
            EXPECT_EQ(sent[1].control, 0x81u);
        // The crate out of view: a run without the relevance bit.
        EXPECT_EQ(sent[2].id, 10u);
        EXPECT_EQ(sent[2].control, 0x01u);
        EXPECT_EQ(sent[3].id, 0u);
        EXPECT_EQ(sent[3].control, 0x3Fu);
    }
    EXPECT_EQ(fullCrates, 2);
}

TEST_F(ReplicationTest, ClientMirrorsSlotsAndDisablesWhatItCannotSee)
{
    game::Entity* player = server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Entity* crate = server.create("crate", Ogre::Vector3(2.0f, 3.0f, 0.0f));
    server.create("crate", Ogre::Vector3(40.0f, 0.5f, 0.0f));
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));

    game::Entity* mirror = client.entities().getEntity(crate->getId());
    ASSERT_NE(mirror, nullptr);
    EXPECT_EQ(mirror->getName(), "crate");
    EXPECT_EQ(mirror->getState(), game::Entity::ACTIVE);
    EXPECT_TRUE(mirror->isEnabled());
    EXPECT_LT(mirror->getPosition().distance(crate->getPosition()), QUANTISATION);
    EXPECT_EQ(mirror->getTick(), server.entities().getTick());
    EXPECT_EQ(client.entities().getObserver(NODE)->focus, player->getId());
    // Never described in full, the far crate has a slot but nothing to show.
    game::Entity* far = client.entities().getEntity(3);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->getState(), game::Entity::INACTIVE);

    // Out of view: kept, but disabled and left out of queries.
    player->setPosition(Ogre::Vector3(-60.0f, 1.0f, 0.0f));
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));
    EXPECT_EQ(client.entities().getEntity(crate->getId()), mirror);
    EXPECT_FALSE(mirror->isEnabled());

    // A slot that changes hands on the server changes class on the client. The crate is gone
    // after the tick: only its slot number is used from then on.
    const auto slot = crate->getId();
    crate->addRuntimeFlags(game::Entity::RUNTIME_PURGE_AT_ONCE);
    crate->kill();
    server.tick(1);
    EXPECT_EQ(server.create("player", Ogre::Vector3(-60.0f, 3.0f, 0.0f))->getId(), slot);
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));
    EXPECT_EQ(client.entities().getEntity(2)->getType(), "human");
}

// A slot the server empties under a live client prop: the prop goes with its body, so the crate
// it held up falls in the very next step and no contact leads back to the deleted prop.
TEST_F(ReplicationTest, ASlotEmptiedUnderAClientPropTakesItsBodyAway)
{
    game::Entity* player = server.create("player", Ogre::Vector3(5.0f, 1.0f, 0.0f));
    game::Entity* bottom = server.create("crate", Ogre::Vector3(0.0f, 0.5f, 0.0f));
    server.create("crate", Ogre::Vector3(0.0f, 1.5f, 0.0f));
    lookFrom(player, 40);
    decode(client.entities(), encode(server.entities()));
    game::Entity* top = client.entities().getEntity(3);
    ASSERT_NE(top, nullptr);
    bottom->addRuntimeFlags(game::Entity::RUNTIME_PURGE_AT_ONCE);
    bottom->kill();
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));
    EXPECT_EQ(client.entities().getEntity(2), nullptr);
    client.tick(2);
    EXPECT_EQ(client.entities().getSimulatedTick(), 42);
    EXPECT_LT(top->getLinearVelocity().y, -0.15f);
}

// A mirror that ended on the client before the server's entity did comes back whole when the
// server names it alive again, and once: the client's scene holds one of it, and none after the
// server's slot is emptied.
TEST_F(ReplicationTest, AMirrorEndedFirstComesBackOnceAndGoesWithItsSlot)
{
    game::Entity* player = server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    // Falling, so that every message describes it in full.
    game::Entity* crate = server.create("crate", Ogre::Vector3(2.0f, 8.0f, 0.0f));
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));
    game::Entity* mirror = client.entities().getEntity(crate->getId());
    ASSERT_NE(mirror, nullptr);
    auto crates = [&] { return test::sceneObjects(*client.entities().getSceneManager())["crate.mesh"]; };
    EXPECT_EQ(crates(), 1u);

    mirror->kill();
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));
    EXPECT_EQ(mirror->getState(), game::Entity::ACTIVE);
    EXPECT_EQ(crates(), 1u);

    const uint32_t slot = crate->getId();
    crate->addRuntimeFlags(game::Entity::RUNTIME_PURGE_AT_ONCE);
    crate->kill();
    lookFrom(player);
    decode(client.entities(), encode(server.entities()));
    EXPECT_EQ(client.entities().getEntity(slot), nullptr);
    EXPECT_EQ(crates(), 0u);
}

TEST_F(ReplicationTest, LogsMalformedMessagesAndKeepsWhatWasApplied)
{
    test::LogCapture log;
    // A human's state with both weapon slots empty.
    Bytes pose(11, 0x80);
    pose.insert(pose.end(), 3, 0x00);
    decode(client.entities(), header(1, 200, 0));
    Bytes zeroLength = header(1, 0, 0);
    zeroLength.insert(zeroLength.end(), {1, 0xCE});
    zeroLength.insert(zeroLength.end(), pose.begin(), pose.end());
    zeroLength.insert(zeroLength.end(), {1, 0xC0, 1, 0x01});
    decode(client.entities(), zeroLength);
    decode(client.entities(), header(1, 5, 0) + Bytes{0, 0x00});
    decode(client.entities(), header(1, 5, 0) + Bytes{1, 0xC9, 1, 2});
    Bytes unknown = header(1, 7, 0) + Bytes{99, 0xC2, 0xAA, 0xBB, 1, 0xCE};
    unknown.insert(unknown.end(), pose.begin(), pose.end());
    decode(client.entities(), unknown);
    EXPECT_THAT(
        log.errors(),
        ElementsAre("E Invalid update index in entity manager update",
                    "E Unexpected zero entity data size in entity data from server (entity 1 at index 1)",
                    "E Zero repeat count in entity data from server (entity 0 at index 5)",
                    "E Invalid entity data length for client entity (id 1 at index 5, data length 9)",
                    "E Entity prototype not found for client entity (id 99 at index 7)"));
    // The records before each fault stand; an unknown id leaves its slot empty and skips its data.
    ASSERT_NE(client.entities().getEntity(1), nullptr);
    EXPECT_EQ(client.entities().getEntity(1)->getState(), game::Entity::ACTIVE);
    EXPECT_EQ(client.entities().getEntity(8), nullptr);
    ASSERT_NE(client.entities().getEntity(9), nullptr);
    EXPECT_EQ(client.entities().getEntity(9)->getState(), game::Entity::ACTIVE);
}

TEST_F(ReplicationTest, ClientTicksEntitiesInSlotsAboveItsOwn)
{
    Bytes message = header(1, 150, 0) + Bytes{1, 0xCE};
    message.insert(message.end(), 11, 0x80);
    message.insert(message.end(), 3, 0x00);
    decode(client.entities(), message);
    std::vector<game::Entity*> found;
    client.entities().findEntities(found, Ogre::Vector3::ZERO, 0.0f, "");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->getId(), 151u);
}

TEST_F(ReplicationTest, PacketFullKeepsTheEntityFirstForTheNextOne)
{
    game::Entity* player = server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    server.create("crate", Ogre::Vector3(2.0f, 3.0f, 0.0f));
    lookFrom(player);
    // Room for the header, the player's record and a little: the crate does not fit.
    Bytes message = encode(server.entities(), 6 + 16 + 8);
    EXPECT_EQ(message.size(), 22u);
    EXPECT_EQ(server.entities().getObserver(NODE)->cursor, 1);
    std::vector<test::UpdateRecord> next = records(encode(server.entities()));
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next[0].index, 1u);
    EXPECT_EQ(next[0].control, 0xCEu);
}

TEST_F(ReplicationTest, StateTooLargeForARecordIsLoggedAndPassedOver)
{
    test::LogCapture log;
    game::Entity* player = server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Entity* big = server.create("player", Ogre::Vector3(1.0f, 1.0f, 0.0f));
    server.create("crate", Ogre::Vector3(2.0f, 3.0f, 0.0f));
    // 9 bytes of pose and 56 more: two bytes past what a record's length can say.
    unsigned int extra[16] = {};
    for (unsigned int& field : extra)
        big->getStateCodec()->bind(&field, 28);
    lookFrom(player);
    for (int pass = 0; pass < 2; ++pass)
    {
        std::vector<test::UpdateRecord> sent = records(encode(server.entities()));
        ASSERT_GE(sent.size(), 3u);
        EXPECT_EQ(sent[1].control, 0x81u);
        EXPECT_EQ(sent[2].index, 2u);
        EXPECT_EQ(sent[2].control, 0xCEu);
    }
    EXPECT_THAT(log.errors(), Contains("E Entity 1 (at index 1) state encoding failed: Buffer overflow"));
}

TEST_F(ReplicationTest, ClientTickSnapsFarAndDriftsNear)
{
    test::LogCapture log;
    game::EntityManager& entities = client.entities();
    for (int i = 0; i < 10; ++i)
        entities.nextTick();
    decode(entities, header(14, 0, 0));
    EXPECT_EQ(entities.getTick(), 10);
    decode(entities, header(15, 0, 0));
    EXPECT_EQ(entities.getTick(), 15);
    EXPECT_THAT(log.lines(), Contains("D Snapped tick to 15 from server"));

    // The message 4 ahead counted once, and the snap keeps that count.
    for (int i = 0; i < 9; ++i)
        decode(entities, header(18, 0, 0));
    EXPECT_EQ(entities.getTick(), 15);
    decode(entities, header(18, 0, 0));
    EXPECT_EQ(entities.getTick(), 16);
    EXPECT_THAT(log.lines(), Contains("D Adjusted tick from 15 to 16"));

    // Off by two or more the other way starts the count afresh.
    for (int i = 0; i < 10; ++i)
        decode(entities, header(i % 2 ? 14 : 18, 0, 0));
    EXPECT_EQ(entities.getTick(), 16);
    for (int i = 0; i < 11; ++i)
        decode(entities, header(14, 0, 0));
    EXPECT_EQ(entities.getTick(), 15);
    EXPECT_THAT(log.lines(), Contains("D Adjusted tick from 16 to 15"));
}

TEST_F(ReplicationTest, SnapshotsRestoreTheNewestNotAfterTheTick)
{
    game::Entity* crate = client.entities().createEntity("crate");
    for (uint16_t tick = 10; tick < 60; ++tick)
    {
        crate->setPosition(Ogre::Vector3(tick, 1.0f, 0.0f));
        crate->setTick(tick);
        crate->saveState();
    }
    EXPECT_EQ(crate->getSnapshotCount(), 40u);
    crate->restoreState(30);
    EXPECT_EQ(crate->getTick(), 30);
    EXPECT_NEAR(crate->getPosition().x, 30.0f, QUANTISATION);
    // Every snapshot newer than the tick: the oldest stays and is restored.
    crate->restoreState(5);
    EXPECT_EQ(crate->getSnapshotCount(), 1u);
    EXPECT_EQ(crate->getTick(), 20);
    EXPECT_NEAR(crate->getPosition().x, 20.0f, QUANTISATION);
}

TEST_F(ReplicationTest, CorrectionsGlideSnapOrVanishByTheirLength)
{
    game::Entity* crate = client.entities().createEntity("crate");
    auto correct = [&](float by)
    {
        crate->setPosition(Ogre::Vector3(1.0f, 1.0f, 0.0f));
        crate->beginCorrection();
        crate->setPosition(Ogre::Vector3(1.0f + by, 1.0f, 0.0f));
        crate->endCorrection();
    };
    correct(0.005f);
    EXPECT_EQ(crate->getErrorWeight(), 0.0f);
    correct(2.5f);
    EXPECT_EQ(crate->getErrorWeight(), 0.0f);
    EXPECT_EQ(crate->getErrorOffset(), Ogre::Vector3::ZERO);
    correct(1.0f);
    EXPECT_EQ(crate->getErrorWeight(), 1.0f);
    EXPECT_NEAR(crate->getErrorOffset().x, -1.0f, 1e-6f);
    crate->interpolate(0.05f, 1.0f);
    EXPECT_NEAR(crate->getRenderPosition().x, 1.5f, 1e-5f);
    crate->interpolate(0.05f, 1.0f);
    EXPECT_NEAR(crate->getRenderPosition().x, 2.0f, 1e-5f);
}

// The barrel scenario seen through the link: whatever the lag and a lossy line, every state the
// client applies is the server's at that tick, and the settled world looks the same on both.
TEST_F(ReplicationTest, AHumanFirstSeenShowsItsReplicatedStateAtOnce)
{
    // A human with a body, which stands on the ground.
    const std::string walker =
        "<human><name>walker</name><id>2</id><body>human</body><standheight>0.95</standheight>"
        "<eyeheight>0.75</eyeheight><weapon>pistol</weapon></human>";
    server.loadEntities(walker);
    client.loadEntities(walker);
    game::Entity* player = server.create("player", Ogre::Vector3(0.0f, 1.0f, 0.0f));
    game::Entity* other = server.create("walker", Ogre::Vector3(3.0f, 1.0f, 0.0f));
    lookFrom(player, 80);
    ASSERT_TRUE(static_cast<game::Human*>(other)->isOnGround());
    decode(client.entities(), encode(server.entities()));

    // Not the blank pose a spawn starts from until the next record comes.
    auto* seen = dynamic_cast<game::Human*>(client.entities().getEntity(other->getId()));
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->getState(), game::Entity::ACTIVE);
    EXPECT_TRUE(seen->isOnGround());
    EXPECT_LT(seen->getPosition().distance(other->getPosition()), QUANTISATION);
}

TEST(EntityLink, ClientAgreesWithTheServerAtAnyLag)
{
    for (unsigned lag = 0; lag <= 5; ++lag)
    {
        SCOPED_TRACE("lag " + std::to_string(lag));
        test::GameOgre ogre;
        test::EntityLink link(ogre, lag, 0.1, lag + 1);
        link.loadEntities();
        game::Entity* player = link.server.create("player", Ogre::Vector3(-8.0f, 1.0f, 0.0f));
        link.focus(player);
        game::Entity* barrel = link.server.create("barrel", Ogre::Vector3(0.0f, 0.5f, 0.0f));
        for (float x : {-2.0f, 2.0f, 3.5f})
            link.server.create("crate", Ogre::Vector3(x, 0.5f, 0.0f));
        link.tick(20);
        barrel->damage(10.0f, barrel->getPosition(), Ogre::Vector3::ZERO, player->getId());
        link.tick(300);

        EXPECT_GT(link.appliedRecords(), 500u);
        EXPECT_LE(link.worstAppliedError(), QUANTISATION);
        EXPECT_GE(link.deliveredMessages(), link.sentMessages() * 8 / 10);
        for (unsigned id = 1; id <= 200; ++id)
        {
            game::Entity* original = link.server.entities().getEntity(id);
            game::Entity* copy = link.client.entities().getEntity(id);
            if (!original)
                continue;
            ASSERT_NE(copy, nullptr) << id;
            EXPECT_EQ(copy->getName(), original->getName());
            if (original->getState() == game::Entity::ACTIVE && copy->isEnabled())
                EXPECT_LT(copy->getPosition().distance(original->getPosition()), 2 * QUANTISATION) << id;
        }
    }
}
