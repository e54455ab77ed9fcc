#include "engine/video/VideoDecoder.h"

#include "engine/video/Deblocking.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <mutex>

namespace swf::video {

namespace {

// FLV files number H.264 7, after the codecs embedded video shares with them.
constexpr uint8_t kFlvH264 = 7;

AVCodecID codecIdFor(uint8_t codec)
{
    if (codec == kFlvH264)
        return AV_CODEC_ID_H264;
    if (!isKnownVideoCodec(codec))
        return AV_CODEC_ID_NONE;
    switch (static_cast<VideoCodec>(codec)) {
    case VideoCodec::SorensonH263: return AV_CODEC_ID_FLV1;
    case VideoCodec::ScreenVideo: return AV_CODEC_ID_FLASHSV;
    case VideoCodec::Vp6: return AV_CODEC_ID_VP6F;
    case VideoCodec::Vp6Alpha: return AV_CODEC_ID_VP6A;
    case VideoCodec::ScreenVideo2: return AV_CODEC_ID_FLASHSV2;
    }
    return AV_CODEC_ID_NONE;
}

std::string averror(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Damaged pictures are expected input, reported through our own notices; libavcodec's
// own complaints on stderr would only repeat them.
void quietLibraryLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Pictures larger than this are refused before they are decoded: a damaged header can
// claim any size (an H.263 header up to 65535 x 65535), and decoding such a picture
// would take seconds and gigabytes. Movies' videos stay far below it.
constexpr int64_t kMaxPicturePixels = int64_t{2048} * 2048;

// YUV 4:2:0 pictures (the decoders of H.263 and VP6 give them) to RGB as the reference
// player shows them: video-range BT.601 in 16-bit fixed point, each pixel taking the
// chroma of its own 2 x 2 block, the sum rounded once. Its pictures match this level
// for level, where converting in floating point misses by one on sums near a half.
struct Bt601Tables {
    int32_t luma[256];
    int32_t redFromV[256];
    int32_t greenFromU[256];
    int32_t greenFromV[256];
    int32_t blueFromU[256];

    Bt601Tables()
    {
        for (int i = 0; i < 256; ++i) {
            luma[i] = 76309 * (i - 16) + 32768;  // 255/219, and the half for rounding
            redFromV[i] = 104597 * (i - 128);    // 1.596
            greenFromU[i] = 25675 * (i - 128);   // 0.392
            greenFromV[i] = 53279 * (i - 128);   // 0.813
            blueFromU[i] = 132201 * (i - 128);   // 2.017
        }
    }
};

inline uint32_t level(int32_t value)
{
    return value <= 0 ? 0u : value >= (255 << 16) ? 255u : static_cast<uint32_t>(value >> 16);
}

// Converts a YUV 4:2:0 picture, with its alpha plane when it has one, into `image`
// (RGB32, or ARGB32 premultiplied with alpha, of the picture's size). VP6 with alpha
// carries colours already multiplied by their alpha (encoders composite onto black),
// and the reference player blends them so: taken as straight colours, the soft edges
// of a picture came out darker than its own.
void convertYuv420(const AVFrame& frame, bool alpha, QImage& image)
{
    static const Bt601Tables tables;
    const int width = frame.width;
    const int height = frame.height;
    for (int y = 0; y < height; ++y) {
        const uint8_t* luma = frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0];
        const uint8_t* u = frame.data[1] + static_cast<ptrdiff_t>(y / 2) * frame.linesize[1];
        const uint8_t* v = frame.data[2] + static_cast<ptrdiff_t>(y / 2) * frame.linesize[2];
        const uint8_t* a = alpha ? frame.data[3] + static_cast<ptrdiff_t>(y) * frame.linesize[3] : nullptr;
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int32_t c = tables.luma[luma[x]];
            const uint8_t cu = u[x / 2];
            const uint8_t cv = v[x / 2];
            const uint32_t r = level(c + tables.redFromV[cv]);
            const uint32_t g = level(c - tables.greenFromU[cu] - tables.greenFromV[cv]);
            const uint32_t b = level(c + tables.blueFromU[cu]);
            if (!a) {
                out[x] = 0xff000000u | r << 16 | g << 8 | b;
                continue;
            }
            // A colour above its alpha is no premultiplied colour: it is held to it.
            const uint32_t opacity = a[x];
            out[x] = opacity << 24 | std::min(r, opacity) << 16 | std::min(g, opacity) << 8 | std::min(b, opacity);
        }
    }
}

} // namespace

struct VideoDecoder::Codec {
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* received = nullptr;
    AVFrame* latest = nullptr;  // a reference to the last good picture
    bool hasLatest = false;
    SwsContext* scaler = nullptr;
    // H.263 only: how the stream's own flag overrides each picture's deblocking bit,
    // and the quantizer whose strength smooths the latest picture (0: none).
    bool h263 = false;
    uint8_t deblocking = 0;
    int latestDeblocking = 0;
    AVFrame* smoothed = nullptr;  // the latest picture with its block edges smoothed

    ~Codec()
    {
        sws_freeContext(scaler);
        av_frame_free(&smoothed);
        av_frame_free(&latest);
        av_frame_free(&received);
        av_packet_free(&packet);
        avcodec_free_context(&context);
    }
};

VideoDecoder::VideoDecoder(const VideoStreamDef& stream, std::span<const uint8_t> config)
{
    quietLibraryLog();
    const AVCodecID id = codecIdFor(stream.codecId);
    if (id == AV_CODEC_ID_NONE) {
        error_ = "video codec " + std::to_string(stream.codecId) + " is not one embedded video uses";
        return;
    }
    const AVCodec* decoder = avcodec_find_decoder(id);
    if (!decoder) {
        error_ = std::string("this build of libavcodec cannot decode ") + avcodec_get_name(id);
        return;
    }
    auto codec = std::make_unique<Codec>();
    codec->context = avcodec_alloc_context3(decoder);
    codec->packet = av_packet_alloc();
    codec->received = av_frame_alloc();
    codec->latest = av_frame_alloc();
    codec->smoothed = av_frame_alloc();
    codec->h263 = id == AV_CODEC_ID_FLV1;
    codec->deblocking = stream.deblocking;
    if (!codec->context || !codec->packet || !codec->received || !codec->latest || !codec->smoothed) {
        error_ = "out of memory for the video decoder";
        return;
    }
    // One thread: frame threading would hold pictures back, and a picture must come out
    // for the packet that went in.
    codec->context->thread_count = 1;
    codec->context->max_pixels = kMaxPicturePixels;
    // The floating-point AAN inverse transform: the reference player's H.263 pictures
    // match its output level for level, where libavcodec's default integer transform
    // is off by one or two in places.
    codec->context->idct_algo = FF_IDCT_FAAN;
    codec->context->width = stream.width;
    codec->context->height = stream.height;
    if (stream.deblocking == 1)
        codec->context->skip_loop_filter = AVDISCARD_ALL;
    if (!config.empty() && config.size() < (size_t{1} << 20)) {
        codec->context->extradata = static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!codec->context->extradata) {
            error_ = "out of memory for the video decoder";
            return;
        }
        std::copy(config.begin(), config.end(), codec->context->extradata);
        codec->context->extradata_size = static_cast<int>(config.size());
    }
    // A picture must come out for the packet that went in: no holding pictures back
    // for reordering (the files the player meets have none).
    codec->context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    const int opened = avcodec_open2(codec->context, decoder, nullptr);
    if (opened < 0) {
        error_ = "cannot open the " + std::string(avcodec_get_name(id)) + " decoder: " + averror(opened);
        return;
    }
    codec_ = std::move(codec);
}

VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::usable() const
{
    return codec_ != nullptr;
}

void VideoDecoder::reset()
{
    if (!codec_)
        return;
    avcodec_flush_buffers(codec_->context);
    av_frame_unref(codec_->latest);
    codec_->hasLatest = false;
}

bool VideoDecoder::decode(std::span<const uint8_t> data, bool keyFrame)
{
    if (!codec_)
        return false;
    if (data.empty()) {
        error_ = "an empty video picture";
        return false;
    }
    // libavcodec reads up to AV_INPUT_BUFFER_PADDING_SIZE bytes past the data, so the
    // packet gets a padded copy of its own.
    AVPacket* packet = codec_->packet;
    av_packet_unref(packet);
    if (data.size() > static_cast<size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE) ||
        av_new_packet(packet, static_cast<int>(data.size())) < 0) {
        error_ = "out of memory for a video picture";
        return false;
    }
    std::copy(data.begin(), data.end(), packet->data);
    if (keyFrame)
        packet->flags |= AV_PKT_FLAG_KEY;
    int sent = avcodec_send_packet(codec_->context, packet);
    av_packet_unref(packet);
    if (sent < 0) {
        error_ = "damaged video picture: " + averror(sent);
        // A decoder left in an error state takes no more input until flushed.
        if (sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN))
            avcodec_flush_buffers(codec_->context);
        return false;
    }
    bool got = false;
    for (;;) {
        const int received = avcodec_receive_frame(codec_->context, codec_->received);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0) {
            error_ = "damaged video picture: " + averror(received);
            return false;
        }
        const AVFrame* frame = codec_->received;
        if (frame->width <= 0 || frame->height <= 0 || int64_t{frame->width} * frame->height > kMaxPicturePixels ||
            (frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags) {
            error_ = "damaged video picture";
            av_frame_unref(codec_->received);
            continue;
        }
        av_frame_unref(codec_->latest);
        av_frame_move_ref(codec_->latest, codec_->received);
        codec_->hasLatest = true;
        codec_->latestDeblocking = codec_->h263 ? deblockingFor(data) : 0;
        got = true;
    }
    if (!got && error_.empty())
        error_ = "a video picture that decodes to nothing";
    return got;
}

int VideoDecoder::deblockingFor(std::span<const uint8_t> data) const
{
    // The stream's flag: 0 leaves it to the picture's bit, 1 turns smoothing off, and
    // the higher levels turn it on whatever the bit says.
    const std::optional<H263Smoothing> header = readH263Smoothing(data);
    if (!header || codec_->deblocking == 1 || (codec_->deblocking == 0 && !header->requested))
        return 0;
    return header->quantizer;
}

bool VideoDecoder::hasPicture() const
{
    return codec_ && codec_->hasLatest;
}

QImage VideoDecoder::picture()
{
    if (!hasPicture())
        return {};
    const AVFrame* frame = codec_->latest;
    if (codec_->latestDeblocking > 0 && frame->format == AV_PIX_FMT_YUV420P) {
        // Smoothed on a copy: the decoder predicts the next picture from the unsmoothed one.
        AVFrame* smoothed = codec_->smoothed;
        av_frame_unref(smoothed);
        smoothed->format = frame->format;
        smoothed->width = frame->width;
        smoothed->height = frame->height;
        if (av_frame_get_buffer(smoothed, 0) < 0 || av_frame_copy(smoothed, frame) < 0)
            return {};
        for (int p = 0; p < 3; ++p) {
            const int shift = p == 0 ? 0 : 1;
            deblockPlane({smoothed->data[p], (frame->width + shift) >> shift, (frame->height + shift) >> shift,
                          smoothed->linesize[p]},
                         codec_->latestDeblocking);
        }
        frame = smoothed;
    }
    const auto format = static_cast<AVPixelFormat>(frame->format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    const bool alpha = descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA);
    if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVA420P) {
        QImage image(frame->width, frame->height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (image.isNull())
            return {};
        convertYuv420(*frame, alpha, image);
        return image;
    }
    // Each pixel takes the chroma of its own 2 x 2 block, converted with exact
    // rounding: within a level or two of the reference player's colours, where the
    // faster approximations are off by several.
    constexpr int kConversionFlags = SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
    // AV_PIX_FMT_RGB32 is 0xAARRGGBB in native byte order, which is QImage's ARGB32.
    codec_->scaler = sws_getCachedContext(codec_->scaler, frame->width, frame->height, format, frame->width,
                                          frame->height, AV_PIX_FMT_RGB32, kConversionFlags, nullptr, nullptr, nullptr);
    if (!codec_->scaler)
        return {};
    // swscale writes whole SIMD blocks, past the end of a row whose width is not a
    // multiple of them, and so past the end of a tightly packed last row: the image
    // gets a buffer of its own with aligned rows and padding after the last one.
    const int stride = FFALIGN(frame->width * 4, 64);
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(frame->height) + 64;
    auto* pixels = static_cast<uint8_t*>(av_malloc(bytes));
    if (!pixels)
        return {};
    QImage image(pixels, frame->width, frame->height, stride, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
                 [](void* buffer) { av_free(buffer); }, pixels);
    if (image.isNull()) {
        av_free(pixels);
        return {};
    }
    uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    sws_scale(codec_->scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    if (alpha)
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

} // namespace swf::video
