// The callbacks of PF_InData: parameter registration and check-out, custom UI registration,
// handles, worlds and the C library routines.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sim/core/HostImpl.h"
#include "sim/model/LayerTime.h"

namespace sim {

namespace {

using Impl = Host::Impl;

// A checked-out parameter is known by the token the host wrote into its unused field.
const void* checkoutId(A_long token) {
    return reinterpret_cast<const void*>(intptr_t(token));
}

// The value the host stores for a freshly added parameter: its default.
double defaultValueOf(const PF_ParamDef& def, int32_t effectLayerId) {
    switch (def.param_type) {
        case PF_Param_POPUP:
            return def.u.pd.value;
        case PF_Param_CHECKBOX:
            return def.u.bd.value;
        case PF_Param_FLOAT_SLIDER:
            return def.u.fs_d.value;
        case PF_Param_SLIDER:
            return def.u.sd.value;
        case PF_Param_FIX_SLIDER:
            return def.u.fd.value / 65536.0;
        case PF_Param_ANGLE:
            return def.u.ad.value / 65536.0;
        case PF_Param_LAYER:
            return def.u.ld.dephault == PF_LayerDefault_MYSELF ? effectLayerId : 0;
        default:
            return 0.0;
    }
}

// Where a definition points at a text of the plug-in's (popup items, checkbox and button
// labels); nullptr for kinds without one.
const A_char** labelOf(PF_ParamDef& def) {
    switch (def.param_type) {
        case PF_Param_POPUP:
            return &def.u.pd.u.namesptr;
        case PF_Param_CHECKBOX:
            return &def.u.bd.u.nameptr;
        case PF_Param_BUTTON:
            return &def.u.button_d.u.namesptr;
        default:
            return nullptr;
    }
}

// ---------------------------------------------------------------- interaction callbacks

PF_Err addParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    return serve("add_param", [&](Impl& h) -> PF_Err {
        const A_long next = A_long(h.defs.size());
        if (!h.isEffectRef(ref) || !def || (index != -1 && index != next)) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        // The definition and its texts belong to the plug-in: keep copies.
        PF_ParamDef copy = *def;
        copy.unused = 0;
        std::string label;
        if (const A_char** text = labelOf(copy)) {
            label = *text ? *text : "";
            h.labelStore.push_back(label);
            *text = h.labelStore.back().c_str();
        }
        h.defs.push_back(copy);
        h.labels.push_back(label);
        Layer* layer = h.effectLayerPtr();
        if (layer && h.effectSlot < int(layer->effects.size())) {
            auto& params = layer->effects[h.effectSlot].params;
            if (!params.count(next)) params[next].value = defaultValueOf(copy, layer->id);
        }
        return PF_Err_NONE;
    });
}

// A checked-out layer parameter: the chosen layer's pixels at that time; None gives a cleared
// record. The check-out's token rides in the record's unused field until check-in.
PF_Err checkoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long time, A_long step, A_u_long scale,
                     PF_ParamDef* param) {
    (void)step;
    return serve("checkout_param", [&](Impl& h) -> PF_Err {
        if (!h.isEffectRef(ref) || !param || index < 0 || index >= A_long(h.defs.size()) ||
            scale == 0) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        // The effect's time is its layer's own time; the chosen layer shows what it shows at
        // that composition time, and nothing outside its in and out points.
        const double seconds = h.effectToCompSeconds(time, scale);
        std::unique_ptr<World> world;
        PF_ParamDef result{};
        if (index == 0 || h.defs[index].param_type == PF_Param_LAYER) {
            result.param_type = PF_Param_LAYER;
            Layer* effectLayer = h.effectLayerPtr();
            const int32_t id = index == 0 ? (effectLayer ? effectLayer->id : 0)
                                          : int32_t(h.paramAt(index, seconds));
            Layer* layer = h.layerById(id);
            if (layer && activeAt(*layer, seconds)) {
                world = h.sourceWorld(*layer, seconds);
                result = h.defs[index];
                result.u.ld = world->def;
                result.u.ld.dephault = h.defs[index].u.ld.dephault;
            }
        } else {
            result = h.paramAtTime(index, seconds);
        }
        result.unused = h.nextCheckout++;
        h.checkouts[result.unused] = std::move(world);
        h.accounting.acquire("param", checkoutId(result.unused));
        *param = result;
        return PF_Err_NONE;
    });
}

PF_Err checkinParam(PF_ProgPtr ref, PF_ParamDef* param) {
    return serve("checkin_param", [&](Impl& h) -> PF_Err {
        if (!h.isEffectRef(ref) || !param) return PF_Err_BAD_CALLBACK_PARAM;
        if (!h.accounting.release("param", checkoutId(param->unused))) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        h.checkouts.erase(param->unused);
        return PF_Err_NONE;
    });
}

PF_Err registerUi(PF_ProgPtr ref, PF_CustomUIInfo* info) {
    return serve("register_ui", [&](Impl& h) -> PF_Err {
        if (!h.isEffectRef(ref) || !info) return PF_Err_BAD_CALLBACK_PARAM;
        h.customUI = *info;
        return PF_Err_NONE;
    });
}

PF_Err abortCheck(PF_ProgPtr ref) {
    return serve("abort", [&](Impl& h) -> PF_Err {
        return h.isEffectRef(ref) ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    });
}

PF_Err progress(PF_ProgPtr ref, A_long, A_long) {
    return serve("progress", [&](Impl& h) -> PF_Err {
        return h.isEffectRef(ref) ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    });
}

// ---------------------------------------------------------------- utility callbacks

PF_PixelFormat formatOf(Impl& h, const PF_EffectWorld* world) {
    if (World* w = h.worldOf(world)) return w->format;
    return (world->world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
}

PF_Err copyCallback(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
                    PF_Rect* dstRect) {
    return serve("copy", [&](Impl& h) -> PF_Err {
        if (!h.isEffectRef(ref) || !src || !dst) return PF_Err_BAD_CALLBACK_PARAM;
        return copyWorld(*src, formatOf(h, src), *dst, formatOf(h, dst), srcRect, dstRect);
    });
}

PF_Err newWorldCallback(PF_ProgPtr ref, A_long w, A_long h, PF_NewWorldFlags flags,
                        PF_EffectWorld* world) {
    const PF_PixelFormat format =
        (flags & PF_NewWorldFlag_DEEP_PIXELS) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
    return newWorldOp("new_world", ref, w, h, format, world);
}

PF_Err disposeWorldCallback(PF_ProgPtr ref, PF_EffectWorld* world) {
    return disposeWorldOp("dispose_world", ref, world);
}

// The host's formatted print writes into the caller's buffer; like the host it is given no
// size, so it stops at the size of the records' message buffers.
int hostSprintf(A_char* buffer, const A_char* format, ...) {
    Impl* h = Impl::live();
    if (h && h->enter("sprintf")) return -1;
    if (!buffer || !format) return -1;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, PF_MAX_EFFECT_MSG_LEN + 1, format, args);
    va_end(args);
    return n;
}

A_char* hostStrcpy(A_char* dst, const A_char* src) {
    Impl* h = Impl::live();
    if (h) h->enter("strcpy");
    return dst && src ? std::strcpy(dst, src) : dst;
}

void initAnsi(PF_ANSICallbacks& a) {
    a.atan = [](A_FpLong x) { return std::atan(x); };
    a.atan2 = [](A_FpLong y, A_FpLong x) { return std::atan2(y, x); };
    a.ceil = [](A_FpLong x) { return std::ceil(x); };
    a.cos = [](A_FpLong x) { return std::cos(x); };
    a.exp = [](A_FpLong x) { return std::exp(x); };
    a.fabs = [](A_FpLong x) { return std::fabs(x); };
    a.floor = [](A_FpLong x) { return std::floor(x); };
    a.fmod = [](A_FpLong x, A_FpLong y) { return std::fmod(x, y); };
    a.hypot = [](A_FpLong x, A_FpLong y) { return std::hypot(x, y); };
    a.log = [](A_FpLong x) { return std::log(x); };
    a.log10 = [](A_FpLong x) { return std::log10(x); };
    a.pow = [](A_FpLong x, A_FpLong y) { return std::pow(x, y); };
    a.sin = [](A_FpLong x) { return std::sin(x); };
    a.sqrt = [](A_FpLong x) { return std::sqrt(x); };
    a.tan = [](A_FpLong x) { return std::tan(x); };
    a.sprintf = &hostSprintf;
    a.strcpy = &hostStrcpy;
    a.asin = [](A_FpLong x) { return std::asin(x); };
    a.acos = [](A_FpLong x) { return std::acos(x); };
}

}  // namespace

// ---------------------------------------------------------------- handles (shared with the suite)

PF_Handle newHandle(A_HandleSize size) {
    Impl* h = Impl::live();
    if (!h || h->enter("host_new_handle")) return nullptr;
    auto block = std::make_unique<HandleBlock>();
    block->bytes.assign(size_t(size), 0);
    block->data = block->bytes.data();
    PF_Handle handle = &block->data;
    h->handles[handle] = std::move(block);
    h->accounting.acquire("handle", handle);
    return handle;
}

namespace {

HandleBlock* blockOf(Impl& h, PF_Handle handle) {
    auto it = h.handles.find(handle);
    if (it != h.handles.end()) return it->second.get();
    h.accounting.use("handle", handle);
    return nullptr;
}

}  // namespace

void* lockHandle(PF_Handle handle) {
    Impl* h = Impl::live();
    if (!h || h->enter("host_lock_handle")) return nullptr;
    HandleBlock* block = blockOf(*h, handle);
    if (!block) return nullptr;
    ++block->locks;
    return block->data;
}

void unlockHandle(PF_Handle handle) {
    Impl* h = Impl::live();
    if (!h) return;
    h->enter("host_unlock_handle");
    if (HandleBlock* block = blockOf(*h, handle); block && block->locks > 0) --block->locks;
}

void disposeHandle(PF_Handle handle) {
    Impl* h = Impl::live();
    if (!h) return;
    h->enter("host_dispose_handle");
    if (h->accounting.release("handle", handle)) h->handles.erase(handle);
}

A_HandleSize handleSize(PF_Handle handle) {
    Impl* h = Impl::live();
    if (!h) return 0;
    h->enter("host_get_handle_size");
    HandleBlock* block = blockOf(*h, handle);
    return block ? block->bytes.size() : 0;
}

PF_Err resizeHandle(A_HandleSize size, PF_Handle* handle) {
    return serve("host_resize_handle", [&](Impl& h) -> PF_Err {
        HandleBlock* block = handle ? blockOf(h, *handle) : nullptr;
        if (!block || block->locks > 0) return PF_Err_BAD_CALLBACK_PARAM;
        block->bytes.resize(size_t(size), 0);
        block->data = block->bytes.data();
        return PF_Err_NONE;
    });
}

// ---------------------------------------------------------------- worlds (shared with the suite)

PF_Err newWorldOp(const char* op, PF_ProgPtr ref, A_long w, A_long h, PF_PixelFormat format,
                  PF_EffectWorld* world) {
    return serve(op, [&](Impl& host) -> PF_Err {
        if (!host.isEffectRef(ref) || !world || w < 0 || h < 0 || w > PF_MAX_WORLD_WIDTH ||
            h > PF_MAX_WORLD_HEIGHT || bytesPerPixel(format) == 0) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        auto made = newWorld(w, h, format);
        *world = made->def;
        host.pluginWorlds[made->def.data] = std::move(made);
        host.accounting.acquire("world", world->data);
        return PF_Err_NONE;
    });
}

PF_Err disposeWorldOp(const char* op, PF_ProgPtr ref, PF_EffectWorld* world) {
    return serve(op, [&](Impl& host) -> PF_Err {
        if (!host.isEffectRef(ref) || !world) return PF_Err_BAD_CALLBACK_PARAM;
        if (!host.accounting.release("world", world->data)) return PF_Err_BAD_CALLBACK_PARAM;
        host.pluginWorlds.erase(world->data);
        world->data = nullptr;
        return PF_Err_NONE;
    });
}

void initCallbacks(Impl& h) {
    PF_InteractCallbacks& inter = h.in.inter;
    inter.checkout_param = &checkoutParam;
    inter.checkin_param = &checkinParam;
    inter.add_param = &addParam;
    inter.abort = &abortCheck;
    inter.progress = &progress;
    inter.register_ui = &registerUi;

    PF_UtilCallbacks& u = h.utils;
    u.copy = &copyCallback;
    u.new_world = &newWorldCallback;
    u.dispose_world = &disposeWorldCallback;
    u.host_new_handle = &newHandle;
    u.host_lock_handle = &lockHandle;
    u.host_unlock_handle = &unlockHandle;
    u.host_dispose_handle = &disposeHandle;
    u.host_get_handle_size = &handleSize;
    u.host_resize_handle = &resizeHandle;
    u.fill = [](PF_ProgPtr, const PF_Pixel*, const PF_Rect*, PF_EffectWorld*) -> PF_Err {
        return PF_Err_INVALID_CALLBACK;
    };
    u.iterate = [](PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*, void*,
                   PF_IteratePixel8Func,
                   PF_EffectWorld*) -> PF_Err { return PF_Err_INVALID_CALLBACK; };
    initAnsi(u.ansi);

    h.basic = basicSuite();
}

}  // namespace sim
