#include "support/game/entitylink.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"

namespace test
{
bool parseUpdateMessage(const std::vector<unsigned char>& message, uint16_t& tick, uint16_t& start,
                        uint16_t& focus, std::vector<UpdateRecord>& records)
{
    records.clear();
    if (message.size() < 6)
        return false;
    auto word = [&](size_t at) { return static_cast<uint16_t>(message[at] | (message[at + 1] << 8)); };
    tick = word(0);
    start = word(2);
    focus = word(4);
    unsigned index = start;
    for (size_t at = 6; at + 2 <= message.size();)
    {
        UpdateRecord record{index, message[at], message[at + 1], 0};
        at += 2;
        if (record.control & game::EntityManager::CONTROL_DATA)
        {
            record.length = record.control & game::EntityManager::CONTROL_COUNT;
            at += record.length;
            if (at > message.size())
                return false;
            index += 1;
        }
        else
            index += record.control & game::EntityManager::CONTROL_COUNT;
        index %= game::EntityManager::DYNAMIC_ENTITY_COUNT;
        records.push_back(record);
    }
    return true;
}

EntityLink::EntityLink(GameOgre& ogre, unsigned lagTicks, double loss, unsigned seed)
    : server(ogre.createSceneManager(), true), client(ogre.createSceneManager(), false), mLag(lagTicks),
      mLoss(loss), mRandom(seed)
{
    server.entities().addObserver(CLIENT_NODE, 0);
    server.entities().setSyncEnabled(true);
    client.entities().addObserver(CLIENT_NODE, 1);
    client.entities().setSyncEnabled(true);
}

void EntityLink::loadEntities(const std::string& definitions)
{
    server.loadEntities(definitions);
    client.loadEntities(definitions);
}

void EntityLink::focus(const game::Entity* entity)
{
    server.entities().setObserverFocus(CLIENT_NODE, entity ? entity->getId() : 0);
}

void EntityLink::tick(int count)
{
    game::EntityManager& serverEntities = server.entities();
    game::EntityManager& clientEntities = client.entities();
    for (int i = 0; i < count; ++i)
    {
        ++mTickCount;
        while (!mInFlight.empty() && mInFlight.front().deliverAt <= mTickCount)
        {
            deliver(mInFlight.front().bytes);
            mInFlight.pop_front();
        }
        clientEntities.simulateTo(clientEntities.nextTick());
        clientEntities.interpolate(game::Entity::TICK_SECONDS, 1.0f);

        uint16_t tick = serverEntities.nextTick();
        serverEntities.simulateTo(tick);
        serverEntities.updateObserverVisibility();
        std::array<Ogre::Vector3, 200>& positions = mHistory[tick % HISTORY];
        for (unsigned slot = 0; slot < positions.size(); ++slot)
        {
            const game::Entity* entity = serverEntities.getEntity(slot + 1);
            positions[slot] = entity ? entity->getPosition() : Ogre::Vector3::ZERO;
        }

        std::vector<unsigned char> buffer(MESSAGE_ROOM);
        brix::NetworkEncodeStream stream(buffer.data(), MESSAGE_ROOM);
        serverEntities.encodeNetworkData(CLIENT_NODE, stream, 0);
        if (stream.getResult() != brix::NetworkStream::SUCCESS || stream.getOffset() == 0)
            continue;
        buffer.resize(stream.getOffset());
        mLastMessage = buffer;
        ++mSent;
        if (mChance(mRandom) < mLoss)
            continue;
        mInFlight.push_back({mTickCount + mLag, buffer});
    }
}

void EntityLink::deliver(const std::vector<unsigned char>& message)
{
    ++mDelivered;
    brix::NetworkDecodeStream stream(message.data(), static_cast<unsigned>(message.size()));
    client.entities().decodeNetworkData(0, stream, 0);
    uint16_t tick = 0, start = 0, focus = 0;
    std::vector<UpdateRecord> records;
    if (!parseUpdateMessage(message, tick, start, focus, records))
        return;
    for (const UpdateRecord& record : records)
    {
        const game::Entity* entity = client.entities().getEntity(record.index + 1);
        if (!record.length || !entity)
            continue;
        ++mApplied;
        float error = entity->getPosition().distance(mHistory[tick % HISTORY][record.index]);
        mWorstError = std::max(mWorstError, error);
    }
}
} // namespace test
