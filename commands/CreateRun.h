#pragma once
#include "AE_Effect.h"

// What pressing "Create" does: gathers the run's inputs from the host, checks them, fills an
// engine and runs it. refreshErr is the result of the UI refresh that preceded the press.
PF_Err CreateCollage(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                     PF_Err refreshErr);
