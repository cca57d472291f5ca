#include "toolkit/statemachine.h"
#include "toolkit/log.h"

#include <vector>

namespace brix
{
StateMachine::StateMachine() : State(this, nullptr, "root"), mCurrentState(nullptr), mPendingState(nullptr)
{
    registerState(this);
}

StateMachine::~StateMachine() {}

void StateMachine::registerState(State* state)
{
    if (state)
        mStates[state->getName()] = state;
}

State* StateMachine::findState(const std::string& name) const
{
    auto state = mStates.find(name);
    return state == mStates.end() ? nullptr : state->second;
}

void StateMachine::start()
{
    enterInitialChildren(this, this);
}

void StateMachine::enterInitialChildren(State* from, State* previous)
{
    for (State* child = from->getInitialChildState(); child; child = child->getInitialChildState())
    {
        // Only a real child keeps the descent finite.
        if (child->getParentState() != from)
        {
            Log::error("StateMachine: '%s' is not a child of '%s'", child->getName().c_str(),
                       from->getName().c_str());
            return;
        }
        mCurrentState = child;
        child->onEntry(previous);
        from = child;
    }
}

bool StateMachine::sendEvent(unsigned event)
{
    bool handled = false;
    for (State* state = mCurrentState; state && !handled; state = state->getParentState())
        handled = state->onEvent(event);
    processTransition();
    return handled;
}

void StateMachine::transition(State* state)
{
    mPendingState = state;
}

bool StateMachine::transition(const std::string& name)
{
    mPendingState = findState(name);
    return mPendingState != nullptr;
}

void StateMachine::setCurrentState(State* state)
{
    mPendingState = state;
    processTransition();
}

void StateMachine::processTransition()
{
    // Cleared first, so a transition requested by an entry or exit handler stays pending.
    State* target = mPendingState;
    mPendingState = nullptr;
    if (!target)
        return;
    if (target->getStateMachine() != this)
    {
        Log::error("StateMachine::transition: state '%s' belongs to another machine",
                   target->getName().c_str());
        return;
    }
    State* old = mCurrentState;

    // The target is always left and entered again, also when it is an ancestor of the
    // current state, so the common ancestor is searched from its parent on.
    std::vector<State*> entered{target};
    State* common = target->getParentState();
    while (common && !(old && old->isChildStateOf(common)))
    {
        entered.push_back(common);
        common = common->getParentState();
    }

    for (State* state = old; state && state != common; state = state->getParentState())
        state->onExit(target);
    for (auto state = entered.rbegin(); state != entered.rend(); ++state)
    {
        mCurrentState = *state;
        (*state)->onEntry(old);
    }
    enterInitialChildren(mCurrentState, old);
}
} // namespace brix
