// Audio output: one soundtrack stream, its volume, and the spectrum of what is playing.
//
// Calls come from the main thread; the sound is mixed on the audio system's own thread.
// Each call sets the error code that audioErrorCode() returns until the next call, so a
// caller can check a call's result and then the code, as with the libraries of the
// desktop systems.
#pragma once

#include <cstdint>

namespace platform {

// Error codes; 0 means the last call succeeded.
enum AudioError : int {
    kAudioOk = 0,
    kAudioNoDevice = 1,          // no output device could be opened
    kAudioNotInitialised = 2,    // initAudioOutput has not succeeded yet
    kAudioAlreadyInitialised = 3,
    kAudioFileOpen = 4,          // the file could not be opened or read
    kAudioFileFormat = 5,        // the file is not in a format that can be decoded
    kAudioInvalidHandle = 6,     // the stream handle names no open stream
    kAudioStartFailed = 7,       // the stream could not be started
    kAudioNoMemory = 8,
};

using AudioStream = uint32_t;  // 0 names no stream

// Opens the default output device at `sampleRate` Hz, stereo.
bool initAudioOutput(int sampleRate);

// The error code of the most recent call of this header.
int audioErrorCode();

// Opens an MP3 file as a stream. The whole file is read and checked when it is opened, so
// a file that opens plays to its end. Returns 0 on failure.
AudioStream openAudioStream(const char* path);

// Plays the stream from its beginning, once.
bool playAudioStream(AudioStream stream);

// Volume on a 0 to 100 scale; other values are clamped.
bool setAudioStreamVolume(AudioStream stream, int volume);

// The magnitude spectrum of what is playing now: a 512-sample Hann-windowed real FFT of the
// newest 512 samples mixed to mono, as 256 magnitudes for the frequencies k * rate / 512,
// k = 0 .. 255. Scaled so that a full-scale sine gives a peak near 1 in its bin. Writes
// `out[0..255]`; false, leaving `out` unchanged, when the stream does not exist.
constexpr int kSpectrumSize = 256;
bool audioStreamSpectrum(AudioStream stream, float* out);

}  // namespace platform
