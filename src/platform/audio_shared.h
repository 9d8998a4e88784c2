// What the audio backends share: error codes and the call observer, reading a soundtrack
// file, the ring of the newest samples sent to the device, and the spectrum transform.
// Nothing outside src/platform includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio.h"

namespace platform {

// Sets the error code that audioErrorCode() returns on this thread.
void setAudioError(int error);

// Sets the error code of an observed call and tells the observer.
void noteAudioCall(AudioCall call, AudioStream stream, int error);

// noteAudioCall, handing `result` back: `return finish(AudioCall::play, s, kAudioOk, true);`
template <typename T>
T finish(AudioCall call, AudioStream stream, int error, T result) {
    noteAudioCall(call, stream, error);
    return result;
}

// The open streams of a backend, at most 16, each named by its slot: 1 to 16. Closing the
// newest streams frees their slots for the next ones opened. Plain values only: the
// audio thread may still run while static destructors do.
template <typename Record>
class StreamSlots {
  public:
    static constexpr int kMaxStreams = 16;

    bool full() const { return count_ == kMaxStreams; }

    // Takes the next slot; the new stream's handle.
    AudioStream add(Record* record) {
        records_[count_++] = record;
        return static_cast<AudioStream>(count_);
    }

    // The stream's record, or null when the handle names no open stream.
    Record* find(AudioStream stream) const {
        if (stream == 0 || stream > static_cast<AudioStream>(count_))
            return nullptr;
        return records_[stream - 1];
    }

    // Forgets the stream, and frees the empty slots at the top.
    void remove(AudioStream stream) {
        records_[stream - 1] = nullptr;
        while (count_ > 0 && !records_[count_ - 1])
            --count_;
    }

  private:
    Record* records_[kMaxStreams] = {};
    int count_ = 0;
};

// The backend's answer to whether `stream` names an open stream: kAudioOk, or why not
// (kAudioNotInitialised, kAudioInvalidHandle).
int streamError(AudioStream stream);

// Reads the whole file; false when it cannot be opened or read to its end.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes);

// Where the sound starts: after the ID3v2 tags at the start of the file, if any. The show
// wants no tags, and no decoder should have to parse a hostile one.
size_t soundStart(const std::vector<uint8_t>& bytes);

// ---- The newest output --------------------------------------------------------------
//
// A ring of the newest 512 samples handed to the device, mixed to mono. It is a sequence
// lock: the audio thread, the only writer, makes the sequence odd, writes, and makes it
// even again; the main thread copies the ring and keeps the copy only when the sequence
// was even and unchanged around it. The audio thread therefore never waits, and the main
// thread retries only while a write of at most 512 samples is under way.

enum class SampleFormat { s16, s32, f32 };

// Audio thread: records `frames` interleaved frames as they go to the device. No
// allocation, no lock.
void recordOutput(const void* frames, int count, int channels, SampleFormat format);

// Main thread: the newest 512 samples, oldest first.
void copyOutput(float* out);

}  // namespace platform
