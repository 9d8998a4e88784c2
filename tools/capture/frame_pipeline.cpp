#include "frame_pipeline.h"

FramePipeline::FramePipeline(int writers, int buffers, size_t frameBytes, WriteFrame write)
    : write_(std::move(write)) {
    for (int i = 0; i < buffers; ++i) {
        storage_.push_back(std::make_unique<uint8_t[]>(frameBytes));
        free_.push_back(storage_.back().get());
    }
    for (int i = 0; i < writers; ++i)
        writers_.emplace_back(&FramePipeline::run, this, i);
}

FramePipeline::~FramePipeline() {
    finish();
}

uint8_t* FramePipeline::buffer() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return !free_.empty() || !error_.empty(); });
    if (!error_.empty())
        return nullptr;
    filling_ = free_.back();
    free_.pop_back();
    return filling_;
}

void FramePipeline::submit(int64_t index) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        queued_.push_back({index, filling_});
        filling_ = nullptr;
    }
    changed_.notify_all();
}

std::string FramePipeline::finish() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& writer : writers_)
        writer.join();
    writers_.clear();
    return error_;
}

void FramePipeline::run(int writer) {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return !queued_.empty() || stopping_; });
        if (queued_.empty())
            return;
        Frame frame = queued_.front();
        queued_.pop_front();
        // After a failure the frames still queued are dropped: the capture stops anyway.
        std::string error;
        if (error_.empty()) {
            hold.unlock();
            error = write_(writer, frame.index, frame.pixels);
            hold.lock();
        }
        if (!error.empty() && error_.empty())
            error_ = error;
        free_.push_back(frame.pixels);
        changed_.notify_all();
    }
}
