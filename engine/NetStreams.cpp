#include "engine/NetStreams.h"

#include "engine/ScriptSounds.h"
#include "engine/format/Sound.h"
#include "engine/video/FlvMedia.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

class OpenedFlv final : public avm1::OpenedStream {
public:
    OpenedFlv(video::FlvMedia media, std::shared_ptr<audio::Mixer> mixer, uint32_t soundId)
        : media_(std::move(media)), mixer_(std::move(mixer)), soundId_(soundId)
    {
        for (const video::FlvScriptTag& tag : media_.scripts)
            tags_.push_back({tag.time, tag.name, tag.argument});
        if (media_.frameTimes.size() >= 2) {
            const double span = media_.frameTimes.back() - media_.frameTimes.front();
            if (span > 0)
                frameRate_ = static_cast<double>(media_.frameTimes.size() - 1) / span;
        }
    }
    ~OpenedFlv() override { stopSound(); }
    OpenedFlv(const OpenedFlv&) = delete;
    OpenedFlv& operator=(const OpenedFlv&) = delete;

    double duration() const override { return media_.duration; }
    size_t bytesTotal() const override { return media_.bytes; }
    double frameRate() const override { return frameRate_; }
    double keyFrameAtOrBefore(double seconds) const override { return media_.keyFrameAtOrBefore(seconds); }
    const std::vector<avm1::StreamScriptTag>& scriptTags() const override { return tags_; }
    std::shared_ptr<const EmbeddedVideo> video() const override { return media_.video; }
    // Before its first picture's time (files whose video starts a little after the
    // sound) the stream shows that first picture.
    int pictureAt(double seconds) const override
    {
        const int index = media_.pictureAt(seconds);
        return index < 0 && !media_.frameTimes.empty() ? 0 : index;
    }

    void startSound(double seconds) override
    {
        stopSound();
        if (!media_.audio)
            return;
        const double into = std::max(0.0, seconds - media_.audioStart);
        const double frames = into * audio::kOutputRate;
        if (!std::isfinite(frames) || frames >= static_cast<double>(media_.audio->frames()))
            return;
        SoundInfo info;
        info.inPoint = static_cast<uint32_t>(frames);
        inPoint_ = static_cast<int64_t>(frames);
        voice_ = mixer_->startSound(soundId_, media_.audio, info, owner());
    }

    void setSoundScope(uint64_t scope) override
    {
        if (scope == scope_)
            return;
        scope_ = scope;
        if (!voice_ || !mixer_->voicePlaying(voice_))
            return;
        // The sound goes on from where it is, in its new group.
        const int64_t at = inPoint_ + mixer_->voicePosition(voice_);
        mixer_->stopVoice(voice_);
        voice_ = 0;
        if (at < 0 || at >= static_cast<int64_t>(media_.audio->frames()))
            return;
        SoundInfo info;
        info.inPoint = static_cast<uint32_t>(at);
        inPoint_ = at;
        voice_ = mixer_->startSound(soundId_, media_.audio, info, owner());
    }

    void stopSound() override
    {
        if (voice_)
            mixer_->stopVoice(voice_);
        voice_ = 0;
    }

private:
    video::FlvMedia media_;
    // Shared: a stream may outlive the player's own hold on the mixer while a movie
    // is torn down.
    std::shared_ptr<audio::Mixer> mixer_;
    uint32_t soundId_;
    audio::Mixer::VoiceId voice_ = 0;
    int64_t inPoint_ = 0;  // output frames into the sound where the voice started
    uint64_t scope_ = 0;   // a clip's sound scope, 0: the stream's own

    const void* owner() const { return scope_ != 0 ? ScriptSounds::ownerOf(scope_) : this; }
    std::vector<avm1::StreamScriptTag> tags_;
    double frameRate_ = 0;
};

} // namespace

NetStreams::NetStreams(std::shared_ptr<audio::Mixer> mixer, const std::filesystem::path& movieFile,
                       std::function<void(const std::string&)> notice)
    : mixer_(std::move(mixer)), notice_(std::move(notice))
{
    if (!movieFile.empty())
        sandbox_.emplace(movieFile);
}

void NetStreams::report(const std::string& text)
{
    if (reported_.insert(text).second && notice_)
        notice_(text);
}

std::unique_ptr<avm1::OpenedStream> NetStreams::openStream(const std::string& url)
{
    if (!sandbox_) {
        report("NetStream cannot play \"" + url + "\": this movie did not come from a file, so it may read none");
        return nullptr;
    }
    const data::LocalAccess access = sandbox_->resolve(url);
    if (!access.allowed) {
        report("NetStream cannot play \"" + url + "\": " + access.refusal);
        return nullptr;
    }
    const auto bytes = data::readLocalFile(access.path, kMaxFileBytes);
    if (!bytes) {
        report("NetStream cannot read \"" + url + "\" (missing, unreadable or larger than " +
               std::to_string(kMaxFileBytes >> 20) + " MiB)");
        return nullptr;
    }
    try {
        video::FlvMedia media = video::readFlv(*bytes);
        for (const std::string& problem : media.problems)
            report("NetStream \"" + url + "\": " + problem);
        return std::make_unique<OpenedFlv>(std::move(media), mixer_, nextSoundId_++);
    } catch (const video::FlvError& error) {
        report("NetStream cannot play \"" + url + "\": " + error.message);
        return nullptr;
    }
}

} // namespace swf
