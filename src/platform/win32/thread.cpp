// Threads on Windows: the system's own, a slim reader-writer lock held exclusively, and a
// condition variable (Windows Vista on).
#include <windows.h>

#include <new>

#include "platform/thread.h"

namespace platform {

namespace {

struct Start {
    void (*body)(void*);
    void* user;
};

DWORD WINAPI runThread(void* parameter) {
    const Start start = *static_cast<Start*>(parameter);
    delete static_cast<Start*>(parameter);
    start.body(start.user);
    return 0;
}

}  // namespace

struct Thread::Record {
    HANDLE handle = nullptr;
};

Thread::Thread() = default;

Thread::~Thread() {
    join();
}

bool Thread::start(void (*body)(void*), void* user) {
    auto* start = new (std::nothrow) Start{body, user};
    record_.reset(new (std::nothrow) Record);
    if (!start || !record_) {
        delete start;
        record_.reset();
        return false;
    }
    record_->handle = CreateThread(nullptr, 0, runThread, start, 0, nullptr);
    if (!record_->handle) {
        delete start;
        record_.reset();
        return false;
    }
    return true;
}

void Thread::join() {
    if (record_ && record_->handle) {
        WaitForSingleObject(record_->handle, INFINITE);
        CloseHandle(record_->handle);
    }
    record_.reset();
}

struct Monitor::Record {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Monitor::Monitor() : record_(new Record) {}

Monitor::~Monitor() = default;

void Monitor::lock() {
    AcquireSRWLockExclusive(&record_->lock);
}

void Monitor::unlock() {
    ReleaseSRWLockExclusive(&record_->lock);
}

void Monitor::wait() {
    SleepConditionVariableSRW(&record_->condition, &record_->lock, INFINITE, 0);
}

void Monitor::notifyAll() {
    WakeAllConditionVariable(&record_->condition);
}

int processorCount() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        int count = 0;
        for (; process != 0; process &= process - 1)
            ++count;
        return count;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

}  // namespace platform
