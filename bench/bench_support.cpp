#include "bench/bench_support.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "host/Params.h"

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);

namespace bench {

namespace {

// The Sources drawn by this process, removed when it ends.
struct DrawnSources {
    std::vector<std::string> paths;
    ~DrawnSources() {
        for (const std::string& p : paths) {
            std::error_code ignored;
            std::filesystem::remove(p, ignored);
        }
    }
};
DrawnSources drawn;

}  // namespace

std::string alphaPng(const std::string& name, int width, int height,
                     const std::function<double(int, int)>& alpha) {
    // The process id keeps two benchmarks run at once from drawing over each other's Sources.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tessaron_bench_" + std::to_string(getpid()) + "_" + name + ".png"))
                                 .string();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    cairo_surface_flush(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < width; ++x) {
            const auto v = uint32_t(std::lround(std::clamp(alpha(x, y), 0.0, 1.0) * 255));
            row[x] = (v << 24) | (v << 16) | (v << 8) | v;  // premultiplied white
        }
    }
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error(path + ": cannot be written");
    }
    if (std::find(drawn.paths.begin(), drawn.paths.end(), path) == drawn.paths.end()) {
        drawn.paths.push_back(path);
    }
    return path;
}

std::string sourcePng(const std::string& name, int width, int height,
                      const std::function<bool(int, int)>& opaque) {
    return alphaPng(name, width, height, [&](int x, int y) { return opaque(x, y) ? 1.0 : 0.0; });
}

sim::Project collage(const std::string& imagePath, int width, int height, int cards, int frames) {
    sim::Project p;
    p.comp.width = width;
    p.comp.height = height;
    p.comp.workAreaDuration = {frames, 25};
    p.comp.duration = {std::max(frames, 1), 25};
    sim::Layer source;
    source.id = 1;
    source.name = "Source";
    source.type = sim::LayerType::Footage;
    source.imagePath = imagePath;
    source.width = width;
    source.height = height;
    source.maskedBounds = {0, 0, double(width), double(height)};
    source.anchorPoint.value = {width / 2.0, height / 2.0, 0};
    source.position.value = {width / 2.0, height / 2.0, 0};
    source.effects.push_back(sim::EffectInstance{"Tessaron (Pro)", {}});
    p.comp.layers.push_back(source);
    for (int i = 0; i < cards; ++i) {
        sim::Layer card;
        card.id = i + 2;
        card.name = "Card " + std::to_string(i + 1);
        card.type = sim::LayerType::Solid;
        card.width = 40;
        card.height = 30;
        card.maskedBounds = {0, 0, 40, 30};
        card.anchorPoint.value = {20, 15, 0};
        card.position.value = {width / 2.0, height / 2.0, 0};
        p.comp.layers.push_back(card);
    }
    return p;
}

std::unique_ptr<sim::Host> appliedHost(const sim::Project& project) {
    auto host = std::make_unique<sim::Host>(project);
    host->setEffectLayer(0);
    host->setRecordCalls(false);
    host->attach(EntryPointFunc);
    if (host->apply() != PF_Err_NONE) {
        throw std::runtime_error("the effect could not be applied");
    }
    host->setParam(PARAM_SOURCE_LAYER, 1);
    host->setParam(PARAM_RANDOM_SEED, 0);
    return host;
}

void pressCreate(sim::Host& host) {
    if (host.userChangedParam(PARAM_CREATE) != PF_Err_NONE) {
        throw std::runtime_error("Create failed");
    }
}

void printCsv(const std::string& header, const std::vector<std::string>& lines) {
    std::printf("csv,%s\n", header.c_str());
    for (const std::string& l : lines) std::fputs(l.c_str(), stdout);
}

}  // namespace bench
