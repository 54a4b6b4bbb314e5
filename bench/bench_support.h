#pragma once
// Compositions for the whole-Create benchmarks: a Source image written as a PNG, collage cards,
// and the effect driven through the plug-in's entry point linked into the benchmark.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/core/Host.h"
#include "sim/model/Model.h"

namespace bench {

// Writes a width x height PNG, opaque white where opaque(x, y), transparent elsewhere, into the
// build folder (once per name) and returns its path.
std::string sourcePng(const std::string& name, int width, int height,
                      const std::function<bool(int, int)>& opaque);

// Writes a width x height PNG, white of alpha(x, y) (0 to 1, clamped) at each pixel, into the
// temporary folder under "tessaron_bench_<process id>_<name>.png" and returns its path.
std::string alphaPng(const std::string& name, int width, int height,
                     const std::function<double(int, int)>& alpha);

// Layer 1: the Source (footage of the image, carrying the effect); then `cards` 40 x 30 solids.
sim::Project collage(const std::string& imagePath, int width, int height, int cards, int frames);

// A host running the linked-in plug-in with the effect applied, Source Layer = layer 1, Random
// Seed off.
std::unique_ptr<sim::Host> appliedHost(const sim::Project& project);

// Presses Create (Random Seed off: every press draws alike).
void pressCreate(sim::Host& host);

// Prints a table's CSV lines for docs/perf/ after the table: "csv," and the header, then the
// lines (each already "csv,..." and ending in a newline).
void printCsv(const std::string& header, const std::vector<std::string>& lines);

}  // namespace bench
