#pragma once

// What the Sound class asks of the movie's sound side. The player implements it over
// its mixer; the machine knows nothing of decoding or mixing. A scope is the number of
// the SoundTransform a Sound object speaks through (0: the whole movie); voices are
// grouped and set by scope.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace swf::avm1 {

struct SoundGains {
    double leftToLeft = 1, leftToRight = 0, rightToRight = 1, rightToLeft = 0;
};

// How a sound file a script asked for is coming along.
struct SoundLoadStatus {
    enum class State { Loading, Loaded, Failed };
    State state = State::Failed;
    size_t bytesLoaded = 0;
    size_t bytesTotal = 0;
};

class SoundHost {
public:
    virtual ~SoundHost() = default;

    // The sound exported under `linkage`, or 0.
    virtual int soundByLinkage(const std::string& linkage) = 0;
    // Starts loading a local sound file (a path relative to the movie's folder) and
    // returns the sound it becomes, or 0 when it will not load at all (refused by the
    // local-file rules, unreadable, not a sound); the host gives any notice itself.
    virtual int loadSound(const std::string& url) = 0;
    virtual SoundLoadStatus loadStatus(int sound) = 0;
    // The text tags of a loaded file, by ID3 frame name ("TIT2" ...).
    virtual std::vector<std::pair<std::string, std::string>> tags(int sound) = 0;
    // Decodes a further piece of a sound still loading; once a frame.
    virtual void continueLoading(int sound) = 0;

    // Starts `sound` `offsetSeconds` in, playing it `loops` times; the voice, or 0.
    virtual uint64_t startSound(int sound, double offsetSeconds, int loops, uint64_t scope) = 0;
    // Stops the voices of `sound` started in `scope`; scope 0 stops them wherever they
    // were started (timeline sounds too).
    virtual void stopSound(int sound, uint64_t scope) = 0;
    virtual void stopScope(uint64_t scope) = 0;
    virtual void stopAllSounds() = 0;
    // Scope 0 sets the whole mix.
    virtual void setScopeGains(uint64_t scope, const SoundGains& gains) = 0;
    // Milliseconds: the whole sound (as its definition states it, or as far as a
    // loaded one is decoded), and where a voice is in it (-1 once the voice ended).
    virtual double durationMs(int sound) = 0;
    virtual double positionMs(uint64_t voice) = 0;
    // Whether an ended voice played to its end (not stopped); asked once per voice.
    virtual bool completed(uint64_t voice) = 0;
};

} // namespace swf::avm1
