#include "animation/EaseScript.h"

#include <algorithm>
#include <cassert>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "AEGP_SuiteHandler.h"
#include "animation/KeyTime.h"
#include "animation/Properties.h"
#include "engine/MyTessaron.h"
#include "host/HostFailures.h"
#include "host/HostObjects.h"
#include "streams/HostTime.h"

// ECMAScript 3 only (the host's script engine has nothing newer) and the object model of every
// release the plug-in accepts: itemByID where the host has it, else a walk of the items. Each
// layer has its own guard; the completion value is "<eased> <planned>[ <first error>]".
const char EASE_SCRIPT[] =
    "(function(){var compId=%s;var layerIndices=%s;var propIndices=%s;var keyTimeRows=%s;"
    "var layerKeyRows=%s;"
    "var speedInVals=%s;var influenceInVals=%s;var speedOutVals=%s;var influenceOutVals=%s;"
    "var interpolationVals=%s;var ignorePropKeyVals=%s;"
    "var eased=0,planned=0,firstError=null,comp=null,i,easeCache=[];"
    "function note(e){if(firstError===null)firstError=String(e);}"
    "function easesAt(k,dims){var easeIn=new KeyframeEase(speedInVals[k],influenceInVals[k]),"
    "easeOut=new KeyframeEase(speedOutVals[k],influenceOutVals[k]),easeInArr=[],easeOutArr=[];"
    "for(var d=0;d<dims;d++){easeInArr.push(easeIn);easeOutArr.push(easeOut);}"
    "return easeCache[dims][k]=[easeInArr,easeOutArr];}"
    "function keysOf(propId,frames){var c=0;"
    "for(var k=0;k<frames;k++){if(!ignorePropKeyVals[propId][k])c++;}return c;}"
    "try{var project=app.project;"
    "if(project.itemByID){comp=project.itemByID(compId);}"
    "else{for(i=1;i<=project.numItems;i++){var item=project.item(i);"
    "if(item.id==compId){comp=item;break;}}}"
    "if(!comp)throw new Error('composition '+compId+' not found');"
    "}catch(e){note(e);comp=null;}"
    "for(var layerId=0;layerId<layerIndices.length;layerId++){"
    "var times=keyTimeRows[layerKeyRows[layerId]],propId;"
    "for(propId=0;propId<propIndices.length;propId++)planned+=keysOf(propId,times.length);"
    "if(!comp)continue;"
    "try{var layer=comp.layer(layerIndices[layerId]);"
    "for(propId=0;propId<propIndices.length;propId++){var code=propIndices[propId];"
    "var prop=code==0?layer.position:code==1?layer.scale:code==2?layer.rotation:layer.opacity;"
    "if(!prop.numKeys){planned-=keysOf(propId,times.length);continue;}"
    "var dims=prop.matchName.toLowerCase().indexOf('scale')!=-1?3:1;"
    "var skip=ignorePropKeyVals[propId],eases=easeCache[dims]||(easeCache[dims]=[]);"
    "for(var k=0;k<times.length;k++){if(skip[k])continue;"
    "var interp=interpolationVals[k],keyId=prop.nearestKeyIndex(times[k]);"
    "if(prop.keyTime(keyId)<times[k]-0.005)keyId++;"
    "if(interp==1){prop.setInterpolationTypeAtKey(keyId,KeyframeInterpolationType.LINEAR,"
    "KeyframeInterpolationType.LINEAR);"
    "}else if(interp==8){prop.setInterpolationTypeAtKey(keyId,KeyframeInterpolationType.LINEAR,"
    "KeyframeInterpolationType.HOLD);"
    "}else{var ease=eases[k]||easesAt(k,dims);prop.setTemporalEaseAtKey(keyId,ease[0],ease[1]);}"
    "eased++;}}"
    "}catch(e){note(e);}}"
    "return eased+' '+planned+(firstError===null?'':' '+firstError);"
    "})();";

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

// Rows are the same only when every time is bitwise the same (0 and -0 are not).
struct BitwiseLess {
    bool operator()(const std::vector<double>* a, const std::vector<double>* b) const {
        const size_t n = std::min(a->size(), b->size());
        for (size_t i = 0; i < n; ++i) {
            uint64_t x, y;
            std::memcpy(&x, &(*a)[i], sizeof x);
            std::memcpy(&y, &(*b)[i], sizeof y);
            if (x != y) return x < y;
        }
        return a->size() < b->size();
    }
};

// Each layer's row of key times given once: the distinct rows in order of first use, and per
// layer the index of its row.
struct DistinctRows {
    std::vector<const std::vector<double>*> rows;
    std::vector<int32_t> layerRows;
    std::map<const std::vector<double>*, int32_t, BitwiseLess> index;

    void add(const std::vector<double>& row) {
        const auto found = index.emplace(&row, int32_t(rows.size()));
        if (found.second) rows.push_back(&row);
        layerRows.push_back(found.first->second);
    }
};

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
    auto times = [](const std::vector<double>* row) {
        return arrayOf(*row, [](double v) { return formatExactNumber(v); });
    };
    DistinctRows distinct;
    for (const std::vector<double>& row : t.keyTimes) distinct.add(row);
    return {integer(t.compItemId),      ints(t.layerNumbers),
            ints(t.propertyCodes),      arrayOf(distinct.rows, times),
            ints(distinct.layerRows),   numbers(t.speedsIn),
            numbers(t.influencesIn),    numbers(t.speedsOut),
            numbers(t.influencesOut),   presets(t.presets),
            arrayOf(t.ignoreRows, ints)};
}

std::string buildEaseScript(const EaseScriptTables& tables) {
    const std::vector<std::string> a = easeScriptArguments(tables);
    assert(a.size() == 11);
    return string_format(EASE_SCRIPT, a[0].c_str(), a[1].c_str(), a[2].c_str(), a[3].c_str(),
                         a[4].c_str(), a[5].c_str(), a[6].c_str(), a[7].c_str(), a[8].c_str(),
                         a[9].c_str(), a[10].c_str());
}

std::vector<EaseScriptTables> layerBatches(const EaseScriptTables& tables, size_t maxTimes) {
    EaseScriptTables shell = tables;
    shell.layerNumbers.clear();
    shell.keyTimes.clear();
    std::vector<EaseScriptTables> batches{shell};
    // A row already in the batch adds no times: the script carries each distinct row once.
    std::set<const std::vector<double>*, BitwiseLess> batchRows;
    size_t times = 0;
    for (size_t i = 0; i < tables.layerNumbers.size(); ++i) {
        const std::vector<double>& row = tables.keyTimes[i];
        const size_t own = batchRows.count(&row) ? 0 : row.size();
        if (times > 0 && times + own > maxTimes) {
            batches.push_back(shell);
            batchRows.clear();
            times = 0;
        }
        batchRows.insert(&row);
        batches.back().layerNumbers.push_back(tables.layerNumbers[i]);
        batches.back().keyTimes.push_back(tables.keyTimes[i]);
        times += own;
    }
    return batches;
}

long easesPlanned(const EaseScriptTables& t) {
    long keys = 0;
    for (const std::vector<double>& times : t.keyTimes) {
        for (const std::vector<int32_t>& ignored : t.ignoreRows) {
            for (size_t k = 0; k < times.size() && k < ignored.size(); ++k) keys += !ignored[k];
        }
    }
    return keys;
}

bool parseEaseCount(const std::string& result, EaseCount& count) {
    // Two whole numbers, 0 <= eased <= planned, each followed by a space or the end.
    const char* text = result.c_str();
    char* end = nullptr;
    long numbers[2];
    for (long& n : numbers) {
        if (*text < '0' || *text > '9') return false;
        n = std::strtol(text, &end, 10);
        if (*end != ' ' && *end != '\0') return false;
        text = *end ? end + 1 : end;
    }
    if (numbers[0] > numbers[1]) return false;
    count = EaseCount{numbers[0], numbers[1], text};
    return true;
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

// Runs one batch's script; the keys it eased, or nothing learnt when the host refused it or
// its result could not be read (each noted in hostFailures()).
void runEaseScript(const AEGP_SuiteHandler& suites, AEGP_PluginID pluginId,
                   const EaseScriptTables& batch) {
    const std::string script = buildEaseScript(batch);
    ScopedMemHandle result(suites.MemorySuite1()), error(suites.MemorySuite1());
    A_Err err = suites.UtilitySuite5()->AEGP_ExecuteScript(pluginId, script.c_str(), false,
                                                           result.receive(), error.receive());
    if (err) {
        std::string why;
        error.text(why);  // the host's error text, when it gives one
        hostFailures().failed("running the ease script", err);
        hostFailures().eases(easesPlanned(batch), 0, why);
        return;
    }
    std::string text;
    EaseCount count;
    err = result.text(text);
    if (err || !parseEaseCount(text, count)) {
        hostFailures().easesUnchecked("reading the ease script's result",
                                      err ? err : A_Err_GENERIC);
        return;
    }
    hostFailures().eases(count.planned, count.eased, count.firstError);
}

}  // namespace

void MyTessaron::setTemporalInterpolationWithScript() {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    // One script per batch of layers (one for all but the longest runs); a batch that fails
    // does not stop the next.
    for (const EaseScriptTables& batch : layerBatches(easeTables(*this), kEaseScriptKeyTimes)) {
        runEaseScript(suites, pluginId, batch);
    }
}
