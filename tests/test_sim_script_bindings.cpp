// The scripting engine behind AEGP_ExecuteScript: the composition, layers and their keyed
// properties as scripts see them, host-like errors for bad calls, and every error recorded even
// when the script swallows it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "animation/EaseScript.h"
#include "sim/core/Host.h"
#include "sim/script/Script.h"

namespace {

using sim::Interp;

void addKey(sim::Stream& s, int32_t value, double v) {
    s.addKey(sim::Time{value, 100000}, sim::Vec3{v, v, v});
}

bool sameEases(const std::vector<sim::Ease>& a, const std::vector<sim::Ease>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].speed != b[i].speed || a[i].influence != b[i].influence) return false;
    }
    return true;
}

// Same temporal interpolation: types and eases.
bool sameTiming(const sim::Key& a, const sim::Key& b) {
    return a.style().inInterp == b.style().inInterp && a.style().outInterp == b.style().outInterp &&
           sameEases(a.style().inEase, b.style().inEase) &&
           sameEases(a.style().outEase, b.style().outEase);
}

class ScriptBindings : public ::testing::Test {
  protected:
    void SetUp() override {
        project.comp.layers.resize(2);
        sim::Layer& a = project.comp.layers[0];
        a.id = 1;
        a.name = "Card A";
        addKey(a.position, 0, 1);
        addKey(a.position, 48000, 2);  // 0.48 s
        addKey(a.position, 100000, 3);
        addKey(a.scale, 0, 50);
        addKey(a.scale, 100000, 80);
        project.comp.layers[1].id = 2;
        project.comp.layers[1].name = "Card B";
    }

    // Runs a script with a check() helper whose failures land in scriptErrors.
    bool run(const std::string& body, sim::ApiVersion version = {}) {
        const std::string check =
            "function check(c, what) { if (!c) throw new Error('check: ' + what); }\n";
        return sim::executeScript(project, records, check + body, version);
    }

    sim::Key key(int layer, const sim::Stream sim::Layer::*stream, size_t k) const {
        return (project.comp.layers[size_t(layer)].*stream).keys[k];
    }

    sim::Project project;
    sim::Records records;
};

TEST_F(ScriptBindings, ItemByIdFindsTheCompositionWhateverItemIsActive) {
    project.comp.itemId = 7;
    project.compActive = false;
    EXPECT_TRUE(run(R"(
        check(app.project.activeItem === null, 'no active item');
        var comp = app.project.itemByID(7);
        check(comp !== null && comp.id == 7 && comp.layer(2).name == 'Card B', 'by its id');
        check(app.project.itemByID(9).name == 'Card B', 'a layer source by its id');
        check(app.project.itemByID(99) === null, 'an unknown id finds nothing');
    )"));
    EXPECT_TRUE(records.scriptErrors.empty()) << records.scriptErrors.front();
    EXPECT_FALSE(run("app.project.itemByID('7');"));
    EXPECT_EQ(records.scriptErrors.size(), 1u);
}

// The object model is that of the host's release: app.project.itemByID from API 13.7 (CC 2014)
// on; before it a script finds an item by walking app.project.item(1 .. numItems), which every
// release has.
TEST_F(ScriptBindings, TheApiVersionDecidesTheObjectModel) {
    project.comp.itemId = 7;
    const struct {
        sim::ApiVersion version;
        bool itemById;
    } releases[] = {
        {{13, 1}, false}, {{13, 6}, false}, {{13, 7}, true}, {{13, 28}, true}, {{14, 0}, true}};
    for (const auto& r : releases) {
        const std::string at =
            std::to_string(r.version.major) + "." + std::to_string(r.version.minor);
        records = sim::Records{};
        EXPECT_TRUE(run(R"(
            var p = app.project, found = null;
            check(p.numItems == 3, 'the two sources and the composition');
            for (var i = 1; i <= p.numItems; i++) if (p.item(i).id == 7) found = p.item(i);
            check(found !== null && found.typeName == 'Composition' && found.numLayers == 2,
                  'the composition found by walking the items');
            check(p.item(1).id == 8 && p.item(1).name == 'Card A' && p.item(2).id == 9, 'sources');
            check(typeof p.itemByID == ')" +
                            std::string(r.itemById ? "function" : "undefined") +
                            R"(', 'itemByID');
        )",
                        r.version))
            << at;
        EXPECT_TRUE(records.scriptErrors.empty()) << at << ": " << records.scriptErrors.front();
        records = sim::Records{};
        EXPECT_EQ(run("app.project.itemByID(7).layer(1);", r.version), r.itemById) << at;
        EXPECT_EQ(records.scriptErrors.size(), r.itemById ? 0u : 1u) << at;
        records = sim::Records{};
        EXPECT_FALSE(run("app.project.item(4);", r.version)) << at;
        EXPECT_FALSE(run("app.project.item(0);", r.version)) << at;
    }
}

// Scripts run with the ECMAScript 3 built-ins only, at every version: what is newer fails as
// in the host, what ECMAScript 3 has works (the object model's own getters included).
TEST_F(ScriptBindings, ScriptsHaveTheECMAScript3BuiltInsOnly) {
    const char* const newer[] = {
        "[1].forEach(function () {})",
        "[1].map(function (x) { return x; })",
        "[1].filter(function () { return true; })",
        "[1].reduce(function (a, b) { return a + b; })",
        "[1].some(function () { return true; })",
        "[1].indexOf(1)",
        "[1].lastIndexOf(1)",
        "Array.isArray([])",
        "JSON.stringify({})",
        "Object.keys({})",
        "Object.create(null)",
        "Object.defineProperty({}, 'a', {get: function () { return 1; }})",
        "Object.getOwnPropertyNames({})",
        "Object.getPrototypeOf({})",
        "Object.freeze({})",
        "Object.assign({}, {})",
        "({}).__defineGetter__('a', function () { return 1; })",
        "' a '.trim()",
        "'ab'.startsWith('a')",
        "(function () {}).bind(null)",
        "Date.now()",
        "new Date(0).toISOString()",
        "Symbol('a')",
        "new Proxy({}, {})",
        "Reflect.ownKeys({})",
        "new Uint8Array(1)",
        "new ArrayBuffer(1)",
        "Duktape.version",
        "__host.numLayers()",
        "globalThis",
    };
    for (const sim::ApiVersion version : {sim::ApiVersion{13, 1}, sim::ApiVersion{13, 28}}) {
        for (const char* use : newer) {
            records = sim::Records{};
            EXPECT_FALSE(run(std::string(use) + ";", version)) << use;
            EXPECT_EQ(records.scriptErrors.size(), 1u) << use;
        }
        records = sim::Records{};
        EXPECT_TRUE(run(R"(
            var a = [3, 1, 2];
            check(a.concat([4]).join(',') == '3,1,2,4' && a.slice(1).length == 2, 'array');
            check(a.sort().toString() == '1,2,3' && a.reverse()[0] == 3, 'sort');
            a.splice(0, 1); a.unshift(9); a.push(8);
            check(a.pop() == 8 && a.shift() == 9 && a.length == 2, 'push and pop');
            check('Scale'.toLowerCase().indexOf('scale') == 0 && 'a,b'.split(',')[1] == 'b',
                  'string');
            check('abc'.substr(1, 1) == 'b' && 'abc'.substring(2) == 'c' &&
                  'abc'.charAt(0) == 'a' && String.fromCharCode(65) == 'A', 'more string');
            check(/b+/.test('abbc') && 'abbc'.replace(/b+/, 'x') == 'axc', 'regexp');
            check(Math.max(1, 2) == 2 && Math.floor(2.5) == 2 && Math.abs(-1) == 1, 'math');
            check((2.345).toFixed(1) == '2.3' && parseInt('12', 10) == 12 && isNaN(NaN), 'number');
            check(new Date(0).getTime() == 0 && typeof new Date().getFullYear() == 'number', 'date');
            check(encodeURIComponent(' ') == '%20' && escape(' ') == '%20', 'uri');
            function f(x) { return this.y + x; }
            check(f.call({y: 1}, 2) == 3 && f.apply({y: 1}, [3]) == 4 && f.length == 1, 'call');
            check({a: 1}.hasOwnProperty('a') && [] instanceof Array, 'objects');
            var e = new TypeError('bad');
            check(e instanceof Error && String(e) == 'TypeError: bad' && e.message == 'bad',
                  'errors');
            var p = app.project.activeItem.layer(1).position;
            check(p.numKeys == 3 && p.matchName == 'ADBE Position', 'the object model');
        )",
                        version));
        EXPECT_EQ(records.scriptErrors, std::vector<std::string>{"TypeError: bad"});
    }
}

// The script's completion value, as the host hands it back: the value of the last expression
// statement run, as a string.
TEST_F(ScriptBindings, TheCompletionValueIsTheLastExpressionsValue) {
    const struct {
        const char* script;
        const char* value;
    } cases[] = {
        {"1 + 2;", "3"},
        {"'a b'", "a b"},
        {"var a = 1;", "undefined"},
        {"var a = 1; a * 4; var b = 2;", "4"},
        {"(function () { return 3 + ' keys'; })();", "3 keys"},
        {"if (true) { 'then'; } else { 'else'; }", "then"},
        {"for (var i = 0; i < 3; i++) i;", "2"},
        {"[1, 2];", "1,2"},
        {"try { null.x; } catch (e) { 'caught'; }", "caught"},
    };
    for (const auto& c : cases) {
        std::string value = "-";
        EXPECT_TRUE(sim::executeScript(project, records, c.script, {}, &value)) << c.script;
        EXPECT_EQ(value, c.value) << c.script;
    }
    std::string value = "-";
    EXPECT_FALSE(sim::executeScript(project, records, "throw new Error('x');", {}, &value));
    EXPECT_EQ(value, "");
}

// nearestKeyIndex searches the keys in time order: it agrees with a scan of every key on random
// times, the earlier key winning a tie (0.24 s lies halfway between 0 and 0.48 s).
TEST_F(ScriptBindings, NearestKeyIndexMatchesAScanOfEveryKey) {
    sim::Stream& s = project.comp.layers[1].opacity;
    for (int k = 0; k < 40; ++k) {
        addKey(s, (k * 7919) % 100003 * 3, k);
    }
    std::string times = "[", expected = "[";
    for (int q = 0; q < 200; ++q) {
        const double t = (q * 104729 % 320000) / 100000.0 - 0.1;
        size_t best = 0;
        for (size_t k = 1; k < s.keys.size(); ++k) {
            if (std::fabs(s.keys[k].time.seconds() - t) <
                std::fabs(s.keys[best].time.seconds() - t)) {
                best = k;
            }
        }
        times += (q ? "," : "") + std::to_string(t);
        expected += (q ? "," : "") + std::to_string(best + 1);
    }
    EXPECT_TRUE(run("var p = app.project.activeItem.layer(2).opacity; var t = " + times +
                    "]; var e = " + expected +
                    "]; for (var q = 0; q < t.length; q++) check(p.nearestKeyIndex(t[q]) == e[q], "
                    "'at ' + t[q]);"
                    "check(app.project.activeItem.layer(1).position.nearestKeyIndex(0.24) == 1,"
                    " 'tie');"));
    EXPECT_TRUE(records.scriptErrors.empty()) << records.scriptErrors.front();
}

TEST_F(ScriptBindings, PropertiesShowTheirKeys) {
    EXPECT_TRUE(run(R"(
        var comp = app.project.activeItem;
        check(comp.numLayers == 2, 'numLayers');
        var a = comp.layer(1), b = comp.layer(2);
        check(a.name == 'Card A' && b.index == 2, 'layer identity');
        check(a.position.numKeys == 3 && a.scale.numKeys == 2 && a.rotation.numKeys == 0, 'numKeys');
        check(a.position.keyTime(2) == 0.48, 'keyTime');
        check(a.position.nearestKeyIndex(0.3) == 2, 'nearest after');
        check(a.position.nearestKeyIndex(0.2) == 1, 'nearest before');
        check(a.position.nearestKeyIndex(0.24) == 1, 'a tie goes to the earlier key');
        check(a.position.nearestKeyIndex(99) == 3, 'nearest past the end');
        check(a.position.matchName == 'ADBE Position', 'matchName position');
        check(a.scale.matchName == 'ADBE Scale' && a.rotation.matchName == 'ADBE Rotate Z', 'matchName');
        check(a.opacity.matchName == 'ADBE Opacity', 'matchName opacity');
        check(a.transform.position.numKeys == 3, 'transform group');
        check(KeyframeInterpolationType.LINEAR == 6612 && KeyframeInterpolationType.BEZIER == 6613 &&
              KeyframeInterpolationType.HOLD == 6614, 'interpolation codes');
    )"));
    EXPECT_TRUE(records.scriptErrors.empty()) << records.scriptErrors.front();
}

TEST_F(ScriptBindings, InterpolationTypesAreSet) {
    EXPECT_TRUE(run(R"(
        var p = app.project.activeItem.layer(1).position;
        p.setInterpolationTypeAtKey(1, KeyframeInterpolationType.LINEAR, KeyframeInterpolationType.HOLD);
        p.setInterpolationTypeAtKey(2, KeyframeInterpolationType.BEZIER);
        p.setInterpolationTypeAtKey(3, KeyframeInterpolationType.HOLD, KeyframeInterpolationType.LINEAR);
    )"));
    EXPECT_TRUE(records.scriptErrors.empty());
    EXPECT_EQ(key(0, &sim::Layer::position, 0).style().inInterp, Interp::Linear);
    EXPECT_EQ(key(0, &sim::Layer::position, 0).style().outInterp, Interp::Hold);
    EXPECT_EQ(key(0, &sim::Layer::position, 1).style().inInterp,
              Interp::Bezier);  // out defaults to in
    EXPECT_EQ(key(0, &sim::Layer::position, 1).style().outInterp, Interp::Bezier);
    EXPECT_EQ(key(0, &sim::Layer::position, 2).style().inInterp, Interp::Hold);
    EXPECT_EQ(key(0, &sim::Layer::position, 2).style().outInterp, Interp::Linear);
}

TEST_F(ScriptBindings, EaseSetsOneEasePerDimensionAndMakesTheKeyBezier) {
    EXPECT_TRUE(run(R"(
        var l = app.project.activeItem.layer(1);
        var e = new KeyframeEase(0, 33.3333), f = new KeyframeEase(2.5, 100);
        l.scale.setTemporalEaseAtKey(2, [e, e, e], [f, f, f]);
        l.position.setTemporalEaseAtKey(1, [f], [e]);
        l.position.setTemporalEaseAtKey(2, [f]);  // out defaults to in
    )"));
    EXPECT_TRUE(records.scriptErrors.empty());
    const sim::Key& s = key(0, &sim::Layer::scale, 1);
    ASSERT_EQ(s.style().inEase.size(), 3u);
    ASSERT_EQ(s.style().outEase.size(), 3u);
    EXPECT_EQ(s.style().inEase[2].influence, 33.3333);
    EXPECT_EQ(s.style().outEase[0].speed, 2.5);
    EXPECT_EQ(s.style().inInterp, Interp::Bezier);
    EXPECT_EQ(s.style().outInterp, Interp::Bezier);
    const sim::Key& p = key(0, &sim::Layer::position, 0);
    ASSERT_EQ(p.style().inEase.size(), 1u);
    EXPECT_EQ(p.style().inEase[0].influence, 100);
    EXPECT_EQ(p.style().outEase[0].influence, 33.3333);
    EXPECT_EQ(key(0, &sim::Layer::position, 1).style().outEase[0].influence, 100);
}

// Keys eased alike, one after another, end up sharing one style, however the script goes.
TEST_F(ScriptBindings, KeysEasedAlikeShareOneStyle) {
    EXPECT_TRUE(run(R"(
        var p = app.project.activeItem.layer(1).position;
        var e = new KeyframeEase(0, 33.3333);
        for (var k = 1; k <= 3; ++k) {
            p.setInterpolationTypeAtKey(k, KeyframeInterpolationType.BEZIER);
            p.setTemporalEaseAtKey(k, [e], [e]);
        }
    )"));
    const sim::Stream& p = project.comp.layers[0].position;
    EXPECT_TRUE(p.keys[0].sharesStyleWith(p.keys[1]));
    EXPECT_TRUE(p.keys[1].sharesStyleWith(p.keys[2]));
    EXPECT_EQ(p.keys[2].style().outEase[0].influence, 33.3333);
}

// Each bad call throws as the host does; the script catches every one, yet each is recorded and
// the project is left as it was.
TEST_F(ScriptBindings, BadCallsThrowAndAreRecordedEvenWhenSwallowed) {
    const sim::Project before = project;
    const char* const calls[] = {
        "l.scale.setTemporalEaseAtKey(1, [e], [e])",                          // Scale needs 3 eases
        "l.position.setTemporalEaseAtKey(1, [e, e, e], [e, e, e])",           // others need 1
        "l.position.setTemporalEaseAtKey(1, [e], [new KeyframeEase(0, 0)])",  // influence < 0.1
        "l.position.setTemporalEaseAtKey(1, e, [e])",                         // not an array
        "new KeyframeEase(0, 0.09)",                                          // influence < 0.1
        "new KeyframeEase(0, 100.5)",                                         // influence > 100
        "new KeyframeEase(0, '50')",                                          // not a number
        "l.position.setTemporalEaseAtKey(1, [{speed: 0, influence: 101}])",   // not by KeyframeEase
        "l.position.keyTime(0)",                                              // keys are 1-based
        "l.position.keyTime(4)",
        "l.position.keyTime(1.5)",
        "l.position.setInterpolationTypeAtKey(2, 1, 1)",  // not a host code
        "l.rotation.nearestKeyIndex(0)",                  // no keys
        "app.project.activeItem.layer(3)",
        "app.project.activeItem.layer(0)",
        "var f = l.position.keyTime; f(1)",  // not called on a property
        "l.position.keyTime.call({_l: 'a', _s: 1}, 1)",
    };
    std::string script =
        "var l = app.project.activeItem.layer(1); var e = new KeyframeEase(0, 50);\n";
    for (const char* call : calls) script += std::string("try { ") + call + "; } catch (err) {}\n";
    EXPECT_TRUE(run(script));
    ASSERT_EQ(records.scriptErrors.size(), std::size(calls));
    EXPECT_NE(
        records.scriptErrors[0].find("the array holds 1 KeyframeEase values, the property needs 3"),
        std::string::npos)
        << records.scriptErrors[0];
    EXPECT_NE(records.scriptErrors[2].find("KeyframeEase: influence must be between 0.1 and 100"),
              std::string::npos)
        << records.scriptErrors[2];
    EXPECT_NE(records.scriptErrors[8].find("key index 0 out of range 1..3"), std::string::npos)
        << records.scriptErrors[8];
    const sim::Layer& now = project.comp.layers[0];
    const sim::Layer& then = before.comp.layers[0];
    for (size_t k = 0; k < 3; ++k)
        EXPECT_TRUE(sameTiming(now.position.keys[k], then.position.keys[k]));
    for (size_t k = 0; k < 2; ++k) EXPECT_TRUE(sameTiming(now.scale.keys[k], then.scale.keys[k]));
}

// Top-level code behaves as a program's: its variables and functions are seen by the functions
// it defines, `this` is the global object, and what a program may not hold is rejected.
TEST_F(ScriptBindings, ScriptsRunAsPrograms) {
    EXPECT_TRUE(run(R"(
        var count = 2;
        function twice() { return count * 2; }
        check(twice() == 4, 'a top-level variable seen by a function');
        check(this.app === app && this.KeyframeEase === KeyframeEase, 'this is the global object');
        for (var k = 0; k < 3; k++) count++;
        check(k == 3 && twice() == 10, 'loop variables');
        var braces = '}}' + "{'" + '}';  // braces in strings and comments: } } {
        var half = 4/* } *//2;
        check(braces.length == 5 && half == 2, 'braces in strings and comments');
        // A last line comment)"));
    EXPECT_TRUE(records.scriptErrors.empty()) << records.scriptErrors.front();
    EXPECT_FALSE(run("return 1;"));
    ASSERT_EQ(records.scriptErrors.size(), 1u);
    EXPECT_NE(records.scriptErrors[0].find("SyntaxError"), std::string::npos);
    for (const char* early :
         {"}); (function () {", "} function g() {", "'{'; } function g() {",
          "/* { */ } function g() {", "var r = /'/; } function g() { var s = /'/;"}) {
        records = sim::Records{};
        EXPECT_FALSE(run(early)) << early;  // cannot close the function it runs in
        EXPECT_EQ(records.scriptErrors.size(), 1u);
    }
}

TEST_F(ScriptBindings, UncaughtErrorsFailTheScriptAndAreRecordedOnce) {
    EXPECT_FALSE(run("app.project.activeItem.layer(1).position.keyTime(9);"));
    ASSERT_EQ(records.scriptErrors.size(), 1u);

    records = sim::Records{};
    EXPECT_FALSE(run("var x = ;"));  // a syntax error
    EXPECT_EQ(records.scriptErrors.size(), 1u);

    records = sim::Records{};
    EXPECT_FALSE(run("throw 'plain';"));  // not an Error object
    ASSERT_EQ(records.scriptErrors.size(), 1u);
    EXPECT_EQ(records.scriptErrors[0], "uncaught: plain");

    records = sim::Records{};
    EXPECT_TRUE(run("try { undefinedFunction(); } catch (e) {}"));  // the engine's own errors too
    EXPECT_EQ(records.scriptErrors.size(), 1u);
}

// The ease script the plug-in generates, over a layer whose keys lie a little after the frames'
// times (a time offset): at every API version every key is found and gets its frame's
// interpolation, and the script's value counts the keys eased.
TEST_F(ScriptBindings, GeneratedEaseScriptReachesShiftedKeys) {
    sim::Layer& b = project.comp.layers[1];
    addKey(b.position, 4000, 1);  // frames at 0, 0.48 and 1.0 s, shifted by 0.04 s
    addKey(b.position, 52000, 2);
    addKey(b.position, 104000, 3);
    addKey(b.scale, 4000, 1);
    addKey(b.scale, 52000, 2);
    addKey(b.scale, 104000, 3);
    EaseScriptTables t;
    t.compItemId = project.comp.itemId;
    t.layerNumbers = {2};
    t.propertyCodes = {0, 1};
    t.keyTimes = {{0, 0.48, 1}};
    t.speedsIn = t.speedsOut = {0, 0, 0};
    t.influencesIn = {0.1f, 33.3333f, 0.1f};
    t.influencesOut = {0.1f, 100, 0.1f};
    t.presets = {TemporalPreset::Linear, TemporalPreset::PunchyIn, TemporalPreset::Hold};
    t.ignoreRows = {{0, 0, 0}, {0, 1, 0}};
    const sim::Project before = project;
    for (const sim::ApiVersion version : {sim::ApiVersion{13, 1}, sim::ApiVersion{13, 28}}) {
        project = before;
        std::string value;
        EXPECT_TRUE(sim::executeScript(project, records, buildEaseScript(t), version, &value));
        EXPECT_TRUE(records.scriptErrors.empty()) << records.scriptErrors.front();
        EXPECT_EQ(value, "5 5");
        const sim::Stream& p = project.comp.layers[1].position;
        EXPECT_EQ(p.keys[0].style().outInterp, Interp::Linear);
        EXPECT_EQ(p.keys[1].style().inInterp, Interp::Bezier);
        ASSERT_EQ(p.keys[1].style().outEase.size(), 1u);
        EXPECT_EQ(p.keys[1].style().outEase[0].influence, 100);
        EXPECT_EQ(p.keys[2].style().inInterp, Interp::Linear);
        EXPECT_EQ(p.keys[2].style().outInterp, Interp::Hold);
        const sim::Stream& s = project.comp.layers[1].scale;
        EXPECT_EQ(s.keys[0].style().outInterp, Interp::Linear);
        EXPECT_TRUE(sameTiming(s.keys[1], before.comp.layers[1].scale.keys[1]));  // ignored
        EXPECT_EQ(s.keys[2].style().outInterp, Interp::Hold);
    }

    // A layer that fails stops only itself; the count says how many keys went uneased and why.
    // Layer 1's Rotation has no keys (a plain value): nothing to ease there. Layers with
    // different offsets share rows of key times where theirs are the same; layer 1 looked up at
    // layer 2's shifted times would run past its last key.
    const std::vector<double> unshifted{0, 0.48, 1}, shifted{0.04, 0.52, 1.04};
    const struct {
        std::vector<int32_t> layers;
        std::vector<int32_t> codes;
        float influence;
        std::string value;
        std::vector<std::vector<double>> times;  // none: unshifted for every layer
    } cases[] = {
        {{9, 2}, {0, 1}, 33.3333f, "5 10 Error: layer: layer index 9 out of range 1..2", {}},
        {{2, 1},
         {0, 1},
         0.05f,
         "2 10 Error: KeyframeEase: influence must be between 0.1 and 100",
         {}},
        {{1, 2}, {2, 0}, 33.3333f, "4 4", {}},
        {{2, 1, 2, 1}, {0, 1}, 33.3333f, "20 20", {shifted, unshifted, shifted, unshifted}},
        {{1, 2, 2}, {0, 1}, 33.3333f, "15 15", {unshifted, shifted, unshifted}},
    };
    for (const auto& c : cases) {
        project = before;
        records = sim::Records{};
        EaseScriptTables bad = t;
        bad.layerNumbers = c.layers;
        bad.keyTimes = c.times;
        if (c.times.empty()) bad.keyTimes.assign(c.layers.size(), unshifted);
        bad.propertyCodes = c.codes;
        bad.influencesIn[1] = c.influence;
        std::string value;
        EXPECT_TRUE(sim::executeScript(project, records, buildEaseScript(bad), {}, &value));
        EXPECT_EQ(value, c.value);
    }
    // A composition that is not there: nothing eased, every key counted.
    t.compItemId = 99;
    std::string value;
    EXPECT_TRUE(sim::executeScript(project, records, buildEaseScript(t), {13, 1}, &value));
    EXPECT_EQ(value, "0 5 Error: composition 99 not found");
}

}  // namespace
