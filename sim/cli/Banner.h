#pragma once
// The About banner as the Effect Controls panel shows it.
#include <string>

#include "sim/core/Host.h"

namespace sim {

// The banner's control area in the Effect Controls panel: 250 x 35 at the panel's origin.
constexpr PF_Rect kAboutArea{0, 0, 250, 35};

// Sends the draw event of the About parameter's control area to the plug-in of an applied
// host and writes what it drew to pngPath. Returns the plug-in's error, or
// PF_Err_INTERNAL_STRUCT_DAMAGED when it drew nothing or the file cannot be written.
PF_Err drawAboutBanner(Host& host, const std::string& pngPath);

}  // namespace sim
