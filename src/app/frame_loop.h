// The show's entry sequence and frame loop.
#pragma once

class GLWindow;

// One pass per frame: the window's frame pump presents the frame drawn in the previous
// pass (or ends the loop on the quit message), then Escape is tested, then `drawFrame`
// draws the next frame. Returns when the quit message is taken or Escape is seen. There
// is no frame pacing: the loop runs as fast as presenting allows.
void runFrameLoop(GLWindow& window, void (*drawFrame)());

// Builds the window and the demo context, runs start-up, then the frame loop. Nothing is
// released at the end: the process exit takes it all. Returns the exit status, 0.
int runShow();
