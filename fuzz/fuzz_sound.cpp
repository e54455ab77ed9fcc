// Sound tags and their decoding: DefineSound of every codec, stream heads and blocks,
// StartSound's sound-info and DefineButtonSound, loaded into a movie that is played
// and mixed for its frames. Whatever the data, the mix has exactly the frames' length.

#include "engine/Player.h"
#include "engine/SoundExport.h"
#include "fuzz/SoundInput.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> movie = swf::fuzz::soundMovie({data, size});
    swf::Player player;
    try {
        player.loadBytes(movie);
    } catch (const swf::LoadError&) {
        return 0;
    }
    int frames = player.frameCount();
    std::vector<int16_t> mix = swf::mixFrames(player, frames);
    if (mix.size() != static_cast<size_t>(2 * std::llround(frames * 44100 / 10.0)))
        __builtin_trap();
    return 0;
}
