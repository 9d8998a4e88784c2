// Fuzz target: a soundtrack file opened, played and closed on the dummy audio driver.
//
// Opening reads the whole file and checks that it decodes; a stream that opens is played
// and its spectrum taken, as the show does every frame, then closed so that the next input
// gets the slot.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "platform/audio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    swallowMessageBoxes();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!platform::initAudioOutput(44100)) {
        std::fprintf(stderr, "soundtrack_fuzz: no dummy audio output (error %d)\n",
                     platform::audioErrorCode());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = writeInputFile("music.mp3", data, size);
    platform::AudioStream stream = platform::openAudioStream(path.c_str());
    if (stream == 0) {
        if (platform::audioErrorCode() == platform::kAudioOk)
            __builtin_trap();
        return 0;
    }
    float spectrum[platform::kSpectrumSize];
    platform::playAudioStream(stream);
    platform::audioStreamSpectrum(stream, spectrum);
    if (!platform::closeAudioStream(stream))
        __builtin_trap();
    return 0;
}
