#pragma once
// Pictures of the simulated composition: every visible layer drawn through its animated
// transform, the Source layer faint underneath, optionally the Position paths on top.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/model/Model.h"

namespace sim {

struct RenderOptions {
    bool paths = false;       // draw the Position paths of animated layers
    bool sourceFaint = true;  // draw the Source layer at low opacity underneath everything
    double sourceOpacity = 0.25;
    std::array<uint8_t, 4> background{32, 32, 36, 255};  // RGBA behind the layers
    double scale = 1.0;  // of renderFrame's and renderPreviews' frame pictures (at least 1 px)
};

// Renders the composition at a time into a PNG of the composition's size. sourceLayerId is the
// id of the Source layer (0: none); it is drawn faint (or not at all) instead of normally.
void renderFrame(const Project& project, double seconds, const std::string& pngPath,
                 const RenderOptions& options, int sourceLayerId = 0);

// Renders frame_NNNN.png (NNNN = composition frame number) for every time into outDir, in time
// order and once per frame, and a contact sheet preview.png with those frames side by side,
// scaled down and labelled with their times. Each file appears whole or not at all. Returns the
// names written, preview.png last.
std::vector<std::string> renderPreviews(const Project& project, const std::vector<double>& times,
                                        const std::string& outDir, const RenderOptions& options,
                                        int sourceLayerId = 0);

// Premultiplied ARGB as 32-bit words in native byte order (cairo's ARGB32), rows packed.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// Renders frame after frame of one composition, keeping the images it has read.
class FrameRenderer {
  public:
    FrameRenderer(const Project& project, const RenderOptions& options, int sourceLayerId = 0);
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // The composition at a time as renderFrame draws it, scaled to width x height.
    Picture render(double seconds, int width, int height);

  private:
    struct Cache;
    const Project& project_;
    RenderOptions options_;
    int sourceLayerId_;
    std::unique_ptr<Cache> cache_;
};

// count evenly spaced frame times of the work area (first and last frame included), in order,
// without repeats.
std::vector<double> workAreaTimes(const Comp& comp, int count);

// Where the contact sheet puts its thumbnails.
struct SheetLayout {
    int columns = 0, rows = 0;
    int thumbWidth = 0, thumbHeight = 0;
    int width = 0, height = 0;  // of the whole sheet
    static constexpr int kPad = 8, kLabel = 20, kMaxColumns = 5, kMaxThumbWidth = 320;
};
SheetLayout contactSheetLayout(int compWidth, int compHeight, int count);

// The contact sheet shows at most this many frames (evenly chosen); every frame still gets its
// own picture.
constexpr size_t kMaxSheetFrames = 60;

}  // namespace sim
