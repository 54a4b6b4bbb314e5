// The host's core without cairo and FFmpeg (the Windows build): there is no Effect Controls
// panel to draw on and no picture or video is written, so draw events, the drawing suites,
// previews and videos are refused with a message saying so.
#include <stdexcept>

#include "sim/core/HostImpl.h"
#include "sim/picture/Render.h"
#include "sim/picture/Video.h"

namespace sim {

namespace {

[[noreturn]] void notBuilt(const std::string& what) {
    throw std::runtime_error(what + " needs the Linux build of tessaron (drawn with cairo); " +
                             "run with --no-preview and without --video");
}

}  // namespace

void destroySurface(cairo_surface_t*) {}

const void* drawbotSuite(const std::string&, int) {
    return nullptr;
}

PF_Err Host::event(PF_EventExtra&) {
    notBuilt("drawing in the Effect Controls");
}

PF_Err Host::drawEvent(int, int, const PF_Rect&, PF_EventOutFlags*) {
    notBuilt("drawing in the Effect Controls");
}

cairo_surface_t* Host::drawingSurface() const {
    return nullptr;
}

bool Host::saveDrawingPng(const std::string&) const {
    return false;
}

void renderFrame(const Project&, double, const std::string&, const RenderOptions&, int) {
    notBuilt("rendering frames");
}

std::vector<std::string> renderPreviews(const Project&, const std::vector<double>&,
                                        const std::string&, const RenderOptions&, int) {
    notBuilt("rendering previews");
}

std::vector<double> workAreaTimes(const Comp&, int) {
    notBuilt("rendering previews");
}

void writeVideo(const Project&, const VideoPlan&, const RenderOptions&, int, std::ostream*) {
    notBuilt("rendering a video");
}

}  // namespace sim
