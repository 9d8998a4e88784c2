// GoogleTest's injection point for its port layer, taken instead of its own (empty) one in
// the Windows build: mingw-w64's win32 thread model has no std::mutex and no
// std::condition_variable, of which GoogleTest 1.12 makes its Notification on Windows.
// Only GoogleTest's own thread helpers wait on a Notification; looking every millisecond
// serves them.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
  public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }

    void WaitForNotification() {
        while (!notified_.load(std::memory_order_acquire))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

  private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
