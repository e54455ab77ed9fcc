// Sound tags and their decoding: DefineSound of every codec, stream heads and blocks,
// StartSound's sound-info and DefineButtonSound, loaded into a movie that is played
// and mixed for its frames. Whatever the data, the mix has exactly the frames' length.
//
// An input whose first byte is kLoadedFile is instead a sound file a script loads,
// decoded as fuzz/SoundFileInput.h says (fuzz_sound_file runs that part alone).

#include "engine/Player.h"
#include "engine/SoundExport.h"
#include "fuzz/SoundFileInput.h"
#include "fuzz/SoundInput.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

namespace {

// The first byte that makes an input a loaded sound file (fuzz/SoundFileInput.h).
constexpr uint8_t kLoadedFile = 0xF7;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0 && data[0] == kLoadedFile) {
        swf::fuzz::decodeLoadedSoundFile({data + 1, size - 1});
        return 0;
    }
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
