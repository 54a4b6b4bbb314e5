// The render commands: the effect's image passes through unchanged.
#include "AE_EffectCB.h"
#include "AE_Macros.h"
#include "Smart_Utils.h"
#include "host/Handlers.h"

PF_Boolean IsEmptyRect(const PF_LRect* r) {
    return (r->left >= r->right) || (r->top >= r->bottom);
}

void UnionLRect(const PF_LRect* src, PF_LRect* dst) {
    if (IsEmptyRect(dst)) {
        *dst = *src;
    } else if (!IsEmptyRect(src)) {
        dst->left = mmin(dst->left, src->left);
        dst->top = mmin(dst->top, src->top);
        dst->right = mmax(dst->right, src->right);
        dst->bottom = mmax(dst->bottom, src->bottom);
    }
}

PF_Err Render(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[], PF_LayerDef* output) {
    return PF_COPY(&params[0]->u.ld, output, nullptr, nullptr);
}

PF_Err PreRender(PF_InData* in_data, PF_OutData*, PF_PreRenderExtra* extra) {
    // The input is asked for exactly what the host asks of the effect, keeping the colour of
    // transparent pixels.
    PF_RenderRequest request = extra->input->output_request;
    request.preserve_rgb_of_zero_alpha = true;
    PF_CheckoutResult input;
    AEFX_CLR_STRUCT(input);
    const PF_Err err =
        extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                  in_data->time_step, in_data->time_scale, &input);
    if (err) return err;
    UnionLRect(&input.result_rect, &extra->output->result_rect);
    UnionLRect(&input.max_result_rect, &extra->output->max_result_rect);
    return PF_Err_NONE;
}

PF_Err SmartRender(PF_InData* in_data, PF_OutData*, PF_SmartRenderExtra* extra) {
    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &input);
    if (err) return err;
    err = extra->cb->checkout_output(in_data->effect_ref, &output);
    if (err) return err;
    // The host checks the input in when the command returns.
    return PF_COPY(input, output, nullptr, nullptr);
}
