// Custom UI events: the panel surface the plug-in draws on through the drawing suites.
#include <cairo.h>

#include <algorithm>
#include <stdexcept>

#include "sim/core/HostImpl.h"
#include "sim/picture/PngOut.h"

namespace sim {

void destroySurface(cairo_surface_t* surface) {
    if (surface) cairo_surface_destroy(surface);
}

PF_Err Host::event(PF_EventExtra& extra) {
    Impl& h = *impl_;
    if (!h.surface) {
        const PF_Rect& f = extra.effect_win.current_frame;
        h.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, f.right),
                                               std::max(1, f.bottom));
    }
    extra.contextH = &h.contextPtr;
    return command(PF_Cmd_EVENT, &extra);
}

PF_Err Host::drawEvent(int paramIndex, int area, const PF_Rect& frame, PF_EventOutFlags* outFlags) {
    Impl& h = *impl_;
    if (h.surface) cairo_surface_destroy(h.surface);
    h.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, frame.right),
                                           std::max(1, frame.bottom));
    PF_EventExtra extra{};
    extra.e_type = PF_Event_DRAW;
    extra.u.draw.update_rect = frame;
    extra.effect_win.index = paramIndex;
    extra.effect_win.area = area;
    extra.effect_win.current_frame = frame;
    const PF_Err err = event(extra);
    if (outFlags) *outFlags = extra.evt_out_flags;
    return err;
}

cairo_surface_t* Host::drawingSurface() const {
    return impl_->surface;
}

bool Host::saveDrawingPng(const std::string& path) const {
    if (!impl_->surface) return false;
    try {
        writeSurfacePng(impl_->surface, path);
    } catch (const std::runtime_error&) {
        return false;
    }
    return true;
}

}  // namespace sim
