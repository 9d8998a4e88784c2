// Shared between the files of the web backend; nothing outside src/platform includes it.
//
// The backend's JavaScript lives beside its C++ (EM_JS). What it keeps between calls hangs
// off emscripten's Module object under names that start with "hopsasa"; the page (web/)
// sets a few of them before it calls main:
//   Module.canvas                 the 800x600 canvas: the display and the window
//   Module.hopsasaFrameRate       N > 0 for the frame clock below, else real time
//   Module.hopsasaFramePresented  called with (tick the frame was drawn at, frames presented
//                                 so far, milliseconds the show worked on the frame), in
//                                 the same task as the drawing, before the browser shows it
//   Module.hopsasaBoxShown        called with (title, text) when a message box opens
//   Module.hopsasaFullscreenElement  the element shown fullscreen (else the canvas), and
//                                 where message boxes are put
// and the backend keeps Module.hopsasaAudio (the AudioContext and its nodes, web/audio.cpp).
#pragma once

#include <cstdint>

namespace platform {

// The frame clock: with Module.hopsasaFrameRate = N the performance counter counts N ticks a
// second and moves one tick per presented frame instead of with real time, so every frame
// is drawn at an exact moment however slow the browser is. Called by swapBuffers after
// each present, with the presents of the whole page so far.
void frameClockPresented(int64_t presented);

// Hands the newest 512 samples the page plays to the spectrum's ring; once per animation
// frame, from swapBuffers.
void recordPlayedSamples();

}  // namespace platform
