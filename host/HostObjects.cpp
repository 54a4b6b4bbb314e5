#include "host/HostObjects.h"

#include <algorithm>

ScopedStream::ScopedStream(const AEGP_SuiteHandler& suites)
    : ScopedHandle(suites.StreamSuite4()->AEGP_DisposeStream), suites_(suites) {}

A_Err ScopedStream::fetch(AEGP_PluginID pluginId, AEGP_LayerH layer, AEGP_LayerStream which) {
    AEGP_StreamRefH* slot = fresh();
    return suites_.StreamSuite4()->AEGP_GetNewLayerStream(pluginId, layer, which, slot);
}

A_Err ScopedStream::fetchEffectParam(AEGP_PluginID pluginId, AEGP_EffectRefH effect,
                                     PF_ParamIndex param) {
    AEGP_StreamRefH* slot = fresh();
    return suites_.StreamSuite2()->AEGP_GetNewEffectStreamByIndex(pluginId, effect, param, slot);
}

ScopedValue::ScopedValue(const AEGP_SuiteHandler& suites)
    : suites_(suites), held_(suites.StreamSuite4()->AEGP_DisposeStreamValue) {}

A_Err ScopedValue::readAt(AEGP_PluginID pluginId, AEGP_StreamRefH stream, const A_Time& t) {
    reset();
    return held_.adopt(suites_.StreamSuite4()->AEGP_GetNewStreamValue(
        pluginId, stream, AEGP_LTimeMode_CompTime, &t, true, &value()));
}

A_Err ScopedValue::readKey(AEGP_PluginID pluginId, AEGP_StreamRefH stream, A_long key) {
    reset();
    return held_.adopt(
        suites_.KeyframeSuite4()->AEGP_GetNewKeyframeValue(pluginId, stream, key, &value()));
}

ScopedEffect::ScopedEffect(const AEGP_SuiteHandler& suites, A_Err (*dispose)(AEGP_EffectRefH))
    : ScopedHandle(dispose), suites_(suites) {}

A_Err ScopedEffect::fetch(AEGP_PluginID pluginId, PF_ProgPtr effectRef) {
    AEGP_EffectRefH* slot = fresh();
    return suites_.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(pluginId, effectRef, slot);
}

A_Err ScopedMemHandle::text(std::string& out) const {
    out.clear();
    if (!get()) return A_Err_NONE;
    AEGP_MemSize size = 0;
    void* data = nullptr;
    A_Err err = memory_->AEGP_GetMemHandleSize(get(), &size);
    if (!err) err = memory_->AEGP_LockMemHandle(get(), &data);
    if (err) return err;
    try {
        const char* chars = static_cast<const char*>(data);
        if (chars) out.assign(chars, std::find(chars, chars + size, '\0'));
    } catch (...) {
        err = A_Err_ALLOC;  // the handle is still unlocked
    }
    const A_Err unlocked = giveBack([&] { return memory_->AEGP_UnlockMemHandle(get()); });
    return err ? err : unlocked;
}

ScopedCheckout::~ScopedCheckout() {
    if (held_) giveBack([&] { return inData_->inter.checkin_param(inData_->effect_ref, &param_); });
}

PF_Err ScopedCheckout::checkout(PF_ParamIndex index, A_long time, A_long step, A_u_long scale) {
    // A record the host filled in along with an error counts as checked out: checked in once.
    param_ = {};
    param_.param_type = PF_Param_RESERVED;
    const PF_Err err =
        inData_->inter.checkout_param(inData_->effect_ref, index, time, step, scale, &param_);
    held_ = !err || param_.param_type != PF_Param_RESERVED;
    return err;
}

A_Err ScopedKeyframeBatch::start(AEGP_StreamRefH stream) {
    end();
    return keys_->AEGP_StartAddKeyframes(stream, &batch_);
}

A_Err ScopedKeyframeBatch::end() {
    A_Err err = A_Err_NONE;
    if (batch_) {
        err = giveBack([&] { return keys_->AEGP_EndAddKeyframes(add_, batch_); });
        batch_ = nullptr;
    }
    return err;
}

ScopedUndoGroup::ScopedUndoGroup(AEGP_UtilitySuite4* utility, const char* name)
    : utility_(utility) {
    const A_Err err = utility_->AEGP_StartUndoGroup(name);
    opened_ = !err;
    if (opened_) {
        hostFailures().groupOpened();
    } else {
        hostFailures().failed("opening the undo group", err);
    }
}

ScopedUndoGroup::~ScopedUndoGroup() {
    if (!opened_) return;
    A_Err err = utility_->AEGP_EndUndoGroup();
    if (err) err = utility_->AEGP_EndUndoGroup();  // a group left open would swallow later edits
    if (err) {
        hostFailures().failed("closing the undo group", err);
        hostFailures().groupLeftOpen();
    }
}
