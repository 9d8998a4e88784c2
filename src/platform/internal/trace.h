// A trace of timed events for tests that measure the running program from outside.
//
// Off unless the environment variable HOPSASA_TRACE names a file when the first event comes;
// then each event appends one line, "<event> <seconds>", the seconds read from the
// system's monotonic clock (CLOCK_MONOTONIC on Linux), which other processes can read too.
// The Windows backend keeps no trace. The events: "frame" when a frame has been presented,
// "play" when a stream is asked to play, "first-callback" from the first audio callback
// after it has started.
#pragma once

namespace platform {

// Appends one line for `event` (a short word without spaces) at the time of the call. Safe
// from any thread, the audio thread included: it never allocates once the file is open and
// takes no lock.
void traceEvent(const char* event);

}  // namespace platform
