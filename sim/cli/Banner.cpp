#include "sim/cli/Banner.h"

namespace sim {

PF_Err drawAboutBanner(Host& host, const std::string& pngPath) {
    PF_Err err = host.drawEvent(1, PF_EA_CONTROL, kAboutArea);
    if (!err && !host.saveDrawingPng(pngPath)) err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    return err;
}

}  // namespace sim
