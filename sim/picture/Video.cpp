#include "sim/picture/Video.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "sim/picture/VideoEncoder.h"

namespace sim {
namespace {

// Removes the file unless released: the partial video of a failed run.
class PartialFile {
  public:
    explicit PartialFile(std::string path) : path_(std::move(path)) {}
    ~PartialFile() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove(path_, ignored);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

  private:
    std::string path_;
};

// At most a hundred updates, so that a long video in a log file stays readable.
void report(std::ostream* progress, const char* what, int done, int total) {
    const bool step =
        done == total || int64_t(done) * 100 / total != int64_t(done - 1) * 100 / total;
    if (progress && step)
        *progress << "\rvideo: " << what << ' ' << done << " of " << total << std::flush;
}

std::string describe(const VideoPlan& plan) {
    char text[96];
    std::snprintf(text, sizeof text, "%d frames, %dx%d, %g fps", plan.frames, plan.width,
                  plan.height, 1.0 / plan.frameDuration.seconds());
    return text;
}

}  // namespace

Picture videoFrame(FrameRenderer& renderer, const VideoPlan& plan, int frame) {
    return renderer.render(plan.timeOf(frame), plan.width, plan.height);
}

void writeVideo(const Project& project, const VideoPlan& plan, const RenderOptions& options,
                int sourceLayerId, std::ostream* progress) {
    const std::string partialPath = plan.file + ".partial";
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(plan.file).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (std::filesystem::exists(partialPath, ec) &&
        !std::filesystem::is_regular_file(partialPath, ec))
        throw std::runtime_error("video: " + partialPath + " is in the way");
    PartialFile partial(partialPath);
    FrameRenderer renderer(project, options, sourceLayerId);
    try {
        VideoEncoder encoder(plan, partial.path());
        // A GIF's palette comes from every frame, so its frames are rendered twice.
        if (encoder.needsSurvey()) {
            for (int i = 0; i < plan.frames; ++i) {
                encoder.survey(videoFrame(renderer, plan, i));
                report(progress, "choosing colours, frame", i + 1, plan.frames);
            }
            if (progress) *progress << '\n';
        }
        for (int i = 0; i < plan.frames; ++i) {
            encoder.add(videoFrame(renderer, plan, i));
            report(progress, "frame", i + 1, plan.frames);
        }
        encoder.finish();
    } catch (...) {
        if (progress) *progress << '\n';  // the error goes on a line of its own
        throw;
    }
    std::filesystem::rename(partial.path(), plan.file, ec);
    if (ec) throw std::runtime_error("video: cannot write " + plan.file + ": " + ec.message());
    partial.release();
    if (progress) *progress << "\nvideo: wrote " << plan.file << " (" << describe(plan) << ")\n";
}

}  // namespace sim
