#pragma once
// The effect's global record, held by the host as its global data handle from Global Setup to
// Global Setdown.
#include "AEGP_SuiteHandler.h"
#include "AE_Effect.h"

struct GlobalData {
    A_long pluginId;          // from the host's registration
    A_Boolean redrawPending;  // one forced re-render after Global Setup
    float downsampleX;
    float downsampleY;
    float upsampleX;
    float upsampleY;
    A_long framesToRender;
    A_long interval;
    A_long sourcePixelFormat;
};

// The global record locked for the life of this object. get() is null when the host holds no
// record or it cannot be locked; callers then end the command with PF_Err_INTERNAL_STRUCT_DAMAGED.
class GlobalDataLock {
  public:
    GlobalDataLock(const AEGP_SuiteHandler& suites, PF_Handle handle);
    ~GlobalDataLock();
    GlobalDataLock(const GlobalDataLock&) = delete;
    GlobalDataLock& operator=(const GlobalDataLock&) = delete;

    GlobalData* get() const { return data_; }

  private:
    PF_HandleSuite1* handleSuite_;
    PF_Handle handle_;
    GlobalData* data_;
};
