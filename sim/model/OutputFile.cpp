#include "sim/model/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace sim {

namespace fs = std::filesystem;

namespace {

const char* const kPrefix = ".tessaron-";
const char* const kSuffix = ".tmp";

long processId() {
#ifdef _WIN32
    return long(::_getpid());
#else
    return long(::getpid());
#endif
}

// The temporaries being written, for the signal handler: fixed storage, no allocation.
constexpr int kSlots = 16;
constexpr size_t kPathBytes = 4096;
char slotPaths[kSlots][kPathBytes];
volatile std::sig_atomic_t slotUsed[kSlots];

int claimSlot(const std::string& path) {
    if (path.size() >= kPathBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) continue;
        std::memcpy(slotPaths[i], path.c_str(), path.size() + 1);
        slotUsed[i] = 1;
        return i;
    }
    return -1;  // the next run removes it
}

void releaseSlot(int slot) {
    if (slot >= 0) slotUsed[slot] = 0;
}

void removeNow(const char* path) {
#ifdef _WIN32
    ::_unlink(path);
#else
    ::unlink(path);
#endif
}

extern "C" void onSignal(int sig) {
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) removeNow(slotPaths[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Opens a file that did not exist; -1 when something of the name is there.
int createFresh(const std::string& path) {
#ifdef _WIN32
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

std::FILE* streamOf(int fd) {
#ifdef _WIN32
    return ::_fdopen(fd, "wb");
#else
    return ::fdopen(fd, "wb");
#endif
}

// The process of a temporary's name, or 0 when the name is not a temporary's.
long ownerOf(const std::string& name) {
    const size_t prefix = std::strlen(kPrefix), suffix = std::strlen(kSuffix);
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kSuffix) != 0)
        return 0;
    const std::string middle = name.substr(prefix, name.size() - prefix - suffix);
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos ||
        middle.find_first_not_of("0123456789-") != std::string::npos)
        return 0;
    try {
        return std::stol(middle.substr(0, dash));
    } catch (const std::exception&) {
        return 0;
    }
}

bool running(long pid) {
    if (pid == processId()) return true;
#ifdef _WIN32
    return false;  // left by an earlier run: two runs writing into one folder do not mix anyway
#else
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

}  // namespace

namespace {

// Creates a fresh temporary in folder, listed for the signal handler before it exists so that
// no signal leaves it behind. Returns its stream, or null with errno set.
std::FILE* createTemporary(const fs::path& folder, std::string& path, int& slot) {
    static std::atomic<long> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = (folder /
                (kPrefix + std::to_string(processId()) + "-" + std::to_string(counter++) + kSuffix))
                   .string();
        slot = claimSlot(path);
        const int fd = createFresh(path);
        if (fd < 0) {
            const int createError = errno;
            releaseSlot(slot);
            slot = -1;
            errno = createError;
            if (createError == EEXIST) continue;
            return nullptr;
        }
        std::FILE* stream = streamOf(fd);
        if (!stream) {
            const int openError = errno;
            removeNow(path.c_str());
            releaseSlot(slot);
            slot = -1;
            errno = openError;
        }
        return stream;
    }
    return nullptr;
}

}  // namespace

OutputFile::OutputFile(const fs::path& target) : target_(target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    stream_ = createTemporary(folder, temporary_, slot_);
    if (!stream_)
        throw std::runtime_error("cannot write " + target.string() + ": " + std::strerror(errno));
}

OutputFile::~OutputFile() {
    if (stream_) std::fclose(stream_);
    if (!committed_) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
    }
    releaseSlot(slot_);
}

void OutputFile::closeStream() {
    if (!stream_) return;
    const bool written = std::fflush(stream_) == 0 && !std::ferror(stream_);
    const int writeError = errno;
    const bool closed = std::fclose(stream_) == 0;
    const int closeError = errno;
    stream_ = nullptr;
    if (!written || !closed)
        throw std::runtime_error("cannot write " + target_.string() + ": " +
                                 std::strerror(written ? closeError : writeError));
}

void OutputFile::commit() {
    closeStream();
    std::error_code ec;
    fs::rename(temporary_, target_, ec);
    if (ec) throw std::runtime_error("cannot write " + target_.string() + ": " + ec.message());
    committed_ = true;
}

std::string frameFileName(long frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04ld.png", frame);
    return name;
}

void removeStaleTemporaries(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const long owner = ownerOf(name);
        const bool stale = name == ".result.json.tmp" || (owner > 0 && !running(owner));
        std::error_code ignored;
        if (stale && !fs::is_directory(fs::symlink_status(it->path(), ignored)))
            fs::remove(it->path(), ignored);
    }
}

std::string cannotCreateIn(const fs::path& folder) {
    std::string path;
    int slot = -1;
    std::FILE* stream = createTemporary(folder, path, slot);
    if (!stream) return std::strerror(errno);
    std::fclose(stream);
    removeNow(path.c_str());
    releaseSlot(slot);
    return {};
}

void removeTemporariesOnSignals() {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, onSignal);
#endif
}

}  // namespace sim
