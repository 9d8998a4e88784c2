// The program's pseudo-random sequence.
#include "gfx/random.h"

#include <cstdint>

namespace {

uint32_t gRandomState = 1;

}  // namespace

void seedRandom(unsigned seed) {
    gRandomState = seed;
}

int nextRandom() {
    // The constants of the classic Microsoft C runtime generator; the low bits of an LCG
    // are poor, so the result is taken from bits 16 to 30.
    gRandomState = gRandomState * 214013u + 2531011u;
    return static_cast<int>((gRandomState >> 16) & 0x7fff);
}
