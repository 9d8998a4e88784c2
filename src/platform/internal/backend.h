// What each backend of the platform layer provides to the parts that all backends share.
// Nothing outside src/platform includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/internal/mp3_frames.h"
#include "platform/message_box.h"

namespace platform {

// The system's performance counter: ticks per second, and the current count.
int64_t systemCounterFrequency();
int64_t systemCounterValue();

// Puts the calling thread to sleep for about `microseconds`, at least 1.
void systemSleepMicroseconds(int64_t microseconds);

// Whether the system can show `text` as it stands in a box: valid UTF-8 on Linux and in a
// browser, text that the thread's ANSI code page converts on Windows.
bool systemCanShowText(const char* text);

// Whether `text` is valid UTF-8 (shared code, for the backends whose boxes take UTF-8).
bool isUtf8(const char* text);

// Appends the whole file to `bytes`; false when it is no regular file (platform/file.h),
// cannot be read to its end or holds more than `maxBytes`.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes, size_t maxBytes);

// The one mode of the offscreen display, once useOffscreenDisplay chose it; null while the
// system's own display is used.
const DisplayMode* offscreenDisplayMode();

// Shows the box and waits until it is dismissed; false when no box could be shown.
bool showSystemMessageBox(const MessageBoxRequest& request);

// Frees what DecodedImage::load kept of a decoded picture.
void freeDecodedBitmap(void* bitmap);

// ---- Audio ------------------------------------------------------------------------------
//
// The audio API (platform/audio.h) keeps the streams, their volumes and the error codes
// itself; a backend brings the device and the sound of one stream. Every call comes from
// the main thread; a backend plays on a thread of its own, from which it hands every
// buffer it sends to the device to recordOutput.

// One stream's sound as the backend holds it.
struct SystemSound;

// Opens the output device at `rate` Hz in 16-bit stereo as far as the layer can see, and
// starts playing silence; false when there is no device.
bool systemOpenAudio(int rate);

// Stops playing and closes the device; every sound is closed already.
void systemCloseAudio();

// Makes the sound of the MPEG frames `frames` of a file's `bytes`, which the backend may
// keep. kAudioOk and the sound, or the error code of the audio API.
int systemOpenSound(std::vector<uint8_t>&& bytes, const Mp3Frames& frames, SystemSound*& sound);

// Frees the sound, stopping it first when it plays.
void systemCloseSound(SystemSound* sound);

// Plays the sound from `seconds` into it at `volume` (0 to 100), stopping any other; a
// position past its end plays nothing. False when it cannot start.
bool systemPlaySound(SystemSound* sound, int volume, double seconds);

// The volume of the sound now playing, heard at once.
void systemSetPlayingVolume(int volume);

// Whether a sound is being played now.
bool systemSoundPlaying();

// The device's sample formats, as recordOutput takes them.
enum class SampleFormat { s16, s32, f32 };

// Audio thread: records `count` interleaved frames as they go to the device, mixed to mono
// into a ring of the newest 512 samples. No allocation, no lock.
void recordOutput(const void* frames, int count, int channels, SampleFormat format);

}  // namespace platform
