#include "foundation/podoSyncCritical.h"

void podoSyncCritical::enter()
{
    for (int spin = 0; spin < spinCount; ++spin)
        if (mutex.try_lock())
            return;
    mutex.lock();
}

bool podoSyncCritical::tryLock()
{
    return mutex.try_lock();
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
