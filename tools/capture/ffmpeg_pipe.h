// A child process fed through a pipe on its standard input: how frames reach ffmpeg.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

class FfmpegPipe {
  public:
    // Starts `args` (args[0] is looked up on the PATH) with a pipe on its standard input,
    // in a process group of its own (a Ctrl-C in the terminal reaches the capture alone,
    // which ends the child's input in order) and killed by the kernel if this process dies.
    // What it prints on standard error is kept for messages(). False with `error` set when
    // it cannot be started.
    bool start(const std::vector<std::string>& args, std::string& error);

    // Writes all of `data`; false once the child stopped reading.
    bool write(const void* data, size_t size);

    // Closes the pipe and waits for the child; its exit status, or -1 if it did not exit.
    int finish();

    // What the child printed on standard error, without its last line break.
    std::string messages() const;

    ~FfmpegPipe();

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
    int messages_ = -1;  // an unnamed file holding the child's standard error
};
