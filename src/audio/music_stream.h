// The soundtrack: a file from the working directory, opened during start-up, played once
// from the end of start-up, and its spectrum refreshed every frame.
//
// Every failure is reported through reportError and the show carries on silent. All of it
// runs on the main thread; the sound itself is mixed on the audio system's thread.
#pragma once

#include "platform/audio.h"

struct MusicStream {
    // Each refresh writes the 256 magnitudes of a 512-sample FFT of the sound now playing
    // to the first half (platform/audio.h gives their scale); the second half stays as it
    // was made, zero.
    float spectrum[512] = {};
    platform::AudioStream channel = 0;  // 0 when no stream was opened

    // Initialises the audio output unless that has already succeeded, then opens the
    // stream, reporting each failure.
    explicit MusicStream(const char* fileName);
    // Closes the stream. The show's lives to the end of the process.
    ~MusicStream();
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

    // The per-frame spectrum refresh. Without a stream, or on any other failure, the
    // spectrum keeps its contents and nothing is reported.
    void refreshSpectrum();
};

// True once the audio output has been initialised without error; a failed initialisation
// is tried again by the next initAudio. The output, once open, stays open for the rest of
// the process, whatever becomes of the streams.
bool audioReady();

// Initialises the audio output at 44100 Hz unless audioReady; reports a failure.
void initAudio();

// Plays the music from `seconds` into it (its beginning by default), then sets it to full
// volume; the volume is set even when playing failed. Reports a failure to play.
void startMusic(MusicStream& music, double seconds = 0);
