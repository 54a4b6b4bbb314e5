#include "animation/EaseScript.h"

#include <cassert>
#include <clocale>
#include <cstdlib>

#include "AEGP_SuiteHandler.h"
#include "animation/KeyTime.h"
#include "animation/Properties.h"
#include "engine/MyTessaron.h"
#include "host/HostFailures.h"
#include "streams/HostTime.h"

const char EASE_SCRIPT[] =
    "try{var comp=app.project.itemByID(%s);var layerIndices=%s;var propIndices=%s;"
    "var keyTimes=%s;var speedInVals=%s;var influenceInVals=%s;var speedOutVals=%s;"
    "var influenceOutVals=%s;var interpolationVals=%s;var ignorePropKeyVals=%s;"
    "for (var layerId=0; layerId < layerIndices.length; layerId++){"
    "var layer=comp.layer(layerIndices[layerId]);var props=[];for (var i=0;"
    " i < propIndices.length; i++){if (propIndices[i] == 0) props.push(layer.position);"
    "else if (propIndices[i] == 1) props.push(layer.scale);else if (propIndices[i] == 2) "
    "props.push(layer.rotation);"
    "else if (propIndices[i] == 3) props.push(layer.opacity);}for (var propId=0;"
    " propId < props.length; propId++){var prop=props[propId];if (!prop.numKeys) continue;"
    "for (var k=0; k < keyTimes[layerId].length; k++){if (!ignorePropKeyVals[propId][k]){"
    "var interp=interpolationVals[k];var keyId=prop.nearestKeyIndex(keyTimes[layerId][k]);"
    "if(prop.keyTime(keyId) < keyTimes[layerId][k] - 0.005)keyId++;"
    "if (interp==1){prop.setInterpolationTypeAtKey(keyId, KeyframeInterpolationType.LINEAR, "
    "KeyframeInterpolationType.LINEAR);"
    "}else if (interp==8){prop.setInterpolationTypeAtKey(keyId, KeyframeInterpolationType.LINEAR, "
    "KeyframeInterpolationType.HOLD);"
    "}else{var easeIn=new KeyframeEase(speedInVals[k], influenceInVals[k]);"
    "var easeOut=new KeyframeEase(speedOutVals[k], influenceOutVals[k]);"
    "var easeInArr=[], easeOutArr=[];var dims=(prop.matchName.toLowerCase().indexOf('scale') != "
    "-1) ? 3 : 1;"
    "for (var d=1; d <= dims; d++){easeInArr.push(easeIn);easeOutArr.push(easeOut);"
    "}prop.setTemporalEaseAtKey(keyId, easeInArr, easeOutArr);}}}}"
    "}}catch(e){}";

namespace {

template <typename T, typename F>
std::string arrayOf(const std::vector<T>& values, F&& format) {
    std::vector<std::string> items;
    items.reserve(values.size());
    for (const T& v : values) {
        items.push_back(format(v));
    }
    return arrayLiteral(items);
}

std::string integer(int64_t v) {
    return std::to_string(v);
}

std::string numbers(const std::vector<float>& values) {
    return arrayOf(values, [](float v) { return formatNumber(v); });
}

}  // namespace

std::string withDotDecimalPoint(std::string text, const std::string& point) {
    const size_t at = point.empty() || point == "." ? std::string::npos : text.find(point);
    if (at != std::string::npos) {
        text.replace(at, point.size(), ".");
    }
    return text;
}

std::string formatNumber(double v) {
    // A decimal comma would split one number into two array elements.
    return withDotDecimalPoint(string_format("%g", v), std::localeconv()->decimal_point);
}

std::string formatExactNumber(double v) {
    // The shortest of 15, 16 and 17 digits that the same C library reads back unchanged (17
    // always does); both directions use the locale's decimal point, replaced afterwards.
    std::string text;
    for (int digits = 15; digits <= 17; ++digits) {
        text = string_format("%.*g", digits, v);
        if (std::strtod(text.c_str(), nullptr) == v) {
            break;
        }
    }
    return withDotDecimalPoint(text, std::localeconv()->decimal_point);
}

std::string arrayLiteral(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i ? "," : "") + items[i];
    }
    return out + "]";
}

std::vector<std::string> easeScriptArguments(const EaseScriptTables& t) {
    auto ints = [](const auto& row) { return arrayOf(row, [](auto v) { return integer(v); }); };
    // The script compares the presets with the popup's item numbers.
    auto presets = [](const std::vector<TemporalPreset>& row) {
        return arrayOf(row, [](TemporalPreset p) { return integer(static_cast<uint32_t>(p)); });
    };
    auto times = [](const std::vector<double>& row) {
        return arrayOf(row, [](double v) { return formatExactNumber(v); });
    };
    return {integer(t.compItemId),      ints(t.layerNumbers),     ints(t.propertyCodes),
            arrayOf(t.keyTimes, times), numbers(t.speedsIn),      numbers(t.influencesIn),
            numbers(t.speedsOut),       numbers(t.influencesOut), presets(t.presets),
            arrayOf(t.ignoreRows, ints)};
}

std::string buildEaseScript(const EaseScriptTables& tables) {
    const std::vector<std::string> a = easeScriptArguments(tables);
    assert(a.size() == 10);
    return string_format(EASE_SCRIPT, a[0].c_str(), a[1].c_str(), a[2].c_str(), a[3].c_str(),
                         a[4].c_str(), a[5].c_str(), a[6].c_str(), a[7].c_str(), a[8].c_str(),
                         a[9].c_str());
}

std::vector<EaseScriptTables> layerBatches(const EaseScriptTables& tables, size_t maxTimes) {
    EaseScriptTables shell = tables;
    shell.layerNumbers.clear();
    shell.keyTimes.clear();
    std::vector<EaseScriptTables> batches{shell};
    size_t times = 0;
    for (size_t i = 0; i < tables.layerNumbers.size(); ++i) {
        const size_t own = tables.keyTimes[i].size();
        if (times > 0 && times + own > maxTimes) {
            batches.push_back(shell);
            times = 0;
        }
        batches.back().layerNumbers.push_back(tables.layerNumbers[i]);
        batches.back().keyTimes.push_back(tables.keyTimes[i]);
        times += own;
    }
    return batches;
}

namespace {

template <typename T>
std::vector<T> firstFrames(const std::vector<T>& perFrame, int frames) {
    return std::vector<T>(perFrame.begin(), perFrame.begin() + frames);
}

EaseScriptTables easeTables(const MyTessaron& e) {
    const int frames = e.evaluatedFrameCount();
    EaseScriptTables t;
    t.compItemId = e.compItemId;
    for (int i = 0; i < e.layerCount; ++i) {
        t.layerNumbers.push_back(e.layerIndices[i] + 1);  // the script counts layers from 1
        std::vector<double> times;
        for (const A_Time& t : layerKeyTimes(e, i)) {
            times.push_back(timeSeconds(t));
        }
        t.keyTimes.push_back(times);
    }
    for (int32_t code = 0; code < PropertyCount; ++code) {
        if (!propertyActive(e, code)) {
            continue;
        }
        t.propertyCodes.push_back(code);
        std::vector<int32_t> row;
        for (int k = 0; k < frames; ++k) {
            row.push_back(propertyIgnoredAt(e, code, k) ? 1 : 0);
        }
        t.ignoreRows.push_back(row);
    }
    t.speedsIn = firstFrames(e.speedsIn, frames);
    t.influencesIn = firstFrames(e.influencesIn, frames);
    t.speedsOut = firstFrames(e.speedsOut, frames);
    t.influencesOut = firstFrames(e.influencesOut, frames);
    t.presets = firstFrames(e.temporalPresets, frames);
    return t;
}

}  // namespace

void MyTessaron::setTemporalInterpolationWithScript() {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    // One script per batch of layers (one for all but the longest runs). A script swallows its
    // own errors; a refused call means its batch got no ease, and the next batch still runs.
    for (const EaseScriptTables& batch : layerBatches(easeTables(*this), kEaseScriptKeyTimes)) {
        const std::string script = buildEaseScript(batch);
        const A_Err err = suites.UtilitySuite5()->AEGP_ExecuteScript(pluginId, script.c_str(),
                                                                     false, nullptr, nullptr);
        if (err) {
            hostFailures().easesNotSet("running the ease script", err);
        }
    }
}
