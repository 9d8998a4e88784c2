// The frame log of `hopsasa --frame-log FILE`: a line for each presented frame of the show,
// then a summary line. The lines are kept in memory and written when the log is finished,
// so that a frame costs no file access.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class FrameLog {
  public:
    FrameLog() = default;
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Opens `path` for writing, emptying it, before the show starts. An empty string, or
    // what is wrong, for a message.
    std::string open(const std::string& path);

    // Counter ticks a second of the present times, and the length of a slot (1/N with a
    // rate, else the display's refresh period) for the summary.
    void setTiming(int64_t frequency, double slotMs);

    // Frame `frame` of the run, of slot `slot` (negative: the run has no slots), drawn by
    // scene `scene`, presented at tick `tick`. Nothing happens while the log is not open.
    void presented(int64_t frame, int64_t slot, int scene, int64_t tick);

    // Writes the lines and the summary, and closes the file; false when the system did
    // not take them all. At once when the log is not open (or finished already); the
    // destructor finishes an open log.
    bool finish();

  private:
    struct Present {
        int64_t frame;
        int64_t slot;
        int scene;
        int64_t tick;
    };
    std::FILE* file_ = nullptr;
    std::string path_;
    std::vector<Present> presents_;
    int64_t frequency_ = 1;
    double slotMs_ = 1000.0 / 60;
};
