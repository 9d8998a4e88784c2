// The show's entry sequence and frame loop.
#pragma once

#include <functional>

class GLWindow;

// What a caller of the frame loop does around each present: `before` on every pass, ahead
// of the pump (to wait for the frame's moment), `after` on a pass that presented.
struct PresentHooks {
    std::function<void()> before;
    std::function<void()> after;
};

// One pass per frame: the window's frame pump presents the frame drawn in the previous
// pass (or ends the loop on the quit message), then Escape is tested, then `drawFrame`
// draws the next frame. Returns when the quit message is taken or Escape is seen. The loop
// itself does no pacing: it runs as fast as presenting and the hooks allow.
void runFrameLoop(GLWindow& window, const std::function<void()>& drawFrame,
                  const PresentHooks& hooks = {});

// The show's command line: `--from SECONDS` starts it at that moment, `--rate N` paces it
// at N frames a second, `--frame-log FILE` logs its presents, `--help` prints the usage.
// Builds the window and the show, runs start-up, brings the show to its first moment,
// starts the music there, then runs the frame loop. Returns the exit status: 0, or 2 for a
// command line it cannot take or a frame log it cannot write.
int runShow(int argc, char** argv);
