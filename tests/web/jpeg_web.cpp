// The tests under emscripten write their JPEG files with the writer the other systems'
// tests use (support/jpeg.cpp), which needs no encoder.
#include "support/jpeg.cpp"
