#include "sim/picture/Video.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "sim/model/OutputFile.h"
#include "sim/picture/VideoEncoder.h"

namespace sim {
namespace {

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
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(plan.file).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    OutputFile file(plan.file);
    file.closeStream();  // the encoder opens it by name
    FrameRenderer renderer(project, options, sourceLayerId);
    try {
        VideoEncoder encoder(plan, file.temporary());
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
    try {
        file.commit();
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("video: ") + e.what());
    }
    if (progress) *progress << "\nvideo: wrote " << plan.file << " (" << describe(plan) << ")\n";
}

}  // namespace sim
