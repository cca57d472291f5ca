#pragma once
#include "game/world/eventdispatcher.h"

#include <OgreColourValue.h>
#include <OgreVector.h>

#include <string>

namespace brix
{
class TextLabel;
}

namespace game
{
class Controller;
class Entity;
class Human;
class EventProxy;
struct LevelPoint;
class PlayerManager;

// One player's record in the match: name, appearance, its human, kills, score and vials, and
// whether it is alive, dead or due to respawn. On the authoritative side (single player, host)
// the player scores its own kills and pickups and times its respawn from the game events; on a
// joined client it mirrors what the server relays. Created and deleted by the player manager.
// Main thread only.
class Player : public EventDispatcher::Listener
{
public:
    enum State : unsigned int
    {
        NotInMatch = 0,
        Dead = 1,       // the respawn delay runs
        RespawnDue = 2, // the player manager respawns the human
        Alive = 3
    };
    enum KillKind : unsigned int
    {
        SingleKill = 0,
        MultipleKill = 1, // within MULTIPLE_KILL_TIME of the last kill
        KillStreak = 2    // within KILL_STREAK_TIME of the last kill
    };

    static constexpr float TICK_SECONDS = 0.025f;
    static constexpr float RESPAWN_DELAY = 5.0f;
    static constexpr float MULTIPLE_KILL_TIME = 0.5f;
    static constexpr float KILL_STREAK_TIME = 5.0f;
    static constexpr unsigned int SCORE_PER_VIAL = 300;
    // Taken for a death in single player, never below 0.
    static constexpr unsigned int DEATH_PENALTY = 1000;
    // The exit bonus per whole health.
    static constexpr unsigned int HEALTH_BONUS = 2000;
    // Longest name kept, in bytes.
    static constexpr unsigned int MAX_NAME_SIZE = 60;
    // The name a player who names none goes by.
    static constexpr const char* UNKNOWN_NAME = "Unknown";
    // Floating texts: over the position by FLOAT_OFFSET, rising and fading away.
    static constexpr float FLOAT_SIZE = 0.4f;
    static constexpr float FLOAT_SECONDS = 2.0f;
    static constexpr float FLOAT_RISE = 1.5f;
    static constexpr float FADE_RATE = 0.5f;
    // Hints, the level title and the summary stand over the position by NOTE_OFFSET.
    static constexpr float NOTE_SECONDS = 10.0f;
    static constexpr float NOTE_DELAY = 8.0f;
    // Chat over the human, in seconds.
    static constexpr float CHAT_SECONDS = 3.0f;
    // The summary's score counts up to the full score in this many seconds.
    static constexpr float COUNT_UP_SECONDS = 2.0f;
    static const Ogre::Vector3 FLOAT_OFFSET;
    static const Ogre::Vector3 NOTE_OFFSET;
    // A hint is read where the player is: centred this far ahead of the human, where its camera
    // looks, under the level's title by HINT_OFFSET; it keeps that place as the human moves until
    // it starts to fade.
    static constexpr float HINT_AHEAD = 4.0f;
    static const Ogre::Vector3 HINT_OFFSET;

    // Registers with the player manager's event dispatcher; the destructor unregisters.
    Player(PlayerManager* manager, unsigned int index, bool authoritative);
    virtual ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    unsigned int getIndex() const { return mIndex; }
    const std::string& getName() const { return mName; }
    // The name followed by the score in brackets: "Ann (300)".
    std::string getNameWithScore() const;
    unsigned int getAppearance() const { return mAppearance; }
    unsigned int getScore() const { return mScore; }
    unsigned int getKills() const { return mKills; }
    unsigned int getVials() const { return mVials; }
    State getState() const { return mState; }
    unsigned int getEntityId() const { return mEntityId; }
    bool isAuthoritative() const { return mAuthoritative; }
    bool isLocal() const { return mLocal; }
    void setLocal(bool local);
    bool isCheated() const { return mCheated; }
    // Seconds since the last kill, -1 before the first.
    float getTimeSinceLastKill() const { return mTimeSinceLastKill; }
    // Its human when it exists, else null.
    Entity* getHuman() const;
    // The human's health fraction while alive, else 0.
    float getHealth() const;

    // Takes the human into the match with clean counters; posts PlayerEnteredMatch.
    void joinMatch(Entity* human);
    // Alive again; posts PlayerRespawned.
    void respawn();
    // Posts PlayerLeftMatch when in the match, then clears the record.
    void leaveMatch();
    // Sends this player's whole state to one peer: entered (only when in the match), renamed,
    // configured, kill and vial scores, and killed when dead, in that order.
    void sendStateTo(EventProxy* proxy);

    // Credits a kill of the victim worth its kill score, times 1, 2 or 3 by how soon it came
    // after the last one; a kill worth nothing counts nothing. Posts KillScore and KillPopup.
    void creditKill(unsigned int victimId, unsigned int killScore);
    // Adds a package's vials at SCORE_PER_VIAL each; posts VialScore.
    void addVials(unsigned int vials);
    // Adds the vials of the package entity; anything else adds nothing.
    void addPackage(unsigned int packageId);
    // What a kill of the entity is worth before its kind: a human's kill score, 0 for
    // anything else.
    unsigned int getKillScore(unsigned int victimId) const;
    // The single-player exit bonus: the player manager's time bonus and the health bonus,
    // nothing once cheated.
    void addCompletionBonus();

    // The kind of a kill that comes sinceLastKill seconds after the previous (-1: none).
    static KillKind getKillKind(float sinceLastKill);
    // A floating text: the caption, then " +" and the value for 1 or more, or " " and the
    // value when negative ("Kill +200", "Death -1000", "Health").
    static std::string getFloatingText(const std::string& caption, int value);
    // "1st", "2nd", "3rd", then "4th" and on, for ranks from 0.
    static std::string getPlacing(unsigned int rank);
    // A hint's label text and sub-text: its first and second parts between "|" (empty parts
    // do not count), every #ACTION# of the second replaced by the controller's text for that
    // action. False when the hint has no part.
    static bool splitHint(const std::string& hint, const Controller* controller, std::string& text,
                          std::string& subText);

    // Where the human stood when the match completed.
    Ogre::Vector3 getEndPosition() const { return mEndPosition; }
    // Forgets labels the label manager has removed (the match ended).
    void forgetLabels();

    // Every fixed tick: the respawn delay and the time since the last kill.
    void tick(unsigned short tick);
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;

private:
    // Clean counters for a new life in the match.
    void clearCounters();
    void setName(const std::string& name);
    bool isRunning() const;
    bool isOwnHuman(int entityId) const
    {
        return mEntityId != 0 && static_cast<unsigned>(entityId) == mEntityId;
    }
    void post(unsigned int id, int a, int b, const std::string& text = std::string());
    void onAuthoritativeEvent(unsigned int id, int a, int b);
    void onMirroredEvent(unsigned int id, int b, const std::string& text);
    void onSharedEvent(unsigned int id, int a, int b, const std::string& text);
    // A text label over the position, or null without a label manager.
    brix::TextLabel* addTextLabel(const Ogre::Vector3& position, const std::string& text,
                                  const Ogre::ColourValue& colour, float seconds, bool ownView);
    void showFloatingText(const Ogre::Vector3& position, const std::string& caption, int value,
                          const Ogre::ColourValue& colour);
    void showPickup(unsigned int id, unsigned int packageId);
    void showDeath();
    void showHint(const LevelPoint& point);
    static Ogre::Vector3 getHintPosition(const Human& human);
    void followHint();
    void showTitle();
    void showSummary();
    // Label layers that show only to the observers of this player's human.
    unsigned int getViewFlags() const;

    PlayerManager* mManager;
    EventDispatcher* mEvents;
    unsigned int mIndex;
    bool mAuthoritative;
    bool mLocal = false;
    std::string mName;
    unsigned int mAppearance = 0;
    unsigned int mEntityId = 0;
    unsigned int mKills = 0;
    unsigned int mScore = 0;
    unsigned int mVials = 0;
    // The name, score, appearance or local flag changed since the human's label was last
    // updated.
    bool mChanged = false;
    State mState = NotInMatch;
    float mRespawnDelay = 0.0f;
    float mTimeSinceLastKill = -1.0f;
    bool mStartShown = false;
    bool mCheated = false;
    Ogre::Vector3 mEndPosition = Ogre::Vector3::ZERO;
    brix::TextLabel* mCompletionLabel = nullptr;
    float mShownScore = 0.0f;
    // The hint that follows the human, and its age in seconds; the label manager deletes it
    // NOTE_SECONDS after it was shown, so it is let go at NOTE_DELAY.
    brix::TextLabel* mHintLabel = nullptr;
    float mHintSeconds = 0.0f;
};
} // namespace game
