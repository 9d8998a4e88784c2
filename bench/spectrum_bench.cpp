// The per-frame spectrum refresh of the soundtrack, with the music playing on SDL's dummy
// audio driver (real-time mixing on the audio thread, no sound card needed).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audio/music_stream.h"

namespace fs = std::filesystem;

namespace {

// Plays the test tone as the show plays music.mp3, from a folder of its own.
MusicStream* startTestMusic() {
    static MusicStream* music = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        fs::path folder = fs::temp_directory_path() / "hopsasa-bench";
        fs::create_directories(folder);
        fs::copy_file(fs::path(HOPSASA_SOURCE_DIR) / "tests/data/sine-1khz.mp3",
                      folder / "music.mp3", fs::copy_options::overwrite_existing);
        fs::current_path(folder);
        auto* stream = new MusicStream("music.mp3");
        startMusic(*stream);
        return stream;
    }();
    return music;
}

void spectrumRefresh(benchmark::State& state) {
    MusicStream* music = startTestMusic();
    if (music->channel == 0) {
        state.SkipWithError("the test music did not open");
        return;
    }
    for (auto _ : state) {
        music->refreshSpectrum();
        benchmark::DoNotOptimize(music->spectrum);
    }
}
BENCHMARK(spectrumRefresh);

// Without a stream the refresh returns at once: the floor under the number above.
void spectrumRefreshWithoutStream(benchmark::State& state) {
    MusicStream* music = startTestMusic();
    const platform::AudioStream channel = music->channel;
    music->channel = 0;
    for (auto _ : state) {
        music->refreshSpectrum();
        benchmark::DoNotOptimize(music->spectrum);
    }
    music->channel = channel;
}
BENCHMARK(spectrumRefreshWithoutStream);

}  // namespace
