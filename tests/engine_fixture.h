#pragma once
// Helpers to fill a MyTessaron the way the Create command does, for engine and attribute tests.
#include <cstring>
#include <string>
#include <functional>
#include <vector>

#include "AEGP_SuiteHandler.h"
#include "engine/MyTessaron.h"
#include "sim/core/Host.h"

namespace fixture {

// An 8-bit world over caller-owned pixels (alpha, red, green, blue per pixel).
inline PF_LayerDef layer8(std::vector<PF_Pixel>& pixels, int width, int height) {
    PF_LayerDef layer;
    std::memset(&layer, 0, sizeof(layer));
    layer.data = reinterpret_cast<decltype(layer.data)>(pixels.data());
    layer.rowbytes = width * static_cast<int>(sizeof(PF_Pixel));
    layer.width = width;
    layer.height = height;
    return layer;
}

// Gives the engine a width x height 8-bit image; pixel (x, y) is white and opaque when
// opaque(x, y), else transparent black. Appends one hasImage entry, as a frame does.
inline void setImage(MyTessaron& engine, int width, int height,
                     const std::function<bool(int, int)>& opaque) {
    std::vector<PF_Pixel> pixels(size_t(width) * height, PF_Pixel{0, 0, 0, 0});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (opaque(x, y)) {
                pixels[size_t(y) * width + x] = PF_Pixel{255, 255, 255, 255};
            }
        }
    }
    engine.sourcePixelFormat = 0x62677261;  // argb
    engine.takeImage(layer8(pixels, width, height));
}

inline void setOpaqueImage(MyTessaron& engine, int width, int height) {
    setImage(engine, width, height, [](int, int) { return true; });
}

// Per-frame settings for frames frames, every mode Ignore and neutral values elsewhere, so a
// test sets only what it exercises.
inline void setNeutralSettings(MyTessaron& e, int frames) {
    e.positionModes.assign(frames, PositionMode::Ignore);
    e.scaleModes.assign(frames, ScaleMode::Ignore);
    e.rotationModes.assign(frames, RotationMode::Ignore);
    e.opacityModes.assign(frames, OpacityMode::Ignore);
    e.minSizes.assign(frames, 20.0f);
    e.maxSizes.assign(frames, 100.0f);
    e.preventOverlaps.assign(frames, false);
    e.rescaleFactors.assign(frames, 1.0f);
    e.minRotations.assign(frames, 0.0f);
    e.maxRotations.assign(frames, 0.0f);
    e.minOpacities.assign(frames, 100.0f);
    e.maxOpacities.assign(frames, 100.0f);
    e.layerOrders.assign(frames, LayerOrder::Random);
    e.temporalPresets.assign(frames, TemporalPreset::Linear);
    e.speedsIn.assign(frames, 0.0f);
    e.influencesIn.assign(frames, 33.0f);
    e.speedsOut.assign(frames, 0.0f);
    e.influencesOut.assign(frames, 33.0f);
    e.spatialPresets.assign(frames, SpatialPreset::Linear);
    e.outTangents.assign(frames, 0.0f);
    e.inTangents.assign(frames, 0.0f);
    e.offsetFrames.assign(frames, 0);
    e.offsetMethods.assign(frames, OffsetMethod::Random);
    e.seeds.assign(frames, 0);
    e.frameList.clear();
    for (int f = 0; f < frames; ++f) {
        e.frameList.push_back(f);
    }
    e.undoName = "Tessaron (Pro)";
}

}  // namespace fixture

// ---------------------------------------------------------------- engines over the simulated host
namespace fixture {

// A composition for engine runs: layer 0 holds the effect, layer 1 is the Source (a white solid
// of sourceWidth x sourceHeight at the comp origin, so its layer-to-world mapping is the
// identity), layers 2.. are collage solids of 200 x 100 px.
inline sim::Project collageProject(int collageLayers, int sourceWidth = 100,
                                   int sourceHeight = 100) {
    sim::Project p;
    sim::Layer holder;
    holder.id = 1;
    holder.name = "Holder";
    holder.width = holder.height = 10;
    holder.effects.push_back(sim::EffectInstance{"Tessaron (Pro)", {}});
    p.comp.layers.push_back(holder);
    sim::Layer source;
    source.id = 2;
    source.name = "Source";
    source.width = sourceWidth;
    source.height = sourceHeight;
    source.maskedBounds = {0, 0, double(sourceWidth), double(sourceHeight)};
    p.comp.layers.push_back(source);
    for (int i = 0; i < collageLayers; ++i) {
        sim::Layer l;
        l.id = 10 + i;
        l.name = "Layer " + std::to_string(i);
        l.width = 200;
        l.height = 100;
        l.maskedBounds = {0, 0, 200, 100};
        l.anchorPoint.value = {100.0, 50.0, 0.0};  // the host's default: the layer's centre
        l.position.value = {100.0 + 10 * i, 50.0, 0.0};
        p.comp.layers.push_back(l);
    }
    return p;
}

inline int32_t formatForDepth(int bits) {
    return bits == 16 ? 0x36316561 : (bits == 32 ? 0x32336561 : 0x62677261);
}

// The simulated host with the effect's first two parameters registered (parameter 2 is the
// Source Layer, set to the layer with id 2) and an engine filled as the Create command fills it.
struct HostedEngine {
    sim::Host host;
    MyTessaron engine;

    explicit HostedEngine(sim::Project project, int frames = 1) : host(std::move(project)) {
        host.setEffectLayer(0);
        registerSourceParam();
        host.effect().params[2].value = 2;
        fill(frames);
    }

    void registerSourceParam() {
        PF_InData* in = host.inData();
        for (int i = 1; i <= 2; ++i) {
            PF_ParamDef def;
            std::memset(&def, 0, sizeof(def));
            def.param_type = PF_Param_LAYER;
            in->inter.add_param(in->effect_ref, -1, &def);
        }
    }

    // Comp facts from the model, handles through the host's suites, neutral settings.
    void fill(int frames) {
        const sim::Comp& comp = host.project().comp;
        MyTessaron& e = engine;
        e.inData = host.inData();
        e.sourcePixelFormat = formatForDepth(comp.bitDepth);
        e.pluginId = 7;
        {
            AEGP_SuiteHandler suites(e.inData->pica_basicP);
            AEGP_LayerH effectLayer = nullptr;
            suites.PFInterfaceSuite1()->AEGP_GetEffectLayer(e.inData->effect_ref, &effectLayer);
            suites.LayerSuite7()->AEGP_GetLayerParentComp(effectLayer, &e.comp);
            suites.LayerSuite7()->AEGP_GetCompLayerByIndex(e.comp, 1, &e.sourceLayer);
            AEGP_ItemH item = nullptr;
            suites.CompSuite7()->AEGP_GetItemFromComp(e.comp, &item);
            suites.ItemSuite8()->AEGP_GetItemID(item, &e.compItemId);
        }
        const sim::Layer& source = comp.layers[1];
        e.sourceLayerIndex = 1;
        e.sourceLayerType = sim::objectTypeOf(source.type);
        e.sourcePosition.val.three_d.x = source.position.value[0];
        e.sourcePosition.val.three_d.y = source.position.value[1];
        e.compWidth = comp.width;
        e.compHeight = comp.height;
        e.frameDuration = {comp.frameDuration.value, comp.frameDuration.scale};
        e.frameSeconds = comp.frameDuration.seconds();
        e.downsampleX = e.downsampleY = 1.0f / float(comp.downsample);
        e.upsampleX = e.upsampleY = float(comp.downsample);
        e.compLayerCount = int32_t(comp.layers.size());
        e.layerIndices.clear();
        for (int i = 2; i < int(comp.layers.size()); ++i) {
            e.layerIndices.push_back(i);
        }
        e.layerCount = int32_t(e.layerIndices.size());
        setNeutralSettings(e, frames);
        e.randomSeed = false;
        e.init();
    }

    // A collage layer's Position stream (dispose with disposeStream).
    AEGP_StreamRefH positionStream(int collageLayer) {
        AEGP_SuiteHandler suites(engine.inData->pica_basicP);
        AEGP_LayerH layer = nullptr;
        AEGP_StreamRefH stream = nullptr;
        suites.LayerSuite7()->AEGP_GetCompLayerByIndex(engine.comp,
                                                       engine.layerIndices[collageLayer], &layer);
        suites.StreamSuite4()->AEGP_GetNewLayerStream(engine.pluginId, layer,
                                                      AEGP_LayerStream_POSITION, &stream);
        return stream;
    }

    void disposeStream(AEGP_StreamRefH stream) {
        AEGP_SuiteHandler suites(engine.inData->pica_basicP);
        suites.StreamSuite4()->AEGP_DisposeStream(stream);
    }

    sim::Layer& collageLayer(int i) { return host.project().comp.layers[2 + i]; }
    sim::Layer& sourceLayer() { return host.project().comp.layers[1]; }
};

}  // namespace fixture
