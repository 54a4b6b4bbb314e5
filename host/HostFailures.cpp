#include "host/HostFailures.h"

#include <algorithm>
#include <sstream>

#include "host/Identity.h"

namespace {

HostFailures unread;
HostFailures* current = &unread;

// "1 layer", "3 layers".
std::string count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The text on one line (control characters as spaces, no trailing space), cut to at most max
// characters with "..." when longer.
std::string oneLine(const std::string& text, size_t max) {
    std::string line;
    for (char c : text) line += (static_cast<unsigned char>(c) < 32 || c == 127) ? ' ' : c;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.size() > max) {
        size_t cut = max - 3;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line = line.substr(0, cut) + "...";
    }
    return line;
}

}  // namespace

void HostFailures::failed(const char* what, A_long err) noexcept {
    if (err == 0) return;
    if (failedCalls_++ == 0) {
        firstWhat_ = what;
        firstErr_ = err;
    }
}

void HostFailures::stopped(const char* what, A_long err) noexcept {
    failed(what, err);
    stopped_ = true;
}

void HostFailures::planKeys(int layers, int keysPerLayer) {
    plannedLayers_ = std::max(layers, 0);
    keysPerLayer_ = std::max(keysPerLayer, 0);
    written_.assign(size_t(plannedLayers_), 0);
}

void HostFailures::keysWritten(int layer, int keys) {
    if (layer >= 0 && layer < plannedLayers_) written_[size_t(layer)] += keys;
}

void HostFailures::eases(long planned, long eased, const std::string& firstError) {
    easesPlanned_ += std::max(planned, 0L);
    easesSet_ += std::min(std::max(eased, 0L), std::max(planned, 0L));
    if (easeError_.empty() && eased < planned) easeError_ = oneLine(firstError, 120);
}

void HostFailures::shownSkewed(int layerNumber) {
    const auto at = std::lower_bound(skewed_.begin(), skewed_.end(), layerNumber);
    if (at == skewed_.end() || *at != layerNumber) skewed_.insert(at, layerNumber);
}

// "Layers 3, 4 and 9 ...": the first few by number, the count of the rest.
std::string HostFailures::skewNote() const {
    if (skewed_.empty()) return std::string();
    const size_t named = std::min<size_t>(skewed_.size(), 8);
    std::ostringstream m;
    m << (skewed_.size() == 1 ? " Layer " : " Layers ");
    for (size_t i = 0; i < named; ++i) {
        if (i > 0) m << (i + 1 == skewed_.size() ? " and " : ", ");
        m << skewed_[i];
    }
    if (named < skewed_.size()) m << " and " << skewed_.size() - named << " more";
    m << (skewed_.size() == 1 ? " shows" : " show")
      << " sheared: a parent scaled unevenly cannot turn a layer with square corners (each is"
         " placed, and its width edge turned and sized, as planned; its height edge leans).";
    return m.str();
}

std::string HostFailures::costs() const {
    std::ostringstream m;
    long missing = 0;
    size_t short_ = 0;
    for (int keys : written_) {
        missing += std::max(keysPerLayer_ - keys, 0);
        short_ += keys < keysPerLayer_ ? 1 : 0;
    }
    if (missing > 0) {
        m << " Not written: " << missing << " of " << long(keysPerLayer_) * plannedLayers_
          << " keys, on " << short_ << " of " << count(size_t(plannedLayers_), "layer", "layers")
          << ".";
    }
    if (keysLeft_ > 0) {
        m << " Existing keys left on " << count(size_t(keysLeft_), "layer", "layers") << ".";
    }
    if (fallbacks_ > 0) {
        m << " " << count(size_t(fallbacks_), "reading", "readings")
          << " replaced by a fallback value.";
    }
    if (tangentsNotSet_ > 0) {
        m << " Spatial tangents not set on " << count(size_t(tangentsNotSet_), "layer", "layers")
          << ".";
    }
    if (motionBlurNotSet_ > 0) {
        m << " Motion blur not switched on for "
          << count(size_t(motionBlurNotSet_), "layer", "layers") << ".";
    }
    if (easesPlanned_ > easesSet_) {
        m << " Eases not set: " << easesPlanned_ - easesSet_ << " of " << easesPlanned_ << " keys";
        if (!easeError_.empty()) m << " (the first error: " << easeError_ << ")";
        m << ".";
    }
    if (easesUnchecked_) m << " Temporal eases not checked.";
    return m.str();
}

std::string HostFailures::message() const {
    if (!any()) return std::string();
    std::ostringstream m;
    m << identity::kName << ":";
    if (failedCalls_ > 0) {
        m << " " << count(size_t(failedCalls_), "host failure", "host failures")
          << ", the first in " << firstWhat_ << " (error " << firstErr_ << ").";
    }
    const bool cut = stopped_ && groupOpened_ && !runFinished_;
    if (cut) m << " The run stopped early.";
    if (!groupOpened_) {
        m << " Nothing was changed.";
    } else {
        const std::string lost = costs();
        m << (lost.empty() && !cut ? " The collage is complete." : lost);
        if (groupLeftOpen_) {
            m << " The undo group could not be closed.";
        } else if (!lost.empty() || cut) {
            m << " Undo restores the project as it was before Create.";
        }
    }
    m << skewNote();
    if (progressNotShown_) m << " Progress text not shown.";
    if (notReleased_ > 0) {
        m << " " << count(size_t(notReleased_), "host object", "host objects")
          << " could not be released.";
    }
    return m.str();
}

HostFailures& hostFailures() {
    return *current;
}

HostFailureScope::HostFailureScope(HostFailures& record) : previous_(current) {
    current = &record;
}

HostFailureScope::~HostFailureScope() {
    current = previous_;
}
