// The show's pseudo-random numbers: one sequence for the whole program.
//
// A fixed linear congruential generator rather than the C library's rand(), whose sequence
// differs between platforms: the same seed gives the same blobs, and the same captured
// frames, on every machine.
#pragma once

// Starts the sequence again from `seed`. Before the first call the seed is 1.
void seedRandom(unsigned seed);

// The next number of the sequence, 0 to 32767.
int nextRandom();
