#include "sim/Loader.h"

#include <dlfcn.h>

#include <stdexcept>

namespace sim {

Library::~Library() {
    close();
}

PF_FilterProc Library::open(const std::string& path) {
    close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(std::string("cannot load plug-in: ") + dlerror());
    void* entry = dlsym(handle_, "EntryPointFunc");
    if (!entry) {
        const std::string message = std::string("plug-in without EntryPointFunc: ") + path;
        close();
        throw std::runtime_error(message);
    }
    return reinterpret_cast<PF_FilterProc>(entry);
}

void Library::close() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace sim
