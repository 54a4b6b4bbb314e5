// tessaron: the simulated host's command line. Runs scenes through the plug-in, lists its
// parameters and shows its About text.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/cli/Banner.h"
#include "sim/model/MessageText.h"
#include "sim/model/OutputFile.h"
#include "sim/core/Host.h"
#include "sim/scene/Scene.h"
#include "sim/cli/SceneRun.h"
#include "sim/cli/VideoArgs.h"

namespace {

const char* const kUsage =
    R"(usage:
  tessaron run SCENE.json [--out DIR] [--plugin PATH] [--preview-frames N] [--no-preview] [--paths]
               [--preview-scale F]
               [--video FILE [--fps N] [--size WxH | --scale F] [--range START,END]]
      Loads the scene, applies the effect, performs the scene's actions (default: press
      Create) and writes DIR/result.json (DIR defaults to "out") with preview pictures
      frame_NNNN.png and preview.png of the frames the run keyed; --preview-frames N adds N
      evenly spaced frames of the work area, --paths draws the Position paths,
      --preview-scale F (above 0, up to 1) draws the frame pictures at F times the size.
      --video FILE (.mp4 or .gif) renders the animation after the run: by default at the
      composition's frame rate and size over its work area; --fps, --size or --scale, and
      --range in seconds change that.
  tessaron params [--plugin PATH]
      Lists the parameters as the plug-in registers them.
  tessaron about [--plugin PATH] [--png FILE]
      Shows the About text; --png saves the About banner as drawn in the Effect Controls.
  tessaron --help

The scene format is described in docs/scene-format.md. Exit codes: 0 done, 1 the run failed
(a command returned an error, the plug-in could not be loaded), 2 bad arguments or a bad scene.
)";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Args {
    std::string command;
    std::string scene;
    std::string plugin = TESSARON_DEFAULT_PLUGIN;
    std::string out = "out";
    std::string png;
    int previewFrames = 0;
    double previewScale = 1.0;
    bool previews = true;
    bool paths = false;
    bool help = false;
    sim::VideoArgs video;
};

int countOf(const std::string& text) {
    size_t used = 0;
    int n = -1;
    try {
        n = std::stoi(text, &used);
    } catch (const std::exception&) {
    }
    if (used != text.size() || n < 0 || n > 1000)
        throw UsageError("--preview-frames: expected 0 to 1000");
    return n;
}

double scaleOf(const std::string& text) {
    size_t used = 0;
    double f = 0.0;
    try {
        f = std::stod(text, &used);
    } catch (const std::exception&) {
    }
    if (used != text.size() || !(f > 0.0 && f <= 1.0))
        throw UsageError("--preview-scale: expected a number above 0, up to 1");
    return f;
}

// An option's value: the next argument.
std::string valueAfter(const std::vector<std::string>& argv, size_t& i) {
    if (i + 1 >= argv.size()) throw UsageError(argv[i] + " needs a value");
    return argv[++i];
}

void readOption(const std::vector<std::string>& argv, size_t& i, Args& a) {
    const std::string& opt = argv[i];
    if (opt == "--help" || opt == "-h")
        a.help = true;
    else if (opt == "--plugin")
        a.plugin = valueAfter(argv, i);
    else if (opt == "--out" && a.command == "run")
        a.out = valueAfter(argv, i);
    else if (opt == "--preview-frames" && a.command == "run")
        a.previewFrames = countOf(valueAfter(argv, i));
    else if (opt == "--preview-scale" && a.command == "run")
        a.previewScale = scaleOf(valueAfter(argv, i));
    else if (opt == "--no-preview" && a.command == "run")
        a.previews = false;
    else if (opt == "--paths" && a.command == "run")
        a.paths = true;
    else if (a.command == "run" && sim::readVideoOption(argv, i, a.video))
        return;
    else if (opt == "--png" && a.command == "about")
        a.png = valueAfter(argv, i);
    else if (opt.rfind("-", 0) == 0)
        throw UsageError("unknown option " + opt);
    else if (a.command == "run" && a.scene.empty())
        a.scene = opt;
    else
        throw UsageError("unexpected argument " + opt);
}

Args parseArgs(const std::vector<std::string>& argv) {
    Args a;
    size_t i = 0;
    if (!argv.empty() && argv[0].rfind("-", 0) != 0) a.command = argv[i++];
    for (; i < argv.size(); ++i) readOption(argv, i, a);
    if (a.help) return a;
    if (a.command != "run" && a.command != "params" && a.command != "about")
        throw UsageError(a.command.empty() ? "no command given" : "unknown command " + a.command);
    if (a.command == "run" && a.scene.empty()) throw UsageError("run: no scene file given");
    return a;
}

// ------------------------------------------------------------------ params

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", v);  // the host keeps slider ranges as floats
    return text;
}

std::string kindName(PF_ParamType t) {
    switch (t) {
        case PF_Param_LAYER:
            return "layer";
        case PF_Param_SLIDER:
            return "slider";
        case PF_Param_FIX_SLIDER:
            return "fixed slider";
        case PF_Param_ANGLE:
            return "angle";
        case PF_Param_CHECKBOX:
            return "checkbox";
        case PF_Param_COLOR:
            return "color";
        case PF_Param_POINT:
            return "point";
        case PF_Param_POPUP:
            return "popup";
        case PF_Param_FLOAT_SLIDER:
            return "float slider";
        case PF_Param_GROUP_START:
            return "group start";
        case PF_Param_GROUP_END:
            return "group end";
        case PF_Param_BUTTON:
            return "button";
        default:
            return "type " + std::to_string(int(t));
    }
}

std::string floatSliderDetails(const PF_FloatSliderDef& s) {
    std::string d = "valid [" + number(s.valid_min) + ", " + number(s.valid_max) + "]  slider [" +
                    number(s.slider_min) + ", " + number(s.slider_max) + "]  default " +
                    number(s.dephault) + "  precision " + std::to_string(s.precision);
    if (s.display_flags & PF_ValueDisplayFlag_PERCENT) d += "  percent";
    return d;
}

std::string layerDefault(A_long d) {
    if (d == PF_LayerDefault_MYSELF) return "default: its own layer";
    return d == PF_LayerDefault_NONE ? "default: none" : "default " + std::to_string(d);
}

std::string details(const PF_ParamDef& def, const std::string& texts) {
    switch (def.param_type) {
        case PF_Param_POPUP:
            return std::to_string(def.u.pd.num_choices) + " items, default " +
                   std::to_string(def.u.pd.dephault) + ": " + texts;
        case PF_Param_CHECKBOX:
            return std::string("default ") + (def.u.bd.dephault ? "on" : "off");
        case PF_Param_FLOAT_SLIDER:
            return floatSliderDetails(def.u.fs_d);
        case PF_Param_ANGLE:
            return "default " + number(def.u.ad.dephault / 65536.0) + " degrees";
        case PF_Param_LAYER:
            return layerDefault(def.u.ld.dephault);
        case PF_Param_BUTTON:
            return "label \"" + texts + "\"";
        case PF_Param_SLIDER:
            return "valid [" + std::to_string(def.u.sd.valid_min) + ", " +
                   std::to_string(def.u.sd.valid_max) + "]  default " +
                   std::to_string(def.u.sd.dephault);
        default:
            return "";
    }
}

std::string paramLine(const sim::Host& host, size_t i) {
    const PF_ParamDef& def = host.paramDefs()[i];
    char head[96];
    std::snprintf(head, sizeof head, "%2zu  %-24s  %-12s  flags %-3d  ", i,
                  ("\"" + std::string(def.name) + "\"").c_str(), kindName(def.param_type).c_str(),
                  int(def.flags));
    std::string line =
        head + details(def, i < host.popupTexts().size() ? host.popupTexts()[i] : "");
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

int listParams(const Args& a) {
    sim::Host host;
    host.loadPlugin(a.plugin);
    PF_Err err = host.globalSetup();
    if (err == PF_Err_NONE) err = host.paramsSetup();
    for (size_t i = 1; i < host.paramDefs().size(); ++i) std::cout << paramLine(host, i) << '\n';
    host.globalSetdown();
    if (err != PF_Err_NONE)
        std::cerr << "tessaron: setting up the parameters returned error " << err << '\n';
    return err == PF_Err_NONE ? 0 : 1;
}

// ------------------------------------------------------------------ output paths

// Where a run or a picture will write, checked before anything runs rather than after: the
// nearest existing folder on the way must take writes, and nothing of the name may be in the way.
void checkWritable(const std::string& option, const std::string& path, bool folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::absolute(path, ec);
    const std::string what = option + " " + path + ": ";
    if (fs::exists(target, ec) && fs::is_directory(target, ec) != folder)
        throw UsageError(what + (folder ? "a file of that name exists; expected a folder"
                                        : "a folder of that name exists; expected a file"));
    fs::path existing = folder ? target : target.parent_path();
    while (!fs::exists(existing, ec) && existing.has_relative_path()) {
        if (!folder) throw UsageError(what + "no folder " + existing.string());
        existing = existing.parent_path();
    }
    if (!fs::is_directory(existing, ec))
        throw UsageError(what + "cannot make a folder inside the file " + existing.string());
#ifdef _WIN32
    const int mode = W_OK;  // folders carry no execute right there
#else
    const int mode = W_OK | X_OK;
#endif
    if (::access(existing.string().c_str(), mode) != 0)
        throw UsageError(what + "cannot write into " + existing.string());
}

// The folder a run writes into, checked before anything runs: a link there must lead to a
// folder, and nothing the run will write (result.json, the pictures) may be a folder, which a
// file cannot replace.
void checkOutFolder(const std::string& out, bool previews) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string what = "--out " + sim::excerpt(out, 200) + ": ";
    const fs::file_status link = fs::symlink_status(out, ec);
    if (fs::is_symlink(link)) {
        const fs::file_status target = fs::status(out, ec);
        if (ec || !fs::exists(target))
            throw UsageError(what + "a link that leads to no folder" +
                             (ec ? " (" + ec.message() + ")" : std::string()));
    }
    checkWritable("--out", out, true);
    if (!fs::is_directory(out, ec)) return;  // made by the run
    auto inTheWay = [&](const fs::path& p) {
        std::error_code ignored;
        if (fs::is_directory(fs::symlink_status(p, ignored)))
            throw UsageError(what + "a folder named " + sim::excerpt(p.filename().string()) +
                             " is in the way of the run's file of that name");
    };
    inTheWay(fs::path(out) / "result.json");
    for (fs::directory_iterator it(out, ec), end; !ec && it != end; it.increment(ec)) {
        if (previews && sim::isPictureName(it->path().filename().string())) inTheWay(it->path());
    }
}

// ------------------------------------------------------------------ about

int about(const Args& a) {
    if (!a.png.empty()) checkWritable("--png", a.png, false);
    sim::Host host;
    host.loadPlugin(a.plugin);
    PF_Err err = host.apply();
    if (err == PF_Err_NONE) err = host.about();
    std::string text = host.outData().return_msg;
    std::replace(text.begin(), text.end(), '\r', '\n');  // the host's line break
    std::cout << text << '\n';
    if (err == PF_Err_NONE && !a.png.empty()) err = sim::drawAboutBanner(host, a.png);
    host.globalSetdown();
    if (err != PF_Err_NONE) std::cerr << "tessaron: the plug-in returned error " << err << '\n';
    return err == PF_Err_NONE ? 0 : 1;
}

// ------------------------------------------------------------------ run

int run(const Args& a) {
    sim::Scene scene = sim::loadScene(a.scene);
    checkOutFolder(a.out, a.previews);
    // The video options are checked before the run, so that bad ones leave nothing behind.
    sim::RunOptions options{a.plugin,
                            a.out,
                            a.previews,
                            a.previewFrames,
                            a.paths,
                            true,
                            sim::planVideo(a.video, scene.project.comp)};
    options.printSummary = true;
    options.previewScale = a.previewScale;
    if (sim::runScene(scene, options)) return 0;
    std::cerr << "tessaron: a command returned an error (see commandErrors in " << a.out
              << "/result.json)\n";
    return 1;
}

int dispatch(const Args& a) {
    if (a.help) {
        std::cout << kUsage;
        return 0;
    }
    if (a.command == "params") return listParams(a);
    if (a.command == "about") return about(a);
    return run(a);
}

}  // namespace

int main(int argc, char** argv) {
    sim::removeTemporariesOnSignals();
    try {
        return dispatch(parseArgs(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const UsageError& e) {
        std::cerr << sim::oneLine(std::string("tessaron: ") + e.what() + " (see tessaron --help)")
                  << '\n';
        return 2;
    } catch (const sim::SceneError& e) {
        std::cerr << sim::oneLine(e.what()) << '\n';
        return 2;
    } catch (const sim::VideoError& e) {
        std::cerr << sim::oneLine(std::string("tessaron: ") + e.what()) << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << sim::oneLine(std::string("tessaron: ") + e.what()) << '\n';
        return 1;
    }
}
