// How the process's allocator treats blocks the size of a picture.
#pragma once

namespace platform {

// From now on, blocks of a quarter of a megabyte and more come from the system and go back
// to it when freed. Start-up makes and frees many such blocks (decoded pictures, the
// decoder's bitmaps, GLU's mipmap scratch) whose memory would otherwise stay in the
// process once used. Call it on the main thread before other threads allocate.
void returnLargeBlocksWhenFreed();

}  // namespace platform
