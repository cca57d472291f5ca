#include "game/world/eventdispatcher.h"

#include "support/logcapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
using game::EventDispatcher;

// Writes each call as "<name>:<id>,<a>,<b>,<text>" into a shared journal, then runs an
// optional reaction.
class Recorder : public EventDispatcher::Listener
{
public:
    Recorder(const std::string& name, std::vector<std::string>& journal) : mName(name), mJournal(journal) {}

    void onEvent(unsigned int id, int a, int b, const std::string& text) override
    {
        mJournal.push_back(mName + ":" + std::to_string(id) + "," + std::to_string(a) + "," +
                           std::to_string(b) + "," + text);
        if (reaction)
            reaction(id);
    }

    std::function<void(unsigned int)> reaction;

private:
    std::string mName;
    std::vector<std::string>& mJournal;
};

using Journal = std::vector<std::string>;
} // namespace

TEST(EventDispatcher, DeliversEachEventToEveryListenerInPostingAndRegistrationOrder)
{
    Journal journal;
    EventDispatcher dispatcher;
    Recorder a("A", journal), b("B", journal);
    dispatcher.addListener(&a);
    dispatcher.addListener(&b);
    dispatcher.addListener(&a); // once only

    dispatcher.post(EventDispatcher::HumanKilled, 12, 3, "");
    dispatcher.post(EventDispatcher::ChatMessage, 2, 0, "hello");
    EXPECT_TRUE(journal.empty()) << "posting delivers nothing";
    dispatcher.dispatch();
    EXPECT_EQ(journal, (Journal{"A:4,12,3,", "B:4,12,3,", "A:23,2,0,hello", "B:23,2,0,hello"}));

    journal.clear();
    dispatcher.dispatch();
    EXPECT_TRUE(journal.empty()) << "delivered events leave the queue";

    dispatcher.removeListener(&a);
    dispatcher.removeListener(&a); // not there any more: nothing happens
    dispatcher.post(EventDispatcher::MenuCommand, 9, 0, "");
    dispatcher.dispatch();
    EXPECT_EQ(journal, (Journal{"B:34,9,0,"}));
}

TEST(EventDispatcher, EventsPostedDuringDeliveryArriveInTheSamePassAfterThoseBefore)
{
    Journal journal;
    EventDispatcher dispatcher;
    Recorder player("Player", journal), proxy("Proxy", journal);
    // A kill makes the player post a score, which the proxy relays: the chain ends in one tick.
    player.reaction = [&](unsigned int id)
    {
        if (id == EventDispatcher::HumanKilled)
            dispatcher.post(EventDispatcher::KillScore, 1, 10, "1");
    };
    dispatcher.addListener(&player);
    dispatcher.addListener(&proxy);

    dispatcher.post(EventDispatcher::HumanKilled, 5, 7, "");
    dispatcher.post(EventDispatcher::Noise, 7, 0, "");
    dispatcher.dispatch();
    EXPECT_EQ(journal, (Journal{"Player:4,5,7,", "Proxy:4,5,7,", "Player:25,7,0,", "Proxy:25,7,0,",
                                "Player:19,1,10,1", "Proxy:19,1,10,1"}));
}

TEST(EventDispatcher, ListenerRemovedDuringDeliveryIsNeverCalledAgain)
{
    Journal journal;
    EventDispatcher dispatcher;
    Recorder first("A", journal), second("B", journal), third("C", journal);
    // A human AI's owner dies while A hears the kill and takes the AI's listener (B) with it;
    // C then leaves by itself.
    first.reaction = [&](unsigned int id)
    {
        if (id == EventDispatcher::HumanKilled)
            dispatcher.removeListener(&second);
    };
    third.reaction = [&](unsigned int) { dispatcher.removeListener(&third); };
    dispatcher.addListener(&first);
    dispatcher.addListener(&second);
    dispatcher.addListener(&third);

    dispatcher.post(EventDispatcher::HumanKilled, 1, 0, "");
    dispatcher.post(EventDispatcher::HumanHurt, 2, 0, "");
    dispatcher.dispatch();
    EXPECT_EQ(journal, (Journal{"A:4,1,0,", "C:4,1,0,", "A:26,2,0,"}));

    // Adding one back after the pass works as for a new listener.
    journal.clear();
    dispatcher.addListener(&second);
    dispatcher.post(EventDispatcher::MatchEnded, 0, 0, "");
    dispatcher.dispatch();
    EXPECT_EQ(journal, (Journal{"A:3,0,0,", "B:3,0,0,"}));

    // A listener that throws passes the exception on and loses that event; a listener it took
    // away on the way is gone, and the next dispatch delivers the rest of the queue.
    journal.clear();
    first.reaction = [&](unsigned int id)
    {
        dispatcher.removeListener(&third);
        if (id == EventDispatcher::HumanKilled)
            throw std::runtime_error("level failed");
    };
    dispatcher.addListener(&third);
    third.reaction = nullptr;
    dispatcher.post(EventDispatcher::HumanKilled, 1, 0, "");
    dispatcher.post(EventDispatcher::MatchEnded, 0, 0, "");
    EXPECT_THROW(dispatcher.dispatch(), std::runtime_error);
    dispatcher.dispatch();
    EXPECT_EQ(journal, (Journal{"A:4,1,0,", "A:3,0,0,", "B:3,0,0,"}));
}

TEST(EventDispatcher, LogsEachDeliveredEventAndNothingForAnEmptyQueue)
{
    test::LogCapture log;
    EventDispatcher dispatcher;
    dispatcher.dispatch();
    EXPECT_TRUE(log.lines().empty());

    dispatcher.post(EventDispatcher::ControllersChanged, 0, 0, "");
    dispatcher.dispatch();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"D Dispatching event 35 to listeners"}));
}
