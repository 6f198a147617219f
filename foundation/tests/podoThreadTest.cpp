#include "foundation/podoThread.h"

#include "foundation/platform/podoPlatformThread.h"
#include "foundation/podoLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_thread_test {

namespace {

using namespace std::chrono_literals;

// Polls until the condition holds or five seconds have passed.
template <class Condition>
bool eventually(Condition condition)
{
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What a test function sees and does; shared with the worker through the user data.
struct Shared {
    std::atomic<int> entered{0};
    std::atomic<int> returned{0};
    std::atomic<bool> release{false};      // lets a function that ignores stop requests return
    std::atomic<bool> sawStopRequest{false};
    std::atomic<long> ticks{0};
    std::atomic<int64_t> systemId{0};
    uint32_t result = 0;
};

uint32_t returnsResult(void *data, podoThread *)
{
    auto *shared = static_cast<Shared *>(data);
    ++shared->entered;
    return shared->result;
}

// Runs until a stop is requested, counting its polls.
uint32_t pollsForStop(void *data, podoThread *thread)
{
    auto *shared = static_cast<Shared *>(data);
    ++shared->entered;
    while (thread->isRunning())
        ++shared->ticks;
    shared->sawStopRequest = thread->getState() == podoThreadStates::stopRequested;
    return 5;
}

// Ignores stop requests until released.
uint32_t waitsForRelease(void *data, podoThread *)
{
    auto *shared = static_cast<Shared *>(data);
    shared->systemId = podo::platform::currentThreadId();
    ++shared->entered;
    while (!shared->release)
        std::this_thread::sleep_for(1ms);
    ++shared->returned;
    return 9;
}

std::vector<std::u16string> pieces;

void capture(const char16_t *piece)
{
    pieces.emplace_back(piece);
}

std::string logged()
{
    std::string all;
    for (const std::u16string &piece : pieces)
        all += std::string(piece.begin(), piece.end()); // ASCII only
    return all;
}

class podoThreadTest : public testing::Test
{
protected:
    void SetUp() override
    {
        pieces.clear();
        previous = podo::setDebugSink(&capture);
    }
    void TearDown() override { podo::setDebugSink(previous); }

    podo::DebugSink previous = nullptr;
};

TEST_F(podoThreadTest, RunsGiveTheirExitCodeAndAreCounted)
{
    Shared shared;
    shared.result = 7;
    podoThread thread;
    EXPECT_TRUE(thread.isIdle());
    ASSERT_EQ(thread.run(&returnsResult, &shared), 0u);
    ASSERT_TRUE(eventually([&] { return thread.isIdle(); }));
    // The count is in place as soon as the state is idle.
    EXPECT_EQ(thread.getRunCount(), 1u);
    EXPECT_EQ(thread.getExitCode(), 7u);
    EXPECT_EQ(thread.end(nullptr, 1000), 7u);

    // A second run without end first: the finished thread is joined, not overwritten.
    shared.result = 8;
    ASSERT_EQ(thread.start(), 0u);
    ASSERT_TRUE(eventually([&] { return thread.isIdle(); }));
    EXPECT_EQ(thread.getRunCount(), 2u);
    EXPECT_EQ(thread.getExitCode(), 8u);
    ASSERT_EQ(thread.start(), 0u);
    ASSERT_TRUE(eventually([&] { return thread.getRunCount() == 3u; }));

    // A new function starts the count again; the exit code stays until a run ends.
    thread.setFunction(&returnsResult, &shared);
    EXPECT_EQ(thread.getRunCount(), 0u);
    EXPECT_EQ(thread.getExitCode(), 8u);
    EXPECT_EQ(shared.entered, 3);
}

TEST_F(podoThreadTest, StartWhileRunningDoesNothing)
{
    Shared shared;
    podoThread thread;
    ASSERT_EQ(thread.run(&waitsForRelease, &shared), 0u);
    ASSERT_TRUE(eventually([&] { return shared.entered == 1; }));
    EXPECT_TRUE(thread.isRunning());
    EXPECT_EQ(thread.start(), 0u);
    thread.setFunction(&returnsResult, &shared); // ignored while not idle
    shared.release = true;
    EXPECT_EQ(thread.end(nullptr, -1), 9u);
    EXPECT_TRUE(thread.isIdle());
    EXPECT_EQ(shared.entered, 1);
    EXPECT_EQ(thread.getRunCount(), 1u); // the function was not replaced
}

TEST_F(podoThreadTest, EndAsksThePollingFunctionToStopAndSignals)
{
    struct Flag : podoThreadSignal {
        int calls = 0;
        void signal() override { ++calls; }
    } flag;
    Shared shared;
    podoThread thread;
    ASSERT_EQ(thread.run(&pollsForStop, &shared), 0u);
    ASSERT_TRUE(eventually([&] { return shared.ticks > 0; }));
    EXPECT_EQ(thread.end(&flag, -1), 5u);
    EXPECT_TRUE(thread.isIdle());
    EXPECT_TRUE(shared.sawStopRequest);
    EXPECT_EQ(flag.calls, 1);
    EXPECT_EQ(logged(), "");

    // Ending an idle object signals nothing and keeps the exit code.
    EXPECT_EQ(thread.end(&flag, 0), 5u);
    EXPECT_EQ(flag.calls, 1);
}

// The worker cannot be killed here: after the timeout end reports it and leaves the
// run in "stop requested"; nothing restarts the object until the worker returns.
TEST_F(podoThreadTest, EndThatTimesOutLeavesTheWorkerAlone)
{
    Shared shared;
    std::thread releaser;
    {
        podoThread thread;
        ASSERT_EQ(thread.run(&waitsForRelease, &shared), 0u);
        ASSERT_TRUE(eventually([&] { return shared.entered == 1; }));
        thread.setExitCode(3);
        EXPECT_EQ(thread.end(nullptr, 0), 3u);
        EXPECT_EQ(thread.getState(), podoThreadStates::stopRequested);
        EXPECT_FALSE(shared.release); // still waiting: it was neither killed nor finished

        const std::string text = logged();
        EXPECT_NE(text.find("(warning) podoThread::end("), std::string::npos) << text;
        EXPECT_NE(text.find(", 0) - did not stop in time... ("), std::string::npos) << text;
        EXPECT_NE(text.find("(warning) podoThread::end() - did not stop in time ("), std::string::npos) << text;

        EXPECT_EQ(thread.start(), 0u);
        thread.setFunction(&returnsResult, &shared);
        EXPECT_EQ(thread.end(nullptr, 20), 3u);
        EXPECT_EQ(shared.entered, 1);

        // Once released, the worker finishes its run; a new start joins it first.
        shared.release = true;
        ASSERT_TRUE(eventually([&] { return thread.isIdle(); }));
        EXPECT_EQ(thread.getExitCode(), 9u);
        shared.release = false;
        ASSERT_EQ(thread.start(), 0u);
        ASSERT_TRUE(eventually([&] { return shared.entered == 2; }));
        EXPECT_EQ(thread.end(nullptr, 0), 9u); // times out again
        releaser = std::thread([&] {
            std::this_thread::sleep_for(20ms);
            shared.release = true;
        });
        // The destructor waits for the worker and joins it.
    }
    EXPECT_EQ(shared.returned, 2);
    releaser.join();
}

TEST_F(podoThreadTest, DestructorStopsAPollingFunction)
{
    Shared shared;
    {
        podoThread thread;
        ASSERT_EQ(thread.run(&pollsForStop, &shared), 0u);
        ASSERT_TRUE(eventually([&] { return shared.ticks > 0; }));
    }
    EXPECT_TRUE(shared.sawStopRequest);
}

// Suspension holds the worker at its next poll of the state.
TEST_F(podoThreadTest, SuspendHoldsThePollingWorker)
{
    Shared shared;
    podoThread thread;
    thread.suspend(); // no worker: nothing to hold
    ASSERT_EQ(thread.run(&pollsForStop, &shared), 0u);
    ASSERT_TRUE(eventually([&] { return shared.ticks > 0; }));

    thread.suspend();
    // A poll already past the check may finish; no later one does.
    const long held = shared.ticks;
    std::this_thread::sleep_for(30ms);
    EXPECT_LE(shared.ticks, held + 1);

    thread.resume();
    ASSERT_TRUE(eventually([&] { return shared.ticks > held + 1; }));

    // A suspended worker could never see a stop request, so end lifts the hold.
    thread.suspend();
    EXPECT_EQ(thread.end(nullptr, 5000), 5u);
    EXPECT_TRUE(thread.isIdle());
    EXPECT_EQ(logged(), "");
}

TEST_F(podoThreadTest, DestructorLiftsASuspension)
{
    Shared shared;
    {
        podoThread thread;
        ASSERT_EQ(thread.run(&pollsForStop, &shared), 0u);
        ASSERT_TRUE(eventually([&] { return shared.ticks > 0; }));
        thread.suspend();
    }
    EXPECT_TRUE(shared.sawStopRequest);
}

TEST_F(podoThreadTest, PriorityLevelsOrderTheWorkersNiceValue)
{
    podoThread idle;
    EXPECT_EQ(idle.setPriority(4), 4); // no thread: the level comes back
    EXPECT_EQ(idle.setPriority(9), 9);

    // Each level on a fresh worker, so that lowering never has to be undone.
    auto niceOf = [](int32_t level, bool &taken) {
        Shared shared;
        podoThread thread;
        EXPECT_EQ(thread.run(&waitsForRelease, &shared), 0u);
        EXPECT_TRUE(eventually([&] { return shared.entered == 1; }));
        taken = thread.setPriority(level) == 1;
        const int32_t nice = podo::platform::threadPriority(shared.systemId);
        shared.release = true;
        thread.end(nullptr, -1);
        return nice;
    };
    bool taken = false;
    const int32_t normal = niceOf(3, taken);
    EXPECT_TRUE(taken);
    EXPECT_EQ(niceOf(9, taken), normal);
    EXPECT_TRUE(taken);

    int32_t last = normal;
    for (int32_t level : {2, 1, 0}) {
        SCOPED_TRACE(level);
        const int32_t nice = niceOf(level, taken);
        EXPECT_TRUE(taken);
        EXPECT_GT(nice, last);
        last = nice;
    }
    // Raising a thread above normal needs privileges; where the system refuses it,
    // the refusal is the result and the thread keeps its priority.
    last = normal;
    for (int32_t level : {4, 5, 6}) {
        SCOPED_TRACE(level);
        const int32_t nice = niceOf(level, taken);
        if (!taken) {
            EXPECT_EQ(nice, normal);
            continue;
        }
        EXPECT_LT(nice, last);
        last = nice;
    }
}

std::atomic<int> detachedCalls{0};

void countCall(void *data)
{
    detachedCalls += *static_cast<int *>(data);
}

TEST_F(podoThreadTest, DetachedCallRunsOnceAndFreesItsRecord)
{
    EXPECT_EQ(podo::detachedThreadProc(nullptr), 0u);
    // The records are freed by the entry (the leak check of the sanitized build
    // would see them otherwise), also one without a function.
    EXPECT_EQ(podo::detachedThreadProc(new DetachedCall{nullptr, nullptr}), 0u);

    static int step = 2;
    detachedCalls = 0;
    std::thread(&podo::detachedThreadProc, new DetachedCall{&countCall, &step}).detach();
    EXPECT_TRUE(eventually([] { return detachedCalls == 2; }));
}

} // namespace

} // namespace podo_thread_test
