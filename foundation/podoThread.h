#pragma once

#include "foundation/podoSyncCritical.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class podoThread;

// The state of a podoThread.
using podoThreadState = int32_t;
namespace podoThreadStates {
constexpr podoThreadState idle = 0;          // no run; the function may be set and a run started
constexpr podoThreadState stopRequested = 1; // the owner asked the function to finish
constexpr podoThreadState running = 2;       // started, and the function has not returned
constexpr podoThreadState terminated = -1;   // set only by the owner through setState
} // namespace podoThreadStates

// start's result when no thread could be created.
constexpr uint32_t podoThreadNoHandle = 0x80070006;

// The function a podoThread runs: (user data, the thread object) -> exit code.
using podoThreadFunction = uint32_t (*)(void *userData, podoThread *thread);

// What end() signals after asking for the stop, so that a worker waiting on it
// wakes up and sees the request.
class podoThreadSignal
{
public:
    virtual ~podoThreadSignal() = default;
    virtual void signal() = 0;
};

// Runs one function at a time on a thread of its own.
//
// States: idle -> (start) running -> (requestEnd) stop requested -> (function
// returns) idle. The function learns of a stop request by polling getState or
// isRunning; nothing interrupts it and a thread is never killed: end with a timeout
// gives up waiting, logs it, and leaves the state at "stop requested" with the
// thread kept, so the object is neither restarted nor freed under a live worker.
// Once the worker returns the state is idle again; the next start, end or the
// destructor joins it.
//
// Suspension is cooperative: suspend sets a flag, and the worker waits while it is
// set whenever it calls getState or isRunning. A worker that never polls is not
// suspended. end and the destructor lift the suspension, since only a worker that
// runs can see the stop request.
//
// Threads: the owner calls everything; the worker calls getState, isRunning and
// the exit-code and state accessors. State and exit code are guarded by the lock;
// the run count is atomic; the function and user data change only while idle.
class podoThread
{
public:
    podoThread();
    podoThread(const podoThread &) = delete;
    podoThread &operator=(const podoThread &) = delete;
    // Asks a running function to stop and waits for it without limit.
    virtual ~podoThread();

    // Only while idle: stores the function and user data and sets the run count to 0.
    virtual void setFunction(podoThreadFunction function, void *userData);
    // Levels 0 idle .. 6 time-critical, other values normal. 1 when the system took
    // the priority, 0 when it refused; the level itself when there is no thread.
    virtual int32_t setPriority(int32_t level);
    // 0 (also when not idle, doing nothing) or podoThreadNoHandle.
    virtual uint32_t start();
    virtual uint32_t run(podoThreadFunction function, void *userData);
    // Running -> stop requested; otherwise nothing.
    virtual void requestEnd();
    // Asks for the stop, signals the object when given, and waits up to timeoutMs on
    // a monotonic clock (without limit when negative). Returns the exit code.
    virtual uint32_t end(podoThreadSignal *object, int32_t timeoutMs);
    virtual void resume();
    virtual void suspend();
    virtual bool isRunning();
    virtual bool isIdle();
    virtual uint32_t getExitCode();
    virtual void setExitCode(uint32_t code);
    virtual void setRunCount(uint32_t count);
    // Runs finished since the function was set.
    virtual uint32_t getRunCount();
    virtual podoThreadState getState();
    virtual void setState(podoThreadState state);

private:
    static void threadProc(podoThread *self);
    // The worker waits here while suspended.
    void waitWhileSuspended();
    void liftSuspension();
    void *handleForLog();

    podoSyncCritical lock;
    podoThreadState state = podoThreadStates::idle;
    uint32_t exitCode = 0;
    std::atomic<uint32_t> runCount{0};
    podoThreadFunction function = nullptr;
    void *userData = nullptr;
    std::thread worker; // kept from start until joined by start, end or the destructor

    // The worker's ids: -1 between start and the worker's first step, 0 when no
    // worker lives (written by the worker, under the lock when it ends).
    std::atomic<int64_t> systemId{0};
    std::atomic<std::thread::id> workerId{};

    std::mutex suspendMutex;
    std::condition_variable suspendWake;
    std::atomic<bool> suspended{false};
};

// A one-shot call on a detached thread: the thread owns the record and frees it.
struct DetachedCall {
    void (*function)(void *userData) = nullptr;
    void *userData = nullptr;
};

namespace podo {

// The entry of a detached thread: calls the function (when set) with the user data,
// then deletes the record (made with new). A null record does nothing. Returns 0.
uint32_t detachedThreadProc(DetachedCall *call);

// Gives up the rest of the calling thread's time slice.
void yieldThread();

} // namespace podo
