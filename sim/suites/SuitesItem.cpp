// The composition and item suites: the composition's item, work area, frame rate and
// resolution, and the facts of project items.
#include <cmath>

#include "AE_GeneralPlug.h"
#include "sim/suites/AegpSuites.h"
#include "sim/model/SourceFrame.h"

namespace sim {

namespace {

using Impl = Host::Impl;

// ---------------------------------------------------------------- Comp

template <class F>
A_Err onComp(const char* op, AEGP_CompH comp, const void* out, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        if (!isComp(h, comp) || !out) return A_Err_PARAMETER;
        body(h.comp());
        return A_Err_NONE;
    });
}

A_Err getItemFromComp(AEGP_CompH comp, AEGP_ItemH* item) {
    return serve("AEGP_GetItemFromComp", [&](Impl& h) -> A_Err {
        if (!isComp(h, comp) || !item) return A_Err_PARAMETER;
        *item = static_cast<AEGP_ItemH>(h.compItemHandle());
        return A_Err_NONE;
    });
}

A_Err getCompFromItem(AEGP_ItemH item, AEGP_CompH* comp) {
    return serve("AEGP_GetCompFromItem", [&](Impl& h) -> A_Err {
        if (item != h.compItemHandle() || !comp) return A_Err_PARAMETER;
        *comp = static_cast<AEGP_CompH>(h.compHandle());
        return A_Err_NONE;
    });
}

A_Err getWorkAreaStart(AEGP_CompH comp, A_Time* t) {
    return onComp("AEGP_GetCompWorkAreaStart", comp, t,
                  [&](Comp& c) { *t = toATime(c.workAreaStart); });
}

A_Err getWorkAreaDuration(AEGP_CompH comp, A_Time* t) {
    return onComp("AEGP_GetCompWorkAreaDuration", comp, t,
                  [&](Comp& c) { *t = toATime(c.workAreaDuration); });
}

A_Err getFrameDuration(AEGP_CompH comp, A_Time* t) {
    return onComp("AEGP_GetCompFrameDuration", comp, t,
                  [&](Comp& c) { *t = toATime(c.frameDuration); });
}

A_Err getDownsample(AEGP_CompH comp, AEGP_DownsampleFactor* f) {
    return onComp("AEGP_GetCompDownsampleFactor", comp, f, [&](Comp& c) {
        *f = AEGP_DownsampleFactor{A_short(c.downsample), A_short(c.downsample)};
    });
}

A_Err getFramerate(AEGP_CompH comp, A_FpLong* fps) {
    return onComp("AEGP_GetCompFramerate", comp, fps,
                  [&](Comp& c) { *fps = 1.0 / c.frameDuration.seconds(); });
}

template <class Suite>
void fillComp(Suite& s) {
    s.AEGP_GetCompFromItem = &getCompFromItem;
    s.AEGP_GetItemFromComp = &getItemFromComp;
    s.AEGP_GetCompDownsampleFactor = &getDownsample;
    s.AEGP_GetCompFramerate = &getFramerate;
    s.AEGP_GetCompWorkAreaStart = &getWorkAreaStart;
    s.AEGP_GetCompWorkAreaDuration = &getWorkAreaDuration;
    s.AEGP_GetCompFrameDuration = &getFrameDuration;
    notServed(s.AEGP_SetCompDownsampleFactor, s.AEGP_GetCompBGColor, s.AEGP_SetCompBGColor,
              s.AEGP_GetCompFlags, s.AEGP_SetCompFrameRate, s.AEGP_GetCompShutterAnglePhase,
              s.AEGP_GetCompShutterFrameRange, s.AEGP_GetCompSuggestedMotionBlurSamples,
              s.AEGP_SetCompSuggestedMotionBlurSamples, s.AEGP_SetCompWorkAreaStartAndDuration,
              s.AEGP_CreateSolidInComp, s.AEGP_CreateCameraInComp, s.AEGP_CreateLightInComp,
              s.AEGP_CreateComp, s.AEGP_GetNewCollectionFromCompSelection, s.AEGP_SetSelection,
              s.AEGP_GetCompDisplayStartTime, s.AEGP_SetCompDisplayStartTime,
              s.AEGP_SetCompDuration, s.AEGP_CreateNullInComp, s.AEGP_SetCompPixelAspectRatio,
              s.AEGP_CreateTextLayerInComp, s.AEGP_SetCompDimensions, s.AEGP_DuplicateComp,
              s.AEGP_GetMostRecentlyUsedComp, s.AEGP_CreateVectorLayerInComp,
              s.AEGP_GetNewCompMarkerStream);
}

// ---------------------------------------------------------------- Item

// The composition's item, or the source item of a layer (whose item id is the composition's
// plus the layer's id, so that every item has its own).
struct ItemFacts {
    int width, height;
    A_Ratio aspect;
    int32_t id;
};

std::optional<ItemFacts> itemFacts(Impl& h, AEGP_ItemH item) {
    const Comp& c = h.comp();
    const A_Ratio aspect{c.pixelAspectNum, c.pixelAspectDen};
    if (item && item == h.compItemHandle()) return ItemFacts{c.width, c.height, aspect, c.itemId};
    const auto id = h.itemIds.find(static_cast<const void*>(item));
    const Layer* l = id != h.itemIds.end() ? h.layerById(id->second) : nullptr;
    if (!l) return std::nullopt;
    return ItemFacts{l->width, l->height, A_Ratio{1, 1}, c.itemId + l->id};
}

template <class F>
A_Err onItem(const char* op, AEGP_ItemH item, const void* out, F&& body) {
    return serve(op, [&](Impl& h) -> A_Err {
        const auto facts = itemFacts(h, item);
        if (!facts || !out) return A_Err_PARAMETER;
        body(h, *facts);
        return A_Err_NONE;
    });
}

A_Err getItemCurrentTime(AEGP_ItemH item, A_Time* t) {
    return onItem("AEGP_GetItemCurrentTime", item, t,
                  [&](Impl& h, const ItemFacts&) { *t = toATime(h.comp().currentTime); });
}

A_Err getItemDimensions(AEGP_ItemH item, A_long* width, A_long* height) {
    return onItem("AEGP_GetItemDimensions", item, width && height ? width : nullptr,
                  [&](Impl&, const ItemFacts& f) {
                      *width = f.width;
                      *height = f.height;
                  });
}

A_Err getItemPixelAspectRatio(AEGP_ItemH item, A_Ratio* ratio) {
    return onItem("AEGP_GetItemPixelAspectRatio", item, ratio,
                  [&](Impl&, const ItemFacts& f) { *ratio = f.aspect; });
}

A_Err getItemID(AEGP_ItemH item, A_long* id) {
    return onItem("AEGP_GetItemID", item, id, [&](Impl&, const ItemFacts& f) { *id = f.id; });
}

A_Err getItemDuration(AEGP_ItemH item, A_Time* t) {
    return onItem("AEGP_GetItemDuration", item, t,
                  [&](Impl& h, const ItemFacts&) { *t = toATime(h.comp().duration); });
}

}  // namespace

const void* compSuite(int version) {
    static const AEGP_CompSuite7 v7 = [] {
        AEGP_CompSuite7 s{};
        fillComp(s);
        return s;
    }();
    static const AEGP_CompSuite8 v8 = [] {
        AEGP_CompSuite8 s{};
        fillComp(s);
        notServed(s.AEGP_CreateBoxTextLayerInComp, s.AEGP_GetCompDisplayDropFrame,
                  s.AEGP_SetCompDisplayDropFrame);
        return s;
    }();
    if (version == kAEGPCompSuiteVersion7) return &v7;
    if (version == kAEGPCompSuiteVersion8) return &v8;
    return nullptr;
}

const AEGP_ItemSuite8* itemSuite() {
    static const AEGP_ItemSuite8 suite = [] {
        AEGP_ItemSuite8 s{};
        s.AEGP_GetItemDuration = &getItemDuration;
        s.AEGP_GetItemCurrentTime = &getItemCurrentTime;
        s.AEGP_GetItemDimensions = &getItemDimensions;
        s.AEGP_GetItemPixelAspectRatio = &getItemPixelAspectRatio;
        s.AEGP_GetItemID = &getItemID;
        notServed(s.AEGP_GetFirstProjItem, s.AEGP_GetNextProjItem, s.AEGP_GetActiveItem,
                  s.AEGP_IsItemSelected, s.AEGP_SelectItem, s.AEGP_GetItemType, s.AEGP_GetTypeName,
                  s.AEGP_GetItemName, s.AEGP_SetItemName, s.AEGP_GetItemFlags,
                  s.AEGP_SetItemUseProxy, s.AEGP_GetItemParentFolder, s.AEGP_SetItemParentFolder,
                  s.AEGP_DeleteItem, s.AEGP_CreateNewFolder, s.AEGP_SetItemCurrentTime,
                  s.AEGP_GetItemCommentLength, s.AEGP_GetItemComment, s.AEGP_SetItemComment,
                  s.AEGP_GetItemLabel, s.AEGP_SetItemLabel, s.AEGP_GetItemMRUView);
        return s;
    }();
    return &suite;
}

}  // namespace sim
