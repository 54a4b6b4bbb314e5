// What a change of a supervised parameter does; pressing "Create" starts a run.
#include <cstdio>
#include <new>
#include <string>

#include "AEGP_SuiteHandler.h"
#include "commands/CreateRun.h"
#include "host/GlobalData.h"
#include "host/Handlers.h"
#include "host/HostFailures.h"
#include "host/Params.h"
#include "host/UIRules.h"

namespace {

// The message when the full one cannot be built (memory has run out).
constexpr const char* kFailedTersely =
    "Tessaron (Pro): Create failed (host or memory). Undo restores the project if it changed.";

// Values later commands take from the global record instead of the params array.
void storeGlobalValues(const PF_InData* in_data, PF_ParamDef* params[], GlobalData& g) {
    g.downsampleX = float(in_data->downsample_x.num) / float(in_data->downsample_x.den);
    g.downsampleY = float(in_data->downsample_y.num) / float(in_data->downsample_y.den);
    g.upsampleX = float(in_data->downsample_x.den) / float(in_data->downsample_x.num);
    g.upsampleY = float(in_data->downsample_y.den) / float(in_data->downsample_y.num);
    g.framesToRender = params[PARAM_FRAMES_TO_RENDER]->u.pd.value;
    g.interval = A_long(params[PARAM_INTERVAL]->u.fs_d.value);
}

// Shows the press's failures in one message: through the host's info report, or in the return
// message when that cannot be had (the plug-in id unknown, the report refused).
void tellFailures(PF_InData* in_data, PF_OutData* out_data, A_long pluginId,
                  const HostFailures& failures) noexcept {
    if (!failures.any()) return;
    std::string text;
    try {
        text = failures.message();
    } catch (...) {
        text = std::string();
    }
    const char* shown = text.empty() ? kFailedTersely : text.c_str();
    A_Err err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    try {
        if (pluginId) {
            AEGP_SuiteHandler suites(in_data->pica_basicP);
            err = suites.UtilitySuite4()->AEGP_ReportInfo(pluginId, shown);
        }
    } catch (...) {
        err = PF_Err_BAD_CALLBACK_PARAM;
    }
    if (err) {
        std::snprintf(out_data->return_msg, sizeof(out_data->return_msg), "%s", shown);
        out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    }
}

// Values stored, UI refreshed, and for "Create" the run. pluginId receives the plug-in's id.
PF_Err changeParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_UserChangedParamExtra* extra, A_long& pluginId) {
    {
        AEGP_SuiteHandler suites(in_data->pica_basicP);
        GlobalDataLock global(suites, in_data->global_data);
        if (!global.get()) {
            hostFailures().failed("locking the effect's global data",
                                  PF_Err_INTERNAL_STRUCT_DAMAGED);
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
        storeGlobalValues(in_data, params, *global.get());
        pluginId = global.get()->pluginId;
    }
    const PF_Err err = RefreshUIParams(in_data, params);
    if (extra->param_index == PARAM_CREATE) return CreateCollage(in_data, out_data, params, err);
    return err;
}

}  // namespace

PF_Err HandleChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef*, PF_UserChangedParamExtra* extra) {
    A_long pluginId = 0;
    if (extra->param_index != PARAM_CREATE) {
        return changeParam(in_data, out_data, params, extra, pluginId);
    }
    // A press ends with one message when anything failed, whichever way it ends.
    HostFailures failures;
    HostFailureScope scope(failures);
    PF_Err err = PF_Err_NONE;
    try {
        err = changeParam(in_data, out_data, params, extra, pluginId);
    } catch (PF_Err thrown) {
        failures.stopped("acquiring a host suite", thrown);
        err = thrown;
    } catch (const std::bad_alloc&) {
        failures.stopped("allocating memory", PF_Err_OUT_OF_MEMORY);
        err = PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        failures.stopped("an unexpected error", PF_Err_INTERNAL_STRUCT_DAMAGED);
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    tellFailures(in_data, out_data, pluginId, failures);
    return err;
}
