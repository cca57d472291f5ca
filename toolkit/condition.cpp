#include "toolkit/condition.h"
#include "toolkit/mutex.h"

#include <chrono>

namespace brix
{
Condition::Condition() = default;

Condition::~Condition() = default;

void Condition::wait(Mutex& mutex, unsigned milliseconds)
{
    // The event's own lock is taken before the caller's mutex is released, so a signal given
    // in between is never lost.
    std::unique_lock<std::mutex> guard(mLock);
    mutex.unlock();
    if (milliseconds == 0)
        mEvent.wait(guard, [this] { return mSignalled; });
    else
        mEvent.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return mSignalled; });
    mSignalled = false;
    guard.unlock();
    mutex.lock();
}

void Condition::signal()
{
    {
        std::lock_guard<std::mutex> guard(mLock);
        mSignalled = true;
    }
    mEvent.notify_one();
}
}
