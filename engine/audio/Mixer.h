#pragma once

// The mixer: every sound that plays (event sounds, timeline streams, script sounds)
// summed into 44.1 kHz 16-bit stereo. The movie side starts and stops voices from its
// thread while the output side pulls samples from its own, so every call locks.

#include "engine/audio/Decoder.h"
#include "engine/audio/LoadedSound.h"
#include "engine/audio/Pcm.h"
#include "engine/format/Sound.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace swf::audio {

// Volume and pan as scripts set them: how much of each source channel reaches each
// output channel (1.0 is full).
struct ChannelGains {
    float leftToLeft = 1.0f;
    float leftToRight = 0.0f;
    float rightToRight = 1.0f;
    float rightToLeft = 0.0f;

    friend bool operator==(const ChannelGains&, const ChannelGains&) = default;
};

class Mixer {
public:
    using VoiceId = uint64_t;

    // Starts an event sound with its sound-info: a sync-stop stops every voice of
    // `soundId` and starts nothing; no-multiple starts nothing while one plays.
    // Returns the voice, or 0 when nothing started. `owner` groups voices (a clip's
    // sound scope) so they can be stopped or set together.
    VoiceId startSound(uint32_t soundId, std::shared_ptr<const Pcm> pcm, const SoundInfo& info,
                       const void* owner = nullptr);
    void stopSound(uint32_t soundId);
    // Stops only the voices of `soundId` that `owner` started.
    void stopSoundOf(uint32_t soundId, const void* owner);
    void stopVoice(VoiceId voice);
    void stopOwner(const void* owner);
    bool soundPlaying(uint32_t soundId) const;
    bool voicePlaying(VoiceId voice) const;
    // Output frames a voice has played since it started (loops included).
    int64_t voicePosition(VoiceId voice) const;
    // Whether `voice` played to its end (rather than being stopped); asking forgets it.
    bool takeFinished(VoiceId voice);
    void setOwnerGains(const void* owner, const ChannelGains& gains);
    // Gains on the whole mix (a script's global sound settings), streams included.
    void setMasterGains(const ChannelGains& gains);
    // Starts a sound a script loads, which may still be decoding: `offset` frames in,
    // `loops` times. Where the voice catches up with the decoding it waits, silent,
    // for more; it ends once the sound is finished and played out.
    VoiceId startLoaded(uint32_t soundId, std::shared_ptr<const GrowingPcm> pcm, int64_t offset, int loops,
                        const void* owner = nullptr);
    // Every voice, streams included.
    void stopAll();

    // A timeline with a stream entered `frame`. The stream goes on when the frame
    // follows the one before; otherwise (a jump, or a first frame) it starts again
    // where that frame's block begins.
    void streamFrame(const void* clip, std::shared_ptr<const StreamPcm> stream, int frame);
    // Ends a movie step: streams whose timelines entered no frame since the last call
    // (stopped) stop, and so do those whose timeline is not among `live` (removed).
    void endStep(std::span<const void* const> live);
    bool hasStreams() const;
    // Output frames played of the stream of `clip`, counted from its frame 1; -1 when
    // it has no stream playing.
    int64_t streamPosition(const void* clip) const;

    // While paused the mix is silence and no voice moves on.
    void setPaused(bool paused);
    bool paused() const;
    size_t voiceCount() const;

    // Mixes the next `out.size() / 2` stereo frames into `out` (overwriting it).
    void mix(std::span<int16_t> out);

private:
    struct Voice {
        VoiceId id = 0;
        uint32_t soundId = 0;
        const void* owner = nullptr;
        std::shared_ptr<const Pcm> pcm;
        std::shared_ptr<const StreamPcm> stream;  // set for streams
        std::shared_ptr<const GrowingPcm> loaded;  // set for sounds scripts load
        const void* clip = nullptr;               // the stream's timeline
        int lastFrame = 0;
        bool refreshed = true;
        int64_t begin = 0;  // play region [begin, end) of pcm, in frames
        int64_t end = 0;
        int64_t cursor = 0;  // next frame of pcm to play
        int loopsLeft = 1;
        int64_t played = 0;  // frames played since the start
        std::vector<SoundEnvelopePoint> envelope;
        size_t envelopeIndex = 0;
        ChannelGains gains;
    };

    void mixVoice(Voice& voice, float* acc, size_t frames);
    void mixLoaded(Voice& voice, float* acc, size_t frames);
    Voice* findStream(const void* clip);

    mutable std::mutex mutex_;
    std::vector<Voice> voices_;
    std::vector<float> scratch_;
    std::vector<VoiceId> finished_;  // the most recent voices that played out
    std::vector<std::pair<const void*, ChannelGains>> ownerGains_;
    ChannelGains masterGains_;
    std::vector<int16_t> fetch_;  // samples of a loaded sound being mixed
    VoiceId nextId_ = 1;
    bool paused_ = false;
};

} // namespace swf::audio
