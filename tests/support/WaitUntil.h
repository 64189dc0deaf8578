#pragma once
// Polls `predicate` until it holds or `limit` has passed; true when it holds. For tests that wait
// for another thread or process to do something they cannot be told about. Test use only.
#include <chrono>
#include <thread>

template <typename Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
