#pragma once

#include <atomic>
#include <mutex>
#include <thread>

// A re-entrant lock. A thread that entered k times must leave k times before
// another thread can enter. Every lock of the system is one of these; which lock
// guards what, and their order, is stated where each lock is declared.
class podoSyncCritical
{
public:
    podoSyncCritical() = default;
    podoSyncCritical(const podoSyncCritical &) = delete;
    podoSyncCritical &operator=(const podoSyncCritical &) = delete;
    virtual ~podoSyncCritical() = default;

    // True when entered, also when this thread already holds the lock (then it
    // must be left once more).
    virtual bool tryLock();
    virtual void lock();
    // Leaving a lock the calling thread does not hold is the caller's error.
    virtual void unlock();
    // True when the calling thread holds the lock.
    bool heldByThisThread() const { return owner.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

private:
    friend class podoSyncCriticalBlock;

    // How often a waiting thread tries again before it sleeps in the mutex.
    static constexpr int spinCount = 2000;

    // The guard enters and leaves here, never through the virtual operations.
    void enter();
    void leave();
    void entered();

    std::recursive_mutex mutex;
    // The holding thread and its depth: only the holder sets them, so only the holder can read
    // its own id there.
    std::atomic<std::thread::id> owner{};
    int depth = 0;
};

// Holds a lock for its own lifetime; a null lock makes it do nothing.
class podoSyncCriticalBlock
{
public:
    explicit podoSyncCriticalBlock(podoSyncCritical *lock);
    podoSyncCriticalBlock(const podoSyncCriticalBlock &) = delete;
    podoSyncCriticalBlock &operator=(const podoSyncCriticalBlock &) = delete;
    virtual ~podoSyncCriticalBlock();

private:
    podoSyncCritical *lock;
};
