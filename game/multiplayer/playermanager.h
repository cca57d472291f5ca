#pragma once
#include "game/world/eventdispatcher.h"
#include "network/networkobject.h"
#include "toolkit/logthrottle.h"

#include <OgreSharedPtr.h>
#include <OgreVector.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brix
{
class AudioSample;
}

namespace brix
{
class HighScoreManager;
class LabelManager;
} // namespace brix

namespace game
{
class Controller;
class Entity;
class EntityManager;
class EntityMapSource;
class Level;
class Player;

// Owns the match: which level runs, the match state, the score limit and match time, and the
// eight player records (player index = slot + 1). It is network object 2: the server sends
// every client the match state and which slots hold a player.
//
// The block, to client nodes only, in every fourth data packet: UInt8 match state, UInt8
// occupied slots (bit i for slot i). While a node is shown a seat freed (showSeatFreed), every
// packet to it carries the block. Main thread only.
class PlayerManager : public brix::NetworkObject, public EventDispatcher::Listener
{
public:
    enum MatchState : unsigned int
    {
        NoMatch = 0,
        Running = 1,
        Complete = 2
    };

    static constexpr unsigned int MAX_PLAYERS = 8;
    static constexpr unsigned int BLOCK_SIZE = 2;
    // The block goes out in packets whose sequence is a multiple of this.
    static constexpr unsigned short BLOCK_INTERVAL = 4;
    // A full time bonus, paid for finishing at once and falling to 0 at the target time.
    static constexpr int TIME_BONUS = 12000;
    static constexpr float TICK_SECONDS = 0.025f;
    // One of the two voice lines plays once per single-player match, after this much of it.
    static constexpr float VOICE_DELAY = 3.0f;
    static const char* const VOICE_SOUNDS[2];
    // A multiplayer start with another player's human nearer than this (metres, in the play
    // plane) is taken: players enter and respawn on the free ones while there are any.
    static constexpr float START_CLEARANCE = 1.0f;

    PlayerManager();
    ~PlayerManager() override;
    PlayerManager(const PlayerManager&) = delete;
    PlayerManager& operator=(const PlayerManager&) = delete;

    // The services are not owned; the dispatcher must outlive every player. Checks the shipped
    // data files against their checksums.
    void initialize(EventDispatcher* events, brix::LabelManager* labels, Level* level,
                    EntityManager* entities, brix::HighScoreManager* highScores);

    // True where this process runs the match rules (single player, host, editor preview).
    void setAuthoritative(bool authoritative) { mAuthoritative = authoritative; }
    bool isAuthoritative() const { return mAuthoritative; }
    MatchState getMatchState() const { return mMatchState; }
    float getMatchTime() const { return mMatchTime; }
    unsigned int getScoreLimit() const { return mScoreLimit; }
    // The index of the winner of the complete match while its player is there, else 0: whoever
    // takes the seat next did not win.
    unsigned int getWinner() const { return mWinner; }
    bool isSinglePlayer() const { return mSinglePlayer; }
    Level* getLevel() const { return mLevel; }
    EntityManager* getEntityManager() const { return mEntities; }
    EventDispatcher* getEventDispatcher() const { return mEvents; }
    // Null where nothing is shown (a server without a window, tests).
    brix::LabelManager* getLabelManager() const { return mLabels; }
    std::string getLevelName() const;
    void setCheckpoint(const Ogre::Vector3& checkpoint) { mCheckpoint = checkpoint; }
    const Ogre::Vector3& getCheckpoint() const { return mCheckpoint; }

    // A player in the first free slot; null when all are taken.
    Player* createPlayer();
    void deletePlayer(Player* player);
    void deleteAllPlayers();
    // Index 1 to 8; null for any other or a free slot.
    Player* getPlayer(unsigned int index) const;
    // On a client, the name of the player whose record was let go last from index 1 to
    // MAX_PLAYERS; empty for none. A player in the match keeps its record after the slot block
    // freed it until its departure event arrives, so what it said or scored before leaving
    // bears its name; the departure, heard after this manager has let the record go, still
    // tells who left.
    std::string getDepartedName(unsigned int index) const;
    // Counts the records the seat of that index has had (0 for an index past the seats): a new
    // number is a new player in the seat, one the host has just given it to.
    unsigned int getSeatVisit(unsigned int index) const;
    Player* getPlayerByEntity(unsigned int entityId) const;
    // Appends every player in slot order.
    void getPlayers(std::vector<Player*>& players) const;
    // How many players score more than this one: 0 for the leader, ties share a rank.
    unsigned int getRank(unsigned int index) const;
    // (t - m) x TIME_BONUS / t for a level target time t above the match time m, else 0;
    // never more than TIME_BONUS, whatever the target time.
    int getTimeBonus() const;

    // Loads the level from its file (the editor's preview plays the level held, as edited),
    // builds its scene, asks for its light map and sound map when it lacks them (outside the
    // editor preview) and creates its entities. False, logged, with the world cleared and the
    // level unloaded (the editor's stays), when the level fails to load (Level::checkPoint: an
    // unknown prototype among them), or its scene or an entity cannot be built. Posts
    // MatchStarted.
    bool startMatch(const std::string& level, unsigned int scoreLimit, bool singlePlayer, bool editorPreview);
    // Spawns a human of the prototype "player" for the player (at the single-player start, else
    // at a random multiplayer start; every key outside single player), driven by the controller
    // (not owned), and joins the player to the match. Logged when the human cannot be made.
    void addPlayerToMatch(unsigned int index, Controller* controller);
    // Takes the player out of the match and removes its human.
    void removePlayerFromMatch(unsigned int index);
    // Complete for the winner (0: none); posts MatchComplete. A single-player winner's score
    // goes to the high scores when it places; the placing travels with the event (online
    // placings + 16, never from changed data nor a preview of a built-in level). A preview of
    // edits not saved files no score.
    void completeMatch(unsigned int winnerIndex);
    // With authority every player leaves; the world is cleared; posts MatchEnded when a match
    // was on.
    void endMatch();
    // Every fixed tick after the entity simulation: the players' ticks, the score limit and
    // the match time.
    void tick(unsigned short tick);

    // A client learns of players from the events the server relays: one named before the
    // occupancy block arrives is made at once, so nothing said about it is lost. An empty name
    // is the host's word that it gave the seat to a newcomer, who gets a record of his own.
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;

    // On the host, for a client out of the match, which hears no game events: its blocks show
    // the seat of that player index free, whoever holds it by then, until the node has
    // acknowledged a packet that carried one. So a seat freed and given again in one frame is
    // new there too.
    void showSeatFreed(unsigned short node, unsigned int index);
    // Whether the node's blocks show the seat of that player index free and no packet that
    // carried it has been acknowledged yet: for all the host knows, the node never saw it free.
    bool isSeatShownFree(unsigned short node, unsigned int index) const;
    // The node's blocks show every seat as it is again (it entered the match and was told every
    // seat, or its own seat went).
    void stopShowingFreedSeats(unsigned short node);

    void acknowledgeNetworkData(unsigned short node, unsigned short sequence) override;
    void encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                           unsigned short sequence) override;
    void decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                           unsigned short sequence) override;

private:
    // Packets remembered as carriers of seats shown free.
    static constexpr unsigned short CARRIER_WINDOW = 32;
    // The seats a node's blocks show free.
    struct FreedSeats
    {
        unsigned char slots = 0;
        // Of those, the ones a packet has carried, and the first packet that carried each.
        unsigned char carried = 0;
        unsigned short since[MAX_PLAYERS] = {};
        // The newest packet that carried the block, and bit k set when packet newest - k did.
        unsigned short newest = 0;
        uint32_t carriers = 0;

        void carry(unsigned short sequence);
    };

    // A random multiplayer start no other player's human stands on; any start when all are taken.
    Ogre::Vector3 chooseMultiplayerStart(const Entity* own) const;
    // The placing of the winner's score, 0 when it makes no table; adds it when it does.
    int submitHighScore(const Player& winner);
    // On a client, lets a record go once its slot is free and its player out of the match, or
    // its departure has just arrived.
    void releaseDeparted(unsigned int slot, bool departureArrived);
    // Drops the record of a player who left, keeping its name for the departure.
    void forgetDeparted(unsigned int slot);
    // A new record in the slot, the seat's next visit.
    Player* makePlayer(unsigned int slot);
    // Starts the match on the loaded level; exceptions out of its scene and entities pass
    // through to startMatch.
    void buildMatch(const std::string& level, unsigned int scoreLimit, bool singlePlayer, bool editorPreview);

    EventDispatcher* mEvents = nullptr;
    brix::LabelManager* mLabels = nullptr;
    Level* mLevel = nullptr;
    EntityManager* mEntities = nullptr;
    brix::HighScoreManager* mHighScores = nullptr;
    // What the map generators of a match start ask about the level's entities.
    std::unique_ptr<EntityMapSource> mMapSource;
    std::vector<std::unique_ptr<Player>> mPlayers;
    std::vector<std::string> mDepartedNames;
    // On a client, the slots a block freed whose record has not gone yet.
    std::vector<bool> mDeparting;
    std::vector<unsigned int> mSeatVisits;
    // On the host, by client node.
    std::vector<FreedSeats> mFreedSeats;
    bool mAuthoritative = true;
    // The shipped entity definitions or block catalogue, or the built-in level, were changed.
    bool mGameDataModified = false;
    bool mLevelModified = false;
    // The match's score may be filed as the level's; and it stays off the online table.
    bool mScoreFiled = true;
    bool mScoreOffline = false;
    bool mSinglePlayer = false;
    MatchState mMatchState = NoMatch;
    unsigned int mScoreLimit = 0;
    unsigned int mWinner = 0;
    float mMatchTime = 0.0f;
    Ogre::Vector3 mCheckpoint = Ogre::Vector3::ZERO;
    // Loaded when there is an audio manager; the voice's handle while it plays.
    std::vector<Ogre::SharedPtr<brix::AudioSample>> mVoices;
    unsigned int mVoiceHandle = 0;
    bool mVoicePlayed = false;
    // Players coming and going as fast as strangers can join and leave write about one line
    // a second each, the rest counted.
    brix::LogThrottle mEntryLog{brix::Log::INFO, "players added to the match"};
    brix::LogThrottle mRemovalLog{brix::Log::INFO, "players removed from the level"};
};
} // namespace game
