#include "sim/script/Script.h"

#include <duktape.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "sim/model/Records.h"

// The scripting engine's object model is a small JavaScript prelude over a handful of native
// functions (the __host object). Native functions never let a C++ exception or a C++ object with
// a destructor cross a duktape longjmp: they report failures by throwing ScriptFault, which the
// guard turns into a script Error after every C++ object of the call is gone.

namespace sim {
namespace {

// The host's KeyframeInterpolationType values.
constexpr int kScriptLinear = 6612;
constexpr int kScriptBezier = 6613;
constexpr int kScriptHold = 6614;

// The prelude: the host's scripting object model over __host. Errors created anywhere in the
// script are recorded when they are created, so a script that swallows them still leaves a trace.
// It runs before the engine is cut down to the host's language (kLanguage) and may use more.
const char* const kPrelude = R"JS(
(function (h) {
  var global = new Function('return this')();
  global.KeyframeEase = function KeyframeEase(speed, influence) {
    if (!(this instanceof KeyframeEase)) return new KeyframeEase(speed, influence);
    if (typeof influence != 'number' || !(influence >= 0.1 && influence <= 100))
      throw new Error('KeyframeEase: influence must be between 0.1 and 100');
    if (typeof speed != 'number' || !isFinite(speed))
      throw new Error('KeyframeEase: speed must be a number');
    this.speed = speed;
    this.influence = influence;
  };
  global.KeyframeInterpolationType = {LINEAR: 6612, BEZIER: 6613, HOLD: 6614};
  // A property's methods and attributes are the host's own functions, called on the property.
  function Property(l, s) { this._l = l; this._s = s; }
  Property.prototype = {
    keyTime: h.keyTime,
    nearestKeyIndex: h.nearestKeyIndex,
    setInterpolationTypeAtKey: h.setInterp,
    setTemporalEaseAtKey: h.setEase
  };
  Object.defineProperty(Property.prototype, 'numKeys', {get: h.numKeys});
  Object.defineProperty(Property.prototype, 'matchName', {get: h.matchName});
  Object.defineProperty(Property.prototype, 'name', {get: h.propName});
  function Layer(l) {
    this._l = l;
    this.anchorPoint = new Property(l, 0);
    this.position = new Property(l, 1);
    this.scale = new Property(l, 2);
    this.rotation = new Property(l, 3);
    this.opacity = new Property(l, 4);
    this.transform = {anchorPoint: this.anchorPoint, position: this.position,
                      scale: this.scale, rotation: this.rotation, opacity: this.opacity};
  }
  Layer.prototype = {
    get name() { return h.layerName(this._l); },
    get index() { return this._l + 1; }
  };
  var comp = {
    typeName: 'Composition',
    layer: function (n) { return new Layer(h.layerIndex(n)); },
    get id() { return h.compItemId(); },
    get name() { return h.compName(); },
    get numLayers() { return h.numLayers(); },
    get time() { return h.compTime(); }
  };
  // The project's items: each layer's source, then the composition (the last item).
  function Item(i) { this.id = h.itemId(i); this.name = h.itemName(i); }
  Item.prototype.typeName = 'Footage';
  var project = {
    get activeItem() { return h.compActive() ? comp : null; },
    get numItems() { return h.numItems(); },
    item: function (n) {
      var i = h.itemIndex(n);
      return i == h.numItems() - 1 ? comp : new Item(i);
    }
  };
  if (h.has('itemByID')) {
    project.itemByID = function (id) {
      if (typeof id != 'number') throw new Error('itemByID: a number is expected');
      var n = h.numItems();
      for (var i = 0; i < n - 1; i++) if (h.itemId(i) === id) return new Item(i);
      return id === h.compItemId() ? comp : null;
    };
  }
  global.app = {project: project};
  Duktape.errCreate = function (e) {
    if (e instanceof Error) {
      h.record(String(e));
      e.recorded = true;
    }
    return e;
  };
})(__host);
)JS";

// The host's script language has the ECMAScript 3 built-ins only: everything else is taken out
// of the engine once the prelude has run, so that a script using it fails as in the host (a
// TypeError calling an undefined method, a ReferenceError naming an unknown global). Functions
// keep their length and name; the engine's own error attributes (stack, lineNumber) stay.
const char* const kLanguage = R"JS(
(function (global) {
  var names = Object.getOwnPropertyNames, hasOwn = Object.prototype.hasOwnProperty;
  var fn = ['length', 'name', 'prototype'];
  var proto = ['constructor'];
  function keep(o, allowed) {
    var own = names(o), set = {}, i;
    for (i = 0; i < allowed.length; i++) set[allowed[i]] = true;
    for (i = 0; i < own.length; i++) if (!hasOwn.call(set, own[i])) delete o[own[i]];
  }
  function also(base, more) { return base.concat(more); }
  var errors = ['Error', 'EvalError', 'RangeError', 'ReferenceError', 'SyntaxError', 'TypeError',
                'URIError'];
  keep(global, also(errors, ['NaN', 'Infinity', 'undefined', 'eval', 'parseInt', 'parseFloat',
      'isNaN', 'isFinite', 'decodeURI', 'decodeURIComponent', 'encodeURI', 'encodeURIComponent',
      'escape', 'unescape', 'Object', 'Function', 'Array', 'String', 'Boolean', 'Number', 'Date',
      'RegExp', 'Math', 'app', 'KeyframeEase', 'KeyframeInterpolationType']));
  keep(Object, fn);
  keep(Object.prototype, also(proto, ['toString', 'toLocaleString', 'valueOf', 'hasOwnProperty',
      'isPrototypeOf', 'propertyIsEnumerable']));
  keep(Function, fn);
  keep(Function.prototype, also(proto, ['length', 'name', 'toString', 'apply', 'call']));
  keep(Array, fn);
  keep(Array.prototype, also(proto, ['length', 'toString', 'toLocaleString', 'concat', 'join',
      'pop', 'push', 'reverse', 'shift', 'slice', 'sort', 'splice', 'unshift']));
  keep(String, also(fn, ['fromCharCode']));
  keep(String.prototype, also(proto, ['length', 'toString', 'valueOf', 'charAt', 'charCodeAt',
      'concat', 'indexOf', 'lastIndexOf', 'localeCompare', 'match', 'replace', 'search', 'slice',
      'split', 'substring', 'substr', 'toLowerCase', 'toLocaleLowerCase', 'toUpperCase',
      'toLocaleUpperCase']));
  keep(Boolean, fn);
  keep(Boolean.prototype, also(proto, ['toString', 'valueOf']));
  keep(Number, also(fn, ['MAX_VALUE', 'MIN_VALUE', 'NaN', 'NEGATIVE_INFINITY',
      'POSITIVE_INFINITY']));
  keep(Number.prototype, also(proto, ['toString', 'toLocaleString', 'valueOf', 'toFixed',
      'toExponential', 'toPrecision']));
  keep(Math, ['E', 'LN10', 'LN2', 'LOG2E', 'LOG10E', 'PI', 'SQRT1_2', 'SQRT2', 'abs', 'acos',
      'asin', 'atan', 'atan2', 'ceil', 'cos', 'exp', 'floor', 'log', 'max', 'min', 'pow',
      'random', 'round', 'sin', 'sqrt', 'tan']);
  keep(Date, also(fn, ['parse', 'UTC']));
  var date = ['toString', 'toDateString', 'toTimeString', 'toLocaleString', 'toLocaleDateString',
      'toLocaleTimeString', 'valueOf', 'getTime', 'getTimezoneOffset', 'setTime', 'toUTCString',
      'toGMTString', 'getYear', 'setYear'];
  var parts = ['FullYear', 'Month', 'Date', 'Day', 'Hours', 'Minutes', 'Seconds', 'Milliseconds'];
  for (var p = 0; p < parts.length; p++) {
    date.push('get' + parts[p], 'getUTC' + parts[p]);
    if (parts[p] != 'Day') date.push('set' + parts[p], 'setUTC' + parts[p]);
  }
  keep(Date.prototype, also(proto, date));
  keep(RegExp, fn);
  keep(RegExp.prototype, also(proto, ['exec', 'test', 'toString', 'source', 'global',
      'ignoreCase', 'multiline']));
  for (var e = 0; e < errors.length; e++) {
    keep(global[errors[e]], fn);
    keep(global[errors[e]].prototype, also(proto, ['name', 'message', 'toString', 'stack',
        'lineNumber', 'fileName']));
  }
})(new Function('return this')());
)JS";

// The key nearest to a time (the earlier one on a tie), 0-based; -1 when there are none.
int nearestKey(const Stream& stream, double seconds) {
    // Keys are in time order: the nearest is the first at or after the time or the one before
    // it, the earlier on a tie. A search per call keeps a script over long runs linear.
    const KeyList& keys = stream.keys;
    if (keys.empty()) return -1;
    size_t lo = 0, hi = keys.size();  // the first key not before the time
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (keys.seconds(mid) < seconds)
            lo = mid + 1;
        else
            hi = mid;
    }
    const size_t i = lo;
    if (i == 0) return 0;
    if (i == keys.size()) return int(i - 1);
    const double before = std::fabs(keys.seconds(i - 1) - seconds);
    return std::fabs(keys.seconds(i) - seconds) < before ? int(i) : int(i - 1);
}

struct ScriptFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct State {
    Project* project;
    Records* records;
    ApiVersion version;
};

// What of the object model each release has, by the effect API version of its first release;
// a script in an older host finds the name undefined.
struct Feature {
    const char* name;
    ApiVersion since;
};
constexpr Feature kFeatures[] = {
    {"itemByID", {13, 7}},  // app.project.itemByID (CC 2014)
};

// The script being run; natives reach the project through it.
thread_local State* running = nullptr;

State& state(duk_context*) {
    return *running;
}

// Makes a script's state the running one for the guard's life.
struct Running {
    explicit Running(State& s) : outer(running) { running = &s; }
    ~Running() { running = outer; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    State* outer;
};

// Runs a native body; a ScriptFault becomes a script Error thrown once the body's objects are gone.
template <class Body>
duk_ret_t guarded(duk_context* ctx, Body body) {
    bool failed = false;
    duk_ret_t ret = 0;
    try {
        ret = body(ctx);
    } catch (const std::exception& e) {
        duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", e.what());
        failed = true;
    }
    return failed ? duk_throw(ctx) : ret;
}

double numberArg(duk_context* ctx, duk_idx_t i, const char* fn) {
    if (!duk_is_number(ctx, i)) throw ScriptFault(std::string(fn) + ": a number is expected");
    return duk_get_number(ctx, i);
}

// A 1-based index argument checked against 1..count, returned 0-based.
int indexArg(duk_context* ctx, duk_idx_t i, int count, const char* fn, const char* what) {
    double n = numberArg(ctx, i, fn);
    if (n != std::floor(n) || n < 1 || n > count) {
        throw ScriptFault(std::string(fn) + ": " + what + " index " + duk_safe_to_string(ctx, i) +
                          " out of range 1.." + std::to_string(count));
    }
    return int(n) - 1;
}

Layer& layerArg(duk_context* ctx, duk_idx_t i) {
    auto& layers = state(ctx).project->comp.layers;
    return layers.at(size_t(duk_get_int(ctx, i)));
}

// The property a method or attribute was called on, named by its layer (_l) and stream (_s).
Stream& thisStream(duk_context* ctx) {
    duk_push_this(ctx);
    const bool object = duk_is_object(ctx, -1);
    if (object) {
        duk_get_prop_literal(ctx, -1, "_l");
        duk_get_prop_literal(ctx, -2, "_s");
    }
    const bool named = object && duk_is_number(ctx, -2) && duk_is_number(ctx, -1);
    const int layer = named ? duk_get_int(ctx, -2) : -1, stream = named ? duk_get_int(ctx, -1) : -1;
    duk_pop_n(ctx, object ? 3 : 1);
    auto& layers = state(ctx).project->comp.layers;
    Stream* s = size_t(layer) < layers.size() ? layers[size_t(layer)].stream(stream) : nullptr;
    if (!s) throw ScriptFault("not called on a property");
    return *s;
}

size_t keyArg(duk_context* ctx, const Stream& stream, duk_idx_t i, const char* fn) {
    return size_t(indexArg(ctx, i, int(stream.keys.size()), fn, "key"));
}

Interp interpOf(duk_context* ctx, duk_idx_t i) {
    int code = duk_is_number(ctx, i) ? duk_get_int(ctx, i) : 0;
    if (code == kScriptLinear) return Interp::Linear;
    if (code == kScriptBezier) return Interp::Bezier;
    if (code == kScriptHold) return Interp::Hold;
    throw ScriptFault(std::string("setInterpolationTypeAtKey: bad interpolation type ") +
                      duk_safe_to_string(ctx, i));
}

// The field's value, pushed by the caller (literal keys are looked up through a cache).
double easeField(duk_context* ctx, const char* field) {
    bool ok = duk_is_number(ctx, -1);
    double v = duk_get_number(ctx, -1);
    duk_pop(ctx);
    if (!ok || !std::isfinite(v)) {
        throw ScriptFault(std::string("setTemporalEaseAtKey: KeyframeEase.") + field +
                          " is not a number");
    }
    return v;
}

// An array of KeyframeEase objects whose length must equal the property's ease dimension.
std::vector<Ease> easeArray(duk_context* ctx, duk_idx_t i, int dims) {
    if (!duk_is_array(ctx, i)) throw ScriptFault("setTemporalEaseAtKey: an Array is expected");
    int n = int(duk_get_length(ctx, i));
    if (n != dims) {
        throw ScriptFault("setTemporalEaseAtKey: the array holds " + std::to_string(n) +
                          " KeyframeEase values, the property needs " + std::to_string(dims));
    }
    std::vector<Ease> eases;
    for (int d = 0; d < n; ++d) {
        duk_get_prop_index(ctx, i, duk_uarridx_t(d));
        bool isObject = duk_is_object(ctx, -1);
        Ease e;
        if (isObject) {
            duk_get_prop_literal(ctx, -1, "speed");
            e.speed = easeField(ctx, "speed");
            duk_get_prop_literal(ctx, -1, "influence");
            e.influence = easeField(ctx, "influence");
        }
        duk_pop(ctx);
        if (!isObject) throw ScriptFault("setTemporalEaseAtKey: KeyframeEase expected");
        if (e.influence < 0.1 || e.influence > 100) {
            throw ScriptFault("setTemporalEaseAtKey: influence must be between 0.1 and 100");
        }
        eases.push_back(e);
    }
    return eases;
}

duk_ret_t nativeRecord(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        state(c).records->scriptErrors.push_back(duk_safe_to_string(c, 0));
        return duk_ret_t(0);
    });
}

duk_ret_t nativeNumLayers(duk_context* ctx) {
    duk_push_int(ctx, int(state(ctx).project->comp.layers.size()));
    return 1;
}

duk_ret_t nativeLayerIndex(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        int count = int(state(c).project->comp.layers.size());
        duk_push_int(c, indexArg(c, 0, count, "layer", "layer"));
        return duk_ret_t(1);
    });
}

duk_ret_t nativeLayerName(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        duk_push_string(c, layerArg(c, 0).name.c_str());
        return duk_ret_t(1);
    });
}

duk_ret_t nativeCompItemId(duk_context* ctx) {
    duk_push_int(ctx, state(ctx).project->comp.itemId);
    return 1;
}

duk_ret_t nativeCompName(duk_context* ctx) {
    duk_push_string(ctx, state(ctx).project->comp.name.c_str());
    return 1;
}

// The project's items: the source item of each layer (its id the composition's plus the
// layer's), then the composition.
duk_ret_t nativeNumItems(duk_context* ctx) {
    duk_push_int(ctx, int(state(ctx).project->comp.layers.size()) + 1);
    return 1;
}

duk_ret_t nativeItemIndex(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        int count = int(state(c).project->comp.layers.size()) + 1;
        duk_push_int(c, indexArg(c, 0, count, "item", "item"));
        return duk_ret_t(1);
    });
}

duk_ret_t nativeItemId(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        const Comp& comp = state(c).project->comp;
        duk_push_int(c, comp.itemId + layerArg(c, 0).id);
        return duk_ret_t(1);
    });
}

duk_ret_t nativeItemName(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        duk_push_string(c, layerArg(c, 0).name.c_str());
        return duk_ret_t(1);
    });
}

duk_ret_t nativeHas(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        const std::string name = duk_safe_to_string(c, 0);
        const ApiVersion v = state(c).version;
        bool has = false;
        for (const Feature& f : kFeatures) {
            if (name == f.name)
                has = v.major > f.since.major ||
                      (v.major == f.since.major && v.minor >= f.since.minor);
        }
        duk_push_boolean(c, has);
        return duk_ret_t(1);
    });
}

duk_ret_t nativeCompActive(duk_context* ctx) {
    duk_push_boolean(ctx, state(ctx).project->compActive);
    return 1;
}

duk_ret_t nativeCompTime(duk_context* ctx) {
    duk_push_number(ctx, state(ctx).project->comp.currentTime.seconds());
    return 1;
}

duk_ret_t nativeNumKeys(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        duk_push_int(c, int(thisStream(c).keys.size()));
        return duk_ret_t(1);
    });
}

duk_ret_t nativeMatchName(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        duk_push_string(c, thisStream(c).matchName.c_str());
        return duk_ret_t(1);
    });
}

duk_ret_t nativePropName(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        duk_push_string(c, thisStream(c).name.c_str());
        return duk_ret_t(1);
    });
}

duk_ret_t nativeKeyTime(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        const Stream& s = thisStream(c);
        duk_push_number(c, s.keys.seconds(keyArg(c, s, 0, "keyTime")));
        return duk_ret_t(1);
    });
}

duk_ret_t nativeNearestKeyIndex(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        const Stream& s = thisStream(c);
        double t = numberArg(c, 0, "nearestKeyIndex");
        if (s.keys.empty()) throw ScriptFault("nearestKeyIndex: the property has no keyframes");
        duk_push_int(c, nearestKey(s, t) + 1);
        return duk_ret_t(1);
    });
}

duk_ret_t nativeSetInterp(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        Stream& s = thisStream(c);
        const size_t index = keyArg(c, s, 0, "setInterpolationTypeAtKey");
        Interp in = interpOf(c, 1);
        Interp out = duk_get_top(c) < 3 ? in : interpOf(c, 2);
        KeyStyle style = s.keys.style(index);
        style.inInterp = in;
        style.outInterp = out;
        s.keys.setStyle(index, style);
        return duk_ret_t(0);
    });
}

// Setting an ease makes the key Bezier in both directions, as the host does.
duk_ret_t nativeSetEase(duk_context* ctx) {
    return guarded(ctx, [](duk_context* c) {
        Stream& s = thisStream(c);
        const size_t index = keyArg(c, s, 0, "setTemporalEaseAtKey");
        std::vector<Ease> in = easeArray(c, 1, s.easeDims);
        std::vector<Ease> out = easeArray(c, duk_get_top(c) < 3 ? 1 : 2, s.easeDims);
        KeyStyle style = s.keys.style(index);
        style.inEase = std::move(in);
        style.outEase = std::move(out);
        style.inInterp = style.outInterp = Interp::Bezier;
        s.keys.setStyle(index, style);
        return duk_ret_t(0);
    });
}

void pushHostObject(duk_context* ctx) {
    static const duk_function_list_entry natives[] = {{"record", nativeRecord, 1},
                                                      {"numLayers", nativeNumLayers, 0},
                                                      {"layerIndex", nativeLayerIndex, 1},
                                                      {"layerName", nativeLayerName, 1},
                                                      {"compTime", nativeCompTime, 0},
                                                      {"compItemId", nativeCompItemId, 0},
                                                      {"compName", nativeCompName, 0},
                                                      {"numItems", nativeNumItems, 0},
                                                      {"itemIndex", nativeItemIndex, 1},
                                                      {"itemId", nativeItemId, 1},
                                                      {"itemName", nativeItemName, 1},
                                                      {"has", nativeHas, 1},
                                                      {"compActive", nativeCompActive, 0},
                                                      {"numKeys", nativeNumKeys, 0},
                                                      {"matchName", nativeMatchName, 0},
                                                      {"propName", nativePropName, 0},
                                                      {"keyTime", nativeKeyTime, 1},
                                                      {"nearestKeyIndex", nativeNearestKeyIndex, 1},
                                                      {"setInterp", nativeSetInterp, DUK_VARARGS},
                                                      {"setEase", nativeSetEase, DUK_VARARGS},
                                                      {nullptr, nullptr, 0}};
    duk_push_object(ctx);
    duk_put_function_list(ctx, -1, natives);
}

// Sets up the object model and cuts the engine down to the host's language; false when either
// fails (a build fault).
bool installPrelude(duk_context* ctx) {
    pushHostObject(ctx);
    duk_put_global_string(ctx, "__host");
    bool ok = duk_peval_string(ctx, kPrelude) == 0;
    duk_pop(ctx);
    ok = ok && duk_peval_string(ctx, kLanguage) == 0;
    duk_pop(ctx);
    return ok;
}

// An uncaught error that errCreate did not see (a thrown non-Error value) is recorded here.
void recordUncaught(duk_context* ctx, Records& records) {
    bool seen = false;
    if (duk_is_object(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "recorded");
        seen = duk_to_boolean(ctx, -1);
        duk_pop(ctx);
    }
    if (!seen)
        records.scriptErrors.push_back(std::string("uncaught: ") + duk_safe_to_string(ctx, -1));
}

// Runs the text as a program, as the host does: its completion value (that of the last
// expression statement run) is left on the stack. True when it ran; false with the error on the
// stack. Top-level variables are properties of the global object, as in any program, which
// makes long loops at top level slow: scripts that loop a lot keep their work in a function.
bool runProgram(duk_context* ctx, const std::string& text) {
    if (duk_pcompile_lstring(ctx, 0, text.data(), text.size()) != 0) return false;
    return duk_pcall(ctx, 0) == 0;
}

}  // namespace

bool executeScript(Project& project, Records& records, const std::string& text, ApiVersion version,
                   std::string* completion) {
    if (completion) completion->clear();
    State s{&project, &records, version};
    const Running scope(s);
    duk_context* ctx = duk_create_heap_default();
    if (!ctx) {
        records.scriptErrors.push_back("the scripting engine could not start");
        return false;
    }
    bool ok = installPrelude(ctx);
    if (!ok) records.scriptErrors.push_back("the scripting object model failed to load");
    if (ok && !runProgram(ctx, text)) {
        recordUncaught(ctx, records);
        ok = false;
    } else if (ok && completion) {
        *completion = duk_safe_to_string(ctx, -1);
    }
    duk_destroy_heap(ctx);
    return ok;
}

}  // namespace sim
