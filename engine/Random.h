#pragma once
#include <cstddef>
#include <cstdint>

// The plug-in's random sources: two MT19937-64 generators (the published 64-bit Mersenne
// Twister), process-wide. Each is seeded with its share of 5489 before its first draw unless
// seeded earlier, and keeps its state from run to run.
//
// - The value generator gives the sizes, angles, opacities and jitters (uniform53).
// - The pick generator gives every choice among entries: the pixel a random point is drawn
//   for, the grid or ring point a site takes, the offset shuffle (randomIndex, randomInt31),
//   and the single-precision draws of the random spatial presets (uniformRand).
//
// seedRandomSources seeds both from one seed, so that a Seed reproduces a whole collage; the
// two streams are apart, so adding or removing a pick never shifts a value draw.

// Seeds the value generator with seed and the pick generator with pickSeed(seed).
void seedRandomSources(uint64_t seed);
uint64_t pickSeed(uint64_t seed);

// The value generator alone.
void init_genrand64(uint64_t seed);
uint64_t genrand64_int64();

// A double in [0, 1): the top 53 bits of one value-generator output times 2^-53.
double uniform53();

// The same draw narrowed to float, for stages that work in single precision. Defined apart from
// its callers so that the narrowing is always made, even where a caller widens it again.
float uniform53f();

// The pick generator alone.
void init_pick_generator(uint64_t seed);
uint64_t pick_int64();

// A float in [0, 1) from the pick generator: its top 24 bits times 2^-24.
float uniformRand();

// An index from 0 to m - 1 (m > 0): trunc(m x u) with u the top 53 bits of one pick-generator
// output times 2^-53, in double.
size_t randomIndex(size_t m);

// A non-negative int from the top 31 bits of one pick-generator output.
int randomInt31();
