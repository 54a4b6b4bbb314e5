// The per-frame summary of a run in result.json, and its one-line form for the command line.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "sim/result/FrameSummary.h"
#include "sim/model/ImageFile.h"
#include "sim/result/ResultExtras.h"
#include "sim/model/SourceFrame.h"
#include "sim/model/CompTime.h"

namespace sim {

using Json = nlohmann::ordered_json;

namespace {

std::array<const Stream*, 4> animated(const Layer& l) {
    return {&l.position, &l.scale, &l.rotation, &l.opacity};
}

// Whether the run set the stream at time t: a key the layer did not have before, or one whose
// value it changed; or, at the current time, a changed value of a stream without keys.
bool setAt(const Stream* before, const Stream& after, const Time& t, bool now) {
    const int i = after.keyIndexAt(t);
    if (i < 0) return now && after.keys.empty() && before && before->value != after.value;
    const int j = before ? before->keyIndexAt(t) : -1;
    return j < 0 || before->keys.value(size_t(j)) != after.keys.value(size_t(i));
}

const Layer* layerWithId(const Comp& comp, int id) {
    for (const Layer& l : comp.layers) {
        if (l.id == id) return &l;
    }
    return nullptr;
}

bool placedAt(const Layer* before, const Layer& after, const Time& t, bool now) {
    for (size_t s = 0; s < 4; ++s) {
        if (setAt(before ? animated(*before)[s] : nullptr, *animated(after)[s], t, now))
            return true;
    }
    return false;
}

// The frames the run evaluated, in time order, with the layers it placed at each: the frames
// of every key, and the current time (a run of the current frame may set values, not keys).
std::map<int64_t, std::vector<int>> evaluatedFrames(const Project& before, const Project& after) {
    const Comp& comp = after.comp;
    const int64_t now = frameTime(comp, comp.currentTime.seconds()).value;
    std::set<int64_t> times{now};
    for (const Layer& l : comp.layers) {
        for (const Stream* s : animated(l)) {
            for (size_t k = 0; k < s->keys.size(); ++k)
                times.insert(frameTime(comp, s->keys.seconds(k)).value);
        }
    }
    std::vector<const Layer*> earlier;  // each layer as it was before the run, or nullptr
    for (const Layer& l : comp.layers) earlier.push_back(layerWithId(before.comp, l.id));
    std::map<int64_t, std::vector<int>> frames;
    for (int64_t v : times) {
        const Time t{int32_t(v), comp.frameDuration.scale};
        for (size_t i = 0; i < comp.layers.size(); ++i) {
            if (placedAt(earlier[i], comp.layers[i], t, v == now)) frames[v].push_back(int(i));
        }
    }
    return frames;
}

// The empty cells the plug-in reported for each frame of its last run ("Evaluating frame k of
// n" starts frame k; "Empty cells: N" follows for layouts with cells), by frame number.
std::vector<std::optional<int>> reportedEmptyCells(const std::vector<std::string>& info) {
    std::vector<std::optional<int>> cells;
    int frame = 0, count = 0, empty = 0;
    for (const std::string& line : info) {
        if (std::sscanf(line.c_str(), "Evaluating frame %d of %d", &frame, &count) == 2) {
            if (frame == 1) cells.assign(size_t(std::max(count, 0)), std::nullopt);
        } else if (std::sscanf(line.c_str(), "Empty cells: %d", &empty) == 1 && frame >= 1 &&
                   size_t(frame) <= cells.size()) {
            cells[size_t(frame - 1)] = empty;
        }
    }
    return cells;
}

Json frameJson(const Comp& comp, const FrameSummary& s, std::optional<int> emptyCells) {
    Json j = {{"time", s.time}, {"layersPlaced", s.placed}};
    j["emptyCells"] = emptyCells ? Json(*emptyCells) : Json();
    j["bareCells"] = s.hasShape ? Json(s.bareCells) : Json();
    j["cellSize"] = s.hasShape ? Json(s.cellSize) : Json();
    j["outsideShape"] = s.hasShape ? Json(s.outside) : Json();
    j["overlappingPairs"] = s.overlaps.size();
    Json pairs = Json::array();
    for (const auto& [a, b] : s.overlaps)
        pairs.push_back({comp.layers[size_t(a)].name, comp.layers[size_t(b)].name});
    j["overlaps"] = pairs;
    j["deepestOverlap"] = s.deepestOverlap;
    j["shapeCovered"] = s.hasShape ? Json(s.covered) : Json();
    j["spill"] = s.hasShape ? Json(s.spill) : Json();
    j["mostlyOffShape"] = s.hasShape ? Json(s.mostlyOff) : Json();
    j["deepOverlaps"] = s.deepOverlaps;
    j["touchingPairs"] = s.touchingPairs;
    auto sizeJson = [&](const LayerSize& l) {
        return l.layer < 0 ? Json()
                           : Json{{"name", comp.layers[size_t(l.layer)].name}, {"size", l.size}};
    };
    j["smallestLayer"] = sizeJson(s.smallest);
    j["largestLayer"] = sizeJson(s.largest);
    return j;
}

std::string percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * share);
    return text;
}

std::string pixels(double size) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g px", size);
    return text;
}

std::string plural(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string summaryLine(const std::vector<FrameSummary>& frames,
                        const std::vector<std::optional<int>>& emptyCells) {
    if (frames.empty()) return "tessaron: no layer was placed";
    long placed = 0, empty = 0, mostlyOff = 0, deep = 0, touching = 0;
    bool reported = false;
    for (const std::optional<int>& e : emptyCells) {
        empty += e.value_or(0);
        reported |= e.has_value();
    }
    double covered = 0.0, spill = 0.0, smallest = 0.0, largest = 0.0;
    bool sized = false;
    for (const FrameSummary& f : frames) {
        placed += f.placed;
        mostlyOff += f.mostlyOff;
        deep += f.deepOverlaps;
        touching += f.touchingPairs;
        covered += f.covered;
        spill += f.spill;
        if (f.smallest.layer < 0) continue;
        smallest = sized ? std::min(smallest, f.smallest.size) : f.smallest.size;
        largest = sized ? std::max(largest, f.largest.size) : f.largest.size;
        sized = true;
    }
    const double n = double(frames.size());
    std::string line = "tessaron: " + plural(long(frames.size()), "frame", "frames") +
                       " evaluated: " + plural(placed, "layer", "layers") + " placed, " +
                       (reported ? plural(empty, "empty cell", "empty cells") + ", " : "");
    if (frames.front().hasShape)
        line += percent(covered / n) + " of the shape covered, " + percent(spill / n) +
                " of the layers' area off it" + (frames.size() > 1 ? " (means), " : ", ") +
                plural(mostlyOff, "layer", "layers") + " mostly off it, ";
    line += plural(deep, "pair", "pairs") + " overlapping by more than 1 px, " +
            std::to_string(touching) + " touching";
    if (sized) line += ", visible layers " + pixels(smallest) + " to " + pixels(largest);
    return frames.front().hasShape ? line : line + " (no Source layer)";
}

}  // namespace

RunSummary summariseRun(const Project& before, const Project& after, int sourceLayerId,
                        const std::vector<std::string>& info) {
    const Comp& comp = after.comp;
    ShapeSource source;
    source.layer = layerWithId(comp, sourceLayerId);
    std::unique_ptr<Image> picture;
    std::vector<FrameSummary> summaries;
    for (const auto& [value, placed] : evaluatedFrames(before, after)) {
        const double seconds = Time{int32_t(value), comp.frameDuration.scale}.seconds();
        const std::string path = source.layer ? pictureAt(*source.layer, seconds) : "";
        picture.reset();
        if (!path.empty()) picture = std::make_unique<Image>(loadImage(resolvePath(after, path)));
        source.picture = picture.get();
        summaries.push_back(summariseFrame(comp, placed, source, seconds));
    }
    // The report belongs to these frames only when the last run evaluated as many.
    std::vector<std::optional<int>> empty = reportedEmptyCells(info);
    if (empty.size() != summaries.size()) empty.assign(summaries.size(), std::nullopt);
    RunSummary run;
    run.comp = &comp;
    run.line = summaryLine(summaries, empty);
    run.frames = std::move(summaries);
    run.emptyCells = std::move(empty);
    return run;
}

Json RunSummary::frameJson(size_t i) const {
    return sim::frameJson(*comp, frames.at(i), emptyCells.at(i));
}

}  // namespace sim
