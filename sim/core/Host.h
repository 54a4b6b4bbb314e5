#pragma once
// The simulated host: serves the effect API's callbacks and suites over a Project, loads the
// plug-in and drives it with the host's command sequence, counts every object it hands out and
// records what a user would see. One Host is current at a time (the suites are plain C
// function tables, so they reach the host through Host::current()).
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AE_Effect.h"
#include "AE_EffectUI.h"
#include "sim/core/Accounting.h"
#include "sim/model/Model.h"
#include "sim/model/Records.h"

typedef struct _cairo_surface cairo_surface_t;

namespace sim {

class Host {
  public:
    explicit Host(Project project = Project());
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host& current();  // the live host; throws when there is none

    Project& project();
    // The effect instance the plug-in is applied as: layer (0-based comp index) and effect slot.
    void setEffectLayer(int layerIndex, int effectSlot = 0);
    EffectInstance& effect();
    Layer& effectLayer();

    // API version reported in PF_InData (default 13.28).
    void setApiVersion(short major, short minor);
    // A host without the named suite: acquiring it, at any version, is refused as not found.
    void withholdSuite(const std::string& name);

    // ---- the plug-in
    void loadPlugin(const std::string& path);  // dlopen or LoadLibrary, find EntryPointFunc
    void attach(PF_FilterProc entry);          // or call a linked-in entry point directly
    PF_Err command(PF_Cmd cmd, void* extra = nullptr, PF_LayerDef* output = nullptr);
    PF_Err globalSetup();
    PF_Err paramsSetup();
    PF_Err updateParamsUI();
    PF_Err userChangedParam(int paramIndex);
    PF_Err globalSetdown();
    // Whether Global Setup's out flags asked for Update Params UI after every parameter change
    // (PF_OutFlag_SEND_UPDATE_PARAMS_UI).
    bool wantsParamsUIUpdates() const;
    const PF_OutData& outData() const;  // of the last command
    // Applying the effect: Global Setup, Params Setup, Sequence Setup and Update Params UI,
    // stopping at the first error.
    PF_Err apply();
    PF_Err about();
    // Render: params[0] is the effect layer's pixels at the current time; the output is a
    // world of the same size and depth, kept until the next render (outputWorld()).
    PF_Err render();
    // Smart Pre-Render with the given request; the result rectangles land in *output.
    PF_Err smartPreRender(const PF_RenderRequest& request, PF_PreRenderOutput* output);
    // Smart Render: input pixels of the check-outs made in the last pre-render, into a fresh
    // output world (outputWorld()).
    PF_Err smartRender();
    // A draw event of the Effect Controls panel for parameter index and area (PF_EA_*) whose
    // current frame is the rectangle; the drawing lands on drawingSurface() (cleared first, as
    // large as the frame's right and bottom). The event's out flags go to *outFlags if given.
    PF_Err drawEvent(int paramIndex, int area, const PF_Rect& frame,
                     PF_EventOutFlags* outFlags = nullptr);
    PF_Err event(PF_EventExtra& extra);       // any event; extra.contextH is supplied by the host
    const PF_LayerDef* outputWorld() const;   // nullptr before the first render
    cairo_surface_t* drawingSurface() const;  // nullptr before the first draw event
    bool saveDrawingPng(const std::string& path) const;
    const PF_CustomUIInfo* customUI() const;  // as registered, nullptr before
    // The plug-in id the last AEGP_RegisterWithAEGP handed out (0: none).
    int32_t pluginId() const;

    // Parameters as the plug-in registered them (index 1..n; index 0 is the input layer).
    const std::vector<PF_ParamDef>& paramDefs() const;
    const std::vector<std::string>& popupTexts() const;  // copied at add-param, by index
    int paramIndex(const std::string& name) const;       // -1 when unknown
    bool paramDisabled(int index) const;                 // ui_flags & PF_PUI_DISABLED
    // Values as the host stores them: popup item (1-based), checkbox 0/1, slider value, angle in
    // degrees, and for layer parameters the chosen layer's id (0: None).
    void setParam(int index, double value);  // static value
    void setParamKeys(int index, std::vector<std::pair<double, double>> keys);

    // An input record whose callbacks and suites serve this host, for code linked into tests.
    PF_InData* inData();

    // ---- what the user saw
    Records& records();
    void setEchoInfo(bool on);     // PF_InfoDrawText lines and shown messages also go to stderr
    void setRecordCalls(bool on);  // records.calls off for long runs; callCount still counts

    // ---- accounting: objects handed out and not yet disposed, by kind ("stream", "value",
    // "effect", "handle", "suite", "param", "keyframes_batch", "drawbot", "world", "block");
    // empty when clean. The global data handle counts until the plug-in disposes of it.
    std::map<std::string, long> leaks() const;
    // Releases of handles not handed out or given back already, and uses of handles given back,
    // in call order; each such call also returned an error. Empty when clean.
    const std::vector<Misuse>& misuse() const;
    // Hands the misuse recorded so far to the caller and forgets it.
    std::vector<Misuse> takeMisuse();
    // Called with a host's misuse when it goes, if any is left (tests fail on it); process-wide.
    static void onMisuse(std::function<void(const std::vector<Misuse>&)> handler);
    long callCount(const std::string& op) const;

    // ---- faults: the nth call (1-based, counted from now) of op ("*" = any) returns code,
    // before it acts, or with after once it has acted (handed out or given back its object).
    // Calls without an error code (host_new_handle, host_dispose_handle, ...) take only faults
    // before they act.
    void injectFault(const std::string& op, int nth, int code, bool after = false);
    void clearFaults();

    // ---- undo of the last closed undo group; false when there is none.
    bool undo();
    // Undo groups opened and not yet closed (a press that leaves one open nests the next).
    int openUndoGroups() const;

    struct Impl;  // the state behind the suites (sim/HostImpl.h)

  private:
    std::unique_ptr<Impl> impl_;
    friend struct Impl;
};

}  // namespace sim
