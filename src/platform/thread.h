// Threads of the show's own, and the one way they wait for each other: a lock with a
// condition to wait on under it.
//
// On X11 the display guard is forked while the process has a single thread: start no
// thread before the window exists.
#pragma once

#include <memory>

namespace platform {

// Runs one function on a thread of its own. The destructor waits for it.
class Thread {
  public:
    Thread();
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts `body(user)` on a new thread; false when the system gives none (the work is
    // then the caller's). An object runs one thread at a time: start it again only after
    // join().
    bool start(void (*body)(void*), void* user);

    // Waits until the function has returned; at once when none was started.
    void join();

  private:
    struct Record;
    std::unique_ptr<Record> record_;
};

// A lock, and a condition that threads holding it wait on until another one changes what
// they wait for.
class Monitor {
  public:
    Monitor();
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    void lock();
    void unlock();

    // With the lock held: lets go of it, sleeps until notifyAll (or spuriously), and holds
    // it again. Callers wait in a loop on their own condition.
    void wait();

    // Wakes every thread waiting; call it after changing, under the lock, what they wait for.
    void notifyAll();

  private:
    struct Record;
    std::unique_ptr<Record> record_;
};

// Holds the monitor's lock for its own lifetime.
class MonitorLock {
  public:
    explicit MonitorLock(Monitor& monitor) : monitor_(monitor) { monitor_.lock(); }
    ~MonitorLock() { monitor_.unlock(); }
    MonitorLock(const MonitorLock&) = delete;
    MonitorLock& operator=(const MonitorLock&) = delete;

  private:
    Monitor& monitor_;
};

// Logical processors the system runs this process on; at least 1.
int processorCount();

}  // namespace platform
