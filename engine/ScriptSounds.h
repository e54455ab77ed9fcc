#pragma once

// The Sound class's way to the mixer: exported sounds by linkage, local MP3 files that
// scripts load (decoded a piece each frame, playable while they decode), and voices
// grouped by the scope each Sound object speaks for.

#include "engine/audio/LoadedSound.h"
#include "engine/audio/Mixer.h"
#include "engine/avm1/SoundHost.h"
#include "engine/data/LocalFiles.h"
#include "engine/movie/MovieDef.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf {

class ScriptSounds final : public avm1::SoundHost {
public:
    // Scripts' loaded sounds take ids past the 16-bit range of the movie's own.
    static constexpr int kFirstLoadedId = 0x10000;
    // What all the files a movie's scripts load may take together: the files as read,
    // and their decoded sound. Past it a load fails, or a sound ends where it is.
    static constexpr size_t kMaxLoadedFileBytes = size_t{64} << 20;
    static constexpr size_t kMaxLoadedPcmBytes = size_t{256} << 20;
    // Decoded each frame for each loading sound: always more than a frame plays.
    static constexpr size_t kFramesPerStep = 2 * audio::kOutputRate;

    // `movieFile` is where the movie was loaded from (empty for bytes from elsewhere,
    // which may load no files); `notice` hears of loads that were refused.
    ScriptSounds(const movie::MovieDef& movie, audio::Mixer& mixer, const std::filesystem::path& movieFile,
                 std::function<void(const std::string&)> notice);

    int soundByLinkage(const std::string& linkage) override;
    int loadSound(const std::string& url) override;
    avm1::SoundLoadStatus loadStatus(int sound) override;
    std::vector<std::pair<std::string, std::string>> tags(int sound) override;
    void continueLoading(int sound) override;
    uint64_t startSound(int sound, double offsetSeconds, int loops, uint64_t scope) override;
    void stopSound(int sound, uint64_t scope) override;
    void stopScope(uint64_t scope) override;
    void stopAllSounds() override;
    void setScopeGains(uint64_t scope, const avm1::SoundGains& gains) override;
    double durationMs(int sound) override;
    double positionMs(uint64_t voice) override;
    bool completed(uint64_t voice) override;

    // The mixer groups voices by an owner address; a scope's number stands in for one.
    // A stream's sound routed to a clip (attachAudio) is grouped under the same one.
    static const void* ownerOf(uint64_t scope);

private:
    struct Loaded {
        std::unique_ptr<audio::SoundFileDecoder> decoder;  // null once it failed
    };
    struct VoiceStart {
        int sound = 0;
        int64_t offset = 0;  // output frames into the sound where it started
    };

    const Loaded* loaded(int sound) const;
    Loaded* loaded(int sound);

    const movie::MovieDef& movie_;
    audio::Mixer& mixer_;
    std::optional<data::LocalSandbox> sandbox_;
    std::function<void(const std::string&)> notice_;
    std::vector<Loaded> loaded_;
    size_t fileBytes_ = 0;
    std::unordered_map<uint64_t, VoiceStart> voices_;
};

} // namespace swf
