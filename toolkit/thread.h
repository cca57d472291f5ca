#pragma once
#include <thread>

namespace brix
{
class Task;

// Runs one brix::Task at a time on a thread of its own, and offers the system's
// millisecond clock and sleeping.
class Thread
{
public:
    Thread();
    // Neither waits for nor stops the thread: the owner calls wait() first. A thread still
    // running is let go rather than ending the program.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when a task is still started (no wait since) or no thread could be created.
    bool start(Task* task);
    // Waits for the task to end; returns at once when nothing was started. After it the
    // same object can start again.
    void wait();

    bool isRunning() const { return mRunning; }

    // Gives up the rest of the time slice.
    static void yield();
    static void sleep(unsigned milliseconds);
    // Milliseconds since the system started; wraps about every 49.7 days, so callers subtract
    // two readings with unsigned arithmetic.
    static unsigned timer();

protected:
    // The body run on the new thread.
    static void threadFunction(Task* task);

private:
    std::thread mHandle;
    bool mRunning = false;
    Task* mTask = nullptr;
};
}
