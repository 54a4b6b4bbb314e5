#pragma once
// Output files that appear whole or not at all. Each is written under a temporary name in its
// own folder, ".tessaron-<process>-<n>.tmp", created afresh (never through something already of
// that name), and renamed into place when complete: a reader never sees half a file, and a link
// planted under the final name is replaced, never followed. A temporary is removed when writing
// fails, on SIGINT, SIGTERM and SIGHUP (removeTemporariesOnSignals), and otherwise by the next
// run (removeStaleTemporaries).
#include <cstdio>
#include <filesystem>
#include <string>

namespace sim {

class OutputFile {
  public:
    // Creates the temporary beside target; throws std::runtime_error when it cannot.
    explicit OutputFile(const std::filesystem::path& target);
    ~OutputFile();  // removes the temporary unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() const { return stream_; }  // the temporary, open for writing
    const std::string& temporary() const { return temporary_; }
    // Closes the stream, for writers that open the temporary by its name; throws when the data
    // written so far did not reach the file (a full disk).
    void closeStream();
    // Closes the stream and renames the temporary into place; throws std::runtime_error naming
    // the target when the data did not reach the file or the rename fails.
    void commit();

  private:
    std::filesystem::path target_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    int slot_ = -1;  // in the list the signal handler removes
    bool committed_ = false;
};

// The name of a frame's picture: frame_NNNN.png, NNNN the composition frame number (at least
// four digits, with leading zeros).
std::string frameFileName(long frame);

// Removes what earlier runs left: temporaries of processes no longer running (and the old name
// .result.json.tmp). Links are removed, not followed; folders are left alone.
void removeStaleTemporaries(const std::filesystem::path& folder);

// Whether a file can be created in folder, found by making a temporary there and removing it
// (so a signal or a kill meanwhile leaves only what the next run clears). Empty when it can,
// otherwise the reason.
std::string cannotCreateIn(const std::filesystem::path& folder);

// From now on SIGINT, SIGTERM and SIGHUP remove the temporaries being written, then end the
// process as the signal would have.
void removeTemporariesOnSignals();

}  // namespace sim
