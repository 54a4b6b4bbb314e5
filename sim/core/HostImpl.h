#pragma once
// The simulated host's inner state, shared by the files that serve its suites and callbacks.
// Not for use outside sim/.
#include <deque>
#include <map>
#include <unordered_map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AE_EffectCB.h"
#include "SPBasic.h"
#include "sim/core/Accounting.h"
#include "sim/core/Host.h"
#include "sim/core/Loader.h"
#include "sim/core/Pixels.h"

namespace sim {

// Opaque handles: each is the address of a heap object owned here, so a handle is valid exactly
// while it is in the table, and a stale or foreign pointer is recognised without touching it.
// With an accounting and a kind, each handle is accounted by identity: a removal of one not in
// the table, and a look-up of one given back, are recorded as misuse.
template <class T>
class Handles {
  public:
    Handles(Accounting* accounting = nullptr, const char* kind = "")
        : accounting_(accounting), kind_(kind) {}
    void* add(T value) {
        auto owned = std::make_unique<T>(std::move(value));
        void* key = owned.get();
        live_[key] = std::move(owned);
        if (accounting_) accounting_->acquire(kind_, key);
        return key;
    }
    // The object behind a handle the plug-in passed (nullptr: not one of the table's).
    T* find(const void* handle) const {
        auto it = live_.find(handle);
        if (it != live_.end()) return it->second.get();
        if (accounting_) accounting_->use(kind_, handle);
        return nullptr;
    }
    bool holds(const void* handle) const { return live_.count(handle) > 0; }
    bool remove(const void* handle) {
        if (accounting_) accounting_->release(kind_, handle);
        return live_.erase(handle) > 0;
    }
    template <class F>
    void forEach(F&& f) {
        for (auto& [key, value] : live_) f(*value);
    }

  private:
    std::map<const void*, std::unique_ptr<T>> live_;
    Accounting* accounting_;
    const char* kind_;
};

// What a stream handle refers to.
struct StreamRef {
    enum Type { LayerProperty, Markers, EffectParam } type = LayerProperty;
    int32_t layerId = 0;
    int which = 0;       // LayerProperty: AEGP_LayerStream 0..4; EffectParam: parameter index
    int effectSlot = 0;  // EffectParam
};

struct EffectRef {
    int32_t layerId = 0;
    int slot = 0;
};

// An add-keyframes batch: a working copy of the stream's keys into which keys are added, so
// that indices are those of the keys in time order; only keys marked added reach the stream,
// and only when the batch ends with adding.
// A key of a batch: only time and value reach the stream.
struct BatchKey {
    Time time;
    Vec3 value{0, 0, 0};
};

struct Batch {
    void* stream = nullptr;  // the stream handle the batch was started on
    StreamRef target;
    std::vector<BatchKey> keys;
    std::vector<bool> added;
};

// A marker value handed out: the old API gets a handle to the record, the new an opaque pointer.
struct MarkerValue {
    char record[64 + 1024 + 128 + 128] = {};
    void* recordPtr = record;
};

struct HandleBlock {
    void* data = nullptr;  // what the plug-in's PF_Handle points at
    std::vector<uint8_t> bytes;
    int locks = 0;
};

// An AEGP_MemHandle handed out (a script's result text): the handle is the block's address, so
// that it points at the data pointer, as a handle does.
struct MemoryBlock {
    void* data = nullptr;
    std::vector<char> bytes;
    int locks = 0;
};

// Releases a drawing surface (nullptr: nothing); drawing is served where cairo is built in.
void destroySurface(cairo_surface_t* surface);

struct DrawImage {
    cairo_surface_t* surface = nullptr;
    ~DrawImage() { destroySurface(surface); }
    DrawImage() = default;
    DrawImage(DrawImage&& o) noexcept : surface(o.surface) { o.surface = nullptr; }
    DrawImage(const DrawImage&) = delete;
};

struct Host::Impl {
    Impl(Host& owner, Project p);
    ~Impl();

    // The live host's state, or nullptr when no host exists.
    static Impl* live();

    // Records a call of op and returns the fault injected for it (0: none).
    int enter(const char* op);

    // ---- model lookups (nullptr when gone)
    Comp& comp() { return project.comp; }
    Layer* layerById(int32_t id);
    int layerIndexById(int32_t id) const;
    Layer* effectLayerPtr();
    EffectInstance* effectOf(const EffectRef& ref);
    Stream* layerStream(const StreamRef& ref);

    // ---- stable handles of model objects
    void* compHandle() { return &compToken; }
    void* compItemHandle() { return &compItemToken; }
    void* layerHandle(int32_t layerId);
    void* itemHandle(int32_t layerId);
    Layer* layerOf(const void* handle);
    bool isEffectRef(const void* ref) const { return ref == &effectToken; }
    PF_ProgPtr effectRefPtr() { return reinterpret_cast<PF_ProgPtr>(&effectToken); }

    // ---- parameters
    double paramAt(int index, double seconds);
    PF_ParamDef paramAtTime(int index, double seconds);
    // The layer's pixels at a time; drawn false gives its size and format without pixels.
    std::unique_ptr<World> sourceWorld(const Layer& layer, double seconds, bool drawn = true);
    // ---- times: what the plug-in gives in a layer's own time (AEGP_LTimeMode_LayerTime, 0)
    // or in composition time (1), as composition time, and back
    Time compTimeOf(int32_t layerId, short timeMode, const A_Time& t);
    A_Time timeIn(int32_t layerId, short timeMode, const Time& comp);
    // An effect time (the effect layer's own time) in composition seconds.
    double effectToCompSeconds(A_long time, A_u_long scale);
    // The decoded picture; a large one is not cached but handed over in `uncached`.
    const Image* image(const std::string& path, std::unique_ptr<Image>& uncached);

    // ---- worlds the plug-in may ask about
    World* worldOf(const PF_EffectWorld* world);

    // ---- commands
    void buildInData();
    double currentSeconds() const { return project.comp.currentTime.seconds(); }
    PF_Err run(PF_Cmd cmd, void* extra, PF_LayerDef* output);
    void showMessage(const std::string& text, bool shown);  // recorded; echoed when shown

    // ---- undo
    void startUndo(const std::string& name);
    bool endUndo();

    Host& owner;
    Project project;
    int effectLayerIndex = 0;
    int effectSlot = 0;
    A_short apiMajor = 13, apiMinor = 28;
    PF_FilterProc entry = nullptr;
    Library library;

    Records records;
    Accounting accounting;
    bool recordCalls = true;
    bool echoInfo = false;

    std::vector<PF_ParamDef> defs;       // index 0 is the input layer
    std::vector<std::string> labels;     // popup items, checkbox and button labels, by index
    std::deque<std::string> labelStore;  // the texts the stored definitions point at
    std::optional<PF_CustomUIInfo> customUI;
    PF_InData in{};
    PF_OutData out{};
    PF_Handle globalData = nullptr;
    int32_t nextPluginId = 1;
    int32_t lastPluginId = 0;

    SPBasicSuite basic{};
    PF_UtilCallbacks utils{};

    char compToken = 0, compItemToken = 0, effectToken = 0;
    std::map<int32_t, std::unique_ptr<int32_t>> layerTokens, itemTokens;
    std::unordered_map<const void*, int32_t> itemIds;             // item token -> layer id
    mutable std::unordered_map<int32_t, size_t> layerIndexHints;  // id -> index last found
    Handles<StreamRef> streams{&accounting, "stream"};
    Handles<EffectRef> effects{&accounting, "effect"};
    Handles<Batch> batches{&accounting, "keyframes_batch"};
    Handles<MarkerValue> markers;  // inside stream values, which are accounted themselves
    Handles<DrawImage> images{&accounting, "drawbot"};
    Handles<MemoryBlock> memory{&accounting, "memory"};           // AEGP memory handles
    std::map<const void*, std::unique_ptr<HandleBlock>> handles;  // by the PF_Handle given out
    std::map<const void*, std::unique_ptr<World>> pluginWorlds;   // new_world, by data pointer
    std::map<A_long, std::unique_ptr<World>> checkouts;  // by the token in PF_ParamDef::unused
    std::map<std::string, Image> imageCache;             // by resolved path
    A_long nextCheckout = 1;
    std::map<std::pair<std::string, int>, long> acquiredSuites;
    std::set<std::string> withheldSuites;

    // The input and output worlds of the current command, and smart-render check-outs.
    std::unique_ptr<World> inputWorld, outputWorld;
    struct LayerCheckout {
        int paramIndex;
        double seconds;
    };
    std::map<A_long, LayerCheckout> layerCheckouts;        // smart pre-render check-outs by id
    std::map<A_long, std::unique_ptr<World>> smartInputs;  // their pixels, during smart render
    PF_RenderRequest lastRequest{};

    int undoDepth = 0;
    std::optional<Comp> undoSnapshot;
    std::vector<Comp> undoStack;

    // Custom UI drawing: the surface the effect panel draws on, and its context.
    cairo_surface_t* surface = nullptr;
    PF_Context context{};
    PF_Context* contextPtr = &context;
    char drawRefToken = 0, supplierToken = 0, surfaceToken = 0;
};

// Runs one host operation: records the call, applies an injected fault (before the call acts,
// or after it has acted), and turns any exception into a generic error, so that no C++
// exception crosses into the plug-in.
template <class F>
int32_t serve(const char* op, F&& body) {
    Host::Impl* host = Host::Impl::live();
    if (!host) return A_Err_GENERIC;
    if (const int32_t fault = host->enter(op)) return fault;
    const int32_t after = host->accounting.takeAfterFault();
    int32_t err = A_Err_GENERIC;
    try {
        err = body(*host);
    } catch (...) {
    }
    return after ? after : err;
}

// Members of a suite table this host does not serve answer with a generic error.
template <class F>
struct NotServed;
template <class R, class... A>
struct NotServed<R (*)(A...)> {
    static R call(A...) { return R(A_Err_GENERIC); }
};
template <class... F>
void notServed(F&... members) {
    ((members = &NotServed<F>::call), ...);
}

// The suite tables, by name and version (nullptr when not served).
const void* findSuite(const std::string& name, int version);
const void* aegpSuite(const std::string& name, int version);     // SuitesAegp.cpp
const void* streamSuite(const std::string& name, int version);   // SuitesStream.cpp
const void* effectSuite(const std::string& name, int version);   // SuitesEffect.cpp
const void* drawbotSuite(const std::string& name, int version);  // SuitesDrawbot.cpp

// The basic suite, through which every other suite is acquired (Suites.cpp).
SPBasicSuite basicSuite();
// The PF_InData callbacks (Callbacks.cpp).
void initCallbacks(Host::Impl& host);
// Operations shared by the callbacks and the handle and world suites.
PF_Handle newHandle(A_HandleSize size);
void* lockHandle(PF_Handle handle);
void unlockHandle(PF_Handle handle);
void disposeHandle(PF_Handle handle);
A_HandleSize handleSize(PF_Handle handle);
PF_Err resizeHandle(A_HandleSize size, PF_Handle* handle);
PF_Err newWorldOp(const char* op, PF_ProgPtr ref, A_long w, A_long h, PF_PixelFormat format,
                  PF_EffectWorld* world);
PF_Err disposeWorldOp(const char* op, PF_ProgPtr ref, PF_EffectWorld* world);

// Host time in seconds.
inline double secondsOf(const A_Time& t) {
    return t.scale ? double(t.value) / t.scale : 0.0;
}
inline A_Time toATime(const Time& t) {
    return A_Time{t.value, t.scale};
}

}  // namespace sim
