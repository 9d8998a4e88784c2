// Pseudo-random numbers: a fixed linear congruential generator rather than the C library's
// rand(), whose sequence differs between platforms: the same seed gives the same blobs,
// and the same captured frames, on every machine.
#pragma once

#include <cstdint>

class Random {
  public:
    // Starts the sequence again from `seed`. Before the first call the seed is 1.
    void seed(uint32_t seed) { state_ = seed; }

    // The next number of the sequence, 0 to 32767.
    int next();

  private:
    uint32_t state_ = 1;
};
