#pragma once
// What the host refused during one press of "Create" and what of the collage it cost. The press
// keeps one record; the code that meets a failure notes it, and the press ends with one message
// built from the record.
#include <string>
#include <vector>

#include "A.h"

class HostFailures {
  public:
    // A host call that failed while doing `what` (a literal: "adding keys"); the first one is
    // named. The notes below take the same two; err 0 notes only a cost, one that follows from a
    // failure already noted.
    void failed(const char* what, A_long err) noexcept;
    // The press stopped before its end: an exception passed through it while doing `what`.
    void stopped(const char* what, A_long err) noexcept;

    // ---- what the failures cost
    void groupOpened() noexcept { groupOpened_ = true; }
    // The run went through all its stages; a later stop leaves the collage as it is.
    void runFinished() noexcept { runFinished_ = true; }
    void groupLeftOpen() noexcept { groupLeftOpen_ = true; }
    // Every collage layer gets keysPerLayer keys (plain values count as keys).
    void planKeys(int layers, int keysPerLayer);
    void keysWritten(int layer, int keys);
    // Existing keys not all removed from `layers` layers.
    void keysLeft(const char* what, A_long err, int layers) noexcept {
        failed(what, err);
        keysLeft_ += layers;
    }
    // A failed call after which `readings` went on with their fallback values.
    void fellBack(const char* what, A_long err, int readings) noexcept {
        failed(what, err);
        fallbacks_ += readings;
    }
    // Keys written without their spatial tangents, on one layer.
    void tangentsNotSet(const char* what, A_long err) noexcept {
        failed(what, err);
        ++tangentsNotSet_;
    }
    void motionBlurNotSet(const char* what, A_long err) noexcept {
        failed(what, err);
        ++motionBlurNotSet_;
    }
    // Temporal eases, per ease script: `planned` keys it was to ease, `eased` of them it did,
    // and the first error it met (empty: none). A script the host refused eased none.
    void eases(long planned, long eased, const std::string& firstError);
    // A script ran, but how many keys it eased could not be learnt.
    void easesUnchecked(const char* what, A_long err) noexcept {
        failed(what, err);
        easesUnchecked_ = true;
    }
    void progressNotShown(const char* what, A_long err) noexcept {
        failed(what, err);
        progressNotShown_ = true;
    }
    void notReleased() noexcept { ++notReleased_; }
    // Layer `layerNumber` (its number in the composition) shows sheared: an unevenly scaled
    // parent turns its square corners oblique, or a flat parent hides it.
    void shownSkewed(int layerNumber);

    // Something to tell: a host call failed, keys went without their ease, or layers show
    // other than planned.
    bool any() const { return failedCalls_ > 0 || easesPlanned_ > easesSet_ || !skewed_.empty(); }
    // The message for the user: what failed first, how much of the collage it affected, and
    // whether Undo brings the project back. Empty when nothing failed.
    std::string message() const;

  private:
    int failedCalls_ = 0;
    const char* firstWhat_ = "";
    A_long firstErr_ = 0;
    bool stopped_ = false;
    bool groupOpened_ = false;
    bool runFinished_ = false;
    bool groupLeftOpen_ = false;
    int plannedLayers_ = 0;
    int keysPerLayer_ = 0;
    std::vector<int> written_;  // keys written, by layer
    int keysLeft_ = 0;
    int tangentsNotSet_ = 0;
    int motionBlurNotSet_ = 0;
    int fallbacks_ = 0;
    long easesPlanned_ = 0;
    long easesSet_ = 0;
    std::string easeError_;  // the first error of the first script that fell short
    bool easesUnchecked_ = false;
    bool progressNotShown_ = false;
    int notReleased_ = 0;
    std::vector<int> skewed_;  // layer numbers, ascending

    std::string skewNote() const;

    std::string costs() const;
};

// The record of the press in progress; outside a press, a record nobody reads.
HostFailures& hostFailures();

// Makes `record` the record of the press in progress for the life of this object.
class HostFailureScope {
  public:
    explicit HostFailureScope(HostFailures& record);
    ~HostFailureScope();
    HostFailureScope(const HostFailureScope&) = delete;
    HostFailureScope& operator=(const HostFailureScope&) = delete;

  private:
    HostFailures* previous_;
};
