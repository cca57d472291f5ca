#pragma once
#include <string>

namespace brix
{
class StateMachine;

// One state of a hierarchical state machine. A state is appended to its parent's children
// and registered with the machine by name when built. The tree does not own its states:
// whoever creates a state deletes it, after the machine has stopped using it.
class State
{
public:
    State(StateMachine* machine, State* parent, const std::string& name);
    virtual ~State();

    // The child a transition descends into after entering this state; null for none.
    virtual State* getInitialChildState();
    // previous is the state that was current before the transition.
    virtual void onEntry(State* previous);
    // True when the event was handled; unhandled events go on to the parent.
    virtual bool onEvent(unsigned event);
    // next is the target of the transition.
    virtual void onExit(State* next);

    const std::string& getName() const { return mName; }
    State* getParentState() const { return mParent; }
    StateMachine* getStateMachine() const { return mMachine; }
    // True when other is a proper ancestor of this state.
    bool isChildStateOf(const State* other) const;

private:
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    StateMachine* mMachine;
    State* mParent;
    std::string mName;
    State* mFirstChild;
    State* mLastChild;
    State* mNextSibling;
};
} // namespace brix
