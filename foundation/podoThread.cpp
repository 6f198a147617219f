#include "foundation/podoThread.h"

#include "foundation/platform/podoPlatformThread.h"
#include "foundation/platform/podoPlatformTime.h"
#include "foundation/podoLog.h"

#include <chrono>
#include <system_error>

namespace platform = podo::platform;

namespace {

// Waits between polls: yields first, then sleeps a millisecond so that a long
// wait does not keep a core busy.
void pause(int polls)
{
    if (polls < 100)
        podo::yieldThread();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A thread cannot join itself: a worker that ends its own object lets go instead.
void joinOrRelease(std::thread &thread)
{
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
    else
        thread.join();
}

} // namespace

podoThread::podoThread() = default;

podoThread::~podoThread()
{
    liftSuspension();
    if (getState() > podoThreadStates::idle) {
        requestEnd();
        for (int polls = 0; getState() != podoThreadStates::idle; ++polls)
            pause(polls);
    }
    std::thread last;
    {
        podoSyncCriticalBlock guard(&lock);
        if (getState() == podoThreadStates::terminated && worker.joinable())
            podo::logMessage(3, true, "podoThread::end() - did not stop in time (%p)", handleForLog());
        last = std::move(worker);
    }
    joinOrRelease(last);
}

void podoThread::setFunction(podoThreadFunction newFunction, void *newUserData)
{
    podoSyncCriticalBlock guard(&lock);
    if (!isIdle())
        return;
    runCount = 0;
    function = newFunction;
    userData = newUserData;
}

int32_t podoThread::setPriority(int32_t level)
{
    podoSyncCriticalBlock guard(&lock);
    if (!worker.joinable())
        return level;
    // The worker publishes its id first thing; the lock keeps it from ending (and
    // its id from being reused) while the priority is set.
    while (systemId.load() < 0)
        podo::yieldThread();
    return platform::setThreadPriority(systemId.load(), level) ? 1 : 0;
}

uint32_t podoThread::start()
{
    std::thread previous;
    {
        podoSyncCriticalBlock guard(&lock);
        if (!isIdle())
            return 0;
        previous = std::move(worker);
    }
    // The thread of a finished run (or one the owner set idle) is joined before it is
    // replaced; outside the lock, since it may still poll the state.
    joinOrRelease(previous);

    podoSyncCriticalBlock guard(&lock);
    if (!isIdle() || worker.joinable())
        return 0;
    liftSuspension();
    systemId = -1;
    try {
        worker = std::thread(&podoThread::threadProc, this);
    } catch (const std::system_error &) {
        systemId = 0;
        return podoThreadNoHandle;
    }
    setState(podoThreadStates::running);
    return 0;
}

uint32_t podoThread::run(podoThreadFunction newFunction, void *newUserData)
{
    setFunction(newFunction, newUserData);
    return start();
}

void podoThread::requestEnd()
{
    podoSyncCriticalBlock guard(&lock);
    if (isRunning())
        setState(podoThreadStates::stopRequested);
}

uint32_t podoThread::end(podoThreadSignal *object, int32_t timeoutMs)
{
    if (getState() > podoThreadStates::idle) {
        liftSuspension();
        requestEnd();
        if (object)
            object->signal();
        if (timeoutMs >= 0) {
            const int64_t started = platform::monotonicMilliseconds();
            for (int polls = 0; getState() != podoThreadStates::idle; ++polls) {
                if (platform::monotonicMilliseconds() - started >= timeoutMs)
                    break;
                pause(polls);
            }
            if (getState() != podoThreadStates::idle)
                podo::logMessage(3, true, "podoThread::end(%p, %d) - did not stop in time... (%p)",
                                 static_cast<void *>(object), timeoutMs, handleForLog());
        } else {
            for (int polls = 0; getState() != podoThreadStates::idle; ++polls)
                pause(polls);
        }
    }

    // A worker that has returned is joined; one that has not is kept for the next
    // start or the destructor.
    std::thread finished;
    uint32_t code = 0;
    {
        podoSyncCriticalBlock guard(&lock);
        if (isIdle())
            finished = std::move(worker);
        else if (worker.joinable())
            podo::logMessage(3, true, "podoThread::end() - did not stop in time (%p)", handleForLog());
        code = exitCode;
    }
    joinOrRelease(finished);
    return code;
}

void podoThread::resume()
{
    podoSyncCriticalBlock guard(&lock);
    liftSuspension();
}

void podoThread::suspend()
{
    podoSyncCriticalBlock guard(&lock);
    // Like suspending a missing thread, this does nothing without a live worker.
    if (worker.joinable() && systemId.load() != 0)
        suspended = true;
}

bool podoThread::isRunning()
{
    return getState() == podoThreadStates::running;
}

bool podoThread::isIdle()
{
    return getState() == podoThreadStates::idle;
}

uint32_t podoThread::getExitCode()
{
    podoSyncCriticalBlock guard(&lock);
    return exitCode;
}

void podoThread::setExitCode(uint32_t code)
{
    podoSyncCriticalBlock guard(&lock);
    exitCode = code;
}

void podoThread::setRunCount(uint32_t count)
{
    runCount = count;
}

uint32_t podoThread::getRunCount()
{
    return runCount;
}

podoThreadState podoThread::getState()
{
    if (suspended && std::this_thread::get_id() == workerId.load())
        waitWhileSuspended();
    podoSyncCriticalBlock guard(&lock);
    return state;
}

void podoThread::setState(podoThreadState newState)
{
    podoSyncCriticalBlock guard(&lock);
    state = newState;
}

void podoThread::threadProc(podoThread *self)
{
    self->workerId = std::this_thread::get_id();
    self->systemId = platform::currentThreadId();
    // start sets "running" under the lock after the thread exists.
    for (int polls = 0; self->getState() == podoThreadStates::idle; ++polls)
        pause(polls);
    if (self->function)
        self->setExitCode(self->function(self->userData, self));
    // The run is counted before the state says idle, so that an owner who sees idle
    // reads the finished run's count and a new setFunction is not undone.
    podoSyncCriticalBlock guard(&self->lock);
    self->runCount += 1;
    self->systemId = 0;
    self->workerId = std::thread::id();
    self->setState(podoThreadStates::idle);
}

void podoThread::waitWhileSuspended()
{
    std::unique_lock<std::mutex> hold(suspendMutex);
    suspendWake.wait(hold, [this] { return !suspended.load(); });
}

void podoThread::liftSuspension()
{
    {
        std::lock_guard<std::mutex> hold(suspendMutex);
        suspended = false;
    }
    suspendWake.notify_all();
}

void *podoThread::handleForLog()
{
    return worker.joinable() ? reinterpret_cast<void *>(static_cast<uintptr_t>(worker.native_handle())) : nullptr;
}

namespace podo {

uint32_t detachedThreadProc(DetachedCall *call)
{
    if (!call)
        return 0;
    if (call->function)
        call->function(call->userData);
    delete call;
    return 0;
}

void yieldThread()
{
    platform::yieldThread();
}

} // namespace podo
