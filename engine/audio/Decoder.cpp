#include "engine/audio/Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <memory>

namespace swf::audio {

namespace {

// Uncompressed data goes to the decoder in packets of this size, Nellymoser in
// whole 64-byte blocks.
constexpr size_t kPcmPacketBytes = 16384;
constexpr size_t kNellyBlockBytes = 64;
constexpr size_t kNellyPacketBytes = kNellyBlockBytes * 64;

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ParserFree {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

AVCodecID codecFor(const SoundEncoding& encoding)
{
    switch (encoding.format) {
    case SoundFormat::PcmNative:
    case SoundFormat::PcmLittle: return encoding.is16Bit ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_PCM_U8;
    case SoundFormat::Adpcm: return AV_CODEC_ID_ADPCM_SWF;
    case SoundFormat::Mp3: return AV_CODEC_ID_MP3;
    case SoundFormat::Nelly16k:
    case SoundFormat::Nelly8k:
    case SoundFormat::Nellymoser: return AV_CODEC_ID_NELLYMOSER;
    case SoundFormat::Speex: return AV_CODEC_ID_SPEEX;
    }
    return AV_CODEC_ID_NONE;
}

// One decoder and resampler, fed packets, appending 44.1 kHz 16-bit samples (in the
// source's channel count; mono is widened at the end so no mixing gain applies).
class Session {
public:
    Session(const SoundEncoding& encoding, size_t maxBytes) : encoding_(encoding), maxBytes_(maxBytes)
    {
        // Damaged data is expected here and handled; the codecs need not say so.
        static const bool quiet = [] {
            av_log_set_level(AV_LOG_QUIET);
            return true;
        }();
        (void)quiet;
        if (!encoding.known())
            throw DecodeError("unknown sound format " + std::to_string(static_cast<int>(encoding.format)));
        const AVCodec* codec = avcodec_find_decoder(codecFor(encoding));
        if (!codec)
            throw DecodeError("no decoder for " + soundFormatName(encoding.format) + " sound");
        context_.reset(avcodec_alloc_context3(codec));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!context_ || !frame_ || !packet_)
            throw DecodeError("out of memory for a sound decoder");
        // MP3 says its own rate and channels in every frame; the others take ours.
        channels_ = encoding.channels();
        if (encoding.format == SoundFormat::Speex || encoding.format == SoundFormat::Nelly16k ||
            encoding.format == SoundFormat::Nelly8k)
            channels_ = 1;
        av_channel_layout_default(&context_->ch_layout, channels_);
        context_->sample_rate = encoding.sampleRate();
        if (avcodec_open2(context_.get(), codec, nullptr) < 0)
            throw DecodeError("cannot open the " + soundFormatName(encoding.format) + " decoder");
        if (encoding.format == SoundFormat::Mp3)
            parser_.reset(av_parser_init(AV_CODEC_ID_MP3));
    }

    // Sends one packet; data the codec rejects ends the sound there.
    void send(std::span<const uint8_t> input)
    {
        if (input.empty() || broken_)
            return;
        // The codecs and parsers read a little past the end of what they are given:
        // the data goes in a copy with zeroed room after it.
        padded_.assign(input.begin(), input.end());
        padded_.resize(input.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::span<const uint8_t> data(padded_.data(), input.size());
        if (parser_) {
            while (!data.empty()) {
                uint8_t* out = nullptr;
                int outSize = 0;
                int used = av_parser_parse2(parser_.get(), context_.get(), &out, &outSize, data.data(),
                                            static_cast<int>(data.size()), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (used < 0)
                    return;
                data = data.subspan(static_cast<size_t>(used));
                if (outSize > 0)
                    decodePacket(out, outSize);
                if (used == 0 && outSize == 0)
                    break;
            }
            return;
        }
        decodePacket(data.data(), static_cast<int>(data.size()));
    }

    // Drains the parser, the decoder and the resampler.
    void finish()
    {
        if (parser_ && !broken_) {
            uint8_t* out = nullptr;
            int outSize = 0;
            av_parser_parse2(parser_.get(), context_.get(), &out, &outSize, nullptr, 0, AV_NOPTS_VALUE,
                             AV_NOPTS_VALUE, 0);
            if (outSize > 0)
                decodePacket(out, outSize);
        }
        if (!broken_) {
            avcodec_send_packet(context_.get(), nullptr);
            receiveFrames();
        }
        if (swr_)
            resample(nullptr, 0);
    }

    // Source-rate samples decoded so far (per channel).
    int64_t sourceSamples() const { return sourceSamples_; }
    int sourceRate() const { return sourceRate_ ? sourceRate_ : encoding_.sampleRate(); }

    // The decoded sound, widened to stereo.
    Pcm take()
    {
        Pcm pcm;
        if (outChannels_ == 2) {
            pcm.samples = std::move(out_);
            return pcm;
        }
        pcm.samples.resize(out_.size() * 2);
        for (size_t i = 0; i < out_.size(); ++i)
            pcm.samples[2 * i] = pcm.samples[2 * i + 1] = out_[i];
        return pcm;
    }

private:
    void decodePacket(const uint8_t* data, int size)
    {
        packet_->data = const_cast<uint8_t*>(data);
        packet_->size = size;
        int sent = avcodec_send_packet(context_.get(), packet_.get());
        packet_->data = nullptr;
        packet_->size = 0;
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            lastError_ = sent;
            // A damaged packet: skip it, as players do with a bad frame.
            return;
        }
        receiveFrames();
    }

    void receiveFrames()
    {
        while (true) {
            int got = avcodec_receive_frame(context_.get(), frame_.get());
            if (got < 0)
                return;
            accept(*frame_);
            av_frame_unref(frame_.get());
        }
    }

    void accept(const AVFrame& frame)
    {
        int channels = frame.ch_layout.nb_channels;
        if (channels < 1 || channels > 2 || frame.sample_rate <= 0 || frame.nb_samples <= 0)
            return;
        if (!swr_) {
            sourceRate_ = frame.sample_rate;
            outChannels_ = channels;
            SwrContext* swr = nullptr;
            AVChannelLayout layout;
            av_channel_layout_default(&layout, channels);
            if (swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, kOutputRate, &layout,
                                    static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr) < 0 ||
                swr_init(swr) < 0) {
                swr_free(&swr);
                broken_ = true;
                return;
            }
            swr_.reset(swr);
            inFormat_ = frame.format;
        }
        // MP3 may change rate or channels mid-stream; such frames are dropped.
        if (frame.sample_rate != sourceRate_ || channels != outChannels_ || frame.format != inFormat_)
            return;
        sourceSamples_ += frame.nb_samples;
        resample(const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    }

    void resample(const uint8_t** in, int count)
    {
        int room = swr_get_out_samples(swr_.get(), count);
        if (room <= 0)
            return;
        size_t start = out_.size();
        size_t wanted = start + static_cast<size_t>(room) * static_cast<size_t>(outChannels_);
        if (wanted * sizeof(int16_t) * (outChannels_ == 1 ? 2 : 1) > maxBytes_)
            throw DecodeError("the decoded sound needs more than " + std::to_string(maxBytes_ >> 20) +
                              " MiB of memory");
        out_.resize(wanted);
        uint8_t* dest = reinterpret_cast<uint8_t*>(out_.data() + start);
        int made = swr_convert(swr_.get(), &dest, room, in, count);
        out_.resize(start + static_cast<size_t>(std::max(made, 0)) * static_cast<size_t>(outChannels_));
    }

    SoundEncoding encoding_;
    size_t maxBytes_;
    int channels_ = 1;
    int outChannels_ = 1;
    int sourceRate_ = 0;
    int inFormat_ = -1;
    int64_t sourceSamples_ = 0;
    bool broken_ = false;
    int lastError_ = 0;
    std::unique_ptr<AVCodecContext, CodecContextFree> context_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::unique_ptr<AVCodecParserContext, ParserFree> parser_;
    std::unique_ptr<SwrContext, SwrFree> swr_;
    std::vector<int16_t> out_;
    std::vector<uint8_t> padded_;
};

// Speex frames sit back to back, each padded to a whole byte; the decoder takes one
// per packet. A frame's length follows from its mode numbers: the narrowband layer
// (a zero bit, four mode bits) and, in wideband, the upper layer (a one bit, three
// mode bits). Bits per 20 ms frame by mode, header bits included.
size_t speexFrameBytes(std::span<const uint8_t> data)
{
    static constexpr int kNarrowBits[16] = {5, 43, 119, 160, 220, 300, 364, 492, 79, 0, 0, 0, 0, 0, 0, 0};
    static constexpr int kWideBits[8] = {4, 36, 112, 192, 352, 0, 0, 0};
    auto bitAt = [&](size_t bit) { return (data[bit >> 3] >> (7 - (bit & 7))) & 1; };
    auto bits = [&](size_t from, int count) {
        unsigned v = 0;
        for (int i = 0; i < count; ++i)
            v = (v << 1) | bitAt(from + static_cast<size_t>(i));
        return v;
    };
    size_t total = data.size() * 8;
    if (total < 5 || bitAt(0) != 0)
        return 0;
    int narrow = kNarrowBits[bits(1, 4)];
    if (narrow == 0)
        return 0;
    size_t used = static_cast<size_t>(narrow);
    if (used + 4 <= total && bitAt(used) == 1) {
        int wide = kWideBits[bits(used + 1, 3)];
        if (wide == 0)
            return 0;
        used += static_cast<size_t>(wide);
    }
    return used <= total ? (used + 7) / 8 : 0;
}

// Splits a payload into the packets its codec wants.
void sendAll(Session& session, const SoundEncoding& encoding, std::span<const uint8_t> data)
{
    size_t packet = data.size();
    switch (encoding.format) {
    case SoundFormat::PcmNative:
    case SoundFormat::PcmLittle: {
        size_t frameBytes = static_cast<size_t>(encoding.channels()) * (encoding.is16Bit ? 2 : 1);
        packet = kPcmPacketBytes - kPcmPacketBytes % frameBytes;
        data = data.first(data.size() - data.size() % frameBytes);
        break;
    }
    case SoundFormat::Nelly16k:
    case SoundFormat::Nelly8k:
    case SoundFormat::Nellymoser:
        packet = kNellyPacketBytes;
        data = data.first(data.size() - data.size() % kNellyBlockBytes);
        break;
    case SoundFormat::Speex:
        while (size_t n = data.empty() ? 0 : speexFrameBytes(data)) {
            session.send(data.first(n));
            data = data.subspan(n);
        }
        return;
    default: break;
    }
    while (!data.empty()) {
        size_t n = std::min(packet, data.size());
        session.send(data.first(n));
        data = data.subspan(n);
    }
}

int64_t toOutputFrames(int64_t sourceSamples, int sourceRate)
{
    return sourceRate > 0 ? sourceSamples * kOutputRate / sourceRate : 0;
}

void dropLeading(Pcm& pcm, int64_t frames)
{
    frames = std::clamp<int64_t>(frames, 0, static_cast<int64_t>(pcm.frames()));
    pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + frames * 2);
}

} // namespace

Pcm decodeSound(const SoundDef& sound, size_t maxBytes)
{
    Session session(sound.encoding, maxBytes);
    sendAll(session, sound.encoding, sound.data);
    session.finish();
    Pcm pcm = session.take();
    if (pcm.samples.empty())
        throw DecodeError("its " + soundFormatName(sound.encoding.format) + " data gave no samples");
    if (sound.encoding.format == SoundFormat::Mp3 && sound.seekSamples > 0)
        dropLeading(pcm, toOutputFrames(sound.seekSamples, session.sourceRate()));
    // 5.5 kHz is really 5512.5 Hz.
    double statedRate = sound.encoding.rateCode == 0 && sound.encoding.format != SoundFormat::Speex &&
                                sound.encoding.format != SoundFormat::Nelly8k && sound.encoding.format != SoundFormat::Nelly16k
                            ? 5512.5
                            : sound.encoding.sampleRate();
    pcm.declaredMs = statedRate > 0 ? sound.sampleCount * 1000.0 / statedRate : 0;
    return pcm;
}

void StreamBuilder::addBlock(int frame, const SoundStreamBlockDef& block)
{
    blocks_.push_back({frame, block});
}

StreamPcm StreamBuilder::decode(int frameCount, size_t maxBytes) const
{
    StreamPcm stream;
    stream.frameStart.assign(static_cast<size_t>(std::max(frameCount, 0)), -1);
    Session session(head_.stream, maxBytes);
    // Where each block starts in source samples: what came before it, plus (MP3) the
    // samples of its first frame that belong to the frame before.
    // MP3 frames wait in the parser until the next one begins, so MP3 blocks are
    // placed by the sample counts they declare.
    std::vector<std::pair<int, int64_t>> starts;
    int64_t declared = 0;
    for (const Block& block : blocks_) {
        int64_t start = session.sourceSamples();
        if (head_.stream.format == SoundFormat::Mp3) {
            start = declared + block.def.seekSamples;
            declared += block.def.sampleCount;
        }
        starts.emplace_back(block.frame, start);
        if (head_.stream.format == SoundFormat::Adpcm)
            session.send(block.def.data);  // each block starts its own bit stream
        else
            sendAll(session, head_.stream, block.def.data);
    }
    session.finish();
    stream.pcm = session.take();
    if (stream.pcm.samples.empty())
        throw DecodeError("its " + soundFormatName(head_.stream.format) + " data gave no samples");
    int64_t latency = head_.stream.format == SoundFormat::Mp3 ? std::max(head_.latencySeek, 0) : 0;
    int64_t skip = toOutputFrames(latency, session.sourceRate());
    dropLeading(stream.pcm, skip);
    for (auto [frame, start] : starts) {
        if (frame < 1 || frame > frameCount || stream.frameStart[static_cast<size_t>(frame - 1)] >= 0)
            continue;
        int64_t at = toOutputFrames(start, session.sourceRate()) - skip;
        stream.frameStart[static_cast<size_t>(frame - 1)] =
            std::clamp<int64_t>(at, 0, static_cast<int64_t>(stream.pcm.frames()));
    }
    return stream;
}

} // namespace swf::audio
