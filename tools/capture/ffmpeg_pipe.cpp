#include "ffmpeg_pipe.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

bool FfmpegPipe::start(const std::vector<std::string>& args, std::string& error) {
    std::FILE* log = std::tmpfile();
    int fds[2];
    if (!log || pipe2(fds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        if (log)
            std::fclose(log);
        return false;
    }
    messages_ = fcntl(fileno(log), F_DUPFD_CLOEXEC, 0);
    std::fclose(log);
    // A child that dies must show up as a failed write, not end this process.
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    int ready[2];  // closed by exec, or carrying errno when it fails
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls from here on: the parent has threads.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        setpgid(0, 0);
        signal(SIGPIPE, SIG_DFL);
        dup2(fds[0], STDIN_FILENO);
        dup2(messages_, STDERR_FILENO);
        execvp(argv[0], argv.data());
        const int failed = errno;
        (void)!::write(ready[1], &failed, sizeof failed);
        _exit(127);
    }
    const int forkError = errno;
    close(fds[0]);
    close(ready[1]);
    int failed = pid_ < 0 ? forkError : 0;
    if (pid_ > 0 && read(ready[0], &failed, sizeof failed) != sizeof failed)
        failed = 0;
    close(ready[0]);
    if (failed != 0) {
        close(fds[1]);
        finish();
        error = std::strerror(failed);
        return false;
    }
    fd_ = fds[1];
    return true;
}

bool FfmpegPipe::write(const void* data, size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int FfmpegPipe::finish() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (pid_ < 0)
        return -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FfmpegPipe::messages() const {
    std::string text;
    char chunk[4096];
    ssize_t n;
    for (off_t at = 0; messages_ >= 0 && (n = pread(messages_, chunk, sizeof chunk, at)) > 0;
         at += n)
        text.append(chunk, static_cast<size_t>(n));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

FfmpegPipe::~FfmpegPipe() {
    finish();
    if (messages_ >= 0)
        close(messages_);
}
