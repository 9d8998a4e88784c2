#include "support/show_test.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/gl.h"

MessageSink::MessageSink() {
    platform::setMessageBoxSink(
        [](const platform::MessageBoxRequest& request, void* sink) {
            static_cast<MessageSink*>(sink)->boxes.push_back(
                {request.owner, request.text, request.title, request.icon});
            return platform::kMessageBoxOk;
        },
        this);
}

std::vector<std::string> MessageSink::texts() const {
    std::vector<std::string> result;
    for (const RecordedBox& box : boxes)
        result.push_back(box.text);
    return result;
}

void useManualClock() {
    platform::useManualCounter(kTicksPerSecond, 12LL * 24 * 3600 * kTicksPerSecond);
}

void advanceClock(double seconds) {
    platform::advanceManualCounter(static_cast<int64_t>(seconds * kTicksPerSecond + 0.5));
}

bool Rgba::closeTo(const Rgba& o, int t) const {
    return std::abs(r - o.r) <= t && std::abs(g - o.g) <= t && std::abs(b - o.b) <= t &&
           std::abs(a - o.a) <= t;
}

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

Rgba pixelAt(int x, int y) {
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 600 - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> readScreen() {
    std::vector<uint8_t> pixels(800 * 600 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

namespace {

GLWindow& sharedWindow() {
    static GLWindow* const window = [] {
        platform::useOffscreenDisplay({800, 600, 32});
        return new GLWindow();
    }();
    return *window;
}

}  // namespace

void ShowTest::SetUp() {
    useManualClock();
    window = &sharedWindow();
    ASSERT_NE(window->hRC, nullptr) << "no OpenGL context on the offscreen display";
    // Showing the window queues messages of its own, and a test may leave some behind;
    // tests start from an empty queue and no pending Escape.
    platform::Message pending;
    while (platform::peekMessage(pending)) {
    }
    platform::keyDownOrPressedSinceLastQuery(platform::Key::escape);
    window->frameCount = 0;
    window->framesPerSecond = 0;
    window->clock.start();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    window->resize();
    glBindTexture(GL_TEXTURE_2D, 0);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void ShowTest::TearDown() {
    glPopClientAttrib();
    glPopAttrib();
    while (glGetError() != GL_NO_ERROR) {
    }
}

void ShowTest::post(platform::MessageType type, platform::Key key) {
    platform::Message message;
    message.type = type;
    message.key = key;
    message.window = window->hWnd;
    platform::postMessage(message);
}

TempDir::TempDir() {
    // A name of its own: create_directory makes a new folder or says the name is taken.
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path();
    std::random_device random;
    fs::path folder;
    do {
        folder = base / ("hopsasa-test-" + std::to_string(random()));
    } while (!fs::create_directory(folder));
    root_ = folder.string();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

InFolder::InFolder(const std::string& path) : previous_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(path);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
