#pragma once
// The general plug-in suites the host serves, each file one or two of them.
#include "AE_GeneralPlug.h"
#include "sim/core/HostImpl.h"

namespace sim {

// Whether a composition handle is the host's one composition.
bool isComp(Host::Impl& h, AEGP_CompH comp);
const AEGP_LayerSuite7* layerSuite();  // SuitesLayer.cpp
const void* compSuite(int version);    // SuitesItem.cpp
const AEGP_ItemSuite8* itemSuite();    // SuitesItem.cpp

}  // namespace sim
