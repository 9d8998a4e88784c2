// Threads in a web page: none. A page's wasm runs on the browser's main thread unless it is
// built for shared memory, which needs headers from the server that a plain static server
// does not send; every Thread::start therefore says no, and the work stays the caller's.
// With no second thread nothing can wait for another, so the monitor has nothing to do.
#include "platform/thread.h"

namespace platform {

struct Thread::Record {};

Thread::Thread() = default;

Thread::~Thread() = default;

bool Thread::start(void (*)(void*), void*) {
    return false;
}

void Thread::join() {}

struct Monitor::Record {};

Monitor::Monitor() = default;

Monitor::~Monitor() = default;

void Monitor::lock() {}

void Monitor::unlock() {}

// Only a thread could change what a waiter waits for; with none, waking at once is the
// spurious wake-up the contract allows, and the caller's loop finds its condition met.
void Monitor::wait() {}

void Monitor::notifyAll() {}

int processorCount() {
    return 1;
}

}  // namespace platform
