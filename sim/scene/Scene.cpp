#include "sim/scene/Scene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <cstdint>

#include "sim/model/CompTime.h"
#include "sim/model/ImageFile.h"
#include "sim/model/MessageText.h"
#include "sim/scene/SceneReader.h"
#include "sim/model/SourceFrame.h"

namespace sim {

using scene::item;
using scene::Json;
using scene::member;
using scene::Reader;

namespace {

const char* const kEffectName = "Tessaron (Pro)";
const int kMaxLayerSide = 30000;    // the host's largest world
const double kMaxDuration = 10800;  // three hours, the host's longest composition
// Files a scene may name, read whole: far above any real scene or PNG of the largest layer, far
// below what would exhaust memory.
const std::uintmax_t kMaxSceneBytes = std::uintmax_t(256) << 20;
const std::uintmax_t kMaxImageBytes = std::uintmax_t(1) << 30;

// ------------------------------------------------------------------ composition

int downsampleOf(const Reader& in, const Json& value, const std::string& field) {
    static const char* const names[] = {"full", "half", "third", "quarter"};
    if (value.is_number()) return in.integerIn(value, field, 1, 4);
    const std::string& name = in.string(value, field);
    for (int i = 0; i < 4; ++i) {
        if (name == names[i]) return i + 1;
    }
    in.fail(field, "unknown resolution \"" + excerpt(name) +
                       "\" (expected 1 to 4, full, half, third, quarter)");
}

void readPixelAspect(const Reader& in, const Json& value, const std::string& field, Comp& comp) {
    if (value.is_array() && value.size() == 2) {
        comp.pixelAspectNum = in.integerIn(value[0], item(field, 0), 1, 1000000);
        comp.pixelAspectDen = uint32_t(in.integerIn(value[1], item(field, 1), 1, 1000000));
        return;
    }
    auto [num, den] = ratioOf(in.numberIn(value, field, 0.01, 100), 1000);
    comp.pixelAspectNum = int32_t(num);
    comp.pixelAspectDen = uint32_t(den);
}

// A time inside the composition: from 0 to the duration as the scene gives it. The end is
// compared on frames, as the host compares it, so a time that rounds to the last frame is
// inside even when the duration falls between frames.
Time timeInside(const Reader& in, const Json& value, const std::string& field, const Comp& comp,
                double duration) {
    const double seconds = in.number(value, field);
    const Time t = seconds < 0 ? Time{} : in.time(value, field, comp);
    if (seconds < 0 || t.value > comp.duration.value)
        in.fail(field,
                scene::describe(value) + " out of range [0, " + scene::shortNumber(duration) + "]");
    return t;
}

void readWorkArea(const Reader& in, const Json& value, const std::string& field, Comp& comp,
                  double duration) {
    in.array(value, field);
    if (value.size() != 2) in.fail(field, "expected [start, end] in seconds");
    const Time start = timeInside(in, value[0], item(field, 0), comp, duration);
    const Time stop = timeInside(in, value[1], item(field, 1), comp, duration);
    if (stop.value <= start.value) in.fail(field, "the work area ends before it starts");
    comp.workAreaStart = start;
    comp.workAreaDuration = Time{stop.value - start.value, stop.scale};
}

int bitDepthOf(const Reader& in, const Json& value, const std::string& field) {
    int depth = in.integerIn(value, field, 8, 32);
    if (depth != 8 && depth != 16 && depth != 32) in.fail(field, "expected 8, 16 or 32");
    return depth;
}

// Size, pixel aspect, resolution and depth.
void readCompFormat(const Reader& in, const Json& c, const std::string& f, Comp& comp) {
    if (const Json* v = in.find(c, "name")) comp.name = in.string(*v, member(f, "name"));
    comp.width = in.integerIn(in.require(c, f, "width"), member(f, "width"), 1, kMaxLayerSide);
    comp.height = in.integerIn(in.require(c, f, "height"), member(f, "height"), 1, kMaxLayerSide);
    if (const Json* v = in.find(c, "pixelAspect"))
        readPixelAspect(in, *v, member(f, "pixelAspect"), comp);
    if (const Json* v = in.find(c, "resolution"))
        comp.downsample = downsampleOf(in, *v, member(f, "resolution"));
    if (const Json* v = in.find(c, "bitDepth"))
        comp.bitDepth = bitDepthOf(in, *v, member(f, "bitDepth"));
}

// Frame duration, duration, current time and work area, all on frames.
void readCompTimes(const Reader& in, const Json& c, const std::string& f, Comp& comp) {
    const Json& rate = in.require(c, f, "frameRate");
    comp.frameDuration = frameDurationOf(in.numberIn(rate, member(f, "frameRate"), 1, 999));
    const Json& duration = in.require(c, f, "duration");
    const double seconds = in.numberIn(duration, member(f, "duration"), 0, kMaxDuration);
    comp.duration = in.time(duration, member(f, "duration"), comp);
    if (comp.duration.value <= 0) in.fail(member(f, "duration"), "shorter than one frame");
    comp.currentTime = comp.workAreaStart = Time{0, comp.frameDuration.scale};
    comp.workAreaDuration = comp.duration;
    if (const Json* v = in.find(c, "time"))
        comp.currentTime = timeInside(in, *v, member(f, "time"), comp, seconds);
    if (const Json* v = in.find(c, "workArea"))
        readWorkArea(in, *v, member(f, "workArea"), comp, seconds);
}

Comp readComp(const Reader& in, const Json& doc) {
    const Json& c = in.objectOf(in.require(doc, "", "comp"), "comp",
                                {"width", "height", "frameRate", "duration", "time", "workArea",
                                 "pixelAspect", "resolution", "bitDepth", "name"});
    Comp comp;
    readCompFormat(in, c, "comp", comp);
    readCompTimes(in, c, "comp", comp);
    return comp;
}

// ------------------------------------------------------------------ layer sources

struct LayerContext {
    const Reader& in;
    const Comp& comp;
    std::string baseDir;
    std::string field;  // "layers[2]"
};

LayerType layerTypeOf(const LayerContext& cx, const Json& value) {
    static const std::pair<const char*, LayerType> types[] = {
        {"footage", LayerType::Footage}, {"solid", LayerType::Solid}, {"text", LayerType::Text},
        {"shape", LayerType::Shape},     {"null", LayerType::Null},   {"camera", LayerType::Camera},
        {"light", LayerType::Light}};
    const std::string field = member(cx.field, "type");
    const std::string& name = cx.in.string(value, field);
    for (const auto& [text, type] : types) {
        if (name == text) return type;
    }
    cx.in.fail(field, "unknown layer type \"" + excerpt(name) +
                          "\" (expected footage, solid, text, shape, null, camera, light)");
}

// Width and height of a PNG or JPEG (as shown, a JPEG turned by its EXIF orientation); fails
// naming the field when it cannot be read or is larger than the host's largest layer (checked
// from the header, before decoding it). Only a regular file of at
// most kMaxImageBytes is read: a pipe would block and a device would never end.
std::pair<int, int> imageSize(const LayerContext& cx, const std::string& path,
                              const std::string& field) {
    namespace fs = std::filesystem;
    if (path.find('\0') != std::string::npos)
        cx.in.fail(field, "a file name cannot hold a NUL character: \"" + excerpt(path) + "\"");
    if (path.empty()) cx.in.fail(field, "the file name is empty");
    const fs::path full = fs::path(cx.baseDir) / path;
    const std::string shown = oneLine(full.string(), 200);
    std::error_code ec;
    const fs::file_status status = fs::status(full, ec);
    if (status.type() == fs::file_type::not_found) cx.in.fail(field, "image not found: " + shown);
    if (ec) cx.in.fail(field, "image cannot be read (" + ec.message() + "): " + shown);
    if (!fs::is_regular_file(status)) cx.in.fail(field, "not a regular file: " + shown);
    const std::uintmax_t bytes = fs::file_size(full, ec);
    if (ec) cx.in.fail(field, "image cannot be read (" + ec.message() + "): " + shown);
    if (bytes > kMaxImageBytes)
        cx.in.fail(field, std::to_string(bytes) + " bytes, more than the " +
                              std::to_string(kMaxImageBytes >> 20) +
                              " MB an image may have: " + shown);
    ImageHeader header;
    if (!readImageHeader(full.string(), header))
        cx.in.fail(field, "not a readable PNG or JPEG image: " + shown);
    const std::pair<int, int> size{header.width, header.height};
    if (size.first > kMaxLayerSide || size.second > kMaxLayerSide)
        cx.in.fail(field, std::to_string(size.first) + " x " + std::to_string(size.second) +
                              " pixels, larger than the host's " + std::to_string(kMaxLayerSide) +
                              " x " + std::to_string(kMaxLayerSide) + ": " + shown);
    // The header alone can lie: the whole file must decode as well.
    try {
        loadImage(full.string());
    } catch (const std::exception&) {
        cx.in.fail(field,
                   std::string(header.kind == ImageKind::Jpeg ? "not a readable JPEG image: "
                                                              : "not a readable PNG image: ") +
                       shown);
    }
    return size;
}

std::array<uint8_t, 4> colourOf(const LayerContext& cx, const Json& value) {
    const std::string field = member(cx.field, "fill");
    const std::string& text = cx.in.string(value, field);
    bool ok = (text.size() == 7 || text.size() == 9) && text[0] == '#' &&
              text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
    if (!ok)
        cx.in.fail(field,
                   "expected a colour \"#rrggbb\" or \"#rrggbbaa\", got \"" + excerpt(text) + "\"");
    std::array<uint8_t, 4> rgba{0, 0, 0, 255};
    for (size_t i = 0; i * 2 + 1 < text.size(); ++i)
        rgba[i] = uint8_t(std::stoi(text.substr(1 + 2 * i, 2), nullptr, 16));
    return rgba;
}

// The frames list; returns the size of its first image (the footage item's size).
std::pair<int, int> readFrames(const LayerContext& cx, const Json& value, Layer& layer) {
    const std::string field = member(cx.field, "frames");
    if (cx.in.array(value, field).empty()) cx.in.fail(field, "the list is empty");
    std::pair<int, int> size{0, 0};
    for (size_t i = 0; i < value.size(); ++i) {
        const std::string f = item(field, i);
        const Json& entry = cx.in.objectOf(value[i], f, {"time", "image"});
        // Checked against the time scale like every other time; kept as written.
        const Json& time = cx.in.require(entry, f, "time");
        cx.in.time(time, member(f, "time"), cx.comp);
        const double t = time.get<double>();
        const std::string& path =
            cx.in.string(cx.in.require(entry, f, "image"), member(f, "image"));
        const auto s = imageSize(cx, path, member(f, "image"));
        if (i == 0) size = s;  // the footage item's size; later frames may differ
        layer.frames.emplace_back(t, path);
        layer.frameSizes.push_back(s);
    }
    return size;
}

// The layer's source pixels; returns the size they imply ({0, 0} when none).
std::pair<int, int> readSource(const LayerContext& cx, const Json& l, Layer& layer) {
    const Json* image = cx.in.find(l, "image");
    const Json* frames = cx.in.find(l, "frames");
    const Json* fill = cx.in.find(l, "fill");
    bool footage = layer.type == LayerType::Footage;
    if ((image || frames) && !footage)
        cx.in.fail(member(cx.field, image ? "image" : "frames"), "only footage layers have images");
    if (footage && !image && !frames && !fill)
        cx.in.fail(cx.field, "a footage layer needs \"image\", \"fill\" or \"frames\"");
    if (fill) layer.fill = colourOf(cx, *fill);
    if (frames) return readFrames(cx, *frames, layer);
    if (!image) return {0, 0};
    layer.imagePath = cx.in.string(*image, member(cx.field, "image"));
    return imageSize(cx, layer.imagePath, member(cx.field, "image"));
}

void readSize(const LayerContext& cx, const Json& l, Layer& layer, std::pair<int, int> sourceSize) {
    const std::string field = member(cx.field, "size");
    bool visual = layer.type != LayerType::Camera && layer.type != LayerType::Light;
    std::pair<int, int> size = sourceSize;
    if (size.first == 0)
        size = layer.type == LayerType::Null ? std::pair{100, 100}
                                             : std::pair{cx.comp.width, cx.comp.height};
    if (const Json* v = cx.in.find(l, "size")) {
        if (!v->is_array() || v->size() != 2) cx.in.fail(field, "expected [width, height]");
        std::pair<int, int> given{cx.in.integerIn((*v)[0], item(field, 0), 1, kMaxLayerSide),
                                  cx.in.integerIn((*v)[1], item(field, 1), 1, kMaxLayerSide)};
        if (sourceSize.first != 0 && given != sourceSize)
            cx.in.fail(field, "differs from the image size " + std::to_string(sourceSize.first) +
                                  " x " + std::to_string(sourceSize.second));
        size = given;
    }
    if (!visual) size = {0, 0};
    layer.width = size.first;
    layer.height = size.second;
}

// ------------------------------------------------------------------ transform and keys

Stream* streamNamed(Layer& layer, const std::string& name) {
    static const char* const names[] = {"anchorPoint", "position", "scale", "rotation", "opacity"};
    for (int i = 0; i < 5; ++i) {
        if (name == names[i]) return layer.stream(i);
    }
    return nullptr;
}

Vec3 streamValue(const LayerContext& cx, const Stream& s, const Json& value, const std::string& f) {
    if (s.dims == 1) {
        double v = s.matchName == "ADBE Opacity" ? cx.in.numberIn(value, f, 0, 100)
                                                 : cx.in.number(value, f);
        return {v, 0, 0};
    }
    return cx.in.vector(value, f, s.easeDims == 3 ? 100.0 : 0.0);
}

void readTransform(const LayerContext& cx, const Json& l, Layer& layer) {
    // The host anchors a new layer at the middle of what it draws.
    const auto c = sourceFrame(layer, cx.comp).content;
    layer.anchorPoint.value = {(c[0] + c[2]) / 2.0, (c[1] + c[3]) / 2.0, 0};
    layer.position.value = {cx.comp.width / 2.0, cx.comp.height / 2.0, 0};
    const Json* t = cx.in.find(l, "transform");
    if (!t) return;
    const std::string field = member(cx.field, "transform");
    for (const auto& [name, value] : cx.in.object(*t, field).items()) {
        Stream* s = streamNamed(layer, name);
        if (!s)
            cx.in.fail(member(field, name),
                       "unknown transform property (expected anchorPoint, position, scale, "
                       "rotation, opacity)");
        s->value = streamValue(cx, *s, value, member(field, name));
    }
}

Interp interpNamed(const LayerContext& cx, const Json& value, const std::string& f) {
    const std::string& name = cx.in.string(value, f);
    if (name == "linear") return Interp::Linear;
    if (name == "bezier") return Interp::Bezier;
    if (name == "hold") return Interp::Hold;
    cx.in.fail(f,
               "unknown interpolation \"" + excerpt(name) + "\" (expected linear, bezier, hold)");
}

std::vector<Ease> easeList(const LayerContext& cx, const Stream& s, const Json& value,
                           const std::string& f) {
    if (!cx.in.array(value, f).empty() && value.size() != size_t(s.easeDims))
        cx.in.fail(f, "expected " + std::to_string(s.easeDims) + " eases");
    std::vector<Ease> eases;
    for (size_t i = 0; i < value.size(); ++i) {
        const std::string e = item(f, i);
        const Json& o = cx.in.objectOf(value[i], e, {"speed", "influence"});
        eases.push_back(
            {cx.in.number(cx.in.require(o, e, "speed"), member(e, "speed")),
             cx.in.numberIn(cx.in.require(o, e, "influence"), member(e, "influence"), 0.1, 100)});
    }
    return eases;
}

// The optional parts of a key, in the same form result.json writes them.
void readKeyDetails(const LayerContext& cx, const Stream& s, const Json& k, const std::string& f,
                    KeyStyle& key) {
    if (const Json* v = cx.in.find(k, "inTangent"))
        key.inTangent = cx.in.vector(*v, member(f, "inTangent"), 0);
    if (const Json* v = cx.in.find(k, "outTangent"))
        key.outTangent = cx.in.vector(*v, member(f, "outTangent"), 0);
    if (const Json* v = cx.in.find(k, "interpolation")) {
        const std::string g = member(f, "interpolation");
        key.inInterp = interpNamed(cx, cx.in.require(cx.in.objectOf(*v, g, {"in", "out"}), g, "in"),
                                   member(g, "in"));
        key.outInterp = interpNamed(cx, cx.in.require(*v, g, "out"), member(g, "out"));
    }
    if (const Json* v = cx.in.find(k, "ease")) {
        const std::string g = member(f, "ease");
        key.inEase = easeList(cx, s, cx.in.require(cx.in.objectOf(*v, g, {"in", "out"}), g, "in"),
                              member(g, "in"));
        key.outEase = easeList(cx, s, cx.in.require(*v, g, "out"), member(g, "out"));
    }
}

// A key's time in a property written by result.json: a time value on the property's time
// scale, or [value, scale].
double resultKeySeconds(const LayerContext& cx, const Json& t, const std::string& f, int scale) {
    constexpr int kMin = std::numeric_limits<int32_t>::min();
    constexpr int kMax = std::numeric_limits<int32_t>::max();
    if (!t.is_array()) return double(cx.in.integerIn(t, f, kMin, kMax)) / scale;
    if (t.size() != 2) cx.in.fail(f, "expected a time value or [value, scale]");
    const int value = cx.in.integerIn(t[0], item(f, 0), kMin, kMax);
    return double(value) / cx.in.integerIn(t[1], item(f, 1), 1, kMax);
}

// A property as result.json writes it: {"timeScale", "styles", "keys"}, each key
// [time, value, style] or [time, value, style, inTangent, outTangent].
void readResultKeys(const LayerContext& cx, Stream& s, const Json& property, const std::string& f) {
    // "value" is what result.json writes beside the keys; the keys decide.
    cx.in.objectOf(property, f, {"value", "timeScale", "styles", "keys"});
    const std::string keysField = member(f, "keys");
    const Json& keys = cx.in.array(cx.in.require(property, f, "keys"), keysField);
    if (keys.empty()) return;
    const int scale =
        cx.in.integerIn(cx.in.require(property, f, "timeScale"), member(f, "timeScale"), 1,
                        std::numeric_limits<int32_t>::max());
    const Json& styles = cx.in.array(cx.in.require(property, f, "styles"), member(f, "styles"));
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string g = item(keysField, i);
        const Json& k = cx.in.array(keys[i], g);
        if (k.size() != 3 && k.size() != 5)
            cx.in.fail(g,
                       "expected [time, value, style] or [time, value, style, inTangent, "
                       "outTangent]");
        const double seconds = resultKeySeconds(cx, k[0], item(g, 0), scale);
        const Time t = cx.in.time(Json(seconds), item(g, 0), cx.comp);
        if (s.keyIndexAt(t) >= 0) cx.in.fail(item(g, 0), "a second key on the same frame");
        const Vec3 v = streamValue(cx, s, k[1], item(g, 1));
        const int style = cx.in.integerIn(k[2], item(g, 2), 0, std::numeric_limits<int32_t>::max());
        if (size_t(style) >= styles.size())
            cx.in.fail(item(g, 2), "no style " + std::to_string(style) + " (the property has " +
                                       std::to_string(styles.size()) + ")");
        const size_t index = size_t(s.addKey(t, v));
        KeyStyle key = s.keys.style(index);
        const std::string styleField = item(member(f, "styles"), size_t(style));
        readKeyDetails(
            cx, s, cx.in.objectOf(styles.at(size_t(style)), styleField, {"interpolation", "ease"}),
            styleField, key);
        if (k.size() == 5) {
            key.inTangent = cx.in.vector(k[3], item(g, 3), 0);
            key.outTangent = cx.in.vector(k[4], item(g, 4), 0);
        }
        s.keys.setStyle(index, key);
    }
}

void readStreamKeys(const LayerContext& cx, Stream& s, const Json& keys, const std::string& f) {
    if (keys.is_object()) return readResultKeys(cx, s, keys, f);
    for (size_t i = 0; i < cx.in.array(keys, f).size(); ++i) {
        const std::string g = item(f, i);
        const Json& k = cx.in.objectOf(
            keys[i], g, {"time", "value", "inTangent", "outTangent", "interpolation", "ease"});
        Time t = cx.in.time(cx.in.require(k, g, "time"), member(g, "time"), cx.comp);
        if (s.keyIndexAt(t) >= 0) cx.in.fail(member(g, "time"), "a second key on the same frame");
        Vec3 v = streamValue(cx, s, cx.in.require(k, g, "value"), member(g, "value"));
        const size_t index = size_t(s.addKey(t, v));
        KeyStyle style = s.keys.style(index);
        readKeyDetails(cx, s, k, g, style);
        s.keys.setStyle(index, style);
    }
}

void readKeys(const LayerContext& cx, const Json& l, Layer& layer) {
    const Json* keys = cx.in.find(l, "keys");
    if (!keys) return;
    const std::string field = member(cx.field, "keys");
    for (const auto& [name, list] : cx.in.object(*keys, field).items()) {
        Stream* s = streamNamed(layer, name);
        if (!s)
            cx.in.fail(member(field, name),
                       "unknown transform property (expected anchorPoint, position, scale, "
                       "rotation, opacity)");
        readStreamKeys(cx, *s, list, member(field, name));
    }
}

void readMarkers(const LayerContext& cx, const Json& l, Layer& layer) {
    const Json* markers = cx.in.find(l, "markers");
    if (!markers) return;
    const std::string field = member(cx.field, "markers");
    for (size_t i = 0; i < cx.in.array(*markers, field).size(); ++i)
        layer.markers.push_back(cx.in.time((*markers)[i], item(field, i), cx.comp));
    sortMarkers(layer.markers);
}

void readSwitches(const LayerContext& cx, const Json& l, Layer& layer) {
    const Json* sw = cx.in.find(l, "switches");
    if (!sw) return;
    const std::string field = member(cx.field, "switches");
    std::pair<const char*, bool*> switches[] = {
        {"video", &layer.video},           {"locked", &layer.locked}, {"guide", &layer.guide},
        {"adjustment", &layer.adjustment}, {"null", &layer.null},     {"threeD", &layer.threeD},
        {"motionBlur", &layer.motionBlur}};
    for (const auto& [name, value] : cx.in.object(*sw, field).items()) {
        bool* target = nullptr;
        for (auto& [text, flag] : switches) {
            if (name == text) target = flag;
        }
        if (!target)
            cx.in.fail(member(field, name),
                       "unknown switch (expected video, locked, guide, adjustment, null, threeD, "
                       "motionBlur)");
        *target = cx.in.boolean(value, member(field, name));
    }
    layer.videoReallyOn = layer.video;
}

// Start time, stretch, in and out points, all on frames of the composition.
void readLayerTimes(const LayerContext& cx, const Json& l, Layer& layer) {
    const Reader& in = cx.in;
    if (const Json* v = in.find(l, "startTime"))
        layer.startTime = in.time(*v, member(cx.field, "startTime"), cx.comp);
    else
        layer.startTime = Time{0, cx.comp.frameDuration.scale};
    double stretch = 100;
    if (const Json* v = in.find(l, "stretch")) {
        const std::string f = member(cx.field, "stretch");
        stretch = in.numberIn(*v, f, -10000, 10000);
        if (std::fabs(stretch) < 1) in.fail(f, "expected a percentage from 1 to 10000 either way");
    }
    const auto [num, den] = ratioOf(stretch / 100.0, 1000);
    layer.stretchNum = int32_t(num);
    layer.stretchDen = int32_t(den);
    // A layer playing forwards starts showing at its start, a reversed one at the beginning.
    layer.inPoint = stretch > 0 ? layer.startTime : Time{0, cx.comp.frameDuration.scale};
    layer.outPoint = cx.comp.duration;
    if (const Json* v = in.find(l, "inPoint"))
        layer.inPoint = in.time(*v, member(cx.field, "inPoint"), cx.comp);
    if (const Json* v = in.find(l, "outPoint"))
        layer.outPoint = in.time(*v, member(cx.field, "outPoint"), cx.comp);
    if (!earlier(layer.inPoint, layer.outPoint))
        in.fail(member(cx.field, in.find(l, "outPoint") ? "outPoint" : "inPoint"),
                "the layer ends before it starts (in point " +
                    scene::shortNumber(layer.inPoint.seconds()) + " s, out point " +
                    scene::shortNumber(layer.outPoint.seconds()) + " s)");
}

void readMask(const LayerContext& cx, const Json& l, Layer& layer) {
    const Json* v = cx.in.find(l, "mask");
    if (!v) return;
    const std::string f = member(cx.field, "mask");
    if (!v->is_array() || v->size() != 4) cx.in.fail(f, "expected [left, top, right, bottom]");
    std::array<double, 4> m{};
    for (size_t i = 0; i < 4; ++i) m[i] = cx.in.number((*v)[i], item(f, i));
    if (!(m[2] > m[0] && m[3] > m[1])) cx.in.fail(f, "expected right > left and bottom > top");
    layer.mask = m;
}

// ------------------------------------------------------------------ effect parameters

void readParams(const Reader& in, const Json& params, const std::string& field,
                std::vector<ParamSetting>& out) {
    for (const auto& [name, value] : in.object(params, field).items())
        out.push_back({name, member(field, "\"" + excerpt(name) + "\""), value});
}

void readEffects(const LayerContext& cx, const Json& l, Layer& layer, Scene& scene, int index) {
    const Json* effects = cx.in.find(l, "effects");
    if (!effects) return;
    const std::string field = member(cx.field, "effects");
    for (size_t i = 0; i < cx.in.array(*effects, field).size(); ++i) {
        const std::string f = item(field, i);
        const Json& e = cx.in.objectOf((*effects)[i], f, {"name", "params"});
        const std::string& name = cx.in.string(cx.in.require(e, f, "name"), member(f, "name"));
        if (name != kEffectName)
            cx.in.fail(member(f, "name"), "unknown effect \"" + excerpt(name) + "\" (expected \"" +
                                              kEffectName + "\")");
        if (!layer.effects.empty() || scene.effectLayer >= 0)
            cx.in.fail(f, "a scene holds one instance of the effect");
        scene.effectLayer = index;
        scene.effectSlot = int(layer.effects.size());
        layer.effects.push_back(EffectInstance{name, {}});
        if (const Json* p = cx.in.find(e, "params"))
            readParams(cx.in, *p, member(f, "params"), scene.params);
    }
}

Layer readLayer(const LayerContext& cx, const Json& l, Scene& scene, int index) {
    cx.in.objectOf(
        l, cx.field,
        {"name", "type", "size", "image", "fill", "frames", "transform", "keys", "markers",
         "switches", "effects", "startTime", "inPoint", "outPoint", "stretch", "mask", "parent"});
    Layer layer;
    layer.id = index + 1;
    layer.name = "Layer " + std::to_string(index + 1);
    if (const Json* v = cx.in.find(l, "name"))
        layer.name = cx.in.string(*v, member(cx.field, "name"));
    layer.type = layerTypeOf(cx, cx.in.require(l, cx.field, "type"));
    readSize(cx, l, layer, readSource(cx, l, layer));
    readTransform(cx, l, layer);
    readKeys(cx, l, layer);
    readMarkers(cx, l, layer);
    readSwitches(cx, l, layer);
    readLayerTimes(cx, l, layer);
    readMask(cx, l, layer);
    if (layer.type == LayerType::Null) layer.null = true;
    readEffects(cx, l, layer, scene, index);
    return layer;
}

// Each `parent` names one other layer; a chain must end at the composition.
void readParents(const Reader& in, const Json& layers, Comp& comp) {
    for (size_t i = 0; i < layers.size(); ++i) {
        const Json* v = in.find(layers[i], "parent");
        if (!v) continue;
        const std::string f = member(item("layers", i), "parent");
        const std::string& name = in.string(*v, f);
        int32_t id = 0;
        for (const Layer& l : comp.layers) {
            if (l.name != name) continue;
            if (id) in.fail(f, "more than one layer is named \"" + excerpt(name) + "\"");
            id = l.id;
        }
        if (!id) in.fail(f, "no layer named \"" + excerpt(name) + "\"");
        comp.layers[i].parent = id;
    }
    // Layer ids are their positions + 1. Each layer is walked once: a walk that comes back to a
    // layer on its own path has found a loop.
    enum : char { kNew, kOnPath, kDone };
    std::vector<char> state(comp.layers.size(), kNew);
    const auto parentIndex = [&](size_t k) { return size_t(comp.layers[k].parent - 1); };
    for (size_t i = 0; i < comp.layers.size(); ++i) {
        std::vector<size_t> path;
        size_t at = i;
        while (state[at] == kNew) {
            state[at] = kOnPath;
            path.push_back(at);
            if (!comp.layers[at].parent) break;
            at = parentIndex(at);
        }
        if (state[at] == kOnPath && comp.layers[at].parent) {
            std::string loop = "\"" + excerpt(comp.layers[at].name, 30) + "\"";
            size_t k = parentIndex(at);
            for (int shown = 0; k != at && shown < 5; ++shown, k = parentIndex(k))
                loop += " -> \"" + excerpt(comp.layers[k].name, 30) + "\"";
            loop += " -> " + (k == at ? "\"" + excerpt(comp.layers[at].name, 30) + "\"" : "...");
            in.fail(member(item("layers", at), "parent"), "parents form a loop (" + loop +
                                                              "); a parent chain must end at the "
                                                              "composition");
        }
        for (size_t p : path) state[p] = kDone;
    }
}

// ------------------------------------------------------------------ actions

Action readAction(const Reader& in, const Comp& comp, double duration, const Json& a,
                  const std::string& f) {
    Action action;
    action.field = f;
    if (a.is_string() && a.get_ref<const std::string&>() == "create") return action;
    if (a.is_string() && a.get_ref<const std::string&>() == "undo") {
        action.kind = Action::Kind::Undo;
        return action;
    }
    if (!a.is_object() || a.size() != 1 || (!a.contains("set") && !a.contains("time")))
        in.fail(f, "unknown action " + scene::describe(a) +
                       " (expected \"create\", \"undo\", {\"set\": {...}} or {\"time\": seconds})");
    if (const Json* t = in.find(a, "time")) {
        action.kind = Action::Kind::Time;
        action.time = timeInside(in, *t, member(f, "time"), comp, duration);
        return action;
    }
    action.kind = Action::Kind::Set;
    readParams(in, a["set"], member(f, "set"), action.params);
    return action;
}

std::vector<Action> readActions(const Reader& in, const Comp& comp, const Json& doc) {
    const Json* list = in.find(doc, "actions");
    if (!list) return {Action{}};
    // The duration as the scene gives it (checked), the end of every time inside it.
    const double duration = doc["comp"]["duration"].get<double>();
    std::vector<Action> actions;
    for (size_t i = 0; i < in.array(*list, "actions").size(); ++i)
        actions.push_back(readAction(in, comp, duration, (*list)[i], item("actions", i)));
    return actions;
}

void readMissingSuites(const Reader& in, const Json& host, Scene& scene) {
    const Json* list = in.find(host, "missingSuites");
    if (!list) return;
    const std::string f = "host.missingSuites";
    for (size_t i = 0; i < in.array(*list, f).size(); ++i)
        scene.missingSuites.push_back(in.string((*list)[i], item(f, i)));
}

void readHost(const Reader& in, const Json& doc, Scene& scene) {
    const Json* host = in.find(doc, "host");
    if (!host) return;
    readMissingSuites(in, in.objectOf(*host, "host", {"apiVersion", "missingSuites"}), scene);
    const Json* v = in.find(*host, "apiVersion");
    if (!v) return;
    const std::string f = "host.apiVersion";
    if (!v->is_array() || v->size() != 2) in.fail(f, "expected [major, minor]");
    scene.apiVersion = std::pair<short, short>{short(in.integerIn((*v)[0], item(f, 0), 0, 127)),
                                               short(in.integerIn((*v)[1], item(f, 1), 0, 127))};
}

}  // namespace

Scene parseScene(const Json& doc, const std::string& file, const std::string& baseDir) {
    Reader in(file);
    in.objectOf(doc, "", {"comp", "host", "layers", "actions"});
    Scene scene;
    scene.file = file;
    scene.effectLayer = -1;
    scene.project.baseDir = baseDir;
    scene.project.comp = readComp(in, doc);
    readHost(in, doc, scene);
    const Json& layers = in.array(in.require(doc, "", "layers"), "layers");
    for (size_t i = 0; i < layers.size(); ++i) {
        LayerContext cx{in, scene.project.comp, baseDir, item("layers", i)};
        scene.project.comp.layers.push_back(readLayer(cx, layers[i], scene, int(i)));
    }
    readParents(in, layers, scene.project.comp);
    if (scene.effectLayer < 0)
        in.fail("layers", std::string("no layer carries the effect \"") + kEffectName + "\"");
    scene.actions = readActions(in, scene.project.comp, doc);
    return scene;
}

Scene loadScene(const std::string& path) {
    namespace fs = std::filesystem;
    const std::string shown = oneLine(path, 200);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) throw SceneError(shown + ": cannot be read");
    if (ec) throw SceneError(shown + ": cannot be read (" + ec.message() + ")");
    // A pipe would block and a device would never end: a scene is a file of a known size.
    if (!fs::is_regular_file(status))
        throw SceneError(shown + ": not a regular file (a scene is a JSON file)");
    const std::uintmax_t bytes = fs::file_size(path, ec);
    if (ec) throw SceneError(shown + ": cannot be read (" + ec.message() + ")");
    if (bytes > kMaxSceneBytes)
        throw SceneError(shown + ": " + std::to_string(bytes) + " bytes, more than the " +
                         std::to_string(kMaxSceneBytes >> 20) + " MB a scene may have");
    std::ifstream stream(path, std::ios::binary);
    if (!stream) throw SceneError(shown + ": cannot be read");
    // Read no more than the limit, should the file have grown since.
    std::string text(size_t(bytes), '\0');
    stream.read(&text[0], std::streamsize(bytes));
    text.resize(size_t(stream.gcount()));
    if (stream.bad()) throw SceneError(shown + ": cannot be read");
    const Json doc = scene::parseJson(text, path);
    const fs::path dir = fs::absolute(path, ec).parent_path();
    return parseScene(doc, path, dir.string());
}

}  // namespace sim
