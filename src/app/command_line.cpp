#include "app/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "demo/show.h"

int64_t frameAtOrAfter(double seconds, int fps) {
    // A moment given to the millisecond lands on its frame despite binary fractions.
    return static_cast<int64_t>(std::ceil(seconds * fps - 1e-6));
}

std::string parseMoment(const std::string& text, int fps, double& seconds) {
    int digits = 0;
    int points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else
            digits = -1000;
    }
    const int64_t frames = showFrames(fps);
    char end[64];
    std::snprintf(end, sizeof end, "%.3f", static_cast<double>(frames) / fps);
    const std::string range = std::string("takes seconds from 0 to below ") + end +
                              " (the end of the show at " + std::to_string(fps) +
                              " frames a second), ";
    if (digits <= 0 || points > 1)
        return range + "not '" + text + "'";
    const double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value) || frameAtOrAfter(value, fps) >= frames)
        return range + "not " + text + ": that is past the end";
    seconds = value;
    return "";
}
