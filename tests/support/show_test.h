// Test support: a real OpenGL context on the offscreen display, the manual counter, and a
// sink that records every message box.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/gl_window.h"
#include "platform/audio.h"
#include "platform/display.h"
#include "platform/gl.h"
#include "platform/message_box.h"

// Two seconds of a 1 kHz sine at 0.8 of full scale (tests/data/make-test-audio).
constexpr const char* kTestMp3 = HOPSASA_SOURCE_DIR "/tests/data/sine-1khz.mp3";

struct RecordedBox {
    platform::WindowHandle owner = nullptr;
    std::string text;
    std::string title;
    platform::MessageBoxIcon icon = platform::MessageBoxIcon::none;
};

// Records every message box while it lives, instead of showing it.
struct MessageSink {
    MessageSink();
    ~MessageSink() { platform::setMessageBoxSink(nullptr, nullptr); }
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    std::vector<RecordedBox> boxes;
    std::vector<std::string> texts() const;
};

// The manual counter ticks in nanoseconds and starts twelve days after its origin, where
// single-precision seconds would already be coarse.
constexpr int64_t kTicksPerSecond = 1'000'000'000;
void useManualClock();
void advanceClock(double seconds);

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    // Every channel within `tolerance`. (Not named "near": on Windows, GL/gl.h includes
    // windows.h, which defines near and far as empty macros.)
    bool closeTo(const Rgba& other, int tolerance = 3) const;
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

// Reads one pixel of the back buffer; (x, y) in screen pixels from the top left.
Rgba pixelAt(int x, int y);

// The whole 800x600 back buffer, RGBA, bottom row first.
std::vector<uint8_t> readScreen();

// The audio output as a new process finds it, for the length of a test: closed when the
// test starts, and closed again, with whatever the test opened, when it ends.
struct FreshAudioOutput {
    FreshAudioOutput() { platform::closeAudioOutput(); }
    ~FreshAudioOutput() { platform::closeAudioOutput(); }
    FreshAudioOutput(const FreshAudioOutput&) = delete;
    FreshAudioOutput& operator=(const FreshAudioOutput&) = delete;
};

// The tests of a process share one window on the offscreen display, made by the first
// of them. Each test starts with an empty message queue, the window's frame counters at 0,
// the manual clock, the fixed view, the GL state the window set up, a closed audio output
// and a sink of its own; the GL state it changes is put back when it ends.
class ShowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Queues a message for the window as if the system had sent it.
    void post(platform::MessageType type, platform::Key key = platform::Key::other);

    MessageSink sink;
    FreshAudioOutput audio;
    GLWindow* window = nullptr;
};

// A temporary folder removed with the object; files of the test go there.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return root_ + "/" + name; }
    const std::string& root() const { return root_; }

  private:
    std::string root_;
};

// The working folder is `path` while the object lives.
class InFolder {
  public:
    explicit InFolder(const std::string& path);
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    std::string previous_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);
