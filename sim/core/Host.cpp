#include "sim/core/Host.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "AE_EffectPixelFormat.h"
#include "sim/core/HostImpl.h"
#include "sim/model/LayerTime.h"
#include "sim/model/SourceFrame.h"

namespace sim {

namespace {

// Called with a host's misuse when it goes (Host::onMisuse).
std::function<void(const std::vector<Misuse>&)>& misuseHandler() {
    static std::function<void(const std::vector<Misuse>&)> handler;
    return handler;
}

Host* g_current = nullptr;

constexpr A_long kApplicationId = 0x46585443;  // 'FXTC'

A_Fixed toFixed(double v) {
    return A_Fixed(std::floor(v * 65536.0 + 0.5));
}

// The host moves sliders and angles linearly from key to key unless the parameter forbids it.
bool interpolatesBetweenKeys(const PF_ParamDef& def) {
    if (def.flags & PF_ParamFlag_CANNOT_INTERP) return false;
    switch (def.param_type) {
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_ANGLE:
            return true;
        default:
            return false;
    }
}

}  // namespace

// ---------------------------------------------------------------- Impl: lookups

Host::Impl::Impl(Host& o, Project p) : owner(o), project(std::move(p)) {
    initCallbacks(*this);
    context.magic = PF_CONTEXT_MAGIC;
    context.w_type = PF_Window_EFFECT;
    context.reserved_drawref = reinterpret_cast<DRAWBOT_DrawRef>(&drawRefToken);
    defs.resize(1);  // index 0: the input layer
    defs[0].param_type = PF_Param_LAYER;
    labels.resize(1);
}

Host::Impl::~Impl() {
    destroySurface(surface);
}

Host::Impl* Host::Impl::live() {
    return g_current ? g_current->impl_.get() : nullptr;
}

int Host::Impl::enter(const char* op) {
    if (recordCalls) records.calls.emplace_back(op);
    return accounting.enter(op);
}

Layer* Host::Impl::layerById(int32_t id) {
    const int index = layerIndexById(id);
    return index < 0 ? nullptr : &project.comp.layers[index];
}

int Host::Impl::layerIndexById(int32_t id) const {
    if (id == 0) return -1;
    const auto& layers = project.comp.layers;
    // Where the id was last found, checked before use: layers may be added, removed or
    // reordered (undo restores a whole project) without telling the lookup.
    auto hint = layerIndexHints.find(id);
    if (hint != layerIndexHints.end() && hint->second < layers.size() &&
        layers[hint->second].id == id) {
        return int(hint->second);
    }
    for (size_t i = 0; i < layers.size(); ++i) {
        if (layers[i].id == id) {
            layerIndexHints[id] = i;
            return int(i);
        }
    }
    return -1;
}

Layer* Host::Impl::effectLayerPtr() {
    auto& layers = project.comp.layers;
    if (effectLayerIndex < 0 || effectLayerIndex >= int(layers.size())) return nullptr;
    return &layers[effectLayerIndex];
}

EffectInstance* Host::Impl::effectOf(const EffectRef& ref) {
    Layer* layer = layerById(ref.layerId);
    if (!layer || ref.slot < 0 || ref.slot >= int(layer->effects.size())) return nullptr;
    return &layer->effects[ref.slot];
}

Stream* Host::Impl::layerStream(const StreamRef& ref) {
    Layer* layer = layerById(ref.layerId);
    return layer && ref.type == StreamRef::LayerProperty ? layer->stream(ref.which) : nullptr;
}

void* Host::Impl::layerHandle(int32_t layerId) {
    auto& token = layerTokens[layerId];
    if (!token) token = std::make_unique<int32_t>(layerId);
    return token.get();
}

void* Host::Impl::itemHandle(int32_t layerId) {
    auto& token = itemTokens[layerId];
    if (!token) {
        token = std::make_unique<int32_t>(layerId);
        itemIds[token.get()] = layerId;
    }
    return token.get();
}

Layer* Host::Impl::layerOf(const void* handle) {
    if (!handle) return nullptr;
    const int32_t id = *static_cast<const int32_t*>(handle);
    auto it = layerTokens.find(id);
    return it != layerTokens.end() && it->second.get() == handle ? layerById(id) : nullptr;
}

// ---------------------------------------------------------------- Impl: parameters and pixels

double Host::Impl::paramAt(int index, double seconds) {
    Layer* layer = effectLayerPtr();
    if (!layer || effectSlot >= int(layer->effects.size())) return 0.0;
    const auto& params = layer->effects[effectSlot].params;
    auto it = params.find(index);
    return it == params.end() ? 0.0 : it->second.at(seconds);
}

PF_ParamDef Host::Impl::paramAtTime(int index, double seconds) {
    assert(index > 0 && index < int(defs.size()));
    PF_ParamDef def = defs[index];
    const double v = paramAt(index, seconds);
    switch (def.param_type) {
        case PF_Param_POPUP:
            def.u.pd.value = A_long(v);
            break;
        case PF_Param_CHECKBOX:
            def.u.bd.value = A_long(v);
            break;
        case PF_Param_FLOAT_SLIDER:
            def.u.fs_d.value = v;
            break;
        case PF_Param_SLIDER:
            def.u.sd.value = A_long(v);
            break;
        case PF_Param_FIX_SLIDER:
            def.u.fd.value = toFixed(v);
            break;
        case PF_Param_ANGLE:
            def.u.ad.value = toFixed(v);
            break;
        case PF_Param_BUTTON:
            def.u.button_d.value = A_long(v);
            break;
        default:
            break;
    }
    return def;
}

Time Host::Impl::compTimeOf(int32_t layerId, short timeMode, const A_Time& t) {
    const Time given{t.value, t.scale};
    const Layer* layer = timeMode == 0 ? layerById(layerId) : nullptr;
    return layer ? layerToCompTime(*layer, given) : given;
}

A_Time Host::Impl::timeIn(int32_t layerId, short timeMode, const Time& comp) {
    const Layer* layer = timeMode == 0 ? layerById(layerId) : nullptr;
    const Time t = layer ? compToLayerTime(*layer, comp) : comp;
    return A_Time{t.value, t.scale};
}

double Host::Impl::effectToCompSeconds(A_long time, A_u_long scale) {
    const double seconds = scale ? double(time) / double(scale) : 0.0;
    const Layer* layer = effectLayerPtr();
    return layer ? compSeconds(*layer, seconds) : seconds;
}

namespace {

// Decoded images are kept for the next frame while they are small. A large one (a 30000 x 30000
// Source is 3.6 GB decoded) is decoded for the world that shows it and let go once drawn, so that
// it never sits beside that world and the plug-in's copy of it.
constexpr size_t kCachedImageBytes = size_t(256) << 20;

}  // namespace

const Image* Host::Impl::image(const std::string& path, std::unique_ptr<Image>& uncached) {
    const std::string full = resolvePath(project, path);
    auto it = imageCache.find(full);
    if (it != imageCache.end()) return &it->second;
    Image decoded = loadImage(full);
    if (decoded.rgba.size() > kCachedImageBytes) {
        uncached = std::make_unique<Image>(std::move(decoded));
        return uncached.get();
    }
    return &imageCache.emplace(full, std::move(decoded)).first->second;
}

// The layer's source at a time, at the comp's resolution and depth, laid out as sourceFrame
// says. Footage shows its picture; every other layer with a size, and footage without a
// picture, shows its fill colour over its drawn part; cameras and lights have no pixels.
std::unique_ptr<World> Host::Impl::sourceWorld(const Layer& layer, double seconds, bool drawn) {
    const std::string path = pictureAt(layer, seconds);
    const SourceFrame frame = sourceFrameAt(layer, project.comp, seconds);
    // A world described, not drawn, needs the picture only for a size the layer does not give.
    std::unique_ptr<Image> uncached;
    const Image* picture = path.empty() || (!drawn && frame.width > 0 && frame.height > 0)
                               ? nullptr
                               : image(path, uncached);
    const int ds = std::max(1, project.comp.downsample);
    const int w = frame.width > 0 ? frame.width : (picture ? picture->width : 0);
    const int h = frame.height > 0 ? frame.height : (picture ? picture->height : 0);
    const PF_PixelFormat format = formatForDepth(project.comp.bitDepth);
    if (!drawn) {
        auto described = newWorld(0, 0, format);
        described->def.width = (w + ds - 1) / ds;
        described->def.height = (h + ds - 1) / ds;
        described->def.data = nullptr;
        described->def.rowbytes = 0;
        return described;
    }
    const int width = (w + ds - 1) / ds, height = (h + ds - 1) / ds;
    // A picture that covers the whole world sets every pixel: no need to clear it first.
    const bool covered = picture && (picture->width + ds - 1) / ds >= width &&
                         (picture->height + ds - 1) / ds >= height;
    auto world = newWorld(width, height, format, !covered);
    world->def.pix_aspect_ratio =
        PF_RationalScale{project.comp.pixelAspectNum, project.comp.pixelAspectDen};
    if (picture) {
        drawImage(*world, *picture, ds);
    } else if (layer.type != LayerType::Camera && layer.type != LayerType::Light) {
        const auto& c = frame.content;
        fillRect(*world, {c[0] - frame.left, c[1] - frame.top, c[2] - frame.left, c[3] - frame.top},
                 layer.fill, ds);
    }
    return world;
}

World* Host::Impl::worldOf(const PF_EffectWorld* world) {
    if (!world || !world->data) return nullptr;
    auto it = pluginWorlds.find(world->data);
    if (it != pluginWorlds.end()) return it->second.get();
    for (auto* table : {&checkouts, &smartInputs}) {
        for (auto& [id, w] : *table) {
            if (w && w->def.data == world->data) return w.get();
        }
    }
    for (World* w : {inputWorld.get(), outputWorld.get()}) {
        if (w && w->def.data == world->data) return w;
    }
    accounting.use("world", world->data);
    return nullptr;
}

// ---------------------------------------------------------------- Impl: commands

void Host::Impl::buildInData() {
    const Comp& c = project.comp;
    const Layer* layer = effectLayerPtr();
    PF_InteractCallbacks inter = in.inter;
    in = PF_InData{};
    in.inter = inter;
    in.utils = &utils;
    in.effect_ref = effectRefPtr();
    in.quality = PF_Quality_HI;
    in.version = PF_SpecVersion{apiMajor, apiMinor};
    in.appl_id = kApplicationId;
    in.num_params = A_long(defs.size());
    // Times in the effect layer's own time: its start, stretch and direction apply.
    static const Layer plain;
    const Layer& own = layer ? *layer : plain;
    in.time_scale = layerTimeScale(own, c);
    in.time_step = layerFrameStep(own, c);
    in.local_time_step = in.time_step;
    in.current_time = layerTimeValue(own, c, c.currentTime);
    // The layer's duration in its own time: the part of the composition it shows in.
    const Time shownFrom = earlier(own.inPoint, Time{}) ? Time{} : own.inPoint;
    const Time shownTo = earlier(c.duration, own.outPoint) ? c.duration : own.outPoint;
    const A_long span = earlier(shownFrom, shownTo)
                            ? layerTimeValue(own, c, shownTo) - layerTimeValue(own, c, shownFrom)
                            : 0;
    in.total_time = span < 0 ? -span : span;
    in.field = PF_Field_FRAME;
    const SourceFrame frame = layer ? sourceFrame(*layer, c) : SourceFrame{};
    in.width = frame.width;
    in.height = frame.height;
    in.extent_hint = PF_Rect{0, 0, in.width, in.height};
    const A_u_long ds = A_u_long(std::max(1, c.downsample));
    in.downsample_x = PF_RationalScale{1, ds};
    in.downsample_y = PF_RationalScale{1, ds};
    in.pixel_aspect_ratio = PF_RationalScale{c.pixelAspectNum, c.pixelAspectDen};
    in.global_data = globalData;
    in.pica_basicP = &basic;
}

PF_Err Host::Impl::run(PF_Cmd cmd, void* extra, PF_LayerDef* output) {
    if (!entry) throw std::logic_error("no plug-in loaded or attached");
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        defs.resize(1);
        labels.resize(1);
        customUI.reset();
    }
    buildInData();
    out = PF_OutData{};
    out.global_data = globalData;
    out.num_params = A_long(defs.size());

    const double now = currentSeconds();
    const Layer* layer = effectLayerPtr();
    // Only rendering reads the input's pixels; other commands get the layer described, so that a
    // full-frame layer does not cost a world per command.
    const bool drawn = cmd == PF_Cmd_RENDER || cmd == PF_Cmd_SMART_RENDER;
    inputWorld.reset();
    inputWorld = layer ? sourceWorld(*layer, now, drawn) : newWorld(0, 0, PF_PixelFormat_ARGB32);
    std::vector<PF_ParamDef> params(defs.size());
    params[0] = defs[0];
    params[0].u.ld = inputWorld->def;
    for (size_t i = 1; i < defs.size(); ++i) params[i] = paramAtTime(int(i), now);
    std::vector<PF_ParamDef*> list(params.size());
    for (size_t i = 0; i < params.size(); ++i) list[i] = &params[i];

    const PF_Err err = entry(cmd, &in, &out, list.data(), output, extra);

    globalData = cmd == PF_Cmd_GLOBAL_SETDOWN ? nullptr : out.global_data;
    const std::string message(out.return_msg, strnlen(out.return_msg, sizeof out.return_msg));
    if (!message.empty()) {
        const bool shown =
            cmd == PF_Cmd_ABOUT || (out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0;
        showMessage(message, shown);
    }
    records.commands.push_back({cmd, err, out.out_flags, out.out_flags2, message});
    return err;
}

// The host shows a message in a dialog, the carriage return breaking lines.
void Host::Impl::showMessage(const std::string& text, bool shown) {
    records.addMessage(text, shown);
    if (!shown || !echoInfo) return;
    std::string lines = text;
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    std::fprintf(stderr, "%s\n", lines.c_str());
}

// ---------------------------------------------------------------- Impl: undo

void Host::Impl::startUndo(const std::string& name) {
    records.undoGroups.push_back(name);
    if (undoDepth++ == 0) undoSnapshot = project.comp;
}

bool Host::Impl::endUndo() {
    if (undoDepth == 0) return false;
    if (--undoDepth == 0) {
        undoStack.push_back(std::move(*undoSnapshot));
        undoSnapshot.reset();
    }
    return true;
}

// ---------------------------------------------------------------- Host

Host::Host(Project project) : impl_(std::make_unique<Impl>(*this, std::move(project))) {
    g_current = this;
    if (!impl_->project.comp.layers.empty()) setEffectLayer(0, 0);
}

Host::~Host() {
    if (g_current == this) g_current = nullptr;
    if (!impl_->accounting.misuse().empty() && misuseHandler())
        misuseHandler()(impl_->accounting.misuse());
}

Host& Host::current() {
    if (!g_current) throw std::logic_error("no simulated host exists");
    return *g_current;
}

Project& Host::project() {
    return impl_->project;
}

void Host::setEffectLayer(int layerIndex, int effectSlot) {
    auto& layers = impl_->project.comp.layers;
    if (layerIndex < 0 || layerIndex >= int(layers.size()) || effectSlot < 0) {
        throw std::out_of_range("no such effect layer");
    }
    auto& effects = layers[layerIndex].effects;
    while (int(effects.size()) <= effectSlot)
        effects.push_back(EffectInstance{"Tessaron (Pro)", {}});
    impl_->effectLayerIndex = layerIndex;
    impl_->effectSlot = effectSlot;
}

EffectInstance& Host::effect() {
    return effectLayer().effects.at(impl_->effectSlot);
}

Layer& Host::effectLayer() {
    Layer* layer = impl_->effectLayerPtr();
    if (!layer) throw std::out_of_range("the effect layer does not exist");
    return *layer;
}

void Host::setApiVersion(short major, short minor) {
    impl_->apiMajor = major;
    impl_->apiMinor = minor;
}

void Host::withholdSuite(const std::string& name) {
    impl_->withheldSuites.insert(name);
}

void Host::loadPlugin(const std::string& path) {
    impl_->entry = impl_->library.open(path);
}

void Host::attach(PF_FilterProc entry) {
    impl_->entry = entry;
}

PF_Err Host::command(PF_Cmd cmd, void* extra, PF_LayerDef* output) {
    return impl_->run(cmd, extra, output);
}

PF_Err Host::globalSetup() {
    return command(PF_Cmd_GLOBAL_SETUP);
}
PF_Err Host::paramsSetup() {
    return command(PF_Cmd_PARAMS_SETUP);
}
PF_Err Host::updateParamsUI() {
    return command(PF_Cmd_UPDATE_PARAMS_UI);
}
PF_Err Host::globalSetdown() {
    return command(PF_Cmd_GLOBAL_SETDOWN);
}
bool Host::wantsParamsUIUpdates() const {
    const auto& commands = impl_->records.commands;
    for (auto it = commands.rbegin(); it != commands.rend(); ++it) {
        if (it->cmd == PF_Cmd_GLOBAL_SETUP)
            return (it->outFlags & PF_OutFlag_SEND_UPDATE_PARAMS_UI) != 0;
    }
    return false;
}

PF_Err Host::about() {
    return command(PF_Cmd_ABOUT);
}

PF_Err Host::userChangedParam(int paramIndex) {
    PF_UserChangedParamExtra extra{paramIndex};
    return command(PF_Cmd_USER_CHANGED_PARAM, &extra);
}

PF_Err Host::apply() {
    for (PF_Cmd cmd : {PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_SEQUENCE_SETUP,
                       PF_Cmd_UPDATE_PARAMS_UI}) {
        if (const PF_Err err = command(cmd)) return err;
    }
    return PF_Err_NONE;
}

const PF_OutData& Host::outData() const {
    return impl_->out;
}

const std::vector<PF_ParamDef>& Host::paramDefs() const {
    return impl_->defs;
}

const std::vector<std::string>& Host::popupTexts() const {
    return impl_->labels;
}

int Host::paramIndex(const std::string& name) const {
    const auto& defs = impl_->defs;
    for (size_t i = 1; i < defs.size(); ++i) {
        if (name == defs[i].name) return int(i);
    }
    return -1;
}

bool Host::paramDisabled(int index) const {
    const auto& defs = impl_->defs;
    return index >= 0 && index < int(defs.size()) && (defs[index].ui_flags & PF_PUI_DISABLED);
}

void Host::setParam(int index, double value) {
    ParamValue& p = effect().params[index];
    p.value = value;
    p.keys.clear();
}

void Host::setParamKeys(int index, std::vector<std::pair<double, double>> keys) {
    std::sort(keys.begin(), keys.end());
    ParamValue& p = effect().params[index];
    p.keys = std::move(keys);
    const auto& defs = impl_->defs;
    p.interpolates = index > 0 && index < int(defs.size()) && interpolatesBetweenKeys(defs[index]);
}

PF_InData* Host::inData() {
    impl_->buildInData();
    return &impl_->in;
}

Records& Host::records() {
    return impl_->records;
}
void Host::setEchoInfo(bool on) {
    impl_->echoInfo = on;
}
void Host::setRecordCalls(bool on) {
    impl_->recordCalls = on;
}

std::map<std::string, long> Host::leaks() const {
    return impl_->accounting.leaks();
}

const std::vector<Misuse>& Host::misuse() const {
    return impl_->accounting.misuse();
}

std::vector<Misuse> Host::takeMisuse() {
    return impl_->accounting.takeMisuse();
}

void Host::onMisuse(std::function<void(const std::vector<Misuse>&)> handler) {
    misuseHandler() = std::move(handler);
}

long Host::callCount(const std::string& op) const {
    return impl_->accounting.callCount(op);
}

void Host::injectFault(const std::string& op, int nth, int code, bool after) {
    impl_->accounting.injectFault(op, nth, code, after);
}

void Host::clearFaults() {
    impl_->accounting.clearFaults();
}

bool Host::undo() {
    auto& stack = impl_->undoStack;
    if (stack.empty()) return false;
    impl_->project.comp = std::move(stack.back());
    stack.pop_back();
    return true;
}

int Host::openUndoGroups() const {
    return impl_->undoDepth;
}

int32_t Host::pluginId() const {
    return impl_->lastPluginId;
}

const PF_CustomUIInfo* Host::customUI() const {
    return impl_->customUI ? &*impl_->customUI : nullptr;
}

}  // namespace sim
