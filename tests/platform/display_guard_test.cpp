// What the display guard puts back: only what differs from the saved layout, in an order
// XRandR accepts. The guard itself runs against a real X server in tests/e2e/test_desktop.py.
#ifndef _WIN32

#include "platform/sdl/display_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
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
// its saved setting back (checked against the saved one), by letter.
std::string describe(const platform::RestorePlan& plan, const DesktopLayout& saved) {
    const auto letter = [](uint64_t crtc) { return std::string(1, 'A' + (crtc - kCrtcA)); };
    const auto setting = [](const CrtcLayout& l) {
        return std::tie(l.mode, l.x, l.y, l.rotation, l.outputs);
    };
    std::string line;
    for (uint64_t crtc : plan.disable)
        line += " off " + letter(crtc);
    line += plan.resizeScreen ? " resize" : "";
    for (const CrtcLayout& layout : plan.reconfigure) {
        const auto as = std::find_if(saved.crtcs.begin(), saved.crtcs.end(),
                                     [&](auto& c) { return c.crtc == layout.crtc; });
        const bool asSaved = as != saved.crtcs.end() && setting(*as) == setting(layout);
        line += " set " + letter(layout.crtc) + (asSaved ? "" : "(not as saved)");
    }
    return line.empty() ? line : line.substr(1);
}

}  // namespace

TEST(DisplayGuard, PutsBackOnlyWhatDiffersInAnOrderXRandRAccepts) {
    const DesktopLayout saved = desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768)});
    const DesktopLayout twoHeads =
        desktop(2048, 768,
                {crtc(kCrtcA, kMode1024, 1024, 768),
                 crtc(kCrtcB, kMode1024, 1024, 768, 1024, 0, {kOutputB})});
    const CrtcLayout small = crtc(kCrtcA, kMode800, 800, 600);
    struct Case {
        std::string what;
        DesktopLayout saved, now;
        std::string plan;
    };
    const Case cases[] = {
        {"already back", saved, saved, ""},
        {"the show's switch: smaller mode and screen", saved, desktop(800, 600, {small}),
         "resize set A"},
        {"rotated", saved,
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 768, 1024, 0, 0, {kOutputA}, kRotate90)}),
         "set A"},
        {"the same outputs in another order",
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768, 0, 0, {kOutputA, kOutputB})}),
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768, 0, 0, {kOutputB, kOutputA})}), ""},
        {"a larger mode: off before the screen can shrink", saved,
         desktop(1280, 1024, {crtc(kCrtcA, kMode1280, 1280, 1024)}), "off A resize set A"},
        {"a head switched on later that reaches exactly to the saved size is kept", saved,
         desktop(1280, 1024, {small, crtc(kCrtcB, kMode800, 800, 600, 224, 168, {kOutputB})}),
         "resize set A"},
        {"a head switched on later that stands in the way of the size", saved,
         desktop(1824, 768, {small, crtc(kCrtcB, kMode1024, 1024, 768, 800, 0, {kOutputB})}),
         "off B resize set A"},
        {"one of two heads switched", twoHeads,
         desktop(1824, 768, {small, crtc(kCrtcB, kMode1024, 1024, 768, 800, 0, {kOutputB})}),
         "resize set A set B"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describe(platform::planRestore(c.saved, c.now), c.saved), c.plan) << c.what;
}

#endif  // _WIN32
