#include "game/multiplayer/player.h"
#include "toolkit/peertext.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entity.h"
#include "game/world/enemy.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/package.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/textlabel.h"
#include "game/level/level.h"
#include "game/level/levelpoint.h"
#include "game/world/controller.h"
#include "toolkit/log.h"

#include <OgreStringConverter.h>
#include <OgreStringVector.h>
#include <OgreString.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace game
{
namespace
{
const char* const TEXT_LABEL = "text";
const char* const SOUND_GROUP = "default";
const char* const HINT_SEPARATOR = "|";
const char TAG = '#';
const Ogre::ColourValue KILL_COLOUR(1.0f, 0.1f, 0.0f, 0.8f);
const Ogre::ColourValue VIALS_COLOUR(0.2f, 1.0f, 0.0f, 0.8f);
const Ogre::ColourValue HEALTH_COLOUR(1.0f, 0.6f, 0.0f, 0.8f);
const Ogre::ColourValue AMMUNITION_COLOUR(1.0f, 1.0f, 1.0f, 0.8f);
const Ogre::ColourValue SHIELD_COLOUR(0.0f, 0.523f, 0.561f, 0.8f);
const Ogre::ColourValue CHECKPOINT_COLOUR(1.0f, 1.0f, 1.0f, 0.6f);
const Ogre::ColourValue NOTE_COLOUR(1.0f, 1.0f, 1.0f, 0.7f);
// A key's own colour is dimmed to this alpha share.
const float KEY_ALPHA = 0.8f;
// The summary's lines stand this far apart, its title this much larger.
const float SUMMARY_LINE = 0.6f;
const float SUMMARY_TITLE_SIZE = 0.8f;
const char* const KILL_CAPTIONS[] = {"Kill", "Multiple kill", "Kill streak"};
} // namespace

const Ogre::Vector3 Player::FLOAT_OFFSET(0.0f, 2.0f, 0.0f);
const Ogre::Vector3 Player::NOTE_OFFSET(0.0f, 3.0f, 2.0f);
const Ogre::Vector3 Player::HINT_OFFSET(0.0f, 2.0f, 2.0f);
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
    // A peer's name never grows a label or a scoreboard row past the longest name, nor
    // carries what could garble them.
    mName = brix::PeerText::clean(name, MAX_NAME_SIZE);
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
    mStartShown = false;
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
    // Told as entered, a player must be told as departed too: only one in the match is.
    if (mState != NotInMatch)
        proxy->sendGameEvent(EventDispatcher::PlayerEnteredMatch, mIndex, mEntityId, "");
    proxy->sendGameEvent(EventDispatcher::PlayerRenamed, mIndex, 0, mName);
    proxy->sendGameEvent(EventDispatcher::PlayerConfigured, mIndex, mAppearance, "");
    proxy->sendGameEvent(EventDispatcher::KillScore, mIndex, mScore, std::to_string(mKills));
    proxy->sendGameEvent(EventDispatcher::VialScore, mIndex, mScore, std::to_string(mVials));
    // Dead until its respawn, or for good in a complete match. The peer takes it as a state:
    // it shows no death for what happened before it was in the match.
    if (mState == Dead || mState == RespawnDue)
        proxy->sendGameEvent(EventDispatcher::PlayerKilled, mIndex, 0, "");
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
    mChanged = true;
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

    Entity* human = getHuman();
    if (human && mChanged)
    {
        Human* character = static_cast<Human*>(human);
        if (!mLocal)
            character->setDisplayName(getNameWithScore());
        character->setAimMarkerVisible(mLocal);
        if (!mManager->isSinglePlayer())
            character->setSkin(static_cast<int>(mAppearance));
        mChanged = false;
    }
    followHint();
    if (mLocal && human)
    {
        Level* level = mManager->getLevel();
        LevelPoint point;
        if (level && isRunning() && level->takeTriggerPoint(human->getPosition(), point))
        {
            if (point.isSpecial(LevelPoint::HINT))
                showHint(point);
            else if (point.isSpecial(LevelPoint::SOUND) && !point.value.empty())
                if (brix::AudioManager* audio = brix::AudioManager::getSingletonPtr())
                    if (brix::AudioSamplePtr sound = audio->load(point.value, SOUND_GROUP))
                        sound->play(point.getPosition(), 1.0f, 1.0f, false, -1);
        }
        if (!mStartShown)
        {
            mStartShown = true;
            showTitle();
        }
    }
    if (mCompletionLabel && mShownScore < mScore)
    {
        mShownScore =
            std::min(static_cast<float>(mScore), mShownScore + mScore * TICK_SECONDS / COUNT_UP_SECONDS);
        mCompletionLabel->setText("Score: " + std::to_string(static_cast<unsigned int>(mShownScore)));
    }
}

std::string Player::getFloatingText(const std::string& caption, int value)
{
    if (value >= 1)
        return caption + " +" + std::to_string(value);
    if (value < 0)
        return caption + " " + std::to_string(value);
    return caption;
}

std::string Player::getPlacing(unsigned int rank)
{
    static const char* const PLACINGS[] = {"1st", "2nd", "3rd"};
    return rank < 3 ? PLACINGS[rank] : std::to_string(rank + 1) + "th";
}

bool Player::splitHint(const std::string& hint, const Controller* controller, std::string& text,
                       std::string& subText)
{
    const Ogre::StringVector parts = Ogre::StringUtil::split(hint, HINT_SEPARATOR);
    if (parts.empty() || parts[0].empty())
        return false;
    text = parts[0];
    subText.clear();
    if (parts.size() < 2)
        return true;
    const std::string& rest = parts[1];
    size_t position = 0;
    while (position < rest.size())
    {
        const size_t open = rest.find(TAG, position);
        const size_t close = open == std::string::npos ? open : rest.find(TAG, open + 1);
        if (close == std::string::npos)
        {
            if (open != std::string::npos)
                brix::Log::error("Unterminated tag in level hint text '%s' at %d", hint.c_str(),
                                 static_cast<int>(open));
            subText += rest.substr(position);
            break;
        }
        subText += rest.substr(position, open - position);
        const std::string action = rest.substr(open + 1, close - open - 1);
        subText += controller ? controller->getControlText(action) : action;
        position = close + 1;
    }
    return true;
}

unsigned int Player::getViewFlags() const
{
    const EntityManager* entities = mManager->getEntityManager();
    const Entity* human = getHuman();
    return entities && human ? entities->getObserverMask(human) : 0;
}

brix::TextLabel* Player::addTextLabel(const Ogre::Vector3& position, const std::string& text,
                                      const Ogre::ColourValue& colour, float seconds, bool ownView)
{
    brix::LabelManager* labels = mManager->getLabelManager();
    if (!labels)
        return nullptr;
    auto* label = static_cast<brix::TextLabel*>(labels->addLabel(TEXT_LABEL, position));
    if (!label)
        return nullptr;
    label->setText(text);
    label->setTextSize(FLOAT_SIZE);
    label->setColor(colour);
    label->setDuration(seconds);
    if (ownView)
        label->setLayerFlags(getViewFlags());
    return label;
}

void Player::showFloatingText(const Ogre::Vector3& position, const std::string& caption, int value,
                              const Ogre::ColourValue& colour)
{
    if (brix::TextLabel* label = addTextLabel(position + FLOAT_OFFSET, getFloatingText(caption, value),
                                              colour, FLOAT_SECONDS, false))
        label->setAnimation(Ogre::Vector3(0.0f, FLOAT_RISE, 0.0f), FADE_RATE, 0.0f);
}

void Player::showPickup(unsigned int id, unsigned int packageId)
{
    const Entity* human = getHuman();
    if (!human)
        return;
    const Ogre::Vector3 position = human->getPosition();
    switch (id)
    {
    case EventDispatcher::VialsPickedUp:
    {
        EntityManager* entities = mManager->getEntityManager();
        const Entity* package = entities ? entities->getEntity(packageId) : nullptr;
        const int vials =
            package && package->getType() == "package" ? static_cast<const Package*>(package)->getVials() : 0;
        showFloatingText(position, "Vials", vials * static_cast<int>(SCORE_PER_VIAL), VIALS_COLOUR);
        break;
    }
    case EventDispatcher::HealthPickedUp:
        showFloatingText(position, "Health", 0, HEALTH_COLOUR);
        break;
    case EventDispatcher::AmmunitionPickedUp:
        showFloatingText(position, "Ammunition", 0, AMMUNITION_COLOUR);
        break;
    case EventDispatcher::KeyPickedUp:
    {
        EntityManager* entities = mManager->getEntityManager();
        const Entity* package = entities ? entities->getEntity(packageId) : nullptr;
        if (!package || package->getType() != "package")
            break;
        const int key = static_cast<const Package*>(package)->getKeyMask();
        Ogre::ColourValue colour = Package::getKeyColour(key);
        colour.a *= KEY_ALPHA;
        showFloatingText(position, Package::getKeyName(key), 0, colour);
        break;
    }
    case EventDispatcher::ShieldEnergyPickedUp:
        showFloatingText(position, "Shield energy", 0, SHIELD_COLOUR);
        break;
    default:
        break;
    }
}

void Player::showDeath()
{
    if (const Entity* human = getHuman())
        if (mManager->isSinglePlayer())
            showFloatingText(human->getPosition(), "Death", -static_cast<int>(DEATH_PENALTY), KILL_COLOUR);
}

void Player::showHint(const LevelPoint& point)
{
    const Entity* human = getHuman();
    std::string text;
    std::string subText;
    if (!splitHint(point.value, human ? static_cast<const Human*>(human)->getController() : nullptr, text,
                   subText))
        return;
    const Ogre::Vector3 position =
        human ? getHintPosition(*static_cast<const Human*>(human)) : point.getPosition();
    if (brix::TextLabel* label = addTextLabel(position, text, NOTE_COLOUR, NOTE_SECONDS, true))
    {
        label->setSubText(subText);
        label->setAnimation(Ogre::Vector3::ZERO, FADE_RATE, NOTE_DELAY);
        mHintLabel = label;
        mHintSeconds = 0.0f;
    }
}

Ogre::Vector3 Player::getHintPosition(const Human& human)
{
    return human.getPosition() + Ogre::Vector3(human.getFacing() * HINT_AHEAD, 0.0f, 0.0f) + HINT_OFFSET;
}

void Player::followHint()
{
    if (!mHintLabel)
        return;
    mHintSeconds += TICK_SECONDS;
    if (mHintSeconds >= NOTE_DELAY)
        mHintLabel = nullptr;
    else if (const Entity* human = getHuman())
        mHintLabel->setPosition(getHintPosition(*static_cast<const Human*>(human)));
}

void Player::showTitle()
{
    const Level* level = mManager->getLevel();
    const Entity* human = getHuman();
    if (!level || !human || level->getTitle().empty())
        return;
    const Ogre::Vector3 ahead(static_cast<const Human*>(human)->getFacing() * HINT_AHEAD, 0.0f, 0.0f);
    if (brix::TextLabel* label = addTextLabel(human->getPosition() + ahead + NOTE_OFFSET, level->getTitle(),
                                              NOTE_COLOUR, NOTE_SECONDS, true))
    {
        if (!level->getAuthor().empty())
            label->setSubText("by " + level->getAuthor());
        label->setAnimation(Ogre::Vector3::ZERO, FADE_RATE, NOTE_DELAY);
    }
}

void Player::showSummary()
{
    if (!getHuman())
        return;
    const bool single = mManager->isSinglePlayer();
    const std::string title =
        single ? "Level complete" : "You placed " + getPlacing(mManager->getRank(mIndex)) + "!";
    char time[32];
    std::snprintf(time, sizeof(time), "%.1f", mManager->getMatchTime());
    const std::string footer = single ? "Press ESC to continue"
                               : mAuthoritative
                                   ? "Press TAB for scoreboard, ESC to continue"
                                   : "Press TAB for scoreboard, wait for host to set up another match";
    Ogre::Vector3 position = mEndPosition + NOTE_OFFSET;
    if (brix::TextLabel* label = addTextLabel(position, title, NOTE_COLOUR, 0.0f, true))
        label->setTextSize(SUMMARY_TITLE_SIZE);
    const std::string lines[] = {"Time: " + std::string(time) + "s", "Kills: " + std::to_string(mKills),
                                 "Vials: " + std::to_string(mVials)};
    for (const std::string& line : lines)
    {
        position.y -= SUMMARY_LINE;
        addTextLabel(position, line, NOTE_COLOUR, 0.0f, true);
    }
    position.y -= SUMMARY_LINE;
    mShownScore = 0.0f;
    mCompletionLabel = addTextLabel(position, "Score: 0", NOTE_COLOUR, 0.0f, true);
    position.y -= SUMMARY_LINE;
    addTextLabel(position, footer, NOTE_COLOUR, 0.0f, true);
}

void Player::forgetLabels()
{
    mCompletionLabel = nullptr;
    mHintLabel = nullptr;
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
    case EventDispatcher::CheckpointReached:
        if (mManager->isSinglePlayer() && isOwnHuman(a) && isRunning())
        {
            EntityManager* entities = mManager->getEntityManager();
            if (const Entity* checkpoint =
                    entities ? entities->getEntity(static_cast<unsigned int>(b)) : nullptr)
            {
                showFloatingText(checkpoint->getPosition(), "Checkpoint", 0, CHECKPOINT_COLOUR);
                mManager->setCheckpoint(checkpoint->getPosition());
            }
        }
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
        mChanged = true;
        mScore = static_cast<unsigned int>(b);
        mKills = static_cast<unsigned int>(std::strtoul(text.c_str(), nullptr, 10));
        break;
    case EventDispatcher::VialScore:
        mChanged = true;
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

void Player::onSharedEvent(unsigned int id, int a, int b, const std::string&)
{
    switch (id)
    {
    case EventDispatcher::VialsPickedUp:
    case EventDispatcher::HealthPickedUp:
    case EventDispatcher::AmmunitionPickedUp:
    case EventDispatcher::KeyPickedUp:
    case EventDispatcher::ShieldEnergyPickedUp:
        if (isOwnHuman(a) && isRunning())
            showPickup(id, static_cast<unsigned int>(b));
        break;
    case EventDispatcher::MatchComplete:
        if (const Entity* human = getHuman())
            mEndPosition = human->getPosition();
        showSummary();
        break;
    default:
        break;
    }
}

void Player::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    if (mAuthoritative)
        onAuthoritativeEvent(id, a, b);
    onSharedEvent(id, a, b, text);
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
        // Here the event of joinMatch arrives at the end of a tick whose player tick has shown
        // the title already: cleared again, it would show a second copy over the first.
        if (!mAuthoritative)
            mStartShown = false;
        break;
    case EventDispatcher::ChatMessage:
        if (Entity* human = getHuman())
            static_cast<Human*>(human)->showChatMessage(text);
        break;
    case EventDispatcher::KillPopup:
    {
        EntityManager* entities = mManager->getEntityManager();
        const Entity* victim = entities ? entities->getEntity(static_cast<unsigned int>(b)) : nullptr;
        const unsigned long kind = std::strtoul(text.c_str(), nullptr, 10);
        if (victim && kind <= KillStreak)
            showFloatingText(victim->getPosition(), KILL_CAPTIONS[kind],
                             static_cast<int>(getKillScore(static_cast<unsigned int>(b)) * (kind + 1)),
                             KILL_COLOUR);
        break;
    }
    case EventDispatcher::PlayerKilled:
        showDeath();
        break;
    default:
        break;
    }
}
} // namespace game
