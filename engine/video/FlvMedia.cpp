#include "engine/video/FlvMedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace swf::video {

namespace {

// The demuxer reads the file's bytes through these callbacks instead of a file name:
// the bytes are what the local-file rules already allowed and read.
struct MemoryInput {
    std::span<const uint8_t> bytes;
    size_t position = 0;

    static int read(void* opaque, uint8_t* buffer, int size)
    {
        auto* in = static_cast<MemoryInput*>(opaque);
        if (size <= 0 || in->position >= in->bytes.size())
            return AVERROR_EOF;
        const size_t count = std::min(static_cast<size_t>(size), in->bytes.size() - in->position);
        std::memcpy(buffer, in->bytes.data() + in->position, count);
        in->position += count;
        return static_cast<int>(count);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* in = static_cast<MemoryInput*>(opaque);
        const auto size = static_cast<int64_t>(in->bytes.size());
        if (whence & AVSEEK_SIZE)
            return size;
        int64_t target = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET: target = offset; break;
        case SEEK_CUR: target = static_cast<int64_t>(in->position) + offset; break;
        case SEEK_END: target = size + offset; break;
        default: return AVERROR(EINVAL);
        }
        if (target < 0 || target > size)
            return AVERROR(EINVAL);
        in->position = static_cast<size_t>(target);
        return target;
    }
};

void quietLibraryLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

struct Demuxer {
    MemoryInput input;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;

    ~Demuxer()
    {
        if (format)
            avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};

// FLV's own video codec numbers, which are also embedded video's.
uint8_t flvVideoCodec(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_FLV1: return 2;
    case AV_CODEC_ID_FLASHSV: return 3;
    case AV_CODEC_ID_VP6F: return 4;
    case AV_CODEC_ID_VP6A: return 5;
    case AV_CODEC_ID_FLASHSV2: return 6;
    case AV_CODEC_ID_H264: return 7;
    default: return 0;
    }
}

uint8_t flvAudioCodec(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_U8: return 0;
    case AV_CODEC_ID_ADPCM_SWF: return 1;
    case AV_CODEC_ID_MP3: return 2;
    case AV_CODEC_ID_PCM_S16LE: return 3;
    case AV_CODEC_ID_NELLYMOSER: return 6;
    case AV_CODEC_ID_PCM_ALAW: return 7;
    case AV_CODEC_ID_PCM_MULAW: return 8;
    case AV_CODEC_ID_AAC: return 10;
    case AV_CODEC_ID_SPEEX: return 11;
    default: return 0xfe;
    }
}

struct Packet {
    double time = 0;  // seconds
    int64_t order = 0;
    bool key = false;
    std::vector<uint8_t> data;
};

// Decodes the sound packets with the stream's parameters into one piece of PCM at the
// mixer's rate and layout.
class SoundTrackDecoder {
public:
    SoundTrackDecoder(const AVCodecParameters& parameters, size_t maxBytes) : maxBytes_(maxBytes)
    {
        const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
        if (!codec) {
            error_ = std::string("this build of libavcodec cannot decode ") + avcodec_get_name(parameters.codec_id);
            return;
        }
        context_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!context_ || !frame_ || !packet_ || avcodec_parameters_to_context(context_, &parameters) < 0) {
            error_ = "out of memory for the sound decoder";
            return;
        }
        if (context_->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&context_->ch_layout, 1);
        if (avcodec_open2(context_, codec, nullptr) < 0) {
            error_ = std::string("cannot open the ") + avcodec_get_name(parameters.codec_id) + " decoder";
            return;
        }
        ready_ = true;
    }

    ~SoundTrackDecoder()
    {
        swr_free(&swr_);
        av_packet_free(&packet_);
        av_frame_free(&frame_);
        avcodec_free_context(&context_);
    }
    SoundTrackDecoder(const SoundTrackDecoder&) = delete;
    SoundTrackDecoder& operator=(const SoundTrackDecoder&) = delete;

    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    void feed(const std::vector<uint8_t>& data)
    {
        if (!ready_ || full_ || data.empty() || data.size() > static_cast<size_t>(INT32_MAX / 2))
            return;
        av_packet_unref(packet_);
        if (av_new_packet(packet_, static_cast<int>(data.size())) < 0)
            return;
        std::memcpy(packet_->data, data.data(), data.size());
        if (avcodec_send_packet(context_, packet_) < 0) {
            ++damaged_;
            return;
        }
        drain();
    }

    void finish()
    {
        if (!ready_)
            return;
        avcodec_send_packet(context_, nullptr);
        drain();
    }

    audio::Pcm take() { return std::move(pcm_); }
    int damaged() const { return damaged_; }
    bool full() const { return full_; }

private:
    void drain()
    {
        for (;;) {
            const int got = avcodec_receive_frame(context_, frame_);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return;
            if (got < 0) {
                ++damaged_;
                return;
            }
            convert(*frame_);
            av_frame_unref(frame_);
        }
    }

    void convert(const AVFrame& frame)
    {
        const int channels = frame.ch_layout.nb_channels;
        if (channels < 1 || channels > 8 || frame.sample_rate <= 0 || frame.nb_samples <= 0 || full_)
            return;
        if (!swr_) {
            AVChannelLayout stereo;
            av_channel_layout_default(&stereo, 2);
            AVChannelLayout in;
            av_channel_layout_default(&in, channels);
            if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_S16, audio::kOutputRate, &in,
                                    static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr) < 0 ||
                swr_init(swr_) < 0) {
                swr_free(&swr_);
                error_ = "cannot convert the sound to the mixer's rate";
                ready_ = false;
                return;
            }
            rate_ = frame.sample_rate;
            channels_ = channels;
            format_ = frame.format;
        }
        // A change of rate or layout mid-stream: such frames are left out.
        if (frame.sample_rate != rate_ || channels != channels_ || frame.format != format_)
            return;
        const int room = swr_get_out_samples(swr_, frame.nb_samples);
        if (room <= 0)
            return;
        const size_t start = pcm_.samples.size();
        const size_t wanted = start + static_cast<size_t>(room) * 2;
        if (wanted * sizeof(int16_t) > maxBytes_) {
            full_ = true;
            return;
        }
        pcm_.samples.resize(wanted);
        auto* out = reinterpret_cast<uint8_t*>(pcm_.samples.data() + start);
        const int made = swr_convert(swr_, &out, room, const_cast<const uint8_t**>(frame.extended_data),
                                     frame.nb_samples);
        pcm_.samples.resize(start + static_cast<size_t>(std::max(made, 0)) * 2);
    }

    size_t maxBytes_;
    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwrContext* swr_ = nullptr;
    bool ready_ = false;
    bool full_ = false;
    int rate_ = 0;
    int channels_ = 0;
    int format_ = -1;
    int damaged_ = 0;
    std::string error_;
    audio::Pcm pcm_;
};

// The video stream with its coded pictures kept alive beside it.
struct OwnedVideo {
    EmbeddedVideo video;
    std::vector<std::vector<uint8_t>> storage;
};

uint32_t be24(const uint8_t* p)
{
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

} // namespace

int FlvMedia::pictureAt(double seconds) const
{
    const auto after = std::upper_bound(frameTimes.begin(), frameTimes.end(), seconds + 1e-9);
    return static_cast<int>(after - frameTimes.begin()) - 1;
}

double FlvMedia::keyFrameAtOrBefore(double seconds) const
{
    if (!video)
        return 0;
    for (int i = pictureAt(seconds); i >= 0; --i) {
        const auto index = static_cast<size_t>(i);
        if (index < video->keyFrames.size() && video->keyFrames[index])
            return frameTimes[index];
    }
    return 0;
}

namespace {

// Walks the tags; `cut` is set when the file ends inside one (a truncated file, or a
// tag that claims more than there is).
std::vector<FlvScriptTag> walkTags(std::span<const uint8_t> bytes, bool& cut);

} // namespace

std::vector<FlvScriptTag> readFlvScriptTags(std::span<const uint8_t> bytes)
{
    bool cut = false;
    return walkTags(bytes, cut);
}

namespace {

std::vector<FlvScriptTag> walkTags(std::span<const uint8_t> bytes, bool& cut)
{
    std::vector<FlvScriptTag> tags;
    if (bytes.size() < 9 || bytes[0] != 'F' || bytes[1] != 'L' || bytes[2] != 'V')
        return tags;
    const uint32_t headerSize = uint32_t{bytes[5]} << 24 | uint32_t{bytes[6]} << 16 | uint32_t{bytes[7]} << 8 | bytes[8];
    size_t at = std::max<size_t>(9, headerSize) + 4;  // the header, then the first "previous tag size"
    while (at + 11 <= bytes.size()) {
        const uint8_t type = bytes[at] & 0x1f;
        const uint32_t size = be24(&bytes[at + 1]);
        const uint32_t time = be24(&bytes[at + 4]) | uint32_t{bytes[at + 7]} << 24;
        const size_t body = at + 11;
        if (size > bytes.size() - body) {
            cut = true;  // a tag that claims more than the file holds
            break;
        }
        if (type == 18) {
            std::span<const uint8_t> data = bytes.subspan(body, size);
            size_t pos = 0;
            try {
                data::AmfValue name = data::readAmf0(data, pos);
                if (name.type == data::AmfValue::Type::String) {
                    FlvScriptTag tag;
                    tag.time = time / 1000.0;
                    tag.name = name.text;
                    if (pos < data.size())
                        tag.argument = data::readAmf0(data, pos);
                    tags.push_back(std::move(tag));
                }
            } catch (const data::AmfError&) {
                // A damaged script tag is left out; the rest of the file may be fine.
            }
        }
        at = body + size + 4;
    }
    if (at < bytes.size())
        cut = true;  // a few bytes of a tag header and no more
    return tags;
}

} // namespace

FlvMedia readFlv(std::span<const uint8_t> bytes, const FlvLimits& limits)
{
    if (bytes.size() < 9 || bytes[0] != 'F' || bytes[1] != 'L' || bytes[2] != 'V')
        throw FlvError{"not an FLV file"};
    quietLibraryLog();
    FlvMedia media;
    media.bytes = bytes.size();
    bool cut = false;
    media.scripts = walkTags(bytes, cut);
    if (cut)
        media.problems.push_back("the file is cut short or a tag in it claims more bytes than there are; "
                                 "what comes before plays");

    Demuxer demuxer;
    demuxer.input.bytes = bytes;
    constexpr int kBufferSize = 16 * 1024;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    if (!buffer)
        throw FlvError{"out of memory"};
    demuxer.io = avio_alloc_context(buffer, kBufferSize, 0, &demuxer.input, &MemoryInput::read, nullptr,
                                    &MemoryInput::seek);
    if (!demuxer.io) {
        av_free(buffer);
        throw FlvError{"out of memory"};
    }
    demuxer.format = avformat_alloc_context();
    if (!demuxer.format)
        throw FlvError{"out of memory"};
    demuxer.format->pb = demuxer.io;
    demuxer.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&demuxer.format, nullptr, av_find_input_format("flv"), nullptr) < 0) {
        demuxer.format = nullptr;  // freed by avformat_open_input on failure
        throw FlvError{"not a readable FLV file"};
    }

    // The demuxer learns the pictures' size (and H.264's set-up) only by decoding the
    // first few; the packets it read for that come out of av_read_frame all the same.
    demuxer.format->probesize = 1 << 20;
    avformat_find_stream_info(demuxer.format, nullptr);

    int videoStream = -1;
    int audioStream = -1;
    std::vector<Packet> pictures;
    std::vector<Packet> sounds;
    size_t pictureBytes = 0;
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        throw FlvError{"out of memory"};
    int64_t order = 0;
    for (;;) {
        const int read = av_read_frame(demuxer.format, packet);
        if (read == AVERROR_EOF)
            break;
        if (read < 0) {
            media.problems.push_back("the file is damaged after byte " + std::to_string(demuxer.input.position) +
                                     "; what comes before it plays");
            break;
        }
        if (pictures.size() + sounds.size() >= limits.maxPackets) {
            av_packet_unref(packet);
            media.problems.push_back("the file holds more packets than the player keeps; the rest is left out");
            break;
        }
        const AVStream* stream = demuxer.format->streams[packet->stream_index];
        const AVMediaType kind = stream->codecpar->codec_type;
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const double time = stamp == AV_NOPTS_VALUE ? 0 : static_cast<double>(stamp) * av_q2d(stream->time_base);
        if (packet->size > 0 && std::isfinite(time)) {
            Packet kept{time, order++, (packet->flags & AV_PKT_FLAG_KEY) != 0,
                        std::vector<uint8_t>(packet->data, packet->data + packet->size)};
            if (kind == AVMEDIA_TYPE_VIDEO && (videoStream < 0 || videoStream == packet->stream_index)) {
                videoStream = packet->stream_index;
                pictureBytes += kept.data.size();
                if (pictureBytes > limits.maxPictureBytes) {
                    av_packet_unref(packet);
                    media.problems.push_back("the video is larger than the player keeps; the rest is left out");
                    break;
                }
                pictures.push_back(std::move(kept));
            } else if (kind == AVMEDIA_TYPE_AUDIO && (audioStream < 0 || audioStream == packet->stream_index)) {
                audioStream = packet->stream_index;
                sounds.push_back(std::move(kept));
            }
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);

    double end = 0;
    if (videoStream >= 0) {
        const AVCodecParameters& parameters = *demuxer.format->streams[videoStream]->codecpar;
        auto owned = std::make_shared<OwnedVideo>();
        EmbeddedVideo& video = owned->video;
        video.def.codecId = flvVideoCodec(parameters.codec_id);
        video.def.width = static_cast<uint16_t>(std::clamp(parameters.width, 0, 4096));
        video.def.height = static_cast<uint16_t>(std::clamp(parameters.height, 0, 4096));
        if (parameters.extradata && parameters.extradata_size > 0)
            video.codecConfig.assign(parameters.extradata, parameters.extradata + parameters.extradata_size);
        // Pictures are shown in time order; packets of equal time keep the file's order.
        std::stable_sort(pictures.begin(), pictures.end(),
                         [](const Packet& a, const Packet& b) { return a.time < b.time; });
        owned->storage.reserve(pictures.size());
        for (Packet& picture : pictures) {
            owned->storage.push_back(std::move(picture.data));
            const auto number = static_cast<uint16_t>(std::min<size_t>(video.frames.size(), 65535));
            video.frames.push_back({0, number, owned->storage.back()});
            video.keyFrames.push_back(picture.key);
            media.frameTimes.push_back(picture.time);
            end = std::max(end, picture.time);
        }
        if (video.def.codecId == 0)
            media.problems.push_back(std::string("the video codec ") + avcodec_get_name(parameters.codec_id) +
                                     " is not one FLV files use");
        if (video.frames.size() > 65535)
            media.problems.push_back("the video has more pictures than the player shows; the rest is left out");
        if (video.frames.size() > 65535) {
            video.frames.resize(65535);
            video.keyFrames.resize(65535);
            media.frameTimes.resize(65535);
        }
        media.video = std::shared_ptr<const EmbeddedVideo>(owned, &owned->video);
    }

    if (audioStream >= 0) {
        const AVCodecParameters& parameters = *demuxer.format->streams[audioStream]->codecpar;
        media.audioCodecId = flvAudioCodec(parameters.codec_id);
        std::stable_sort(sounds.begin(), sounds.end(), [](const Packet& a, const Packet& b) { return a.time < b.time; });
        SoundTrackDecoder decoder(parameters, limits.maxPcmBytes);
        if (!decoder.ready()) {
            media.problems.push_back("the sound cannot be played: " + decoder.error());
        } else {
            media.audioStart = sounds.empty() ? 0 : sounds.front().time;
            for (const Packet& sound : sounds)
                decoder.feed(sound.data);
            decoder.finish();
            if (decoder.damaged() > 0)
                media.problems.push_back("the sound has " + std::to_string(decoder.damaged()) + " damaged packets");
            if (decoder.full())
                media.problems.push_back("the sound is longer than the player keeps; its end is left out");
            auto pcm = std::make_shared<audio::Pcm>(decoder.take());
            if (pcm->frames() > 0) {
                end = std::max(end, media.audioStart + static_cast<double>(pcm->frames()) / audio::kOutputRate);
                media.audio = std::move(pcm);
            }
        }
        if (!sounds.empty())
            end = std::max(end, sounds.back().time);
    }

    media.duration = end;
    for (const FlvScriptTag& tag : media.scripts) {
        if (tag.name != "onMetaData")
            continue;
        for (const auto& [key, value] : tag.argument.members) {
            if (key == "duration" && value.type == data::AmfValue::Type::Number && std::isfinite(value.number) &&
                value.number > 0 && value.number < 1e7)
                media.duration = value.number;
        }
    }
    return media;
}

} // namespace swf::video
