#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "AEGP_SuiteHandler.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "engine/MyTessaron.h"
#include "engine/Parallel.h"
#include "engine/Random.h"
#include "engine/SourceInComp.h"
#include "host/HostObjects.h"
#include "host/Params.h"

namespace {

uint8_t from16(uint16_t c) {
    return static_cast<uint8_t>(std::min((c * 255 + 16384) >> 15, 255));
}

// Over-range and negative float channels are clamped to 0..1 first (NaN counts as 0).
uint8_t from32(float c) {
    const float clamped = c > 0.0f ? std::min(c, 1.0f) : 0.0f;
    return static_cast<uint8_t>(clamped * 255.0f);
}

const uint8_t* pixelAddress(const PF_LayerDef& layer, int x, int y, int bytesPerPixel) {
    return reinterpret_cast<const uint8_t*>(layer.data) +
           static_cast<ptrdiff_t>(y) * layer.rowbytes + static_cast<ptrdiff_t>(x) * bytesPerPixel;
}

// A draw narrowed to float moves the pixel's centre by -0.1 to 0.1 (the sum formed in double),
// so a point drawn for a pixel lies inside it and the collage is not shifted by half a pixel.
double jitter(float draw) {
    return 0.5 + (0.2 * draw - 0.1);
}

int truncated(float v) {
    return static_cast<int>(v);
}

}  // namespace

void MyTessaron::getPixel(const PF_LayerDef& layer, int x, int y, PF_Pixel& out) const {
    if (sourcePixelFormat == PF_PixelFormat_ARGB32) {
        std::memcpy(&out, pixelAddress(layer, x, y, 4), sizeof(PF_Pixel));
    } else if (sourcePixelFormat == PF_PixelFormat_ARGB64) {
        PF_Pixel16 p;
        std::memcpy(&p, pixelAddress(layer, x, y, 8), sizeof(p));
        out = {from16(p.alpha), from16(p.red), from16(p.green), from16(p.blue)};
    } else if (sourcePixelFormat == PF_PixelFormat_ARGB128) {
        PF_PixelFloat p;
        std::memcpy(&p, pixelAddress(layer, x, y, 16), sizeof(p));
        out = {from32(p.alpha), from32(p.red), from32(p.green), from32(p.blue)};
    } else {
        out = {0, 0, 0, 0};
    }
}

// A composition frame as the effect's time, which is the effect layer's own time: a layer that
// starts later, is stretched or reversed sees the frame at another time of its own.
A_long MyTessaron::effectTimeOfFrame(int frame) const {
    if (!effectLayer) {
        return frame * inData->time_step;
    }
    AEGP_SuiteHandler suites(inData->pica_basicP);
    const A_Time comp = {frame * frameDuration.value, frameDuration.scale};
    A_Time local = {0, 1};
    const A_Err err = suites.LayerSuite7()->AEGP_ConvertCompToLayerTime(effectLayer, &comp, &local);
    if (err || local.scale == 0) {
        hostFailures().fellBack("converting a frame to the effect's time", err, 1);
        return frame * inData->time_step;
    }
    const double units = double(local.value) * double(inData->time_scale) / double(local.scale);
    return static_cast<A_long>(std::floor(units + 0.5));
}

void MyTessaron::getImageDataAtTime(int frame) {
    const A_long time = effectTimeOfFrame(frame);
    ScopedCheckout source(inData);
    const PF_Err err =
        source.checkout(PARAM_SOURCE_LAYER, time, inData->time_step, inData->time_scale);
    const auto& par = inData->pixel_aspect_ratio;
    pixelAspect = par.den ? static_cast<float>(double(par.num) / double(par.den)) : 1.0f;
    if (!err) {
        sourcePixelFormat = deliveredFormat(source.param().u.ld);
        RedrawnSource redrawn;
        takeImage(shownSource(source.param().u.ld, redrawn));
    } else {
        hostFailures().fellBack("taking the Source image", err, 1);  // a frame without shape
        PF_LayerDef nothing;
        std::memset(&nothing, 0, sizeof(nothing));
        takeImage(nothing);
    }
}

void MyTessaron::readSourceTransform(A_Time time) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    sourceToWorld = {};
    sourceToWorldErr =
        suites.LayerSuite7()->AEGP_GetLayerToWorldXform(sourceLayer, &time, &sourceToWorld);
    sourceToWorldRead = true;
    if (sourceToWorldErr) {
        // The image is taken as the layer delivers it; the positions fall back (assignment).
        hostFailures().failed("reading the Source layer's transform", sourceToWorldErr);
    }
}

static int bytesPerPixel(int32_t format) {
    return format == PF_PixelFormat_ARGB64 ? 8 : format == PF_PixelFormat_ARGB128 ? 16 : 4;
}

const PF_LayerDef& MyTessaron::shownSource(const PF_LayerDef& layer, RedrawnSource& redrawn) {
    sourceRedrawn = false;
    if (!sourceToWorldRead || sourceToWorldErr) {
        return layer;
    }
    // The image point at the layer's origin: shape layers have it in the middle of their
    // composition-sized picture; text layers are placed by their Position (as compPosition does).
    double originX = 0.0, originY = 0.0;
    if (sourceLayerType == AEGP_ObjectType_VECTOR) {
        originX = 0.5 * compWidth;
        originY = 0.5 * compHeight;
    } else if (sourceLayerType == AEGP_ObjectType_TEXT) {
        originX = sourcePosition.val.three_d.x;
        originY = sourcePosition.val.three_d.y;
    }
    const SourceToComp map = sourceToComp(sourceToWorld, originX, originY);
    if (map.onlyMoves()) {
        return layer;
    }
    RedrawGrid grid;
    grid.upX = upsampleX;
    grid.upY = upsampleY;
    grid.downX = downsampleX;
    grid.downY = downsampleY;
    grid.centreX = 0.5 * compWidth;
    grid.centreY = 0.5 * compHeight;
    redrawSource(layer, bytesPerPixel(sourcePixelFormat), map, grid, redrawn);
    sourceRedrawn = true;
    redrawnLeft = redrawn.left;
    redrawnTop = redrawn.top;
    return redrawn.layer;
}

// The format of the pixels a check-out delivered. The one stored before the run was read at
// the effect's time 0, when the Source may not show (it starts later, the effect layer is
// shifted): its record then had no pixels to tell the format by. Without pixels, a world
// suite or an answer, the stored format stays.
int32_t MyTessaron::deliveredFormat(const PF_LayerDef& layer) const {
    const SPBasicSuite* basic = inData->pica_basicP;
    if (!layer.data || !basic) {
        return sourcePixelFormat;
    }
    const void* suite = nullptr;
    const SPErr acquired = basic->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite);
    if (!suite) {
        hostFailures().fellBack("reading the Source's pixel format", acquired, 1);
        return sourcePixelFormat;
    }
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    PF_Err err = acquired;  // a suite handed out with an error is still given back, once
    if (!err) {
        err = static_cast<const PF_WorldSuite2*>(suite)->PF_GetPixelFormat(&layer, &format);
    }
    const SPErr released = basic->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
    if (err || released) {
        hostFailures().fellBack("reading the Source's pixel format", err ? err : released, 1);
    }
    return err ? sourcePixelFormat : format;
}

void MyTessaron::takeImage(const PF_LayerDef& layer) {
    const bool delivered = layer.data != nullptr;
    hasImage.push_back(false);
    // The previous frame's copy goes first, so that at most one copy is held at a time.
    imagePixels.reset();
    opaquePixels.reset(0, 0);
    imageWidth = delivered ? layer.width : 0;
    imageHeight = delivered ? layer.height : 0;
    imagePixels.reset(new uint8_t[size_t(imageWidth) * size_t(imageHeight) * 4]);
    opaquePixels.reset(imageWidth, imageHeight);
    opaqueBounds[0] = imageWidth;
    opaqueBounds[1] = 0;
    opaqueBounds[2] = imageHeight;
    opaqueBounds[3] = 0;
    for (int y = 0; y < imageHeight; ++y) {
        uint8_t* const row = &imagePixels[size_t(y) * imageWidth * 4];
        int first = imageWidth, last = -1;  // the row's opaque span
        for (int x = 0; x < imageWidth; ++x) {
            PF_Pixel p;
            getPixel(layer, x, y, p);
            std::memcpy(row + size_t(x) * 4, &p, 4);
            if (p.alpha > alphaThreshold) {
                opaquePixels.set(x, y);
                first = std::min(first, x);
                last = x;
            }
        }
        if (last >= 0) {
            addOpaqueRow(y, first, last);
        }
    }
    opaquePixels.finish();
}

void MyTessaron::addOpaqueRow(int y, int first, int last) {
    opaqueBounds[0] = std::min(opaqueBounds[0], first);
    opaqueBounds[1] = std::max(opaqueBounds[1], last);
    opaqueBounds[2] = std::min(opaqueBounds[2], y);
    opaqueBounds[3] = std::max(opaqueBounds[3], y);
    hasImage.back() = true;
}

Point2D MyTessaron::opaquePixel(size_t k) const {
    int32_t x = 0, y = 0;
    opaquePixels.pick(k, x, y);
    return Point2D(static_cast<float>(x), static_cast<float>(y));
}

// The 4 bytes of image pixel (x, y) truncated, or nullptr outside the image.
static const uint8_t* imageByteAt(const MyTessaron& e, float x, float y) {
    const int ix = truncated(x);
    const int iy = truncated(y);
    if (!e.imagePixels || ix < 0 || ix >= e.imageWidth || iy < 0 || iy >= e.imageHeight) {
        return nullptr;
    }
    return &e.imagePixels[(size_t(iy) * e.imageWidth + ix) * 4];
}

bool MyTessaron::isPointInsideShape(float x, float y) const {
    const uint8_t* p = imageByteAt(*this, x, y);
    return p != nullptr && p[0] > alphaThreshold;
}

// Alpha at or below the threshold is no shape, so it reads as none.
int MyTessaron::getAlphaAtPoint(float x, float y) const {
    const Point2D at = imagePoint(Point2D(x, y));
    const uint8_t* p = imageByteAt(*this, at.x, at.y);
    return p && p[0] > alphaThreshold ? p[0] : 0;
}

// Full-resolution coordinates, like getAlphaAtPoint, so a site reads the pixel it stands on.
int MyTessaron::getLuminanceAtPoint(float x, float y) const {
    const Point2D at = imagePoint(Point2D(x, y));
    const uint8_t* p = imageByteAt(*this, at.x, at.y);
    if (!p) {
        return 0;
    }
    const double l = 0.299 * p[1] + 0.587 * p[2] + 0.114 * p[3];
    return static_cast<int>(static_cast<float>(l));
}

Point2D MyTessaron::generatePointInsideShape() const {
    const size_t n = opaquePixels.count();
    if (n == 0) {
        return shapeCentre();  // the image centre after an empty frame
    }
    const size_t k = randomIndex(n);
    const double jx = jitter(uniform53f());
    const double jy = jitter(uniform53f());
    const Point2D pixel = opaquePixel(k);
    return Point2D(static_cast<float>(pixel.x + jx), static_cast<float>(pixel.y + jy));
}

void MyTessaron::generatePointsInsideShape(std::vector<Point2D>& points) const {
    const size_t n = opaquePixels.count();
    if (n == 0) {
        std::fill(points.begin(), points.end(), shapeCentre());
        return;
    }
    // The draws in the order one point at a time makes them; the pixels they pick, the longer
    // part, split over the cores.
    std::vector<size_t> picks(points.size());
    std::vector<double> jitters(2 * points.size());
    for (size_t s = 0; s < points.size(); ++s) {
        picks[s] = randomIndex(n);
        jitters[2 * s] = jitter(uniform53f());
        jitters[2 * s + 1] = jitter(uniform53f());
    }
    parallelFor(points.size(), [&](size_t begin, size_t end) {
        for (size_t s = begin; s < end; ++s) {
            const Point2D pixel = opaquePixel(picks[s]);
            points[s] = Point2D(static_cast<float>(pixel.x + jitters[2 * s]),
                                static_cast<float>(pixel.y + jitters[2 * s + 1]));
        }
    });
}

float MyTessaron::remap(float v, float a, float b, float c, float d, bool clamp) {
    if (std::fabs(a - b) < FLT_EPSILON) {
        return c;
    }
    const float r = (v - a) / (b - a) * (d - c) + c;
    if (!clamp) {
        return r;
    }
    const float lo = std::min(c, d);
    const float hi = std::max(c, d);
    return r > hi ? hi : (r < lo ? lo : r);
}
