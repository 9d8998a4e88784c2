// The audio backend in a web page, on Web Audio: an AudioContext at the rate asked for (the
// browser resamples to the hardware's), each stream's MPEG frames decoded whole by
// decodeAudioData when it is opened, played by an AudioBufferSourceNode through a gain
// (the volume) and an AnalyserNode, whose time-domain data — the newest samples of what is
// being played, mixed to mono — feeds the spectrum's ring once per animation frame.
//
// Browsers let a context make sound only after a click or key press on the page. The page
// starts the show from a click, so the context runs from the start; a context that was
// made without one (a page started otherwise) is resumed by the next click or key press,
// and the stream counts as playing meanwhile, as a stream the device has not yet asked for.
//
// What it does not do: more than one stream heard at a time (as on the other systems), or
// decode the sound itself: the browser's decoder does, and handles an encoder's info frame
// and its delays as it sees fit.
#include <emscripten.h>

#include <new>
#include <vector>

#include "platform/audio.h"
#include "platform/internal/backend.h"
#include "platform/internal/trace.h"
#include "platform/web/local.h"

namespace platform {
namespace {

// JavaScript, which clang-format would break (=== becomes == =).
// clang-format off
EM_JS(int, openPageAudio, (int rate), {
    var Context = typeof AudioContext !== "undefined" ? AudioContext : null;
    if (!Context)
        return 0;
    var context;
    try {
        context = new Context({sampleRate: rate, latencyHint: "interactive"});
    } catch (e) {
        return 0;
    }
    var gain = context.createGain();
    var analyser = context.createAnalyser();
    analyser.fftSize = 512;
    gain.connect(analyser);
    analyser.connect(context.destination);
    var audio = {
        context: context,
        gain: gain,
        analyser: analyser,
        samples: new Float32Array(512),
        sounds: [null],
        source: null,
        endsAt: 0
    };
    audio.resume = function() {
        if (context.state === "suspended")
            context.resume().catch(function() {});
    };
    ["click", "keydown"].forEach(function(name) {
        window.addEventListener(name, audio.resume, true);
    });
    audio.resume();
    Module["hopsasaAudio"] = audio;
    return 1;
});

EM_JS(void, closePageAudio, (), {
    var audio = Module["hopsasaAudio"];
    if (!audio)
        return;
    ["click", "keydown"].forEach(function(name) {
        window.removeEventListener(name, audio.resume, true);
    });
    audio.context.close().catch(function() {});
    delete Module["hopsasaAudio"];
});

// The decoded sound's number, or 0 when the browser cannot decode the bytes or finds no
// sound in them. The bytes are copied first: wasm memory may grow while the decoder works.
EM_ASYNC_JS(int, decodePageSound, (const uint8_t* bytes, int length), {
    var audio = Module["hopsasaAudio"];
    if (!audio)
        return 0;
    var copy = HEAPU8.slice(bytes, bytes + length).buffer;
    var buffer;
    try {
        buffer = await audio.context.decodeAudioData(copy);
    } catch (e) {
        return 0;
    }
    if (!buffer || !(buffer.duration > 0))
        return 0;
    audio.sounds.push(buffer);
    return audio.sounds.length - 1;
});

// Stops the sound playing now, if it is `sound` (or any sound, for 0).
EM_JS(void, stopPageSound, (int sound), {
    var audio = Module["hopsasaAudio"];
    if (!audio || !audio.source || (sound !== 0 && audio.playing !== sound))
        return;
    audio.source.onended = null;
    try {
        audio.source.stop();
    } catch (e) {
    }
    audio.source.disconnect();
    audio.source = null;
});

EM_JS(void, freePageSound, (int sound), {
    var audio = Module["hopsasaAudio"];
    if (audio)
        audio.sounds[sound] = null;
});

EM_JS(int, playPageSound, (int sound, double volume, double seconds), {
    var audio = Module["hopsasaAudio"];
    var buffer = audio ? audio.sounds[sound] : null;
    if (!buffer)
        return 0;
    audio.gain.gain.value = volume;
    if (seconds >= buffer.duration)
        return 1;
    var source = audio.context.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.gain);
    source.onended = function() {
        if (audio.source === source)
            audio.source = null;
    };
    try {
        source.start(0, seconds);
    } catch (e) {
        return 0;
    }
    audio.source = source;
    audio.playing = sound;
    audio.endsAt = audio.context.currentTime + (buffer.duration - seconds);
    audio.resume();
    return 1;
});

EM_JS(void, setPageVolume, (double volume), {
    var audio = Module["hopsasaAudio"];
    if (audio)
        audio.gain.gain.value = volume;
});

EM_JS(int, pageSoundPlaying, (), {
    var audio = Module["hopsasaAudio"];
    if (!audio || !audio.source)
        return 0;
    // A suspended context's time stands still; its sound has not been heard to the end.
    return audio.context.state !== "running" || audio.context.currentTime < audio.endsAt ? 1 : 0;
});

EM_JS(int, readPageSamples, (float* out), {
    var audio = Module["hopsasaAudio"];
    if (!audio)
        return 0;
    audio.analyser.getFloatTimeDomainData(audio.samples);
    HEAPF32.set(audio.samples, out >> 2);
    return 1;
});
// clang-format on

double gainOf(int volume) {
    return volume <= 0 ? 0.0 : volume >= 100 ? 1.0 : volume / 100.0;
}

}  // namespace

struct SystemSound {
    int id = 0;
};

bool systemOpenAudio(int rate) {
    return openPageAudio(rate) != 0;
}

void systemCloseAudio() {
    closePageAudio();
}

int systemOpenSound(std::vector<uint8_t>&& bytes, const Mp3Frames& frames, SystemSound*& sound) {
    auto* made = new (std::nothrow) SystemSound;
    if (!made)
        return kAudioNoMemory;
    // The frames alone, as on the other systems: no decoder is handed a tag.
    made->id =
        decodePageSound(bytes.data() + frames.begin, static_cast<int>(frames.end - frames.begin));
    if (made->id == 0) {
        delete made;
        return kAudioFileFormat;
    }
    sound = made;
    return kAudioOk;
}

void systemCloseSound(SystemSound* sound) {
    stopPageSound(sound->id);
    freePageSound(sound->id);
    delete sound;
}

bool systemPlaySound(SystemSound* sound, int volume, double seconds) {
    stopPageSound(0);
    traceEvent("play");
    return playPageSound(sound->id, gainOf(volume), seconds) != 0;
}

void systemSetPlayingVolume(int volume) {
    setPageVolume(gainOf(volume));
}

bool systemSoundPlaying() {
    return pageSoundPlaying() != 0;
}

void recordPlayedSamples() {
    float samples[kSpectrumSamples];
    if (readPageSamples(samples))
        recordOutput(samples, kSpectrumSamples, 1, SampleFormat::f32);
}

}  // namespace platform
