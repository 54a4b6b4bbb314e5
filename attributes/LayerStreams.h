#pragma once
// Host access shared by the attribute and animation stages: collage layers, their transform
// streams and stream values, each released by the code that obtained it.
#include <functional>
#include <vector>

#include "AEGP_SuiteHandler.h"
#include "AE_GeneralPlug.h"

class MyTessaron;

// Collage layer j (composition index layerIndices[j]).
A_Err fetchCollageLayer(AEGP_SuiteHandler& suites, const MyTessaron& engine, int j,
                        AEGP_LayerH* layer);

// A stream handle, disposed when it goes or is fetched anew.
class ScopedStream {
  public:
    explicit ScopedStream(AEGP_SuiteHandler& suites) : suites_(suites) {}
    ~ScopedStream() { reset(); }
    ScopedStream(const ScopedStream&) = delete;
    ScopedStream& operator=(const ScopedStream&) = delete;

    A_Err fetch(AEGP_PluginID pluginId, AEGP_LayerH layer, AEGP_LayerStream which);
    AEGP_StreamRefH get() const { return stream_; }
    void reset();

  private:
    AEGP_SuiteHandler& suites_;
    AEGP_StreamRefH stream_ = nullptr;
};

// A stream value obtained from the host, disposed when it goes.
class ScopedValue {
  public:
    explicit ScopedValue(AEGP_SuiteHandler& suites) : suites_(suites) {}
    ~ScopedValue() { reset(); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

    // The stream's value at t (composition time, before expressions).
    A_Err readAt(AEGP_PluginID pluginId, AEGP_StreamRefH stream, const A_Time& t);
    // The value of key `key`.
    A_Err readKey(AEGP_PluginID pluginId, AEGP_StreamRefH stream, A_long key);
    AEGP_StreamValue2& value() { return value_; }
    // Takes charge of a value the host filled through value() (e.g. a spatial tangent).
    void adopt(bool held) { held_ = held; }
    void reset();

  private:
    AEGP_SuiteHandler& suites_;
    AEGP_StreamValue2 value_ = {};
    bool held_ = false;
};

// The stream's value at t (composition time, before expressions): what the layer shows there
// when the run writes no key nearby. Zero after a failure.
AEGP_StreamVal2 valueShownAt(const MyTessaron& engine, AEGP_StreamRefH stream, A_Time t);

// One value per collage layer, read through `read` from the layer's `which` stream. A failed
// layer or stream fetch ends the fetching for the frame: the remaining layers take the last
// value read (what reading the last stream again at the same time gives), or 0.
std::vector<float> readLayerStreams(const MyTessaron& engine, AEGP_LayerStream which,
                                    const std::function<float(AEGP_StreamRefH)>& read);
