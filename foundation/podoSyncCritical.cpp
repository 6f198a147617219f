#include "foundation/podoSyncCritical.h"

void podoSyncCritical::entered()
{
    if (depth++ == 0)
        owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void podoSyncCritical::enter()
{
    for (int spin = 0; spin < spinCount; ++spin)
        if (mutex.try_lock()) {
            entered();
            return;
        }
    mutex.lock();
    entered();
}

void podoSyncCritical::leave()
{
    if (--depth == 0)
        owner.store(std::thread::id(), std::memory_order_relaxed);
    mutex.unlock();
}

bool podoSyncCritical::tryLock()
{
    if (!mutex.try_lock())
        return false;
    entered();
    return true;
}

void podoSyncCritical::lock()
{
    enter();
}

void podoSyncCritical::unlock()
{
    leave();
}

podoSyncCriticalBlock::podoSyncCriticalBlock(podoSyncCritical *lock) : lock(lock)
{
    if (lock)
        lock->enter();
}

podoSyncCriticalBlock::~podoSyncCriticalBlock()
{
    if (lock)
        lock->leave();
}
