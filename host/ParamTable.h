#pragma once
// The effect's parameters as one declarative table, and their registration with the host.
#include "AE_Effect.h"
#include "host/Params.h"

// One parameter as the host is told it. Fields a kind does not use stay 0.
struct ParamEntry {
    PF_ParamType kind;
    const char* name;  // "" for unnamed group ends and the button
    PF_ParamFlags flags;
    const char* text;  // popup items joined by '|', or the checkbox / button label
    double dflt;       // popup item, checkbox 0 or 1, slider value, angle degrees, layer default
    float validMin, validMax, sliderMin, sliderMax;
    A_short precision;
    PF_ValueDisplayFlags display;
    PF_ParamUIFlags uiFlags;
    A_short uiWidth, uiHeight;
};

// The parameter at a host index, 1 to PARAM_COUNT - 1.
const ParamEntry& paramEntry(int index);

// Items in a popup text: one more than its '|' separators.
int popupItemCount(const char* items);

// Fills a cleared definition from the table, all but the name (the caller copies it with the
// host's string routine).
void fillParamDef(const ParamEntry& entry, int index, PF_ParamDef& def);

// Params Setup: registers parameters 1 to 41 and the custom UI.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);
