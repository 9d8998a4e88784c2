#include "app/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "demo/show.h"

int64_t frameAtOrAfter(double seconds, int fps) {
    // A moment given to the millisecond lands on its frame despite binary fractions.
    return static_cast<int64_t>(std::ceil(seconds * fps - 1e-6));
}

bool isPlainNumber(const std::string& text) {
    if (text.empty() || text.size() > kMaxNumberLength)
        return false;
    int digits = 0;
    int points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else
            return false;
    }
    return digits > 0 && points <= 1;
}

bool parseWholeNumber(const std::string& text, int low, int high, int& value) {
    if (!isPlainNumber(text) || text.find('.') != std::string::npos)
        return false;
    // At most twelve digits: a long long holds them all.
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string lastMoment(int fps) {
    const int64_t last = showFrames(fps) - 1;
    // Whole milliseconds, rounded down: last * 1000 / fps is exact in integers.
    const int64_t ms = last * 1000 / fps;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string parseMoment(const std::string& text, int fps, double& seconds) {
    const std::string range = "takes seconds from 0 to " + lastMoment(fps) +
                              " (the show's last frame at " + std::to_string(fps) +
                              (fps == 1 ? " frame" : " frames") + " a second), ";
    if (!isPlainNumber(text))
        return range + "not '" + text + "'";
    // Twelve characters at most: the value is below 10^12 and its frame fits easily.
    const double value = std::strtod(text.c_str(), nullptr);
    if (frameAtOrAfter(value, fps) >= showFrames(fps))
        return range + "not " + text + ": that is past the end";
    seconds = value;
    return "";
}
