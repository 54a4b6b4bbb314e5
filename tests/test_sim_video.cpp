// The animation as a video: what the options ask for, frames that match the still previews,
// and files that decode back with the frames, rate and size asked for.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "sim/picture/Render.h"
#include "sim/picture/Video.h"
#include "sim/cli/VideoArgs.h"
#include "test_sim_scene_fixture.h"

namespace {

namespace fs = std::filesystem;
using scenetest::TempDir;
using sim::VideoArgs;
using sim::VideoError;
using sim::VideoFormat;

VideoArgs argsOf(const std::vector<std::string>& argv) {
    VideoArgs args;
    for (size_t i = 0; i < argv.size(); ++i) EXPECT_TRUE(sim::readVideoOption(argv, i, args));
    return args;
}

sim::Comp comp4s() {
    sim::Comp c;
    c.width = 321;
    c.height = 200;
    c.frameDuration = {1, 25};
    c.duration = {100, 25};
    c.workAreaStart = {25, 25};  // 1 s to 3 s
    c.workAreaDuration = {50, 25};
    return c;
}

// The message of the VideoError that planning throws, or "" when it succeeds.
std::string planError(const std::vector<std::string>& argv, const sim::Comp& comp) {
    try {
        sim::planVideo(argsOf(argv), comp);
    } catch (const VideoError& e) {
        return e.what();
    }
    return "";
}

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().string());
    return names;
}

TEST(VideoPlan, DefaultsAreTheCompositionsRateSizeAndWorkArea) {
    TempDir dir;
    const auto gif = sim::planVideo(argsOf({"--video", dir.file("a.GIF")}), comp4s());
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->format, VideoFormat::Gif);
    EXPECT_EQ(gif->width, 321);
    EXPECT_EQ(gif->height, 200);
    EXPECT_EQ(gif->frames, 50);
    EXPECT_DOUBLE_EQ(gif->timeOf(0), 1.0);
    EXPECT_DOUBLE_EQ(gif->timeOf(49), 2.96);
    // H.264 needs even sides: the composition's are rounded down.
    const auto mp4 = sim::planVideo(argsOf({"--video", dir.file("a.mp4")}), comp4s());
    EXPECT_EQ(mp4->format, VideoFormat::Mp4);
    EXPECT_EQ(mp4->width, 320);
    EXPECT_EQ(mp4->height, 200);
    EXPECT_FALSE(sim::planVideo(VideoArgs(), comp4s()));
}

TEST(VideoPlan, RateSizeAndRangeOptions) {
    TempDir dir;
    const std::string gif = dir.file("a.gif"), mp4 = dir.file("a.mp4");
    auto p = sim::planVideo(
        argsOf({"--video", gif, "--fps", "10", "--scale", "0.5", "--range", "0.5,1.75"}), comp4s());
    EXPECT_EQ(p->frameDuration.value * 10, int32_t(p->frameDuration.scale));
    EXPECT_EQ(p->width, 161);  // 160.5 rounds up
    EXPECT_EQ(p->height, 100);
    EXPECT_EQ(p->frames, 13);  // 0.5, 0.6 ... 1.7
    EXPECT_DOUBLE_EQ(p->timeOf(12), 1.7);
    p = sim::planVideo(argsOf({"--video", mp4, "--fps", "29.97", "--size", "64x48"}), comp4s());
    EXPECT_EQ(p->frameDuration.value, 1001);
    EXPECT_EQ(p->frameDuration.scale, 30000u);
    EXPECT_EQ(p->width, 64);
    EXPECT_EQ(p->height, 48);
    EXPECT_EQ(p->frames, 60);  // 2 s of work area at 29.97 fps: 59.94 frames begin in it
    p = sim::planVideo(argsOf({"--video", mp4, "--range", "0,4"}), comp4s());
    EXPECT_EQ(p->frames, 100);
}

TEST(VideoPlan, BadOptionsFailWithOneMessageAndCreateNothing) {
    TempDir dir;
    fs::create_directories(dir.path() / "sub");
    scenetest::writeText(dir.file("plain.txt"), "x");
    const std::string mp4 = dir.file("sub/v.mp4");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--video", dir.file("sub/v.avi")}, "unknown video type \".avi\""},
        {{"--video", dir.file("sub/v")}, "unknown video type \"\""},
        {{"--video", mp4, "--range", "3,5"}, "outside the composition, which runs from 0 to 4 s"},
        {{"--video", mp4, "--range", "-1,2"}, "outside the composition"},
        {{"--video", mp4, "--range", "2,2"}, "the start must come before the end"},
        {{"--video", mp4, "--size", "64x48", "--scale", "2"}, "give one of them"},
        {{"--video", mp4, "--size", "65x48"}, ".mp4 needs an even width and height"},
        {{"--fps", "10"}, "--fps needs --video FILE"},
        {{"--video", dir.file("sub/v.gif"), "--fps", "60"}, "a GIF plays at most 50"},
        {{"--video", dir.file("plain.txt/v.mp4")}, "plain.txt is not a folder"},
        {{"--video", dir.file("plain.txt/more/v.mp4")}, "plain.txt is not a folder"},
        {{"--video", dir.file("sub")}, "unknown video type"},
    };
    for (const auto& [argv, message] : cases) {
        const std::string error = planError(argv, comp4s());
        EXPECT_NE(error.find(message), std::string::npos) << error << " / " << message;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    // The writability probe leaves nothing behind; missing folders are left to the writing.
    EXPECT_TRUE(sim::planVideo(argsOf({"--video", mp4}), comp4s()));
    EXPECT_TRUE(sim::planVideo(argsOf({"--video", dir.file("sub/new/v.gif")}), comp4s()));
    EXPECT_TRUE(listing(dir.path() / "sub").empty());
    const std::vector<std::vector<std::string>> malformed = {
        {"--fps", "0"},      {"--fps", "abc"},  {"--size", "64"}, {"--size", "64x0"},
        {"--size", "6.5x4"}, {"--scale", "-1"}, {"--range", "1"}, {"--range", "a,2"},
        {"--video"},         {"--video", ""},
    };
    for (const auto& argv : malformed) {
        VideoArgs args;
        size_t i = 0;
        EXPECT_THROW(sim::readVideoOption(argv, i, args), VideoError) << argv[0];
    }
    VideoArgs args;
    size_t i = 0;
    EXPECT_FALSE(sim::readVideoOption({"--paths"}, i, args));
}

// ---------------------------------------------------------------- frames and files

sim::Layer solid(int id, int w, int h, std::array<uint8_t, 4> fill) {
    sim::Layer l;
    l.id = id;
    l.type = sim::LayerType::Solid;
    l.width = w;
    l.height = h;
    l.fill = fill;
    l.anchorPoint.value = {w / 2.0, h / 2.0, 0};
    return l;
}

// Two cards moving on eased arcs over a 1 s composition at 10 fps, 96 x 64.
sim::Project movingCards() {
    sim::Project p;
    p.comp.width = 96;
    p.comp.height = 64;
    p.comp.frameDuration = {1, 10};
    p.comp.duration = p.comp.workAreaDuration = {10, 10};
    sim::Layer a = solid(1, 20, 16, {230, 60, 40, 255});
    a.position.addKey({0, 10}, {15, 50, 0});
    a.position.addKey({6, 10}, {80, 50, 0});
    a.position.keys[0].edit().outTangent = a.position.keys[1].edit().inTangent = {0, -40, 0};
    a.position.keys[0].edit().outInterp = a.position.keys[1].edit().inInterp = sim::Interp::Bezier;
    a.rotation.addKey({0, 10}, {0, 0, 0});
    a.rotation.addKey({9, 10}, {180, 0, 0});
    sim::Layer b = solid(2, 30, 30, {40, 120, 230, 255});
    b.position.value = {48, 32, 0};
    b.scale.addKey({2, 10}, {40, 40, 100});
    b.scale.addKey({8, 10}, {120, 60, 100});
    b.opacity.addKey({0, 10}, {100, 0, 0});
    b.opacity.addKey({5, 10}, {30, 0, 0});
    b.opacity.keys[0].edit().outInterp = sim::Interp::Hold;
    p.comp.layers = {a, b};
    return p;
}

TEST(VideoFrames, AFrameAtAKeysTimeIsTheStillPreview) {
    TempDir dir;
    const sim::Project project = movingCards();
    sim::RenderOptions look;
    look.paths = true;
    const auto plan =
        sim::planVideo(argsOf({"--video", dir.file("v.mp4"), "--range", "0.3,1"}), project.comp);
    sim::FrameRenderer renderer(project, look);
    // Frame 3 of the range is at 0.6 s, the first card's second key.
    ASSERT_DOUBLE_EQ(plan->timeOf(3), 0.6);
    const sim::Picture frame = sim::videoFrame(renderer, *plan, 3);
    const std::string png = dir.file("still.png");
    sim::renderFrame(project, 0.6, png, look);
    cairo_surface_t* still = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(still), CAIRO_STATUS_SUCCESS);
    const int stride = cairo_image_surface_get_stride(still);
    const uint8_t* data = cairo_image_surface_get_data(still);
    int differing = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            differing += reinterpret_cast<const uint32_t*>(data + y * stride)[x] !=
                         frame.pixels[size_t(y * 96 + x)];
    cairo_surface_destroy(still);
    EXPECT_EQ(differing, 0);
    // The neighbouring frames differ: the video really moves.
    EXPECT_NE(sim::videoFrame(renderer, *plan, 2).pixels, frame.pixels);
}

// What a video file holds, read back with libavformat and decoded.
struct Decoded {
    int frames = 0, width = 0, height = 0;
    AVRational rate{0, 1};
    std::vector<std::vector<uint8_t>> grey;  // each frame's luma (or palette index brightness)
};

Decoded decode(const std::string& path) {
    Decoded d;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return d;
    avformat_find_stream_info(fmt, nullptr);
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        AVStream* stream = fmt->streams[index];
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx, stream->codecpar);
        avcodec_open2(ctx, codec, nullptr);
        d.width = stream->codecpar->width;
        d.height = stream->codecpar->height;
        d.rate = stream->avg_frame_rate;
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        auto receive = [&] {
            while (avcodec_receive_frame(ctx, frame) >= 0) {
                ++d.frames;
                av_frame_unref(frame);
            }
        };
        while (av_read_frame(fmt, packet) >= 0) {
            if (packet->stream_index == index) avcodec_send_packet(ctx, packet);
            av_packet_unref(packet);
            receive();
        }
        avcodec_send_packet(ctx, nullptr);
        receive();
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&ctx);
    }
    avformat_close_input(&fmt);
    return d;
}

TEST(VideoFiles, Mp4AndGifDecodeBackWithTheirFramesRateAndSize) {
    TempDir dir;
    const sim::Project project = movingCards();
    struct Case {
        std::vector<std::string> argv;
        int frames, width, height;
        AVRational rate;
    };
    const Case cases[] = {
        {{"--video", dir.file("v.mp4")}, 10, 96, 64, {10, 1}},
        {{"--video", dir.file("v.mp4"), "--fps", "25", "--scale", "2", "--range", "0.2,0.8"},
         15,
         192,
         128,
         {25, 1}},
        {{"--video", dir.file("v.gif")}, 10, 96, 64, {10, 1}},
        {{"--video", dir.file("v.gif"), "--fps", "20", "--size", "48x31"}, 20, 48, 31, {20, 1}},
    };
    for (const Case& c : cases) {
        const auto plan = sim::planVideo(argsOf(c.argv), project.comp);
        std::ostringstream progress;
        sim::writeVideo(project, *plan, sim::RenderOptions(), 0, &progress);
        const Decoded d = decode(plan->file);
        EXPECT_EQ(d.frames, c.frames) << plan->file;
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(av_cmp_q(d.rate, c.rate), 0) << d.rate.num << "/" << d.rate.den;
        EXPECT_NE(progress.str().find("frame " + std::to_string(c.frames) + " of " +
                                      std::to_string(c.frames)),
                  std::string::npos);
        EXPECT_NE(progress.str().find("video: wrote " + plan->file), std::string::npos);
        for (const std::string& name : listing(dir.path()))  // no temporary left
            EXPECT_NE(fs::path(name).filename().string().rfind(".tessaron-", 0), 0u) << name;
    }
}

TEST(VideoFiles, AFailedWriteLeavesNoFileAndTouchesNothingElse) {
    TempDir dir;
    const sim::Project project = movingCards();
    auto plan = sim::planVideo(argsOf({"--video", dir.file("v.mp4")}), project.comp);
    fs::create_directories(dir.path() / "v.mp4" / "keep");  // in the way of the rename
    EXPECT_THROW(sim::writeVideo(project, *plan, sim::RenderOptions(), 0, nullptr),
                 std::runtime_error);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{dir.file("v.mp4")});  // no temporary
    EXPECT_TRUE(fs::exists(dir.path() / "v.mp4" / "keep"));
    // A size the encoder refuses ends the write after the file was begun.
    fs::remove_all(dir.path() / "v.mp4");
    plan->width = 95;
    EXPECT_THROW(sim::writeVideo(project, *plan, sim::RenderOptions(), 0, nullptr),
                 std::runtime_error);
    EXPECT_TRUE(listing(dir.path()).empty());
}

}  // namespace
