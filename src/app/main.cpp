// hopsasa: a real-time audio-visual show. Reads its pictures and music.mp3 from the working
// directory; `hopsasa --help` tells what it takes on the command line.
#include "app/frame_loop.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

#include <cstdio>

// A Windows program of the GUI kind has no console of its own: started from one, it
// prints its usage and argument errors (and the messages' copies) there, unless its output
// goes somewhere already.
static void printToTheParentConsole() {
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN)
        (void)!std::freopen("CONOUT$", "w", stdout);
    if (GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_UNKNOWN)
        (void)!std::freopen("CONOUT$", "w", stderr);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    printToTheParentConsole();
    return runShow(__argc, __argv);
}
#else
int main(int argc, char** argv) {
    return runShow(argc, argv);
}
#endif
