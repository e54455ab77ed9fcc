#pragma once

// NetStream's way to local FLV files: the movie's local-file rules decide what may be
// read, libavformat (through engine/video/FlvMedia) takes the file apart, the mixer
// plays its sound. Problems reach the player's notices, each text once per movie.

#include "engine/audio/Mixer.h"
#include "engine/avm1/NetStreamHost.h"
#include "engine/data/LocalFiles.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace swf {

class NetStreams : public avm1::NetStreamHost {
public:
    // Files larger than this are refused: the whole file is held in memory.
    static constexpr size_t kMaxFileBytes = size_t{512} << 20;
    // Streams' sounds take mixer ids past those of the movie's and the Sound class's.
    static constexpr uint32_t kFirstSoundId = 0x40000000;

    // `movieFile`: where the movie came from (empty: bytes from elsewhere, which may
    // read no files). `notice` hears each problem once.
    NetStreams(std::shared_ptr<audio::Mixer> mixer, const std::filesystem::path& movieFile,
               std::function<void(const std::string&)> notice);

    std::unique_ptr<avm1::OpenedStream> openStream(const std::string& url) override;

private:
    void report(const std::string& text);

    std::shared_ptr<audio::Mixer> mixer_;
    std::optional<data::LocalSandbox> sandbox_;
    std::function<void(const std::string&)> notice_;
    std::set<std::string> reported_;
    uint32_t nextSoundId_ = kFirstSoundId;
};

} // namespace swf
