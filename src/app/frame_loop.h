// The show's entry sequence and frame loop.
#pragma once

#include <functional>

class GLWindow;

// One pass per frame: the window's frame pump presents the frame drawn in the previous
// pass (or ends the loop on the quit message), then Escape is tested, then `drawFrame`
// draws the next frame. Returns when the quit message is taken or Escape is seen. There
// is no frame pacing: the loop runs as fast as presenting allows.
void runFrameLoop(GLWindow& window, const std::function<void()>& drawFrame);

// The show's command line: `--from SECONDS` starts it at that moment, `--help` prints the
// usage. Builds the window and the show, runs start-up, brings the show to its first
// moment, starts the music there, then runs the frame loop. Returns the exit status: 0, or
// 2 for a command line it cannot take.
int runShow(int argc, char** argv);
