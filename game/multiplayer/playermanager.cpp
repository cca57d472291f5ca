#include "game/multiplayer/playermanager.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/ogreparticlepool.h"
#include "game/level/datafile.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/level/levelpoint.h"
#include "game/multiplayer/player.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/entitymapsource.h"
#include "game/world/human.h"
#include "game/world/package.h"
#include "game/world/platform.h"
#include "network/networkdecodestream.h"
#include "network/highscore.h"
#include "network/highscoremanager.h"
#include "network/networkencodestream.h"
#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreMath.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

namespace game
{
namespace
{
const char* const PLATFORM_TYPE = "platform";
const char* const PACKAGE_TYPE = "package";
const char* const HUMAN_TYPE = "human";
const char* const SOUND_GROUP = "default";
// The prototype of every player's human.
const char* const PLAYER_PROTOTYPE = "player";
// A multiplayer human opens every door.
const uint32_t ALL_KEYS = 0xFFFFFFFF;
// The shipped data files whose changes make a result unfit for the online high scores.
const char* const ENTITY_FILE = "entities.xml";
const char* const BLOCK_FILE = "blocks.xml";
// Online tables older than this many seconds are fetched again when a level starts.
const unsigned int HIGH_SCORE_MAX_AGE = 20;
// Marks a placing in the online table rather than the local one.
const int ONLINE_RANK = 16;
// Special points of a single-player level that become entities of the same name.
const char* const EXIT = "exit";
const char* const CHECKPOINT = "checkpoint";

bool isRelayedAboutPlayer(unsigned int id)
{
    return id >= EventDispatcher::PlayerEnteredMatch && id <= EventDispatcher::ChatMessage;
}
} // namespace

const char* const PlayerManager::VOICE_SOUNDS[2] = {"quellan1.wav", "quellan2.wav"};

PlayerManager::PlayerManager()
    : mPlayers(MAX_PLAYERS), mDepartedNames(MAX_PLAYERS), mDeparting(MAX_PLAYERS), mSeatVisits(MAX_PLAYERS),
      mFreedSeats(MAX_PLAYERS + 1)
{
    if (brix::AudioManager* audio = brix::AudioManager::getSingletonPtr())
        for (const char* name : VOICE_SOUNDS)
            mVoices.push_back(audio->load(name, SOUND_GROUP));
}

PlayerManager::~PlayerManager()
{
    // Queued map generators would ask the source that goes with this manager.
    if (mLevel && mMapSource)
        mLevel->cancelMapGenerators();
    deleteAllPlayers();
    if (mEvents)
        mEvents->removeListener(this);
}

void PlayerManager::initialize(EventDispatcher* events, brix::LabelManager* labels, Level* level,
                               EntityManager* entities, brix::HighScoreManager* highScores)
{
    if (mEvents)
        mEvents->removeListener(this);
    mEvents = events;
    mLabels = labels;
    mLevel = level;
    mEntities = entities;
    mHighScores = highScores;
    mMapSource = entities ? std::make_unique<EntityMapSource>(*entities) : nullptr;
    mGameDataModified = !isDataFileUnmodified(ENTITY_FILE) || !isDataFileUnmodified(BLOCK_FILE);
    if (mEvents)
        mEvents->addListener(this);
}

std::string PlayerManager::getLevelName() const
{
    return mLevel ? mLevel->getName() : std::string();
}

Player* PlayerManager::createPlayer()
{
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
        if (!mPlayers[slot])
            return makePlayer(slot);
    return nullptr;
}

Player* PlayerManager::makePlayer(unsigned int slot)
{
    mPlayers[slot].reset(new Player(this, slot + 1, mAuthoritative));
    mDeparting[slot] = false;
    ++mSeatVisits[slot];
    return mPlayers[slot].get();
}

void PlayerManager::deletePlayer(Player* player)
{
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
        if (mPlayers[slot].get() == player)
        {
            mPlayers[slot].reset();
            mDeparting[slot] = false;
            // Whoever takes the seat next did not win.
            if (mWinner == slot + 1)
                mWinner = 0;
        }
}

void PlayerManager::deleteAllPlayers()
{
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
    {
        mPlayers[slot].reset();
        mDeparting[slot] = false;
    }
    mWinner = 0;
}

Player* PlayerManager::getPlayer(unsigned int index) const
{
    return index >= 1 && index <= MAX_PLAYERS ? mPlayers[index - 1].get() : nullptr;
}

std::string PlayerManager::getDepartedName(unsigned int index) const
{
    return index >= 1 && index <= MAX_PLAYERS ? mDepartedNames[index - 1] : std::string();
}

unsigned int PlayerManager::getSeatVisit(unsigned int index) const
{
    return index >= 1 && index <= MAX_PLAYERS ? mSeatVisits[index - 1] : 0;
}

Player* PlayerManager::getPlayerByEntity(unsigned int entityId) const
{
    if (entityId == 0)
        return nullptr;
    for (const auto& player : mPlayers)
        if (player && player->getEntityId() == entityId)
            return player.get();
    return nullptr;
}

void PlayerManager::getPlayers(std::vector<Player*>& players) const
{
    for (const auto& player : mPlayers)
        if (player)
            players.push_back(player.get());
}

unsigned int PlayerManager::getRank(unsigned int index) const
{
    const Player* player = getPlayer(index);
    if (!player)
        return 0;
    unsigned int rank = 0;
    for (const auto& other : mPlayers)
        if (other && other->getScore() > player->getScore())
            ++rank;
    return rank;
}

int PlayerManager::getTimeBonus() const
{
    const float target = mLevel ? mLevel->getTargetTime() : 0.0f;
    if (!(target > 0.0f && target > mMatchTime))
        return 0;
    // A target near the float maximum overflows the product; it earns the whole bonus.
    const float bonus = (target - mMatchTime) * TIME_BONUS / target;
    return bonus < TIME_BONUS ? static_cast<int>(bonus) : TIME_BONUS;
}

bool PlayerManager::startMatch(const std::string& level, unsigned int scoreLimit, bool singlePlayer,
                               bool editorPreview)
{
    brix::Log::info("Starting match with level '%s'", level.c_str());
    // A level from outside may fail anywhere on the way: loading, its scene or its entities.
    // Whatever failed, the start ends here and nothing of it stays in the world; the editor's
    // level stays loaded. Only the editor's preview plays the level held, as it is edited now:
    // every other start plays what the file holds now.
    const bool held = editorPreview && mLevel->getName() == level;
    try
    {
        if (!held && !mLevel->load(level, false))
        {
            brix::Log::error("Level '%s' loading failed", level.c_str());
            mLevel->clear();
            return false;
        }
        buildMatch(level, scoreLimit, singlePlayer, editorPreview);
    }
    catch (const std::exception& exception)
    {
        brix::Log::error("Level '%s' cannot be played: %s", level.c_str(), exception.what());
        brix::Log::error("Level '%s' loading failed", level.c_str());
        endMatch();
        if (!held)
            mLevel->clear();
        return false;
    }
    if (mEvents)
        mEvents->post(EventDispatcher::MatchStarted, mGameDataModified || mLevelModified ? 1 : 0, 0, "");
    return true;
}

void PlayerManager::buildMatch(const std::string& level, unsigned int scoreLimit, bool singlePlayer,
                               bool editorPreview)
{
    mLevelModified = mLevel->isBuiltin() && mLevel->isModified();
    if (mLevelModified)
        brix::Log::info("Built-in level '%s' modification detected", level.c_str());
    // A preview's score is the saved level's only while the preview plays what the file holds,
    // and a shipped level's online table takes none of it.
    mScoreFiled = !editorPreview || mLevel->holdsFile();
    mScoreOffline =
        editorPreview && (mLevel->getLevelCache()->getFlags(level) & LevelCache::FLAG_BUILTIN) != 0;
    mLevel->resetTriggerPoints();
    mLevel->createScene();

    // A level from the share or a host often comes without its maps: they are made now, in
    // the background, and shown when done.
    if (!editorPreview && mMapSource)
    {
        if (!mLevel->hasLightMap())
        {
            brix::Log::info("Generating missing level light map");
            mLevel->generateLightMap(mMapSource.get());
        }
        if (!mLevel->hasSoundMap())
        {
            brix::Log::info("Generating missing level sound map");
            mLevel->generateSoundMap(mMapSource.get());
        }
    }

    mSinglePlayer = singlePlayer;
    if (singlePlayer)
        mCheckpoint = mLevel->getSinglePlayerStart();

    // Platforms first, as whatever stands on them is placed after.
    for (int pass = 0; pass < 2; ++pass)
        for (const LevelPoint& point : mLevel->getPoints())
        {
            if (point.type != LevelPoint::TYPE_ENTITY)
                continue;
            const Entity* prototype = mEntities->getPrototype(point.name);
            if (!prototype || (prototype->getType() == PLATFORM_TYPE) != (pass == 0))
                continue;
            const bool isStatic = (prototype->getFlags() & Entity::ATTRIBUTE_STATIC) != 0;
            if (pass == 1 && !mAuthoritative && !isStatic)
                continue;
            Entity* entity = mEntities->createEntity(point.name);
            if (!entity)
                continue;
            entity->setPosition(point.getPosition());
            entity->setOrientation(point.orientation);
            entity->setInitialState(point.state);
            // A platform travels between the point's positions, the main one first.
            if (pass == 0 && point.positions.size() > 1)
                for (const Ogre::Vector3& position : point.positions)
                    static_cast<Platform*>(entity)->addRoutePoint(position);
            if (pass == 1 || mAuthoritative)
                entity->spawn();
            // Single-player vials are there to be found once.
            if (singlePlayer && entity->getType() == PACKAGE_TYPE &&
                static_cast<Package*>(entity)->getVials() > 0)
                static_cast<Package*>(entity)->disableRespawn();
        }

    if (singlePlayer && mAuthoritative)
        for (const LevelPoint& point : mLevel->getPoints())
            if (point.type == LevelPoint::TYPE_SPECIAL && (point.name == EXIT || point.name == CHECKPOINT) &&
                mEntities->getPrototype(point.name))
                mEntities->createEntity(point.name, point.getPosition(), Ogre::Quaternion::IDENTITY,
                                        Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);

    mMatchTime = 0.0f;
    mVoicePlayed = false;
    mMatchState = Running;
    mWinner = 0;
    mScoreLimit = scoreLimit;
    mEntities->setSyncEnabled(true);
    if (singlePlayer && !editorPreview && mHighScores)
    {
        const std::string key = mLevel->getHighScoreName(level);
        if (mHighScores->getOnlineHighScoresAge(key) >= HIGH_SCORE_MAX_AGE)
            mHighScores->refresh(key);
    }
}

void PlayerManager::addPlayerToMatch(unsigned int index, Controller* controller)
{
    Player* player = getPlayer(index);
    if (!player || !mEntities)
        return;
    Entity* entity = nullptr;
    try
    {
        entity = mEntities->createEntity(PLAYER_PROTOTYPE);
    }
    catch (const Ogre::Exception&)
    {
        // Logged below: a level without the prototype leaves the player out.
    }
    if (!entity || entity->getType() != HUMAN_TYPE)
    {
        brix::Log::error("Could not create entity for player '%s'", player->getName().c_str());
        if (entity)
            entity->kill();
        return;
    }
    entity->addRuntimeFlags(Entity::RUNTIME_KEEP);
    entity->setPosition(mSinglePlayer ? mLevel->getSinglePlayerStart() : chooseMultiplayerStart(entity));
    entity->spawn();
    Human* human = static_cast<Human*>(entity);
    if (!mSinglePlayer)
        human->setKeyMask(ALL_KEYS);
    human->setController(controller);
    human->setPlayer(true);
    player->joinMatch(entity);
    if (mEntryLog.allow())
        brix::Log::info("Added player '%s' to match", player->getName().c_str());
}

Ogre::Vector3 PlayerManager::chooseMultiplayerStart(const Entity* own) const
{
    std::vector<Ogre::Vector3> free;
    const std::vector<LevelPoint>& points = mLevel->getPoints();
    for (unsigned int index : mLevel->getMultiplayerStarts())
    {
        if (index >= points.size())
            continue;
        const Ogre::Vector3 start = points[index].getPosition();
        bool taken = false;
        for (const auto& player : mPlayers)
        {
            const Entity* human = player ? player->getHuman() : nullptr;
            if (human && human != own)
            {
                const Ogre::Vector3 offset = human->getPosition() - start;
                taken =
                    taken || offset.x * offset.x + offset.y * offset.y < START_CLEARANCE * START_CLEARANCE;
            }
        }
        if (!taken)
            free.push_back(start);
    }
    if (free.empty())
        return mLevel->getRandomMultiplayerStart();
    return free[static_cast<size_t>(std::rand()) % free.size()];
}

void PlayerManager::removePlayerFromMatch(unsigned int index)
{
    Player* player = getPlayer(index);
    if (!player)
        return;
    Entity* human = player->getHuman();
    player->leaveMatch();
    if (human)
    {
        // Its controller may be deleted right after. Kept no longer, its place is purged like
        // any other dead entity's: a slot a departed player still held is never given again.
        static_cast<Human*>(human)->setController(nullptr);
        human->removeRuntimeFlags(Entity::RUNTIME_KEEP);
        human->remove();
        human->kill();
    }
    if (mRemovalLog.allow())
        brix::Log::info("Removed player '%s' from level", player->getName().c_str());
}

int PlayerManager::submitHighScore(const Player& winner)
{
    if (!mScoreFiled)
    {
        brix::Log::info("Level preview differs from the saved level, score not filed");
        return 0;
    }
    const bool modified = mGameDataModified || mLevelModified;
    const std::string key = mLevel->getHighScoreName(mLevel->getName());
    const int score = static_cast<int>(winner.getScore());
    const int local = mHighScores->testLocalHighScore(key, score);
    const int online = mHighScores->testOnlineHighScore(key, score);
    int result = local;
    if (online != 0 && (local == 0 || online < local))
    {
        if (modified)
            brix::Log::info("Level or configuration modified, ignoring online high-score");
        else if (mScoreOffline)
            brix::Log::info("Built-in level preview, ignoring online high-score");
        else
            result = online | ONLINE_RANK;
    }
    if (result == 0)
        return 0;
    char custom[64];
    std::snprintf(custom, sizeof(custom), "%.1f|%u|%u", mMatchTime, winner.getKills(), winner.getVials());
    brix::HighScore entry;
    entry.level = key;
    entry.name = winner.getName();
    entry.score = score;
    entry.timestamp = static_cast<unsigned int>(std::time(nullptr));
    entry.custom = custom;
    mHighScores->add(entry, !modified && !mScoreOffline);
    brix::Log::info("Local high-score rank %d, online %d", local, online);
    return result;
}

void PlayerManager::completeMatch(unsigned int winnerIndex)
{
    mMatchState = Complete;
    const Player* winner = getPlayer(winnerIndex);
    mWinner = winner ? winnerIndex : 0;
    const int placing = mSinglePlayer && winner && mHighScores && mLevel ? submitHighScore(*winner) : 0;
    brix::Log::info("Level '%s' completed in %fs", getLevelName().c_str(), mMatchTime);
    if (mEvents)
        mEvents->post(EventDispatcher::MatchComplete, static_cast<int>(winnerIndex), placing, "");
}

void PlayerManager::endMatch()
{
    if (mVoiceHandle != 0)
        if (brix::AudioManager* audio = brix::AudioManager::getSingletonPtr())
            audio->stop(mVoiceHandle);
    mVoiceHandle = 0;
    if (mAuthoritative)
        for (auto& player : mPlayers)
            if (player)
                player->leaveMatch();
    if (mEntities)
    {
        mEntities->setSyncEnabled(false);
        mEntities->destroyAllEntities();
        if (brix::OgreParticlePool* particles = mEntities->getParticlePool())
            particles->clearAllParticles();
    }
    if (mLabels)
        mLabels->removeLabels();
    for (auto& player : mPlayers)
        if (player)
            player->forgetLabels();
    if (mLevel)
        mLevel->destroyScene();
    mWinner = 0;
    if (mMatchState != NoMatch)
    {
        mMatchState = NoMatch;
        brix::Log::info("Match ended");
        if (mEvents)
            mEvents->post(EventDispatcher::MatchEnded, 0, 0, "");
    }
}

void PlayerManager::tick(unsigned short tick)
{
    mEntryLog.report();
    mRemovalLog.report();
    for (auto& player : mPlayers)
    {
        if (!player)
            continue;
        player->tick(tick);
        if (!mAuthoritative || mMatchState != Running)
            continue;
        if (player->getState() == Player::RespawnDue)
            if (Entity* human = player->getHuman())
            {
                static_cast<Human*>(human)->respawn(
                    mSinglePlayer ? mCheckpoint : chooseMultiplayerStart(human), mSinglePlayer);
                player->respawn();
            }
        if (mScoreLimit > 0 && player->getScore() >= mScoreLimit)
            completeMatch(player->getIndex());
    }
    if (mMatchState == Running)
        mMatchTime += TICK_SECONDS;
    if (mSinglePlayer && !mVoicePlayed && mMatchTime > VOICE_DELAY && !mVoices.empty())
    {
        mVoicePlayed = true;
        if (brix::AudioSample* voice = mVoices[Ogre::Math::UnitRandom() < 0.5f ? 0 : 1].get())
            mVoiceHandle = voice->play(mCheckpoint, 1.0f, 1.0f, false, -1);
    }
}

void PlayerManager::onEvent(unsigned int id, int a, int, const std::string& text)
{
    if (mAuthoritative || !isRelayedAboutPlayer(id))
        return;
    const unsigned int index = static_cast<unsigned int>(a);
    if (index < 1 || index > MAX_PLAYERS)
        return;
    const unsigned int slot = index - 1;
    // A departure needs no record when there is none: a new one would have no name to tell
    // who left.
    if (id == EventDispatcher::PlayerLeftMatch)
        releaseDeparted(slot, true);
    // Registered last, the new player still hears this event in this delivery.
    else if (!mPlayers[slot])
        makePlayer(slot);
    // The host names nobody so but a newcomer it has just given the seat to: whoever held the
    // seat here, out of the match by now, is gone.
    else if (id == EventDispatcher::PlayerRenamed && text.empty() &&
             mPlayers[slot]->getState() == Player::NotInMatch)
    {
        mDepartedNames[slot].clear();
        makePlayer(slot);
    }
}

// On a client, the one place where a player's record goes, so that none outlives its player.
// A departure takes a player out of the match, not out of his seat: one who stays seated (the
// host restarts) keeps his record, name and all, this client's own player too. The record goes
// once a slot block has shown the seat free: at once when it is out of the match; in the match,
// when its departure arrives, so that what the player said or scored before leaving bears his
// name and his leaving is told. The host posts a departure for every player it told a client
// had entered, and relays it before the client stops hearing. A seat the host gives again
// before a block showed it free is told as new: a client in the match hears the newcomer's
// empty name after the departure (onEvent), and a client out of the match, which hears no
// game events, is shown the seat free by its blocks first (showSeatFreed).
void PlayerManager::releaseDeparted(unsigned int slot, bool departureArrived)
{
    const Player* player = mPlayers[slot].get();
    if (player && mDeparting[slot] && (departureArrived || player->getState() == Player::NotInMatch))
        forgetDeparted(slot);
}

void PlayerManager::forgetDeparted(unsigned int slot)
{
    mDepartedNames[slot] = mPlayers[slot]->getName();
    mDeparting[slot] = false;
    mPlayers[slot].reset();
}

void PlayerManager::showSeatFreed(unsigned short node, unsigned int index)
{
    if (node >= 1 && node < mFreedSeats.size() && index >= 1 && index <= MAX_PLAYERS)
        mFreedSeats[node].slots |= static_cast<unsigned char>(1u << (index - 1));
}

bool PlayerManager::isSeatShownFree(unsigned short node, unsigned int index) const
{
    return node < mFreedSeats.size() && index >= 1 && index <= MAX_PLAYERS &&
           (mFreedSeats[node].slots & (1u << (index - 1))) != 0;
}

void PlayerManager::stopShowingFreedSeats(unsigned short node)
{
    if (node < mFreedSeats.size())
        mFreedSeats[node] = FreedSeats();
}

void PlayerManager::FreedSeats::carry(unsigned short sequence)
{
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
        if ((slots & ~carried) & (1u << slot))
            since[slot] = sequence;
    carried = slots;
    const unsigned short distance = static_cast<unsigned short>(sequence - newest);
    carriers = carriers == 0 || distance >= CARRIER_WINDOW ? 1u : carriers << distance | 1u;
    newest = sequence;
}

void PlayerManager::acknowledgeNetworkData(unsigned short node, unsigned short sequence)
{
    if (node >= mFreedSeats.size())
        return;
    FreedSeats& freed = mFreedSeats[node];
    // Only a packet that carried the block proves the node was shown the seats free: one
    // acknowledged after it may be one that did not.
    const unsigned short distance = static_cast<unsigned short>(freed.newest - sequence);
    if (freed.carried == 0 || distance >= CARRIER_WINDOW || !(freed.carriers & (1u << distance)))
        return;
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
        if ((freed.carried & (1u << slot)) &&
            static_cast<short>(static_cast<unsigned short>(sequence - freed.since[slot])) >= 0)
        {
            freed.slots &= static_cast<unsigned char>(~(1u << slot));
            freed.carried &= static_cast<unsigned char>(~(1u << slot));
        }
    if (freed.slots == 0)
        freed = FreedSeats();
}

void PlayerManager::encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                                      unsigned short sequence)
{
    FreedSeats* freed = node < mFreedSeats.size() ? &mFreedSeats[node] : nullptr;
    const unsigned char shownFree = freed ? freed->slots : 0;
    // Seats shown free go in every packet, so that any the node acknowledges proves it saw them.
    if (node == 0 || (sequence % BLOCK_INTERVAL != 0 && shownFree == 0) || stream.getRemaining() < BLOCK_SIZE)
        return;
    unsigned char occupied = 0;
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
        if (mPlayers[slot])
            occupied |= static_cast<unsigned char>(1u << slot);
    stream.encodeUInt8(static_cast<unsigned char>(mMatchState));
    stream.encodeUInt8(static_cast<unsigned char>(occupied & ~shownFree));
    if (shownFree)
        freed->carry(sequence);
}

void PlayerManager::decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream, unsigned short)
{
    if (node != 0 || stream.getRemaining() < BLOCK_SIZE)
        return;
    const unsigned int state = stream.decodeUInt8();
    const unsigned int occupied = stream.decodeUInt8();
    if (state > Complete)
    {
        // A state no server sends: the peer's data cannot be trusted.
        stream.fail(brix::NetworkStream::INVALID_DATA);
        return;
    }
    if (state == Complete && mMatchState == Running)
        mMatchState = Complete;
    for (unsigned int slot = 0; slot < MAX_PLAYERS; ++slot)
    {
        const bool set = (occupied & (1u << slot)) != 0;
        if (!set && mPlayers[slot])
        {
            mDeparting[slot] = true;
            releaseDeparted(slot, false);
        }
        else if (set && !mPlayers[slot])
        {
            mDepartedNames[slot].clear();
            makePlayer(slot);
        }
    }
}
} // namespace game
