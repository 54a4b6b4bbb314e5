#include "sim/picture/Render.h"

#include "sim/model/ImageFile.h"
#include "sim/model/OutputFile.h"
#include "sim/model/LayerTime.h"
#include "sim/model/SourceFrame.h"
#include "sim/picture/PngOut.h"

#include <cairo.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

namespace sim {
namespace {

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextPtr = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

SurfacePtr newSurface(int width, int height) {
    return SurfacePtr(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height),
                      cairo_surface_destroy);
}

ContextPtr newContext(cairo_surface_t* surface) {
    return ContextPtr(cairo_create(surface), cairo_destroy);
}

// Straight RGBA as cairo's premultiplied ARGB32, rounded as cairo's own PNG reader rounds.
SurfacePtr surfaceOf(const Image& image) {
    SurfacePtr s = newSurface(image.width, image.height);
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
        return SurfacePtr(nullptr, cairo_surface_destroy);
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    auto premultiply = [](int alpha, int colour) {
        const int t = alpha * colour + 0x80;
        return uint32_t((t + (t >> 8)) >> 8);
    };
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
            row[x] = uint32_t(p[3]) << 24 | premultiply(p[3], p[0]) << 16 |
                     premultiply(p[3], p[1]) << 8 | premultiply(p[3], p[2]);
        }
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

// Image files read once per rendering job; an unreadable file is remembered as missing. PNGs
// through cairo's reader, JPEGs (turned upright) through the scene's.
class ImageCache {
  public:
    cairo_surface_t* get(const std::string& path) {
        auto it = images_.find(path);
        if (it == images_.end()) it = images_.emplace(path, load(path)).first;
        return it->second.get();
    }

  private:
    static SurfacePtr load(const std::string& path) {
        ImageHeader header;
        if (readImageHeader(path, header) && header.kind == ImageKind::Jpeg) {
            try {
                return surfaceOf(loadImage(path));
            } catch (const std::exception&) {
                return SurfacePtr(nullptr, cairo_surface_destroy);
            }
        }
        SurfacePtr s(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
        if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) s.reset();
        return s;
    }
    std::map<std::string, SurfacePtr> images_;
};

bool hasPicture(const Layer& layer) {
    switch (layer.type) {
        case LayerType::Null:
        case LayerType::Camera:
        case LayerType::Light:
            return false;
        default:
            break;
    }
    return layer.video && !layer.guide && !layer.null && !layer.audioOnly && layer.width > 0 &&
           layer.height > 0;
}

// The layer's own pixels, or nullptr when it is drawn as a box of its fill colour.
cairo_surface_t* sourcePixels(const Project& project, const Layer& layer, double seconds,
                              ImageCache& cache) {
    const std::string path = pictureAt(layer, seconds);
    return path.empty() ? nullptr : cache.get(resolvePath(project, path));
}

void applyLayerTransform(cairo_t* cr, const Comp& comp, const Layer& layer, double seconds) {
    // Row vectors: x' = x m00 + y m10 + m30, y' = x m01 + y m11 + m31; through the parents.
    const auto m = layerToWorld(comp, layer, seconds);
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, m[0][0], m[0][1], m[1][0], m[1][1], m[3][0], m[3][1]);
    cairo_transform(cr, &matrix);
}

void drawLayer(cairo_t* cr, const Project& project, const Layer& layer, double seconds,
               double alpha, ImageCache& cache) {
    // Outside its in and out points a layer shows nothing; inside, its drawn part within its mask.
    if (alpha <= 0.0 || !activeAt(layer, seconds)) return;
    cairo_save(cr);
    applyLayerTransform(cr, project.comp, layer, seconds);
    const SourceFrame frame = sourceFrameAt(layer, project.comp, seconds);
    const auto c = maskedBoundsAt(layer, project.comp, seconds);
    cairo_rectangle(cr, c[0], c[1], c[2] - c[0], c[3] - c[1]);
    cairo_clip(cr);
    if (cairo_surface_t* pixels = sourcePixels(project, layer, seconds, cache)) {
        // Footage of another size than the layer's is stretched to the layer's size.
        const double sx = double(frame.width) / cairo_image_surface_get_width(pixels);
        const double sy = double(frame.height) / cairo_image_surface_get_height(pixels);
        cairo_scale(cr, sx, sy);
        cairo_set_source_surface(cr, pixels, 0, 0);
        // Edge pixels repeat outwards, so a stretched image keeps hard edges at the clip.
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    } else {
        const auto& c = layer.fill;
        cairo_set_source_rgba(cr, c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, c[3] / 255.0);
    }
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

double layerOpacity(const Layer& layer, double seconds) {
    return std::clamp(layer.opacity.valueAt(seconds)[0] / 100.0, 0.0, 1.0);
}

// The Position path as the host shows it: cubic segments through the keys, the outgoing
// tangent of one key and the incoming tangent of the next as control points. A parented
// layer's keys are in its parent's space, shown through the parent at the time.
void drawPositionPath(cairo_t* cr, const Comp& comp, const Layer& layer, double seconds) {
    const auto& keys = layer.position.keys;
    if (keys.size() < 2) return;
    const Layer* parent = nullptr;
    for (const Layer& l : comp.layers)
        if (layer.parent && l.id == layer.parent) parent = &l;
    const auto m = parent ? layerToWorld(comp, *parent, seconds)
                          : std::array<std::array<double, 4>, 4>{
                                {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const auto shown = [&](double x, double y) {
        return std::array<double, 2>{x * m[0][0] + y * m[1][0] + m[3][0],
                                     x * m[0][1] + y * m[1][1] + m[3][1]};
    };
    const auto start = shown(keys[0].value[0], keys[0].value[1]);
    cairo_move_to(cr, start[0], start[1]);
    for (size_t i = 1; i < keys.size(); ++i) {
        const Key& a = keys[i - 1];
        const Key& b = keys[i];
        const auto c1 =
            shown(a.value[0] + a.style().outTangent[0], a.value[1] + a.style().outTangent[1]);
        const auto c2 =
            shown(b.value[0] + b.style().inTangent[0], b.value[1] + b.style().inTangent[1]);
        const auto end = shown(b.value[0], b.value[1]);
        cairo_curve_to(cr, c1[0], c1[1], c2[0], c2[1], end[0], end[1]);
    }
    cairo_set_source_rgba(cr, 1.0, 0.85, 0.2, 0.8);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // Each dot its own sub-path: an arc otherwise joins the previous one, and the fill would
    // close the dots into one shape.
    for (const Key& k : keys) {
        cairo_new_sub_path(cr);
        const auto p = shown(k.value[0], k.value[1]);
        cairo_arc(cr, p[0], p[1], 2.5, 0, 2 * M_PI);
    }
    cairo_fill(cr);
}

// The composition at a time, drawn into width x height pixels (the composition's size scaled).
SurfacePtr renderComp(const Project& project, double seconds, const RenderOptions& options,
                      int sourceLayerId, ImageCache& cache, int width, int height) {
    const Comp& comp = project.comp;
    SurfacePtr surface = newSurface(width, height);
    ContextPtr cr = newContext(surface.get());
    cairo_scale(cr.get(), double(width) / comp.width, double(height) / comp.height);
    const auto& bg = options.background;
    cairo_set_source_rgba(cr.get(), bg[0] / 255.0, bg[1] / 255.0, bg[2] / 255.0, bg[3] / 255.0);
    cairo_paint(cr.get());
    for (const Layer& layer : comp.layers)
        if (layer.id == sourceLayerId && options.sourceFaint && hasPicture(layer))
            drawLayer(cr.get(), project, layer, seconds,
                      options.sourceOpacity * layerOpacity(layer, seconds), cache);
    // Bottom (last in composition order) to top (layer 1).
    for (auto it = comp.layers.rbegin(); it != comp.layers.rend(); ++it)
        if (it->id != sourceLayerId && hasPicture(*it))
            drawLayer(cr.get(), project, *it, seconds, layerOpacity(*it, seconds), cache);
    if (options.paths)
        for (const Layer& layer : comp.layers)
            if (layer.id != sourceLayerId && hasPicture(layer))
                drawPositionPath(cr.get(), comp, layer, seconds);
    cairo_surface_flush(surface.get());
    return surface;
}

SurfacePtr renderComp(const Project& project, double seconds, const RenderOptions& options,
                      int sourceLayerId, ImageCache& cache) {
    const auto scaled = [&](int side) {
        return std::max(1, int(std::lround(side * options.scale)));
    };
    return renderComp(project, seconds, options, sourceLayerId, cache, scaled(project.comp.width),
                      scaled(project.comp.height));
}

void writePng(cairo_surface_t* surface, const std::string& path) {
    writeSurfacePng(surface, path);
}

double frameSeconds(const Comp& comp) {
    const double s = comp.frameDuration.seconds();
    return s > 0.0 ? s : 1.0 / 25.0;
}

long frameNumber(const Comp& comp, double seconds) {
    return std::lround(seconds / frameSeconds(comp));
}

void drawThumbnail(cairo_t* cr, cairo_surface_t* frame, const SheetLayout& layout, int slot,
                   double seconds) {
    const int x =
        SheetLayout::kPad + (slot % layout.columns) * (layout.thumbWidth + SheetLayout::kPad);
    const int y =
        SheetLayout::kPad +
        (slot / layout.columns) * (layout.thumbHeight + SheetLayout::kLabel + SheetLayout::kPad);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, double(layout.thumbWidth) / cairo_image_surface_get_width(frame),
                double(layout.thumbHeight) / cairo_image_surface_get_height(frame));
    cairo_set_source_surface(cr, frame, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    char label[48];
    std::snprintf(label, sizeof label, "t = %.3f s", seconds);
    cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 12);
    cairo_move_to(cr, x, y + layout.thumbHeight + 15);
    cairo_show_text(cr, label);
}

}  // namespace

SheetLayout contactSheetLayout(int compWidth, int compHeight, int count) {
    assert(compWidth > 0 && compHeight > 0);
    SheetLayout l;
    l.columns = std::clamp(count, 1, SheetLayout::kMaxColumns);
    l.rows = std::max(1, (count + l.columns - 1) / l.columns);
    l.thumbWidth = std::min(compWidth, SheetLayout::kMaxThumbWidth);
    l.thumbHeight = std::max(1, int(std::lround(double(compHeight) * l.thumbWidth / compWidth)));
    l.width = SheetLayout::kPad + l.columns * (l.thumbWidth + SheetLayout::kPad);
    l.height =
        SheetLayout::kPad + l.rows * (l.thumbHeight + SheetLayout::kLabel + SheetLayout::kPad);
    return l;
}

std::vector<double> workAreaTimes(const Comp& comp, int count) {
    const long first = frameNumber(comp, comp.workAreaStart.seconds());
    const long frames = std::max(1L, frameNumber(comp, comp.workAreaDuration.seconds()));
    std::vector<double> times;
    for (int i = 0; i < std::max(count, 1); ++i) {
        const long f =
            count > 1 ? first + std::lround(double(i) * (frames - 1) / (count - 1)) : first;
        const double t = double(f) * frameSeconds(comp);
        if (times.empty() || times.back() != t) times.push_back(t);
    }
    return times;
}

void renderFrame(const Project& project, double seconds, const std::string& pngPath,
                 const RenderOptions& options, int sourceLayerId) {
    ImageCache cache;
    writePng(renderComp(project, seconds, options, sourceLayerId, cache).get(), pngPath);
}

std::vector<std::string> renderPreviews(const Project& project, const std::vector<double>& times,
                                        const std::string& outDir, const RenderOptions& options,
                                        int sourceLayerId) {
    const Comp& comp = project.comp;
    // One picture per composition frame, in time order.
    std::map<long, double> frames;
    for (double t : times) frames.emplace(frameNumber(comp, t), t);
    std::filesystem::create_directories(outDir);
    // Every frame gets its picture; the sheet shows at most kMaxSheetFrames of them, evenly
    // chosen, so a long run still gives a sheet of a sensible size.
    const size_t shown = std::min(frames.size(), kMaxSheetFrames);
    const SheetLayout layout = contactSheetLayout(comp.width, comp.height, int(shown));
    SurfacePtr sheet = newSurface(layout.width, layout.height);
    ContextPtr cr = newContext(sheet.get());
    cairo_set_source_rgb(cr.get(), 0.1, 0.1, 0.11);
    cairo_paint(cr.get());
    ImageCache cache;
    size_t index = 0;
    int slot = 0;
    std::vector<std::string> written;
    for (const auto& [frame, seconds] : frames) {
        SurfacePtr picture = renderComp(project, seconds, options, sourceLayerId, cache);
        written.push_back(frameFileName(frame));
        writePng(picture.get(), (std::filesystem::path(outDir) / written.back()).string());
        // Frame index lands on the sheet when it is the next of the evenly spaced choices.
        const size_t next = shown > 1 ? size_t(slot) * (frames.size() - 1) / (shown - 1) : 0;
        if (slot < int(shown) && index == next) {
            drawThumbnail(cr.get(), picture.get(), layout, slot++, seconds);
        }
        ++index;
    }
    cairo_surface_flush(sheet.get());
    writePng(sheet.get(), (std::filesystem::path(outDir) / "preview.png").string());
    written.push_back("preview.png");
    return written;
}

struct FrameRenderer::Cache : ImageCache {};

FrameRenderer::FrameRenderer(const Project& project, const RenderOptions& options,
                             int sourceLayerId)
    : project_(project),
      options_(options),
      sourceLayerId_(sourceLayerId),
      cache_(std::make_unique<Cache>()) {}

FrameRenderer::~FrameRenderer() = default;

Picture FrameRenderer::render(double seconds, int width, int height) {
    SurfacePtr surface =
        renderComp(project_, seconds, options_, sourceLayerId_, *cache_, width, height);
    Picture picture{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
    const uint8_t* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y)
        std::memcpy(&picture.pixels[size_t(y) * size_t(width)], data + size_t(y) * size_t(stride),
                    size_t(width) * sizeof(uint32_t));
    return picture;
}

}  // namespace sim
