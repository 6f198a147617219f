#include "foundation/podoSyncCritical.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Runs tryLock on another thread and leaves again at once when it entered.
bool freeForOtherThread(podoSyncCritical &lock)
{
    bool entered = false;
    std::thread([&] {
        entered = lock.tryLock();
        if (entered)
            lock.unlock();
    }).join();
    return entered;
}

TEST(podoSyncCritical, NestedGuardsReleaseOnlyAfterTheOuterEnds)
{
    podoSyncCritical lock;
    {
        podoSyncCriticalBlock none(nullptr); // holds nothing, leaves nothing
        podoSyncCriticalBlock outer(&lock);
        {
            podoSyncCriticalBlock inner(&lock);
            EXPECT_FALSE(freeForOtherThread(lock));
        }
        EXPECT_FALSE(freeForOtherThread(lock));
    }
    EXPECT_TRUE(freeForOtherThread(lock));
}

// Only the holding thread reads the lock as its own, through every nesting, and no longer once
// the outermost hold ended.
TEST(podoSyncCritical, OnlyTheHolderSeesItHeldUntilTheOuterEnds)
{
    podoSyncCritical lock;
    auto heldByOther = [&] {
        bool held = true;
        std::thread([&] { held = lock.heldByThisThread(); }).join();
        return held;
    };
    EXPECT_FALSE(lock.heldByThisThread());
    {
        podoSyncCriticalBlock outer(&lock);
        ASSERT_TRUE(lock.tryLock());
        lock.unlock();
        EXPECT_TRUE(lock.heldByThisThread()) << "the inner hold left it held";
        EXPECT_FALSE(heldByOther());
    }
    EXPECT_FALSE(lock.heldByThisThread());
    lock.lock();
    EXPECT_TRUE(lock.heldByThisThread());
    lock.unlock();
    EXPECT_FALSE(lock.heldByThisThread());
}

TEST(podoSyncCritical, TryLockIsCountedLikeLock)
{
    podoSyncCritical lock;
    lock.lock();
    EXPECT_FALSE(freeForOtherThread(lock));
    ASSERT_TRUE(lock.tryLock()); // the holder enters again
    lock.unlock();
    EXPECT_FALSE(freeForOtherThread(lock)); // still held once
    lock.unlock();
    EXPECT_TRUE(freeForOtherThread(lock));
}

TEST(podoSyncCritical, WaiterEntersAfterTheHolderLeaves)
{
    podoSyncCritical lock;
    std::atomic<int> stage{0};
    lock.lock();
    std::thread waiter([&] {
        stage = 1;
        podoSyncCriticalBlock guard(&lock);
        stage = 2;
    });
    while (stage.load() != 1)
        std::this_thread::yield();
    EXPECT_NE(stage.load(), 2);
    lock.unlock();
    waiter.join();
    EXPECT_EQ(stage.load(), 2);
}

TEST(podoSyncCritical, GuardsSerialiseCountersAcrossThreads)
{
    podoSyncCritical lock;
    long counter = 0; // deliberately not atomic: the lock must protect it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            podoSyncCriticalBlock outer(&lock);
            podoSyncCriticalBlock inner(&lock);
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

} // namespace
