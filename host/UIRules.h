#pragma once
// Which parameters apply to the current choices: the others are greyed out, never changed.
#include <array>

#include "AE_Effect.h"

// The values the rules depend on, as read from the params array.
struct UIControls {
    A_long position, scale, rotation, opacity;
    A_long framesToRender, temporal, spatial;
    bool randomSeed;
    double offsetFrames;
    bool keepInsideShape;
};

struct UIRuleState {
    int index;  // the dependent parameter
    bool enabled;
};

constexpr int kUIRuleCount = 26;

// The dependent parameters in the order they are updated, with their enabled state.
std::array<UIRuleState, kUIRuleCount> uiRuleStates(const UIControls& c);

UIControls readUIControls(PF_ParamDef* params[]);

// Sets or clears the disabled bit of params[index] and hands the record to the host.
PF_Err enableParam(PF_InData* in_data, PF_ParamDef* params[], int index, bool enable);

// Applies every rule in order; the first host error ends the sequence and is returned.
PF_Err RefreshUIParams(PF_InData* in_data, PF_ParamDef* params[]);
