// What a change of a supervised parameter does; pressing "Create" starts a run.
#include "AEGP_SuiteHandler.h"
#include "commands/CreateRun.h"
#include "host/GlobalData.h"
#include "host/Handlers.h"
#include "host/Params.h"
#include "host/UIRules.h"

namespace {

// Values later commands take from the global record instead of the params array.
void storeGlobalValues(const PF_InData* in_data, PF_ParamDef* params[], GlobalData& g) {
    g.downsampleX = float(in_data->downsample_x.num) / float(in_data->downsample_x.den);
    g.downsampleY = float(in_data->downsample_y.num) / float(in_data->downsample_y.den);
    g.upsampleX = float(in_data->downsample_x.den) / float(in_data->downsample_x.num);
    g.upsampleY = float(in_data->downsample_y.den) / float(in_data->downsample_y.num);
    g.framesToRender = params[PARAM_FRAMES_TO_RENDER]->u.pd.value;
    g.interval = A_long(params[PARAM_INTERVAL]->u.fs_d.value);
}

}  // namespace

PF_Err HandleChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef*, PF_UserChangedParamExtra* extra) {
    {
        AEGP_SuiteHandler suites(in_data->pica_basicP);
        GlobalDataLock global(suites, in_data->global_data);
        if (!global.get()) return PF_Err_INTERNAL_STRUCT_DAMAGED;
        storeGlobalValues(in_data, params, *global.get());
    }
    const PF_Err err = RefreshUIParams(in_data, params);
    if (extra->param_index == PARAM_CREATE) return CreateCollage(in_data, out_data, params, err);
    return err;
}
