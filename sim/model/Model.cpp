#include "sim/model/Model.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace sim {

// ---------------------------------------------------------------- time

Time Time::fromSeconds(double s, uint32_t scale) {
    return Time{static_cast<int32_t>(std::floor(0.5 + s * scale)), scale};
}

namespace {

int64_t crossValue(const Time& a, const Time& b) {
    return int64_t(a.value) * int64_t(b.scale);
}

}  // namespace

bool sameTime(const Time& a, const Time& b) {
    return crossValue(a, b) == crossValue(b, a);
}

bool earlier(const Time& a, const Time& b) {
    return crossValue(a, b) < crossValue(b, a);
}

namespace {

// ---------------------------------------------------------------- interpolation helpers
//
// Between two keys the value follows the keys' interpolation:
// - Hold (out of the earlier key): the earlier key's value until the next key.
// - Linear on both sides: straight in time.
// - Bezier on either side: the temporal ease is a 1-D cubic Bezier of value (or, for a spatial
//   stream, of distance along the path) over time. The out side's control point lies at
//   influence x duration after the first key with slope = its speed; the in side's likewise
//   before the second key. A Linear side stands in as influence 1/3 at the segment's mean speed.
// - Spatial streams (Position) follow the cubic Bezier in space through the key values and their
//   spatial tangents, travelled at constant speed (arc-length parameter) unless eased; with zero
//   tangents that path is the straight line.

constexpr double kLinearInfluence = 1.0 / 3.0;
constexpr int kPathSamples = 64;
constexpr double kMinInfluence = 0.001;  // the host's lowest, 0.1 %

struct EaseSide {
    double speed;
    double influence;  // fraction of the segment's duration, 0..1
};

Vec3 lerp(const Vec3& a, const Vec3& b, double u) {
    return {a[0] + (b[0] - a[0]) * u, a[1] + (b[1] - a[1]) * u, a[2] + (b[2] - a[2]) * u};
}

double cubic(double p0, double p1, double p2, double p3, double s) {
    const double r = 1.0 - s;
    return r * r * r * p0 + 3.0 * r * r * s * p1 + 3.0 * r * s * s * p2 + s * s * s * p3;
}

// Influences are fractions of the segment's duration; each stays within (0, 1]. Their sum may
// exceed 1 (both at 100 %): the curve's time is still monotonic for any pair in that range.
void clampInfluences(EaseSide& out, EaseSide& in) {
    out.influence = std::clamp(out.influence, kMinInfluence, 1.0);
    in.influence = std::clamp(in.influence, kMinInfluence, 1.0);
}

// Value of the eased 1-D segment from v0 at time 0 to v1 at time dt, at time x in [0, dt].
double easedValue(double v0, double v1, double dt, EaseSide out, EaseSide in, double x) {
    clampInfluences(out, in);
    const double t1 = out.influence * dt, t2 = dt - in.influence * dt;
    const double y1 = v0 + out.speed * t1, y2 = v1 - in.speed * in.influence * dt;
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 60; ++i) {  // time is monotonic in s: bisect for the curve parameter
        const double mid = 0.5 * (lo + hi);
        (cubic(0.0, t1, t2, dt, mid) < x ? lo : hi) = mid;
    }
    return cubic(v0, y1, y2, v1, 0.5 * (lo + hi));
}

// A key as interpolation reads it, without copying its style.
struct KeyView {
    Vec3 value;
    const KeyStyle& style;
};

EaseSide sideOf(Interp interp, const std::vector<Ease>& eases, size_t dim, double meanSpeed) {
    if (interp != Interp::Bezier || eases.empty()) return {meanSpeed, kLinearInfluence};
    const Ease& e = eases[std::min(dim, eases.size() - 1)];
    return {e.speed, e.influence / 100.0};
}

Vec3 bezierPoint(const KeyView& a, const KeyView& b, double s) {
    Vec3 r{};
    for (int d = 0; d < 3; ++d) {
        r[d] = cubic(a.value[d], a.value[d] + a.style.outTangent[d],
                     b.value[d] + b.style.inTangent[d], b.value[d], s);
    }
    return r;
}

double distance(const Vec3& p, const Vec3& q) {
    return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                     (p[2] - q[2]) * (p[2] - q[2]));
}

bool hasTangents(const KeyView& a, const KeyView& b) {
    const Vec3 zero{0, 0, 0};
    return a.style.outTangent != zero || b.style.inTangent != zero;
}

// Cumulative arc lengths of the segment's spatial curve at kPathSamples + 1 parameter values.
std::vector<double> pathLengths(const KeyView& a, const KeyView& b) {
    std::vector<double> lengths(kPathSamples + 1, 0.0);
    Vec3 prev = a.value;
    for (int i = 1; i <= kPathSamples; ++i) {
        const Vec3 p = bezierPoint(a, b, double(i) / kPathSamples);
        lengths[i] = lengths[i - 1] + distance(prev, p);
        prev = p;
    }
    return lengths;
}

// The point at a fraction of the path's length.
Vec3 pointAtFraction(const KeyView& a, const KeyView& b, const std::vector<double>& lengths,
                     double f) {
    const double target = f * lengths.back();
    const auto it = std::lower_bound(lengths.begin(), lengths.end(), target);
    const int i = std::max(1, int(it - lengths.begin()));
    if (i > kPathSamples) return b.value;
    const double span = lengths[i] - lengths[i - 1];
    const double local = span > 0.0 ? (target - lengths[i - 1]) / span : 0.0;
    return bezierPoint(a, b, (i - 1 + local) / kPathSamples);
}

bool isEased(const KeyView& a, const KeyView& b) {
    return a.style.outInterp == Interp::Bezier || b.style.inInterp == Interp::Bezier;
}

Vec3 spatialValue(const KeyView& a, const KeyView& b, double dt, double x) {
    const bool curved = hasTangents(a, b);
    const std::vector<double> lengths =
        curved ? pathLengths(a, b) : std::vector<double>{0.0, distance(a.value, b.value)};
    const double length = lengths.back();
    double fraction = x / dt;
    if (isEased(a, b) && length > 0.0) {
        const double mean = length / dt;
        const double travelled =
            easedValue(0.0, length, dt, sideOf(a.style.outInterp, a.style.outEase, 0, mean),
                       sideOf(b.style.inInterp, b.style.inEase, 0, mean), x);
        // A speed that would overshoot stops at the path's end: the path has nothing beyond.
        fraction = std::clamp(travelled / length, 0.0, 1.0);
    }
    return curved ? pointAtFraction(a, b, lengths, fraction) : lerp(a.value, b.value, fraction);
}

Vec3 temporalValue(const KeyView& a, const KeyView& b, int dims, double dt, double x) {
    if (!isEased(a, b)) return lerp(a.value, b.value, x / dt);
    Vec3 r = a.value;
    for (int d = 0; d < dims; ++d) {
        const double mean = (b.value[d] - a.value[d]) / dt;
        r[d] = easedValue(a.value[d], b.value[d], dt,
                          sideOf(a.style.outInterp, a.style.outEase, d, mean),
                          sideOf(b.style.inInterp, b.style.inEase, d, mean), x);
    }
    return r;
}

}  // namespace

// ---------------------------------------------------------------- streams

Vec3 Stream::valueAt(double seconds) const {
    if (keys.empty()) return value;
    if (seconds <= keys.seconds(0)) return keys.value(0);
    const size_t last = keys.size() - 1;
    if (seconds >= keys.seconds(last)) return keys.value(last);
    // The first key after the time; the segment starts at the key before it.
    size_t lo = 0, hi = last;  // keys[lo] at or before the time, keys[hi] after it
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        (seconds < keys.seconds(mid) ? hi : lo) = mid;
    }
    const KeyView a{keys.value(lo), keys.style(lo)};
    const KeyView b{keys.value(hi), keys.style(hi)};
    const double x = seconds - keys.seconds(lo);
    const double dt = keys.seconds(hi) - keys.seconds(lo);
    if (x <= 0.0 || a.style.outInterp == Interp::Hold) return a.value;
    if (spatial) return spatialValue(a, b, dt, x);
    return temporalValue(a, b, dims, dt, x);
}

namespace {

// The first key not earlier than t.
size_t firstNotEarlier(const KeyList& keys, const Time& t) {
    size_t lo = 0, hi = keys.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (earlier(keys.time(mid), t))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// FNV-1a over 8-byte words (then the bytes left): a run restyles millions of keys.
uint64_t mix(uint64_t h, const void* data, size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 1099511628211ull;
    }
    for (; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Over the bits sameStyle compares.
uint64_t hashOf(const KeyStyle& k) {
    uint64_t h = 14695981039346656037ull;
    h = mix(h, &k.inInterp, sizeof k.inInterp);
    h = mix(h, &k.outInterp, sizeof k.outInterp);
    h = mix(h, k.inTangent.data(), sizeof k.inTangent);
    h = mix(h, k.outTangent.data(), sizeof k.outTangent);
    for (const auto* eases : {&k.inEase, &k.outEase}) {
        const size_t n = eases->size();
        h = mix(h, &n, sizeof n);
        for (const Ease& e : *eases) {
            h = mix(h, &e.speed, sizeof e.speed);
            h = mix(h, &e.influence, sizeof e.influence);
        }
    }
    return h;
}

const KeyStyle& noStyle() {
    static const KeyStyle none;
    return none;
}

}  // namespace

bool sameStyle(const KeyStyle& a, const KeyStyle& b) {
    const auto bits = [](const auto& x, const auto& y) {
        return sizeof x == sizeof y && std::memcmp(&x, &y, sizeof x) == 0;
    };
    const auto sameEases = [&](const std::vector<Ease>& x, const std::vector<Ease>& y) {
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i) {
            if (!bits(x[i].speed, y[i].speed) || !bits(x[i].influence, y[i].influence))
                return false;
        }
        return true;
    };
    return a.inInterp == b.inInterp && a.outInterp == b.outInterp &&
           bits(a.inTangent, b.inTangent) && bits(a.outTangent, b.outTangent) &&
           sameEases(a.inEase, b.inEase) && sameEases(a.outEase, b.outEase);
}

// ---------------------------------------------------------------- keys

const KeyStyle& Key::style() const {
    return style_ ? *style_ : noStyle();
}

KeyStyle& Key::edit() {
    auto own = std::make_shared<KeyStyle>(style());
    KeyStyle& editable = *own;
    style_ = std::move(own);
    return editable;
}

KeyRef::KeyRef(KeyList& list, size_t index)
    : time(list.time(index)), value(list.value(index)), list_(list), index_(index) {}

KeyRef::~KeyRef() {
    if (edited_) list_.setStyle(index_, *edited_);
}

const KeyStyle& KeyRef::style() const {
    return edited_ ? *edited_ : list_.style(index_);
}

KeyStyle& KeyRef::edit() {
    if (!edited_) edited_ = std::make_unique<KeyStyle>(list_.style(index_));
    return *edited_;
}

KeyRef::operator Key() const {
    Key k = static_cast<const KeyList&>(list_)[index_];
    if (edited_) k.edit() = *edited_;
    return k;
}

Vec3 KeyList::value(size_t i) const {
    const double* v = values_.data() + i * size_t(width_);
    return width_ == 1 ? Vec3{v[0], 0, 0} : Vec3{v[0], v[1], v[2]};
}

const KeyStyle& KeyList::style(size_t i) const {
    return *styles_[styleIds_[i]];
}

Key KeyList::operator[](size_t i) const {
    Key k;
    k.time = time(i);
    k.value = value(i);
    k.style_ = styles_[styleIds_[i]];
    return k;
}

Key KeyList::at(size_t i) const {
    if (i >= size()) throw std::out_of_range("KeyList::at");
    return (*this)[i];
}

void KeyList::fit(const Vec3& v) {
    const Vec3 zero{0, 0, 0};
    if (width_ == 3 || std::memcmp(&v[1], &zero[1], 2 * sizeof(double)) == 0) return;
    std::vector<double> wide;
    wide.reserve(std::max(values_.capacity(), size()) * 3);
    for (double x : values_) wide.insert(wide.end(), {x, 0.0, 0.0});
    values_ = std::move(wide);
    width_ = 3;
}

void KeyList::reserve(size_t n) {
    times_.reserve(n);
    if (!scales_.empty()) scales_.reserve(n);
    values_.reserve(n * size_t(width_));
    styleIds_.reserve(n);
}

void KeyList::setValue(size_t i, const Vec3& v) {
    fit(v);
    std::copy(v.begin(), v.begin() + width_, values_.begin() + long(i * size_t(width_)));
}

uint32_t KeyList::styleIdOf(const KeyStyle& style) {
    const uint64_t h = hashOf(style);
    const auto [from, to] = byHash_.equal_range(h);
    for (auto it = from; it != to; ++it) {
        if (sameStyle(*styles_[it->second], style)) {
            ++uses_[it->second];
            return it->second;
        }
    }
    uint32_t id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
        styles_[id] = std::make_shared<const KeyStyle>(style);
    } else {
        id = uint32_t(styles_.size());
        styles_.push_back(std::make_shared<const KeyStyle>(style));
        uses_.push_back(0);
    }
    uses_[id] = 1;
    byHash_.emplace(h, id);
    return id;
}

void KeyList::release(uint32_t id) {
    if (--uses_[id] > 0) return;
    const auto [from, to] = byHash_.equal_range(hashOf(*styles_[id]));
    for (auto it = from; it != to; ++it) {
        if (it->second == id) {
            byHash_.erase(it);
            break;
        }
    }
    styles_[id].reset();  // keys handed out keep theirs
    free_.push_back(id);
}

void KeyList::setStyle(size_t i, const KeyStyle& style) {
    const uint32_t old = styleIds_[i];
    if (sameStyle(*styles_[old], style)) return;
    styleIds_[i] = styleIdOf(style);
    release(old);
}

void KeyList::insert(size_t i, const Time& t, const Vec3& v, const KeyStyle& style) {
    if (empty() && scales_.empty()) scale_ = t.scale;
    if (scales_.empty() && t.scale != scale_) scales_.assign(size(), scale_);
    if (!scales_.empty()) scales_.insert(scales_.begin() + long(i), t.scale);
    fit(v);
    times_.insert(times_.begin() + long(i), t.value);
    values_.insert(values_.begin() + long(i * size_t(width_)), v.begin(), v.begin() + width_);
    styleIds_.insert(styleIds_.begin() + long(i), styleIdOf(style));
}

void KeyList::erase(size_t i) {
    release(styleIds_[i]);
    times_.erase(times_.begin() + long(i));
    if (!scales_.empty()) scales_.erase(scales_.begin() + long(i));
    const auto v = values_.begin() + long(i * size_t(width_));
    values_.erase(v, v + width_);
    styleIds_.erase(styleIds_.begin() + long(i));
}

// ---------------------------------------------------------------- streams

KeyStyle Stream::newKeyStyle() const {
    KeyStyle style;
    style.inEase.assign(size_t(std::max(easeDims, 1)), Ease());
    style.outEase = style.inEase;
    return style;
}

int Stream::keyIndexAt(const Time& t) const {
    const size_t i = firstNotEarlier(keys, t);
    return i < keys.size() && sameTime(keys.time(i), t) ? int(i) : -1;
}

// A key at an existing key's time takes the new value and keeps that key's interpolation,
// eases and tangents, as the host does when a value is keyed over an existing key.
int Stream::addKey(const Time& t, const Vec3& v) {
    const size_t i = firstNotEarlier(keys, t);
    if (i < keys.size() && sameTime(keys.time(i), t)) {
        keys.setValue(i, v);
        return int(i);
    }
    keys.insert(i, t, v, newKeyStyle());
    return int(i);
}

double ParamValue::at(double seconds) const {
    if (keys.empty()) return value;
    if (seconds <= keys.front().first) return keys.front().second;
    if (seconds >= keys.back().first) return keys.back().second;
    size_t i = 0;
    while (keys[i + 1].first <= seconds) ++i;
    const auto& [t0, v0] = keys[i];
    const auto& [t1, v1] = keys[i + 1];
    if (!interpolates) return v0;
    return v0 + (v1 - v0) * (seconds - t0) / (t1 - t0);
}

void sortMarkers(std::vector<Time>& markers) {
    std::stable_sort(markers.begin(), markers.end(), earlier);
}

// ---------------------------------------------------------------- layers

int objectTypeOf(LayerType t) {
    switch (t) {
        case LayerType::Light:
            return 1;
        case LayerType::Camera:
            return 2;
        case LayerType::Text:
            return 3;
        case LayerType::Shape:
            return 4;
        default:
            return 0;  // footage, solids and nulls are AV layers
    }
}

namespace {

Stream makeStream(const char* name, const char* matchName, int dims, bool spatial) {
    Stream s;
    s.name = name;
    s.matchName = matchName;
    s.dims = dims;
    s.spatial = spatial;
    return s;
}

}  // namespace

Layer::Layer()
    : anchorPoint(makeStream("Anchor Point", "ADBE Anchor Point", 3, true)),
      position(makeStream("Position", "ADBE Position", 3, true)),
      scale(makeStream("Scale", "ADBE Scale", 3, false)),
      rotation(makeStream("Rotation", "ADBE Rotate Z", 1, false)),
      opacity(makeStream("Opacity", "ADBE Opacity", 1, false)) {
    scale.easeDims = 3;
    scale.value = {100, 100, 100};
    opacity.value = {100, 0, 0};
}

int32_t Layer::flags() const {
    int32_t f = 0;
    f |= video ? 0x1 : 0;
    f |= motionBlur ? 0x8 : 0;
    f |= locked ? 0x20 : 0;
    f |= adjustment ? 0x200 : 0;
    f |= threeD ? 0x800 : 0;
    f |= null ? 0x10000 : 0;
    f |= guide ? 0x40000 : 0;
    return f;
}

Stream* Layer::stream(int which) {
    switch (which) {
        case 0:
            return &anchorPoint;
        case 1:
            return &position;
        case 2:
            return &scale;
        case 3:
            return &rotation;
        case 4:
            return &opacity;
        default:
            return nullptr;
    }
}

// ---------------------------------------------------------------- layer to world

namespace {

using Matrix4 = std::array<std::array<double, 4>, 4>;

Matrix4 identity() {
    Matrix4 m{};
    for (int i = 0; i < 4; ++i) m[i][i] = 1.0;
    return m;
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) r[i][j] += a[i][k] * b[k][j];
        }
    }
    return r;
}

Matrix4 translation(double x, double y, double z) {
    Matrix4 m = identity();
    m[3] = {x, y, z, 1.0};
    return m;
}

Matrix4 scaling(const Vec3& percent) {
    Matrix4 m = identity();
    for (int i = 0; i < 3; ++i) m[i][i] = percent[i] / 100.0;
    return m;
}

// Clockwise on screen with y pointing down: (1, 0) turns towards (cos, sin).
Matrix4 rotationZ(double degrees) {
    const double r = degrees * M_PI / 180.0;
    Matrix4 m = identity();
    m[0][0] = std::cos(r);
    m[0][1] = std::sin(r);
    m[1][0] = -std::sin(r);
    m[1][1] = std::cos(r);
    return m;
}

}  // namespace

std::array<std::array<double, 4>, 4> layerToWorld(const Layer& layer, double seconds) {
    const Vec3 a = layer.anchorPoint.valueAt(seconds);
    const Vec3 p = layer.position.valueAt(seconds);
    Matrix4 m = translation(-a[0], -a[1], -a[2]);
    m = multiply(m, scaling(layer.scale.valueAt(seconds)));
    m = multiply(m, rotationZ(layer.rotation.valueAt(seconds)[0]));
    return multiply(m, translation(p[0], p[1], p[2]));
}

std::array<std::array<double, 4>, 4> layerToWorld(const Comp& comp, const Layer& layer,
                                                  double seconds) {
    Matrix4 m = layerToWorld(layer, seconds);
    // Scenes refuse cycles; the bound keeps a project edited into one from looping.
    const Layer* at = &layer;
    for (size_t depth = 0; at->parent != 0 && depth < comp.layers.size(); ++depth) {
        const auto parent = std::find_if(comp.layers.begin(), comp.layers.end(),
                                         [&](const Layer& l) { return l.id == at->parent; });
        if (parent == comp.layers.end()) break;
        at = &*parent;
        m = multiply(m, layerToWorld(*at, seconds));
    }
    return m;
}

}  // namespace sim
