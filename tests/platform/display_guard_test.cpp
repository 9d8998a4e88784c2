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
    CrtcLayout layout;
    layout.crtc = id;
    layout.mode = mode;
    layout.x = x;
    layout.y = y;
    layout.width = width;
    layout.height = height;
    layout.rotation = rotation;
    layout.outputs = outputs;
    return layout;
}

DesktopLayout desktop(int width, int height, std::vector<CrtcLayout> crtcs) {
    DesktopLayout layout;
    layout.width = width;
    layout.height = height;
    layout.widthMm = width / 4;
    layout.heightMm = height / 4;
    layout.crtcs = crtcs;
    return layout;
}

}  // namespace

TEST(DisplayGuard, PutsBackOnlyWhatDiffersInAnOrderXRandRAccepts) {
    const DesktopLayout saved = desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768)});
    const DesktopLayout twoHeads =
        desktop(2048, 768,
                {crtc(kCrtcA, kMode1024, 1024, 768),
                 crtc(kCrtcB, kMode1024, 1024, 768, 1024, 0, {kOutputB})});
    struct Case {
        std::string what;
        DesktopLayout saved;
        DesktopLayout now;
        std::vector<uint64_t> disable;
        bool resize;
        std::vector<uint64_t> reconfigure;
    };
    const Case cases[] = {
        {"already back", saved, saved, {}, false, {}},
        {"the show's switch: smaller mode and screen",
         saved,
         desktop(800, 600, {crtc(kCrtcA, kMode800, 800, 600)}),
         {},
         true,
         {kCrtcA}},
        {"another mode in a screen of the same size",
         saved,
         desktop(1024, 768, {crtc(kCrtcA, kMode800, 800, 600)}),
         {},
         false,
         {kCrtcA}},
        {"moved",
         saved,
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768, 0, 8)}),
         {},
         false,
         {kCrtcA}},
        {"rotated",
         saved,
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 768, 1024, 0, 0, {kOutputA}, kRotate90)}),
         {},
         false,
         {kCrtcA}},
        {"switched off", saved, desktop(1024, 768, {}), {}, false, {kCrtcA}},
        {"driving another output",
         saved,
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768, 0, 0, {kOutputB})}),
         {},
         false,
         {kCrtcA}},
        {"the same outputs in another order",
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768, 0, 0, {kOutputA, kOutputB})}),
         desktop(1024, 768, {crtc(kCrtcA, kMode1024, 1024, 768, 0, 0, {kOutputB, kOutputA})}),
         {},
         false,
         {}},
        {"a larger mode: off before the screen can shrink",
         saved,
         desktop(1280, 1024, {crtc(kCrtcA, kMode1280, 1280, 1024)}),
         {kCrtcA},
         true,
         {kCrtcA}},
        {"a head switched on later that fits is kept",
         saved,
         desktop(1024, 768,
                 {crtc(kCrtcA, kMode800, 800, 600),
                  crtc(kCrtcB, kMode800, 800, 600, 0, 0, {kOutputB})}),
         {},
         false,
         {kCrtcA}},
        {"a head switched on later that reaches exactly to the saved size is kept",
         saved,
         desktop(1280, 1024,
                 {crtc(kCrtcA, kMode800, 800, 600),
                  crtc(kCrtcB, kMode800, 800, 600, 224, 168, {kOutputB})}),
         {},
         true,
         {kCrtcA}},
        {"a head switched on later that stands in the way of the size",
         saved,
         desktop(1824, 768,
                 {crtc(kCrtcA, kMode800, 800, 600),
                  crtc(kCrtcB, kMode1024, 1024, 768, 800, 0, {kOutputB})}),
         {kCrtcB},
         true,
         {kCrtcA}},
        {"one of two heads switched",
         twoHeads,
         desktop(1824, 768,
                 {crtc(kCrtcA, kMode800, 800, 600),
                  crtc(kCrtcB, kMode1024, 1024, 768, 800, 0, {kOutputB})}),
         {},
         true,
         {kCrtcA, kCrtcB}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::RestorePlan plan = platform::planRestore(c.saved, c.now);
        EXPECT_EQ(plan.disable, c.disable);
        EXPECT_EQ(plan.resizeScreen, c.resize);
        std::vector<uint64_t> reconfigured;
        for (const CrtcLayout& layout : plan.reconfigure) {
            reconfigured.push_back(layout.crtc);
            const CrtcLayout* wanted = nullptr;
            for (const CrtcLayout& candidate : c.saved.crtcs) {
                if (candidate.crtc == layout.crtc)
                    wanted = &candidate;
            }
            ASSERT_NE(wanted, nullptr);
            EXPECT_EQ(layout.mode, wanted->mode);
            EXPECT_EQ(layout.x, wanted->x);
            EXPECT_EQ(layout.y, wanted->y);
            EXPECT_EQ(layout.rotation, wanted->rotation);
            EXPECT_EQ(layout.outputs, wanted->outputs);
        }
        EXPECT_EQ(reconfigured, c.reconfigure);
        EXPECT_EQ(plan.empty(), c.disable.empty() && !c.resize && c.reconfigure.empty());
    }
}

#endif  // _WIN32
