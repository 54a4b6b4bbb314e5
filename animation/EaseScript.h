#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/Params.h"

// The temporal-ease script handed to the host's scripting engine, in ECMAScript 3 for every host
// version the plug-in accepts. Its completion value (what the host hands back as the script's
// result) is "<keys eased> <keys planned>", then " <first error>" when one was met: a layer
// that fails leaves its keys uneased and the next layer still runs. Its eleven %s take, in order:
// the item id of the composition the run wrote (whatever item is active when the script runs),
// the layer numbers (1-based), the property codes (0 Position, 1 Scale, 2 Rotation, 3 Opacity),
// the distinct rows of key times [row][frame] in seconds, each layer's row [layer], speed in,
// influence in, speed out and influence out [frame], the Temporal Interpolation preset [frame]
// and the ignore rows [property][frame]. Layers with the same times (no time offset, or the
// same one) share a row, so a long run carries a few rows rather than one per layer. Each
// layer's keys are looked up at its row's times, written exactly, so a time offset of any size
// and a time of any size still reach the key its frame wrote.
extern const char EASE_SCRIPT[];

// printf-style formatting into a text of the needed size. Starts at twice the format's length
// plus 50 characters; grows to the reported length when that did not fit, doubles on a
// formatter error (a bounded number of times; then the result is empty).
template <typename... Args>
std::string string_format(const std::string& format, Args... args) {
    std::string out(format.size() * 2 + 50, '\0');
    for (int errors = 0; errors < 16;) {
        const int n = std::snprintf(&out[0], out.size(), format.c_str(), args...);
        if (n < 0) {
            ++errors;
            out.resize(out.size() * 2);
        } else if (size_t(n) >= out.size()) {
            out.resize(size_t(n) + 1);
        } else {
            out.resize(size_t(n));
            return out;
        }
    }
    return std::string();
}

// A number as C's "%g" writes it: six significant digits, no trailing zeros, and '.' as the
// decimal point whatever locale the host process runs in (the script reads only '.').
std::string formatNumber(double v);

// A number written with the fewest significant digits (up to 17) that read back as exactly the
// same double, with '.' as the decimal point; key times are found by it.
std::string formatExactNumber(double v);

// The text with the first `point` (a locale's decimal point) written as '.'.
std::string withDotDecimalPoint(std::string text, const std::string& point);

// "[" + the items joined by "," + "]".
std::string arrayLiteral(const std::vector<std::string>& items);

// The script's tables (see EASE_SCRIPT).
struct EaseScriptTables {
    int32_t compItemId = 0;
    std::vector<int32_t> layerNumbers;
    std::vector<int32_t> propertyCodes;
    std::vector<std::vector<double>> keyTimes;
    std::vector<float> speedsIn, influencesIn, speedsOut, influencesOut;
    std::vector<TemporalPreset> presets;
    std::vector<std::vector<int32_t>> ignoreRows;
};

// The item id and the nine array literals, in placeholder order.
std::vector<std::string> easeScriptArguments(const EaseScriptTables& tables);

// EASE_SCRIPT with the tables filled in.
std::string buildEaseScript(const EaseScriptTables& tables);

// Distinct key times one ease script carries at most. Every time in a distinct row is a number
// literal of its own, and a script engine compiles only so many into one script (the simulated
// host's keeps 65 535 constants a function, with room here for the per-frame numbers); a long
// run of layers with many different offsets has millions.
constexpr size_t kEaseScriptKeyTimes = 40000;

// The tables split by layers, in order, into batches whose distinct rows of key times add up to
// at most maxTimes times (a layer whose row alone has more makes a batch of its own; a row
// already in the batch adds none); every batch keeps the run's other tables. One batch, the
// tables themselves, when they fit.
std::vector<EaseScriptTables> layerBatches(const EaseScriptTables& tables, size_t maxTimes);

// Keys a script of these tables is to ease: each layer's frames that do not ignore an active
// property (a property with no keys, a plain value, has none; the script knows which).
long easesPlanned(const EaseScriptTables& tables);

// What an ease script reports.
struct EaseCount {
    long eased = 0;
    long planned = 0;
    std::string firstError;  // empty: none
};

// The count read from a script's result text; false when the text is not one.
bool parseEaseCount(const std::string& result, EaseCount& count);
