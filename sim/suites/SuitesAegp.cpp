// The utility suite (messages, undo, registration, scripts), memory handles, the effect's own
// layer and effect reference, and which general suite serves a name.
#include <cmath>
#include <string>

#include "AE_GeneralPlug.h"
#include "sim/suites/AegpSuites.h"
#include "sim/script/Script.h"
#include "sim/model/LayerTime.h"
#include "sim/model/SourceFrame.h"

namespace sim {

namespace {

using Impl = Host::Impl;

// ---------------------------------------------------------------- Utility

A_Err reportInfo(AEGP_PluginID, const A_char* text) {
    return serve("AEGP_ReportInfo", [&](Impl& h) -> A_Err {
        if (!text) return A_Err_PARAMETER;
        h.showMessage(text, true);
        return A_Err_NONE;
    });
}

A_Err startUndoGroup(const A_char* name) {
    return serve("AEGP_StartUndoGroup", [&](Impl& h) -> A_Err {
        if (!name) return A_Err_PARAMETER;
        h.startUndo(name);
        return A_Err_NONE;
    });
}

A_Err endUndoGroup() {
    return serve("AEGP_EndUndoGroup",
                 [&](Impl& h) -> A_Err { return h.endUndo() ? A_Err_NONE : A_Err_GENERIC; });
}

A_Err registerWithAegp(AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
    return serve("AEGP_RegisterWithAEGP", [&](Impl& h) -> A_Err {
        if (!name || !id) return A_Err_PARAMETER;
        *id = h.lastPluginId = h.nextPluginId++;
        return A_Err_NONE;
    });
}

// ---------------------------------------------------------------- Memory

// A new handle holding the text and its terminating NUL, counted as a "memory" object.
AEGP_MemHandle newTextHandle(Impl& h, const std::string& text) {
    void* key = h.memory.add(MemoryBlock{});
    MemoryBlock* block = h.memory.find(key);
    block->bytes.assign(text.begin(), text.end());
    block->bytes.push_back('\0');
    block->data = block->bytes.data();
    return static_cast<AEGP_MemHandle>(key);
}

A_Err newMemHandle(AEGP_PluginID, const A_char* what, AEGP_MemSize size, AEGP_MemFlag,
                   AEGP_MemHandle* mem) {
    return serve("AEGP_NewMemHandle", [&](Impl& h) -> A_Err {
        if (!what || !mem) return A_Err_PARAMETER;
        *mem = newTextHandle(h, std::string(size_t(size), '\0'));
        return A_Err_NONE;
    });
}

A_Err freeMemHandle(AEGP_MemHandle mem) {
    return serve("AEGP_FreeMemHandle", [&](Impl& h) -> A_Err {
        if (!h.memory.remove(mem)) return A_Err_PARAMETER;
        return A_Err_NONE;
    });
}

A_Err lockMemHandle(AEGP_MemHandle mem, void** ptr) {
    return serve("AEGP_LockMemHandle", [&](Impl& h) -> A_Err {
        MemoryBlock* block = h.memory.find(mem);
        if (!block || !ptr) return A_Err_PARAMETER;
        ++block->locks;
        *ptr = block->data;
        return A_Err_NONE;
    });
}

A_Err unlockMemHandle(AEGP_MemHandle mem) {
    return serve("AEGP_UnlockMemHandle", [&](Impl& h) -> A_Err {
        MemoryBlock* block = h.memory.find(mem);
        if (!block || block->locks == 0) return A_Err_PARAMETER;
        --block->locks;
        return A_Err_NONE;
    });
}

A_Err getMemHandleSize(AEGP_MemHandle mem, AEGP_MemSize* size) {
    return serve("AEGP_GetMemHandleSize", [&](Impl& h) -> A_Err {
        MemoryBlock* block = h.memory.find(mem);
        if (!block || !size) return A_Err_PARAMETER;
        *size = AEGP_MemSize(block->bytes.size());
        return A_Err_NONE;
    });
}

const AEGP_MemorySuite1* memorySuite() {
    static const AEGP_MemorySuite1 suite = [] {
        AEGP_MemorySuite1 s{};
        s.AEGP_NewMemHandle = &newMemHandle;
        s.AEGP_FreeMemHandle = &freeMemHandle;
        s.AEGP_LockMemHandle = &lockMemHandle;
        s.AEGP_UnlockMemHandle = &unlockMemHandle;
        s.AEGP_GetMemHandleSize = &getMemHandleSize;
        notServed(s.AEGP_ResizeMemHandle, s.AEGP_SetMemReportingOn, s.AEGP_GetMemStats);
        return s;
    }();
    return &suite;
}

// ---------------------------------------------------------------- Utility (scripts)

// The script runs against the object model of the host's API version. Its completion value
// comes back as a text in a new handle when asked for (also after a failed script: the text is
// then empty), the error of a script that failed in the error handle; the caller frees both.
A_Err executeScriptOp(AEGP_PluginID, const A_char* script, const A_Boolean, AEGP_MemHandle* result,
                      AEGP_MemHandle* error) {
    return serve("AEGP_ExecuteScript", [&](Impl& h) -> A_Err {
        if (!script) return A_Err_PARAMETER;
        if (result) *result = nullptr;
        if (error) *error = nullptr;
        h.records.scripts.emplace_back(script);
        const size_t errorsBefore = h.records.scriptErrors.size();
        std::string completion;
        const bool ok = executeScript(h.project, h.records, script,
                                      ApiVersion{h.apiMajor, h.apiMinor}, &completion);
        if (result) *result = newTextHandle(h, completion);
        if (error) {
            const auto& errors = h.records.scriptErrors;
            *error = newTextHandle(h, ok || errors.size() == errorsBefore ? "" : errors.back());
        }
        return ok ? A_Err_NONE : A_Err_GENERIC;
    });
}

template <class Suite>
void fillUtility(Suite& s) {
    s.AEGP_ReportInfo = &reportInfo;
    s.AEGP_StartUndoGroup = &startUndoGroup;
    s.AEGP_EndUndoGroup = &endUndoGroup;
    s.AEGP_RegisterWithAEGP = &registerWithAegp;
    s.AEGP_ExecuteScript = &executeScriptOp;
    s.AEGP_IsScriptingAvailable = [](A_Boolean* available) -> A_Err {
        if (!available) return A_Err_PARAMETER;
        *available = true;
        return A_Err_NONE;
    };
    notServed(s.AEGP_GetDriverPluginInitFuncVersion, s.AEGP_GetDriverImplementationVersion,
              s.AEGP_StartQuietErrors, s.AEGP_EndQuietErrors, s.AEGP_GetLastErrorMessage,
              s.AEGP_GetMainHWND, s.AEGP_ShowHideAllFloaters, s.AEGP_PaintPalGetForeColor,
              s.AEGP_PaintPalGetBackColor, s.AEGP_PaintPalSetForeColor, s.AEGP_PaintPalSetBackColor,
              s.AEGP_CharPalGetFillColor, s.AEGP_CharPalGetStrokeColor, s.AEGP_CharPalSetFillColor,
              s.AEGP_CharPalSetStrokeColor, s.AEGP_CharPalIsFillColorUIFrontmost,
              s.AEGP_ConvertFpLongToHSFRatio, s.AEGP_ConvertHSFRatioToFpLong,
              s.AEGP_CauseIdleRoutinesToBeCalled, s.AEGP_GetSuppressInteractiveUI,
              s.AEGP_WriteToOSConsole, s.AEGP_WriteToDebugLog, s.AEGP_HostIsActivated,
              s.AEGP_GetPluginPlatformRef);
}

const void* utilitySuite(int version) {
    static const AEGP_UtilitySuite4 v4 = [] {
        AEGP_UtilitySuite4 s{};
        fillUtility(s);
        return s;
    }();
    static const AEGP_UtilitySuite5 v5 = [] {
        AEGP_UtilitySuite5 s{};
        fillUtility(s);
        notServed(s.AEGP_UpdateFontList);
        return s;
    }();
    if (version == kAEGPUtilitySuiteVersion4) return &v4;
    if (version == kAEGPUtilitySuiteVersion5) return &v5;
    return nullptr;
}

// ---------------------------------------------------------------- PF Interface, Effect

A_Err getEffectLayer(PF_ProgPtr ref, AEGP_LayerH* layer) {
    return serve("AEGP_GetEffectLayer", [&](Impl& h) -> A_Err {
        Layer* own = h.effectLayerPtr();
        if (!h.isEffectRef(ref) || !layer || !own) return A_Err_PARAMETER;
        *layer = static_cast<AEGP_LayerH>(h.layerHandle(own->id));
        return A_Err_NONE;
    });
}

A_Err getNewEffectForEffect(AEGP_PluginID, PF_ProgPtr ref, AEGP_EffectRefH* effect) {
    return serve("AEGP_GetNewEffectForEffect", [&](Impl& h) -> A_Err {
        Layer* own = h.effectLayerPtr();
        if (!h.isEffectRef(ref) || !effect || !own) return A_Err_PARAMETER;
        *effect = static_cast<AEGP_EffectRefH>(h.effects.add(EffectRef{own->id, h.effectSlot}));
        return A_Err_NONE;
    });
}

A_Err convertEffectToCompTime(PF_ProgPtr ref, A_long time, A_u_long scale, A_Time* comp) {
    return serve("AEGP_ConvertEffectToCompTime", [&](Impl& h) -> A_Err {
        if (!h.isEffectRef(ref) || !comp || scale == 0) return A_Err_PARAMETER;
        // The effect's time is its layer's own time.
        const Layer* own = h.effectLayerPtr();
        *comp =
            own ? h.timeIn(0, 1, layerToCompTime(*own, Time{time, scale})) : A_Time{time, scale};
        return A_Err_NONE;
    });
}

const AEGP_PFInterfaceSuite1* pfInterfaceSuite() {
    static const AEGP_PFInterfaceSuite1 suite = [] {
        AEGP_PFInterfaceSuite1 s{};
        s.AEGP_GetEffectLayer = &getEffectLayer;
        s.AEGP_GetNewEffectForEffect = &getNewEffectForEffect;
        s.AEGP_ConvertEffectToCompTime = &convertEffectToCompTime;
        notServed(s.AEGP_GetEffectCamera, s.AEGP_GetEffectCameraMatrix);
        return s;
    }();
    return &suite;
}

A_Err disposeEffect(AEGP_EffectRefH effect) {
    return serve("AEGP_DisposeEffect", [&](Impl& h) -> A_Err {
        if (!h.effects.remove(effect)) return A_Err_PARAMETER;
        return A_Err_NONE;
    });
}

A_Err getLayerNumEffects(AEGP_LayerH layerH, A_long* count) {
    return serve("AEGP_GetLayerNumEffects", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        if (!layer || !count) return A_Err_PARAMETER;
        *count = A_long(layer->effects.size());
        return A_Err_NONE;
    });
}

A_Err getLayerEffectByIndex(AEGP_PluginID, AEGP_LayerH layerH, AEGP_EffectIndex index,
                            AEGP_EffectRefH* effect) {
    return serve("AEGP_GetLayerEffectByIndex", [&](Impl& h) -> A_Err {
        Layer* layer = h.layerOf(layerH);
        if (!layer || !effect || index < 0 || index >= A_long(layer->effects.size())) {
            return A_Err_PARAMETER;
        }
        *effect = static_cast<AEGP_EffectRefH>(h.effects.add(EffectRef{layer->id, index}));
        return A_Err_NONE;
    });
}

template <class Suite>
void fillEffect(Suite& s) {
    s.AEGP_GetLayerNumEffects = &getLayerNumEffects;
    s.AEGP_GetLayerEffectByIndex = &getLayerEffectByIndex;
    s.AEGP_DisposeEffect = &disposeEffect;
    notServed(s.AEGP_GetInstalledKeyFromLayerEffect, s.AEGP_GetEffectParamUnionByIndex,
              s.AEGP_GetEffectFlags, s.AEGP_SetEffectFlags, s.AEGP_ReorderEffect,
              s.AEGP_EffectCallGeneric, s.AEGP_ApplyEffect, s.AEGP_DeleteLayerEffect,
              s.AEGP_GetNumInstalledEffects, s.AEGP_GetNextInstalledEffect, s.AEGP_GetEffectName,
              s.AEGP_GetEffectMatchName, s.AEGP_GetEffectCategory, s.AEGP_DuplicateEffect);
}

const void* effectSuiteTable(int version) {
    static const AEGP_EffectSuite2 v2 = [] {
        AEGP_EffectSuite2 s{};
        fillEffect(s);
        return s;
    }();
    static const AEGP_EffectSuite3 v3 = [] {
        AEGP_EffectSuite3 s{};
        fillEffect(s);
        return s;
    }();
    if (version == kAEGPEffectSuiteVersion2) return &v2;
    if (version == kAEGPEffectSuiteVersion3) return &v3;
    return nullptr;
}

}  // namespace

const void* aegpSuite(const std::string& name, int version) {
    if (name == kAEGPUtilitySuite) return utilitySuite(version);
    if (name == kAEGPPFInterfaceSuite && version == kAEGPPFInterfaceSuiteVersion1) {
        return pfInterfaceSuite();
    }
    if (name == kAEGPEffectSuite) return effectSuiteTable(version);
    if (name == kAEGPLayerSuite && version == kAEGPLayerSuiteVersion7) return layerSuite();
    if (name == kAEGPCompSuite) return compSuite(version);
    if (name == kAEGPItemSuite && version == kAEGPItemSuiteVersion8) return itemSuite();
    if (name == kAEGPMemorySuite && version == kAEGPMemorySuiteVersion1) return memorySuite();
    return nullptr;
}

}  // namespace sim
