#include "toolkit/mutex.h"

namespace brix
{
Mutex::Mutex() = default;

Mutex::~Mutex() = default;

void Mutex::lock()
{
    mHandle.lock();
}

void Mutex::unlock()
{
    mHandle.unlock();
}
}
