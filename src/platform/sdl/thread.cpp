// Threads on Linux: the C++ library's, which are POSIX threads.
#include <SDL.h>
#include <sched.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/thread.h"

namespace platform {

struct Thread::Record {
    std::thread thread;
};

Thread::Thread() = default;

Thread::~Thread() {
    join();
}

bool Thread::start(void (*body)(void*), void* user) {
    try {
        record_ = std::make_unique<Record>();
        record_->thread = std::thread([body, user] {
            body(user);
            // SDL keeps its error text per thread and frees it itself only for threads it
            // made; a decoder that failed here left one behind.
            SDL_TLSCleanup();
        });
    } catch (const std::system_error&) {
        record_.reset();
        return false;
    } catch (const std::bad_alloc&) {
        record_.reset();
        return false;
    }
    return true;
}

void Thread::join() {
    if (record_ && record_->thread.joinable())
        record_->thread.join();
    record_.reset();
}

struct Monitor::Record {
    std::mutex mutex;
    std::condition_variable condition;
};

Monitor::Monitor() : record_(std::make_unique<Record>()) {}

Monitor::~Monitor() = default;

void Monitor::lock() {
    record_->mutex.lock();
}

void Monitor::unlock() {
    record_->mutex.unlock();
}

void Monitor::wait() {
    // The caller holds the mutex; the unique_lock adopts it and hands it back unreleased.
    std::unique_lock<std::mutex> held(record_->mutex, std::adopt_lock);
    record_->condition.wait(held);
    held.release();
}

void Monitor::notifyAll() {
    record_->condition.notify_all();
}

int processorCount() {
    // The processors this process may run on, which a container or taskset can make fewer
    // than the machine has.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

}  // namespace platform
