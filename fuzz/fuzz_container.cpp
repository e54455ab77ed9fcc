// The container and header: signature, declared length, zlib and LZMA decoding with
// their caps, and the stage rectangle, frame rate and frame count after them.

#include "engine/format/Container.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

// Small enough that a lying length reaches the cap within one run, so the cap's own
// path is exercised too.
constexpr size_t kFuzzCeiling = size_t{4} << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> file(data, size);
    try {
        swf::DecodedMovie movie = swf::decodeMovie(file, kFuzzCeiling);
        if (movie.body.size() > kFuzzCeiling || movie.tagsOffset > movie.body.size())
            __builtin_trap();
    } catch (const swf::FormatError&) {
    }
    return 0;
}
