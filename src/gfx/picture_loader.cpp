// The decoding threads and the main thread's turn-by-turn take of their pictures.
#include "gfx/picture_loader.h"

#include <cstring>
#include <utility>

#include "platform/image.h"
#include "platform/memory.h"

PictureLoader::PictureLoader(const std::vector<const char*>& files, int threads)
    : files_(files), slots_(files.size()) {
    for (size_t i = 0; i < files_.size(); ++i)
        slots_[i].ahead = textureReaderFor(files_[i]) == TextureReader::decoder;
    platform::prepareDecoding();
    // Decoded pictures are freed as soon as they are uploaded; their memory (and that of
    // the decoder's and GLU's scratch) goes back to the system rather than stay used once.
    platform::returnLargeBlocksWhenFreed();
    for (int i = 0; i < threads; ++i) {
        auto thread = std::make_unique<platform::Thread>();
        if (!thread->start(&PictureLoader::run, this))
            break;
        threads_.push_back(std::move(thread));
    }
}

PictureLoader::~PictureLoader() {
    monitor_.lock();
    stopping_ = true;
    monitor_.notifyAll();
    monitor_.unlock();
    for (auto& thread : threads_)
        thread->join();
}

int PictureLoader::threadsForThisMachine() {
    return platform::processorCount();
}

void PictureLoader::run(void* loader) {
    static_cast<PictureLoader*>(loader)->decodeAhead();
}

void PictureLoader::decodeAhead() {
    monitor_.lock();
    for (;;) {
        while (next_ < slots_.size() && (!slots_[next_].ahead || slots_[next_].claimed))
            ++next_;
        if (stopping_ || next_ >= slots_.size())
            break;
        if (next_ >= taken_ + kMaxAhead) {
            monitor_.wait();
            continue;
        }
        const size_t i = next_++;
        slots_[i].claimed = true;
        monitor_.unlock();
        DecodedPicture picture = decodePicture(files_[i]);
        monitor_.lock();
        slots_[i].picture = std::move(picture);
        slots_[i].done = true;
        monitor_.notifyAll();
    }
    monitor_.unlock();
}

bool PictureLoader::load(Texture& texture, const char* fileName) {
    const size_t i = taken_;
    if (i >= files_.size() || !fileName || !files_[i] || std::strcmp(files_[i], fileName) != 0)
        return loadTexture(texture, fileName);

    DecodedPicture picture;
    monitor_.lock();
    const bool ahead = slots_[i].ahead;
    if (ahead && !slots_[i].claimed) {
        // No thread got to it (there is none, or they are all busy): decode it here.
        slots_[i].claimed = true;
        monitor_.unlock();
        picture = decodePicture(fileName);
        monitor_.lock();
    } else if (ahead) {
        while (!slots_[i].done)
            monitor_.wait();
        picture = std::move(slots_[i].picture);
    }
    taken_ = i + 1;
    monitor_.notifyAll();
    monitor_.unlock();

    if (!ahead)
        return loadTexture(texture, fileName);
    return uploadPicture(texture, fileName, std::move(picture));
}
