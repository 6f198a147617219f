#pragma once
// The process-wide lock of what instances share (configuration, tunings' user rows, sound
// library, controller assignment tables): a re-entrant reader/writer lock.
//
// Renders, the MIDI handler and note starts only read the shared data and take it shared, so
// instances render on several threads at once. Whoever changes the shared data takes it
// exclusively and holds it only to swap in what it prepared outside. Readers never queue behind
// a waiting writer: an audio thread waits at most for the short swap of a writer already inside.
//
// Both modes nest on one thread, and shared inside exclusive is free. A thread holding it shared
// may ask for it exclusively (tryLock, or lock, which waits until it is the only reader); only one
// thread at a time may wait for such an upgrade, since two would wait for each other.
// There is one object of this class (its per-thread depths are thread-local).

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class EngineSharedLock
{
public:
    EngineSharedLock() = default;
    EngineSharedLock(const EngineSharedLock &) = delete;
    EngineSharedLock &operator=(const EngineSharedLock &) = delete;

    void lockShared();
    void unlockShared();
    void lock();
    // Exclusive without waiting: false when another thread reads or writes.
    bool tryLock();
    void unlock();

    // True when the calling thread holds it in either mode.
    bool heldByThisThread() const;

private:
    bool writingHere() const { return writer == std::this_thread::get_id(); }

    mutable std::mutex guard;
    std::condition_variable released;
    int readers = 0;        // threads holding it shared (not counting depth); under guard
    int waitingWriters = 0; // under guard
    std::thread::id writer; // under guard for others; the writer's own reads see its own writes
    std::atomic<bool> writerIn{false}; // writer set: what a reader spins on outside the guard
    int writerDepth = 0;    // touched by the writer only
};

// Holds the lock shared, or exclusively, for a scope.
class EngineReadBlock
{
public:
    explicit EngineReadBlock(EngineSharedLock &lock) : lock(lock) { lock.lockShared(); }
    ~EngineReadBlock() { lock.unlockShared(); }
    EngineReadBlock(const EngineReadBlock &) = delete;
    EngineReadBlock &operator=(const EngineReadBlock &) = delete;

private:
    EngineSharedLock &lock;
};

class EngineWriteBlock
{
public:
    explicit EngineWriteBlock(EngineSharedLock &lock) : lock(lock) { lock.lock(); }
    ~EngineWriteBlock() { lock.unlock(); }
    EngineWriteBlock(const EngineWriteBlock &) = delete;
    EngineWriteBlock &operator=(const EngineWriteBlock &) = delete;

private:
    EngineSharedLock &lock;
};
