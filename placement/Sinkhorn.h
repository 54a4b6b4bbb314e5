// The scaling rounds of an entropic optimal transport (Sinkhorn) over a dense block of its
// kernel, the part of a fade's transport that costs most. The sums keep one order on every
// processor, so the wider vectors some processors have give the same bits, only sooner.
#pragma once

#include <cstddef>

namespace sinkhorn {

// The sum of k[j] * in[j] over j < m, in four running sums (j % 4), added (0 + 1) + (2 + 3).
double dot(const double* k, const double* in, size_t m);

// `rounds` scaling rounds of the kernel block k (na rows by nb columns, row major) between the
// masses a (na) and b (nb). u must hold the first round's row scalings; v starts at 1. Each
// round after the first sets u[r] = a[r] / dot(row r, v); every round then sets v[c] to b[c]
// over column c's sum of k * u, a column's sum taken a row at a time in four sums (row r adds to
// sum r % 4), so that the block is read once a round.
void rounds(const double* k, size_t na, size_t nb, const double* a, const double* b, int rounds,
            double* u, double* v);

}  // namespace sinkhorn
