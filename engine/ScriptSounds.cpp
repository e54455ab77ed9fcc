#include "engine/ScriptSounds.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

namespace swf {

ScriptSounds::ScriptSounds(const movie::MovieDef& movie, audio::Mixer& mixer, const std::filesystem::path& movieFile,
                           std::function<void(const std::string&)> notice)
    : movie_(movie), mixer_(mixer), notice_(std::move(notice))
{
    if (!movieFile.empty())
        sandbox_.emplace(movieFile);
    // A new movie starts at full volume.
    mixer_.setMasterGains({});
}

int ScriptSounds::soundByLinkage(const std::string& linkage)
{
    for (const auto& [name, id] : movie_.exports) {
        // Linkage names match without regard to case, as attachMovie's do.
        if (name.size() == linkage.size() &&
            std::equal(name.begin(), name.end(), linkage.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }) &&
            movie_.sounds.count(id))
            return id;
    }
    return 0;
}

int ScriptSounds::loadSound(const std::string& url)
{
    // Only files in the movie's own folder tree, as every load a script makes.
    const data::LocalAccess access = sandbox_ ? sandbox_->resolve(url) : data::LocalAccess{};
    if (!access.allowed) {
        if (notice_)
            notice_("loadSound(\"" + url + "\") was refused: " +
                    (access.refusal.empty() ? std::string("the movie was not opened from a file") : access.refusal));
        return 0;
    }
    if (fileBytes_ >= kMaxLoadedFileBytes) {
        if (notice_)
            notice_("loadSound(\"" + url + "\") was not loaded: the movie's loaded sounds take " +
                    std::to_string(kMaxLoadedFileBytes >> 20) + " MiB already");
        return 0;
    }
    auto bytes = data::readLocalFile(access.path, kMaxLoadedFileBytes - fileBytes_);
    if (!bytes)
        return 0;
    fileBytes_ += bytes->size();
    Loaded entry;
    try {
        entry.decoder = std::make_unique<audio::SoundFileDecoder>(std::move(*bytes), kMaxLoadedPcmBytes);
    } catch (const audio::DecodeError&) {
        return 0;
    }
    loaded_.push_back(std::move(entry));
    return kFirstLoadedId + static_cast<int>(loaded_.size() - 1);
}

ScriptSounds::Loaded* ScriptSounds::loaded(int sound)
{
    return const_cast<Loaded*>(std::as_const(*this).loaded(sound));
}

const ScriptSounds::Loaded* ScriptSounds::loaded(int sound) const
{
    if (sound < kFirstLoadedId)
        return nullptr;
    auto index = static_cast<size_t>(sound - kFirstLoadedId);
    return index < loaded_.size() ? &loaded_[index] : nullptr;
}

avm1::SoundLoadStatus ScriptSounds::loadStatus(int sound)
{
    avm1::SoundLoadStatus status;
    const Loaded* entry = loaded(sound);
    if (!entry || !entry->decoder)
        return status;
    const audio::SoundFileDecoder& decoder = *entry->decoder;
    status.bytesTotal = decoder.bytesTotal();
    status.bytesLoaded = decoder.bytesRead();
    if (!decoder.done()) {
        status.state = avm1::SoundLoadStatus::State::Loading;
        return status;
    }
    // A file that gave no sound at all did not load.
    status.state = decoder.pcm()->frames() > 0 ? avm1::SoundLoadStatus::State::Loaded
                                               : avm1::SoundLoadStatus::State::Failed;
    return status;
}

std::vector<std::pair<std::string, std::string>> ScriptSounds::tags(int sound)
{
    std::vector<std::pair<std::string, std::string>> out;
    if (const Loaded* entry = loaded(sound); entry && entry->decoder) {
        for (const audio::SoundTag& tag : entry->decoder->tags())
            out.emplace_back(tag.frame, tag.value);
    }
    return out;
}

void ScriptSounds::continueLoading(int sound)
{
    Loaded* entry = loaded(sound);
    if (!entry || !entry->decoder || entry->decoder->done())
        return;
    size_t decodedBytes = 0;
    for (const Loaded& other : loaded_) {
        if (other.decoder)
            decodedBytes += other.decoder->pcm()->frames() * 2 * sizeof(int16_t);
    }
    if (decodedBytes >= kMaxLoadedPcmBytes) {
        entry->decoder->stop();
        return;
    }
    entry->decoder->decodeSome(kFramesPerStep);
}

const void* ScriptSounds::ownerOf(uint64_t scope)
{
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(scope));
}

uint64_t ScriptSounds::startSound(int sound, double offsetSeconds, int loops, uint64_t scope)
{
    auto offset = static_cast<int64_t>(std::clamp(offsetSeconds, 0.0, 1e6) * audio::kOutputRate);
    loops = std::clamp(loops, 1, 65535);
    uint64_t voice = 0;
    if (const Loaded* entry = loaded(sound)) {
        if (!entry->decoder)
            return 0;
        voice = mixer_.startLoaded(static_cast<uint32_t>(sound), entry->decoder->pcm(), offset, loops, ownerOf(scope));
    } else {
        auto it = movie_.sounds.find(static_cast<uint16_t>(sound));
        if (sound <= 0 || sound > 0xffff || it == movie_.sounds.end())
            return 0;
        SoundInfo info;
        info.inPoint = static_cast<uint32_t>(std::min<int64_t>(offset, UINT32_MAX));
        info.loopCount = static_cast<uint16_t>(loops);
        voice = mixer_.startSound(static_cast<uint32_t>(sound), it->second, info, ownerOf(scope));
    }
    if (voice != 0)
        voices_[voice] = {sound, offset};
    return voice;
}

void ScriptSounds::stopSound(int sound, uint64_t scope)
{
    if (scope != 0) {
        mixer_.stopSoundOf(static_cast<uint32_t>(sound), ownerOf(scope));
        return;
    }
    mixer_.stopSound(static_cast<uint32_t>(sound));
}

void ScriptSounds::stopScope(uint64_t scope)
{
    mixer_.stopOwner(ownerOf(scope));
}

void ScriptSounds::stopAllSounds()
{
    mixer_.stopAll();
}

void ScriptSounds::setScopeGains(uint64_t scope, const avm1::SoundGains& g)
{
    const audio::ChannelGains gains{static_cast<float>(g.leftToLeft), static_cast<float>(g.leftToRight),
                                    static_cast<float>(g.rightToRight), static_cast<float>(g.rightToLeft)};
    if (scope == 0)
        mixer_.setMasterGains(gains);
    else
        mixer_.setOwnerGains(ownerOf(scope), gains);
}

double ScriptSounds::durationMs(int sound)
{
    if (const Loaded* entry = loaded(sound))
        return entry->decoder ? entry->decoder->pcm()->frames() * 1000.0 / audio::kOutputRate : 0.0;
    auto it = movie_.sounds.find(static_cast<uint16_t>(sound));
    if (sound <= 0 || sound > 0xffff || it == movie_.sounds.end())
        return 0.0;
    const audio::Pcm& pcm = *it->second;
    return pcm.declaredMs > 0 ? pcm.declaredMs : pcm.frames() * 1000.0 / audio::kOutputRate;
}

double ScriptSounds::positionMs(uint64_t voice)
{
    int64_t played = mixer_.voicePosition(voice);
    auto it = voices_.find(voice);
    if (played < 0 || it == voices_.end())
        return -1.0;
    // Where in the sound the voice is: from its start offset on, back to it each loop.
    int64_t length = 0;
    if (const Loaded* entry = loaded(it->second.sound)) {
        if (entry->decoder && entry->decoder->done())
            length = static_cast<int64_t>(entry->decoder->pcm()->frames());
    } else if (auto def = movie_.sounds.find(static_cast<uint16_t>(it->second.sound)); def != movie_.sounds.end()) {
        length = static_cast<int64_t>(def->second->frames());
    }
    int64_t offset = it->second.offset;
    int64_t at = offset + played;
    if (length > offset)
        at = offset + played % (length - offset);
    return static_cast<double>(at) * 1000.0 / audio::kOutputRate;
}

bool ScriptSounds::completed(uint64_t voice)
{
    voices_.erase(voice);
    return mixer_.takeFinished(voice);
}

} // namespace swf
