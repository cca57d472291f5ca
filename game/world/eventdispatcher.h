#pragma once
#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace game
{
// The one bus on which the game's parts tell each other what happened. Any part posts an
// event; the dispatcher queues it and delivers the whole queue once per tick, last in the
// tick, to every listener in registration order. Events posted during delivery join the
// back of the queue and are delivered in the same dispatch, so a chain of reactions
// completes within one tick. Main thread only.
class EventDispatcher
{
public:
    // The game events, with what a, b and text carry ("index" is a player index 1 to 8, 0 for
    // none; arguments an event does not use are 0 and ""). Ids 0 and 36 to 199 name no
    // event; 200 and above are system events, which never pass through the dispatcher.
    enum EventId : unsigned int
    {
        MatchStarted = 1,  // a: 1 when the data files or the level were found modified
        MatchComplete = 2, // a: winner's index; b: single-player high-score placing, 0 none
        MatchEnded = 3,
        HumanKilled = 4,          // a: victim human's entity id; b: attacker's entity id or 0
        VialsPickedUp = 5,        // a: human's entity id; b: package's entity id
        HealthPickedUp = 6,       // as VialsPickedUp
        AmmunitionPickedUp = 7,   // as VialsPickedUp
        KeyPickedUp = 8,          // as VialsPickedUp
        ShieldEnergyPickedUp = 9, // as VialsPickedUp
        DroneKilled = 10,         // a: drone's entity id; b: attacker's entity id
        CrawlerKilled = 11,       // a: crawler's entity id; b: attacker's entity id
        ExitReached = 12,         // a: human's entity id; b: exit's entity id
        CheckpointReached = 13,   // a: human's entity id; b: checkpoint's entity id
        PlayerEnteredMatch = 14,  // a: index; b: the player's entity id
        PlayerLeftMatch = 15,     // a: index
        PlayerRespawned = 16,     // a: index
        PlayerRenamed = 17,       // a: index; text: the new name
        PlayerConfigured = 18,    // a: index; b: appearance value
        KillScore = 19,           // a: index; b: new score; text: kill count in decimal
        VialScore = 20,           // a: index; b: new score; text: vial count in decimal
        KillPopup = 21,           // a: index; b: victim's entity id; text: 0 single, 1 multiple, 2 streak
        PlayerKilled = 22,        // a: victim's index; b: killer's index or 0
        ChatMessage = 23,         // a: sender's index; text: the message
        Cheat = 24,               // a: 1 for invulnerability; b: 1 for equipment
        Noise = 25,               // a: the noisy human's entity id
        HumanHurt = 26,           // a: the hurt human's entity id
        EditorStarted = 27,
        BackToMenu = 28,
        ToggleControllerInfo = 29, // a: client index, 0 or 1
        ToggleHelp = 30,
        MenuEscape = 31,
        MenuChat = 32,
        MenuScoreboard = 33,
        MenuCommand = 34, // a: function key number, 4 to 12
        ControllersChanged = 35
    };

    // A receiver of game events. Not owned by the dispatcher: a listener removes itself
    // before it dies. One removed during delivery hears nothing more, not even the rest of
    // the event being delivered.
    class Listener
    {
    public:
        virtual void onEvent(unsigned int id, int a, int b, const std::string& text) = 0;

    protected:
        ~Listener() = default;
    };

    // One queued event; the text is a copy. Events are numbered in posting order, from 0.
    struct Event
    {
        unsigned int id = 0;
        int a = 0;
        int b = 0;
        std::string text;
        uint64_t number = 0;
    };

    EventDispatcher();
    virtual ~EventDispatcher();
    EventDispatcher(const EventDispatcher&) = delete;
    EventDispatcher& operator=(const EventDispatcher&) = delete;

    // Appends the listener unless it is registered already.
    void addListener(Listener* listener);
    // Nothing happens for a listener that is not registered.
    void removeListener(Listener* listener);

    // Queues a copy of the event; nothing is delivered here.
    void post(unsigned int id, int a, int b, const std::string& text);
    // Delivers every queued event, oldest first, to every listener, including the events
    // posted while delivering. Nothing is dropped or merged, except that an exception out of a
    // listener drops the event it was handed and passes on; the next dispatch goes on with
    // the rest of the queue.
    void dispatch();

    // The number of the event being delivered; outside delivery, the number the next event
    // posted will take. A listener that changes what it does with events can tell by it
    // whether an event was posted before or after the change.
    uint64_t getDeliveringNumber() const { return mDispatching ? mDelivering : mPosted; }
    // How many events have been posted so far: the number of the next one.
    uint64_t getPostedCount() const { return mPosted; }

private:
    // Removed listeners leave a null entry while delivery runs, compacted afterwards.
    void compactListeners();

    std::vector<Listener*> mListeners;
    std::list<Event> mQueue;
    // Delivered events' nodes kept for reuse, so steady posting allocates nothing.
    std::list<Event> mSpare;
    bool mDispatching = false;
    uint64_t mPosted = 0;
    uint64_t mDelivering = 0;
};
} // namespace game
