// What the show and its tools take on the command line: moments of the show in seconds and
// whole numbers, all in one strict grammar.
#pragma once

#include <cstdint>
#include <string>

// The longest number either program takes: enough for any moment to the microsecond, and
// short enough that no conversion of one can overflow.
constexpr size_t kMaxNumberLength = 12;

// The first frame drawn at or after `seconds` when frame k is drawn at k / fps seconds.
int64_t frameAtOrAfter(double seconds, int fps);

// Whether `text` is a number as the command lines take them: digits with at most one point,
// at most kMaxNumberLength characters; no sign, exponent, space or name.
bool isPlainNumber(const std::string& text);

// Reads `text` as a whole number from `low` to `high`; false when it is anything else.
bool parseWholeNumber(const std::string& text, int low, int high, int& value);

// The moment of the last frame of a run at `fps` frames a second, as the messages print
// it: rounded down to the millisecond, so that the moment printed is one that is taken.
std::string lastMoment(int fps);

// Reads `text` as a moment of the show at which a run of `fps` frames a second still draws
// a frame: from 0 to lastMoment(fps). Returns an empty string when it is one, else what is
// wrong with it, naming the range, for a message that names the option first.
std::string parseMoment(const std::string& text, int fps, double& seconds);
