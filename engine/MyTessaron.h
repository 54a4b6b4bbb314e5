#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "AE_GeneralPlug.h"
#include "engine/OpaqueIndex.h"
#include "engine/Point2D.h"
#include "host/Params.h"
#include "placement/Candidates.h"
#include "placement/Following.h"
#include "placement/MinimumAssignment.h"
#include "placement/MySitePoint.h"

struct RedrawnSource;

// The collage engine of one press of "Create". The Create command fills the settings, calls
// init() and solve(), and destroys it; nothing of it outlives the command.
class MyTessaron {
  public:
    static constexpr int MaxLayers = 3000;  // collage layers the result tables hold
    static constexpr int MaxFrames = 1000;  // evaluated frames the result tables hold

    MyTessaron();
    ~MyTessaron();
    MyTessaron(const MyTessaron&) = delete;
    MyTessaron& operator=(const MyTessaron&) = delete;

    // Sizes the result tables, `frames` evaluated frames a layer (at most MaxFrames); call after
    // the settings and layerCount are filled.
    void init(int frames = MaxFrames);
    // The run: undo group, key removal, the frame loop, keyframes and the ease script.
    void solve();

    // ---- Host context
    PF_InData* inData = nullptr;
    int32_t sourcePixelFormat = 0;
    int32_t pluginId = 0;

    // ---- Source image sample (one frame)
    int32_t alphaThreshold = 0;  // this frame's: pixels with alpha at or below it are not shape
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    std::unique_ptr<uint8_t[]> imagePixels;  // alpha, red, green, blue per pixel
    OpaqueIndex opaquePixels;
    int32_t opaqueBounds[4] = {0, 0, 0, 0};  // min x, max x, min y, max y

    // ---- Run identity
    std::string undoName;

    // ---- Composition facts
    AEGP_LayerH sourceLayer = nullptr;
    // The layer that carries the effect: its own time is the effect's (nullptr: the same as the
    // composition's).
    AEGP_LayerH effectLayer = nullptr;
    int32_t sourceLayerIndex = 0;
    int32_t sourceLayerType = 0;
    AEGP_CompH comp = nullptr;
    int32_t compItemId = 0;  // the composition's project item, for the ease script
    int32_t compWidth = 0;
    int32_t compHeight = 0;
    A_Time compCurrentTime = {0, 1};
    A_Time frameDuration = {0, 1};
    double frameSeconds = 0.0;
    A_Time workAreaDuration = {0, 1};
    A_Time workAreaStart = {0, 1};
    int32_t compLayerCount = 0;
    float downsampleX = 1.0f;
    float downsampleY = 1.0f;
    float upsampleX = 1.0f;
    float upsampleY = 1.0f;
    AEGP_StreamRefH sourcePositionStream = nullptr;
    AEGP_StreamValue2 sourcePosition = {};
    int32_t firstFrame = 0;
    int32_t endFrame = 0;
    std::vector<int32_t> markerFrames;
    std::vector<int32_t> layerIndices;
    int32_t layerCount = 0;
    std::vector<bool> hasImage;

    // ---- Run settings (per frame unless noted)
    std::vector<PositionMode> positionModes;
    std::vector<ScaleMode> scaleModes;
    std::vector<RotationMode> rotationModes;
    std::vector<OpacityMode> opacityModes;
    std::vector<float> minSizes, maxSizes;
    std::vector<bool> preventOverlaps;
    std::vector<float> rescaleFactors;
    std::vector<float> minRotations, maxRotations;
    std::vector<float> minOpacities, maxOpacities;
    std::vector<LayerOrder> layerOrders;
    FramesToRender framesToRender = FramesToRender::CurrentFrame;  // single value
    std::vector<int32_t> frameList;
    bool forceKeyframing = false;  // single value
    std::vector<TemporalPreset> temporalPresets;
    std::vector<float> speedsIn, influencesIn, speedsOut, influencesOut;
    std::vector<SpatialPreset> spatialPresets;
    std::vector<float> outTangents, inTangents;
    std::vector<int32_t> offsetFrames;
    std::vector<OffsetMethod> offsetMethods;
    bool motionBlur = false;  // single value
    bool randomSeed = true;   // single value
    std::vector<int32_t> seeds;
    bool removeKeysFirst = false;  // single value
    // The "Shape" group; a run filled without them (or a frame past their end) takes the
    // defaults, which leave the collage as it was before they existed.
    std::vector<int32_t> alphaThresholds;  // alpha at or below it is not shape
    std::vector<bool> keepInsideShapes;
    std::vector<float> overhangs;  // share of a grown rectangle allowed off the shape, 0 to 1
    std::vector<CellShape> cellShapes;
    std::vector<bool> hideBelowMinSizes;
    std::vector<bool> followShapeChanges;  // start from the frame before's layout
    std::vector<bool> fillGaps;            // after the growth, move and regrow layers into gaps
    bool positionActive = false, scaleActive = false, rotationActive = false, opacityActive = false;

    // ---- Working data and results
    std::vector<MySitePoint> sites;
    std::vector<std::vector<int32_t>> assignmentIds;
    std::vector<std::vector<Point2D>> positions;  // [layer][frame]
    std::vector<std::vector<float>> rotations;    // [layer][frame]
    std::vector<std::vector<float>> scales;       // [layer][frame]
    std::vector<std::vector<float>> opacities;    // [layer][frame]
    std::vector<float> unhiddenOpacities;         // [layer]: the last frame's, before hiding
    std::vector<std::vector<int32_t>> offsets;    // [layer][frame]
    AssignmentWarmStart assignmentWarmStart;      // Minimum Assignment's last prices and columns
    // The command reads no result after the run: each layer's rows go once its keys are
    // written, and the assignments once the last frame is done (a long run's largest tables).
    bool releaseRowsOnceKeyed = false;

    // The stages below say which fields they read and write. Beyond those, every stage reads the
    // host context (inData, pluginId, comp, layerIndices, layerCount); "the image" is
    // imagePixels, imageWidth, imageHeight, opaquePixels, opaqueBounds and the resolution factors
    // (downsampleX/Y, upsampleX/Y); "the four modes" are positionModes .. opacityModes, "the
    // active flags" positionActive .. opacityActive. Per-frame stages index the run settings at
    // the frame; evaluatedFrameCount() reads the lengths of the per-frame settings.

    // ---- Source image sampling
    // reads: sourcePixelFormat (updated from each check-out; and what shownSource reads),
    // alphaThreshold; writes: imagePixels, imageWidth, imageHeight, opaquePixels, opaqueBounds,
    // hasImage, pixelAspect (and what shownSource writes). Checks the Source out at the
    // composition frame's time in the effect's own time (effectLayer, frameDuration).
    void getImageDataAtTime(int frame);
    A_long effectTimeOfFrame(int frame) const;
    int32_t deliveredFormat(const PF_LayerDef& layer) const;
    // The frame's copy of a checked-out layer (appends the frame's hasImage entry).
    void takeImage(const PF_LayerDef& layer);
    // Opaque pixels from first to last (some between may be transparent) on row y.
    void addOpaqueRow(int y, int first, int last);
    // The k-th opaque pixel of the frame (row-major order); k < opaquePixels.count().
    Point2D opaquePixel(size_t k) const;
    void getPixel(const PF_LayerDef& layer, int x, int y, PF_Pixel& out) const;
    bool isPointInsideShape(float x, float y) const;
    int getAlphaAtPoint(float x, float y) const;
    int getLuminanceAtPoint(float x, float y) const;
    Point2D generatePointInsideShape() const;
    // Fills points with points generated one after the other as above.
    void generatePointsInsideShape(std::vector<Point2D>& points) const;
    static float remap(float v, float a, float b, float c, float d, bool clamp);

    // ---- The Source as the composition shows it (one frame). A Source that is scaled, turned
    // or mirrored is redrawn in composition pixels and the engine runs on that picture; its
    // sites then reach the composition by a move alone.
    // reads: sourceLayer; writes: sourceToWorld, sourceToWorldErr, sourceToWorldRead
    void readSourceTransform(A_Time time);
    // The picture getImageDataAtTime takes: the checked-out layer, or it redrawn into `redrawn`.
    // reads: sourceToWorld*, sourceLayerType, sourcePosition, compWidth, compHeight,
    // sourcePixelFormat, the resolution factors; writes: sourceRedrawn, redrawnLeft, redrawnTop
    const PF_LayerDef& shownSource(const PF_LayerDef& layer, RedrawnSource& redrawn);
    bool sourceToWorldRead = false;  // this frame's transform was read before its image
    A_Matrix4 sourceToWorld = {};
    A_Err sourceToWorldErr = A_Err_NONE;
    bool sourceRedrawn = false;               // this frame's image is the redrawn Source
    int32_t redrawnLeft = 0, redrawnTop = 0;  // its top-left corner in the composition

    // ---- One coordinate space: sites are compared with image points in full resolution
    float pixelAspect = 1.0f;  // the input record's pixel aspect (positions do not scale by it)
    bool sitesAreCompPositions = false;  // this frame's sites are the layers' own Positions
    std::vector<bool> placedAtSite;      // this frame: layer j's position is its site's
    // Where each layer's visible rectangle was last centred: its site in composition pixels, or
    // its Position where it kept its own. Minimum Assignment measures moves from there.
    std::vector<Point2D> visibleCentres;
    // An image point in full-resolution coordinates (the conversion every generated site gets).
    Point2D fullResolution(const Point2D& imagePoint) const;
    // The inverse: the image point a full-resolution point lies on.
    Point2D imagePoint(const Point2D& fullResPoint) const;
    // Centre of the opaque bounds (sums in integers), in image coordinates.
    Point2D shapeCentre() const;
    // Centre of the whole image (the "comp centre" of the orderings), in image coordinates.
    Point2D imageCentre() const;
    Point2D shapeCentreFullRes() const { return fullResolution(shapeCentre()); }
    Point2D imageCentreFullRes() const { return fullResolution(imageCentre()); }
    // Frames the run evaluates: frameList within MaxFrames and within every per-frame setting.
    int evaluatedFrameCount() const;
    // A setting of the "Shape" group at frame index f, or its default past the list's end.
    template <class T>
    static T shapeSetting(const std::vector<T>& perFrame, int f, T dflt) {
        return f >= 0 && size_t(f) < perFrame.size() ? T(perFrame[size_t(f)]) : dflt;
    }
    // Growth at frame f also stops layers at the shape's edge (Keep Inside Shape).
    bool keepsInsideShape(int f) const;
    // Prevent Overlap sizes layers at frame f, and those below Min Size are hidden.
    bool hidesSmallLayers(int f) const;

    // ---- Following the shape (Follow Shape Changes)
    // Layer j's site at the last evaluated frame, in image coordinates, and that frame's opaque
    // bounds; empty when the next frame cannot follow it.
    std::vector<Point2D> followedSites;
    // The shape's frame at the last evaluated frame: its mean x, y and spread x, y, by alpha.
    double followedFrame[4] = {0, 0, 1, 1};
    double followSampleStep[2] = {1, 1};  // the samples' lattice in spreads, set afresh
    bool sitesFollowLayers = false;       // this frame: site j is layer j's, no reassignment
    bool sitesSettled = false;            // this fresh frame's sites were settled for following
    FollowState follow;
    // Frame f adapts the frame before's layout: the control is on, that frame left a layout,
    // and the Seed did not change.
    bool followsFrameBefore(int f) const;
    // Keeps (after the assignment) this frame's sites per layer for the next frame.
    void keepFollowedSites(int frameIndex);
    // The frame before's sites carried onto this frame's shape; relaxed (Organic) or not.
    void getFollowingSites(bool relax);
    // Whether this frame's shape (its alpha over the threshold) is the frame before's to the
    // pixel: a held frame, which keeps the frame before's sites as they were placed.
    bool shapeUnchanged() const;
    // This frame's mean and spread of the shape, weighted by alpha.
    void shapeFrame(double out[4]) const;
    // Lloyd rounds over samples fixed in the shape's frame (so that they move with it), weighted
    // by alpha; fresh: the lattice's step is chosen from this frame.
    void settleOverCarriedSamples(bool fresh);
    // The Lloyd rounds of settleOverCarriedSamples over follow.lattice; a followed frame keeps
    // each site's offset from its cell's centroid (scaled by the carry's scale); no site ends
    // farther than mostMove from where it started.
    void relaxOverLattice(bool fresh, const double scale[2], double mostMove = HUGE_VAL);
    // Whether the shape moved with its frame (else it changed in place) since the frame before.
    bool carriesWithFrame(const double a[4], const double b[4]) const;
    // After the growth: a followed layer grows a bounded step over its size the frame before.
    void limitFollowedGrowth(int f);
    // The nearest point on the shape to p (p itself when it is on the shape).
    Point2D nearestPointOnShape(const Point2D& p) const;
    // Grid and Radial: the chosen cells taken by the layers nearest to them.
    void followOntoCandidates(std::vector<Point2D> candidates);

    // ---- Placement
    // reads: positionModes, cellShapes, hasImage, the image, positions (the frame before, after a
    // failed read); writes: sites, sitesAreCompPositions
    void getPoints(A_Time time, int frameIndex);
    void getGridPointsInShape(int columns, float aspect, std::vector<Point2D>& out) const;
    void getRadialPointsInShape(int rings, std::vector<Point2D>& out) const;
    // getGridPointsInShape(columns, aspect).size(), without building the list.
    size_t countGridPointsInShape(int columns, float aspect) const;
    // Counts, work and upper bounds that let the Grid and Radial searches skip and stop.
    CandidateCounts gridCandidateCounts(float aspect) const;
    CandidateCounts radialCandidateCounts() const;
    Point2D getPreviousPosKeyValue(AEGP_StreamRefH stream, A_Time time);
    void getOrganicPoints();
    void moveToCentroid(MySitePoint& site) const;
    // Grid (columns) and Radial (rings) sites picked from their candidate points.
    void getCandidateSites(bool grid, A_Time time, int frameIndex);
    // One random point of the shape per layer (Random, and Grid on a shape no grid can fill).
    void getRandomSites();
    float gridCellAspect(A_Time time, CellShape shape);
    // Sites at the layers' own Position (Use Previous Value, Ignore, frames without shape).
    void getLayerPositionSites(A_Time time, int frameIndex);
    void reportEmptyCells(int excess);
    // Composition position of a site (layer-to-world mapping and the shape/text adjustment).
    Point2D compPosition(const Point2D& site, const A_Matrix4& toWorld) const;
    // reads: positionModes, layerOrders, sites, sitesAreCompPositions, sourceLayer,
    // sourceToWorld*, sourceRedrawn, redrawnLeft, redrawnTop, sourceLayerType, sourcePosition,
    // compWidth, compHeight, the image (its centres), positions
    // and visibleCentres (the frame before); writes: layerOrders (Random where Position is Ignore),
    // sites (sorted), assignmentIds, positions, placedAtSite, visibleCentres; reads and writes
    // assignmentWarmStart
    void getAssignmentIdsAndPositions(A_Time time, int frameIndex);

    // ---- Attributes
    // reads: rotationModes, scaleModes, preventOverlaps, minRotations, maxRotations,
    // assignmentIds, sites, the image, rotations (earlier frames); writes: sites' rotation,
    // rotations
    void getRotations(A_Time time, int frameIndex);
    // reads: opacityModes, minOpacities, maxOpacities, hideBelowMinSizes, assignmentIds, sites
    // (their hidden flags), the image; writes: sites' opacity, opacities, unhiddenOpacities
    void getOpacities(A_Time time, int frameIndex);
    float getOrientTowardsCenterRotation(const Point2D& centre, const Point2D& point) const;
    float getPreviousRotKeyValue(AEGP_StreamRefH stream, A_Time time);
    float getPreviousOpaKeyValue(AEGP_StreamRefH stream, A_Time time);
    // reads: scaleModes, preventOverlaps, sitesAreCompPositions, assignmentIds; writes: sites'
    // sizes and centre offsets
    void getInitialSitesDimensions(A_Time time, int frameIndex);
    // reads: scaleModes, preventOverlaps, minSizes, maxSizes, rescaleFactors, hasImage,
    // keepInsideShapes, overhangs, hideBelowMinSizes, fillGaps, sitesAreCompPositions,
    // assignmentIds, placedAtSite, sites, the image, scales (earlier frames); writes: sites' sizes
    // and hidden flags, scales; with Fill Gaps also sites' positions and the frame's positions
    // and visibleCentres of the layers placed at them
    void getScales(A_Time time, int frameIndex);
    float getPreviousScaKeyValue(AEGP_StreamRefH stream, A_Time time);
    // Moves each placed layer's Position so that its visible rectangle, not its anchor point, is
    // centred on its site, as the layer is scaled and turned at the frame.
    // reads: placedAtSite, scaleModes, rotationModes, scales, rotations; writes: positions
    void centreVisibleRectangles(A_Time time, int frameIndex);

    // ---- Animation output
    // reads: offsetMethods, sites, assignmentIds, the image (its centres); writes: offsets
    void getOffsets(A_Time time, int frameIndex);
    // Writes the layer's keys (and through setSpatialInterpolation its tangents) to the host.
    // reads: the four modes and active flags, framesToRender, forceKeyframing, motionBlur,
    // compCurrentTime, frameList, frameSeconds, offsetFrames, offsets, positions, scales,
    // rotations, opacities, spatialPresets, outTangents, inTangents; writes: nothing
    void keyframeLayer(int layer);
    // Frees layer j's positions, rotations, scales and opacities (the ease script reads offsets).
    void releaseKeyedRows(int j);
    void setSpatialInterpolation(int layer, std::vector<int> keyIndices);
    // reads: compItemId, the four modes and active flags, frameList, frameSeconds, offsetFrames,
    // offsets, speedsIn, influencesIn, speedsOut, influencesOut, temporalPresets; writes: nothing
    void setTemporalInterpolationWithScript();
    // reads: removeKeysFirst; writes: nothing (the layers' keys on the host)
    void removeKeys();
    void removeStreamKeys(AEGP_StreamRefH stream);
};
