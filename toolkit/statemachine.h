#pragma once
#include "toolkit/state.h"

#include <map>
#include <string>

namespace brix
{
// The root state "root" of a hierarchical state machine. Events go to the current state and
// then to its ancestors; a transition requested while handling an event takes effect once
// the event is handled. A transition exits the states below the common ancestor, innermost
// first, enters the states down to the target, and then follows the initial child states.
class StateMachine : public State
{
public:
    StateMachine();
    ~StateMachine() override;

    // A later state of the same name replaces the earlier one.
    void registerState(State* state);
    State* findState(const std::string& name) const;

    // Enters the chain of initial child states from the root.
    void start();
    // True when some state handled the event. Processes the pending transition afterwards.
    bool sendEvent(unsigned event);
    // Records the transition; it takes effect at the end of the next sendEvent.
    void transition(State* state);
    // False, and nothing pending, when no state has the name.
    bool transition(const std::string& name);
    // Makes the transition at once.
    void setCurrentState(State* state);
    State* getCurrentState() const { return mCurrentState; }

private:
    void processTransition();
    // Makes each initial child current in turn, from the given state down.
    void enterInitialChildren(State* from, State* previous);

    State* mCurrentState;
    State* mPendingState;
    std::map<std::string, State*> mStates;
};
} // namespace brix
