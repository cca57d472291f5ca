#pragma once

namespace brix
{
// Work to run on a brix::Thread. A task keeps its state and results in its own fields,
// guarded by its own brix::Mutex, which the main thread locks to poll them.
class Task
{
public:
    Task() = default;
    virtual ~Task() = default;

    // Runs on the thread; the thread ends when it returns.
    virtual void execute() = 0;
};
}
