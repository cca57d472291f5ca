#pragma once
#include <mutex>

namespace brix
{
// A recursive mutex: the thread that holds it may lock it again and must unlock it as often.
class Mutex
{
public:
    Mutex();
    virtual ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Waits without time limit.
    void lock();
    void unlock();

private:
    friend class Condition;
    std::recursive_mutex mHandle;
};
}
