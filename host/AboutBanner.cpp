// The About banner, drawn in the custom control area of the first parameter.
#include <cstring>

#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "AE_Macros.h"
#include "host/GlobalData.h"
#include "host/Handlers.h"
#include "host/BannerImage.inc"

namespace {

constexpr int kBannerWidth = 250, kBannerHeight = 35, kBannerRowBytes = kBannerWidth * 4;
constexpr A_long kBannerBytes = kBannerRowBytes * kBannerHeight;
static_assert(sizeof headerImgData == kBannerBytes, "the banner is 250 x 35 BGRA pixels");

constexpr PF_ParamIndex kAboutParam = 1;

// Where the banner goes: the panel's drawing supplier and surface.
struct Canvas {
    DRAWBOT_Suites suites;
    DRAWBOT_SupplierRef supplier;
    DRAWBOT_SurfaceRef surface;
};

PF_Err drawingReference(PF_InData* in_data, PF_OutData* out_data, PF_ContextH context,
                        DRAWBOT_DrawRef* reference) {
    PF_EffectCustomUISuite1* customUI = nullptr;
    PF_Err err =
        AEFX_AcquireSuite(in_data, out_data, kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1,
                          nullptr, reinterpret_cast<void**>(&customUI));
    if (err) return err;
    err = customUI->PF_GetDrawingReference(context, reference);
    // Released whenever it was acquired, also after a failed look-up.
    PF_Err err2 = PF_Err_NONE;
    ERR2(AEFX_ReleaseSuite(in_data, out_data, kPFEffectCustomUISuite,
                           kPFEffectCustomUISuiteVersion1, nullptr));
    return err;
}

// The drawing suites, then the drawing reference of the event's context, its supplier and its
// surface; each step only after every earlier one succeeded.
PF_Err openCanvas(PF_InData* in_data, PF_OutData* out_data, PF_ContextH context, Canvas* canvas) {
    DRAWBOT_DrawRef reference = nullptr;
    PF_Err err = AEFX_AcquireDrawbotSuites(in_data, out_data, &canvas->suites);
    ERR(drawingReference(in_data, out_data, context, &reference));
    ERR(canvas->suites.drawbot_suiteP->GetSupplier(reference, &canvas->supplier));
    ERR(canvas->suites.drawbot_suiteP->GetSurface(reference, &canvas->surface));
    return err;
}

// The first draw event after Global Setup asks the host for one re-render; later ones do not.
PF_Err applyRedrawRule(PF_InData* in_data, PF_OutData* out_data) {
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    GlobalDataLock global(suites, in_data->global_data);
    if (!global.get()) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    if (global.get()->redrawPending) {
        out_data->out_flags |= PF_OutFlag_FORCE_RERENDER;
        global.get()->redrawPending = 0;
    } else {
        out_data->out_flags &= ~PF_OutFlag_FORCE_RERENDER;
    }
    return PF_Err_NONE;
}

// The banner unscaled with its top-left corner at (left, top), from a copy in a host buffer.
PF_Err drawBanner(PF_InData* in_data, const Canvas& canvas, const PF_Rect& frame) {
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    PF_HandleSuite1* handles = suites.HandleSuite1();
    PF_Handle buffer = handles->host_new_handle(kBannerBytes);
    if (!buffer) return PF_Err_OUT_OF_MEMORY;
    void* pixels = handles->host_lock_handle(buffer);
    PF_Err err = pixels ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    DRAWBOT_ImageRef image = nullptr;
    if (pixels) {
        std::memcpy(pixels, headerImgData, kBannerBytes);
        err = canvas.suites.supplier_suiteP->NewImageFromBuffer(
            canvas.supplier, kBannerWidth, kBannerHeight, kBannerRowBytes,
            kDRAWBOT_PixelLayout_32BGRA_Straight, pixels, &image);
    }
    if (!err) {
        const DRAWBOT_PointF32 origin{float(frame.left), float(frame.top)};
        err = canvas.suites.surface_suiteP->DrawImage(canvas.surface, image, &origin, 1.0f);
    }
    PF_Err err2 = PF_Err_NONE;
    if (image)
        ERR2(canvas.suites.supplier_suiteP->ReleaseObject(
            reinterpret_cast<DRAWBOT_ObjectRef>(image)));
    if (pixels) handles->host_unlock_handle(buffer);
    handles->host_dispose_handle(buffer);
    return err;
}

bool isAboutControl(const PF_EffectWindowInfo& win) {
    return win.area == PF_EA_CONTROL && win.index == kAboutParam;
}

}  // namespace

PF_Err DrawEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*,
                 PF_EventExtra* extra) {
    Canvas canvas{};
    PF_Err err = openCanvas(in_data, out_data, extra->contextH, &canvas);
    PF_Err err2 = PF_Err_NONE;
    try {
        ERR2(applyRedrawRule(in_data, out_data));
        if (!err && isAboutControl(extra->effect_win))
            err = drawBanner(in_data, canvas, extra->effect_win.current_frame);
    } catch (A_long thrown) {
        // A missing suite ends the command, but the drawing suites still go back.
        if (!err) err = thrown;
    }
    ERR2(AEFX_ReleaseDrawbotSuites(in_data, out_data));
    if (!err) extra->evt_out_flags = PF_EO_HANDLED_EVENT;
    return err;
}
