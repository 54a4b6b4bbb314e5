#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/MyTessaron.h"
#include "placement/Candidates.h"

namespace {

constexpr double kUnaffordable = std::numeric_limits<double>::infinity();
// A radial point costs a sine and a cosine: worth this many grid centres.
constexpr double kRadialPointWork = 8.0;
constexpr double kPi = 3.14159265358979323846;

// True when adding step to coordinates up to last still moves a float, so that the centre walk
// ends.
bool stepsAdvance(int last, float step) {
    const float top = static_cast<float>(std::max(std::abs(last), 1));
    return step > 4.0f * (std::nextafter(top, kUnaffordable) - top);
}

}  // namespace

size_t MyTessaron::countGridPointsInShape(int columns, float aspect) const {
    const int minX = opaqueBounds[0], maxX = opaqueBounds[1];
    const int minY = opaqueBounds[2], maxY = opaqueBounds[3];
    float cw = 0.0f, ch = 0.0f;
    gridCellSize(opaqueBounds, columns, aspect, cw, ch);
    const std::vector<float> xs = cellCentres(minX, maxX, cw);
    const std::vector<float> ys = cellCentres(minY, maxY, ch);
    const size_t pixels = opaquePixels.count();
    size_t count = 0;
    if (pixels >= xs.size() * ys.size()) {
        for (const float y : ys) {
            for (const float x : xs) {
                count += isPointInsideShape(x, y) ? 1 : 0;
            }
        }
        return count;
    }
    // Fewer shape pixels than cells: a pixel holds as many centres as fall in its column times
    // as many as fall in its row.
    std::vector<uint32_t> perColumn(size_t(maxX - minX) + 1, 0), perRow(size_t(maxY - minY) + 1, 0);
    for (const float x : xs) {
        ++perColumn[static_cast<int>(x) - minX];
    }
    for (const float y : ys) {
        ++perRow[static_cast<int>(y) - minY];
    }
    opaquePixels.forEach(
        [&](int x, int y) { count += size_t(perColumn[x - minX]) * perRow[y - minY]; });
    return count;
}

CandidateCounts MyTessaron::gridCandidateCounts(float aspect) const {
    const double pixels = static_cast<double>(opaquePixels.count());
    const int maxX = opaqueBounds[1], maxY = opaqueBounds[3];
    const double height = maxY + 1 - opaqueBounds[2];
    int32_t bounds[4];
    std::copy(opaqueBounds, opaqueBounds + 4, bounds);
    // Columns and rows of centres a count can have, at most.
    auto cells = [=](int k, double& columns, double& rows) {
        float cw = 0.0f, ch = 0.0f;
        gridCellSize(bounds, k, aspect, cw, ch);
        columns = k + 1.0;
        rows = height / ch + 2.0;
        return stepsAdvance(maxX, cw) && stepsAdvance(maxY, ch);
    };
    CandidateCounts counts;
    counts.count = [this, aspect](int k) { return countGridPointsInShape(k, aspect); };
    counts.work = [=](int k) {
        double columns = 0.0, rows = 0.0;
        if (!cells(k, columns, rows)) {
            return kUnaffordable;
        }
        return columns + rows + std::min(pixels, columns * rows);
    };
    // A pixel is a unit square: centres cw apart put at most 1 / cw + 1 in its width.
    counts.atMost = [=](int k) {
        float cw = 0.0f, ch = 0.0f;
        gridCellSize(bounds, k, aspect, cw, ch);
        double columns = 0.0, rows = 0.0;
        cells(k, columns, rows);
        const double perPixel = (1.0 / cw + 2.0) * (1.0 / ch + 2.0);
        return std::min(columns * rows, pixels * perPixel);
    };
    return counts;
}

CandidateCounts MyTessaron::radialCandidateCounts() const {
    const double pixels = static_cast<double>(opaquePixels.count());
    const double w = opaqueBounds[1] + 1 - opaqueBounds[0];
    const double h = opaqueBounds[3] + 1 - opaqueBounds[2];
    const double diagonal = std::sqrt(w * w + h * h);
    auto points = [](int k) { return 1.0 + 3.0 * k * (k + 1.0); };
    CandidateCounts counts;
    counts.count = [this](int k) {
        std::vector<Point2D> out;
        getRadialPointsInShape(k, out);
        return out.size();
    };
    counts.work = [=](int k) { return points(k) * kRadialPointWork; };
    // Rings s apart cross a unit square at most sqrt(2) / s + 1 times; along a ring points are
    // s * pi / 3 apart and a ring's arcs inside the square are at most 4 long.
    counts.atMost = [=](int k) {
        if (k == 0) {
            return 1.0;
        }
        const double s = diagonal / k;
        const double perPixel = (std::sqrt(2.0) / s + 2.0) * (12.0 / (kPi * s) + 6.0);
        return std::min(points(k), 1.0 + pixels * perPixel);
    };
    return counts;
}
