// Follow Shape Changes: a frame starts from the frame before's layout instead of new random
// sites, so that a collage moves with an animated Source instead of reshuffling.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <utility>
#include <vector>

#include "engine/MyTessaron.h"
#include "placement/MinimumAssignment.h"
#include "placement/NearestSite.h"
#include "placement/PointCells.h"
#include "placement/Sinkhorn.h"

namespace {

constexpr int kSamplesPerSite = 50;
constexpr int kRounds = 15;
// How far the rounds may move a site at a frame that fades in place, in spacings.
constexpr double kFadeSettle = 0.5;
// At most how many times its alpha a sample weighs where the fade's mass arrives, and at least
// how many times where it has left.
constexpr double kFadeBoost = 2.0;
constexpr double kFadeFloor = 0.5;
// How far (RMS, in spacings) the transport's moves may stray from one affine map before they are
// read as parts of the shape moving apart.
constexpr double kPartTolerance = 0.1;
// How far (in spacings) a cell's move may be off its part's map and still count half in the fit.
constexpr double kPartSpread = 0.3;
// A cell whose move differs from its neighbours' by more than this over their distance lies where
// the transport blends parts; the parts' maps are fitted mostly to the other cells.
constexpr double kSteep = 0.06;
// Where the transport's moves are read as parts, the rounds move only the sites that their part's
// motion crowded: their nearest neighbour nearer by more than this share than before the motion.
constexpr double kCrowding = 0.1;
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
// A site whose samples weigh more than this many times a site's mean borders room that no other
// site takes (a part that moved away, a part that grew or appears): the rounds let it settle into
// the room, as far as the frame allows at a frame read as parts, and at a fade's frame up to
// kHollowReach spacings from where it was or, when farther, kHollowShare times the fade's share
// of the way to its cell's centroid (so that a room many spacings wide, with many layers, fills
// over the fade's frames).
constexpr double kHollow = 1.5;
constexpr double kHollowReach = 1.0;
constexpr double kHollowShare = 2.0;
// With layers smaller than the fade transport's cells, a cell's worth of room is several spacings
// wide and the sites bordering it are few: the share grows with kHollowCells times the cells' side
// over the spacing (when over 1), so that the room fills over the fade as it does with fewer,
// larger layers.
constexpr double kHollowCells = 1.5;

// A fixed jitter in [0.1, 0.9) per lattice cell and axis: the samples of a cell are the same at
// every frame, and no draw of the random generators is spent on them.
float jitter(int64_t cx, int64_t cy, uint32_t axis) {
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ull ^ uint64_t(cy) * 0xC2B2AE3D27D4EB4Full ^
                 (uint64_t(axis) + 1) * 0x165667B19E3779F9ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return 0.1f + 0.8f * float(h >> 40) / float(1u << 24);
}

// About kSamplesPerSite samples per site over the frame's shape, as steps in spreads.
void setSampleStep(const MyTessaron& e, const double frame[4], double step[2]) {
    const double perSample =
        double(e.opaquePixels.count()) / (double(kSamplesPerSite) * std::max(1, e.layerCount));
    const double pixels = std::max(0.5, std::sqrt(perSample));
    step[0] = pixels / frame[2];
    step[1] = pixels / frame[3];
}

// A coarse grid of at most kCells cells a side over a frame's bounds, shared by the transports.
class CellGrid {
  protected:
    static constexpr int kCells = 32;

    CellGrid(double x0, double y0, double x1, double y1) : x0_(x0), y0_(y0) {
        h_ = std::max(1.0, std::max(x1 - x0, y1 - y0) / kCells);
        nx_ = std::max(1, std::min(kCells, int(std::ceil((x1 - x0) / h_))));
        ny_ = std::max(1, std::min(kCells, int(std::ceil((y1 - y0) / h_))));
    }

    size_t cell(double x, double y) const {
        const int cx = std::max(0, std::min(nx_ - 1, int(std::floor((x - x0_) / h_))));
        const int cy = std::max(0, std::min(ny_ - 1, int(std::floor((y - y0_) / h_))));
        return size_t(cy * nx_ + cx);
    }

    // The move at p: the cells' around it, weighted by their mass and the distance.
    Point2D moveAt(const Point2D& p, const std::vector<double>& mass, const std::vector<double>& dx,
                   const std::vector<double>& dy) const {
        const double gx = (p.x - x0_) / h_ - 0.5, gy = (p.y - y0_) / h_ - 0.5;
        const int ix = int(std::floor(gx)), iy = int(std::floor(gy));
        double w = 0, sx = 0, sy = 0;
        for (int cy = iy; cy <= iy + 1; ++cy) {
            for (int cx = ix; cx <= ix + 1; ++cx) {
                if (cx < 0 || cy < 0 || cx >= nx_ || cy >= ny_) {
                    continue;
                }
                const size_t i = size_t(cy * nx_ + cx);
                const double k = (1 - std::abs(gx - cx)) * (1 - std::abs(gy - cy)) * mass[i];
                w += k;
                sx += k * dx[i];
                sy += k * dy[i];
            }
        }
        return w > 0 ? Point2D(float(sx / w), float(sy / w)) : Point2D(0, 0);
    }

    static bool normalise(std::vector<double>& m) {
        double s = 0;
        for (double v : m) {
            s += v;
        }
        if (!(s > 0)) {
            return false;
        }
        for (double& v : m) {
            v /= s;
        }
        return true;
    }

    double x0_, y0_, h_ = 1;
    int nx_ = 1, ny_ = 1;
};

// The alpha mass's motion between two frames on a coarse grid: an entropic optimal transport
// (Sinkhorn, a fixed count of rounds in doubles) from the frame before's mass to this frame's,
// read as each cell's mean destination less the one its mass has when sent onto itself, so that
// an unchanged shape moves nothing and the blur does not pull the edges inwards.
class MassTransport : CellGrid {
  public:
    static constexpr int kIterations = 100;
    static constexpr double kBlur = 5.0;  // in squared cells

    MassTransport(double x0, double y0, double x1, double y1) : CellGrid(x0, y0, x1, y1) {
        before_.assign(size_t(nx_ * ny_), 0.0);
        now_.assign(size_t(nx_ * ny_), 0.0);
    }
    void addBefore(double x, double y, double m) { before_[cell(x, y)] += m; }
    void addNow(double x, double y, double m) { now_[cell(x, y)] += m; }

    // Solves the transport; false when either frame has no mass or the rounds did not stay finite.
    bool solve() {
        if (!normalise(before_) || !normalise(now_)) {
            return false;
        }
        kernel(nx_, kx_);
        kernel(ny_, ky_);
        std::vector<double> toNowX, toNowY, selfX, selfY;
        if (!destinations(now_, toNowX, toNowY) || !destinations(before_, selfX, selfY)) {
            return false;
        }
        dx_.assign(before_.size(), 0.0);
        dy_.assign(before_.size(), 0.0);
        for (size_t i = 0; i < before_.size(); ++i) {
            if (before_[i] > 0) {
                dx_[i] = (toNowX[i] - selfX[i]) * h_;
                dy_[i] = (toNowY[i] - selfY[i]) * h_;
            }
        }
        return true;
    }

    Point2D displacement(const Point2D& p) const { return moveAt(p, before_, dx_, dy_); }
    size_t cellOf(double x, double y) const { return cell(x, y); }
    size_t cellCount() const { return before_.size(); }
    double cellSide() const { return h_; }

    // Each cell with mass before: its centre, its mass, its move and how steeply the move
    // changes to the cells beside it (the largest difference over the distance).
    template <class F>
    void forEachCell(F&& f) const {
        for (size_t i = 0; i < before_.size(); ++i) {
            if (!(before_[i] > 0)) {
                continue;
            }
            const int cx = int(i % size_t(nx_)), cy = int(i / size_t(nx_));
            double steep = 0;
            for (const auto& [ox, oy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int x = cx + ox, y = cy + oy;
                if (x < 0 || y < 0 || x >= nx_ || y >= ny_) {
                    continue;
                }
                const size_t k = size_t(y * nx_ + x);
                if (before_[k] > 0) {
                    steep = std::max(steep, std::hypot(dx_[k] - dx_[i], dy_[k] - dy_[i]) / h_);
                }
            }
            f(x0_ + (cx + 0.5) * h_, y0_ + (cy + 0.5) * h_, before_[i], dx_[i], dy_[i], steep);
        }
    }

  private:
    static void kernel(int n, std::vector<double>& k) {
        k.resize(size_t(n * n));
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                k[size_t(i * n + j)] = std::exp(-double((i - j) * (i - j)) / kBlur);
            }
        }
    }
    // out = K in, the kernel being separable (rows, then columns).
    void apply(const std::vector<double>& in, std::vector<double>& out) const {
        tmp_.assign(in.size(), 0.0);
        for (int y = 0; y < ny_; ++y) {
            const double* row = &in[size_t(y * nx_)];
            for (int x = 0; x < nx_; ++x) {
                const double* k = &kx_[size_t(x * nx_)];
                double s = 0;
                for (int j = 0; j < nx_; ++j) {
                    s += k[j] * row[j];
                }
                tmp_[size_t(y * nx_ + x)] = s;
            }
        }
        out.assign(in.size(), 0.0);
        for (int y = 0; y < ny_; ++y) {
            const double* k = &ky_[size_t(y * ny_)];
            for (int j = 0; j < ny_; ++j) {
                if (k[j] == 0) {
                    continue;
                }
                const double* row = &tmp_[size_t(j * nx_)];
                double* o = &out[size_t(y * nx_)];
                for (int x = 0; x < nx_; ++x) {
                    o[x] += k[j] * row[x];
                }
            }
        }
    }
    // Each cell of the mass before: the mean cell its mass goes to in the transport onto `to`.
    bool destinations(const std::vector<double>& to, std::vector<double>& mx,
                      std::vector<double>& my) const {
        const size_t n = before_.size();
        std::vector<double> u(n, 0.0), v(n, 1.0), kv, ku;
        for (int it = 0; it < kIterations; ++it) {
            apply(v, kv);
            for (size_t i = 0; i < n; ++i) {
                u[i] = before_[i] > 0 ? before_[i] / kv[i] : 0.0;
            }
            apply(u, ku);
            for (size_t i = 0; i < n; ++i) {
                v[i] = to[i] > 0 ? to[i] / ku[i] : 0.0;
            }
        }
        std::vector<double> vx(n), vy(n), kx, ky;
        for (size_t i = 0; i < n; ++i) {
            vx[i] = v[i] * (double(i % size_t(nx_)) + 0.5);
            vy[i] = v[i] * (double(i / size_t(nx_)) + 0.5);
        }
        apply(v, kv);
        apply(vx, kx);
        apply(vy, ky);
        mx.assign(n, 0.0);
        my.assign(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            if (before_[i] <= 0) {
                continue;
            }
            if (!(kv[i] > 0) || !std::isfinite(kx[i] / kv[i]) || !std::isfinite(ky[i] / kv[i])) {
                return false;
            }
            mx[i] = kx[i] / kv[i];
            my[i] = ky[i] / kv[i];
        }
        return true;
    }

    std::vector<double> before_, now_, kx_, ky_, dx_, dy_;
    mutable std::vector<double> tmp_;
};

// The transport's moves read as a few parts of the shape each moving as one (an affine map
// each). A transport's map cannot shear: where one part slides along another (a bar sliding
// through a stem) it blends their motions over a band about as wide as the slide. The maps are
// fitted to the cells whose moves change slowly, and a site takes the motion of the part whose
// move at it is nearest the transport's; a part fitted to that band alone is the blend, and no
// site takes it (else the sites there move with neither part). A shape whose moves one map
// explains keeps the transport's moves as they are.
class PartMotions {
  public:
    static constexpr int kMostParts = 3;
    static constexpr int kRounds = 12;

    void add(double x, double y, double m, double dx, double dy) {
        cells_.push_back({x, y, m, dx, dy});
    }

    size_t count() const { return maps_.size(); }
    // The part cell i (in the order added) was given, after solve.
    int partOf(size_t i) const { return i < part_.size() ? part_[i] : -1; }
    // Part k's map as (t0, t1, a00, a01, a10, a11) about its centre c: the move at p is
    // t + a (p - c).
    void map(size_t k, double theta[6], double c[2]) const {
        const Map& m = maps_[k];
        const double v[6] = {m.t[0], m.t[1], m.a[0][0], m.a[0][1], m.a[1][0], m.a[1][1]};
        std::copy(v, v + 6, theta);
        c[0] = m.cx;
        c[1] = m.cy;
    }
    // A part fitted only to cells where the transport's moves change steeply (`firm`: per cell
    // added, whether it is not such a cell) is the transport's blend of the parts beside it, not a
    // part of the shape: no site takes its motion. It stays a part for the fit, which found it.
    void dropBlends(const std::vector<bool>& firm) {
        std::vector<bool> firmPart(maps_.size(), false);
        for (size_t i = 0; i < part_.size() && i < firm.size(); ++i) {
            if (firm[i] && part_[i] >= 0) {
                firmPart[size_t(part_[i])] = true;
            }
        }
        blends_.assign(maps_.size(), false);
        for (size_t k = 0; k < maps_.size(); ++k) {
            blends_[k] = !firmPart[k];
        }
        // At least one part stays (a transport whose cells are all steep keeps its parts).
        if (std::find(firmPart.begin(), firmPart.end(), true) == firmPart.end()) {
            blends_.clear();
        }
    }
    void setMap(size_t k, const double theta[6]) {
        Map& m = maps_[k];
        m.t[0] = theta[0];
        m.t[1] = theta[1];
        m.a[0][0] = theta[2];
        m.a[0][1] = theta[3];
        m.a[1][0] = theta[4];
        m.a[1][1] = theta[5];
    }

    // Finds the parts; false when one map explains the moves within `tolerance` (RMS, px). A
    // cell's move `spread` px off its part's map counts half in the part's next fit.
    bool solve(double tolerance, double spread) {
        if (cells_.size() < 6) {
            return false;
        }
        spread_ = spread;
        std::vector<int> part(cells_.size(), 0);
        maps_.assign(1, fit(part, 0));
        if (!(error(part) > tolerance)) {
            return false;
        }
        while (int(maps_.size()) < kMostParts) {
            // A new part from the cell the maps explain worst (by mass), then rounds of each
            // cell to its nearest map and each map refitted to its cells.
            size_t worst = 0;
            double most = -1;
            for (size_t i = 0; i < cells_.size(); ++i) {
                const double r = cells_[i].m * residual(maps_[size_t(part[i])], cells_[i]);
                if (r > most) {
                    most = r;
                    worst = i;
                }
            }
            Map seed{};
            seed.t[0] = cells_[worst].dx;
            seed.t[1] = cells_[worst].dy;
            maps_.push_back(seed);
            for (int round = 0; round < kRounds; ++round) {
                nearest(part);
                for (size_t k = 0; k < maps_.size(); ++k) {
                    const Map was = maps_[k];
                    maps_[k] = fit(part, int(k), round > 0 ? &was : nullptr);
                }
            }
            nearest(part);
            if (!(error(part) > tolerance)) {
                break;
            }
        }
        part_ = part;
        return maps_.size() > 1;
    }

    // The part's move at p whose move is nearest `move` (the transport's at p).
    Point2D motion(const Point2D& p, const Point2D& move) const {
        double best = HUGE_VAL;
        Point2D out = move;
        for (size_t k = 0; k < maps_.size(); ++k) {
            if (k < blends_.size() && blends_[k]) {
                continue;
            }
            const Map& m = maps_[k];
            const double x = m.at(p.x, p.y, 0), y = m.at(p.x, p.y, 1);
            const double d = std::hypot(x - move.x, y - move.y);
            if (d < best) {
                best = d;
                out = Point2D(float(x), float(y));
            }
        }
        return out;
    }

  private:
    struct Cell {
        double x, y, m, dx, dy;
    };
    // The move at (x, y): a[axis] . (x - cx, y - cy) + t[axis].
    struct Map {
        double cx = 0, cy = 0, a[2][2] = {{0, 0}, {0, 0}}, t[2] = {0, 0};
        double at(double x, double y, int axis) const {
            return a[axis][0] * (x - cx) + a[axis][1] * (y - cy) + t[axis];
        }
    };

    static double residual(const Map& m, const Cell& c) {
        return std::hypot(m.at(c.x, c.y, 0) - c.dx, m.at(c.x, c.y, 1) - c.dy);
    }
    void nearest(std::vector<int>& part) const {
        for (size_t i = 0; i < cells_.size(); ++i) {
            double best = HUGE_VAL;
            for (size_t k = 0; k < maps_.size(); ++k) {
                const double r = residual(maps_[k], cells_[i]);
                if (r < best) {
                    best = r;
                    part[i] = int(k);
                }
            }
        }
    }
    // The mass-weighted RMS of the moves less their part's map.
    double error(const std::vector<int>& part) const {
        double s = 0, w = 0;
        for (size_t i = 0; i < cells_.size(); ++i) {
            const double r = residual(maps_[size_t(part[i])], cells_[i]);
            s += cells_[i].m * r * r;
            w += cells_[i].m;
        }
        return w > 0 ? std::sqrt(s / w) : 0.0;
    }
    // The least-squares affine map of the cells in part k (by mass); a shift alone when they are
    // too few or lie on a line.
    Map fit(const std::vector<int>& part, int k, const Map* was = nullptr) const {
        Map m;
        // Cells far off the map they had count less (the blend between parts).
        const auto mass = [&](size_t i) {
            if (!was || !(spread_ > 0)) {
                return cells_[i].m;
            }
            const double r = residual(*was, cells_[i]) / spread_;
            return cells_[i].m / (1 + r * r);
        };
        double w = 0;
        for (size_t i = 0; i < cells_.size(); ++i) {
            if (part[i] == k) {
                const double cm = mass(i);
                w += cm;
                m.cx += cm * cells_[i].x;
                m.cy += cm * cells_[i].y;
            }
        }
        if (!(w > 0)) {
            return m;
        }
        m.cx /= w;
        m.cy /= w;
        double sxx = 0, sxy = 0, syy = 0, sx[2] = {0, 0}, sy[2] = {0, 0};
        for (size_t i = 0; i < cells_.size(); ++i) {
            if (part[i] != k) {
                continue;
            }
            const Cell& c = cells_[i];
            const double cm = mass(i);
            const double x = c.x - m.cx, y = c.y - m.cy;
            sxx += cm * x * x;
            sxy += cm * x * y;
            syy += cm * y * y;
            const double d[2] = {c.dx, c.dy};
            for (int axis = 0; axis < 2; ++axis) {
                m.t[axis] += cm * d[axis];
                sx[axis] += cm * x * d[axis];
                sy[axis] += cm * y * d[axis];
            }
        }
        m.t[0] /= w;
        m.t[1] /= w;
        const double det = sxx * syy - sxy * sxy;
        if (det > 1e-9 * (sxx * syy + 1e-12) && det > 0) {
            for (int axis = 0; axis < 2; ++axis) {
                m.a[axis][0] = (syy * sx[axis] - sxy * sy[axis]) / det;
                m.a[axis][1] = (sxx * sy[axis] - sxy * sx[axis]) / det;
            }
        }
        return m;
    }

    std::vector<Cell> cells_;
    std::vector<Map> maps_;
    std::vector<int> part_;
    std::vector<bool> blends_;  // by part, after dropBlends (empty: none)
    double spread_ = 0;
};

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

// Refines each part's map so that the alpha before, moved by it, matches the alpha now over the
// pixels of the transport's cells that part was fitted to (`gridCells`: by cell added to the
// parts, its cell of t's grid, or none past the grid) and the other pixels it explains best
// (ownPixels): an image registration started from the transport's map, coarse blur first, its
// shift pulled a little towards the transport's and its stretch towards none (kRefinePrior). A
// map whose move at its centre would change by more than a cell (the transport is closer than
// that) stays as it was.
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

// Each point's distance to its nearest other (the larger of the two axes' gaps, as rectangles
// grown around them meet), searched up to `most`; HUGE_VAL for a point with none that near.
std::vector<double> nearestGaps(const std::vector<Point2D>& at, double most) {
    std::vector<double> gap(at.size(), HUGE_VAL);
    if (at.size() < 2 || !(most > 0)) {
        return gap;
    }
    const PointBounds b = boundsOf(at);
    const double x0 = b.x0, y0 = b.y0;
    if (!std::isfinite(x0 + y0 + b.width + b.height)) {
        return gap;
    }
    const int nx = std::max(1, std::min(4096, int(b.width / most) + 1));
    const int ny = std::max(1, std::min(4096, int(b.height / most) + 1));
    const double cw = std::max(most, b.width / nx), ch = std::max(most, b.height / ny);
    const auto column = [&](double x) { return std::min(nx - 1, int((x - x0) / cw)); };
    const auto row = [&](double y) { return std::min(ny - 1, int((y - y0) / ch)); };
    std::vector<std::vector<int32_t>> cells(size_t(nx) * size_t(ny));
    for (size_t i = 0; i < at.size(); ++i) {
        cells[size_t(row(at[i].y)) * size_t(nx) + size_t(column(at[i].x))].push_back(int32_t(i));
    }
    for (size_t i = 0; i < at.size(); ++i) {
        const int cx = column(at[i].x), cy = row(at[i].y);
        for (int y = std::max(0, cy - 1); y <= std::min(ny - 1, cy + 1); ++y) {
            for (int x = std::max(0, cx - 1); x <= std::min(nx - 1, cx + 1); ++x) {
                for (int32_t j : cells[size_t(y) * size_t(nx) + size_t(x)]) {
                    if (size_t(j) == i) {
                        continue;
                    }
                    const double d = std::max(std::abs(double(at[size_t(j)].x) - at[i].x),
                                              std::abs(double(at[size_t(j)].y) - at[i].y));
                    if (d <= most) {
                        gap[i] = std::min(gap[i], d);
                    }
                }
            }
        }
    }
    return gap;
}

// Moves the (carried) sites with what is left of the alpha mass's motion: the frame before's
// alpha, carried as the sites were, sent onto this frame's on a coarse grid. Where the moves are
// read as parts, `settle` says how far the rounds may move each site: a site its part's motion
// crowded as far as the frame allows, the others not at all (so that the parts' motion stays).
// True when the moves were read as parts.
bool transportSites(const MyTessaron& e, const double a[4], const double b[4], bool carry,
                    std::vector<Point2D>& carried, std::vector<float>& settle) {
    const FollowState& st = e.follow;
    const int32_t imageWidth = e.imageWidth, imageHeight = e.imageHeight;
    const int32_t* opaqueBounds = e.opaqueBounds;
    if (st.width != imageWidth || st.height != imageHeight ||
        st.alpha.size() != size_t(imageWidth) * size_t(imageHeight) ||
        e.opaquePixels.count() == 0) {
        return false;
    }
    const double sx = carry ? b[2] / a[2] : 1.0, sy = carry ? b[3] / a[3] : 1.0;
    const auto moveX = [&](double x) { return carry ? b[0] + (x - a[0]) * sx : x; };
    const auto moveY = [&](double y) { return carry ? b[1] + (y - a[1]) * sy : y; };
    const int32_t* o = st.bounds;
    const double x0 = std::min(double(opaqueBounds[0]), moveX(o[0]));
    const double x1 = std::max(double(opaqueBounds[1] + 1), moveX(o[1] + 1));
    const double y0 = std::min(double(opaqueBounds[2]), moveY(o[2]));
    const double y1 = std::max(double(opaqueBounds[3] + 1), moveY(o[3] + 1));
    MassTransport t(x0, y0, x1, y1);
    for (int32_t y = o[2]; y <= o[3]; ++y) {
        for (int32_t x = o[0]; x <= o[1]; ++x) {
            const uint8_t v = st.alpha[size_t(y) * size_t(imageWidth) + size_t(x)];
            if (v > 0) {
                t.addBefore(moveX(x + 0.5), moveY(y + 0.5), v);
            }
        }
    }
    e.opaquePixels.forEach([&](int x, int y) {
        t.addNow(x + 0.5, y + 0.5, e.imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4]);
    });
    if (!t.solve()) {
        return false;
    }
    PartMotions parts;
    std::vector<size_t> gridCells;  // by cell added: its grid cell, or past the grid if steep
    t.forEachCell([&](double x, double y, double m, double dx, double dy, double steep) {
        // Where the moves change steeply the transport blends parts; the maps come from the rest.
        const double s = steep / kSteep;
        parts.add(x, y, m / (1 + s * s * s * s), dx, dy);
        gridCells.push_back(s < 1 ? t.cellOf(x, y) : t.cellCount());
    });
    const double spacing = std::sqrt(double(e.opaquePixels.count()) / std::max(1, e.layerCount));
    const bool inParts = parts.solve(kPartTolerance * spacing, kPartSpread * spacing);
    if (inParts && !carry && spacing < t.cellSide()) {
        refinePartMaps(e, parts, t, gridCells);
    }
    if (inParts) {
        std::vector<bool> firm(gridCells.size());
        for (size_t i = 0; i < gridCells.size(); ++i) {
            firm[i] = gridCells[i] < t.cellCount();
        }
        parts.dropBlends(firm);
    }
    const std::vector<Point2D> before = carried;
    for (Point2D& p : carried) {
        Point2D d = t.displacement(p);
        if (inParts) {
            d = parts.motion(p, d);
        }
        p = Point2D(p.x + d.x, p.y + d.y);
    }
    if (inParts) {
        const std::vector<double> was = nearestGaps(before, 2 * spacing),
                                  now = nearestGaps(carried, 2 * spacing);
        settle.resize(carried.size());
        for (size_t j = 0; j < carried.size(); ++j) {
            settle[j] = now[j] < (1 - kCrowding) * was[j] ? HUGE_VALF : 0.0f;
        }
    }
    return inParts;
}

// A fade's transport along the shape: the frame before's alpha sent onto the alpha the fade ends
// with (fading pixels gone, appearing ones whole), with distances measured inside the union of
// both frames' shapes (cells joined to their eight neighbours), so that mass leaving a part that
// fades goes round, not across, a gap. Each cell moves a share of the way along the shortest
// paths its mass takes, less what its mass does when sent onto itself (the blur's pull).
class FadeTransport : CellGrid {
  public:
    static constexpr int kIterations = 100;
    static constexpr double kBlur = 1.5;  // in squared cells

    FadeTransport(double x0, double y0, double x1, double y1, FollowState::FadePaths& paths)
        : CellGrid(x0, y0, x1, y1),
          paths_(paths),
          kernel_(paths.kernel),
          part_(paths.parts),
          dist_(paths.distances) {
        before_.assign(size_t(nx_ * ny_), 0.0);
        end_.assign(size_t(nx_ * ny_), 0.0);
        now_.assign(size_t(nx_ * ny_), 0.0);
        inside_.assign(size_t(nx_ * ny_), false);
    }
    void addBefore(double x, double y, double m) {
        before_[cell(x, y)] += m;
        inside_[cell(x, y)] = true;
    }
    void addEnd(double x, double y, double m) {
        end_[cell(x, y)] += m;
        inside_[cell(x, y)] = true;
    }
    // This frame's alpha (inside the cells the two above mark).
    void addNow(double x, double y, double m) { now_[cell(x, y)] += m; }

    // Solves the transport and each cell's move for a share q of the way; false when either
    // side has no mass or the rounds did not stay finite. A fade that goes on (its last frame was
    // the frame before, its end is the same) keeps its plan; a new one takes this transport's.
    bool solve(double q) {
        std::vector<int>& index = index_;
        index.assign(inside_.size(), -1);
        for (size_t i = 0; i < inside_.size(); ++i) {
            if (inside_[i]) {
                index[i] = int(cells_.size());
                cells_.push_back(int(i));
            }
        }
        const size_t n = cells_.size();
        std::vector<double> a(n), b(n);
        for (size_t i = 0; i < n; ++i) {
            a[i] = before_[size_t(cells_[i])];
            b[i] = end_[size_t(cells_[i])];
        }
        // The shortest paths and the kernel are the frame before's while the grid and its cells
        // inside are.
        const double grid[5] = {x0_, y0_, h_, double(nx_), double(ny_)};
        const bool kept = paths_.cells == cells_ && std::equal(grid, grid + 5, paths_.grid);
        if (!kept) {
            paths_.cells.clear();
            distances(index);
            kernel_.resize(n * n);
            for (size_t k = 0; k < n * n; ++k) {
                kernel_[k] =
                    std::isfinite(dist_[k]) ? std::exp(-double(dist_[k]) * dist_[k] / kBlur) : 0.0;
            }
            paths_.cells = cells_;
            std::copy(grid, grid + 5, paths_.grid);
        }
        // Mass stays in its part of the shape: a part that fades out whole, apart from the rest
        // (a crossfade between shapes that do not touch), keeps its sites, and one that appears
        // apart takes none; each part sends its share of the mass before onto its mass at the end.
        std::vector<double> partA(n, 0.0), partB(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            partA[size_t(part_[i])] += a[i];
            partB[size_t(part_[i])] += b[i];
        }
        for (size_t i = 0; i < n; ++i) {
            const size_t p = size_t(part_[i]);
            const bool both = partA[p] > 0 && partB[p] > 0;
            b[i] = both ? b[i] / partB[p] * partA[p] : 0.0;
            a[i] = both ? a[i] : 0.0;
        }
        if (!normalise(a) || !normalise(b)) {
            return false;
        }
        FollowState::FadePaths& f = paths_;
        const bool goesOn =
            kept && f.progress < 1 && f.nowMass == before_ && sameMass(f.endMass, end_);
        std::vector<double> toEndX, toEndY, selfX, selfY;
        if (!moves(a, b, q, index, toEndX, toEndY, goesOn ? nullptr : &f.plan) ||
            !moves(a, a, q, index, selfX, selfY, nullptr)) {
            f.progress = 1;
            return false;
        }
        f.progress = goesOn ? 1 - (1 - f.progress) * (1 - q) : q;
        f.nowMass = now_;
        f.endMass = end_;
        dx_.assign(before_.size(), 0.0);
        dy_.assign(before_.size(), 0.0);
        mass_.assign(before_.size(), 0.0);
        for (size_t i = 0; i < n; ++i) {
            const size_t c = size_t(cells_[i]);
            dx_[c] = toEndX[i] - selfX[i];
            dy_[c] = toEndY[i] - selfY[i];
            mass_[c] = a[i];
        }
        return true;
    }

    Point2D displacement(const Point2D& p) const { return moveAt(p, mass_, dx_, dy_); }

    // The factor per cell on this frame's alpha that the rounds weigh their samples by until
    // the fade ends: the plan's mass, moved as far along its paths as the fade has gone
    // (shared among the four cells around each point), over this frame's alpha in its part of
    // the shape, bounded to kFadeFloor to kFadeBoost. A part that fades evenly then gives its
    // sites up as its mass leaves, not only once its alpha is gone: the rounds no longer pull
    // the sites back into where the mass has left as strongly as its alpha would; the floor
    // keeps them from crowding where it goes. False once the fade ends (its mass is then this
    // frame's alpha).
    bool weights(std::vector<float>& factor) const {
        const FollowState::FadePaths& f = paths_;
        if (!(f.progress < 1) || f.plan.empty()) {
            return false;
        }
        const size_t n = cells_.size();
        std::vector<double> moved(n, 0.0);
        for (const FollowState::FadePaths::Move& m : f.plan) {
            const Point2D c = centre(cells_[size_t(m.from)]);
            const Point2D d = along(size_t(m.from), size_t(m.to), f.progress, index_);
            spread(c.x + d.x, c.y + d.y, m.mass, moved);
        }
        // Part by part: a part out of the plan keeps its alpha.
        std::vector<double> partMoved(n, 0.0), partNow(n, 0.0);
        for (size_t i = 0; i < n; ++i) {
            partMoved[size_t(part_[i])] += moved[i];
            partNow[size_t(part_[i])] += now_[size_t(cells_[i])];
        }
        factor.assign(before_.size(), 1.0f);
        for (size_t i = 0; i < n; ++i) {
            const size_t p = size_t(part_[i]), c = size_t(cells_[i]);
            if (partMoved[p] > 0 && now_[c] > 0) {
                const double r = moved[i] / partMoved[p] * partNow[p] / now_[c];
                factor[c] = float(std::min(kFadeBoost, std::max(kFadeFloor, r)));
            }
        }
        return true;
    }

  private:
    // Adds mass m at (x, y) (from the grid's origin) to the cells inside around it, bilinearly,
    // the shares of the cells outside going to those inside.
    void spread(double x, double y, double m, std::vector<double>& to) const {
        const double gx = x / h_ - 0.5, gy = y / h_ - 0.5;
        const int ix = int(std::floor(gx)), iy = int(std::floor(gy));
        int at[4];
        double w[4], total = 0;
        for (int k = 0; k < 4; ++k) {
            const int cx = ix + (k & 1), cy = iy + (k >> 1);
            at[k] = cx < 0 || cy < 0 || cx >= nx_ || cy >= ny_ ? -1 : index_[size_t(cy * nx_ + cx)];
            w[k] = at[k] < 0 ? 0.0 : (1 - std::abs(gx - cx)) * (1 - std::abs(gy - cy));
            total += w[k];
        }
        for (int k = 0; k < 4 && total > 0; ++k) {
            if (at[k] >= 0) {
                to[size_t(at[k])] += m * w[k] / total;
            }
        }
    }
    // Whether two masses per cell agree within a thousandth of their total.
    static bool sameMass(const std::vector<double>& a, const std::vector<double>& b) {
        if (a.size() != b.size()) {
            return false;
        }
        double diff = 0, total = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            diff += std::abs(a[i] - b[i]);
            total += a[i];
        }
        return diff <= 1e-3 * total;
    }
    // The shortest paths between the cells inside, in cells (Dijkstra from each).
    void distances(const std::vector<int>& index) {
        const size_t n = cells_.size();
        dist_.assign(n * n, INFINITY);
        std::vector<std::pair<float, int>> heap;
        for (size_t s = 0; s < n; ++s) {
            float* d = &dist_[s * n];
            d[s] = 0;
            heap.assign(1, {0.0f, int(s)});
            while (!heap.empty()) {
                std::pop_heap(heap.begin(), heap.end(), std::greater<>());
                const auto [du, u] = heap.back();
                heap.pop_back();
                if (du > d[u]) {
                    continue;
                }
                const int c = cells_[size_t(u)], cx = c % nx_, cy = c / nx_;
                for (int oy = -1; oy <= 1; ++oy) {
                    for (int ox = -1; ox <= 1; ++ox) {
                        const int x = cx + ox, y = cy + oy;
                        if ((ox == 0 && oy == 0) || x < 0 || y < 0 || x >= nx_ || y >= ny_) {
                            continue;
                        }
                        const int v = index[size_t(y * nx_ + x)];
                        if (v < 0) {
                            continue;
                        }
                        const float dv = du + (ox != 0 && oy != 0 ? 1.41421356f : 1.0f);
                        if (dv < d[v]) {
                            d[v] = dv;
                            heap.push_back({dv, v});
                            std::push_heap(heap.begin(), heap.end(), std::greater<>());
                        }
                    }
                }
            }
        }
        // The parts of the shape that paths join, each named by its first cell.
        part_.assign(n, 0);
        for (size_t s = 0; s < n; ++s) {
            const float* d = &dist_[s * n];
            part_[s] = int(std::find_if(d, d + n, [](float v) { return std::isfinite(v); }) - d);
        }
    }
    Point2D centre(int c) const {
        return Point2D(float((c % nx_ + 0.5) * h_), float((c / nx_ + 0.5) * h_));
    }
    // The point a share q of the way along a shortest path from cell i to cell j, from i's centre.
    Point2D along(size_t i, size_t j, double q, const std::vector<int>& index) const {
        const size_t n = cells_.size();
        const float* toJ = &dist_[j * n];
        const double target = q * toJ[i];
        size_t at = i;
        double walked = 0;
        while (walked < target && at != j) {
            const int c = cells_[at], cx = c % nx_, cy = c / nx_;
            size_t next = at;
            double nextStep = 0, best = toJ[at];
            for (int oy = -1; oy <= 1; ++oy) {
                for (int ox = -1; ox <= 1; ++ox) {
                    const int x = cx + ox, y = cy + oy;
                    if ((ox == 0 && oy == 0) || x < 0 || y < 0 || x >= nx_ || y >= ny_) {
                        continue;
                    }
                    const int v = index[size_t(y * nx_ + x)];
                    const double step = ox != 0 && oy != 0 ? 1.41421356 : 1.0;
                    if (v >= 0 && toJ[v] + step < best + 1e-4 && toJ[v] < toJ[at]) {
                        best = toJ[v] + step;
                        next = size_t(v);
                        nextStep = step;
                    }
                }
            }
            if (next == at) {
                break;
            }
            if (walked + nextStep >= target) {
                const double s = (target - walked) / nextStep;
                const Point2D p = centre(cells_[at]), r = centre(cells_[next]);
                const Point2D o = centre(cells_[i]);
                return Point2D(float(p.x + (r.x - p.x) * s - o.x),
                               float(p.y + (r.y - p.y) * s - o.y));
            }
            walked += nextStep;
            at = next;
        }
        const Point2D p = centre(cells_[at]), o = centre(cells_[i]);
        return Point2D(p.x - o.x, p.y - o.y);
    }
    // Each cell's mean move a share q of the way along its mass's paths in the transport a -> b,
    // and its plan when asked (the shares each cell's move averages, as masses). The rounds run
    // over the kernel's block between the two masses' cells only (the other terms are zero).
    bool moves(const std::vector<double>& a, const std::vector<double>& b, double q,
               const std::vector<int>& index, std::vector<double>& mx, std::vector<double>& my,
               std::vector<FollowState::FadePaths::Move>* plan) const {
        const size_t n = cells_.size();
        std::vector<size_t> from, to;
        for (size_t i = 0; i < n; ++i) {
            if (a[i] > 0) {
                from.push_back(i);
            }
            if (b[i] > 0) {
                to.push_back(i);
            }
        }
        const size_t na = from.size(), nb = to.size();
        // The kernel from the cells of a to those of b (in the room of the frame before's).
        std::vector<double>& ab = paths_.block;
        ab.resize(na * nb);
        for (size_t r = 0; r < na; ++r) {
            const double* k = &kernel_[from[r] * n];
            for (size_t c = 0; c < nb; ++c) {
                ab[r * nb + c] = k[to[c]];
            }
        }
        // The first round starts from v = 1 on every cell, u from the whole kernel's rows.
        std::vector<double> u(na), v(nb), am(na), bm(nb), ones(n, 1.0);
        for (size_t r = 0; r < na; ++r) {
            am[r] = a[from[r]];
            u[r] = am[r] / sinkhorn::dot(&kernel_[from[r] * n], ones.data(), n);
        }
        for (size_t c = 0; c < nb; ++c) {
            bm[c] = b[to[c]];
        }
        sinkhorn::rounds(ab.data(), na, nb, am.data(), bm.data(), kIterations, u.data(), v.data());
        mx.assign(n, 0.0);
        my.assign(n, 0.0);
        if (plan) {
            plan->clear();
        }
        for (size_t r = 0; r < na; ++r) {
            const size_t i = from[r];
            const double* k = &ab[r * nb];
            double total = 0, most = 0;
            for (size_t c = 0; c < nb; ++c) {
                most = std::max(most, k[c] * v[c]);
            }
            double sx = 0, sy = 0;
            for (size_t c = 0; c < nb; ++c) {
                const double w = k[c] * v[c];
                if (!(w > most * 1e-4)) {
                    continue;
                }
                const Point2D d = along(i, to[c], q, index);
                total += w;
                sx += w * d.x;
                sy += w * d.y;
            }
            if (!(total > 0) || !std::isfinite(sx / total) || !std::isfinite(sy / total)) {
                return false;
            }
            mx[i] = sx / total;
            my[i] = sy / total;
            for (size_t c = 0; plan && c < nb; ++c) {
                const double w = k[c] * v[c];
                if (w > most * 1e-4) {
                    plan->push_back({int32_t(i), int32_t(to[c]), a[i] * w / total});
                }
            }
        }
        return true;
    }

    FollowState::FadePaths& paths_;
    std::vector<double> before_, end_, now_, dx_, dy_, mass_;
    std::vector<int> index_;
    std::vector<double>& kernel_;
    std::vector<bool> inside_;
    std::vector<int> cells_;
    std::vector<int>& part_;
    std::vector<float>& dist_;
};

// Which cells of a grid over a frame's box hold a pixel whose alpha changed.
class ChangeGrid {
  public:
    ChangeGrid(int32_t x0, int32_t y0, int32_t x1, int32_t y1, double side)
        : x0_(x0),
          y0_(y0),
          side_(side),
          nx_(int((x1 - x0 + 1) / side) + 1),
          ny_(int((y1 - y0 + 1) / side) + 1),
          changed_(size_t(nx_) * size_t(ny_), 0) {}
    void mark(int32_t x, int32_t y) {
        changed_[size_t(int((y - y0_) / side_)) * size_t(nx_) + size_t(int((x - x0_) / side_))] = 1;
    }
    // Whether p's cell or one of the eight around it holds a change.
    bool near(const Point2D& p) const {
        const int cx = int(std::floor((p.x - x0_) / side_));
        const int cy = int(std::floor((p.y - y0_) / side_));
        for (int y = std::max(0, cy - 1); y <= std::min(ny_ - 1, cy + 1); ++y) {
            for (int x = std::max(0, cx - 1); x <= std::min(nx_ - 1, cx + 1); ++x) {
                if (changed_[size_t(y) * size_t(nx_) + size_t(x)] != 0) {
                    return true;
                }
            }
        }
        return false;
    }

  private:
    int32_t x0_, y0_;
    double side_;
    int nx_, ny_;
    std::vector<uint8_t> changed_;
};

// A followed frame that fades in place: the sites move with the fade's transport, each step the
// share of the way that the fading alpha lost since the frame before (a ninth of what is left at
// a fade over nine steps), so that the sites leave a part that fades out evenly over its fade
// instead of when its alpha reaches zero; the rounds then weigh the samples by the fade's weights.
void fadeSites(const MyTessaron& e, FollowState& follow, std::vector<Point2D>& carried) {
    const FollowState& st = e.follow;
    FollowState::FadePaths& paths = follow.fadePaths;
    const int32_t w = e.imageWidth, h = e.imageHeight;
    if (st.width != w || st.height != h || st.alpha.size() != size_t(w) * size_t(h) ||
        e.opaquePixels.count() == 0) {
        return;
    }
    const int32_t* o = st.bounds;
    const int32_t* b = e.opaqueBounds;
    const int32_t x0 = std::max(0, std::min(o[0], b[0])),
                  x1 = std::min(w - 1, std::max(o[1], b[1]));
    const int32_t y0 = std::max(0, std::min(o[2], b[2])),
                  y1 = std::min(h - 1, std::max(o[3], b[3]));
    if (x1 < x0 || y1 < y0) {
        return;
    }
    const auto now = [&](int32_t x, int32_t y) -> int {
        const uint8_t v = e.imagePixels[(size_t(y) * size_t(w) + size_t(x)) * 4];
        return v > e.alphaThreshold ? v : 0;
    };
    // The rounds settle only the sites with a change within about two spacings: a settled layout
    // is at rest only for its own samples, and a change anywhere would otherwise let the rounds
    // go on moving sites far from it.
    ChangeGrid changed(x0, y0, x1, y1,
                       2 * std::sqrt(double(e.opaquePixels.count()) / std::max(1, e.layerCount)));
    double lost = 0, fading = 0;
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            const int before = st.alpha[size_t(y) * size_t(w) + size_t(x)], after = now(x, y);
            if (after < before) {
                lost += before - after;
                fading += before;
            }
            if (after != before) {
                changed.mark(x, y);
            }
        }
    }
    if (!(lost > 0)) {
        return;
    }
    follow.settle.resize(carried.size());
    for (size_t j = 0; j < carried.size(); ++j) {
        follow.settle[j] = changed.near(carried[j]) ? HUGE_VALF : 0.0f;
    }
    const double q = std::min(1.0, lost / fading);
    FadeTransport t(x0, y0, x1 + 1, y1 + 1, paths);
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            const int before = st.alpha[size_t(y) * size_t(w) + size_t(x)], after = now(x, y);
            if (before > 0) {
                t.addBefore(x + 0.5, y + 0.5, before);
            }
            if (after > 0) {
                // Where the fade ends: what fades is gone, what appears is whole.
                t.addEnd(x + 0.5, y + 0.5, after < before ? 0 : after > before ? 255 : after);
                t.addNow(x + 0.5, y + 0.5, after);
            }
        }
    }
    if (!t.solve(q)) {
        return;
    }
    follow.fadeShare = q;
    follow.fadeWeighted = t.weights(paths.weights);
    for (Point2D& p : carried) {
        const Point2D d = t.displacement(p);
        p = Point2D(p.x + d.x, p.y + d.y);
    }
}

// Whether the open paths ab and cd cross (touching ends do not count).
bool pathsCross(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d) {
    const auto side = [](const Point2D& o, const Point2D& p, const Point2D& q) {
        const double v =
            (double(p.x) - o.x) * (double(q.y) - o.y) - (double(p.y) - o.y) * (double(q.x) - o.x);
        return (v > 0) - (v < 0);
    };
    return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

// Swaps the new sites (and their cells' offsets) of layers whose paths from where they were
// cross: the swapped paths never cross and are shorter in all, so the passes end; candidate
// pairs come from a grid over the paths' boxes, taken in a fixed order.
void uncrossPaths(const std::vector<Point2D>& from, std::vector<MySitePoint>& sites,
                  std::vector<Point2D>& offsets) {
    // Each pass undoes the crossings the one before made; at 3000 layers a crossfade's frame
    // needs up to about 30 passes (16 left some crossed), so this only bounds the time.
    constexpr int kPasses = 64;
    const size_t n = std::min(from.size(), sites.size());
    const bool withOffsets = offsets.size() == n;
    if (n < 2) {
        return;
    }
    std::vector<std::pair<int32_t, int32_t>> pairs, ordered;
    std::vector<size_t> bucket;
    std::vector<std::vector<int32_t>> cells;
    std::vector<int32_t> firstColumn(n), firstRow(n);
    std::vector<uint8_t> swappedBefore(n, 0), swappedNow(n, 0);
    for (int pass = 0; pass < kPasses; ++pass) {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL, extent = 0;
        for (size_t j = 0; j < n; ++j) {
            const Point2D &a = from[j], &b = sites[j].position;
            x0 = std::min({x0, double(a.x), double(b.x)});
            y0 = std::min({y0, double(a.y), double(b.y)});
            x1 = std::max({x1, double(a.x), double(b.x)});
            y1 = std::max({y1, double(a.y), double(b.y)});
            extent += std::max(std::abs(double(b.x) - a.x), std::abs(double(b.y) - a.y));
        }
        if (!std::isfinite(x0 + y0 + x1 + y1)) {
            return;
        }
        // Cells about a path's mean extent wide, and about as many as there are paths at most.
        const double side =
            std::max({extent / double(n), std::sqrt((x1 - x0) * (y1 - y0) / double(n)), 1e-3});
        const int nx = std::max(1, std::min(4096, int((x1 - x0) / side) + 1));
        const int ny = std::max(1, std::min(4096, int((y1 - y0) / side) + 1));
        // Emptied, not freed: their room serves the next pass.
        cells.resize(size_t(nx) * size_t(ny));
        for (std::vector<int32_t>& c : cells) {
            c.clear();
        }
        const auto column = [&](double x) { return std::min(nx - 1, int((x - x0) / side)); };
        const auto row = [&](double y) { return std::min(ny - 1, int((y - y0) / side)); };
        pairs.clear();
        for (size_t j = 0; j < n; ++j) {
            const Point2D &a = from[j], &b = sites[j].position;
            const int cx0 = column(std::min(a.x, b.x)), cx1 = column(std::max(a.x, b.x));
            const int cy0 = row(std::min(a.y, b.y)), cy1 = row(std::max(a.y, b.y));
            firstColumn[j] = cx0;
            firstRow[j] = cy0;
            for (int cy = cy0; cy <= cy1; ++cy) {
                for (int cx = cx0; cx <= cx1; ++cx) {
                    std::vector<int32_t>& c = cells[size_t(cy) * size_t(nx) + size_t(cx)];
                    for (int32_t k : c) {
                        // Once a pair: in the first cell that both paths' cells share.
                        if (cx == std::max(cx0, firstColumn[size_t(k)]) &&
                            cy == std::max(cy0, firstRow[size_t(k)])) {
                            pairs.emplace_back(k, int32_t(j));
                        }
                    }
                    c.push_back(int32_t(j));
                }
            }
        }
        // The pairs come by their later path, ascending: counted out by their earlier one (a
        // stable pass), they are in order.
        bucket.assign(n + 1, 0);
        for (const auto& pair : pairs) {
            ++bucket[size_t(pair.first) + 1];
        }
        for (size_t i = 0; i < n; ++i) {
            bucket[i + 1] += bucket[i];
        }
        ordered.resize(pairs.size());
        for (const auto& pair : pairs) {
            ordered[bucket[size_t(pair.first)]++] = pair;
        }
        pairs.swap(ordered);
        // From the second pass, a pair neither of whose paths was swapped in the pass before or
        // in this one so far is as it was when the pass before tested it (no crossing) or its
        // boxes shared no cell: it does not cross, and is not tested again.
        bool swapped = false;
        for (const auto& [i, j] : pairs) {
            if (pass > 0 && !(swappedBefore[size_t(i)] | swappedNow[size_t(i)] |
                              swappedBefore[size_t(j)] | swappedNow[size_t(j)])) {
                continue;
            }
            if (pathsCross(from[size_t(i)], sites[size_t(i)].position, from[size_t(j)],
                           sites[size_t(j)].position)) {
                std::swap(sites[size_t(i)].position, sites[size_t(j)].position);
                if (withOffsets) {
                    std::swap(offsets[size_t(i)], offsets[size_t(j)]);
                }
                swappedNow[size_t(i)] = swappedNow[size_t(j)] = 1;
                swapped = true;
            }
        }
        if (!swapped) {
            return;
        }
        swappedBefore.swap(swappedNow);
        std::fill(swappedNow.begin(), swappedNow.end(), uint8_t(0));
    }
}

}  // namespace

bool MyTessaron::followsFrameBefore(int f) const {
    if (f <= 0 || !shapeSetting(followShapeChanges, f, false) ||
        followedSites.size() != size_t(layerCount)) {
        return false;
    }
    // A changed Seed is a deliberate reshuffle; with Random Seed on the run has one seed.
    return randomSeed || (size_t(f) < seeds.size() && seeds[size_t(f)] == seeds[size_t(f) - 1]);
}

void MyTessaron::keepFollowedSites(int frameIndex) {
    const bool fresh = !followsFrameBefore(frameIndex) && !sitesSettled;
    if (!followsFrameBefore(frameIndex)) {
        follow.fadePaths.progress = 1;  // a frame laid out afresh ends any fade under way
    }
    followedSites.clear();
    // This frame's offsets, by site: taken (or dropped) once.
    const std::vector<Point2D> siteOffsets = std::move(follow.siteOffsets);
    follow.siteOffsets.clear();
    if (!shapeSetting(followShapeChanges, frameIndex, false) || sitesAreCompPositions ||
        assignmentIds.empty() || int(sites.size()) < layerCount) {
        return;
    }
    const std::vector<int32_t>& ids = assignmentIds.back();
    follow.placed.clear();
    for (int j = 0; j < layerCount; ++j) {
        follow.placed.push_back(sites[size_t(ids[size_t(j)])].position);
        followedSites.push_back(imagePoint(follow.placed.back()));
    }
    shapeFrame(followedFrame);
    if (fresh) {
        setSampleStep(*this, followedFrame, followSampleStep);
    }
    FollowState& st = follow;
    st.offsets.clear();
    if (siteOffsets.size() == sites.size()) {
        for (int j = 0; j < layerCount; ++j) {
            st.offsets.push_back(siteOffsets[size_t(ids[size_t(j)])]);
        }
    }
    st.width = imageWidth;
    st.height = imageHeight;
    std::copy(opaqueBounds, opaqueBounds + 4, st.bounds);
    st.alpha.resize(imagePixels ? size_t(imageWidth) * size_t(imageHeight) : 0);
    for (size_t p = 0; p < st.alpha.size(); ++p) {
        const uint8_t v = imagePixels[p * 4];
        st.alpha[p] = v > alphaThreshold ? v : 0;
    }
}

bool MyTessaron::shapeUnchanged() const {
    const FollowState& st = follow;
    if (!imagePixels || st.width != imageWidth || st.height != imageHeight ||
        st.alpha.size() != size_t(imageWidth) * size_t(imageHeight) ||
        st.placed.size() != size_t(layerCount)) {
        return false;
    }
    for (size_t p = 0; p < st.alpha.size(); ++p) {
        const uint8_t v = imagePixels[p * 4];
        if ((v > alphaThreshold ? v : 0) != st.alpha[p]) {
            return false;
        }
    }
    return true;
}

void MyTessaron::shapeFrame(double out[4]) const {
    double w = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    opaquePixels.forEach([&](int x, int y) {
        const double a = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
        const double cx = x + 0.5, cy = y + 0.5;
        w += a;
        sx += a * cx;
        sy += a * cy;
        sxx += a * cx * cx;
        syy += a * cy * cy;
    });
    if (w <= 0) {
        out[0] = out[1] = 0;
        out[2] = out[3] = 1;
        return;
    }
    out[0] = sx / w;
    out[1] = sy / w;
    // A spread of at least half a pixel: a line of pixels still has a frame.
    out[2] = std::max(0.5, std::sqrt(std::max(0.0, sxx / w - out[0] * out[0])));
    out[3] = std::max(0.5, std::sqrt(std::max(0.0, syy / w - out[1] * out[1])));
}

Point2D MyTessaron::nearestPointOnShape(const Point2D& p) const {
    if (isPointInsideShape(p.x, p.y) || opaquePixels.count() == 0) {
        return p;
    }
    const int x = int(std::floor(p.x)), y = int(std::floor(p.y));
    // Squares doubling around p until one holds shape; one that covers the image always does.
    for (int r = 1; r < (1 << 30); r *= 2) {
        if (!opaquePixels.anyIn(std::max(0, x - r), std::max(0, y - r),
                                std::min(imageWidth, x + r + 1),
                                std::min(imageHeight, y + r + 1))) {
            continue;
        }
        // The nearest opaque pixel lies within r * sqrt(2) of p: rows outwards from p's, each
        // skipped when it has no opaque pixel near, read outwards from p's column, and the
        // search ends where no row or column can come nearer than the best.
        const int s = int(std::ceil(r * 1.4143));
        const int x0 = std::max(0, x - s), x1 = std::min(imageWidth, x + s + 1);
        double best = HUGE_VAL;
        Point2D found = p;
        // The point of a pixel's square nearest p (kept a little inside it, so that it reads as
        // that pixel): sites off the shape side by side land side by side, not on one centre,
        // where the rounds could not tell them apart again.
        constexpr float kInset = 1.0f / 64;
        auto visit = [&](int xx, int yy) {
            const float qx = std::min(std::max(p.x, float(xx) + kInset), float(xx + 1) - kInset);
            const float qy = std::min(std::max(p.y, float(yy) + kInset), float(yy + 1) - kInset);
            const double dx = double(qx) - p.x, dy = double(qy) - p.y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                found = Point2D(qx, qy);
            }
        };
        for (int k = 0; k <= s; ++k) {
            const double rowGap = std::max(0.0, k - 1.0);
            if (rowGap * rowGap >= best) {
                break;
            }
            for (int yy : {y - k, y + k}) {
                if (yy < 0 || yy >= imageHeight || (k == 0 && yy != y) ||
                    !opaquePixels.anyIn(x0, yy, x1, yy + 1)) {
                    continue;
                }
                for (int m = 0; m <= s; ++m) {
                    const double columnGap = std::max(0.0, m - 1.0);
                    if (columnGap * columnGap + rowGap * rowGap >= best) {
                        break;
                    }
                    for (int xx : {x - m, x + m}) {
                        if (xx >= x0 && xx < x1 && opaquePixels.opaque(xx, yy)) {
                            visit(xx, yy);
                        }
                    }
                }
            }
        }
        return found;
    }
    return p;
}

bool MyTessaron::carriesWithFrame(const double a[4], const double b[4]) const {
    const FollowState& st = follow;
    if (st.width != imageWidth || st.height != imageHeight ||
        st.alpha.size() != size_t(imageWidth) * size_t(imageHeight)) {
        return true;
    }
    // Which explains the new alpha better, the old one carried with the frame or left in place:
    // a slide or a growth moves the frame with the shape, a fade moves it without any motion.
    const double spacing = std::sqrt(double(opaquePixels.count()) / std::max(1, layerCount));
    const int stride = std::max(1, int(spacing / 3));
    const auto carried = [&](double x, double y, int axis) {
        return axis == 0 ? b[0] + (x - a[0]) * (b[2] / a[2]) : b[1] + (y - a[1]) * (b[3] / a[3]);
    };
    const int32_t* o = st.bounds;
    const int32_t x0 = std::max(
        0, int32_t(
               std::floor(std::min({double(opaqueBounds[0]), double(o[0]), carried(o[0], 0, 0)}))));
    const int32_t x1 =
        std::min(imageWidth - 1, int32_t(std::ceil(std::max({double(opaqueBounds[1]), double(o[1]),
                                                             carried(o[1] + 1, 0, 0)}))));
    const int32_t y0 = std::max(
        0, int32_t(
               std::floor(std::min({double(opaqueBounds[2]), double(o[2]), carried(0, o[2], 1)}))));
    const int32_t y1 =
        std::min(imageHeight - 1, int32_t(std::ceil(std::max({double(opaqueBounds[3]), double(o[3]),
                                                              carried(0, o[3] + 1, 1)}))));
    const auto before = [&](double x, double y) -> int {
        if (x < 0 || y < 0 || x >= imageWidth || y >= imageHeight) {
            return 0;
        }
        return st.alpha[size_t(y) * size_t(imageWidth) + size_t(x)];
    };
    int64_t stay = 0, carry = 0;
    for (int32_t y = y0; y <= y1; y += stride) {
        for (int32_t x = x0; x <= x1; x += stride) {
            const uint8_t v = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
            const int now = v > alphaThreshold ? v : 0;
            const double cx = x + 0.5, cy = y + 0.5;
            stay += std::abs(now - before(cx, cy));
            carry += std::abs(now - before(a[0] + (cx - b[0]) * (a[2] / b[2]),
                                           a[1] + (cy - b[1]) * (a[3] / b[3])));
        }
    }
    return carry < stay;
}

void MyTessaron::getFollowingSites(bool relax) {
    const int n = layerCount;
    // Carry the sites with the shape's frame (a slide or a growth moves them all alike) unless
    // the shape fades in place, then onto the shape where they fell off it.
    const double* a = followedFrame;
    double b[4];
    shapeFrame(b);
    const bool carry = carriesWithFrame(a, b);
    std::vector<Point2D> carried(followedSites);
    if (carry) {
        for (Point2D& p : carried) {
            p = Point2D(float(b[0] + (p.x - a[0]) * (b[2] / a[2])),
                        float(b[1] + (p.y - a[1]) * (b[3] / a[3])));
        }
    }
    follow.settle.clear();
    follow.fadeFrom.clear();
    follow.fadeShare = 0;
    follow.fadeWeighted = false;
    // Whether the lattice and the offsets move with the frame.
    bool carryLattice = carry;
    if (carry) {
        // A shape that moves in parts: the frame's carry is no part's motion (a bar sliding up
        // through a stem moves the frame up, not the stem), so the parts are read from the sites
        // and the alpha where they were.
        if (transportSites(*this, a, b, true, carried, follow.settle)) {
            std::vector<Point2D> uncarried(followedSites);
            std::vector<float> settle;
            if (transportSites(*this, a, b, false, uncarried, settle)) {
                carried = std::move(uncarried);
                follow.settle = std::move(settle);
                carryLattice = false;
            }
        }
        follow.fadePaths.progress = 1;
    } else {
        fadeSites(*this, follow, carried);
    }
    for (int j = 0; j < n; ++j) {
        sites.emplace_back();
        sites.back().position = nearestPointOnShape(carried[size_t(j)]);
    }
    sitesFollowLayers = true;
    if (!relax) {
        follow.settle.clear();
        follow.fadeWeighted = false;
        uncrossPaths(followedSites, sites, follow.siteOffsets);
        return;
    }
    double* l = follow.lattice;
    double scale[2] = {1, 1};
    if (carryLattice) {
        scale[0] = b[2] / a[2];
        scale[1] = b[3] / a[3];
        l[0] = b[0] + (l[0] - a[0]) * scale[0];
        l[1] = b[1] + (l[1] - a[1]) * scale[1];
        l[2] *= scale[0];
        l[3] *= scale[1];
    }
    // A fade moves the sites with its transport; the rounds only settle them where they are,
    // and take none farther from where it was than the transport did (or half a spacing).
    const double spacing = std::sqrt(double(opaquePixels.count()) / std::max(1, n));
    if (!carry) {
        follow.fadeFrom = followedSites;
    }
    relaxOverLattice(false, scale, carry ? HUGE_VAL : kFadeSettle * spacing);
    follow.settle.clear();
    follow.fadeFrom.clear();
    follow.fadeShare = 0;
    follow.fadeWeighted = false;
    uncrossPaths(followedSites, sites, follow.siteOffsets);
}

void MyTessaron::settleOverCarriedSamples(bool fresh) {
    const double scale[2] = {1, 1};
    relaxOverLattice(fresh, scale);
}

void MyTessaron::relaxOverLattice(bool fresh, const double scale[2], double mostMove) {
    const int n = layerCount;
    follow.siteOffsets.clear();
    if (n == 0 || int(sites.size()) < n) {
        return;
    }
    const size_t count = static_cast<size_t>(n);
    const bool carried = !fresh && follow.offsets.size() == count;
    if (!carried) {
        // Fresh, or the frame before was not relaxed (Random): the lattice starts in this frame.
        shapeFrame(follow.lattice);
    }
    if (fresh) {
        setSampleStep(*this, follow.lattice, followSampleStep);
        sitesSettled = true;
    }
    // A lattice carried with the sites, one sample per cell at a jitter of its own, weighted by
    // the pixel's alpha so that a crossfade shifts the sites as gradually as it fades.
    const double* l = follow.lattice;
    const double stepX = followSampleStep[0] * l[2], stepY = followSampleStep[1] * l[3];
    const int32_t* b = opaqueBounds;
    const int64_t cx0 = int64_t(std::floor((b[0] - l[0]) / stepX));
    const int64_t cx1 = int64_t(std::floor((b[1] + 1 - l[0]) / stepX));
    const int64_t cy0 = int64_t(std::floor((b[2] - l[1]) / stepY));
    const int64_t cy1 = int64_t(std::floor((b[3] + 1 - l[1]) / stepY));
    // Drawn into the frame before's room, in the lattice's row order (near samples together).
    OrderedSamples& ordered = follow.samples;
    std::vector<Point2D>& at = ordered.points;
    std::vector<float>& weights = follow.weights;
    at.clear();
    weights.clear();
    // About kSamplesPerSite a site fall on the shape: room for them, or for every cell.
    const auto room = size_t(std::min<double>(double(cx1 - cx0 + 1) * double(cy1 - cy0 + 1),
                                              2.0 * kSamplesPerSite * double(count)));
    at.reserve(room);
    weights.reserve(room);
    // At a fade's frame, a factor per cell of its transport's grid (kept with its paths).
    const FollowState::FadePaths& fade = follow.fadePaths;
    const bool fadeWeighted =
        follow.fadeWeighted && fade.weights.size() == size_t(fade.grid[3]) * size_t(fade.grid[4]);
    const auto fadeWeight = [&](float x, float y) {
        const double* g = fade.grid;
        const int columns = int(g[3]), rows = int(g[4]);
        const int cx = std::max(0, std::min(columns - 1, int(std::floor((x - g[0]) / g[2]))));
        const int cy = std::max(0, std::min(rows - 1, int(std::floor((y - g[1]) / g[2]))));
        return fade.weights[size_t(cy) * size_t(columns) + size_t(cx)];
    };
    for (int64_t cy = cy0; cy <= cy1; ++cy) {
        for (int64_t cx = cx0; cx <= cx1; ++cx) {
            const float x = float(l[0] + (double(cx) + jitter(cx, cy, 0)) * stepX);
            const float y = float(l[1] + (double(cy) + jitter(cx, cy, 1)) * stepY);
            if (!isPointInsideShape(x, y)) {
                continue;
            }
            const uint8_t alpha = imagePixels[(size_t(y) * size_t(imageWidth) + size_t(x)) * 4];
            at.push_back(Point2D(x, y));
            weights.push_back(fadeWeighted ? float(alpha) / 255.0f * fadeWeight(x, y)
                                           : float(alpha) / 255.0f);
        }
    }
    if (at.empty()) {
        return;
    }
    // Each cell's centroid stays where it was from its site: on an unchanged shape nothing moves
    // (the rounds left off where the frame before's did), and a change moves the sites near it,
    // as far as it moves the mass under them.
    std::vector<Point2D> offsets(count);
    for (size_t j = 0; carried && j < count; ++j) {
        offsets[j] =
            Point2D(float(follow.offsets[j].x * scale[0]), float(follow.offsets[j].y * scale[1]));
    }
    // The samples stay put over the rounds: one grouping by query cells, and a round searches
    // again only where the sites moved.
    ordered.order.resize(at.size());
    std::iota(ordered.order.begin(), ordered.order.end(), 0u);
    regroupSamples(ordered, count);
    NearestSiteRounds rounds(ordered, count, std::move(follow.nearest));
    std::vector<Point2D> positions(count);
    std::vector<double> sumX(count), sumY(count), sumW(count);
    std::vector<int32_t> firstSample(count);
    const auto assign = [&] {
        for (size_t j = 0; j < count; ++j) {
            positions[j] = sites[j].position;
        }
        const std::vector<int32_t>& nearest = rounds.search(positions);
        std::fill(sumX.begin(), sumX.end(), 0.0);
        std::fill(sumY.begin(), sumY.end(), 0.0);
        std::fill(sumW.begin(), sumW.end(), 0.0);
        std::fill(firstSample.begin(), firstSample.end(), -1);
        for (size_t s = 0; s < at.size(); ++s) {
            const size_t j = size_t(nearest[s]);
            sumX[j] += double(weights[s]) * at[s].x;
            sumY[j] += double(weights[s]) * at[s].y;
            sumW[j] += weights[s];
            if (firstSample[j] < 0) {
                firstSample[j] = int32_t(s);
            }
        }
    };
    std::vector<Point2D> start(count);
    for (size_t j = 0; j < count; ++j) {
        start[j] = sites[j].position;
    }
    // At a fade's frame, how far from where it was at the frame before each site may end.
    const std::vector<Point2D>& from = follow.fadeFrom;
    std::vector<double> reach(from.size() == count ? count : 0);
    for (size_t j = 0; j < reach.size(); ++j) {
        reach[j] =
            std::max(mostMove, double(std::hypot(start[j].x - from[j].x, start[j].y - from[j].y)));
    }
    const bool fading = !reach.empty();
    const double spacing = std::sqrt(double(opaquePixels.count()) / double(count));
    const double hollowReach = kHollowReach * spacing;
    const double hollowShare =
        kHollowShare * std::max(1.0, kHollowCells * follow.fadePaths.grid[2] / spacing);
    for (int round = 0; round < kRounds; ++round) {
        assign();
        const double hollow =
            kHollow * std::accumulate(sumW.begin(), sumW.end(), 0.0) / double(count);
        for (size_t j = 0; j < count; ++j) {
            if (sumW[j] <= 0.0) {
                continue;  // a site without samples stays where it is
            }
            const Point2D mean(float(sumX[j] / sumW[j] - offsets[j].x),
                               float(sumY[j] / sumW[j] - offsets[j].y));
            // A site bordering room no site takes settles into it (at a fade's frame, only near
            // a change, and only so far from where it was).
            const bool settles = follow.settle.size() != count || follow.settle[j] > 0;
            const bool bordersRoom = sumW[j] > hollow && (settles || !fading);
            double roomReach = 0;
            if (bordersRoom && fading) {
                roomReach = std::max(hollowReach, hollowShare * follow.fadeShare *
                                                      std::hypot(double(mean.x) - from[j].x,
                                                                 double(mean.y) - from[j].y));
            }
            Point2D to = isPointInsideShape(mean.x, mean.y) ? mean : at[size_t(firstSample[j])];
            const double dx = to.x - start[j].x, dy = to.y - start[j].y, d = std::hypot(dx, dy);
            double most = follow.settle.size() == count && !(bordersRoom && !fading)
                              ? std::min(mostMove, double(follow.settle[j]))
                              : mostMove;
            if (bordersRoom && fading) {
                most = std::max(most, roomReach);
            }
            if (d > most) {
                const Point2D bounded(float(start[j].x + dx * most / d),
                                      float(start[j].y + dy * most / d));
                if (isPointInsideShape(bounded.x, bounded.y)) {
                    to = bounded;
                } else {
                    continue;
                }
            }
            if (!reach.empty()) {
                // Settling a site does not carry it on past where the fade's transport took it:
                // the sites at the front of a fade then step no more than the transport's move.
                const double ex = to.x - from[j].x, ey = to.y - from[j].y, e = std::hypot(ex, ey);
                const double r = bordersRoom ? std::max(reach[j], roomReach) : reach[j];
                if (e > r) {
                    const Point2D held(float(from[j].x + ex * r / e),
                                       float(from[j].y + ey * r / e));
                    if (!isPointInsideShape(held.x, held.y)) {
                        continue;
                    }
                    to = held;
                }
            }
            sites[j].position = to;
        }
    }
    if (!carried) {
        // The layout at rest: the offsets its cells' centroids have now.
        assign();
        for (size_t j = 0; j < count; ++j) {
            if (sumW[j] > 0) {
                offsets[j] = Point2D(float(sumX[j] / sumW[j] - sites[j].position.x),
                                     float(sumY[j] / sumW[j] - sites[j].position.y));
            }
        }
    }
    follow.siteOffsets = std::move(offsets);
    follow.nearest = rounds.release();
}

// The least total of squared moves from where the layers were: a cell that is still a candidate
// keeps its layer, and when the count of cells changes, layers take the nearest new ones. The
// cells left over are padding rows that cost the same anywhere.
void MyTessaron::followOntoCandidates(std::vector<Point2D> candidates) {
    const size_t n = size_t(layerCount);
    std::vector<Point2D> from(followedSites);
    from.resize(candidates.size());
    std::vector<bool> known(candidates.size(), false);
    std::fill(known.begin(), known.begin() + std::ptrdiff_t(n), true);
    AssignmentWarmStart warm;
    const std::vector<int32_t> columns = shortestPathAssignment(from, candidates, known, warm);
    for (size_t j = 0; j < n; ++j) {
        sites.emplace_back();
        sites.back().position = candidates[size_t(columns[j])];
    }
    sitesFollowLayers = true;
}
