#include "streams/PreviousKey.h"

#include <cmath>

#include "host/HostObjects.h"
#include "streams/HostTime.h"

namespace {

// The search over the keys: key 0 when t is within the window of it, else the last key
// strictly before t, else time 0.
A_Err searchKeys(AEGP_SuiteHandler& suites, AEGP_StreamRefH stream, A_Time t, A_long numKeys,
                 A_Time* chosen) {
    const double at = timeSeconds(t);
    A_Time found = {0, 1};
    A_Err err = A_Err_NONE;
    for (A_long q = 0; q < numKeys && !err; ++q) {
        A_Time keyTime = {0, 1};
        err = suites.KeyframeSuite4()->AEGP_GetKeyframeTime(stream, q, AEGP_LTimeMode_CompTime,
                                                            &keyTime);
        const double k = timeSeconds(keyTime);
        if (!err && q == 0 && std::fabs(at - k) < kFirstKeyWindowSeconds) {
            found = keyTime;
            break;
        }
        if (!err && at > k) {
            found = keyTime;
        }
    }
    if (!err) {
        *chosen = found;
    }
    return err;
}

}  // namespace

A_Err previousKeyTime(AEGP_SuiteHandler& suites, AEGP_StreamRefH stream, A_Time t, A_long minKeys,
                      A_Time* chosen, A_long* numKeys) {
    *numKeys = 0;
    A_Err err = suites.KeyframeSuite4()->AEGP_GetStreamNumKFs(stream, numKeys);
    if (err) {
        *numKeys = 0;
        return err;
    }
    if (*numKeys < minKeys) {
        *chosen = t;
        return A_Err_NONE;
    }
    return searchKeys(suites, stream, t, *numKeys, chosen);
}

A_Err streamValueAt(AEGP_SuiteHandler& suites, AEGP_PluginID pluginId, AEGP_StreamRefH stream,
                    A_Time t, AEGP_StreamVal2* out) {
    ScopedValue value(suites);
    const A_Err err = value.readAt(pluginId, stream, t);
    if (!err) {
        *out = value.value().val;
    }
    return err;
}

A_Err previousKeyValue(AEGP_SuiteHandler& suites, AEGP_PluginID pluginId, AEGP_StreamRefH stream,
                       A_Time t, A_long minKeys, AEGP_StreamVal2* out) {
    A_Time chosen = t;
    A_long numKeys = 0;
    A_Err err = previousKeyTime(suites, stream, t, minKeys, &chosen, &numKeys);
    if (!err) {
        err = streamValueAt(suites, pluginId, stream, chosen, out);
    }
    return err;
}
