// hopsasa soundtrack synthesizer.
//
// Reads a text score (see art/music/score.txt for the format), renders every
// note with small subtractive/FM voices and a synthesised drum kit, runs the
// mix through a ping-pong delay, a Freeverb-style reverb, loudness
// normalisation (ITU BS.1770 gating) and a look-ahead limiter, and writes a
// 16-bit 44.1 kHz stereo WAV.  Fully deterministic: all noise comes from
// fixed-seed generators.
//
// usage: synth [-v] [--solo INSTRUMENT] [--scene-starts FILE] SCORE OUT.wav

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

struct ScoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(int line, const std::string& msg) {
    throw ScoreError("score line " + std::to_string(line) + ": " + msg);
}

// ---------------------------------------------------------------- utilities

struct Rng {  // xorshift32, fixed seed
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 0x9e3779b9u) {}
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    double uni() { return next() / 4294967296.0; }
    double bi() { return uni() * 2.0 - 1.0; }
};

double midiToHz(double m) {
    return 440.0 * std::pow(2.0, (m - 69.0) / 12.0);
}

double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Zero-delay-feedback state-variable filter (trapezoidal integration).
struct Svf {
    double ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 2;
    void set(double hz, double reso) {
        hz = std::clamp(hz, 20.0, kRate * 0.45);
        double g = std::tan(kPi * hz / kRate);
        k = 2.0 - 1.96 * std::clamp(reso, 0.0, 1.0);
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    // mode: 0 low, 1 band, 2 high
    double run(double v0, int mode) {
        double v3 = v0 - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        if (mode == 0)
            return v2;
        if (mode == 1)
            return v1;
        return v0 - k * v1 - v2;
    }
};

// --------------------------------------------------------------- instruments

struct Instrument {
    std::string name;
    std::string osc = "saw";   // saw square tri sine noise fm | kick snare clap hat ohat crash
    std::string ftype = "lp";  // lp bp hp
    double voices = 1, detune = 0, width = 0.5, sub = 0, pw = 0.5;
    double fmratio = 2, fmindex = 0, fmdecay = 0.3, fmsus = 0;
    double a = 0.005, d = 0.3, s = 0.8, r = 0.1;
    double cutoff = 18000, reso = 0, fenv = 0, fa = 0.001, fd = 0.2, fs = 0, keytrack = 0;
    double vol = 0.5, pan = 0, delay = 0, reverb = 0, duck = 0, sidechain = 0;
    double glide = 0, vib = 0, vibrate = 5.5, vibdelay = 0.3, drive = 0, gate = 1;
    double pitch = 1, decay = 1, tone = 0.5;
    bool drum = false;
};

const std::map<std::string, double Instrument::*>& numericParams() {
    static const std::map<std::string, double Instrument::*> m = {
        {"voices", &Instrument::voices},
        {"detune", &Instrument::detune},
        {"width", &Instrument::width},
        {"sub", &Instrument::sub},
        {"pw", &Instrument::pw},
        {"fmratio", &Instrument::fmratio},
        {"fmindex", &Instrument::fmindex},
        {"fmdecay", &Instrument::fmdecay},
        {"fmsus", &Instrument::fmsus},
        {"a", &Instrument::a},
        {"d", &Instrument::d},
        {"s", &Instrument::s},
        {"r", &Instrument::r},
        {"cutoff", &Instrument::cutoff},
        {"reso", &Instrument::reso},
        {"fenv", &Instrument::fenv},
        {"fa", &Instrument::fa},
        {"fd", &Instrument::fd},
        {"fs", &Instrument::fs},
        {"keytrack", &Instrument::keytrack},
        {"vol", &Instrument::vol},
        {"pan", &Instrument::pan},
        {"delay", &Instrument::delay},
        {"reverb", &Instrument::reverb},
        {"duck", &Instrument::duck},
        {"sidechain", &Instrument::sidechain},
        {"glide", &Instrument::glide},
        {"vib", &Instrument::vib},
        {"vibrate", &Instrument::vibrate},
        {"vibdelay", &Instrument::vibdelay},
        {"drive", &Instrument::drive},
        {"gate", &Instrument::gate},
        {"pitch", &Instrument::pitch},
        {"decay", &Instrument::decay},
        {"tone", &Instrument::tone},
    };
    return m;
}

bool isDrumKind(const std::string& k) {
    return k == "kick" || k == "snare" || k == "clap" || k == "hat" || k == "ohat" || k == "crash";
}

bool isToneKind(const std::string& k) {
    return k == "saw" || k == "square" || k == "tri" || k == "sine" || k == "noise" || k == "fm";
}

// ------------------------------------------------------------------- score

struct Note {
    double t = 0, dur = 0, midi = 60, from = -1, vel = 0.8;
    int inst = 0;
};

struct Pattern {
    std::string name;
    int inst = 0;
    int res = 16;  // steps per bar
    std::vector<std::string> tokens;
    int line = 0;
};

struct Ramp {
    int target = -1;  // -1: master
    std::string param;
    double t0 = 0, t1 = 0, v0 = 1, v1 = 1;
};

// `cue BAR SCENE`: bar BAR begins where the show's scene SCENE begins.
struct Cue {
    int bar = 0, scene = 0, line = 0;
};

struct Score {
    double tempo = 120;
    double length = 60;
    double loudness = -14;
    double ceiling = -2;
    double delayBeats = 0.75, delayFeedback = 0.35, delayDamp = 0.3, delayLevel = 1;
    double reverbSize = 0.8, reverbDamp = 0.4, reverbLevel = 1;
    std::vector<Instrument> insts;
    std::map<std::string, Pattern> patterns;
    std::vector<Note> notes;
    std::vector<Ramp> ramps;
    std::vector<Cue> cues;
    std::vector<int> flexBars;
    std::vector<double> barStarts{0.0};  // bar lines up to the last cue, in seconds
    double barSeconds() const { return 4.0 * 60.0 / tempo; }
    // Seconds at a bar position (fractions inside a bar); past the last cue at the tempo.
    double timeAt(double bar) const {
        const size_t last = barStarts.size() - 1;
        if (bar >= static_cast<double>(last))
            return barStarts[last] + (bar - last) * barSeconds();
        const size_t b = static_cast<size_t>(bar);
        return barStarts[b] + (bar - b) * (barStarts[b + 1] - barStarts[b]);
    }
    int findInst(const std::string& n) const {
        for (size_t i = 0; i < insts.size(); ++i)
            if (insts[i].name == n)
                return static_cast<int>(i);
        return -1;
    }
};

double parseNumber(const std::string& s, int line) {
    try {
        size_t pos = 0;
        double v = std::stod(s, &pos);
        if (pos != s.size())
            fail(line, "bad number '" + s + "'");
        return v;
    } catch (const std::logic_error&) {
        fail(line, "bad number '" + s + "'");
    }
}

// "C#4" / "Bb3" / "A4!" (accent) / "A4?" (soft).  Returns MIDI number.
double parseNoteName(std::string tok, int line) {
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (tok.empty() || tok[0] < 'A' || tok[0] > 'G')
        fail(line, "bad note '" + tok + "'");
    int semis = base[tok[0] - 'A'];
    size_t i = 1;
    if (i < tok.size() && tok[i] == '#') {
        ++semis;
        ++i;
    } else if (i < tok.size() && tok[i] == 'b') {
        --semis;
        ++i;
    }
    if (i >= tok.size())
        fail(line, "note without octave '" + tok + "'");
    int octave = static_cast<int>(parseNumber(tok.substr(i), line));
    return 12.0 * (octave + 1) + semis;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

// Expands `bars` bars of a pattern starting at bar `bar0` into notes.
void expandPattern(Score& sc, const Pattern& p, int bar0, int bars, int transpose) {
    const Instrument& in = sc.insts[p.inst];
    const size_t total = static_cast<size_t>(bars) * static_cast<size_t>(p.res);
    auto stepTime = [&](size_t i) {
        return sc.timeAt(bar0 + static_cast<double>(i / p.res) +
                         static_cast<double>(i % p.res) / p.res);
    };
    if (in.drum) {
        // Each token is a string of step characters: x hit, X accent, o soft, . rest.
        std::string steps;
        for (const auto& t : p.tokens)
            steps += t;
        for (size_t i = 0; i < total; ++i) {
            char c = steps[i % steps.size()];
            double vel = c == 'X' ? 1.0 : c == 'x' ? 0.75 : c == 'o' ? 0.45 : 0.0;
            if (c != 'X' && c != 'x' && c != 'o' && c != '.')
                fail(p.line, std::string("bad drum step '") + c + "' in pattern " + p.name);
            if (vel > 0) {
                Note n;
                n.t = stepTime(i);
                n.dur = stepTime(i + 1) - n.t;
                n.vel = vel;
                n.inst = p.inst;
                sc.notes.push_back(n);
            }
        }
        return;
    }
    std::vector<size_t> open;  // indices into sc.notes of sounding notes
    double lastMidi = -1, lastEnd = -1;
    auto close = [&]() {
        for (size_t idx : open) {
            lastMidi = sc.notes[idx].midi;
            lastEnd = sc.notes[idx].t + sc.notes[idx].dur;
        }
        open.clear();
    };
    for (size_t i = 0; i < total; ++i) {
        const std::string& tok = p.tokens[i % p.tokens.size()];
        const double t = stepTime(i), next = stepTime(i + 1);
        if (tok == "-") {
            for (size_t idx : open)
                sc.notes[idx].dur = next - sc.notes[idx].t;
            continue;
        }
        close();
        if (tok == ".")
            continue;
        std::string body = tok;
        double vel = 0.8;
        if (!body.empty() && body.back() == '!') {
            vel = 1.0;
            body.pop_back();
        } else if (!body.empty() && body.back() == '?') {
            vel = 0.5;
            body.pop_back();
        }
        for (const auto& part : split(body, '+')) {
            Note n;
            n.t = t;
            n.dur = next - t;
            n.vel = vel;
            n.inst = p.inst;
            n.midi = parseNoteName(part, p.line) + transpose;
            if (in.glide > 0 && lastMidi >= 0 && std::abs(lastEnd - t) < 1e-6)
                n.from = lastMidi;
            open.push_back(sc.notes.size());
            sc.notes.push_back(n);
        }
    }
}

// Lays the bar lines out from the cues: between two cues the bars share the time evenly,
// unless some of them are flex bars; then the others keep the tempo and the flex bars take
// up the difference.
void layOutBars(Score& sc, const std::map<int, double>& sceneStarts) {
    int bar0 = 0;
    double t0 = 0;
    for (const Cue& c : sc.cues) {
        auto it = sceneStarts.find(c.scene);
        if (it == sceneStarts.end())
            fail(c.line, "no start for scene " + std::to_string(c.scene) + " (see --scene-starts)");
        const double t1 = it->second;
        if (c.bar <= bar0 || t1 <= t0)
            fail(c.line, "cues must move forward in bars and in time");
        const auto flex = std::count_if(sc.flexBars.begin(), sc.flexBars.end(),
                                        [&](int b) { return b >= bar0 && b < c.bar; });
        const double fixed = flex ? sc.barSeconds() : 0.0;
        const double each =
            (t1 - t0 - (c.bar - bar0 - flex) * fixed) / (flex ? flex : c.bar - bar0);
        if (each <= 0)
            fail(c.line, "the bars before this cue do not fit before its scene");
        for (int b = bar0; b < c.bar; ++b) {
            const bool isFlex =
                std::find(sc.flexBars.begin(), sc.flexBars.end(), b) != sc.flexBars.end();
            sc.barStarts.push_back(sc.barStarts.back() + (flex == 0 || isFlex ? each : fixed));
        }
        sc.barStarts.back() = t1;
        std::fprintf(stderr, "synth: bar %d at %.4f s, the start of scene %d\n", c.bar, t1,
                     c.scene);
        bar0 = c.bar;
        t0 = t1;
    }
    for (int b : sc.flexBars)
        if (b >= bar0)
            throw ScoreError("flex bar " + std::to_string(b) + " comes after the last cue");
}

Score parseScore(const std::string& path, const std::map<int, double>& sceneStarts) {
    std::ifstream f(path);
    if (!f)
        throw ScoreError("cannot open score " + path);
    // Gather statements: a line starting in column 0 begins a statement,
    // indented lines continue it.
    struct Stmt {
        int line;
        std::vector<std::string> words;
    };
    std::vector<Stmt> stmts;
    std::string raw;
    int lineNo = 0;
    while (std::getline(f, raw)) {
        ++lineNo;
        // '#' starts a comment at the beginning of a line or after a blank;
        // inside a word it is a sharp (C#4).
        for (size_t i = 0; i < raw.size(); ++i)
            if (raw[i] == '#' && (i == 0 || raw[i - 1] == ' ' || raw[i - 1] == '\t')) {
                raw.resize(i);
                break;
            }
        std::istringstream ls(raw);
        std::vector<std::string> words;
        for (std::string w; ls >> w;)
            if (w != "|")
                words.push_back(w);
        if (words.empty())
            continue;
        bool continuation = raw[0] == ' ' || raw[0] == '\t';
        if (continuation) {
            if (stmts.empty())
                fail(lineNo, "indented line without a statement");
            for (auto& w : words)
                stmts.back().words.push_back(w);
        } else {
            stmts.push_back({lineNo, words});
        }
    }

    Score sc;
    struct Play {
        int line;
        int bar0, bars;
        std::vector<std::string> pats;
    };
    std::vector<Play> plays;
    struct RampText {
        int line;
        std::vector<std::string> w;
    };
    std::vector<RampText> rampTexts;

    auto keyValues = [](const Stmt& st, size_t from, auto&& apply) {
        for (size_t i = from; i < st.words.size(); ++i) {
            auto eq = st.words[i].find('=');
            if (eq == std::string::npos)
                fail(st.line, "expected key=value, got '" + st.words[i] + "'");
            apply(st.words[i].substr(0, eq), st.words[i].substr(eq + 1));
        }
    };

    for (const auto& st : stmts) {
        const auto& w = st.words;
        const std::string& cmd = w[0];
        auto need = [&](size_t n) {
            if (w.size() < n)
                fail(st.line, "'" + cmd + "' needs more arguments");
        };
        if (cmd == "tempo") {
            need(2);
            sc.tempo = parseNumber(w[1], st.line);
        } else if (cmd == "length") {
            need(2);
            sc.length = parseNumber(w[1], st.line);
        } else if (cmd == "loudness") {
            need(2);
            sc.loudness = parseNumber(w[1], st.line);
        } else if (cmd == "ceiling") {
            need(2);
            sc.ceiling = parseNumber(w[1], st.line);
        } else if (cmd == "fx") {
            need(2);
            bool isDelay = w[1] == "delay";
            if (!isDelay && w[1] != "reverb")
                fail(st.line, "unknown effect '" + w[1] + "'");
            keyValues(st, 2, [&](const std::string& k, const std::string& v) {
                double x = parseNumber(v, st.line);
                if (isDelay && k == "time")
                    sc.delayBeats = x;
                else if (isDelay && k == "feedback")
                    sc.delayFeedback = x;
                else if (isDelay && k == "damp")
                    sc.delayDamp = x;
                else if (isDelay && k == "level")
                    sc.delayLevel = x;
                else if (!isDelay && k == "size")
                    sc.reverbSize = x;
                else if (!isDelay && k == "damp")
                    sc.reverbDamp = x;
                else if (!isDelay && k == "level")
                    sc.reverbLevel = x;
                else
                    fail(st.line, "unknown effect parameter '" + k + "'");
            });
        } else if (cmd == "inst") {
            need(2);
            if (sc.findInst(w[1]) >= 0)
                fail(st.line, "instrument '" + w[1] + "' defined twice");
            Instrument in;
            in.name = w[1];
            keyValues(st, 2, [&](const std::string& k, const std::string& v) {
                if (k == "osc") {
                    if (!isDrumKind(v) && !isToneKind(v))
                        fail(st.line, "unknown osc '" + v + "'");
                    in.osc = v;
                } else if (k == "filter") {
                    if (v != "lp" && v != "bp" && v != "hp")
                        fail(st.line, "unknown filter '" + v + "'");
                    in.ftype = v;
                } else {
                    auto it = numericParams().find(k);
                    if (it == numericParams().end())
                        fail(st.line, "unknown parameter '" + k + "'");
                    in.*(it->second) = parseNumber(v, st.line);
                }
            });
            in.drum = isDrumKind(in.osc);
            sc.insts.push_back(in);
        } else if (cmd == "pattern") {
            need(4);
            Pattern p;
            p.name = w[1];
            p.line = st.line;
            p.inst = sc.findInst(w[2]);
            if (p.inst < 0)
                fail(st.line, "unknown instrument '" + w[2] + "'");
            size_t first = 3;
            if (w[3].rfind("res=", 0) == 0) {
                p.res = static_cast<int>(parseNumber(w[3].substr(4), st.line));
                if (p.res < 1)
                    fail(st.line, "res must be positive");
                first = 4;
            }
            p.tokens.assign(w.begin() + static_cast<long>(first), w.end());
            if (p.tokens.empty())
                fail(st.line, "empty pattern " + p.name);
            size_t steps = 0;
            if (sc.insts[p.inst].drum) {
                for (const auto& t : p.tokens)
                    steps += t.size();
            } else {
                steps = p.tokens.size();
            }
            if (steps % static_cast<size_t>(p.res) != 0)
                fail(st.line, "pattern " + p.name + " has " + std::to_string(steps) +
                                  " steps, not a whole number of bars of " + std::to_string(p.res));
            if (sc.patterns.count(p.name))
                fail(st.line, "pattern '" + p.name + "' defined twice");
            sc.patterns[p.name] = p;
        } else if (cmd == "bars") {
            need(3);
            Play pl;
            pl.line = st.line;
            auto range = split(w[1], '-');
            if (range.size() > 2)
                fail(st.line, "bad bar range '" + w[1] + "'");
            pl.bar0 = static_cast<int>(parseNumber(range[0], st.line));
            int bar1 =
                range.size() == 2 ? static_cast<int>(parseNumber(range[1], st.line)) : pl.bar0;
            if (bar1 < pl.bar0)
                fail(st.line, "bar range goes backwards");
            pl.bars = bar1 - pl.bar0 + 1;
            pl.pats.assign(w.begin() + 2, w.end());
            plays.push_back(pl);
        } else if (cmd == "cue") {
            need(3);
            sc.cues.push_back({static_cast<int>(parseNumber(w[1], st.line)),
                               static_cast<int>(parseNumber(w[2], st.line)), st.line});
        } else if (cmd == "flex") {
            need(2);
            for (size_t i = 1; i < w.size(); ++i)
                sc.flexBars.push_back(static_cast<int>(parseNumber(w[i], st.line)));
        } else if (cmd == "ramp") {
            need(7);
            rampTexts.push_back({st.line, w});
        } else {
            fail(st.line, "unknown statement '" + cmd + "'");
        }
    }

    layOutBars(sc, sceneStarts);
    for (const auto& pl : plays) {
        for (const auto& ref : pl.pats) {
            // NAME[:SEMITONES][@INSTRUMENT]
            std::string name = ref, instName;
            int transpose = 0;
            auto at = name.find('@');
            if (at != std::string::npos) {
                instName = name.substr(at + 1);
                name.resize(at);
            }
            auto colon = name.find(':');
            if (colon != std::string::npos) {
                transpose = static_cast<int>(parseNumber(name.substr(colon + 1), pl.line));
                name.resize(colon);
            }
            auto it = sc.patterns.find(name);
            if (it == sc.patterns.end())
                fail(pl.line, "unknown pattern '" + name + "'");
            Pattern p = it->second;
            if (!instName.empty()) {
                p.inst = sc.findInst(instName);
                if (p.inst < 0)
                    fail(pl.line, "unknown instrument '" + instName + "'");
                if (sc.insts[p.inst].drum != sc.insts[it->second.inst].drum)
                    fail(pl.line,
                         "cannot move pattern '" + name + "' between drum and tonal instruments");
            }
            expandPattern(sc, p, pl.bar0, pl.bars, transpose);
        }
    }
    for (const auto& rt : rampTexts) {
        Ramp r;
        if (rt.w[1] != "master") {
            r.target = sc.findInst(rt.w[1]);
            if (r.target < 0)
                fail(rt.line, "unknown instrument '" + rt.w[1] + "'");
        }
        r.param = rt.w[2];
        if (r.param != "vol" && r.param != "cutoff")
            fail(rt.line, "can only ramp vol or cutoff");
        if (r.target < 0 && r.param != "vol")
            fail(rt.line, "master has only vol");
        r.t0 = sc.timeAt(parseNumber(rt.w[3], rt.line));
        r.t1 = sc.timeAt(parseNumber(rt.w[4], rt.line));
        r.v0 = parseNumber(rt.w[5], rt.line);
        r.v1 = parseNumber(rt.w[6], rt.line);
        if (r.t1 <= r.t0)
            fail(rt.line, "ramp must move forward in time");
        sc.ramps.push_back(r);
    }
    std::stable_sort(sc.ramps.begin(), sc.ramps.end(),
                     [](const Ramp& x, const Ramp& y) { return x.t0 < y.t0; });
    std::stable_sort(sc.notes.begin(), sc.notes.end(),
                     [](const Note& x, const Note& y) { return x.t < y.t; });
    return sc;
}

// Value of an automated parameter at time t: 1 when never ramped, the first
// ramp's start value before it begins, interpolated inside a ramp, held after.
double automation(const Score& sc, int target, const std::string& param, double t) {
    double v = 1.0;
    bool seen = false;
    for (const auto& r : sc.ramps) {
        if (r.target != target || r.param != param)
            continue;
        if (!seen && t < r.t0)
            return r.v0;
        seen = true;
        if (t < r.t0)
            break;
        if (t < r.t1)
            return r.v0 + (r.v1 - r.v0) * (t - r.t0) / (r.t1 - r.t0);
        v = r.v1;
    }
    return v;
}

// --------------------------------------------------------------- rendering

using Buffer = std::vector<float>;

struct Stereo {
    Buffer l, r;
    explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
    void clear() {
        std::fill(l.begin(), l.end(), 0.0f);
        std::fill(r.begin(), r.end(), 0.0f);
    }
};

// Attack/decay/sustain while the gate is open, squared-linear release after.
double adsr(double t, double gateT, double a, double d, double s, double r) {
    auto held = [&](double x) {
        if (x < a)
            return x / a;
        return s + (1.0 - s) * std::exp(-(x - a) / std::max(d / 3.0, 1e-4));
    };
    if (t < gateT)
        return held(t);
    double x = (t - gateT) / std::max(r, 1e-4);
    if (x >= 1.0)
        return 0.0;
    return held(gateT) * (1.0 - x) * (1.0 - x);
}

void renderTone(const Score& sc, const Instrument& in, int instIndex, const Note& n, Stereo& out,
                uint32_t seed) {
    const int nv = std::max(1, static_cast<int>(in.voices));
    const double a = std::max(in.a, 0.001);
    const double gateT = std::max(n.dur * in.gate, 0.005);
    const double total = gateT + std::max(in.r, 0.005);
    const size_t start = static_cast<size_t>(std::llround(n.t * kRate));
    const size_t len = static_cast<size_t>(total * kRate);
    if (start >= out.l.size())
        return;

    Rng rng(seed);
    struct Voice {
        double ph, mph, cents, gl, gr;
        Rng noise{1};
    };
    std::vector<Voice> voices(static_cast<size_t>(nv));
    for (int v = 0; v < nv; ++v) {
        double spread = nv == 1 ? 0.0 : 2.0 * v / (nv - 1) - 1.0;
        double pan = std::clamp(spread * in.width, -1.0, 1.0);
        double ang = (pan + 1.0) * kPi / 4.0;
        voices[v].ph = rng.uni();
        voices[v].mph = rng.uni();
        voices[v].cents = spread * in.detune;
        voices[v].gl = std::cos(ang) * std::sqrt(2.0) / std::sqrt(nv);
        voices[v].gr = std::sin(ang) * std::sqrt(2.0) / std::sqrt(nv);
        voices[v].noise = Rng(rng.next() | 1u);
    }
    double subPh = 0.0;
    Svf fl, fr;
    const int mode = in.ftype == "lp" ? 0 : in.ftype == "bp" ? 1 : 2;
    const double velBright = 0.6 + 0.4 * n.vel;
    const double driveK = 1.0 + 3.0 * in.drive;

    for (size_t i = 0; i < len && start + i < out.l.size(); ++i) {
        const double t = i / kRate;
        const double tAbs = n.t + t;
        double m = n.midi;
        if (n.from >= 0 && in.glide > 0)
            m += (n.from - n.midi) * std::exp(-t / in.glide);
        if (in.vib > 0) {
            double depth = std::clamp((t - in.vibdelay) / 0.3, 0.0, 1.0);
            m += depth * in.vib / 100.0 * std::sin(kTwoPi * in.vibrate * t);
        }
        const double f0 = midiToHz(m);

        if (i % 8 == 0) {
            double fenvLevel = adsr(t, 1e9, std::max(in.fa, 0.001), in.fd, in.fs, 1.0);
            double fc = in.cutoff * automation(sc, instIndex, "cutoff", tAbs) *
                        std::pow(2.0, in.fenv * fenvLevel * velBright) *
                        std::pow(f0 / 261.63, in.keytrack);
            fl.set(fc, in.reso);
            fr.set(fc, in.reso);
        }

        double sl = 0, sr = 0;
        const double fmIdx =
            in.fmindex * velBright *
            (in.fmsus + (1.0 - in.fmsus) * std::exp(-t / std::max(in.fmdecay, 1e-3)));
        for (auto& vc : voices) {
            const double f = f0 * std::pow(2.0, vc.cents / 1200.0);
            const double dt = f / kRate;
            double x = 0;
            if (in.osc == "saw") {
                x = 2.0 * vc.ph - 1.0 - polyBlep(vc.ph, dt);
            } else if (in.osc == "square") {
                double ph2 = std::fmod(vc.ph + 1.0 - in.pw, 1.0);
                x = (vc.ph < in.pw ? 1.0 : -1.0) + polyBlep(vc.ph, dt) - polyBlep(ph2, dt);
            } else if (in.osc == "tri") {
                x = 4.0 * std::abs(vc.ph - 0.5) - 1.0;
            } else if (in.osc == "sine") {
                x = std::sin(kTwoPi * vc.ph);
            } else if (in.osc == "noise") {
                x = vc.noise.bi();
            } else {  // fm
                x = std::sin(kTwoPi * vc.ph + fmIdx * std::sin(kTwoPi * vc.mph));
                vc.mph += dt * in.fmratio;
                vc.mph -= std::floor(vc.mph);
            }
            vc.ph += dt;
            vc.ph -= std::floor(vc.ph);
            sl += x * vc.gl;
            sr += x * vc.gr;
        }
        if (in.sub > 0) {
            double dt = f0 * 0.5 / kRate;
            double x = std::sin(kTwoPi * subPh);
            subPh += dt;
            subPh -= std::floor(subPh);
            sl += x * in.sub;
            sr += x * in.sub;
        }
        sl = fl.run(sl, mode);
        sr = fr.run(sr, mode);
        if (in.drive > 0) {
            sl = std::tanh(sl * driveK) / driveK * 1.5;
            sr = std::tanh(sr * driveK) / driveK * 1.5;
        }
        const double env = adsr(t, gateT, a, in.d, in.s, in.r) * n.vel;
        out.l[start + i] += static_cast<float>(sl * env);
        out.r[start + i] += static_cast<float>(sr * env);
    }
}

// 808-style metallic source: six detuned square waves.
struct Metal {
    double ph[6] = {0, 0.13, 0.37, 0.51, 0.77, 0.91};
    double run(double p) {
        static const double f[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
        double s = 0;
        for (int k = 0; k < 6; ++k) {
            ph[k] += f[k] * 1.7 * p / kRate;
            ph[k] -= std::floor(ph[k]);
            s += ph[k] < 0.5 ? 1.0 : -1.0;
        }
        return s / 6.0;
    }
};

void renderDrum(const Instrument& in, const Note& n, Stereo& out, uint32_t seed) {
    const size_t start = static_cast<size_t>(std::llround(n.t * kRate));
    const double p = in.pitch, dcy = in.decay;
    double length = 0.5;
    if (in.osc == "kick")
        length = 0.9 * dcy + 0.05;
    if (in.osc == "snare" || in.osc == "clap")
        length = 0.6 * dcy;
    if (in.osc == "hat")
        length = 0.25 * dcy;
    if (in.osc == "ohat")
        length = 1.0 * dcy;
    if (in.osc == "crash")
        length = 3.5 * dcy;
    const size_t len = static_cast<size_t>(length * kRate);
    Rng nl(seed), nr(seed * 2654435761u + 1u);
    Svf f1, f2, f3, f4;
    Metal metal;
    double ph = 0;
    if (in.osc == "snare") {
        f1.set(1800 * p, 0.2);
        f2.set(9000, 0);
    } else if (in.osc == "clap") {
        f1.set(1150 * p, 0.45);
        f2.set(1250 * p, 0.45);
    } else if (in.osc == "hat" || in.osc == "ohat") {
        f1.set(7200 * p, 0.3);
        f2.set(7400 * p, 0.3);
    } else if (in.osc == "crash") {
        f1.set(4200 * p, 0.1);
        f2.set(4300 * p, 0.1);
        f3.set(13000, 0);
        f4.set(13000, 0);
    }
    for (size_t i = 0; i < len && start + i < out.l.size(); ++i) {
        const double t = i / kRate;
        double l = 0, r = 0;
        if (in.osc == "kick") {
            double f =
                46.0 * p + 130.0 * p * std::exp(-t / 0.035) + 40.0 * p * std::exp(-t / 0.006);
            ph += f / kRate;
            ph -= std::floor(ph);
            double attack = std::min(1.0, t / 0.0015);
            double body = std::sin(kTwoPi * ph) * attack * std::exp(-t / (0.3 * dcy));
            double click = nl.bi() * std::exp(-t / 0.0025) * in.tone * 0.5;
            double x = std::tanh(1.8 * (body + click)) / std::tanh(1.8);
            l = r = x;
        } else if (in.osc == "snare") {
            double f = 185.0 * p * (1.0 + 0.35 * std::exp(-t / 0.012));
            ph += f / kRate;
            ph -= std::floor(ph);
            double body =
                (std::sin(kTwoPi * ph) + 0.4 * std::sin(kTwoPi * ph * 1.83)) * std::exp(-t / 0.055);
            double nz = f1.run(nl.bi(), 2);
            nz = f2.run(nz, 0) * std::exp(-t / (0.14 * dcy));
            double x = body * 0.55 * in.tone * 2.0 + nz * 0.9;
            double att = std::min(1.0, t / 0.001);
            l = r = x * att;
        } else if (in.osc == "clap") {
            double env = 0;
            for (double tb : {0.0, 0.010, 0.021})
                if (t >= tb)
                    env += std::exp(-(t - tb) / 0.0045);
            if (t >= 0.03)
                env += 0.9 * std::exp(-(t - 0.03) / (0.12 * dcy));
            l = f1.run(nl.bi(), 1) * env * 1.6;
            r = f2.run(nr.bi(), 1) * env * 1.6;
        } else if (in.osc == "hat" || in.osc == "ohat") {
            double tau = in.osc == "hat" ? 0.038 * dcy : 0.24 * dcy;
            double env = std::exp(-t / tau) * std::min(1.0, t / 0.0008);
            double m = metal.run(p) * in.tone;
            l = f1.run(nl.bi() * 0.7 + m, 2) * env;
            r = f2.run(nr.bi() * 0.7 + m, 2) * env;
        } else {  // crash
            double env = std::exp(-t / (1.0 * dcy)) * std::min(1.0, t / 0.002);
            env += 0.6 * std::exp(-t / 0.06);
            double m = metal.run(p * 1.3) * in.tone;
            l = f3.run(f1.run(nl.bi() + m, 2), 0) * env * 0.8;
            r = f4.run(f2.run(nr.bi() + m, 2), 0) * env * 0.8;
        }
        // 10 ms fade at the very end so no hit is cut off with a click
        const double tail = std::min(1.0, static_cast<double>(len - i) / (0.01 * kRate));
        out.l[start + i] += static_cast<float>(l * n.vel * tail);
        out.r[start + i] += static_cast<float>(r * n.vel * tail);
    }
}

// ------------------------------------------------------------------ effects

void pingPongDelay(const Score& sc, const Stereo& in, Stereo& out) {
    const size_t d = static_cast<size_t>(std::llround(sc.delayBeats * 60.0 / sc.tempo * kRate));
    std::vector<double> bl(d, 0.0), br(d, 0.0);
    double lpL = 0, lpR = 0, hp = 0, hpPrev = 0;
    const double damp = std::clamp(sc.delayDamp, 0.0, 0.95);
    size_t idx = 0;
    for (size_t i = 0; i < in.l.size(); ++i) {
        double x = 0.5 * (in.l[i] + in.r[i]);
        // gentle high-pass on the send so low end never piles up in the echoes
        hp = 0.995 * (hp + x - hpPrev);
        hpPrev = x;
        double dl = bl[idx], dr = br[idx];
        lpL += (1.0 - damp) * (dl - lpL);
        lpR += (1.0 - damp) * (dr - lpR);
        bl[idx] = hp + lpR * sc.delayFeedback;
        br[idx] = lpL * sc.delayFeedback;
        idx = (idx + 1) % d;
        out.l[i] += static_cast<float>(dl * sc.delayLevel);
        out.r[i] += static_cast<float>(dr * sc.delayLevel);
    }
}

struct Comb {
    std::vector<double> buf;
    size_t idx = 0;
    double store = 0;
    explicit Comb(size_t n) : buf(n, 0.0) {}
    double run(double x, double fb, double damp) {
        double y = buf[idx];
        store = y * (1.0 - damp) + store * damp;
        buf[idx] = x + store * fb;
        idx = (idx + 1) % buf.size();
        return y;
    }
};

struct Allpass {
    std::vector<double> buf;
    size_t idx = 0;
    explicit Allpass(size_t n) : buf(n, 0.0) {}
    double run(double x) {
        double b = buf[idx];
        double y = -x + b;
        buf[idx] = x + b * 0.5;
        idx = (idx + 1) % buf.size();
        return y;
    }
};

void reverb(const Score& sc, const Stereo& in, Stereo& out) {
    static const size_t combT[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t apT[4] = {556, 441, 341, 225};
    const size_t spread = 23;
    std::vector<Comb> cl, cr;
    std::vector<Allpass> al, ar;
    for (size_t t : combT) {
        cl.emplace_back(t);
        cr.emplace_back(t + spread);
    }
    for (size_t t : apT) {
        al.emplace_back(t);
        ar.emplace_back(t + spread);
    }
    const double fb = 0.7 + 0.28 * std::clamp(sc.reverbSize, 0.0, 1.0);
    const double damp = std::clamp(sc.reverbDamp, 0.0, 1.0) * 0.4;
    const size_t pre = static_cast<size_t>(0.018 * kRate);
    for (size_t i = 0; i < in.l.size(); ++i) {
        double x = i >= pre ? (in.l[i - pre] + in.r[i - pre]) * 0.015 : 0.0;
        double l = 0, r = 0;
        for (auto& c : cl)
            l += c.run(x, fb, damp);
        for (auto& c : cr)
            r += c.run(x, fb, damp);
        for (auto& a : al)
            l = a.run(l);
        for (auto& a : ar)
            r = a.run(r);
        out.l[i] += static_cast<float>(l * sc.reverbLevel);
        out.r[i] += static_cast<float>(r * sc.reverbLevel);
    }
}

// ------------------------------------------------------------- mastering

struct Biquad {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    double run(double x) {
        double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// Integrated loudness (LUFS) following ITU-R BS.1770: K-weighting,
// 400 ms blocks with 75 % overlap, absolute and relative gates.
double integratedLoudness(const Stereo& s, double gain) {
    auto kweight = [](std::array<Biquad, 2>& st) {
        {
            double f0 = 1681.974450955533, G = 3.999843853973347, Q = 0.7071752369554196;
            double K = std::tan(kPi * f0 / kRate);
            double Vh = std::pow(10.0, G / 20.0);
            double Vb = std::pow(Vh, 0.4996667741545416);
            double a0 = 1.0 + K / Q + K * K;
            st[0] = {(Vh + Vb * K / Q + K * K) / a0, 2.0 * (K * K - Vh) / a0,
                     (Vh - Vb * K / Q + K * K) / a0, 2.0 * (K * K - 1.0) / a0,
                     (1.0 - K / Q + K * K) / a0};
        }
        {
            double f0 = 38.13547087602444, Q = 0.5003270373238773;
            double K = std::tan(kPi * f0 / kRate);
            double den = 1.0 + K / Q + K * K;
            st[1] = {1.0, -2.0, 1.0, 2.0 * (K * K - 1.0) / den, (1.0 - K / Q + K * K) / den};
        }
    };
    std::array<Biquad, 2> fl{}, fr{};
    kweight(fl);
    kweight(fr);
    const size_t hop = static_cast<size_t>(0.1 * kRate);
    std::vector<double> hopEnergy;
    double acc = 0;
    size_t count = 0;
    for (size_t i = 0; i < s.l.size(); ++i) {
        double l = fl[1].run(fl[0].run(s.l[i] * gain));
        double r = fr[1].run(fr[0].run(s.r[i] * gain));
        acc += l * l + r * r;
        if (++count == hop) {
            hopEnergy.push_back(acc);
            acc = 0;
            count = 0;
        }
    }
    std::vector<double> blocks;
    for (size_t i = 0; i + 4 <= hopEnergy.size(); ++i)
        blocks.push_back((hopEnergy[i] + hopEnergy[i + 1] + hopEnergy[i + 2] + hopEnergy[i + 3]) /
                         (4.0 * static_cast<double>(hop)));
    auto lufs = [](double ms) { return -0.691 + 10.0 * std::log10(std::max(ms, 1e-12)); };
    auto gatedMean = [&](double threshold) {
        double sum = 0;
        size_t n = 0;
        for (double b : blocks)
            if (lufs(b) > threshold) {
                sum += b;
                ++n;
            }
        return n ? sum / static_cast<double>(n) : 1e-12;
    };
    double rel = lufs(gatedMean(-70.0)) - 10.0;
    return lufs(gatedMean(rel));
}

// Catmull-Rom estimate of the largest inter-sample value around sample i.
double truePeakNear(const Buffer& x, size_t i) {
    auto at = [&](long k) {
        if (k < 0 || k >= static_cast<long>(x.size()))
            return 0.0;
        return static_cast<double>(x[static_cast<size_t>(k)]);
    };
    long j = static_cast<long>(i);
    double p0 = at(j - 1), p1 = at(j), p2 = at(j + 1), p3 = at(j + 2);
    double peak = std::abs(p1);
    for (double u : {0.25, 0.5, 0.75}) {
        double v = 0.5 * ((2 * p1) + (-p0 + p2) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * u * u +
                          (-p0 + 3 * p1 - 3 * p2 + p3) * u * u * u);
        peak = std::max(peak, std::abs(v));
    }
    return peak;
}

// Look-ahead brickwall limiter: the gain curve is a running minimum over the
// look-ahead window, released exponentially, then smoothed by a moving
// average of the same length (which never exceeds the required gain).
Stereo limit(const Stereo& in, double gain, double ceilingDb) {
    const double ceil = std::pow(10.0, ceilingDb / 20.0);
    const size_t n = in.l.size();
    const size_t look = static_cast<size_t>(0.003 * kRate);
    std::vector<double> req(n);
    Buffer gl(in.l), gr(in.r);
    for (size_t i = 0; i < n; ++i) {
        gl[i] = static_cast<float>(gl[i] * gain);
        gr[i] = static_cast<float>(gr[i] * gain);
    }
    for (size_t i = 0; i < n; ++i) {
        double pk = std::max(truePeakNear(gl, i), truePeakNear(gr, i));
        req[i] = pk > ceil ? ceil / pk : 1.0;
    }
    std::vector<double> g(n);
    const double rel = std::exp(-1.0 / (0.12 * kRate));
    double prev = 1.0;
    for (size_t i = 0; i < n; ++i) {
        double m = 1.0;
        for (size_t k = i; k < std::min(n, i + look); ++k)
            m = std::min(m, req[k]);
        double released = 1.0 - (1.0 - prev) * rel;
        prev = std::min(m, released);
        g[i] = prev;
    }
    Stereo out(n);
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += g[i];
        if (i >= look)
            sum -= g[i - look];
        double avg = sum / static_cast<double>(std::min(i + 1, look));
        out.l[i] = static_cast<float>(gl[i] * avg);
        out.r[i] = static_cast<float>(gr[i] * avg);
    }
    return out;
}

void writeWav(const std::string& path, const Stereo& s) {
    std::ofstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot write " + path);
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.put(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    auto u16 = [&](uint16_t v) {
        f.put(static_cast<char>(v & 0xff));
        f.put(static_cast<char>(v >> 8));
    };
    const uint32_t frames = static_cast<uint32_t>(s.l.size());
    const uint32_t dataBytes = frames * 4;
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(dataBytes);
    auto q = [](float x) {
        long v = std::lround(std::clamp(static_cast<double>(x), -1.0, 1.0) * 32767.0);
        return static_cast<uint16_t>(static_cast<int16_t>(v));
    };
    for (uint32_t i = 0; i < frames; ++i) {
        u16(q(s.l[i]));
        u16(q(s.r[i]));
    }
    if (!f)
        throw std::runtime_error("error writing " + path);
}

void render(const Score& sc, const std::string& outPath, const std::string& solo, bool verbose) {
    const size_t n = static_cast<size_t>(sc.length * kRate);
    Stereo inst(n), mix(n), delaySend(n), reverbSend(n);

    // Side-chain envelope: instruments marked sidechain=1 (the kick) push it to 1.
    std::vector<float> duckEnv(n, 0.0f);
    {
        std::vector<double> triggers;
        for (const auto& nt : sc.notes)
            if (sc.insts[nt.inst].sidechain > 0)
                triggers.push_back(nt.t);
        std::sort(triggers.begin(), triggers.end());
        size_t k = 0;
        double last = -1e9;
        for (size_t i = 0; i < n; ++i) {
            double t = i / kRate;
            while (k < triggers.size() && triggers[k] <= t)
                last = triggers[k++];
            double dt = t - last;
            double e = std::min(1.0, dt / 0.004) * std::exp(-dt / 0.13);
            duckEnv[i] = static_cast<float>(e);
        }
    }

    size_t noteCount = 0;
    for (size_t ii = 0; ii < sc.insts.size(); ++ii) {
        const Instrument& in = sc.insts[ii];
        inst.clear();
        uint32_t seed = 0x51f15eedu ^ static_cast<uint32_t>(ii * 7919u);
        bool any = false;
        for (const auto& nt : sc.notes) {
            if (nt.inst != static_cast<int>(ii))
                continue;
            seed = seed * 1664525u + 1013904223u;
            any = true;
            ++noteCount;
            if (in.drum)
                renderDrum(in, nt, inst, seed);
            else
                renderTone(sc, in, static_cast<int>(ii), nt, inst, seed);
        }
        if (!any)
            continue;
        if (!solo.empty() && in.name != solo)
            continue;
        if (verbose) {
            double pk = 0, sq = 0;
            for (size_t i = 0; i < n; ++i) {
                pk = std::max({pk, std::abs(static_cast<double>(inst.l[i])),
                               std::abs(static_cast<double>(inst.r[i]))});
                sq += static_cast<double>(inst.l[i]) * inst.l[i];
            }
            std::fprintf(stderr,
                         "  %-8s peak %6.2f dB  rms %6.2f dB  loudness at vol %.2f: %6.2f LUFS\n",
                         in.name.c_str(), 20 * std::log10(std::max(pk, 1e-9)),
                         10 * std::log10(std::max(sq / static_cast<double>(n), 1e-12)), in.vol,
                         integratedLoudness(inst, in.vol));
        }
        const double ang = (std::clamp(in.pan, -1.0, 1.0) + 1.0) * kPi / 4.0;
        const double pl = std::cos(ang) * std::sqrt(2.0), pr = std::sin(ang) * std::sqrt(2.0);
        for (size_t i = 0; i < n; ++i) {
            double g = in.vol * automation(sc, static_cast<int>(ii), "vol", i / kRate);
            if (in.duck > 0)
                g *= 1.0 - in.duck * duckEnv[i];
            double l = inst.l[i] * g * pl, r = inst.r[i] * g * pr;
            mix.l[i] += static_cast<float>(l);
            mix.r[i] += static_cast<float>(r);
            if (in.delay > 0) {
                delaySend.l[i] += static_cast<float>(l * in.delay);
                delaySend.r[i] += static_cast<float>(r * in.delay);
            }
            if (in.reverb > 0) {
                reverbSend.l[i] += static_cast<float>(l * in.reverb);
                reverbSend.r[i] += static_cast<float>(r * in.reverb);
            }
        }
    }
    // Echoes also feed the room a little.
    Stereo echoes(n);
    pingPongDelay(sc, delaySend, echoes);
    for (size_t i = 0; i < n; ++i) {
        mix.l[i] += echoes.l[i];
        mix.r[i] += echoes.r[i];
        reverbSend.l[i] += echoes.l[i] * 0.3f;
        reverbSend.r[i] += echoes.r[i] * 0.3f;
    }
    reverb(sc, reverbSend, mix);

    // Master volume automation and DC blocking.
    double dcL = 0, dcR = 0, pL = 0, pR = 0;
    for (size_t i = 0; i < n; ++i) {
        double g = automation(sc, -1, "vol", i / kRate);
        double l = mix.l[i], r = mix.r[i];
        dcL = 0.9985 * (dcL + l - pL);
        dcR = 0.9985 * (dcR + r - pR);
        pL = l;
        pR = r;
        mix.l[i] = static_cast<float>(dcL * g);
        mix.r[i] = static_cast<float>(dcR * g);
    }

    // Loudness: find the gain that lands the limited mix on the target.
    double gainDb = sc.loudness - integratedLoudness(mix, 1.0);
    Stereo out(0);
    double measured = 0;
    for (int iter = 0; iter < 4; ++iter) {
        out = limit(mix, std::pow(10.0, gainDb / 20.0), sc.ceiling);
        measured = integratedLoudness(out, 1.0);
        if (std::abs(measured - sc.loudness) < 0.05)
            break;
        gainDb += sc.loudness - measured;
    }
    if (verbose) {
        // Deepest limiter gain reduction per bar.
        const double g = std::pow(10.0, gainDb / 20.0);
        for (size_t b = 0; sc.timeAt(b) * kRate < n; ++b) {
            const size_t b0 = static_cast<size_t>(sc.timeAt(b) * kRate);
            const size_t b1 = static_cast<size_t>(sc.timeAt(b + 1) * kRate);
            double worst = 0;
            for (size_t i = b0; i < std::min(n, b1); ++i) {
                double in = std::max(std::abs(mix.l[i]), std::abs(mix.r[i])) * g;
                double o = std::max(std::abs(out.l[i]), std::abs(out.r[i]));
                if (in > 1e-4)
                    worst = std::min(worst, 20.0 * std::log10(std::max(o, 1e-9) / in));
            }
            std::fprintf(stderr, "  bar %2zu  limiter %6.2f dB\n", b, worst);
        }
    }
    double peak = 0;
    for (size_t i = 0; i < n; ++i)
        peak = std::max({peak, std::abs(static_cast<double>(out.l[i])),
                         std::abs(static_cast<double>(out.r[i]))});
    writeWav(outPath, out);
    std::fprintf(stderr,
                 "synth: %zu notes, %zu instruments, %.2f s, gain %+.2f dB, loudness %.2f LUFS, "
                 "sample peak %.2f dBFS\n",
                 noteCount, sc.insts.size(), sc.length, gainDb, measured,
                 20.0 * std::log10(std::max(peak, 1e-9)));
}

}  // namespace

int main(int argc, char** argv) {
    // Options (for working on the score): -v prints per-instrument levels,
    // --solo NAME renders only that instrument.
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string solo, sceneStartsPath;
    bool verbose = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-v")
            verbose = true;
        else if (args[i] == "--solo" && i + 1 < args.size())
            solo = args[++i];
        else if (args[i] == "--scene-starts" && i + 1 < args.size())
            sceneStartsPath = args[++i];
        else
            files.push_back(args[i]);
    }
    if (files.size() != 2) {
        std::fprintf(stderr,
                     "usage: %s [-v] [--solo INSTRUMENT] [--scene-starts FILE] SCORE OUT.wav\n",
                     argv[0]);
        return 2;
    }
    try {
        // The scenes' starts, one "INDEX SECONDS" line each, for the score's cues.
        std::map<int, double> sceneStarts;
        if (!sceneStartsPath.empty()) {
            std::ifstream f(sceneStartsPath);
            if (!f)
                throw ScoreError("cannot open " + sceneStartsPath);
            int scene = 0;
            for (double seconds = 0; f >> scene >> seconds;)
                sceneStarts[scene] = seconds;
        }
        Score sc = parseScore(files[0], sceneStarts);
        render(sc, files[1], solo, verbose);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "synth: %s\n", e.what());
        return 1;
    }
    return 0;
}
