#pragma once
#include <cstdint>

// The process-wide MT19937-64 generator (the published 64-bit Mersenne Twister). It is seeded
// with 5489 before its first draw unless seeded earlier, and keeps its state from run to run.
void init_genrand64(uint64_t seed);
uint64_t genrand64_int64();

// A double in [0, 1): the top 53 bits of one MT19937-64 output times 2^-53.
double uniform53();

// The same draw narrowed to float, for stages that work in single precision. Defined apart from
// its callers so that the narrowing is always made, even where a caller widens it again.
float uniform53f();

// A float in [0, 1) from the C library's rand(), which the plug-in never seeds.
float uniformRand();
