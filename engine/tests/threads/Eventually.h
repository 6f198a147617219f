#pragma once
#include <chrono>
#include <thread>

namespace qtest {

// Waits for a condition another thread makes true: up to ten seconds, since a thread-sanitized
// program on a busy machine can take over a second to start a thread.
template <typename Condition>
bool eventually(Condition &&condition)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return condition();
}

} // namespace qtest
