// A child process fed through a pipe on its standard input: how frames reach ffmpeg.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

class FfmpegPipe {
  public:
    // Starts `args` (args[0] is looked up on the PATH) with a pipe on its standard input.
    // False with `error` set when it cannot be started.
    bool start(const std::vector<std::string>& args, std::string& error);

    // Writes all of `data`; false once the child stopped reading.
    bool write(const void* data, size_t size);

    // Closes the pipe and waits for the child; its exit status, or -1 if it did not exit.
    int finish();

    ~FfmpegPipe();

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
};
