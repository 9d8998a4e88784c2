// Preloaded into the show by the tests: starts a thread before main, so that the process
// already has a second thread when the show switches the display mode.
#include <pthread.h>
#include <unistd.h>

static void* idle(void* unused) {
    for (;;)
        pause();
    return unused;
}

__attribute__((constructor)) static void startThread(void) {
    pthread_t thread;
    if (pthread_create(&thread, NULL, idle, NULL) == 0)
        pthread_detach(thread);
}
