#include "gfx/random.h"

int Random::next() {
    // The constants of the classic Microsoft C runtime generator; the low bits of an LCG
    // are poor, so the result is taken from bits 16 to 30.
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fff);
}
