#include "placement/Sinkhorn.h"

#include <algorithm>
#include <vector>

namespace sinkhorn {
namespace {

#if defined(__GNUC__) || defined(__clang__)
#define TESSARON_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define TESSARON_ALWAYS_INLINE inline
#endif

TESSARON_ALWAYS_INLINE double dotIn(const double* k, const double* in, size_t m) {
    double s[4] = {0, 0, 0, 0};
    size_t j = 0;
    for (; j + 4 <= m; j += 4) {
        s[0] += k[j] * in[j];
        s[1] += k[j + 1] * in[j + 1];
        s[2] += k[j + 2] * in[j + 2];
        s[3] += k[j + 3] * in[j + 3];
    }
    for (; j < m; ++j) {
        s[j & 3] += k[j] * in[j];
    }
    return (s[0] + s[1]) + (s[2] + s[3]);
}

TESSARON_ALWAYS_INLINE void roundsIn(const double* k, size_t na, size_t nb, const double* a,
                                     const double* b, int count, double* u, double* v,
                                     double* sums) {
    std::fill(v, v + nb, 1.0);
    for (int it = 0; it < count; ++it) {
        std::fill(sums, sums + 4 * nb, 0.0);
        for (size_t r = 0; r < na; ++r) {
            const double* row = k + r * nb;
            if (it > 0) {
                u[r] = a[r] / dotIn(row, v, nb);
            }
            const double ur = u[r];
            double* sum = sums + (r & 3) * nb;
            for (size_t c = 0; c < nb; ++c) {
                sum[c] += row[c] * ur;
            }
        }
        for (size_t c = 0; c < nb; ++c) {
            v[c] = b[c] / ((sums[c] + sums[nb + c]) + (sums[2 * nb + c] + sums[3 * nb + c]));
        }
    }
}

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(_M_X64))
#define TESSARON_WIDE_ROUNDS 1
// The same rounds, four doubles to a vector where the processor has them (no fused
// multiply-adds: the file is built without contraction, and the products round as before).
__attribute__((target("avx2"))) void roundsWide(const double* k, size_t na, size_t nb,
                                                const double* a, const double* b, int count,
                                                double* u, double* v, double* sums) {
    roundsIn(k, na, nb, a, b, count, u, v, sums);
}

bool wide() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

double dot(const double* k, const double* in, size_t m) {
    return dotIn(k, in, m);
}

void rounds(const double* k, size_t na, size_t nb, const double* a, const double* b, int count,
            double* u, double* v) {
    std::vector<double> room(4 * nb);
    double* sums = room.data();
#ifdef TESSARON_WIDE_ROUNDS
    if (wide()) {
        roundsWide(k, na, nb, a, b, count, u, v, sums);
        return;
    }
#endif
    roundsIn(k, na, nb, a, b, count, u, v, sums);
}

}  // namespace sinkhorn
