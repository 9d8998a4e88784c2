// What the show and its tools take on the command line: a moment of the show in seconds.
#pragma once

#include <cstdint>
#include <string>

// The first frame drawn at or after `seconds` when frame k is drawn at k / fps seconds.
int64_t frameAtOrAfter(double seconds, int fps);

// Reads `text` as a moment of the show: a plain decimal number of seconds (digits with at
// most one point: no sign, exponent or name) at which a run of `fps` frames a second still
// draws a frame. Returns an empty string when it is one, else what is wrong with it, for a
// message that names the option first.
std::string parseMoment(const std::string& text, int fps, double& seconds);
