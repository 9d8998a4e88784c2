// hopsasa: a real-time audio-visual show. Takes no arguments; reads its pictures and
// music.mp3 from the working directory.
#include "app/frame_loop.h"

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return runShow();
}
#else
int main() {
    return runShow();
}
#endif
