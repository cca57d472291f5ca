#include "game/world/eventdispatcher.h"

#include "toolkit/log.h"

#include <algorithm>

namespace game
{
EventDispatcher::EventDispatcher() = default;

EventDispatcher::~EventDispatcher() = default;

void EventDispatcher::addListener(Listener* listener)
{
    if (!listener || std::find(mListeners.begin(), mListeners.end(), listener) != mListeners.end())
        return;
    mListeners.push_back(listener);
}

void EventDispatcher::removeListener(Listener* listener)
{
    auto found = std::find(mListeners.begin(), mListeners.end(), listener);
    if (found == mListeners.end())
        return;
    if (mDispatching)
        *found = nullptr;
    else
        mListeners.erase(found);
}

void EventDispatcher::post(unsigned int id, int a, int b, const std::string& text)
{
    if (mSpare.empty())
        mQueue.emplace_back();
    else
        mQueue.splice(mQueue.end(), mSpare, mSpare.begin());
    Event& event = mQueue.back();
    event.id = id;
    event.a = a;
    event.b = b;
    event.text = text;
    event.number = mPosted++;
}

void EventDispatcher::dispatch()
{
    if (mDispatching)
        return;
    mDispatching = true;
    try
    {
        while (!mQueue.empty())
        {
            // List nodes stay put while listeners post more, so the event can be handed out by
            // reference and only leaves the queue once everyone has heard it.
            const Event& event = mQueue.front();
            mDelivering = event.number;
            brix::Log::debug("Dispatching event %d to listeners", event.id);
            for (size_t i = 0; i < mListeners.size(); ++i)
                if (mListeners[i])
                    mListeners[i]->onEvent(event.id, event.a, event.b, event.text);
            mSpare.splice(mSpare.begin(), mQueue, mQueue.begin());
        }
    }
    catch (...)
    {
        // The event a listener threw on is dropped, so that it is not delivered again to those
        // who heard it; the rest of the queue waits for the next dispatch.
        mSpare.splice(mSpare.begin(), mQueue, mQueue.begin());
        mDispatching = false;
        compactListeners();
        throw;
    }
    mDispatching = false;
    compactListeners();
}

void EventDispatcher::compactListeners()
{
    mListeners.erase(std::remove(mListeners.begin(), mListeners.end(), nullptr), mListeners.end());
}
} // namespace game
