// Shared by the fuzz targets: each input becomes a file, because the show reads only files,
// and message boxes are swallowed, because almost every input is refused with one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Sends every message box to a sink that returns at once. Messages still reach standard
// output; the fuzz script closes it (-close_fd_mask=1), a reproducing run shows them.
void swallowMessageBoxes();

// Writes the bytes to `name` inside a private folder, removed when the process ends, and
// returns the file's path.
std::string writeInputFile(const std::string& name, const uint8_t* data, size_t size);
