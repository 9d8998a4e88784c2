// hopsasa: a real-time audio-visual show. Takes no arguments; reads its pictures and
// music.mp3 from the working directory.
#include "app/frame_loop.h"

int main() {
    return runShow();
}
