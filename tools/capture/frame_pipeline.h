// Frames read back on the main thread and written by threads of their own, so that drawing
// the next frame and writing the last ones overlap.
//
// The main thread takes a free buffer, reads a frame into it and hands it on; a writer
// thread writes it and gives the buffer back. With one writer the frames are written in
// the order they were handed on (what a pipe to an encoder needs); with more, in any order.
// No buffer is allocated after the pipeline is made.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FramePipeline {
  public:
    // Writes frame `index` from `pixels`, on writer thread `writer` (0 to writers - 1); an
    // empty string when it worked, else what went wrong.
    using WriteFrame = std::function<std::string(int writer, int64_t index, const uint8_t* pixels)>;

    // `buffers` buffers of `frameBytes` bytes each (at least one a writer, and one more for
    // the main thread to fill), shared out among `writers` threads.
    FramePipeline(int writers, int buffers, size_t frameBytes, WriteFrame write);
    // Waits for the frames handed on; their errors are lost unless finish() was called.
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // A buffer to read the next frame into, once one is free; null once a write failed.
    uint8_t* buffer();

    // Hands the buffer that buffer() gave last on to the writers as frame `index`.
    void submit(int64_t index);

    // Waits until every frame handed on is written and stops the writers. The first
    // write's error, or an empty string when every write worked.
    std::string finish();

  private:
    struct Frame {
        int64_t index = 0;
        uint8_t* pixels = nullptr;
    };
    void run(int writer);

    WriteFrame write_;
    std::vector<std::unique_ptr<uint8_t[]>> storage_;
    uint8_t* filling_ = nullptr;

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<uint8_t*> free_;
    std::deque<Frame> queued_;
    bool stopping_ = false;
    std::string error_;
    std::vector<std::thread> writers_;
};
