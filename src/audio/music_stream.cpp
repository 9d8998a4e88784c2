// The soundtrack stream. Each platform call is followed by two checks, the call's own
// result and then the platform's error code, and each check reports on its own: a failed
// call usually gives two messages, the second naming the cause.
#include "audio/music_stream.h"

#include "base/report_error.h"

namespace {
constexpr int kOutputRate = 44100;
constexpr int kFullVolume = 100;
}  // namespace

bool audioReady() {
    return platform::audioOutputReady();
}

void initAudio() {
    if (audioReady())
        return;
    if (!platform::initAudioOutput(kOutputRate))
        reportError("BASS error on init!");
    if (int code = platform::audioErrorCode()) {
        // Unlike the other error-code messages, this one has no final line break.
        reportError("BASS Error!\nErrorcode: %u", static_cast<unsigned>(code));
    }
}

MusicStream::MusicStream(const char* fileName) {
    if (!audioReady())
        initAudio();
    channel = platform::openAudioStream(fileName);
    // Whatever the cause; the error-code message that follows tells them apart.
    if (channel == 0)
        reportError("BASS error: File not found?\n");
    if (int code = platform::audioErrorCode()) {
        reportError("BASS Error!\nErrorcode: %u\n", static_cast<unsigned>(code));
    }
}

MusicStream::~MusicStream() {
    if (channel != 0)
        platform::closeAudioStream(channel);
}

void MusicStream::refreshSpectrum() {
    platform::audioStreamSpectrum(channel, spectrum);
}

void startMusic(MusicStream& music, double seconds) {
    if (!platform::playAudioStream(music.channel, seconds)) {
        reportError("BASS error: Can't play the stream\n");
    }
    if (int code = platform::audioErrorCode()) {
        reportError("BASS Error!\nErrorcode: %u\n", static_cast<unsigned>(code));
    }
    platform::setAudioStreamVolume(music.channel, kFullVolume);
}
