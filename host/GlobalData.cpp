#include "host/GlobalData.h"

GlobalDataLock::GlobalDataLock(const AEGP_SuiteHandler& suites, PF_Handle handle)
    : handleSuite_(nullptr), handle_(handle), data_(nullptr) {
    if (!handle_) return;
    handleSuite_ = suites.HandleSuite1();
    data_ = static_cast<GlobalData*>(handleSuite_->host_lock_handle(handle_));
}

GlobalDataLock::~GlobalDataLock() {
    if (data_) handleSuite_->host_unlock_handle(handle_);
}
