// The effect-side suites: Info panel (Adv App), parameter UI updates, handles, worlds and the
// custom UI drawing reference.
#include <cstdio>

#include "AE_AdvEffectSuites.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "sim/core/HostImpl.h"

namespace sim {

namespace {

using Impl = Host::Impl;

// ---------------------------------------------------------------- PF AE Adv App

PF_Err infoDrawText(const A_char* line1, const A_char* line2) {
    (void)line2;
    return serve("PF_InfoDrawText", [&](Impl& h) -> PF_Err {
        h.records.info.emplace_back(line1 ? line1 : "");
        if (h.echoInfo) std::fprintf(stderr, "%s\n", h.records.info.back().c_str());
        return PF_Err_NONE;
    });
}

PF_Err infoDrawText3(const A_char* line1, const A_char* line2, const A_char*) {
    return infoDrawText(line1, line2);
}

PF_Err quietly() {
    return PF_Err_NONE;
}

const PF_AdvAppSuite2* advAppSuite() {
    static const PF_AdvAppSuite2 suite = [] {
        PF_AdvAppSuite2 s{};
        s.PF_SetProjectDirty = &quietly;
        s.PF_SaveProject = &quietly;
        s.PF_SaveBackgroundState = &quietly;
        s.PF_ForceForeground = &quietly;
        s.PF_RestoreBackgroundState = &quietly;
        s.PF_RefreshAllWindows = &quietly;
        s.PF_InfoDrawText = &infoDrawText;
        s.PF_InfoDrawText3 = &infoDrawText3;
        notServed(s.PF_InfoDrawColor, s.PF_InfoDrawText3Plus, s.PF_AppendInfoText);
        return s;
    }();
    return &suite;
}

// ---------------------------------------------------------------- PF Param Utils

// Keeps what the host lets an effect change of a registered parameter's UI.
PF_Err updateParamUI(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef* def) {
    return serve("PF_UpdateParamUI", [&](Impl& h) -> PF_Err {
        if (!h.isEffectRef(ref) || !def || index < 1 || index >= PF_ParamIndex(h.defs.size())) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        PF_ParamDef& stored = h.defs[index];
        stored.ui_flags = def->ui_flags;
        stored.ui_width = def->ui_width;
        stored.ui_height = def->ui_height;
        return PF_Err_NONE;
    });
}

const PF_ParamUtilsSuite3* paramUtilsSuite() {
    static const PF_ParamUtilsSuite3 suite{&updateParamUI};
    return &suite;
}

// ---------------------------------------------------------------- PF Handle, PF World

const PF_HandleSuite1* handleSuite() {
    static const PF_HandleSuite1 suite{&newHandle,     &lockHandle, &unlockHandle,
                                       &disposeHandle, &handleSize, &resizeHandle};
    return &suite;
}

PF_Err newWorld2(PF_ProgPtr ref, A_long w, A_long h, PF_Boolean, PF_PixelFormat format,
                 PF_EffectWorld* world) {
    return newWorldOp("PF_NewWorld", ref, w, h, format, world);
}

PF_Err disposeWorld2(PF_ProgPtr ref, PF_EffectWorld* world) {
    return disposeWorldOp("PF_DisposeWorld", ref, world);
}

// The format the host gave the world; a world it does not know by its flags.
PF_Err getPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    return serve("PF_GetPixelFormat", [&](Impl& h) -> PF_Err {
        if (!world || !format) return PF_Err_BAD_CALLBACK_PARAM;
        const World* known = h.worldOf(world);
        *format = known                                      ? known->format
                  : (world->world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64
                                                             : PF_PixelFormat_ARGB32;
        return PF_Err_NONE;
    });
}

const PF_WorldSuite2* worldSuite2() {
    static const PF_WorldSuite2 suite{&newWorld2, &disposeWorld2, &getPixelFormat};
    return &suite;
}

const PF_WorldSuite1* worldSuite1() {
    static const PF_WorldSuite1 suite = [] {
        PF_WorldSuite1 s{};
        s.new_world = [](PF_ProgPtr ref, A_long w, A_long h, PF_NewWorldFlags flags,
                         PF_EffectWorld* world) {
            return newWorldOp("new_world", ref, w, h,
                              (flags & PF_NewWorldFlag_DEEP_PIXELS) ? PF_PixelFormat_ARGB64
                                                                    : PF_PixelFormat_ARGB32,
                              world);
        };
        s.dispose_world = [](PF_ProgPtr ref, PF_EffectWorld* world) {
            return disposeWorldOp("dispose_world", ref, world);
        };
        return s;
    }();
    return &suite;
}

// ---------------------------------------------------------------- PF Effect Custom UI

PF_Err getDrawingReference(const PF_ContextH context, DRAWBOT_DrawRef* reference) {
    return serve("PF_GetDrawingReference", [&](Impl& h) -> PF_Err {
        if (context != &h.contextPtr || !reference) return PF_Err_BAD_CALLBACK_PARAM;
        *reference = h.context.reserved_drawref;
        return PF_Err_NONE;
    });
}

const PF_EffectCustomUISuite2* customUISuite() {
    static const PF_EffectCustomUISuite2 suite = [] {
        PF_EffectCustomUISuite2 s{};
        s.PF_GetDrawingReference = &getDrawingReference;
        notServed(s.PF_GetContextAsyncManager);
        return s;
    }();
    return &suite;
}

}  // namespace

const void* effectSuite(const std::string& name, int version) {
    if (name == kPFAdvAppSuite && (version == 1 || version == 2)) return advAppSuite();
    if (name == kPFParamUtilsSuite && (version == 2 || version == 3)) return paramUtilsSuite();
    if (name == kPFHandleSuite && version == kPFHandleSuiteVersion1) return handleSuite();
    if (name == kPFWorldSuite && version == 2) return worldSuite2();
    if (name == kPFWorldSuite && version == 1) return worldSuite1();
    if (name == kPFEffectCustomUISuite && (version == 1 || version == 2)) return customUISuite();
    return nullptr;
}

}  // namespace sim
