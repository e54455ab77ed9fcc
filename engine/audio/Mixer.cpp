#include "engine/audio/Mixer.h"

#include <algorithm>
#include <cmath>

namespace swf::audio {

namespace {

constexpr float kFullLevel = 32768.0f;

// The envelope's gains at `position` (44.1 kHz frames since the start): flat before
// the first point and after the last, straight lines between.
std::pair<float, float> envelopeAt(const std::vector<SoundEnvelopePoint>& points, size_t& index, int64_t position)
{
    while (index + 1 < points.size() && points[index + 1].position44 <= position)
        ++index;
    const SoundEnvelopePoint& a = points[index];
    if (position <= a.position44 || index + 1 >= points.size())
        return {a.left / kFullLevel, a.right / kFullLevel};
    const SoundEnvelopePoint& b = points[index + 1];
    float t = static_cast<float>(position - a.position44) / static_cast<float>(b.position44 - a.position44);
    return {(a.left + (b.left - a.left) * t) / kFullLevel, (a.right + (b.right - a.right) * t) / kFullLevel};
}

} // namespace

Mixer::VoiceId Mixer::startSound(uint32_t soundId, std::shared_ptr<const Pcm> pcm, const SoundInfo& info,
                                 const void* owner)
{
    std::lock_guard lock(mutex_);
    if (info.syncStop) {
        std::erase_if(voices_, [&](const Voice& v) { return !v.stream && v.soundId == soundId; });
        return 0;
    }
    if (!pcm)
        return 0;
    if (info.syncNoMultiple &&
        std::ranges::any_of(voices_, [&](const Voice& v) { return !v.stream && v.soundId == soundId; }))
        return 0;
    Voice voice;
    voice.id = nextId_++;
    voice.soundId = soundId;
    voice.owner = owner;
    auto length = static_cast<int64_t>(pcm->frames());
    voice.begin = std::min<int64_t>(info.inPoint.value_or(0), length);
    voice.end = info.outPoint ? std::clamp<int64_t>(*info.outPoint, voice.begin, length) : length;
    if (voice.end <= voice.begin)
        return 0;
    voice.cursor = voice.begin;
    voice.loopsLeft = std::max<int>(info.loopCount, 1);
    voice.envelope = info.envelope;
    voice.pcm = std::move(pcm);
    for (const auto& [who, gains] : ownerGains_) {
        if (who == owner)
            voice.gains = gains;
    }
    voices_.push_back(std::move(voice));
    return voices_.back().id;
}

void Mixer::stopSound(uint32_t soundId)
{
    std::lock_guard lock(mutex_);
    std::erase_if(voices_, [&](const Voice& v) { return !v.stream && v.soundId == soundId; });
}

void Mixer::stopSoundOf(uint32_t soundId, const void* owner)
{
    std::lock_guard lock(mutex_);
    std::erase_if(voices_, [&](const Voice& v) { return !v.stream && v.soundId == soundId && v.owner == owner; });
}

void Mixer::stopVoice(VoiceId voice)
{
    std::lock_guard lock(mutex_);
    std::erase_if(voices_, [&](const Voice& v) { return v.id == voice; });
}

void Mixer::stopOwner(const void* owner)
{
    std::lock_guard lock(mutex_);
    std::erase_if(voices_, [&](const Voice& v) { return !v.stream && v.owner == owner; });
}

bool Mixer::soundPlaying(uint32_t soundId) const
{
    std::lock_guard lock(mutex_);
    return std::ranges::any_of(voices_, [&](const Voice& v) { return !v.stream && v.soundId == soundId; });
}

bool Mixer::voicePlaying(VoiceId voice) const
{
    std::lock_guard lock(mutex_);
    return std::ranges::any_of(voices_, [&](const Voice& v) { return v.id == voice; });
}

int64_t Mixer::voicePosition(VoiceId voice) const
{
    std::lock_guard lock(mutex_);
    for (const Voice& v : voices_) {
        if (v.id == voice)
            return v.played;
    }
    return -1;
}

bool Mixer::takeFinished(VoiceId voice)
{
    std::lock_guard lock(mutex_);
    auto it = std::ranges::find(finished_, voice);
    if (it == finished_.end())
        return false;
    finished_.erase(it);
    return true;
}

void Mixer::setOwnerGains(const void* owner, const ChannelGains& gains)
{
    std::lock_guard lock(mutex_);
    auto it = std::ranges::find_if(ownerGains_, [&](const auto& entry) { return entry.first == owner; });
    if (it == ownerGains_.end())
        ownerGains_.emplace_back(owner, gains);
    else
        it->second = gains;
    for (Voice& v : voices_) {
        if (v.owner == owner && !v.stream)
            v.gains = gains;
    }
}

void Mixer::setMasterGains(const ChannelGains& gains)
{
    std::lock_guard lock(mutex_);
    masterGains_ = gains;
}

Mixer::VoiceId Mixer::startLoaded(uint32_t soundId, std::shared_ptr<const GrowingPcm> pcm, int64_t offset, int loops,
                                  const void* owner)
{
    std::lock_guard lock(mutex_);
    if (!pcm)
        return 0;
    Voice voice;
    voice.id = nextId_++;
    voice.soundId = soundId;
    voice.owner = owner;
    voice.begin = std::max<int64_t>(offset, 0);
    voice.cursor = voice.begin;
    voice.loopsLeft = std::max(loops, 1);
    voice.loaded = std::move(pcm);
    for (const auto& [who, gains] : ownerGains_) {
        if (who == owner)
            voice.gains = gains;
    }
    voices_.push_back(std::move(voice));
    return voices_.back().id;
}

void Mixer::stopAll()
{
    std::lock_guard lock(mutex_);
    voices_.clear();
}

Mixer::Voice* Mixer::findStream(const void* clip)
{
    for (Voice& v : voices_) {
        if (v.stream && v.clip == clip)
            return &v;
    }
    return nullptr;
}

void Mixer::streamFrame(const void* clip, std::shared_ptr<const StreamPcm> stream, int frame)
{
    if (!stream || frame < 1)
        return;
    std::lock_guard lock(mutex_);
    Voice* voice = findStream(clip);
    if (voice && voice->stream == stream && frame == voice->lastFrame + 1) {
        voice->lastFrame = frame;
        voice->refreshed = true;
        return;
    }
    if (voice)
        std::erase_if(voices_, [&](const Voice& v) { return v.stream && v.clip == clip; });
    auto index = static_cast<size_t>(frame - 1);
    if (index >= stream->frameStart.size() || stream->frameStart[index] < 0)
        return;  // a frame without a block: silence until one comes
    Voice fresh;
    fresh.id = nextId_++;
    fresh.clip = clip;
    fresh.lastFrame = frame;
    fresh.begin = 0;
    fresh.end = static_cast<int64_t>(stream->pcm.frames());
    fresh.cursor = stream->frameStart[index];
    fresh.stream = std::move(stream);
    if (fresh.cursor < fresh.end)
        voices_.push_back(std::move(fresh));
}

bool Mixer::hasStreams() const
{
    std::lock_guard lock(mutex_);
    return std::ranges::any_of(voices_, [](const Voice& v) { return v.stream != nullptr; });
}

void Mixer::endStep(std::span<const void* const> live)
{
    std::lock_guard lock(mutex_);
    std::erase_if(voices_, [&](const Voice& v) {
        return v.stream && (!v.refreshed || std::ranges::find(live, v.clip) == live.end());
    });
    for (Voice& v : voices_)
        v.refreshed = false;
}

int64_t Mixer::streamPosition(const void* clip) const
{
    std::lock_guard lock(mutex_);
    for (const Voice& v : voices_) {
        if (v.stream && v.clip == clip)
            return v.cursor;
    }
    return -1;
}

void Mixer::setPaused(bool paused)
{
    std::lock_guard lock(mutex_);
    paused_ = paused;
}

bool Mixer::paused() const
{
    std::lock_guard lock(mutex_);
    return paused_;
}

size_t Mixer::voiceCount() const
{
    std::lock_guard lock(mutex_);
    return voices_.size();
}

void Mixer::mixLoaded(Voice& voice, float* acc, size_t frames)
{
    const ChannelGains g = voice.gains;
    size_t done = 0;
    while (done < frames && voice.loopsLeft > 0) {
        // The length is read once per pass: decoding may add to it meanwhile.
        bool finished = voice.loaded->finished();
        auto available = static_cast<int64_t>(voice.loaded->frames());
        if (voice.cursor >= available) {
            if (!finished)
                return;  // caught up with the decoding: wait for more
            if (available <= voice.begin) {
                voice.loopsLeft = 0;
                return;
            }
            --voice.loopsLeft;
            voice.cursor = voice.begin;
            continue;
        }
        auto run = static_cast<size_t>(std::min<int64_t>(available - voice.cursor, static_cast<int64_t>(frames - done)));
        fetch_.resize(run * 2);
        run = voice.loaded->read(static_cast<size_t>(voice.cursor), fetch_);
        float* dst = acc + done * 2;
        for (size_t i = 0; i < run; ++i) {
            float l = fetch_[2 * i];
            float r = fetch_[2 * i + 1];
            dst[2 * i] += l * g.leftToLeft + r * g.rightToLeft;
            dst[2 * i + 1] += r * g.rightToRight + l * g.leftToRight;
        }
        done += run;
        voice.cursor += static_cast<int64_t>(run);
        voice.played += static_cast<int64_t>(run);
    }
}

void Mixer::mixVoice(Voice& voice, float* acc, size_t frames)
{
    if (voice.loaded) {
        mixLoaded(voice, acc, frames);
        return;
    }
    const int16_t* samples = voice.stream ? voice.stream->pcm.samples.data() : voice.pcm->samples.data();
    const ChannelGains g = voice.gains;
    size_t done = 0;
    while (done < frames && voice.loopsLeft > 0) {
        auto run = static_cast<size_t>(std::min<int64_t>(voice.end - voice.cursor, static_cast<int64_t>(frames - done)));
        const int16_t* src = samples + voice.cursor * 2;
        float* dst = acc + done * 2;
        for (size_t i = 0; i < run; ++i) {
            float l = src[2 * i];
            float r = src[2 * i + 1];
            if (!voice.envelope.empty()) {
                auto [el, er] = envelopeAt(voice.envelope, voice.envelopeIndex, voice.played + static_cast<int64_t>(i));
                l *= el;
                r *= er;
            }
            dst[2 * i] += l * g.leftToLeft + r * g.rightToLeft;
            dst[2 * i + 1] += r * g.rightToRight + l * g.leftToRight;
        }
        done += run;
        voice.cursor += static_cast<int64_t>(run);
        voice.played += static_cast<int64_t>(run);
        if (voice.cursor >= voice.end) {
            if (voice.stream) {
                voice.loopsLeft = 0;  // a stream plays once and stays at its end
            } else {
                --voice.loopsLeft;
                voice.cursor = voice.begin;
            }
        }
    }
}

void Mixer::mix(std::span<int16_t> out)
{
    std::lock_guard lock(mutex_);
    size_t frames = out.size() / 2;
    if (paused_ || voices_.empty()) {
        std::ranges::fill(out, int16_t{0});
        return;
    }
    scratch_.assign(frames * 2, 0.0f);
    for (Voice& voice : voices_)
        mixVoice(voice, scratch_.data(), frames);
    // Finished event voices leave; streams stay (silent) until their timeline stops
    // or jumps, so that a timeline running on past its stream's end restarts nothing.
    for (const Voice& v : voices_) {
        if (v.loopsLeft <= 0 && !v.stream)
            finished_.push_back(v.id);
    }
    constexpr size_t kFinishedKept = 1024;
    if (finished_.size() > kFinishedKept)
        finished_.erase(finished_.begin(), finished_.end() - kFinishedKept);
    std::erase_if(voices_, [](const Voice& v) { return v.loopsLeft <= 0 && !v.stream; });
    if (masterGains_ != ChannelGains{}) {
        const ChannelGains g = masterGains_;
        for (size_t i = 0; i < frames; ++i) {
            float l = scratch_[2 * i];
            float r = scratch_[2 * i + 1];
            scratch_[2 * i] = l * g.leftToLeft + r * g.rightToLeft;
            scratch_[2 * i + 1] = r * g.rightToRight + l * g.leftToRight;
        }
    }
    for (size_t i = 0; i < frames * 2; ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::lrint(scratch_[i]), -32768L, 32767L));
    if (out.size() % 2)
        out.back() = 0;
}

} // namespace swf::audio
