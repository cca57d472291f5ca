#pragma once
#include <condition_variable>
#include <mutex>

namespace brix
{
class Mutex;

// An auto-reset event. A signal wakes exactly one waiting thread; a signal given while nobody
// waits is remembered until the next wait, and several such signals count as one.
class Condition
{
public:
    Condition();
    virtual ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // The caller holds the mutex. Releases one level of it, waits for a signal for at most
    // the given time (0 waits without limit) and locks it again. Whether a signal or the
    // time limit ended the wait is not reported: callers test their own state.
    void wait(Mutex& mutex, unsigned milliseconds);
    void signal();

private:
    std::mutex mLock;
    std::condition_variable mEvent;
    bool mSignalled = false;
};
}
