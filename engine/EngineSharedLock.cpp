#include "engine/EngineSharedLock.h"

#include <chrono>

namespace {

// This thread's nesting: shared holds counted as a reader, and shared holds taken while it
// already wrote (those cost nothing).
thread_local int sharedDepth = 0;
thread_local int sharedInsideWrite = 0;

// The guard is held for a few instructions at a time: a thread that finds it taken tries again
// for a while rather than sleep, since waking an audio thread can take far longer than the hold.
constexpr int kGuardSpins = 1000;

// A writer holds it only to swap in what it prepared: a reader that finds one inside waits that
// long on its own core before it sleeps on the condition.
constexpr auto kWriterSpin = std::chrono::microseconds(100);

void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

std::unique_lock<std::mutex> enterGuard(std::mutex &guard)
{
    for (int spin = 0; spin < kGuardSpins; ++spin)
        if (guard.try_lock())
            return std::unique_lock<std::mutex>(guard, std::adopt_lock);
    return std::unique_lock<std::mutex>(guard);
}

} // namespace

void EngineSharedLock::lockShared()
{
    // A nested hold changes only this thread's depth: the guard is left to the outermost ones.
    if (sharedDepth > 0) {
        ++sharedDepth;
        return;
    }
    if (writerIn.load(std::memory_order_relaxed)) {
        const auto until = std::chrono::steady_clock::now() + kWriterSpin;
        for (int spin = 1; writerIn.load(std::memory_order_relaxed); ++spin) {
            spinPause();
            if (spin % 64 == 0 && std::chrono::steady_clock::now() >= until)
                break;
        }
    }
    std::unique_lock<std::mutex> hold = enterGuard(guard);
    if (writingHere()) {
        ++sharedInsideWrite;
        return;
    }
    ++sharedDepth;
    released.wait(hold, [this] { return writer == std::thread::id(); });
    ++readers;
}

void EngineSharedLock::unlockShared()
{
    if (sharedInsideWrite > 0) {
        --sharedInsideWrite;
        return;
    }
    if (sharedDepth > 1) {
        --sharedDepth;
        return;
    }
    std::unique_lock<std::mutex> hold = enterGuard(guard);
    --sharedDepth;
    --readers;
    // A waiting upgrade needs one reader left (itself), a plain writer none.
    if (waitingWriters > 0 && readers <= 1)
        released.notify_all();
}

void EngineSharedLock::lock()
{
    std::unique_lock<std::mutex> hold(guard);
    if (writingHere()) {
        ++writerDepth;
        return;
    }
    const int own = sharedDepth > 0 ? 1 : 0;
    ++waitingWriters;
    released.wait(hold, [this, own] { return writer == std::thread::id() && readers == own; });
    --waitingWriters;
    writer = std::this_thread::get_id();
    writerIn.store(true, std::memory_order_relaxed);
    writerDepth = 1;
}

bool EngineSharedLock::tryLock()
{
    std::lock_guard<std::mutex> hold(guard);
    if (writingHere()) {
        ++writerDepth;
        return true;
    }
    const int own = sharedDepth > 0 ? 1 : 0;
    if (writer != std::thread::id() || readers != own)
        return false;
    writer = std::this_thread::get_id();
    writerIn.store(true, std::memory_order_relaxed);
    writerDepth = 1;
    return true;
}

void EngineSharedLock::unlock()
{
    std::lock_guard<std::mutex> hold(guard);
    if (--writerDepth > 0)
        return;
    writer = std::thread::id();
    writerIn.store(false, std::memory_order_relaxed);
    released.notify_all();
}

bool EngineSharedLock::heldByThisThread() const
{
    std::lock_guard<std::mutex> hold(guard);
    return sharedDepth > 0 || writingHere();
}
