#pragma once
// The effect's command handlers, as EntryPointFunc dispatches them.
#include <string>

#include "AE_Effect.h"
#include "AE_EffectUI.h"

// ---- EntryPoint.cpp
// True when the host's effect API version is one this effect runs on.
bool apiVersionServed(PF_SpecVersion version);
// The About box: name and version, description, holder; lines separated by "\r" alone.
std::string aboutText();
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err GlobalSetdown(PF_InData* in_data);

// ---- RenderPath.cpp
PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err PreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);
PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);

// ---- AboutBanner.cpp
PF_Err DrawEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                 PF_LayerDef* output, PF_EventExtra* extra);

// ---- commands/CreateCommand.cpp
PF_Err HandleChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* output, PF_UserChangedParamExtra* extra);
