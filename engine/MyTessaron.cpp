#include "engine/MyTessaron.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "AEGP_SuiteHandler.h"
#include "animation/Properties.h"
#include "engine/Random.h"
#include "engine/StageTimes.h"
#include "host/HostFailures.h"
#include "host/HostObjects.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/time.h>
#include <unistd.h>
#endif

namespace {

// The clock seed: seconds ^ microseconds ^ process id as 32 bits, read signed and widened
// (Windows: the millisecond tick count, widened with zeros).
uint64_t clockSeed() {
#ifdef _WIN32
    return static_cast<uint64_t>(GetTickCount());
#else
    timeval now{};
    gettimeofday(&now, nullptr);
    const uint32_t mixed = static_cast<uint32_t>(now.tv_sec) ^ static_cast<uint32_t>(now.tv_usec) ^
                           static_cast<uint32_t>(getpid());
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(mixed)));
#endif
}

uint64_t frameSeed(int32_t seed) {
    return static_cast<uint64_t>(static_cast<int64_t>(seed));
}

template <typename Work>
void timed(Stage stage, Work work) {
    const StageTimer timer(stage);
    work();
}

template <typename T>
void limitTo(size_t& count, const std::vector<T>& perFrame) {
    count = std::min(count, perFrame.size());
}

}  // namespace

MyTessaron::MyTessaron() = default;
MyTessaron::~MyTessaron() = default;

void MyTessaron::init(int frames) {
    const StageTimer timer(Stage::Tables);
    // The tables hold MaxLayers layers; a larger count would index past them.
    layerCount = std::clamp(layerCount, 0, static_cast<int32_t>(MaxLayers));
    const auto row = static_cast<size_t>(std::clamp(frames, 0, static_cast<int>(MaxFrames)));
    positions.assign(MaxLayers, {});
    rotations.assign(MaxLayers, {});
    scales.assign(MaxLayers, {});
    opacities.assign(MaxLayers, {});
    offsets.assign(MaxLayers, {});
    for (int j = 0; j < layerCount; ++j) {
        positions[j].assign(row, Point2D());
        rotations[j].assign(row, 0.0f);
        scales[j].assign(row, 0.0f);
        opacities[j].assign(row, 0.0f);
        offsets[j].assign(row, 0);
    }
}

void MyTessaron::releaseKeyedRows(int j) {
    std::vector<Point2D>().swap(positions[j]);
    std::vector<float>().swap(rotations[j]);
    std::vector<float>().swap(scales[j]);
    std::vector<float>().swap(opacities[j]);
}

int MyTessaron::evaluatedFrameCount() const {
    size_t count = std::min(frameList.size(), static_cast<size_t>(MaxFrames));
    limitTo(count, positionModes);
    limitTo(count, scaleModes);
    limitTo(count, rotationModes);
    limitTo(count, opacityModes);
    limitTo(count, minSizes);
    limitTo(count, maxSizes);
    limitTo(count, preventOverlaps);
    limitTo(count, rescaleFactors);
    limitTo(count, minRotations);
    limitTo(count, maxRotations);
    limitTo(count, minOpacities);
    limitTo(count, maxOpacities);
    limitTo(count, layerOrders);
    limitTo(count, temporalPresets);
    limitTo(count, speedsIn);
    limitTo(count, influencesIn);
    limitTo(count, speedsOut);
    limitTo(count, influencesOut);
    limitTo(count, spatialPresets);
    limitTo(count, outTangents);
    limitTo(count, inTangents);
    limitTo(count, offsetFrames);
    limitTo(count, offsetMethods);
    if (!randomSeed) {
        limitTo(count, seeds);
    }
    return static_cast<int>(count);
}

bool MyTessaron::keepsInsideShape(int f) const {
    return shapeSetting(keepInsideShapes, f, false);
}

bool MyTessaron::hidesSmallLayers(int f) const {
    if (!shapeSetting(hideBelowMinSizes, f, false) || size_t(f) >= preventOverlaps.size() ||
        size_t(f) >= scaleModes.size() || !preventOverlaps[size_t(f)]) {
        return false;
    }
    const ScaleMode m = scaleModes[size_t(f)];
    return m == ScaleMode::FromAlpha || m == ScaleMode::FromLuminance || m == ScaleMode::Random;
}

// Source pixels and the layer-to-world mapping's input are both in the Source layer's own
// pixels, whatever the pixel aspect: only the preview resolution is undone.
Point2D MyTessaron::fullResolution(const Point2D& p) const {
    return Point2D(p.x * upsampleX, p.y * upsampleY, p.z);
}

Point2D MyTessaron::imagePoint(const Point2D& p) const {
    return Point2D(p.x * downsampleX, p.y * downsampleY, p.z);
}

Point2D MyTessaron::shapeCentre() const {
    return Point2D(0.5f * static_cast<float>(opaqueBounds[0] + opaqueBounds[1]),
                   0.5f * static_cast<float>(opaqueBounds[2] + opaqueBounds[3]));
}

Point2D MyTessaron::imageCentre() const {
    return Point2D(0.5f * static_cast<float>(imageWidth), 0.5f * static_cast<float>(imageHeight));
}

// Draw order. Both generators are seeded per frame from the frame's Seed (Random Seed off) or
// once per run from the clock (Random Seed on), so a Seed reproduces the collage on every press.
// Value generator, per frame: each random point's x then y jitter (sites before Organic
// samples); then Random rotations, Random sizes and Random opacities, one per layer in layer
// order. Pick generator, per frame: one index per random point (before its jitters), one per
// Grid or Radial site in pick order, then the Random offset shuffle (k = 1 .. n - 1). After the
// last frame the spatial presets draw on from that frame's streams: Random Inner and Outer its
// coin from the pick generator, Random its two arms from the value generator.
void MyTessaron::solve() {
    const bool anyActive = positionActive || scaleActive || rotationActive || opacityActive;
    if (!anyActive && !removeKeysFirst) {
        return;
    }
    AEGP_SuiteHandler suites(inData->pica_basicP);
    // Everything the run changes lies inside the group, which is closed on every way out, so one
    // undo takes the whole run back; a run that cannot open its group changes nothing.
    ScopedUndoGroup group(suites.UtilitySuite4(), undoName.c_str());
    if (!group.opened()) {
        return;
    }
    if (anyActive) {
        hostFailures().planKeys(layerCount, plannedKeysPerLayer(*this));
    }
    if (removeKeysFirst) {
        removeKeys();
    }
    if (randomSeed) {
        seedRandomSources(clockSeed());
    }
    if (anyActive) {
        char text[64];
        std::memset(text, 0, sizeof(text));
        A_Err progressErr = A_Err_NONE;
        for (int i = 0; i < evaluatedFrameCount(); ++i) {
            const int written = inData->utils->ansi.sprintf(text, "Evaluating frame %d of %d",
                                                            i + 1, evaluatedFrameCount());
            if (written < 0) {
                hostFailures().progressNotShown("formatting the progress text", written);
            }
            // Once a progress line fails no further one is shown; the run itself goes on.
            if (!progressErr) {
                progressErr = suites.AdvAppSuite2()->PF_InfoDrawText(text, "");
                if (progressErr) {
                    hostFailures().progressNotShown("showing the progress text", progressErr);
                }
            }
            const int32_t f = frameList[i];
            if (!randomSeed) {
                seedRandomSources(frameSeed(seeds[i]));
            }
            alphaThreshold = shapeSetting(alphaThresholds, i, 0);
            const A_Time time = {static_cast<A_long>(int64_t{f} * frameDuration.value),
                                 frameDuration.scale};
            timed(Stage::Image, [&] {
                readSourceTransform(time);
                getImageDataAtTime(f);
            });
            timed(Stage::Sites, [&] { getPoints(time, i); });
            timed(Stage::Assignment, [&] { getAssignmentIdsAndPositions(time, i); });
            timed(Stage::Rotation, [&] { getRotations(time, i); });
            timed(Stage::Sizes, [&] { getInitialSitesDimensions(time, i); });
            timed(Stage::Scale, [&] {
                getScales(time, i);
                centreVisibleRectangles(time, i);
            });
            timed(Stage::Opacity, [&] { getOpacities(time, i); });
            timed(Stage::Offsets, [&] { getOffsets(time, i); });
        }
        if (releaseRowsOnceKeyed) {
            std::vector<std::vector<int32_t>>().swap(assignmentIds);
        }
        timed(Stage::Keys, [&] {
            for (int j = 0; j < layerCount; ++j) {
                keyframeLayer(j);
                if (releaseRowsOnceKeyed) {
                    releaseKeyedRows(j);
                }
            }
        });
        timed(Stage::Ease, [&] { setTemporalInterpolationWithScript(); });
    }
    hostFailures().runFinished();
}
