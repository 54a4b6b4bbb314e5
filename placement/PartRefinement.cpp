// The parts' maps of a followed frame refined against the alpha itself.
#include "placement/PartRefinement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/MyTessaron.h"

namespace {

// Where the layers are smaller than the transport's cells, its moves are not precise enough for
// them (a part's map picks up a stretch of a few pixels from the cells beside another part), and
// the parts' maps are refined against the alpha itself: Gauss-Newton rounds per blur (box radii,
// three passes each), residuals down-weighted beyond kRefineRobust of an alpha.
constexpr int kRefineBlurs[] = {3, 1};
constexpr int kRefineRounds = 6;
constexpr double kRefineRobust = 0.25;
// A pull towards the transport's shift, as a share of the shifts' weight: what the alpha does not
// show (a bar's slide along its own edges, where only its ends tell it) stays as the transport has
// it. The map's stretch, shear and turn are pulled kRefineLinearPrior times as hard (their terms
// scaled by the pixels' spread) towards none: the transport's stretch is a blur's (1.35 % down a
// stem whose foot hides in a bar), and what the alpha does not show is better left out.
constexpr double kRefinePrior = 0.001;
constexpr double kRefineLinearPrior = 30;
// A pixel of a cell where the transport blends parts (or of no part's cell) serves the part whose
// map explains it best, when that map leaves less than kRefineOwned of an alpha and the next best
// kRefineOwnedMargin more: a bar's end that shows only beside the stem it slid out of tells the
// bar's stretch.
constexpr double kRefineOwned = 0.5;
constexpr double kRefineOwnedMargin = 0.05;

// A window of an alpha image (0 to 1) blurred by three box passes, sampled bilinearly (zero
// outside).
class BlurredAlpha {
  public:
    template <class F>
    BlurredAlpha(int x0, int y0, int x1, int y1, int radius, F&& alpha)
        : x0_(x0), y0_(y0), w_(x1 - x0 + 1), h_(y1 - y0 + 1), v_(size_t(w_) * size_t(h_)) {
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                v_[size_t(y) * size_t(w_) + size_t(x)] = alpha(x0 + x, y0 + y);
            }
        }
        for (int pass = 0; pass < 3; ++pass) {
            box(radius);
        }
    }
    // At a point in pixels (pixel centres at half-integers).
    double at(double x, double y) const {
        x -= x0_ + 0.5;
        y -= y0_ + 0.5;
        const int ix = int(std::floor(x)), iy = int(std::floor(y));
        const double fx = x - ix, fy = y - iy;
        return (1 - fy) * ((1 - fx) * px(ix, iy) + fx * px(ix + 1, iy)) +
               fy * ((1 - fx) * px(ix, iy + 1) + fx * px(ix + 1, iy + 1));
    }

  private:
    double px(int x, int y) const {
        return x < 0 || y < 0 || x >= w_ || y >= h_ ? 0.0 : v_[size_t(y) * size_t(w_) + size_t(x)];
    }
    // A box of 2 radius + 1 along the rows, then the columns (running sums, zero outside).
    void box(int radius) {
        const auto pass = [&](int n, int lines, auto index) {
            std::vector<float> line(static_cast<size_t>(n));
            for (int l = 0; l < lines; ++l) {
                double sum = 0;
                for (int i = 0; i <= std::min(radius, n - 1); ++i) {
                    sum += v_[index(l, i)];
                }
                for (int i = 0; i < n; ++i) {
                    line[size_t(i)] = float(sum / (2 * radius + 1));
                    if (i - radius >= 0) {
                        sum -= v_[index(l, i - radius)];
                    }
                    if (i + radius + 1 < n) {
                        sum += v_[index(l, i + radius + 1)];
                    }
                }
                for (int i = 0; i < n; ++i) {
                    v_[index(l, i)] = line[size_t(i)];
                }
            }
        };
        const size_t w = size_t(w_);
        pass(w_, h_, [w](int l, int i) { return size_t(l) * w + size_t(i); });
        pass(h_, w_, [w](int l, int i) { return size_t(i) * w + size_t(l); });
    }

    int x0_, y0_, w_, h_;
    std::vector<float> v_;
};

// Solves the 6 x 6 system h d = g in place of g (Gaussian elimination with partial pivoting);
// false when it is singular.
bool solveSix(double h[6][6], double g[6]) {
    for (int i = 0; i < 6; ++i) {
        int pivot = i;
        for (int r = i + 1; r < 6; ++r) {
            if (std::abs(h[r][i]) > std::abs(h[pivot][i])) {
                pivot = r;
            }
        }
        if (!(std::abs(h[pivot][i]) > 1e-12)) {
            return false;
        }
        std::swap(h[i], h[pivot]);
        std::swap(g[i], g[pivot]);
        for (int r = 0; r < 6; ++r) {
            if (r == i) {
                continue;
            }
            const double f = h[r][i] / h[i][i];
            for (int c = i; c < 6; ++c) {
                h[r][c] -= f * h[i][c];
            }
            g[r] -= f * g[i];
        }
    }
    for (int i = 0; i < 6; ++i) {
        g[i] /= h[i][i];
        if (!std::isfinite(g[i])) {
            return false;
        }
    }
    return true;
}

// Which part each pixel of the window (x0..x1, y0..y1, row by row) serves in the refinement: the
// part of its cell (`partOfPixel`), or where that is none, the part whose map explains it best by
// kRefineOwnedMargin and within kRefineOwned (parts with no cell of their own take none: they are
// the transport's blends). -1: none.
std::vector<int> ownPixels(const PartMotions& parts, const std::vector<int>& partOfPixel, int x0,
                           int y0, int x1, int y1, const BlurredAlpha& before,
                           const BlurredAlpha& now) {
    std::vector<bool> owns(parts.count(), false);
    for (const int k : partOfPixel) {
        if (k >= 0) {
            owns[size_t(k)] = true;
        }
    }
    std::vector<std::array<double, 8>> maps(parts.count());  // theta, then the centre
    for (size_t k = 0; k < parts.count(); ++k) {
        parts.map(k, maps[k].data(), maps[k].data() + 6);
    }
    std::vector<int> owner = partOfPixel;
    size_t at = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x, ++at) {
            if (partOfPixel[at] >= 0) {
                continue;
            }
            const double px = x + 0.5, py = y + 0.5, was = before.at(px, py);
            double best = HUGE_VAL, second = HUGE_VAL;
            int bestPart = -1;
            for (size_t k = 0; k < maps.size(); ++k) {
                if (!owns[k]) {
                    continue;
                }
                const double* m = maps[k].data();
                const double dx = px - m[6], dy = py - m[7];
                const double r = std::abs(
                    now.at(px + m[0] + m[2] * dx + m[3] * dy, py + m[1] + m[4] * dx + m[5] * dy) -
                    was);
                if (r < best) {
                    second = best;
                    best = r;
                    bestPart = int(k);
                } else if (r < second) {
                    second = r;
                }
            }
            if (best < kRefineOwned && second - best > kRefineOwnedMargin) {
                owner[at] = bestPart;
            }
        }
    }
    return owner;
}

}  // namespace

void refinePartMaps(const MyTessaron& e, PartMotions& parts, const MassTransport& t,
                    const std::vector<size_t>& gridCells) {
    std::vector<int> partOfCell(t.cellCount(), -1);
    for (size_t i = 0; i < gridCells.size(); ++i) {
        if (gridCells[i] < partOfCell.size()) {
            partOfCell[gridCells[i]] = parts.partOf(i);
        }
    }
    const FollowState& st = e.follow;
    const int32_t w = e.imageWidth, h = e.imageHeight;
    // The pixels of both frames' shapes and a margin as wide as the coarsest blur reaches, so
    // that the edges' slopes are whole.
    const int32_t *o = st.bounds, *b = e.opaqueBounds;
    const int margin = 3 * kRefineBlurs[0] + 1;
    const int x0 = std::max(0, std::min(o[0], b[0]) - margin);
    const int x1 = std::min(w - 1, std::max(o[1], b[1]) + margin);
    const int y0 = std::max(0, std::min(o[2], b[2]) - margin);
    const int y1 = std::min(h - 1, std::max(o[3], b[3]) + margin);
    if (x1 < x0 || y1 < y0) {
        return;
    }
    std::vector<int> partOfPixel;
    partOfPixel.reserve(size_t(x1 - x0 + 1) * size_t(y1 - y0 + 1));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            partOfPixel.push_back(partOfCell[t.cellOf(x + 0.5, y + 0.5)]);
        }
    }
    std::vector<std::array<double, 6>> fitted(parts.count());
    for (size_t k = 0; k < parts.count(); ++k) {
        double c[2];
        parts.map(k, fitted[k].data(), c);
    }
    for (const int radius : kRefineBlurs) {
        const int m = 3 * radius + 1;  // what the blur reaches beyond the pixels read
        const BlurredAlpha before(x0 - m, y0 - m, x1 + m, y1 + m, radius, [&](int x, int y) {
            return x < 0 || y < 0 || x >= w || y >= h
                       ? 0.0f
                       : float(st.alpha[size_t(y) * size_t(w) + size_t(x)]) / 255.0f;
        });
        const BlurredAlpha now(x0 - m, y0 - m, x1 + m, y1 + m, radius, [&](int x, int y) {
            if (x < 0 || y < 0 || x >= w || y >= h) {
                return 0.0f;
            }
            const uint8_t v = e.imagePixels[(size_t(y) * size_t(w) + size_t(x)) * 4];
            return v > e.alphaThreshold ? float(v) / 255.0f : 0.0f;
        });
        const std::vector<int> owner = ownPixels(parts, partOfPixel, x0, y0, x1, y1, before, now);
        for (size_t k = 0; k < parts.count(); ++k) {
            double theta[6], c[2];
            parts.map(k, theta, c);
            const double was[2] = {theta[0], theta[1]};
            for (int round = 0; round < kRefineRounds; ++round) {
                double hessian[6][6] = {}, g[6] = {};
                double spread = 0, pixels = 0;
                size_t at = 0;
                for (int y = y0; y <= y1; ++y) {
                    for (int x = x0; x <= x1; ++x, ++at) {
                        if (owner[at] != int(k)) {
                            continue;
                        }
                        const double px = x + 0.5, py = y + 0.5, dx = px - c[0], dy = py - c[1];
                        const double qx = px + theta[0] + theta[2] * dx + theta[3] * dy;
                        const double qy = py + theta[1] + theta[4] * dx + theta[5] * dy;
                        const double gx = 0.5 * (now.at(qx + 1, qy) - now.at(qx - 1, qy));
                        const double gy = 0.5 * (now.at(qx, qy + 1) - now.at(qx, qy - 1));
                        if (gx == 0 && gy == 0) {
                            continue;
                        }
                        spread += dx * dx + dy * dy;
                        pixels += 1;
                        const double r = now.at(qx, qy) - before.at(px, py);
                        const double weight = 1 / (1 + (r / kRefineRobust) * (r / kRefineRobust));
                        const double j[6] = {gx, gy, gx * dx, gx * dy, gy * dx, gy * dy};
                        for (int i = 0; i < 6; ++i) {
                            g[i] -= weight * j[i] * r;
                            for (int l = 0; l < 6; ++l) {
                                hessian[i][l] += weight * j[i] * j[l];
                            }
                        }
                    }
                }
                if (pixels > 0) {
                    const double base = kRefinePrior * (hessian[0][0] + hessian[1][1]);
                    const double s2 = spread / pixels;
                    for (int i = 0; i < 6; ++i) {
                        const double l = base * (i < 2 ? 1.0 : kRefineLinearPrior * s2);
                        hessian[i][i] += l;
                        g[i] += l * ((i < 2 ? fitted[k][size_t(i)] : 0.0) - theta[i]);
                    }
                }
                if (!solveSix(hessian, g)) {
                    break;
                }
                for (int i = 0; i < 6; ++i) {
                    theta[i] += g[i];
                }
            }
            if (std::hypot(theta[0] - was[0], theta[1] - was[1]) <= t.cellSide()) {
                parts.setMap(k, theta);
            }
        }
    }
}
