#include "toolkit/state.h"
#include "toolkit/statemachine.h"

namespace brix
{
State::State(StateMachine* machine, State* parent, const std::string& name)
    : mMachine(machine), mParent(parent), mName(name), mFirstChild(nullptr), mLastChild(nullptr),
      mNextSibling(nullptr)
{
    if (parent)
    {
        if (parent->mLastChild)
            parent->mLastChild->mNextSibling = this;
        else
            parent->mFirstChild = this;
        parent->mLastChild = this;
    }
    // The machine registers itself once it is fully built.
    if (machine && machine != this)
        machine->registerState(this);
}

State::~State() {}

State* State::getInitialChildState()
{
    return mFirstChild;
}

void State::onEntry(State* previous) {}

bool State::onEvent(unsigned event)
{
    return false;
}

void State::onExit(State* next) {}

bool State::isChildStateOf(const State* other) const
{
    if (!other)
        return false;
    for (const State* ancestor = mParent; ancestor; ancestor = ancestor->mParent)
        if (ancestor == other)
            return true;
    return false;
}
} // namespace brix
