#pragma once
// Scope guards for what the plug-in obtains from the host: each gives its object back when it
// goes, on every path, exceptions included. Each takes the host operation that gives its object
// back before it obtains anything, so that giving back never needs a suite acquisition (which
// could throw).
//
// Each object is given back once, whatever the host answers: an error from a release does not
// say whether the host let go of the object before it failed, and releasing it again could
// release it twice, which may crash the host. So a refused release counts as done: the guard
// forgets the object and the failure is counted in hostFailures() (the user is told that host
// objects may not have been released). Likewise an object the host wrote out along with an
// error is taken as handed out and given back.
#include <string>

#include "AEGP_SuiteHandler.h"
#include "AE_Effect.h"
#include "AE_GeneralPlug.h"
#include "host/HostFailures.h"

// Calls release (which returns the host's code) once; returns its code, and notes an object the
// host may have kept.
template <class Release>
A_Err giveBack(Release&& release) noexcept {
    const A_Err err = release();
    if (err) {
        hostFailures().failed("releasing a host object", err);
        hostFailures().notReleased();
    }
    return err;
}

// A host handle, given back through its dispose operation when it goes or is fetched anew.
template <class Handle>
class ScopedHandle {
  public:
    explicit ScopedHandle(A_Err (*dispose)(Handle)) : dispose_(dispose) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const { return handle_; }
    // Disposes the handle now; the host's answer (0 when none was held).
    A_Err reset() {
        A_Err err = A_Err_NONE;
        if (handle_) {
            err = giveBack([&] { return dispose_(handle_); });
            handle_ = nullptr;
        }
        return err;
    }

  protected:
    // Where a fetch puts the new handle, the one held given back first.
    Handle* fresh() {
        reset();
        return &handle_;
    }

  private:
    A_Err (*dispose_)(Handle);
    Handle handle_ = nullptr;
};

// A stream reference.
class ScopedStream : public ScopedHandle<AEGP_StreamRefH> {
  public:
    explicit ScopedStream(const AEGP_SuiteHandler& suites);

    A_Err fetch(AEGP_PluginID pluginId, AEGP_LayerH layer, AEGP_LayerStream which);
    A_Err fetchEffectParam(AEGP_PluginID pluginId, AEGP_EffectRefH effect, PF_ParamIndex param);

  private:
    const AEGP_SuiteHandler& suites_;
};

// A value the host filled in (a stream value, a key value, a spatial tangent), disposed when it
// goes. Value is AEGP_StreamValue2, or AEGP_StreamValue of the older stream suite.
template <class Value>
class ScopedStreamValue {
  public:
    explicit ScopedStreamValue(A_Err (*dispose)(Value*)) : dispose_(dispose) {}
    ~ScopedStreamValue() { reset(); }
    ScopedStreamValue(const ScopedStreamValue&) = delete;
    ScopedStreamValue& operator=(const ScopedStreamValue&) = delete;

    Value& value() { return value_; }
    // Takes charge of what the host filled through value(); err is the host call's result. A
    // value the host filled (its stream set) is held even when the call reported an error.
    A_Err adopt(A_Err err) {
        held_ = !err || value_.streamH != nullptr;
        return err;
    }
    void reset() {
        if (held_) giveBack([&] { return dispose_(&value_); });
        held_ = false;
        value_ = {};
    }

  private:
    A_Err (*dispose_)(Value*);
    Value value_ = {};
    bool held_ = false;
};

// A current stream value with the readings the stages make.
class ScopedValue {
  public:
    explicit ScopedValue(const AEGP_SuiteHandler& suites);
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

    // The stream's value at t (composition time, before expressions).
    A_Err readAt(AEGP_PluginID pluginId, AEGP_StreamRefH stream, const A_Time& t);
    // The value of key `key`.
    A_Err readKey(AEGP_PluginID pluginId, AEGP_StreamRefH stream, A_long key);
    AEGP_StreamValue2& value() { return held_.value(); }
    // Takes charge of a value the host filled through value() (e.g. a spatial tangent).
    void adopt(bool held) { held_.adopt(held ? A_Err_NONE : A_Err_GENERIC); }
    void reset() { held_.reset(); }

  private:
    const AEGP_SuiteHandler& suites_;
    ScopedStreamValue<AEGP_StreamValue2> held_;
};

// An effect reference of this effect instance, disposed through the given Effect suite operation.
class ScopedEffect : public ScopedHandle<AEGP_EffectRefH> {
  public:
    ScopedEffect(const AEGP_SuiteHandler& suites, A_Err (*dispose)(AEGP_EffectRefH));

    A_Err fetch(AEGP_PluginID pluginId, PF_ProgPtr effectRef);

  private:
    const AEGP_SuiteHandler& suites_;
};

// A memory handle the host filled in (a script's result or error text), freed when it goes.
class ScopedMemHandle : public ScopedHandle<AEGP_MemHandle> {
  public:
    explicit ScopedMemHandle(AEGP_MemorySuite1* memory)
        : ScopedHandle(memory->AEGP_FreeMemHandle), memory_(memory) {}

    // Where the host puts a new handle (the one held freed first).
    AEGP_MemHandle* receive() { return fresh(); }
    // The text the handle holds, up to its first NUL (empty without a handle); the host's answer.
    A_Err text(std::string& out) const;

  private:
    AEGP_MemorySuite1* memory_;
};

// A parameter checked out at a time, checked in when it goes.
class ScopedCheckout {
  public:
    explicit ScopedCheckout(PF_InData* inData) : inData_(inData) {}
    ~ScopedCheckout();
    ScopedCheckout(const ScopedCheckout&) = delete;
    ScopedCheckout& operator=(const ScopedCheckout&) = delete;

    PF_Err checkout(PF_ParamIndex index, A_long time, A_long step, A_u_long scale);
    const PF_ParamDef& param() const { return param_; }

  private:
    PF_InData* inData_;
    PF_ParamDef param_ = {};
    bool held_ = false;
};

// An add-keyframes batch on one stream, ended when it goes: adding its keys or not.
class ScopedKeyframeBatch {
  public:
    ScopedKeyframeBatch(AEGP_KeyframeSuite4* keys, bool add) : keys_(keys), add_(add) {}
    ~ScopedKeyframeBatch() { end(); }
    ScopedKeyframeBatch(const ScopedKeyframeBatch&) = delete;
    ScopedKeyframeBatch& operator=(const ScopedKeyframeBatch&) = delete;

    A_Err start(AEGP_StreamRefH stream);
    AEGP_AddKeyframesInfoH get() const { return batch_; }
    // Ends the batch now; the host's answer (0 when none was started).
    A_Err end();

  private:
    AEGP_KeyframeSuite4* keys_;
    bool add_;
    AEGP_AddKeyframesInfoH batch_ = nullptr;
};

// The run's undo group: opened on construction, closed when it goes. Whether it opened, and a
// group that could not be closed, are noted in hostFailures().
class ScopedUndoGroup {
  public:
    ScopedUndoGroup(AEGP_UtilitySuite4* utility, const char* name);
    ~ScopedUndoGroup();
    ScopedUndoGroup(const ScopedUndoGroup&) = delete;
    ScopedUndoGroup& operator=(const ScopedUndoGroup&) = delete;

    bool opened() const { return opened_; }

  private:
    AEGP_UtilitySuite4* utility_;
    bool opened_ = false;
};
