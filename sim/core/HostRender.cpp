// The render commands: the worlds and extras the host hands over.
#include "sim/core/HostImpl.h"

namespace sim {

namespace {

using Impl = Host::Impl;

// The effect's input layer: its pixels at the current time, or an empty world.
std::unique_ptr<World> inputOf(Impl& h) {
    const Layer* layer = h.effectLayerPtr();
    return layer ? h.sourceWorld(*layer, h.currentSeconds())
                 : newWorld(0, 0, PF_PixelFormat_ARGB32);
}

PF_Err checkoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long id, const PF_RenderRequest* req,
                     A_long time, A_long, A_u_long scale, PF_CheckoutResult* result) {
    return serve("checkout_layer", [&](Impl& h) -> PF_Err {
        const bool layerParam = index == 0 || (index > 0 && index < PF_ParamIndex(h.defs.size()) &&
                                               h.defs[index].param_type == PF_Param_LAYER);
        if (!h.isEffectRef(ref) || !req || !result || !layerParam || scale == 0 || id < 0) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        const double seconds = h.effectToCompSeconds(time, scale);  // the effect's layer time
        const Layer* own = h.effectLayerPtr();
        const int32_t layerId =
            index == 0 ? (own ? own->id : 0) : int32_t(h.paramAt(index, seconds));
        const Layer* layer = h.layerById(layerId);
        const auto world =
            layer ? h.sourceWorld(*layer, seconds) : newWorld(0, 0, PF_PixelFormat_ARGB32);
        const PF_LRect full{0, 0, world->def.width, world->def.height};
        *result = PF_CheckoutResult{};
        result->max_result_rect = full;
        result->result_rect = PF_LRect{
            std::max(full.left, req->rect.left), std::max(full.top, req->rect.top),
            std::min(full.right, req->rect.right), std::min(full.bottom, req->rect.bottom)};
        result->par = world->def.pix_aspect_ratio;
        result->ref_width = full.right;
        result->ref_height = full.bottom;
        h.layerCheckouts[id] = Impl::LayerCheckout{index, seconds};
        return PF_Err_NONE;
    });
}

PF_Err guidMixIn(PF_ProgPtr ref, A_u_long, const void*) {
    return serve("GuidMixInPtr", [&](Impl& h) -> PF_Err {
        return h.isEffectRef(ref) ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    });
}

PF_Err checkoutLayerPixels(PF_ProgPtr ref, A_long id, PF_EffectWorld** pixels) {
    return serve("checkout_layer_pixels", [&](Impl& h) -> PF_Err {
        auto it = h.layerCheckouts.find(id);
        if (!h.isEffectRef(ref) || !pixels || it == h.layerCheckouts.end()) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        auto& world = h.smartInputs[id];
        if (!world) {
            const Layer* own = h.effectLayerPtr();
            const int index = it->second.paramIndex;
            const double at = it->second.seconds;
            const int32_t layerId =
                index == 0 ? (own ? own->id : 0) : int32_t(h.paramAt(index, at));
            const Layer* layer = h.layerById(layerId);
            world = layer ? h.sourceWorld(*layer, at) : newWorld(0, 0, PF_PixelFormat_ARGB32);
        }
        *pixels = &world->def;
        return PF_Err_NONE;
    });
}

PF_Err checkinLayerPixels(PF_ProgPtr ref, A_long id) {
    return serve("checkin_layer_pixels", [&](Impl& h) -> PF_Err {
        return h.isEffectRef(ref) && h.smartInputs.erase(id) ? PF_Err_NONE
                                                             : PF_Err_BAD_CALLBACK_PARAM;
    });
}

PF_Err checkoutOutput(PF_ProgPtr ref, PF_EffectWorld** output) {
    return serve("checkout_output", [&](Impl& h) -> PF_Err {
        if (!h.isEffectRef(ref) || !output || !h.outputWorld) return PF_Err_BAD_CALLBACK_PARAM;
        *output = &h.outputWorld->def;
        return PF_Err_NONE;
    });
}

short bitDepthOf(const Comp& c) {
    return short(c.bitDepth);
}

}  // namespace

PF_Err Host::render() {
    const auto input = inputOf(*impl_);
    impl_->outputWorld = newWorld(input->def.width, input->def.height, input->format);
    return command(PF_Cmd_RENDER, nullptr, &impl_->outputWorld->def);
}

PF_Err Host::smartPreRender(const PF_RenderRequest& request, PF_PreRenderOutput* output) {
    impl_->layerCheckouts.clear();
    impl_->lastRequest = request;
    PF_PreRenderInput input{};
    input.output_request = request;
    input.bitdepth = bitDepthOf(impl_->project.comp);
    PF_PreRenderCallbacks callbacks{&checkoutLayer, &guidMixIn};
    PF_PreRenderExtra extra{&input, output, &callbacks};
    return command(PF_Cmd_SMART_PRE_RENDER, &extra);
}

// The host keeps the input pixels of the check-outs until the command is over.
PF_Err Host::smartRender() {
    const auto input = inputOf(*impl_);
    impl_->outputWorld = newWorld(input->def.width, input->def.height, input->format);
    PF_SmartRenderInput in{};
    in.output_request = impl_->lastRequest;
    in.bitdepth = bitDepthOf(impl_->project.comp);
    PF_SmartRenderCallbacks callbacks{&checkoutLayerPixels, &checkinLayerPixels, &checkoutOutput};
    PF_SmartRenderExtra extra{&in, &callbacks};
    const PF_Err err = command(PF_Cmd_SMART_RENDER, &extra);
    impl_->smartInputs.clear();
    return err;
}

const PF_LayerDef* Host::outputWorld() const {
    return impl_->outputWorld ? &impl_->outputWorld->def : nullptr;
}

}  // namespace sim
