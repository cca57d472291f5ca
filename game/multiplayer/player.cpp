#include "game/multiplayer/player.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entity.h"
#include "game/world/enemy.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/package.h"

#include <cstdlib>

namespace game
{
Player::Player(PlayerManager* manager, unsigned int index, bool authoritative)
    : mManager(manager), mEvents(manager->getEventDispatcher()), mIndex(index), mAuthoritative(authoritative)
{
    if (mEvents)
        mEvents->addListener(this);
}

Player::~Player()
{
    if (mEvents)
        mEvents->removeListener(this);
}

std::string Player::getNameWithScore() const
{
    return mName + " (" + std::to_string(mScore) + ")";
}

void Player::setLocal(bool local)
{
    if (local != mLocal)
        mChanged = true;
    mLocal = local;
}

Entity* Player::getHuman() const
{
    EntityManager* entities = mManager->getEntityManager();
    if (!entities || mEntityId == 0)
        return nullptr;
    Entity* entity = entities->getEntity(mEntityId);
    return entity && entity->getType() == "human" ? entity : nullptr;
}

float Player::getHealth() const
{
    const Entity* human = getHuman();
    return human && mState == Alive ? human->getHealth() : 0.0f;
}

void Player::clearCounters()
{
    mKills = 0;
    mScore = 0;
    mVials = 0;
    mTimeSinceLastKill = -1.0f;
}

void Player::setName(const std::string& name)
{
    // A peer's name never grows a label or a scoreboard row past the longest name.
    mName = name.substr(0, MAX_NAME_SIZE);
    mChanged = true;
}

bool Player::isRunning() const
{
    return mManager->getMatchState() == PlayerManager::Running;
}

void Player::post(unsigned int id, int a, int b, const std::string& text)
{
    if (mEvents)
        mEvents->post(id, a, b, text);
}

void Player::joinMatch(Entity* human)
{
    mEntityId = human ? human->getId() : 0;
    mState = Alive;
    clearCounters();
    mCheated = false;
    mChanged = true;
    post(EventDispatcher::PlayerEnteredMatch, static_cast<int>(mIndex), static_cast<int>(mEntityId));
}

void Player::respawn()
{
    mState = Alive;
    post(EventDispatcher::PlayerRespawned, static_cast<int>(mIndex), 0);
}

void Player::leaveMatch()
{
    if (mState != NotInMatch)
        post(EventDispatcher::PlayerLeftMatch, static_cast<int>(mIndex), 0);
    mEntityId = 0;
    mState = NotInMatch;
    clearCounters();
    mCheated = false;
    mChanged = true;
}

void Player::sendStateTo(EventProxy* proxy)
{
    proxy->sendGameEvent(EventDispatcher::PlayerEnteredMatch, mIndex, mEntityId, "");
    proxy->sendGameEvent(EventDispatcher::PlayerRenamed, mIndex, 0, mName);
    proxy->sendGameEvent(EventDispatcher::PlayerConfigured, mIndex, mAppearance, "");
    proxy->sendGameEvent(EventDispatcher::KillScore, mIndex, mScore, std::to_string(mKills));
    proxy->sendGameEvent(EventDispatcher::VialScore, mIndex, mScore, std::to_string(mVials));
}

Player::KillKind Player::getKillKind(float sinceLastKill)
{
    if (sinceLastKill < 0.0f || sinceLastKill >= KILL_STREAK_TIME)
        return SingleKill;
    return sinceLastKill < MULTIPLE_KILL_TIME ? MultipleKill : KillStreak;
}

void Player::creditKill(unsigned int victimId, unsigned int killScore)
{
    const KillKind kind = getKillKind(mTimeSinceLastKill);
    mTimeSinceLastKill = 0.0f;
    const unsigned int value = killScore * (kind + 1);
    if (value == 0)
        return;
    mScore += value;
    ++mKills;
    post(EventDispatcher::KillScore, static_cast<int>(mIndex), static_cast<int>(mScore),
         std::to_string(mKills));
    post(EventDispatcher::KillPopup, static_cast<int>(mIndex), static_cast<int>(victimId),
         std::to_string(kind));
}

void Player::addVials(unsigned int vials)
{
    mScore += vials * SCORE_PER_VIAL;
    mVials += vials;
    mChanged = true;
    post(EventDispatcher::VialScore, static_cast<int>(mIndex), static_cast<int>(mScore),
         std::to_string(mVials));
}

unsigned int Player::getKillScore(unsigned int victimId) const
{
    EntityManager* entities = mManager->getEntityManager();
    const Entity* victim = entities ? entities->getEntity(victimId) : nullptr;
    if (!victim)
        return 0;
    int killScore = 0;
    if (victim->getType() == "human")
        killScore = static_cast<const Human*>(victim)->getKillScore();
    else if (victim->getType() == "drone" || victim->getType() == "crawler")
        killScore = static_cast<const Enemy*>(victim)->getKillScore();
    return killScore > 0 ? static_cast<unsigned int>(killScore) : 0;
}

void Player::addPackage(unsigned int packageId)
{
    EntityManager* entities = mManager->getEntityManager();
    const Entity* package = entities ? entities->getEntity(packageId) : nullptr;
    if (!package || package->getType() != "package")
        return;
    const int vials = static_cast<const Package*>(package)->getVials();
    addVials(vials > 0 ? static_cast<unsigned int>(vials) : 0);
}

void Player::addCompletionBonus()
{
    if (mCheated)
        return;
    mScore += mManager->getTimeBonus();
    if (getHuman())
        mScore += static_cast<unsigned int>(getHealth() * HEALTH_BONUS);
}

void Player::tick(unsigned short)
{
    if (mAuthoritative && mState == Dead)
    {
        mRespawnDelay -= TICK_SECONDS;
        if (mRespawnDelay <= 0.0f)
        {
            mRespawnDelay = 0.0f;
            mState = RespawnDue;
        }
    }
    if (mTimeSinceLastKill >= 0.0f)
        mTimeSinceLastKill += TICK_SECONDS;
}

void Player::onAuthoritativeEvent(unsigned int id, int a, int b)
{
    switch (id)
    {
    case EventDispatcher::HumanKilled:
        if (isOwnHuman(a))
        {
            const Player* killer = b != 0 ? mManager->getPlayerByEntity(static_cast<unsigned>(b)) : nullptr;
            post(EventDispatcher::PlayerKilled, static_cast<int>(mIndex),
                 killer ? static_cast<int>(killer->getIndex()) : 0);
            mRespawnDelay = RESPAWN_DELAY;
            mState = Dead;
            if (mManager->isSinglePlayer() && isRunning())
                mScore = mScore > DEATH_PENALTY ? mScore - DEATH_PENALTY : 0;
        }
        else if (isOwnHuman(b) && !mCheated && isRunning())
            creditKill(static_cast<unsigned int>(a), getKillScore(static_cast<unsigned int>(a)));
        break;
    case EventDispatcher::DroneKilled:
    case EventDispatcher::CrawlerKilled:
        if (isOwnHuman(b) && !mCheated && isRunning())
            creditKill(static_cast<unsigned int>(a), getKillScore(static_cast<unsigned int>(a)));
        break;
    case EventDispatcher::VialsPickedUp:
        if (isOwnHuman(a) && !mCheated && isRunning())
            addPackage(static_cast<unsigned int>(b));
        break;
    case EventDispatcher::ExitReached:
        if (mManager->isSinglePlayer() && isOwnHuman(a) && isRunning())
        {
            addCompletionBonus();
            mManager->completeMatch(mIndex);
        }
        break;
    case EventDispatcher::Cheat:
        if (mManager->isSinglePlayer())
        {
            if (Entity* human = getHuman())
            {
                static_cast<Human*>(human)->applyCheats(a != 0, b != 0);
                static_cast<Human*>(human)->showChatMessage("Oh yeah!");
            }
            mScore = 0;
            mCheated = true;
        }
        break;
    default:
        break;
    }
}

void Player::onMirroredEvent(unsigned int id, int b, const std::string& text)
{
    switch (id)
    {
    case EventDispatcher::PlayerEnteredMatch:
        mEntityId = static_cast<unsigned int>(b);
        mState = Alive;
        clearCounters();
        mChanged = true;
        break;
    case EventDispatcher::KillScore:
        mScore = static_cast<unsigned int>(b);
        mKills = static_cast<unsigned int>(std::strtoul(text.c_str(), nullptr, 10));
        break;
    case EventDispatcher::VialScore:
        mScore = static_cast<unsigned int>(b);
        mVials = static_cast<unsigned int>(std::strtoul(text.c_str(), nullptr, 10));
        break;
    case EventDispatcher::PlayerKilled:
        mState = Dead;
        break;
    case EventDispatcher::PlayerRespawned:
        mState = Alive;
        break;
    case EventDispatcher::PlayerLeftMatch:
        mEntityId = 0;
        mState = NotInMatch;
        clearCounters();
        break;
    default:
        break;
    }
}

void Player::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    if (mAuthoritative)
        onAuthoritativeEvent(id, a, b);
    if (a != static_cast<int>(mIndex))
        return;
    if (!mAuthoritative)
        onMirroredEvent(id, b, text);
    switch (id)
    {
    case EventDispatcher::PlayerRenamed:
        setName(text);
        break;
    case EventDispatcher::PlayerConfigured:
        mAppearance = static_cast<unsigned int>(b);
        mChanged = true;
        break;
    case EventDispatcher::PlayerEnteredMatch:
        mStartShown = false;
        break;
    default:
        break;
    }
}
} // namespace game
