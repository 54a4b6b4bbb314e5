#include "sim/picture/VideoEncoder.h"

#include <cstring>
#include <stdexcept>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace sim {
namespace {

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct GraphFree {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct InOutFree {
    void operator()(AVFilterInOut* io) const { avfilter_inout_free(&io); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct OutputFree {
    void operator()(AVFormatContext* f) const {
        if (f->pb) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
struct DictFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

void check(int err, const std::string& what) {
    if (err >= 0) return;
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    throw std::runtime_error("video: " + what + ": " + text);
}

template <typename T>
T* made(T* p, const char* what) {
    if (!p) throw std::runtime_error(std::string("video: cannot allocate ") + what);
    return p;
}

// Options for an encoder or muxer, freed on every path.
class Options {
  public:
    void set(const char* key, const char* value) {
        AVDictionary* d = dict_.release();
        av_dict_set(&d, key, value, 0);
        dict_.reset(d);
    }
    // Calls f(&dictionary); what f leaves behind is freed.
    template <typename F>
    int use(F f) {
        AVDictionary* d = dict_.release();
        const int err = f(&d);
        dict_.reset(d);
        return err;
    }

  private:
    std::unique_ptr<AVDictionary, DictFree> dict_;
};

// A filter graph fed by buffer sources named in0, in1 ... and drained at the sink "out".
struct Filters {
    std::unique_ptr<AVFilterGraph, GraphFree> graph;
    std::vector<AVFilterContext*> sources;
    AVFilterContext* sink = nullptr;
};

std::string bufferArgs(int width, int height, int format, const Time& frameDuration) {
    return "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
           ":pix_fmt=" + std::to_string(format) +
           ":time_base=" + std::to_string(frameDuration.value) + "/" +
           std::to_string(frameDuration.scale) + ":pixel_aspect=1/1";
}

AVFilterInOut* openPad(const std::string& name, AVFilterContext* filter, AVFilterInOut* next) {
    AVFilterInOut* io = made(avfilter_inout_alloc(), "a filter pad");
    io->name = av_strdup(name.c_str());
    io->filter_ctx = filter;
    io->pad_idx = 0;
    io->next = next;
    return io;
}

Filters makeFilters(const std::string& description, const std::vector<std::string>& sourceArgs) {
    Filters f;
    f.graph.reset(made(avfilter_graph_alloc(), "a filter graph"));
    std::unique_ptr<AVFilterInOut, InOutFree> outputs;  // the sources' open outputs
    for (size_t i = 0; i < sourceArgs.size(); ++i) {
        const std::string name = "in" + std::to_string(i);
        AVFilterContext* src = nullptr;
        check(avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), name.c_str(),
                                           sourceArgs[i].c_str(), nullptr, f.graph.get()),
              "filter source");
        f.sources.push_back(src);
        outputs.reset(openPad(name, src, outputs.release()));
    }
    check(avfilter_graph_create_filter(&f.sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                       nullptr, f.graph.get()),
          "filter sink");
    std::unique_ptr<AVFilterInOut, InOutFree> inputs(openPad("out", f.sink, nullptr));
    AVFilterInOut* in = inputs.release();
    AVFilterInOut* out = outputs.release();
    const int err =
        avfilter_graph_parse_ptr(f.graph.get(), description.c_str(), &in, &out, nullptr);
    inputs.reset(in);
    outputs.reset(out);
    check(err, "filter " + description);
    check(avfilter_graph_config(f.graph.get(), nullptr), "filter " + description);
    return f;
}

// The picture as a frame of its own (the filters keep frames beyond the call).
FramePtr rgbFrame(const Picture& picture, int64_t pts) {
    FramePtr f(made(av_frame_alloc(), "a frame"));
    f->format = AV_PIX_FMT_RGB32;  // native-order ARGB words, as cairo draws them
    f->width = picture.width;
    f->height = picture.height;
    check(av_frame_get_buffer(f.get(), 0), "frame buffer");
    const size_t row = size_t(picture.width) * sizeof(uint32_t);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(f->data[0] + size_t(y) * size_t(f->linesize[0]),
                    &picture.pixels[size_t(y) * size_t(picture.width)], row);
    f->pts = pts;
    return f;
}

const AVCodec* videoCodec(VideoFormat format) {
    if (format == VideoFormat::Gif) return avcodec_find_encoder(AV_CODEC_ID_GIF);
    if (const AVCodec* h264 = avcodec_find_encoder_by_name("libx264")) return h264;
    return avcodec_find_encoder(AV_CODEC_ID_MPEG4);  // a build without x264
}

// Ordered dithering leaves areas that do not change alike from frame to frame, which keeps the
// GIF small; error diffusion would make them shimmer.
constexpr const char* kPaletteUse = "[in0][in1]paletteuse=dither=bayer:bayer_scale=3[out]";
constexpr const char* kPaletteGen = "[in0]palettegen=stats_mode=full[out]";

}  // namespace

struct VideoEncoder::Impl {
    VideoPlan plan;
    std::unique_ptr<AVFormatContext, OutputFree> out;
    std::unique_ptr<AVCodecContext, CodecFree> codec;
    AVStream* stream = nullptr;
    std::unique_ptr<AVPacket, PacketFree> packet;
    std::unique_ptr<SwsContext, SwsFree> toYuv;
    FramePtr yuv;
    Filters paletteGen, paletteUse;  // GIF
    bool surveyed = false;           // paletteGen has been given every frame
    int64_t surveyCount = 0;
    int64_t next = 0;  // frame number of the next frame

    bool gif() const { return plan.format == VideoFormat::Gif; }
    AVRational timeBase() const {
        return {plan.frameDuration.value, int(plan.frameDuration.scale)};
    }

    void open(const std::string& path);
    void openCodec();
    void encode(AVFrame* frame);
    void drain(Filters& filters);
    void startPaletteUse();
};

void VideoEncoder::Impl::openCodec() {
    const AVCodec* encoder = videoCodec(plan.format);
    if (!encoder) throw std::runtime_error("video: this FFmpeg has no encoder for the format");
    codec.reset(made(avcodec_alloc_context3(encoder), "an encoder"));
    codec->width = plan.width;
    codec->height = plan.height;
    codec->time_base = timeBase();
    codec->framerate = av_inv_q(timeBase());
    codec->sample_aspect_ratio = {1, 1};
    codec->pix_fmt = gif() ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
    Options options;
    if (!gif()) {
        codec->color_range = AVCOL_RANGE_MPEG;
        codec->colorspace = AVCOL_SPC_BT709;
        codec->color_primaries = AVCOL_PRI_BT709;
        codec->color_trc = AVCOL_TRC_BT709;
        if (std::strcmp(encoder->name, "libx264") == 0) {
            options.set("preset", "medium");
            options.set("crf", "20");
        } else {
            codec->flags |= AV_CODEC_FLAG_QSCALE;
            codec->global_quality = FF_QP2LAMBDA * 3;
        }
    }
    if (out->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(options.use([&](AVDictionary** d) { return avcodec_open2(codec.get(), encoder, d); }),
          std::string("opening the encoder ") + encoder->name);
}

void VideoEncoder::Impl::open(const std::string& path) {
    av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are not for our users
    AVFormatContext* f = nullptr;
    check(avformat_alloc_output_context2(&f, nullptr, gif() ? "gif" : "mp4", path.c_str()),
          "output format");
    out.reset(f);
    check(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), "cannot write " + path);
    openCodec();
    stream = made(avformat_new_stream(out.get(), nullptr), "a stream");
    check(avcodec_parameters_from_context(stream->codecpar, codec.get()), "stream parameters");
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = codec->framerate;
    Options options;
    if (!gif()) options.set("movflags", "+faststart");  // playable while it downloads
    check(options.use([&](AVDictionary** d) { return avformat_write_header(out.get(), d); }),
          "writing the header of " + path);
    packet.reset(made(av_packet_alloc(), "a packet"));
    if (gif()) return;
    toYuv.reset(
        made(sws_getContext(plan.width, plan.height, AV_PIX_FMT_RGB32, plan.width, plan.height,
                            AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr),
             "a colour converter"));
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(toYuv.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    yuv.reset(made(av_frame_alloc(), "a frame"));
    yuv->format = AV_PIX_FMT_YUV420P;
    yuv->width = plan.width;
    yuv->height = plan.height;
    check(av_frame_get_buffer(yuv.get(), 0), "frame buffer");
}

// Sends a frame (nullptr: the end) and writes the packets the encoder has ready.
void VideoEncoder::Impl::encode(AVFrame* frame) {
    check(avcodec_send_frame(codec.get(), frame), "encoding");
    for (;;) {
        const int err = avcodec_receive_packet(codec.get(), packet.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
        check(err, "encoding");
        if (packet->duration <= 0) packet->duration = 1;  // one frame: the GIF's last delay
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        check(av_interleaved_write_frame(out.get(), packet.get()), "writing");
    }
}

// Encodes every frame the filters have ready.
void VideoEncoder::Impl::drain(Filters& filters) {
    FramePtr frame(made(av_frame_alloc(), "a frame"));
    for (;;) {
        const int err = av_buffersink_get_frame(filters.sink, frame.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
        check(err, "palette");
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        encode(frame.get());
        av_frame_unref(frame.get());
    }
}

// The palette of every surveyed frame, then the graph that maps frames onto it.
void VideoEncoder::Impl::startPaletteUse() {
    check(av_buffersrc_add_frame(paletteGen.sources[0], nullptr), "palette");
    FramePtr palette(made(av_frame_alloc(), "a frame"));
    check(av_buffersink_get_frame(paletteGen.sink, palette.get()), "palette");
    paletteGen = Filters();
    const std::vector<std::string> sources = {
        bufferArgs(plan.width, plan.height, AV_PIX_FMT_RGB32, plan.frameDuration),
        bufferArgs(palette->width, palette->height, palette->format, plan.frameDuration)};
    paletteUse = makeFilters(kPaletteUse, sources);
    palette->pts = 0;
    check(av_buffersrc_add_frame(paletteUse.sources[1], palette.get()), "palette");
    check(av_buffersrc_add_frame(paletteUse.sources[1], nullptr), "palette");
    surveyed = true;
}

VideoEncoder::VideoEncoder(const VideoPlan& plan, const std::string& path)
    : impl_(std::make_unique<Impl>()) {
    impl_->plan = plan;
    impl_->open(path);
    if (impl_->gif())
        impl_->paletteGen = makeFilters(
            kPaletteGen,
            {bufferArgs(plan.width, plan.height, AV_PIX_FMT_RGB32, plan.frameDuration)});
}

VideoEncoder::~VideoEncoder() = default;

bool VideoEncoder::needsSurvey() const {
    return impl_->gif();
}

void VideoEncoder::survey(const Picture& frame) {
    Impl& m = *impl_;
    if (!m.gif() || m.surveyed) throw std::logic_error("video: survey after the first frame");
    FramePtr f = rgbFrame(frame, m.surveyCount++);
    check(av_buffersrc_add_frame(m.paletteGen.sources[0], f.get()), "palette");
}

void VideoEncoder::add(const Picture& frame) {
    Impl& m = *impl_;
    if (frame.width != m.plan.width || frame.height != m.plan.height)
        throw std::logic_error("video: a frame of the wrong size");
    if (m.gif()) {
        if (!m.surveyed) m.startPaletteUse();
        FramePtr f = rgbFrame(frame, m.next++);
        check(av_buffersrc_add_frame(m.paletteUse.sources[0], f.get()), "palette");
        m.drain(m.paletteUse);
        return;
    }
    check(av_frame_make_writable(m.yuv.get()), "frame buffer");
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(frame.pixels.data())};
    const int stride[1] = {int(frame.width * sizeof(uint32_t))};
    sws_scale(m.toYuv.get(), src, stride, 0, frame.height, m.yuv->data, m.yuv->linesize);
    m.yuv->pts = m.next++;
    m.encode(m.yuv.get());
}

void VideoEncoder::finish() {
    Impl& m = *impl_;
    if (m.gif()) {
        if (!m.surveyed) m.startPaletteUse();
        check(av_buffersrc_add_frame(m.paletteUse.sources[0], nullptr), "palette");
        m.drain(m.paletteUse);
    }
    m.encode(nullptr);
    check(av_write_trailer(m.out.get()), "writing the end of the file");
    check(avio_closep(&m.out->pb), "closing the file");
}

}  // namespace sim
