#include "toolkit/statemachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Records entries and exits as "+name<previous" and "-name>next" in one shared journal.
class RecordingState : public brix::State
{
public:
    RecordingState(brix::StateMachine* machine, brix::State* parent, const std::string& name,
                   std::vector<std::string>& journal, unsigned handledEvent = 0)
        : brix::State(machine, parent, name), mJournal(journal), mHandledEvent(handledEvent)
    {
    }
    void onEntry(brix::State* previous) override
    {
        mJournal.push_back("+" + getName() + "<" + previous->getName());
    }
    void onExit(brix::State* next) override { mJournal.push_back("-" + getName() + ">" + next->getName()); }
    bool onEvent(unsigned event) override
    {
        if (event != mHandledEvent)
            return false;
        if (!mTransitionTo.empty())
            getStateMachine()->transition(mTransitionTo);
        return true;
    }

    std::vector<std::string>& mJournal;
    unsigned mHandledEvent;
    std::string mTransitionTo;
};

// root -> A -> (A1, A2), root -> B
class StateMachineTest : public ::testing::Test
{
protected:
    std::vector<std::string> journal;
    brix::StateMachine machine;
    RecordingState a{&machine, &machine, "A", journal, 1};
    RecordingState a1{&machine, &a, "A1", journal, 2};
    RecordingState a2{&machine, &a, "A2", journal};
    RecordingState b{&machine, &machine, "B", journal};

    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(journal);
        return taken;
    }
};
} // namespace

TEST_F(StateMachineTest, StartEntersTheChainOfInitialChildren)
{
    EXPECT_EQ(&a1, machine.findState("A1"));
    EXPECT_EQ(&machine, machine.findState("root"));
    EXPECT_EQ(nullptr, machine.findState("C"));
    EXPECT_TRUE(a1.isChildStateOf(&machine));
    EXPECT_FALSE(a1.isChildStateOf(&a1));

    machine.start();
    EXPECT_EQ((std::vector<std::string>{"+A<root", "+A1<root"}), take());
    EXPECT_EQ(&a1, machine.getCurrentState());
}

TEST_F(StateMachineTest, EventsBubbleUpAndTransitionsFollowTheHandling)
{
    machine.start();
    take();
    EXPECT_FALSE(machine.sendEvent(9));
    a.mTransitionTo = "A2";
    EXPECT_TRUE(machine.sendEvent(1));
    EXPECT_EQ((std::vector<std::string>{"-A1>A2", "+A2<A1"}), take());
    EXPECT_EQ(&a2, machine.getCurrentState());

    EXPECT_FALSE(machine.transition("nowhere"));
    EXPECT_FALSE(machine.sendEvent(9));
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(&a2, machine.getCurrentState());
}

TEST_F(StateMachineTest, TransitionsAcrossBranchesAndToItself)
{
    machine.start();
    take();
    machine.setCurrentState(&b);
    EXPECT_EQ((std::vector<std::string>{"-A1>B", "-A>B", "+B<A1"}), take());
    machine.setCurrentState(&a2);
    EXPECT_EQ((std::vector<std::string>{"-B>A2", "+A<B", "+A2<B"}), take());
    machine.setCurrentState(&a2);
    EXPECT_EQ((std::vector<std::string>{"-A2>A2", "+A2<A2"}), take());
    EXPECT_EQ(&a2, machine.getCurrentState());
}

TEST_F(StateMachineTest, TransitionToAnAncestorLeavesAndReentersIt)
{
    machine.start();
    machine.setCurrentState(&a2);
    take();
    machine.setCurrentState(&a);
    EXPECT_EQ((std::vector<std::string>{"-A2>A", "-A>A", "+A<A2", "+A1<A2"}), take());
    EXPECT_EQ(&a1, machine.getCurrentState());

    machine.setCurrentState(&machine);
    EXPECT_EQ((std::vector<std::string>{"-A1>root", "-A>root", "+A<A1", "+A1<A1"}), take());
    EXPECT_EQ(&a1, machine.getCurrentState());
}

TEST_F(StateMachineTest, StatesOfAnotherMachineAreRefused)
{
    machine.start();
    take();
    std::vector<std::string> otherJournal;
    brix::StateMachine other;
    RecordingState stranger(&other, &other, "S", otherJournal);
    machine.setCurrentState(&stranger);
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(otherJournal.empty());
    EXPECT_EQ(&a1, machine.getCurrentState());
}
