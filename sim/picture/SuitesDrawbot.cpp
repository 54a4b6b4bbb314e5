// The drawing suites of custom UI, over a cairo image surface that stands in for the Effect
// Controls panel.
#include <cairo.h>

#include <cstring>

#include "adobesdk/DrawbotSuite.h"
#include "sim/core/HostImpl.h"

namespace sim {

namespace {

using Impl = Host::Impl;

bool isDrawRef(Impl& h, DRAWBOT_DrawRef ref) {
    return ref == reinterpret_cast<DRAWBOT_DrawRef>(&h.drawRefToken);
}

bool isSurface(Impl& h, DRAWBOT_SurfaceRef ref) {
    return h.surface && ref == reinterpret_cast<DRAWBOT_SurfaceRef>(&h.surfaceToken);
}

SPErr getSupplier(DRAWBOT_DrawRef ref, DRAWBOT_SupplierRef* supplier) {
    return serve("GetSupplier", [&](Impl& h) -> SPErr {
        if (!isDrawRef(h, ref) || !supplier) return A_Err_PARAMETER;
        *supplier = reinterpret_cast<DRAWBOT_SupplierRef>(&h.supplierToken);
        return kSPNoError;
    });
}

SPErr getSurface(DRAWBOT_DrawRef ref, DRAWBOT_SurfaceRef* surface) {
    return serve("GetSurface", [&](Impl& h) -> SPErr {
        if (!isDrawRef(h, ref) || !surface || !h.surface) return A_Err_PARAMETER;
        *surface = reinterpret_cast<DRAWBOT_SurfaceRef>(&h.surfaceToken);
        return kSPNoError;
    });
}

// One pixel of a buffer as premultiplied ARGB in cairo's native 32-bit word.
uint32_t premultiplied(const uint8_t* p, DRAWBOT_PixelLayout layout) {
    const bool bgra = layout == kDRAWBOT_PixelLayout_32BGRA_Straight ||
                      layout == kDRAWBOT_PixelLayout_32BGRA_Premul;
    const bool straight = layout == kDRAWBOT_PixelLayout_32BGRA_Straight ||
                          layout == kDRAWBOT_PixelLayout_32ARGB_Straight;
    const uint32_t a = bgra ? p[3] : p[0];
    uint32_t r = bgra ? p[2] : p[1], g = bgra ? p[1] : p[2], b = bgra ? p[0] : p[3];
    if (straight) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
    }
    return a << 24 | r << 16 | g << 8 | b;
}

bool supportedLayout(DRAWBOT_PixelLayout layout) {
    return layout >= kDRAWBOT_PixelLayout_32ARGB_Straight &&
           layout <= kDRAWBOT_PixelLayout_32BGRA_Premul;
}

SPErr newImageFromBuffer(DRAWBOT_SupplierRef supplier, int width, int height, int rowBytes,
                         DRAWBOT_PixelLayout layout, const void* data, DRAWBOT_ImageRef* image) {
    return serve("NewImageFromBuffer", [&](Impl& h) -> SPErr {
        if (supplier != reinterpret_cast<DRAWBOT_SupplierRef>(&h.supplierToken) || !data ||
            !image || width <= 0 || height <= 0 || rowBytes < width * 4 ||
            !supportedLayout(layout)) {
            return A_Err_PARAMETER;
        }
        DrawImage made;
        made.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        unsigned char* dst = cairo_image_surface_get_data(made.surface);
        const int stride = cairo_image_surface_get_stride(made.surface);
        const auto* src = static_cast<const uint8_t*>(data);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t v =
                    premultiplied(src + size_t(y) * rowBytes + size_t(x) * 4, layout);
                std::memcpy(dst + size_t(y) * stride + size_t(x) * 4, &v, 4);
            }
        }
        cairo_surface_mark_dirty(made.surface);
        *image = static_cast<DRAWBOT_ImageRef>(h.images.add(std::move(made)));
        return kSPNoError;
    });
}

SPErr releaseObject(DRAWBOT_ObjectRef object) {
    return serve("ReleaseObject", [&](Impl& h) -> SPErr {
        if (!h.images.remove(object)) return A_Err_PARAMETER;
        return kSPNoError;
    });
}

SPErr answer(DRAWBOT_Boolean* out, bool value) {
    if (!out) return A_Err_PARAMETER;
    *out = value;
    return kSPNoError;
}

SPErr drawImage(DRAWBOT_SurfaceRef surface, DRAWBOT_ImageRef image, const DRAWBOT_PointF32* origin,
                float alpha) {
    return serve("DrawImage", [&](Impl& h) -> SPErr {
        DrawImage* picture = h.images.find(image);
        if (!isSurface(h, surface) || !picture || !origin) return A_Err_PARAMETER;
        cairo_t* cr = cairo_create(h.surface);
        cairo_set_source_surface(cr, picture->surface, origin->x, origin->y);
        cairo_paint_with_alpha(cr, alpha);
        cairo_destroy(cr);
        return kSPNoError;
    });
}

SPErr paintRect(DRAWBOT_SurfaceRef surface, const DRAWBOT_ColorRGBA* color,
                const DRAWBOT_RectF32* rect) {
    return serve("PaintRect", [&](Impl& h) -> SPErr {
        if (!isSurface(h, surface) || !color || !rect) return A_Err_PARAMETER;
        cairo_t* cr = cairo_create(h.surface);
        cairo_set_source_rgba(cr, color->red, color->green, color->blue, color->alpha);
        cairo_rectangle(cr, rect->left, rect->top, rect->width, rect->height);
        cairo_fill(cr);
        cairo_destroy(cr);
        return kSPNoError;
    });
}

SPErr surfaceNoOp(DRAWBOT_SurfaceRef surface) {
    return serve("Flush", [&](Impl& h) -> SPErr {
        return isSurface(h, surface) ? SPErr(kSPNoError) : SPErr(A_Err_PARAMETER);
    });
}

const DRAWBOT_DrawbotSuite1* drawSuite() {
    static const DRAWBOT_DrawbotSuite1 suite{&getSupplier, &getSurface};
    return &suite;
}

const DRAWBOT_SupplierSuite1* supplierSuite() {
    static const DRAWBOT_SupplierSuite1 suite = [] {
        DRAWBOT_SupplierSuite1 s{};
        s.NewImageFromBuffer = &newImageFromBuffer;
        s.ReleaseObject = &releaseObject;
        s.SupportsText = [](DRAWBOT_SupplierRef, DRAWBOT_Boolean* b) { return answer(b, false); };
        s.SupportsPixelLayoutBGRA = [](DRAWBOT_SupplierRef, DRAWBOT_Boolean* b) {
            return answer(b, true);
        };
        s.PrefersPixelLayoutBGRA = [](DRAWBOT_SupplierRef, DRAWBOT_Boolean* b) {
            return answer(b, true);
        };
        s.SupportsPixelLayoutARGB = [](DRAWBOT_SupplierRef, DRAWBOT_Boolean* b) {
            return answer(b, true);
        };
        s.PrefersPixelLayoutARGB = [](DRAWBOT_SupplierRef, DRAWBOT_Boolean* b) {
            return answer(b, false);
        };
        notServed(s.NewPen, s.NewBrush, s.GetDefaultFontSize, s.NewDefaultFont, s.NewPath,
                  s.RetainObject);
        return s;
    }();
    return &suite;
}

const DRAWBOT_SurfaceSuite2* surfaceSuite() {
    static const DRAWBOT_SurfaceSuite2 suite = [] {
        DRAWBOT_SurfaceSuite2 s{};
        s.DrawImage = &drawImage;
        s.PaintRect = &paintRect;
        s.Flush = &surfaceNoOp;
        notServed(s.PushStateStack, s.PopStateStack, s.FillPath, s.StrokePath, s.Clip,
                  s.GetClipBounds, s.IsWithinClipBounds, s.Transform, s.DrawString,
                  s.SetInterpolationPolicy, s.GetInterpolationPolicy, s.SetAntiAliasPolicy,
                  s.GetAntiAliasPolicy, s.GetTransformToScreenScale);
        return s;
    }();
    return &suite;
}

const DRAWBOT_PathSuite1* pathSuite() {
    static const DRAWBOT_PathSuite1 suite = [] {
        DRAWBOT_PathSuite1 s{};
        notServed(s.MoveTo, s.LineTo, s.BezierTo, s.AddRect, s.AddArc, s.Close);
        return s;
    }();
    return &suite;
}

}  // namespace

const void* drawbotSuite(const std::string& name, int version) {
    if (name == kDRAWBOT_DrawSuite && version == 1) return drawSuite();
    if (name == kDRAWBOT_SupplierSuite && version == 1) return supplierSuite();
    if (name == kDRAWBOT_SurfaceSuite && (version == 1 || version == 2)) return surfaceSuite();
    if (name == kDRAWBOT_PathSuite && version == 1) return pathSuite();
    return nullptr;
}

}  // namespace sim
