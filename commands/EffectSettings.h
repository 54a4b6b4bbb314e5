#pragma once
// Reading the effect's settings at each evaluated frame into the engine.
#include <array>

#include "AEGP_SuiteHandler.h"
#include "engine/MyTessaron.h"
#include "host/Params.h"

// The four ease values of a Temporal Interpolation preset.
struct EaseValues {
    float speedIn, influenceIn, speedOut, influenceOut;
};

// The preset's values; Custom (and any unknown value) gives the defaults 0, 0.1, 0, 0.1, which
// the caller replaces with the four sliders for Custom.
EaseValues presetEase(TemporalPreset temporalPreset);

// Reads parameter values through an effect reference, before expressions, in composition time.
// A read that fails gives the parameter's last value read successfully (0 before any).
class EffectParamReader {
  public:
    EffectParamReader(const AEGP_SuiteHandler& suites, AEGP_PluginID pluginId,
                      AEGP_EffectRefH effect);
    double read(int param, const A_Time& time);

  private:
    const AEGP_SuiteHandler& suites_;
    AEGP_PluginID pluginId_;
    AEGP_EffectRefH effect_;
    std::array<double, PARAM_COUNT> last_{};
};

// Appends every per-frame setting of frame f (at time) to the engine, in the order the
// parameters are read, and updates the single values and the four active flags.
void readFrameSettings(EffectParamReader& reader, MyTessaron& engine, int32_t frame,
                       const A_Time& time);
