#pragma once
// What the stream and keyframe suites share: a stream handle's facts, values in the API's
// value records, and the check every stream operation starts with.
#include "AE_GeneralPlug.h"
#include "sim/core/HostImpl.h"

namespace sim {

const PF_ParamDef* paramDefOf(Host::Impl& h, const StreamRef& ref);
ParamValue* paramValueOf(Host::Impl& h, const StreamRef& ref);
AEGP_StreamType typeOf(Host::Impl& h, const StreamRef& ref);
// A marker value: both the old record handle and the new opaque pointer are its address.
void* newMarker(Host::Impl& h);
void releaseMarkerIn(Host::Impl& h, const AEGP_StreamVal2& val);
Vec3 vecOf(const AEGP_StreamVal2& val, int dims);
void putVec(AEGP_StreamVal2& val, const Vec3& v, int dims);
void putParam(Host::Impl& h, const StreamRef& ref, double v, AEGP_StreamVal2& val);
// The stream's value at a time, before expressions (there are none).
A_Err readValue(Host::Impl& h, const StreamRef& ref, double seconds, AEGP_StreamVal2& val);

// Runs body with the stream behind a handle, with an argument check.
template <class F>
A_Err onStream(const char* op, AEGP_StreamRefH stream, const void* out, F&& body) {
    return serve(op, [&](Host::Impl& h) -> A_Err {
        const StreamRef* ref = h.streams.find(stream);
        if (!ref || !out) return A_Err_PARAMETER;
        return body(h, *ref);
    });
}

// The keyframe suite's table (SuitesKeyframe.cpp).
const AEGP_KeyframeSuite4* keyframeSuite();

}  // namespace sim
