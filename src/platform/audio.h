// Audio output: one soundtrack stream, its volume, and the spectrum of what is playing.
//
// Every call comes from the main thread; the sound is mixed on the audio system's own
// thread. Each call sets the error code that audioErrorCode() returns until the next call
// on the same thread, so a caller can check a call's result and then the code, as with
// the audio libraries of the desktop systems.
//
// The layer keeps the streams, their volumes and the error codes itself, the same on every
// system; each backend brings the device and the decoding (src/platform/internal/backend.h).
// No decoder is ever handed a file's tags, only its MPEG frames (platform/mp3_frames).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Error codes, one per cause; 0 means the last call succeeded.
enum AudioError : int {
    kAudioOk = 0,
    kAudioNoDevice = 1,            // no output device could be opened
    kAudioNotInitialised = 2,      // initAudioOutput has not succeeded yet
    kAudioAlreadyInitialised = 3,  // initAudioOutput after it succeeded
    kAudioFileOpen = 4,            // the file could not be opened or read
    kAudioFileFormat = 5,          // the file holds no MP3 sound that can be decoded
    kAudioInvalidHandle = 6,       // the stream handle names no open stream
    kAudioStartFailed = 7,         // the stream could not be started
    kAudioNoMemory = 8,            // the audio system ran out of memory
    kAudioTooManyStreams = 9,      // every stream slot is taken
};

using AudioStream = uint32_t;  // 0 names no stream

// Opens the default output device at `sampleRate` Hz, stereo. The device always runs at
// exactly that rate as far as this layer can see: the audio system converts to whatever
// the hardware wants, so spectrum bins keep their frequencies. A failure leaves nothing
// open, and a later call tries again from the start.
bool initAudioOutput(int sampleRate);

// Whether initAudioOutput has succeeded and the output is open.
bool audioOutputReady();

// Closes every stream and the output, so that the next initAudioOutput starts from
// scratch; does nothing when the output is not open. The show keeps its output to the end
// of the process; this is for tests and tools that need the device as a new process finds
// it. Leaves the error code at 0.
void closeAudioOutput();

// The error code of the most recent call of this header on this thread.
int audioErrorCode();

// Opens an MP3 file as a stream. The whole file is read into memory and its decoding is
// checked when it is opened, so a stream that opens plays to its end without touching the
// file again. Returns 0 on failure. Volume starts at 100. A file that is not a regular
// file, or larger than kMaxSoundFileBytes, fails as one that cannot be opened.
constexpr size_t kMaxSoundFileBytes = size_t{64} << 20;
AudioStream openAudioStream(const char* path);

// Stops the stream if it plays and frees it; its handle names no stream afterwards. The
// show never closes its one stream; this is for tools that open stream after stream (the
// fuzz target): closing the newest stream frees its slot for the next open.
bool closeAudioStream(AudioStream stream);

// Plays the stream once from `seconds` into it (its beginning by default), restarting it
// when it already plays; any other stream stops. A position at or past the end plays
// nothing, as a stream that has played to its end.
bool playAudioStream(AudioStream stream, double seconds = 0);

// Volume on a 0 to 100 scale; other values are clamped. Kept with the stream, and heard
// at once when it is playing.
bool setAudioStreamVolume(AudioStream stream, int volume);

// The stream's volume on the 0 to 100 scale, or -1 when there is no such stream.
int audioStreamVolume(AudioStream stream);

// Whether any stream is being played now; false before initialisation and after a stream
// has played to its end.
bool audioPlaying();

// The magnitude spectrum of the output now: a 512-sample Hann-windowed real FFT of the
// newest 512 samples the device was given, mixed to mono, as 256 magnitudes for the
// frequencies k * rate / 512, k = 0 .. 255. Scaled by 2 / (sum of the window), so a
// full-scale sine centred on a bin gives 1 in that bin (about 0.85 between two bins).
// Writes `out[0..255]`; false, leaving `out` unchanged, when the stream does not exist.
// Costs one FFT and never waits for the audio thread.
constexpr int kSpectrumSamples = 512;
constexpr int kSpectrumSize = kSpectrumSamples / 2;
bool audioStreamSpectrum(AudioStream stream, float* out);

// The same transform on samples the caller gives: `samples[0..511]` in, `out[0..255]`
// out. Backend-independent; main thread only (the FFT plan is shared).
void spectrumOf(const float* samples, float* out);

// Sees each init, open, play, volume-setting and spectrum call after it has run, with the
// stream it named (the new one for open) and the error code it left. For tests and tools that check
// the order of calls; null removes it. Runs on the calling thread, inside the call.
enum class AudioCall { init, open, play, volume, spectrum };
using AudioCallObserver = void (*)(AudioCall call, AudioStream stream, int error, void* user);
void setAudioCallObserver(AudioCallObserver observer, void* user);

}  // namespace platform
