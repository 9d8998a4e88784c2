// The one channel through which the show's failures reach the user.
#pragma once

// Formats the message printf-style (at most 1023 characters; a longer one is cut), writes
// it to standard output exactly as formatted, then shows it in a modal box titled "Error"
// and waits until the box is dismissed. The caller carries on afterwards. Returns the
// box's result, which no caller needs.
int reportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
