#include "sim/core/Loader.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace sim {

namespace {

#ifdef _WIN32
// The system's text for the last error, without its line break.
std::string lastError() {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

void* openLibrary(const std::string& path, std::string& error) {
    void* handle = LoadLibraryA(path.c_str());
    if (!handle) error = path + ": " + lastError();
    return handle;
}

void* entryOf(void* handle) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), "EntryPointFunc"));
}

void closeLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* openLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) error = dlerror();
    return handle;
}

void* entryOf(void* handle) {
    return dlsym(handle, "EntryPointFunc");
}

void closeLibrary(void* handle) {
    dlclose(handle);
}
#endif

}  // namespace

Library::~Library() {
    close();
}

PF_FilterProc Library::open(const std::string& path) {
    close();
    std::string error;
    handle_ = openLibrary(path, error);
    if (!handle_) throw std::runtime_error("cannot load plug-in: " + error);
    void* entry = entryOf(handle_);
    if (!entry) {
        const std::string message = std::string("plug-in without EntryPointFunc: ") + path;
        close();
        throw std::runtime_error(message);
    }
    return reinterpret_cast<PF_FilterProc>(entry);
}

void Library::close() {
    if (handle_) closeLibrary(handle_);
    handle_ = nullptr;
}

}  // namespace sim
