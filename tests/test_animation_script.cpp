// The temporal-ease script text and its array literals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "animation/EaseScript.h"
#include "sim/core/Host.h"
#include "sim/script/Script.h"

namespace {

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

EaseScriptTables twoLayersThreeFrames() {
    EaseScriptTables t;
    t.compItemId = 42;
    t.layerNumbers = {3, 4};
    t.propertyCodes = {0, 3};
    t.keyTimes = {{0, 0.04, 0.08}, {0.02, 0.06, 0.1}};
    t.speedsIn = {0, 0, 0};
    t.influencesIn = {0.1f, 33.333328f, 100};
    t.speedsOut = {0, 0, 12.5f};
    t.influencesOut = {0.1f, 0.1f, 33.333328f};
    t.presets = {TemporalPreset::Linear, TemporalPreset::EaseIn, TemporalPreset::Hold};
    t.ignoreRows = {{0, 0, 0}, {0, 1, 0}};
    return t;
}

}  // namespace

TEST(AnimationScript, TemplateLooksUpEachLayersOwnKeyTimesInTheCompositionById) {
    const std::string text = EASE_SCRIPT;
    EXPECT_EQ(count(text, "%s"), 11u);
    EXPECT_EQ(count(text, "%"), 11u);
    EXPECT_EQ(text.rfind("(function(){var compId=%s;var layerIndices=%s;", 0), 0u);
    EXPECT_EQ(count(text, "activeItem"), 0u);
    // itemByID where the host has it, else a walk of the project's items.
    EXPECT_EQ(count(text, "if(project.itemByID){comp=project.itemByID(compId);}"), 1u);
    EXPECT_EQ(count(text, "for(i=1;i<=project.numItems;i++){var item=project.item(i);"), 1u);
    EXPECT_EQ(count(text, "var times=keyTimeRows[layerKeyRows[layerId]]"), 1u);
    EXPECT_EQ(count(text, "k<times.length"), 1u);
    EXPECT_EQ(count(text, "prop.nearestKeyIndex(times[k])"), 1u);
    EXPECT_EQ(count(text, "prop.keyTime(keyId)<times[k]-0.005"), 1u);
    EXPECT_NE(text.find("var dims=prop.matchName.toLowerCase().indexOf('scale')!=-1?3:1;"),
              std::string::npos);
    // One guard per layer; the completion value is the count.
    EXPECT_EQ(count(text, "try{var layer=comp.layer(layerIndices[layerId]);"), 1u);
    const std::string end = "return eased+' '+planned+(firstError===null?'':' '+firstError);})();";
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

// The host's script engine knows ECMAScript 3 only: none of the newer built-ins, no trailing
// comma, no getter or setter, no block-scoped declaration.
TEST(AnimationScript, TemplateKeepsToECMAScript3) {
    const std::string text = EASE_SCRIPT;
    for (const char* newer : {".forEach",
                              ".map(",
                              ".filter(",
                              ".reduce",
                              ".some(",
                              ".every(",
                              "Array.isArray",
                              "JSON",
                              "Object.keys",
                              "Object.create",
                              "defineProperty",
                              ".trim(",
                              ".bind(",
                              "Date.now",
                              "get ",
                              "set ",
                              "let ",
                              "const ",
                              "=>",
                              "`",
                              ",]",
                              ",}",
                              ",)"}) {
        EXPECT_EQ(text.find(newer), std::string::npos) << newer;
    }
    // Array.prototype.indexOf is ES5; String.prototype.indexOf (on the match name) is ES3.
    EXPECT_EQ(count(text, "indexOf"), count(text, "toLowerCase().indexOf"));
}

TEST(AnimationScript, NumbersAreWrittenLikePercentG) {
    EXPECT_EQ(formatNumber(100.0 + 1.0 / 30.0), "100.033");
    EXPECT_EQ(formatNumber(33.333328f), "33.3333");
    EXPECT_EQ(formatNumber(0.1f), "0.1");
    EXPECT_EQ(formatNumber(0.48), "0.48");
    EXPECT_EQ(formatNumber(100), "100");
    EXPECT_EQ(formatNumber(0), "0");
    EXPECT_EQ(formatNumber(0.00001), "1e-05");
    EXPECT_EQ(formatNumber(1000000), "1e+06");
    EXPECT_EQ(formatNumber(999999), "999999");
}

// Key times are found by the number the script reads: it must be the very double written.
TEST(AnimationScript, KeyTimesAreWrittenExactlyWithTheFewestDigits) {
    EXPECT_EQ(formatExactNumber(0.48), "0.48");
    EXPECT_EQ(formatExactNumber(0), "0");
    EXPECT_EQ(formatExactNumber(10000.04), "10000.04");
    EXPECT_EQ(formatExactNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(formatExactNumber(100.0 + 1.0 / 30.0), "100.03333333333333");
    for (int32_t value : {1, 48000, 99999, 1000000004, 2147483647}) {
        for (uint32_t scale : {100000u, 1000u, 30000u}) {
            const double t = double(value) / double(scale);
            const std::string text = formatExactNumber(t);
            EXPECT_EQ(std::stod(text), t) << text;
            EXPECT_LE(text.size(), 23u) << text;
        }
    }
}

TEST(AnimationScript, NumbersKeepADotDecimalPointInAnyLocale) {
    EXPECT_EQ(withDotDecimalPoint("33,3333", ","), "33.3333");
    EXPECT_EQ(withDotDecimalPoint("1,5e-05", ","), "1.5e-05");
    EXPECT_EQ(withDotDecimalPoint("100", ","), "100");
    EXPECT_EQ(withDotDecimalPoint("0.48", "."), "0.48");
    EXPECT_EQ(withDotDecimalPoint("0\u066b48", "\u066b"), "0.48");  // a point of two bytes
    EXPECT_EQ(withDotDecimalPoint("0.48", ""), "0.48");
}

TEST(AnimationScript, ItemIdAndTenArraysInPlaceholderOrder) {
    const std::vector<std::string> a = easeScriptArguments(twoLayersThreeFrames());
    ASSERT_EQ(a.size(), 11u);
    EXPECT_EQ(a[0], "42");
    EXPECT_EQ(a[1], "[3,4]");
    EXPECT_EQ(a[2], "[0,3]");
    EXPECT_EQ(a[3], "[[0,0.04,0.08],[0.02,0.06,0.1]]");
    EXPECT_EQ(a[4], "[0,1]");
    EXPECT_EQ(a[5], "[0,0,0]");
    EXPECT_EQ(a[6], "[0.1,33.3333,100]");
    EXPECT_EQ(a[7], "[0,0,12.5]");
    EXPECT_EQ(a[8], "[0.1,0.1,33.3333]");
    EXPECT_EQ(a[9], "[1,2,8]");
    EXPECT_EQ(a[10], "[[0,0,0],[0,1,0]]");
}

// Layers with bitwise-equal key times share one row, in order of first use; any other layer
// (an offset of its own, or a time differing only in its last bit or its sign) has its own.
TEST(AnimationScript, KeyTimeRowsAreTheDistinctRowsInOrderOfFirstUse) {
    const double next = std::nextafter(0.04, 1.0);
    const struct {
        std::vector<std::vector<double>> layers;
        std::string rows, layerRows;
    } cases[] = {
        {{{0, 0.04}, {0, 0.04}, {0, 0.04}}, "[[0,0.04]]", "[0,0,0]"},
        {{{0.5, 1}, {0, 0.04}, {0.5, 1}, {0.25, 1}, {0, 0.04}},
         "[[0.5,1],[0,0.04],[0.25,1]]",
         "[0,1,0,2,1]"},
        {{{0, 0.04}, {0, next}, {-0.0, 0.04}, {0, 0.04, 0.08}},
         "[[0,0.04],[0," + formatExactNumber(next) + "],[-0,0.04],[0,0.04,0.08]]",
         "[0,1,2,3]"},
        {{{}, {}}, "[[]]", "[0,0]"},
    };
    for (const auto& c : cases) {
        EaseScriptTables t;
        t.keyTimes = c.layers;
        t.layerNumbers.assign(c.layers.size(), 1);
        const std::vector<std::string> a = easeScriptArguments(t);
        EXPECT_EQ(a[3], c.rows) << c.layerRows;
        EXPECT_EQ(a[4], c.layerRows) << c.rows;
    }
}

TEST(AnimationScript, EmptyTablesGiveEmptyArrays) {
    const std::vector<std::string> a = easeScriptArguments(EaseScriptTables());
    for (size_t i = 1; i < a.size(); ++i) {
        EXPECT_EQ(a[i], "[]");
    }
    EXPECT_EQ(arrayLiteral({"1"}), "[1]");
}

TEST(AnimationScript, FilledScriptCarriesTheArrays) {
    const std::string script = buildEaseScript(twoLayersThreeFrames());
    EXPECT_EQ(script.rfind("(function(){var compId=42;var layerIndices=[3,4];"
                           "var propIndices=[0,3];var keyTimeRows=[[0,0.04,0.08],[0.02,0.06,0.1]];"
                           "var layerKeyRows=[0,1];",
                           0),
              0u);
    EXPECT_NE(script.find("var ignorePropKeyVals=[[0,0,0],[0,1,0]];"), std::string::npos);
    EXPECT_EQ(script.find("%s"), std::string::npos);
}

TEST(AnimationScript, StringFormatGrowsToTheNeededLength) {
    const std::string longText(5000, 'x');
    EXPECT_EQ(string_format("<%s>", longText.c_str()), "<" + longText + ">");
    EXPECT_EQ(string_format("%s-%s", "a", "b"), "a-b");
    EXPECT_EQ(string_format("no placeholders %d", 7), "no placeholders 7");
    // Exactly filling the first buffer (2 x 2 + 50 = 54 characters) still needs room for the end.
    const std::string fill(54, 'y');
    EXPECT_EQ(string_format("%s", fill.c_str()), fill);
}

// Batches keep the layers in order, each with the run's other tables, and add up to at most the
// limit unless one layer alone has more.
TEST(AnimationScript, LayerBatchesSplitTheLayersInOrder) {
    EaseScriptTables t = twoLayersThreeFrames();
    const auto whole = layerBatches(t, 6);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(buildEaseScript(whole[0]), buildEaseScript(t));

    t.layerNumbers = {3, 4, 5, 6, 7};
    t.keyTimes = {{0, 1}, {0, 1, 2, 3, 4, 5, 6}, {0}, {0, 1}, {0, 1, 2}};
    const auto batches = layerBatches(t, 3);
    std::vector<std::vector<int32_t>> layers;
    for (const EaseScriptTables& b : batches) {
        layers.push_back(b.layerNumbers);
        EXPECT_EQ(b.keyTimes.size(), b.layerNumbers.size());
        EXPECT_EQ(b.ignoreRows, t.ignoreRows);
        EXPECT_EQ(b.influencesIn, t.influencesIn);
        EXPECT_EQ(b.compItemId, t.compItemId);
    }
    EXPECT_EQ(layers, (std::vector<std::vector<int32_t>>{{3}, {4}, {5, 6}, {7}}));
    EXPECT_EQ(batches[1].keyTimes[0].size(), 7u);

    t.layerNumbers.clear();
    t.keyTimes.clear();
    EXPECT_EQ(layerBatches(t, 3).size(), 1u);  // no layers: one script, as always

    // A row already in the batch adds no times; rows equal only bitwise.
    const std::vector<double> a{0, 1}, b{0.5, 1.5}, c{0, 1, 2}, minusZero{-0.0, 1};
    const struct {
        std::vector<std::vector<double>> times;
        size_t maxTimes;
        std::vector<std::vector<int32_t>> layers;
    } shared[] = {
        {{a, a, a, a, a}, 2, {{1, 2, 3, 4, 5}}},
        {{a, b, a, b, c, a}, 4, {{1, 2, 3, 4}, {5}, {6}}},
        {{a, b, a, c, c, b}, 5, {{1, 2, 3}, {4, 5, 6}}},
        {{a, minusZero, minusZero}, 3, {{1}, {2, 3}}},
        {{c, a, c}, 2, {{1}, {2}, {3}}},
    };
    for (const auto& s : shared) {
        t.keyTimes = s.times;
        t.layerNumbers.clear();
        for (size_t i = 0; i < s.times.size(); ++i) t.layerNumbers.push_back(int32_t(i + 1));
        std::vector<std::vector<int32_t>> got;
        for (const EaseScriptTables& batch : layerBatches(t, s.maxTimes)) {
            got.push_back(batch.layerNumbers);
            for (size_t i = 0; i < batch.layerNumbers.size(); ++i) {
                EXPECT_EQ(batch.keyTimes[i], s.times[size_t(batch.layerNumbers[i] - 1)]);
            }
        }
        EXPECT_EQ(got, s.layers) << "limit " << s.maxTimes;
    }
}

// A long run of many layers: 100 layers with a key at each of 1000 frames. The whole script
// holds more number literals than the simulated host's script engine compiles; each batch's
// script compiles and runs.
TEST(AnimationScript, EachBatchOfALongRunCompilesWhereTheWholeScriptDoesNot) {
    EaseScriptTables t;
    t.compItemId = 1;
    sim::Project project;
    project.comp.itemId = 1;
    project.comp.layers.resize(100);
    std::vector<double> times;
    for (int k = 0; k < 1000; ++k) {
        times.push_back(k / 25.0 + 0.001);
    }
    for (int i = 0; i < 100; ++i) {
        project.comp.layers[size_t(i)].id = i + 1;
        t.layerNumbers.push_back(i + 1);
        t.keyTimes.push_back(times);
        times[0] += 1e-9;  // every layer's own row: offsets that differ
    }
    sim::Records records;
    EXPECT_FALSE(sim::executeScript(project, records, buildEaseScript(t)) &&
                 records.scriptErrors.empty());
    ASSERT_FALSE(records.scriptErrors.empty());
    EXPECT_NE(records.scriptErrors[0].find("const limit"), std::string::npos)
        << records.scriptErrors[0];
    const auto batches = layerBatches(t, kEaseScriptKeyTimes);
    EXPECT_EQ(batches.size(), 3u);
    for (const EaseScriptTables& b : batches) {
        records = sim::Records{};
        EXPECT_TRUE(sim::executeScript(project, records, buildEaseScript(b)));
        EXPECT_TRUE(records.scriptErrors.empty()) << records.scriptErrors.front();
    }
}
