#include "engine/Random.h"

#include <algorithm>

namespace {

constexpr int kStateWords = 312;
constexpr int kMiddle = 156;
constexpr uint64_t kMatrixA = 0xB5026F5AA96619E9ULL;
constexpr uint64_t kUpperMask = 0xFFFFFFFF80000000ULL;  // most significant 33 bits
constexpr uint64_t kLowerMask = 0x7FFFFFFFULL;          // least significant 31 bits
constexpr uint64_t kDefaultSeed = 5489ULL;
// Sets the pick generator's seed apart from the value generator's (the 64-bit golden ratio).
constexpr uint64_t kPickSeedMask = 0x9E3779B97F4A7C15ULL;
constexpr double kTwoToMinus53 = 1.0 / 9007199254740992.0;

struct Generator {
    uint64_t state[kStateWords];
    int index = kStateWords + 1;  // "never seeded"
    uint64_t defaultSeed;
};

Generator values{{}, kStateWords + 1, kDefaultSeed};
Generator picks{{}, kStateWords + 1, kDefaultSeed ^ kPickSeedMask};

uint64_t twistPair(uint64_t upper, uint64_t lower, uint64_t far) {
    const uint64_t x = (upper & kUpperMask) | (lower & kLowerMask);
    return far ^ (x >> 1) ^ ((x & 1ULL) ? kMatrixA : 0ULL);
}

// Regenerates all 312 words at once.
void twist(Generator& g) {
    for (int i = 0; i < kStateWords; ++i) {
        const int next = (i + 1) % kStateWords;
        const int far = (i + kMiddle) % kStateWords;
        g.state[i] = twistPair(g.state[i], g.state[next], g.state[far]);
    }
    g.index = 0;
}

uint64_t temper(uint64_t x) {
    x ^= (x >> 29) & 0x5555555555555555ULL;
    x ^= (x << 17) & 0x71D67FFFEDA60000ULL;
    x ^= (x << 37) & 0xFFF7EEE000000000ULL;
    x ^= (x >> 43);
    return x;
}

void seed(Generator& g, uint64_t s) {
    g.state[0] = s;
    for (int i = 1; i < kStateWords; ++i) {
        const uint64_t prev = g.state[i - 1];
        g.state[i] = 6364136223846793005ULL * (prev ^ (prev >> 62)) + static_cast<uint64_t>(i);
    }
    g.index = kStateWords;
}

uint64_t draw(Generator& g) {
    if (g.index >= kStateWords) {
        if (g.index == kStateWords + 1) {
            seed(g, g.defaultSeed);
        }
        twist(g);
    }
    return temper(g.state[g.index++]);
}

}  // namespace

uint64_t pickSeed(uint64_t s) {
    return s ^ kPickSeedMask;
}

void seedRandomSources(uint64_t s) {
    init_genrand64(s);
    init_pick_generator(pickSeed(s));
}

void init_genrand64(uint64_t s) {
    seed(values, s);
}

uint64_t genrand64_int64() {
    return draw(values);
}

double uniform53() {
    return static_cast<double>(genrand64_int64() >> 11) * kTwoToMinus53;
}

float uniform53f() {
    return static_cast<float>(uniform53());
}

void init_pick_generator(uint64_t s) {
    seed(picks, s);
}

uint64_t pick_int64() {
    return draw(picks);
}

float uniformRand() {
    return static_cast<float>(pick_int64() >> 40) * (1.0f / 16777216.0f);
}

size_t randomIndex(size_t m) {
    const double u = static_cast<double>(pick_int64() >> 11) * kTwoToMinus53;
    return std::min(static_cast<size_t>(static_cast<double>(m) * u), m - 1);
}

int randomInt31() {
    return static_cast<int>(pick_int64() >> 33);
}
