#pragma once

// A sound scope's settings as the Sound class keeps them: the volume and the four
// channel gains, in percent, as whole numbers the way scripts read them back. The
// whole movie has one scope; every clip that a Sound object speaks for has its own,
// kept with the clip and gone with it.

#include <atomic>
#include <cstdint>

namespace swf::avm1 {

struct SoundTransform {
    int32_t volume = 100;
    int32_t leftToLeft = 100;
    int32_t leftToRight = 0;
    int32_t rightToRight = 100;
    int32_t rightToLeft = 0;
    // Names the scope to the sound side; 0 is the whole movie's. Each clip's record
    // takes a number never used before, so that a clip made again under the same name
    // starts afresh.
    uint64_t scope = 0;

    static SoundTransform forClip()
    {
        static std::atomic<uint64_t> next{1};
        SoundTransform t;
        t.scope = next.fetch_add(1);
        return t;
    }
};

} // namespace swf::avm1
