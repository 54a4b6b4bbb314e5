#include "sim/cli/VideoArgs.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "sim/model/CompTime.h"
#include "sim/model/OutputFile.h"

namespace sim {
namespace {

constexpr int kMaxSide = 16384;
constexpr double kMaxFps = 999;
// Browsers stretch GIF frames shorter than 2/100 s, so faster GIFs would play slowly.
constexpr double kMaxGifFps = 50;

double numberOf(const std::string& option, const std::string& text) {
    size_t used = 0;
    double v = NAN;
    try {
        v = std::stod(text, &used);
    } catch (const std::exception&) {
    }
    if (text.empty() || used != text.size() || !std::isfinite(v))
        throw VideoError(option + " " + text + ": not a number");
    return v;
}

int wholeOf(const std::string& option, const std::string& text) {
    const double v = numberOf(option, text);
    if (v != std::floor(v) || v < 1 || v > kMaxSide)
        throw VideoError(option + " " + text + ": expected whole numbers 1 to " +
                         std::to_string(kMaxSide));
    return int(v);
}

// "a<sep>b" split at the first separator.
std::pair<std::string, std::string> split(const std::string& option, const std::string& text,
                                          char sep, const char* form) {
    const size_t at = text.find(sep);
    if (at == std::string::npos) throw VideoError(option + " " + text + ": expected " + form);
    return {text.substr(0, at), text.substr(at + 1)};
}

std::string valueOf(const std::vector<std::string>& argv, size_t& i) {
    if (i + 1 >= argv.size()) throw VideoError(argv[i] + " needs a value");
    return argv[++i];
}

std::string lowerExtension(const std::string& file) {
    std::string ext = std::filesystem::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

VideoFormat formatOf(const std::string& file) {
    const std::string ext = lowerExtension(file);
    if (ext == ".mp4") return VideoFormat::Mp4;
    if (ext == ".gif") return VideoFormat::Gif;
    throw VideoError(file + ": unknown video type \"" + ext + "\" (expected .mp4 or .gif)");
}

// The nearest folder that exists on the way to the file; missing ones below it are made when
// the video is written, as --out makes its folder.
std::filesystem::path existingFolder(const std::filesystem::path& file) {
    std::filesystem::path dir = file.parent_path();
    std::error_code ec;
    while (!dir.empty() && !std::filesystem::exists(dir, ec)) dir = dir.parent_path();
    return dir.empty() ? std::filesystem::path(".") : dir;
}

// The file can be created (or replaced) where it is to go. A probe file is made and removed, so
// that permissions and read-only file systems show before the run.
void checkWritable(const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(file, ec)) throw VideoError(file + ": cannot be written: it is a folder");
    const fs::path dir = existingFolder(file);
    if (!fs::is_directory(dir, ec))
        throw VideoError(file + ": cannot be written: " + dir.string() + " is not a folder");
    if (fs::exists(file, ec) && ::access(file.c_str(), W_OK) != 0)
        throw VideoError(file + ": cannot be written: " + std::strerror(errno));
    const std::string reason = cannotCreateIn(dir);
    if (!reason.empty()) throw VideoError(file + ": cannot be written: " + reason);
}

bool even(int n) {
    return n % 2 == 0;
}

// Width and height: --size as given, --scale of the composition's, or the composition's own.
// H.264 in 4:2:0 needs even sides: a given size must be even, a derived one is rounded down.
std::pair<int, int> sizeOf(const VideoArgs& args, const Comp& comp, VideoFormat format) {
    const bool mp4 = format == VideoFormat::Mp4;
    if (args.size) {
        const auto [w, h] = *args.size;
        if (mp4 && (!even(w) || !even(h)))
            throw VideoError("--size " + std::to_string(w) + "x" + std::to_string(h) +
                             ": .mp4 needs an even width and height");
        return *args.size;
    }
    const double f = args.scale.value_or(1.0);
    int w = std::max(1, int(std::lround(comp.width * f)));
    int h = std::max(1, int(std::lround(comp.height * f)));
    if (w > kMaxSide || h > kMaxSide)
        throw VideoError("--scale: the video would be " + std::to_string(w) + "x" +
                         std::to_string(h) + ", above " + std::to_string(kMaxSide));
    if (mp4) {
        w = std::max(2, w - w % 2);
        h = std::max(2, h - h % 2);
    }
    return {w, h};
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", s);
    return text;
}

// Start and end in seconds: --range, or the work area.
std::pair<double, double> rangeOf(const VideoArgs& args, const Comp& comp) {
    if (!args.range) {
        const double start = comp.workAreaStart.seconds();
        return {start, start + comp.workAreaDuration.seconds()};
    }
    const auto [start, end] = *args.range;
    const double duration = comp.duration.seconds();
    const std::string given = "--range " + seconds(start) + "," + seconds(end);
    if (start >= end) throw VideoError(given + ": the start must come before the end");
    if (start < 0 || end > duration + 1e-9)
        throw VideoError(given + ": outside the composition, which runs from 0 to " +
                         seconds(duration) + " s");
    return {start, end};
}

}  // namespace

bool readVideoOption(const std::vector<std::string>& argv, size_t& i, VideoArgs& args) {
    const std::string& opt = argv[i];
    if (opt == "--video") {
        args.file = valueOf(argv, i);
        if (args.file.empty()) throw VideoError("--video needs a file name");
    } else if (opt == "--fps") {
        const std::string text = valueOf(argv, i);
        const double fps = numberOf(opt, text);
        if (fps < 1 || fps > kMaxFps)
            throw VideoError(opt + " " + text + ": expected 1 to " + seconds(kMaxFps));
        args.fps = fps;
    } else if (opt == "--size") {
        const std::string text = valueOf(argv, i);
        const auto [w, h] = split(opt, text, 'x', "WIDTHxHEIGHT");
        args.size = std::pair<int, int>{wholeOf(opt, w), wholeOf(opt, h)};
    } else if (opt == "--scale") {
        const std::string text = valueOf(argv, i);
        const double f = numberOf(opt, text);
        if (f <= 0 || f > 16) throw VideoError(opt + " " + text + ": expected above 0, up to 16");
        args.scale = f;
    } else if (opt == "--range") {
        const std::string text = valueOf(argv, i);
        const auto [a, b] = split(opt, text, ',', "START,END in seconds");
        args.range = std::pair<double, double>{numberOf(opt, a), numberOf(opt, b)};
    } else {
        return false;
    }
    args.given.push_back(opt);
    return true;
}

std::optional<VideoPlan> planVideo(const VideoArgs& args, const Comp& comp) {
    if (args.file.empty()) {
        if (!args.given.empty()) throw VideoError(args.given.front() + " needs --video FILE");
        return std::nullopt;
    }
    if (args.size && args.scale) throw VideoError("--size and --scale: give one of them");
    VideoPlan plan;
    plan.file = args.file;
    plan.format = formatOf(args.file);
    plan.frameDuration = args.fps ? frameDurationOf(*args.fps) : comp.frameDuration;
    const double fps = 1.0 / plan.frameDuration.seconds();
    if (plan.format == VideoFormat::Gif && fps > kMaxGifFps + 1e-9)
        throw VideoError(args.file + ": a GIF plays at most " + seconds(kMaxGifFps) +
                         " frames per second, this one would play " + seconds(fps) +
                         " (give --fps)");
    std::tie(plan.width, plan.height) = sizeOf(args, comp, plan.format);
    const auto [start, end] = rangeOf(args, comp);
    plan.start = start;
    // Frames whose time lies in [start, end).
    plan.frames = std::max(1, int(std::ceil((end - start) * fps - 1e-6)));
    checkWritable(args.file);
    return plan;
}

}  // namespace sim
