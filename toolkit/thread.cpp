#include "toolkit/thread.h"
#include "toolkit/task.h"

#include <chrono>
#include <ctime>
#include <sched.h>
#include <system_error>

namespace brix
{
Thread::Thread() = default;

Thread::~Thread()
{
    if (mHandle.joinable())
        mHandle.detach();
}

bool Thread::start(Task* task)
{
    if (mRunning)
        return false;
    mTask = task;
    try
    {
        // The task travels by value: the thread must not touch this object, which its owner
        // may destroy while the task still runs.
        mHandle = std::thread(&Thread::threadFunction, task);
    }
    catch (const std::system_error&)
    {
        mTask = nullptr;
        return false;
    }
    mRunning = true;
    return true;
}

void Thread::wait()
{
    if (!mRunning)
        return;
    if (mHandle.joinable())
        mHandle.join();
    mRunning = false;
    mTask = nullptr;
}

void Thread::threadFunction(Task* task)
{
    if (task)
        task->execute();
}

void Thread::yield()
{
    sched_yield();
}

void Thread::sleep(unsigned milliseconds)
{
    if (milliseconds == 0)
    {
        yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

unsigned Thread::timer()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long ms = static_cast<unsigned long long>(now.tv_sec) * 1000ull + now.tv_nsec / 1000000;
    return static_cast<unsigned>(ms);
}
}
