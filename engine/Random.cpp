#include "engine/Random.h"

#include <cstdlib>

namespace {

constexpr int kStateWords = 312;
constexpr int kMiddle = 156;
constexpr uint64_t kMatrixA = 0xB5026F5AA96619E9ULL;
constexpr uint64_t kUpperMask = 0xFFFFFFFF80000000ULL;  // most significant 33 bits
constexpr uint64_t kLowerMask = 0x7FFFFFFFULL;          // least significant 31 bits

uint64_t state[kStateWords];
int stateIndex = kStateWords + 1;  // "never seeded"

uint64_t twistPair(uint64_t upper, uint64_t lower, uint64_t far) {
    const uint64_t x = (upper & kUpperMask) | (lower & kLowerMask);
    return far ^ (x >> 1) ^ ((x & 1ULL) ? kMatrixA : 0ULL);
}

// Regenerates all 312 words at once.
void twist() {
    for (int i = 0; i < kStateWords; ++i) {
        const int next = (i + 1) % kStateWords;
        const int far = (i + kMiddle) % kStateWords;
        state[i] = twistPair(state[i], state[next], state[far]);
    }
    stateIndex = 0;
}

uint64_t temper(uint64_t x) {
    x ^= (x >> 29) & 0x5555555555555555ULL;
    x ^= (x << 17) & 0x71D67FFFEDA60000ULL;
    x ^= (x << 37) & 0xFFF7EEE000000000ULL;
    x ^= (x >> 43);
    return x;
}

}  // namespace

void init_genrand64(uint64_t seed) {
    state[0] = seed;
    for (int i = 1; i < kStateWords; ++i) {
        const uint64_t prev = state[i - 1];
        state[i] = 6364136223846793005ULL * (prev ^ (prev >> 62)) + static_cast<uint64_t>(i);
    }
    stateIndex = kStateWords;
}

uint64_t genrand64_int64() {
    if (stateIndex >= kStateWords) {
        if (stateIndex == kStateWords + 1) {
            init_genrand64(5489ULL);
        }
        twist();
    }
    return temper(state[stateIndex++]);
}

double uniform53() {
    return static_cast<double>(genrand64_int64() >> 11) * (1.0 / 9007199254740992.0);
}

float uniform53f() {
    return static_cast<float>(uniform53());
}

float uniformRand() {
    // The largest rand() rounds up to 1.0f in single precision; keep the draw below 1.
    const float draw = static_cast<float>(std::rand() / (RAND_MAX + 1.0));
    return draw < 1.0f ? draw : 0.99999994f;
}
