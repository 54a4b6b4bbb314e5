#pragma once
// Frames into a video file with FFmpeg's libraries: H.264 in MP4, or a GIF with one palette for
// the whole file, dithered.
#include <memory>
#include <string>

#include "sim/picture/Render.h"
#include "sim/picture/VideoPlan.h"

namespace sim {

class VideoEncoder {
  public:
    // Opens `path` for the plan's format, size and frame rate (the plan's file name is not used).
    // Throws std::runtime_error naming what failed.
    VideoEncoder(const VideoPlan& plan, const std::string& path);
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // A GIF's palette is made from every frame before the first is written: such an encoder is
    // shown all frames through survey(), then given them again through add().
    bool needsSurvey() const;
    void survey(const Picture& frame);

    // The next frame, of the plan's size.
    void add(const Picture& frame);

    // Writes what the encoder still holds and closes the file.
    void finish();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim
