// hopsasa: a real-time audio-visual show. Reads its pictures and music.mp3 from the working
// directory; `hopsasa --help` tells what it takes on the command line.
#include "app/frame_loop.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return runShow(__argc, __argv);
}
#else
int main(int argc, char** argv) {
    return runShow(argc, argv);
}
#endif
