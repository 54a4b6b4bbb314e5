// The plug-in's one exported function and its command dispatch.
#include <new>

// AEConfig.h first: the host's entry.h defines DllExport only once its platform macros are set.
#include "AEConfig.h"
#include "AEGP_SuiteHandler.h"
#include "AE_EffectCB.h"
#include "entry.h"
#include "host/GlobalData.h"
#include "host/Handlers.h"
#include "host/Identity.h"
#include "host/ParamTable.h"
#include "host/UIRules.h"

namespace {

constexpr const char* kHostTooOld = "Tessaron plug-in requires AE CS5.5 or later.";
constexpr const char* kOutOfMemory =
    "Tessaron ran out of memory and stopped; try a smaller Source layer or fewer frames.";

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
    PF_SPRINTF(out_data->return_msg, "%s", aboutText().c_str());
    return PF_Err_NONE;
}

// Only draw events reach the banner; every other event is left to the host.
PF_Err Event(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
             void* extra) {
    PF_EventExtra* event = static_cast<PF_EventExtra*>(extra);
    if (!event || event->e_type != PF_Event_DRAW) return PF_Err_NONE;
    if (!in_data->global_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    return DrawEvent(in_data, out_data, params, output, event);
}

PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output, void* extra) {
    if (!in_data->global_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    return HandleChangedParam(in_data, out_data, params, output,
                              static_cast<PF_UserChangedParamExtra*>(extra));
}

PF_Err dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra) {
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return About(in_data, out_data);
        case PF_Cmd_GLOBAL_SETUP:
            return GlobalSetup(in_data, out_data);
        case PF_Cmd_GLOBAL_SETDOWN:
            return GlobalSetdown(in_data);
        case PF_Cmd_PARAMS_SETUP:
            return ParamsSetup(in_data, out_data);
        case PF_Cmd_RENDER:
            return Render(in_data, out_data, params, output);
        case PF_Cmd_USER_CHANGED_PARAM:
            return UserChangedParam(in_data, out_data, params, output, extra);
        case PF_Cmd_UPDATE_PARAMS_UI:
            return RefreshUIParams(in_data, params);
        case PF_Cmd_EVENT:
            return Event(in_data, out_data, params, output, extra);
        case PF_Cmd_SMART_PRE_RENDER:
            return PreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
        case PF_Cmd_SMART_RENDER:
            return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
        default:
            return PF_Err_NONE;
    }
}

// Makes the global record; leaves none when allocation, locking or registration fails.
void createGlobalData(PF_InData* in_data, PF_OutData* out_data) {
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    // Both suites are taken first, so that a missing one cannot strand an allocated handle.
    PF_HandleSuite1* handles = suites.HandleSuite1();
    AEGP_UtilitySuite5* utility = suites.UtilitySuite5();

    PF_Handle handle = handles->host_new_handle(sizeof(GlobalData));
    if (!handle) return;
    GlobalData* data = static_cast<GlobalData*>(handles->host_lock_handle(handle));
    A_Err err = PF_Err_OUT_OF_MEMORY;
    if (data) {
        err = utility->AEGP_RegisterWithAEGP(nullptr, identity::kName, &data->pluginId);
        data->redrawPending = 1;
        handles->host_unlock_handle(handle);
    }
    if (err) {
        handles->host_dispose_handle(handle);
    } else {
        out_data->global_data = handle;
    }
}

}  // namespace

bool apiVersionServed(PF_SpecVersion version) {
    if (version.major != identity::kMinApiMajor) return version.major > identity::kMinApiMajor;
    return version.minor >= identity::kMinApiMinor;
}

std::string aboutText() {
    return std::string(identity::kName) + " v" + identity::kVersionText + "\r" +
           identity::kDescription + "\r" + identity::kHolder;
}

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
    createGlobalData(in_data, out_data);
    out_data->out_flags = identity::kOutFlags;
    out_data->out_flags2 = identity::kOutFlags2;
    out_data->my_version = identity::kPackedVersion;
    return PF_Err_NONE;
}

PF_Err GlobalSetdown(PF_InData* in_data) {
    if (!in_data->global_data) return PF_Err_NONE;
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    suites.HandleSuite1()->host_dispose_handle(in_data->global_data);
    return PF_Err_NONE;
}

extern "C" DllExport PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                           PF_ParamDef* params[], PF_LayerDef* output,
                                           void* extra) {
    if (!apiVersionServed(in_data->version)) {
        PF_SPRINTF(out_data->return_msg, "%s", kHostTooOld);
        return PF_Err_NONE;
    }
    try {
        return dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (PF_Err thrown) {
        return thrown;
    } catch (const std::bad_alloc&) {
        // No exception may reach the host, which would go down with it: the command fails, and
        // says why.
        out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        PF_SPRINTF(out_data->return_msg, "%s", kOutOfMemory);
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
