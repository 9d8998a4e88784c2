// What the display guard puts back: only what differs from the saved layout, in an order
// XRandR accepts. The guard itself runs against a real X server in tests/e2e/test_desktop.py.
#ifndef _WIN32

#include "platform/sdl/display_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::CrtcLayout;
using platform::DesktopLayout;

constexpr uint64_t kCrtcA = 0x40, kCrtcB = 0x41;
constexpr uint64_t kOutputA = 0x50, kOutputB = 0x51;
constexpr uint64_t kMode1024 = 0x5e, kMode800 = 0x62, kMode1280 = 0x70;
constexpr int kRotate0 = 1, kRotate90 = 2;

CrtcLayout crtc(uint64_t id, uint64_t mode, unsigned width, unsigned height, int x = 0, int y = 0,
                std::vector<uint64_t> outputs = {kOutputA}, int rotation = kRotate0) {
    return {id, mode, x, y, width, height, rotation, outputs};
}

DesktopLayout desktop(int width, int height, std::vector<CrtcLayout> crtcs) {
    return {width, height, width / 4, height / 4, crtcs};
}

// A plan in a line: "off" and each CRTC switched off, "resize", "set" and each CRTC given
// its saved setting back, by letter.
std::string describe(const platform::RestorePlan& plan) {
    const auto letter = [](uint64_t crtc) { return std::string(1, 'A' + (crtc - kCrtcA)); };
    std::string line;
    for (uint64_t crtc : plan.disable)
        line += " off " + letter(crtc);
    line += plan.resizeScreen ? " resize" : "";
    for (const CrtcLayout& layout : plan.reconfigure)
        line += " set " + letter(layout.crtc);
    return line.empty() ? line : line.substr(1);
}

}  // namespace

TEST(DisplayGuard, PutsBackOnlyWhatDiffersInAnOrderXRandRAccepts) {
    const DesktopLayout saved = desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768)});
    const CrtcLayout small = crtc(kCrtcA, kMode800, 800, 600);
    struct Case {
        std::string what;
        DesktopLayout now;
        std::string plan;
    };
    const Case cases[] = {
        {"the show's switch: smaller mode and screen", desktop(800, 600, {small}), "resize set A"},
        {"rotated",
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 768, 1024, 0, 0, {kOutputA}, kRotate90)}),
         "set A"},
        {"a larger mode: off before the screen can shrink",
         desktop(1280, 1024, {crtc(kCrtcA, kMode1280, 1280, 1024)}), "off A resize set A"},
        {"a head switched on later that reaches exactly to the saved size is kept",
         desktop(1280, 1024, {small, crtc(kCrtcB, kMode800, 800, 600, 224, 168, {kOutputB})}),
         "resize set A"},
        {"a head switched on later that stands in the way of the size",
         desktop(1824, 768, {small, crtc(kCrtcB, kMode1024, 1024, 768, 800, 0, {kOutputB})}),
         "off B resize set A"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describe(platform::planRestore(saved, c.now)), c.plan) << c.what;
}

#endif  // _WIN32
