#include "attributes/ShapeLimit.h"

#include <algorithm>
#include <cmath>

namespace {

// The parameters t in (0, 1) at which v0 + t * d crosses a whole number, in increasing order.
class Crossings {
  public:
    Crossings(double v0, double d) : v0_(v0), d_(d) {
        if (d > 0.0) {
            next_ = std::floor(v0) + 1.0;
        } else if (d < 0.0) {
            next_ = std::ceil(v0) - 1.0;
        }
    }
    double peek() const {
        if (d_ == 0.0) return 2.0;
        const double t = (next_ - v0_) / d_;
        return t < 1.0 ? t : 2.0;
    }
    void pop() { next_ += d_ > 0.0 ? 1.0 : -1.0; }

  private:
    double v0_, d_, next_ = 0.0;
};

}  // namespace

ShapeLimit::ShapeLimit(const OpaqueIndex& shape, float toImageX, float toImageY, float overhang,
                       size_t siteCount)
    : shape_(shape),
      toImageX_(toImageX),
      toImageY_(toImageY),
      overhang_(overhang),
      clear_(siteCount, 0.0f) {}

double ShapeLimit::leftOf(int i, int j, double x) const {
    if (i < 0) return 0.0;
    if (i >= shape_.width()) return shape_.countBefore(i, j);
    const double inPixel = shape_.opaque(i, j) ? x - i : 0.0;
    return shape_.countBefore(i, j) + inPixel;
}

double ShapeLimit::edgeIntegral(double x0, double y0, double x1, double y1) const {
    const double dx = x1 - x0, dy = y1 - y0;
    // Nothing left of the image, above or below it.
    if (dy == 0.0 || (x0 <= 0.0 && x1 <= 0.0) || (y0 <= 0.0 && y1 <= 0.0) ||
        (y0 >= shape_.height() && y1 >= shape_.height())) {
        return 0.0;
    }
    // Within a pixel the integrand is linear in x and constant in y, so each piece between two
    // crossings of pixel borders is its value at the piece's middle times its height.
    Crossings xs(x0, dx), ys(y0, dy);
    double sum = 0.0, t = 0.0;
    while (t < 1.0) {
        const double next = std::min({xs.peek(), ys.peek(), 1.0});
        if (xs.peek() == next) xs.pop();
        if (ys.peek() == next) ys.pop();
        if (next > t) {
            const double mid = 0.5 * (t + next);
            const double x = x0 + dx * mid, y = y0 + dy * mid;
            sum += leftOf(int(std::floor(x)), int(std::floor(y)), x) * (dy * (next - t));
        }
        t = next;
    }
    return sum;
}

double ShapeLimit::offShare(const std::vector<Point2D>& corners) const {
    const size_t n = corners.size();
    std::vector<double> x(n), y(n);
    for (size_t k = 0; k < n; ++k) {
        x[k] = double(corners[k].x) * toImageX_;
        y[k] = double(corners[k].y) * toImageY_;
        // Far beyond any Source (or not a point): off the shape, without walking there.
        if (!(std::fabs(x[k]) < 1e8 && std::fabs(y[k]) < 1e8)) {
            return 1.0;
        }
    }
    double area = 0.0, inside = 0.0;
    for (size_t k = 0; k < n; ++k) {
        const size_t m = (k + 1) % n;
        area += 0.5 * (x[k] * y[m] - x[m] * y[k]);
        inside += edgeIntegral(x[k], y[k], x[m], y[m]);
    }
    if (!(std::fabs(area) > 1e-12)) {
        return 0.0;
    }
    // With F = x the edge sums give the signed area: the sign of the corners' turning.
    const double share = 1.0 - inside / area;
    return std::clamp(share, 0.0, 1.0);
}

bool ShapeLimit::squareIsShape(const MySitePoint& site, int k) const {
    const double x = double(site.position.x) * toImageX_, y = double(site.position.y) * toImageY_;
    if (!(std::fabs(x) < 1e9 && std::fabs(y) < 1e9)) {
        return false;  // not a finite point, or one far off the image
    }
    const int ci = int(std::floor(x)), cj = int(std::floor(y));
    if (ci - k < 0 || cj - k < 0 || ci + k >= shape_.width() || cj + k >= shape_.height()) {
        return false;
    }
    for (int j = cj - k; j <= cj + k; ++j) {
        if (shape_.countBefore(ci + k + 1, j) - shape_.countBefore(ci - k, j) !=
            uint32_t(2 * k + 1)) {
            return false;
        }
    }
    return true;
}

bool ShapeLimit::onShape(const Point2D& p) const {
    const double x = std::floor(double(p.x) * toImageX_), y = std::floor(double(p.y) * toImageY_);
    return x >= 0.0 && y >= 0.0 && x < shape_.width() && y < shape_.height() &&
           shape_.opaque(int(x), int(y));
}

bool ShapeLimit::tooFarOff(int32_t s, const MySitePoint& site) const {
    // Everything within k image pixels of a centre whose square of pixels k around it is all
    // shape is shape. A growing rectangle asks for a square a little larger than its reach,
    // twice as large first, until one is not all shape; from then on it is measured.
    float& clear = clear_[size_t(s)];
    if (site.radius <= clear) {
        return false;
    }
    if (clear >= 0.0f) {
        const double perSitePixel = std::max(toImageX_, toImageY_);
        const int k = int(std::ceil(double(site.radius) * perSitePixel));
        for (const int square : {2 * k, k}) {
            if (squareIsShape(site, square)) {
                clear = float(square / perSitePixel);
                return false;
            }
        }
        clear = -1.0f;
    }
    return offShare(site.corners) > overhang_;
}
