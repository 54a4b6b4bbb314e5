#pragma once
// Host access shared by the attribute and animation stages: collage layers and their transform
// streams (the guards of host/HostObjects.h release what is obtained).
#include <functional>
#include <vector>

#include "AEGP_SuiteHandler.h"
#include "AE_GeneralPlug.h"
#include "host/HostObjects.h"

class MyTessaron;

// Collage layer j (composition index layerIndices[j]).
A_Err fetchCollageLayer(AEGP_SuiteHandler& suites, const MyTessaron& engine, int j,
                        AEGP_LayerH* layer);

// The stream's value at t (composition time, before expressions): what the layer shows there
// when the run writes no key nearby. Zero after a failure.
AEGP_StreamVal2 valueShownAt(const MyTessaron& engine, AEGP_StreamRefH stream, A_Time t);

// One value per collage layer, read through `read` from the layer's `which` stream. A failed
// layer or stream fetch ends the fetching for the frame: the remaining layers take the last
// value read (what reading the last stream again at the same time gives), or 0.
// With shownAt, a Rotation or Scale reading becomes what the layer shows through its parents at
// that time: the angle and length (percent) of its width edge in the composition.
std::vector<float> readLayerStreams(const MyTessaron& engine, AEGP_LayerStream which,
                                    const std::function<float(AEGP_StreamRefH)>& read,
                                    const A_Time* shownAt = nullptr);
