// Pictures decoded ahead on threads of their own while the main thread makes textures of
// the ones before them: start-up's list of pictures, loaded as loadTexture loads them one
// after another, in the same order, with the same messages at the same places.
//
// Decoding (reading the file, the PNG or JPEG decoder, the change of byte order) is most of
// a picture's cost; making the texture (GLU's mipmaps, the upload) needs the context and
// stays on the main thread. Only the files loadTexture gives its decoder are decoded ahead;
// the others (TGA, unknown or no extension) are loaded on the main thread at their turn.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/texture.h"
#include "platform/thread.h"

class PictureLoader {
  public:
    // Starts decoding `files` (which must outlive the loader) in order on up to `threads`
    // threads, never more than kMaxAhead pictures ahead of the one the main thread takes.
    // With 0 threads, or where the system gives none, every picture is decoded by load()
    // itself. On X11 only once the window exists: see platform/thread.h.
    PictureLoader(const std::vector<const char*>& files, int threads);
    // Stops the threads; pictures decoded and never taken are freed.
    ~PictureLoader();
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // loadTexture(texture, fileName), on the main thread: when `fileName` is the next
    // picture of the list, its decoded picture is waited for and uploaded (or its failure
    // reported), and the threads move on; any other name is loaded at once by loadTexture.
    bool load(Texture& texture, const char* fileName);

    // Decoded pictures held, not yet taken: the bound on the memory decoding ahead costs.
    static constexpr int kMaxAhead = 4;

    // The number of threads worth decoding on: one a processor, since the main thread
    // mostly waits for them.
    static int threadsForThisMachine();

  private:
    struct Slot {
        bool ahead = false;    // handed to the decoding threads
        bool claimed = false;  // a thread decodes it (or has)
        bool done = false;
        DecodedPicture picture;
    };
    static void run(void* loader);
    void decodeAhead();

    std::vector<const char*> files_;
    std::vector<Slot> slots_;
    size_t next_ = 0;   // the next slot a thread may claim
    size_t taken_ = 0;  // slots before it were taken by load()
    bool stopping_ = false;
    platform::Monitor monitor_;
    std::vector<std::unique_ptr<platform::Thread>> threads_;
};
