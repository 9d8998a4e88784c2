#include "app/frame_log.h"

#include <cerrno>
#include <cstring>

#include "app/rate.h"

namespace {

// The whole show at the highest rate with room to spare: paced, the list never grows while
// the show plays (unpaced it may, now and then).
constexpr size_t kReservedPresents = 1 << 16;

}  // namespace

FrameLog::~FrameLog() {
    if (file_ && !finish())
        std::fprintf(stderr, "hopsasa: the frame log '%s' could not be written whole\n",
                     path_.c_str());
}

std::string FrameLog::open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "w");
    if (!file_)
        return "cannot write the frame log '" + path + "': " + std::strerror(errno);
    presents_.reserve(kReservedPresents);
    return "";
}

void FrameLog::setTiming(int64_t frequency, double slotMs) {
    frequency_ = frequency > 0 ? frequency : 1;
    slotMs_ = slotMs;
}

void FrameLog::presented(int64_t frame, int64_t slot, int scene, int64_t tick) {
    if (file_)
        presents_.push_back({frame, slot, scene, tick});
}

bool FrameLog::finish() {
    if (!file_)
        return true;
    const auto ms = [this](int64_t ticks) {
        return 1000.0 * static_cast<double>(ticks) / frequency_;
    };
    bool ok = std::fprintf(file_,
                           "# frame\tslot\tscene\tms since the first\tms since the "
                           "previous present\n") > 0;
    std::vector<double> between;
    between.reserve(presents_.size());
    for (size_t i = 0; i < presents_.size() && ok; ++i) {
        const Present& p = presents_[i];
        char slot[24] = "-";
        if (p.slot >= 0)
            std::snprintf(slot, sizeof slot, "%lld", static_cast<long long>(p.slot));
        char previous[24] = "-";
        if (i > 0) {
            between.push_back(ms(p.tick - presents_[i - 1].tick));
            std::snprintf(previous, sizeof previous, "%.3f", between.back());
        }
        ok = std::fprintf(file_, "%lld\t%s\t%d\t%.3f\t%s\n", static_cast<long long>(p.frame), slot,
                          p.scene, ms(p.tick - presents_[0].tick), previous) > 0;
    }
    const PresentSummary summary = summarizePresents(std::move(between), slotMs_);
    ok = ok && std::fprintf(file_,
                            "# summary: %zu frames, median %.3f ms, 99th percentile %.3f ms, "
                            "%lld over 1.5 slots of %.3f ms\n",
                            presents_.size(), summary.median, summary.percentile99,
                            static_cast<long long>(summary.overOneAndAHalfSlots), slotMs_) > 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}
