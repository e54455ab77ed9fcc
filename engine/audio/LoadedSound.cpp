#include "engine/audio/LoadedSound.h"

#include "engine/audio/Pcm.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cctype>
#include <cstring>

namespace swf::audio {

void GrowingPcm::append(std::span<const int16_t> samples)
{
    std::lock_guard lock(mutex_);
    size_t frames = samples.size() / 2;
    size_t done = 0;
    while (done < frames) {
        if (chunks_.empty() || chunks_.back().size() >= kChunkFrames * 2) {
            chunks_.emplace_back();
            // The full size at once: a chunk never reallocates while it is read.
            chunks_.back().reserve(kChunkFrames * 2);
        }
        std::vector<int16_t>& chunk = chunks_.back();
        size_t take = std::min(frames - done, kChunkFrames - chunk.size() / 2);
        chunk.insert(chunk.end(), samples.begin() + static_cast<std::ptrdiff_t>(done * 2),
                     samples.begin() + static_cast<std::ptrdiff_t>((done + take) * 2));
        done += take;
    }
    frames_ += frames;
}

void GrowingPcm::finish()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
}

size_t GrowingPcm::frames() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

bool GrowingPcm::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

size_t GrowingPcm::read(size_t from, std::span<int16_t> out) const
{
    std::lock_guard lock(mutex_);
    size_t wanted = out.size() / 2;
    size_t copied = 0;
    while (copied < wanted && from + copied < frames_) {
        size_t at = from + copied;
        const std::vector<int16_t>& chunk = chunks_[at / kChunkFrames];
        size_t offset = at % kChunkFrames;
        size_t run = std::min(wanted - copied, chunk.size() / 2 - offset);
        std::memcpy(out.data() + copied * 2, chunk.data() + offset * 2, run * 2 * sizeof(int16_t));
        copied += run;
    }
    return copied;
}

namespace {

constexpr int kIoBufferBytes = 4096;

// The frame names scripts see for the keys libavformat gives ID3 frames it knows;
// frames it does not know keep their own four-letter names.
constexpr std::pair<const char*, const char*> kFrameNames[] = {
    {"title", "TIT2"},       {"artist", "TPE1"},   {"album", "TALB"},      {"date", "TYER"},
    {"comment", "COMM"},     {"genre", "TCON"},    {"track", "TRCK"},      {"composer", "TCOM"},
    {"copyright", "TCOP"},   {"encoded_by", "TENC"}, {"language", "TLAN"}, {"album_artist", "TPE2"},
    {"performer", "TPE3"},   {"disc", "TPOS"},     {"publisher", "TPUB"},  {"encoder", "TSSE"},
};

std::string frameNameFor(const char* key)
{
    for (const auto& [generic, frame] : kFrameNames) {
        if (std::strcmp(key, generic) == 0)
            return frame;
    }
    if (std::strlen(key) == 4 && std::all_of(key, key + 4, [](char c) {
            return std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c));
        }))
        return key;
    return {};
}

} // namespace

struct SoundFileDecoder::State {
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    int swrRate = 0;
    int swrFormat = -1;
    int swrChannels = 0;
    std::vector<int16_t> out;

    ~State()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&swr);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    static int readPacket(void* opaque, uint8_t* buffer, int size)
    {
        auto* self = static_cast<SoundFileDecoder*>(opaque);
        size_t left = self->file_.size() - std::min(self->position_, self->file_.size());
        if (left == 0)
            return AVERROR_EOF;
        size_t n = std::min(left, static_cast<size_t>(std::max(size, 0)));
        std::memcpy(buffer, self->file_.data() + self->position_, n);
        self->position_ += n;
        return static_cast<int>(n);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<SoundFileDecoder*>(opaque);
        auto size = static_cast<int64_t>(self->file_.size());
        if (whence & AVSEEK_SIZE)
            return size;
        int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<int64_t>(self->position_); break;
        case SEEK_END: base = size; break;
        default: return -1;
        }
        int64_t to = base + offset;
        if (to < 0 || to > size)
            return -1;
        self->position_ = static_cast<size_t>(to);
        return to;
    }
};

SoundFileDecoder::SoundFileDecoder(std::vector<uint8_t> file, size_t maxBytes)
    : file_(std::move(file)), maxBytes_(maxBytes), state_(std::make_unique<State>())
{
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    State& s = *state_;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        throw DecodeError("out of memory for a sound file");
    s.io = avio_alloc_context(buffer, kIoBufferBytes, 0, this, &State::readPacket, nullptr, &State::seek);
    if (!s.io) {
        av_free(buffer);
        throw DecodeError("out of memory for a sound file");
    }
    s.format = avformat_alloc_context();
    if (!s.format)
        throw DecodeError("out of memory for a sound file");
    s.format->pb = s.io;
    s.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Scripts load MP3 files; the format is not guessed from anything else.
    const AVInputFormat* mp3 = av_find_input_format("mp3");
    if (avformat_open_input(&s.format, nullptr, mp3, nullptr) < 0) {
        s.format = nullptr;  // freed by the failed open
        throw DecodeError("not an MP3 file");
    }
    if (avformat_find_stream_info(s.format, nullptr) < 0)
        throw DecodeError("no sound found in the file");
    s.stream = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (s.stream < 0)
        throw DecodeError("no sound found in the file");
    const AVCodecParameters* parameters = s.format->streams[s.stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec)
        throw DecodeError("no decoder for the file's sound");
    s.codec = avcodec_alloc_context3(codec);
    s.packet = av_packet_alloc();
    s.frame = av_frame_alloc();
    if (!s.codec || !s.packet || !s.frame || avcodec_parameters_to_context(s.codec, parameters) < 0 ||
        avcodec_open2(s.codec, codec, nullptr) < 0)
        throw DecodeError("cannot open the file's sound decoder");

    // Tags: the container's (ID3v2 at the front, ID3v1 at the end) and the stream's.
    for (const AVDictionary* dictionary : {static_cast<const AVDictionary*>(s.format->metadata),
                                           static_cast<const AVDictionary*>(s.format->streams[s.stream]->metadata)}) {
        const AVDictionaryEntry* entry = nullptr;
        while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX))) {
            std::string frame = frameNameFor(entry->key);
            if (frame.empty() || std::ranges::any_of(tags_, [&](const SoundTag& t) { return t.frame == frame; }))
                continue;
            tags_.push_back({std::move(frame), entry->value});
        }
    }
}

SoundFileDecoder::~SoundFileDecoder() = default;

size_t SoundFileDecoder::bytesRead() const
{
    if (done_)
        return file_.size();
    return state_->io ? std::min(static_cast<size_t>(std::max<int64_t>(avio_tell(state_->io), 0)), file_.size()) : 0;
}

void SoundFileDecoder::stop()
{
    done_ = true;
    pcm_->finish();
}

bool SoundFileDecoder::decodeSome(size_t frames)
{
    if (done_)
        return false;
    State& s = *state_;
    size_t target = pcm_->frames() + frames;
    auto accept = [&](const AVFrame& f) {
        int channels = f.ch_layout.nb_channels;
        if (channels < 1 || channels > 2 || f.sample_rate <= 0 || f.nb_samples <= 0)
            return;
        if (!s.swr || f.sample_rate != s.swrRate || f.format != s.swrFormat || channels != s.swrChannels) {
            // The first frame, or one whose rate or layout changed: a resampler for it.
            swr_free(&s.swr);
            AVChannelLayout in;
            av_channel_layout_default(&in, channels);
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            if (swr_alloc_set_opts2(&s.swr, &stereo, AV_SAMPLE_FMT_S16, kOutputRate, &in,
                                    static_cast<AVSampleFormat>(f.format), f.sample_rate, 0, nullptr) < 0 ||
                swr_init(s.swr) < 0) {
                swr_free(&s.swr);
                return;
            }
            s.swrRate = f.sample_rate;
            s.swrFormat = f.format;
            s.swrChannels = channels;
        }
        int room = swr_get_out_samples(s.swr, f.nb_samples);
        if (room <= 0)
            return;
        s.out.resize(static_cast<size_t>(room) * 2);
        auto* dest = reinterpret_cast<uint8_t*>(s.out.data());
        int made = swr_convert(s.swr, &dest, room, const_cast<const uint8_t**>(f.extended_data), f.nb_samples);
        if (made <= 0)
            return;
        size_t bytes = static_cast<size_t>(made) * 2 * sizeof(int16_t);
        if (decodedBytes_ + bytes > maxBytes_) {
            // Past the budget the sound simply ends.
            done_ = true;
            return;
        }
        decodedBytes_ += bytes;
        pcm_->append(std::span<const int16_t>(s.out.data(), static_cast<size_t>(made) * 2));
    };
    auto receive = [&] {
        while (!done_ && avcodec_receive_frame(s.codec, s.frame) >= 0) {
            accept(*s.frame);
            av_frame_unref(s.frame);
        }
    };
    while (!done_ && pcm_->frames() < target) {
        int read = av_read_frame(s.format, s.packet);
        if (read < 0) {
            // The end of the file (or damage past which nothing can be read).
            avcodec_send_packet(s.codec, nullptr);
            receive();
            done_ = true;
            break;
        }
        if (s.packet->stream_index == s.stream && avcodec_send_packet(s.codec, s.packet) >= 0)
            receive();
        av_packet_unref(s.packet);
    }
    if (done_)
        pcm_->finish();
    return !done_;
}

} // namespace swf::audio
