#pragma once

// What the Sound class asks of the movie's sound side. The player implements it over
// its mixer; the machine knows nothing of decoding or mixing. A scope is the clip a
// Sound object was made for (null: the whole movie); volume and pan apply per scope.

#include <cstdint>
#include <string>

namespace swf::avm1 {

struct SoundGains {
    double leftToLeft = 1, leftToRight = 0, rightToRight = 1, rightToLeft = 0;
};

class SoundHost {
public:
    virtual ~SoundHost() = default;

    // The sound exported under `linkage`, or 0.
    virtual int soundByLinkage(const std::string& linkage) = 0;
    // Decodes a local MP3 file (a path relative to the movie's folder); 0 on failure.
    virtual int loadSoundFile(const std::string& url) = 0;
    // Starts `sound` `offsetSeconds` in, playing it `loops` times; the voice, or 0.
    virtual uint64_t startSound(int sound, double offsetSeconds, int loops, const void* scope) = 0;
    virtual void stopSound(int sound) = 0;
    virtual void stopScope(const void* scope) = 0;
    virtual void stopAllSounds() = 0;
    virtual void setScopeGains(const void* scope, const SoundGains& gains) = 0;
    // Milliseconds: the whole sound, and how far a voice has played (-1 once it ended).
    virtual double durationMs(int sound) = 0;
    virtual double positionMs(uint64_t voice) = 0;
    // Whether an ended voice played to its end (not stopped); asked once per voice.
    virtual bool completed(uint64_t voice) = 0;
};

} // namespace swf::avm1
