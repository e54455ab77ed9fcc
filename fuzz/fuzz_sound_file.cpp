// Sound files scripts load (Sound.loadSound), alone: the bytes are the file. A small
// harness over the sound layer only, so that it builds and runs fast; fuzz_sound
// reaches the same decoder behind its loaded-file selector.

#include "fuzz/SoundFileInput.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    swf::fuzz::decodeLoadedSoundFile({data, size});
    return 0;
}
