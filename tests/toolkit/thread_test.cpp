#include "toolkit/condition.h"
#include "toolkit/mutex.h"
#include "toolkit/task.h"
#include "toolkit/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace
{
// Waits for a go-ahead so the test controls when the task ends.
class GatedTask : public brix::Task
{
public:
    void execute() override
    {
        mStarted = true;
        mMutex.lock();
        while (!mOpen)
            mGate.wait(mMutex, 0);
        mMutex.unlock();
        ++mRuns;
    }
    void open()
    {
        mMutex.lock();
        mOpen = true;
        mMutex.unlock();
        mGate.signal();
    }

    brix::Mutex mMutex;
    brix::Condition mGate;
    bool mOpen = false;
    std::atomic<bool> mStarted{false};
    std::atomic<int> mRuns{0};
};
} // namespace

TEST(Thread, RefusesASecondStartUntilWaitedFor)
{
    GatedTask task;
    brix::Thread thread;
    ASSERT_TRUE(thread.start(&task));
    EXPECT_FALSE(thread.start(&task));
    task.open();
    thread.wait();
    EXPECT_EQ(task.mRuns, 1);

    task.mOpen = true;
    ASSERT_TRUE(thread.start(&task));
    thread.wait();
    EXPECT_EQ(task.mRuns, 2);
}

TEST(Thread, WaitWithoutStartReturnsAndNullTaskEnds)
{
    brix::Thread idle;
    idle.wait();
    EXPECT_FALSE(idle.isRunning());

    brix::Thread empty;
    ASSERT_TRUE(empty.start(nullptr));
    empty.wait();
    EXPECT_FALSE(empty.isRunning());
}

TEST(Thread, DestroyingARunningThreadDoesNotEndTheProgram)
{
    static GatedTask task; // outlives the thread, which finishes after the object is gone
    {
        brix::Thread thread;
        ASSERT_TRUE(thread.start(&task));
    }
    task.open();
    for (int i = 0; i < 1000 && task.mRuns == 0; ++i)
        brix::Thread::sleep(2);
    EXPECT_EQ(task.mRuns, 1);
}

TEST(Thread, TimerCountsMilliseconds)
{
    // Checked against the standard library's clock read outside the timer's two readings:
    // the timer may not run faster than it, nor count less than the sleep.
    auto clockBefore = std::chrono::steady_clock::now();
    unsigned before = brix::Thread::timer();
    brix::Thread::sleep(100);
    unsigned elapsed = brix::Thread::timer() - before;
    auto clockElapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - clockBefore);
    EXPECT_GE(elapsed, 99u);
    EXPECT_LE(elapsed, unsigned(clockElapsed.count()) + 1);
}

TEST(Condition, RemembersOneSignalGivenBeforeTheWait)
{
    brix::Mutex mutex;
    brix::Condition condition;
    condition.signal();
    condition.signal();
    mutex.lock();
    unsigned start = brix::Thread::timer();
    condition.wait(mutex, 5000);
    EXPECT_LT(brix::Thread::timer() - start, 1000u) << "the remembered signal should end the wait at once";

    start = brix::Thread::timer();
    condition.wait(mutex, 50);
    EXPECT_GE(brix::Thread::timer() - start, 45u) << "two signals count as one";
    mutex.unlock();
}

namespace
{
class Locker : public brix::Task
{
public:
    explicit Locker(brix::Mutex& mutex) : mMutex(mutex) {}
    void execute() override
    {
        mMutex.lock();
        mGot = true;
        mMutex.unlock();
    }
    brix::Mutex& mMutex;
    std::atomic<bool> mGot{false};
};
} // namespace

TEST(Condition, WaitReleasesOneLevelAndRelocksTheMutex)
{
    brix::Mutex mutex;
    brix::Condition condition;
    mutex.lock();
    Locker locker(mutex);
    brix::Thread thread;
    ASSERT_TRUE(thread.start(&locker));
    // Held once: the wait lets the other thread in.
    for (int i = 0; i < 200 && !locker.mGot; ++i)
        condition.wait(mutex, 5);
    EXPECT_TRUE(locker.mGot);
    thread.wait();

    // The wait returned holding the mutex again: another thread has to wait for the unlock.
    condition.wait(mutex, 5);
    Locker late(mutex);
    ASSERT_TRUE(thread.start(&late));
    brix::Thread::sleep(30);
    EXPECT_FALSE(late.mGot);
    mutex.unlock();
    thread.wait();
    EXPECT_TRUE(late.mGot);
}

TEST(Mutex, IsRecursiveAndNeedsAsManyUnlocks)
{
    brix::Mutex mutex;
    mutex.lock();
    mutex.lock();
    Locker locker(mutex);
    brix::Thread thread;
    ASSERT_TRUE(thread.start(&locker));
    mutex.unlock();
    brix::Thread::sleep(30);
    EXPECT_FALSE(locker.mGot);
    mutex.unlock();
    thread.wait();
    EXPECT_TRUE(locker.mGot);
}
