#pragma once
// Per-command access to the host's suites: each suite is acquired by name and version on first
// use, kept for the handler's life, and released when the handler is destroyed. A missing basic
// suite or a failed acquisition calls MissingSuiteError(), which the plug-in defines and which
// must throw.
#include "AE_AdvEffectSuites.h"
#include "AE_Effect.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "DrawbotSuite.h"
#include "SPBasic.h"

class AEGP_SuiteHandler {
  public:
    explicit AEGP_SuiteHandler(const SPBasicSuite* pica_basicP);
    ~AEGP_SuiteHandler();

    const SPBasicSuite* Pica() const { return i_pica_basicP; }

    AEGP_UtilitySuite4* UtilitySuite4() const { return get<AEGP_UtilitySuite4>(kUtility4); }
    AEGP_UtilitySuite5* UtilitySuite5() const { return get<AEGP_UtilitySuite5>(kUtility5); }
    AEGP_PFInterfaceSuite1* PFInterfaceSuite1() const {
        return get<AEGP_PFInterfaceSuite1>(kPFInterface1);
    }
    AEGP_EffectSuite2* EffectSuite2() const { return get<AEGP_EffectSuite2>(kEffect2); }
    AEGP_EffectSuite3* EffectSuite3() const { return get<AEGP_EffectSuite3>(kEffect3); }
    AEGP_LayerSuite7* LayerSuite7() const { return get<AEGP_LayerSuite7>(kLayer7); }
    AEGP_StreamSuite2* StreamSuite2() const { return get<AEGP_StreamSuite2>(kStream2); }
    AEGP_StreamSuite4* StreamSuite4() const { return get<AEGP_StreamSuite4>(kStream4); }
    AEGP_KeyframeSuite4* KeyframeSuite4() const { return get<AEGP_KeyframeSuite4>(kKeyframe4); }
    AEGP_CompSuite7* CompSuite7() const { return get<AEGP_CompSuite7>(kComp7); }
    AEGP_CompSuite8* CompSuite8() const { return get<AEGP_CompSuite8>(kComp8); }
    AEGP_ItemSuite8* ItemSuite8() const { return get<AEGP_ItemSuite8>(kItem8); }
    AEGP_MemorySuite1* MemorySuite1() const { return get<AEGP_MemorySuite1>(kMemory1); }
    PF_AdvAppSuite2* AdvAppSuite2() const { return get<PF_AdvAppSuite2>(kAdvApp2); }
    PF_ParamUtilsSuite3* ParamUtilsSuite3() const { return get<PF_ParamUtilsSuite3>(kParamUtils3); }
    PF_HandleSuite1* HandleSuite1() const { return get<PF_HandleSuite1>(kHandle1); }
    PF_EffectCustomUISuite1* EffectCustomUISuite1() const {
        return get<PF_EffectCustomUISuite1>(kCustomUI1);
    }
    DRAWBOT_DrawbotSuiteCurrent* DrawbotSuiteCurrent() const {
        return get<DRAWBOT_DrawbotSuiteCurrent>(kDrawbotDraw);
    }
    DRAWBOT_SupplierSuiteCurrent* SupplierSuiteCurrent() const {
        return get<DRAWBOT_SupplierSuiteCurrent>(kDrawbotSupplier);
    }
    DRAWBOT_SurfaceSuiteCurrent* SurfaceSuiteCurrent() const {
        return get<DRAWBOT_SurfaceSuiteCurrent>(kDrawbotSurface);
    }
    DRAWBOT_PathSuiteCurrent* PathSuiteCurrent() const {
        return get<DRAWBOT_PathSuiteCurrent>(kDrawbotPath);
    }

  private:
    enum Slot {
        kUtility4,
        kUtility5,
        kPFInterface1,
        kEffect2,
        kEffect3,
        kLayer7,
        kStream2,
        kStream4,
        kKeyframe4,
        kComp7,
        kComp8,
        kItem8,
        kMemory1,
        kAdvApp2,
        kParamUtils3,
        kHandle1,
        kCustomUI1,
        kDrawbotDraw,
        kDrawbotSupplier,
        kDrawbotSurface,
        kDrawbotPath,
        kSlotCount
    };

    AEGP_SuiteHandler(const AEGP_SuiteHandler&);             // not copyable
    AEGP_SuiteHandler& operator=(const AEGP_SuiteHandler&);  // not assignable

    template <typename Suite>
    Suite* get(Slot slot) const {
        return static_cast<Suite*>(const_cast<void*>(LoadSuite(slot)));
    }
    const void* LoadSuite(Slot slot) const;
    void ReleaseAllSuites();

    // Defined by the plug-in; must throw.
    void MissingSuiteError() const;

    const SPBasicSuite* i_pica_basicP;
    mutable const void* i_suites[kSlotCount];
};
