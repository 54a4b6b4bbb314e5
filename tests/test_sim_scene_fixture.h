#pragma once
// Shared by the scene, result and CLI tests: a scratch folder, PNG and text files, the scenes in
// tests/scenes/, and a small stand-in plug-in that registers a few parameters of each kind and
// counts the commands it got.
#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/core/Host.h"

namespace scenetest {

namespace fs = std::filesystem;

// A folder that exists for one test.
class TempDir {
  public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() / ("tessaron_" + std::to_string(::getpid()) + "_" +
                                             info->test_suite_name() + "_" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A scene or scene table from tests/scenes/, shared with anything else that reads scenes.
inline nlohmann::ordered_json sceneData(const std::string& name) {
    const std::string path = std::string(TESSARON_SOURCE_DIR) + "/tests/scenes/" + name;
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    return nlohmann::ordered_json::parse(in);
}

// The scene with the value at each JSON pointer in changes replaced (or added).
inline nlohmann::ordered_json changed(nlohmann::ordered_json scene,
                                      const nlohmann::ordered_json& changes) {
    for (const auto& [pointer, value] : changes.items())
        scene[nlohmann::ordered_json::json_pointer(pointer)] = value;
    return scene;
}

inline void writePng(const std::string& path, int w, int h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
}

// A white picture whose alpha (0..255) at pixel (x, y) is alphaAt(x, y).
inline void writeAlphaPng(const std::string& path, int w, int h,
                          const std::function<uint32_t(int x, int y)>& alphaAt) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < w; ++x) {
            const uint32_t a = alphaAt(x, y);
            row[x] = (a << 24) | (a << 16) | (a << 8) | a;  // premultiplied white
        }
    }
    cairo_surface_mark_dirty(s);
    const cairo_status_t status = cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
    ASSERT_EQ(status, CAIRO_STATUS_SUCCESS);
}

// ---------------------------------------------------------------- the stand-in plug-in

// Parameter indices of the stand-in.
enum FakeParam {
    kSource = 1,  // layer
    kGroup,       // group start
    kMode,        // popup "Grid|Organic|(-|Ignore"
    kSize,        // float slider 0..100, supervised
    kAngle,       // angle
    kFlag,        // checkbox
    kFixed,       // checkbox that cannot vary over time
    kGroupEnd,    // group end
    kCreate,      // button
    kFakeCount
};

struct FakeLog {
    std::vector<int> changed;  // indices of user changed param commands
    int updates = 0;           // update params UI commands
};

inline FakeLog& fakeLog() {
    static FakeLog log;
    return log;
}

inline PF_ParamDef fakeDef(PF_ParamType type, const char* name, PF_ParamFlags flags) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.param_type = type;
    std::strncpy(def.name, name, sizeof def.name - 1);
    def.flags = flags;
    return def;
}

inline PF_Err fakeParamsSetup(PF_InData* in, PF_OutData* out) {
    std::vector<PF_ParamDef> defs;
    defs.push_back(fakeDef(PF_Param_LAYER, "Source Layer", 0));
    defs.back().u.ld.dephault = PF_LayerDefault_MYSELF;
    defs.push_back(fakeDef(PF_Param_GROUP_START, "Options", 0));
    defs.push_back(fakeDef(PF_Param_POPUP, "Mode", PF_ParamFlag_SUPERVISE));
    defs.back().u.pd.num_choices = 4;
    defs.back().u.pd.dephault = 2;
    defs.back().u.pd.value = 2;
    defs.back().u.pd.u.namesptr = "Grid|Organic|(-|Ignore";
    defs.push_back(fakeDef(PF_Param_FLOAT_SLIDER, "Size", PF_ParamFlag_SUPERVISE));
    defs.back().u.fs_d.valid_min = 0;
    defs.back().u.fs_d.valid_max = 100;
    defs.back().u.fs_d.slider_max = 50;
    defs.back().u.fs_d.dephault = 10;
    defs.back().u.fs_d.value = 10;
    defs.push_back(fakeDef(PF_Param_ANGLE, "Turn", 0));
    defs.back().u.ad.dephault = defs.back().u.ad.value = -45 * 65536;
    defs.push_back(fakeDef(PF_Param_CHECKBOX, "Flag", 0));
    defs.back().u.bd.u.nameptr = "";
    defs.push_back(fakeDef(PF_Param_CHECKBOX, "Fixed", PF_ParamFlag_CANNOT_TIME_VARY));
    defs.back().u.bd.u.nameptr = "";
    defs.push_back(fakeDef(PF_Param_GROUP_END, "", 0));
    defs.push_back(fakeDef(PF_Param_BUTTON, "", PF_ParamFlag_SUPERVISE));
    defs.back().u.button_d.u.namesptr = "Create";
    for (PF_ParamDef& def : defs) {
        if (PF_Err err = PF_ADD_PARAM(in, -1, &def)) return err;
    }
    out->num_params = kFakeCount;
    return PF_Err_NONE;
}

inline PF_Err fakeEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*,
                        void* extra) {
    switch (cmd) {
        case PF_Cmd_PARAMS_SETUP:
            return fakeParamsSetup(in, out);
        case PF_Cmd_USER_CHANGED_PARAM:
            fakeLog().changed.push_back(static_cast<PF_UserChangedParamExtra*>(extra)->param_index);
            return PF_Err_NONE;
        case PF_Cmd_UPDATE_PARAMS_UI:
            ++fakeLog().updates;
            return PF_Err_NONE;
        default:
            return PF_Err_NONE;
    }
}

// Attaches the stand-in to a host and clears its log.
inline void attachFake(sim::Host& host) {
    fakeLog() = FakeLog{};
    host.attach(fakeEntry);
}

}  // namespace scenetest
