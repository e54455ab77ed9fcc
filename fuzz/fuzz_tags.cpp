// The tag stream: the input is an uncompressed movie body (everything after the header),
// walked tag by tag and turned into definitions and timelines, every tag kind included.

#include "engine/format/Container.h"
#include "engine/format/Tags.h"
#include "engine/movie/MovieDef.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> stream(data, size);

    // The reader alone: every tag lies within the data and the walk always ends.
    swf::TagReader reader(stream);
    size_t tags = 0;
    while (auto tag = reader.next()) {
        if (tag->body.data() < stream.data() || tag->body.data() + tag->body.size() > stream.data() + stream.size())
            __builtin_trap();
        if (++tags > size)
            __builtin_trap();
    }

    // The whole loader over the same bytes, as a movie of version 10 with a 1x1 stage.
    swf::DecodedMovie decoded;
    decoded.header.version = size > 0 ? (data[0] % 20) + 1 : 10;
    decoded.header.declaredLength = static_cast<uint32_t>(size + 8);
    decoded.header.stage = {0, 20, 0, 20};
    decoded.header.frameRate = 12;
    decoded.header.frameCount = 1;
    decoded.body.assign(stream.begin(), stream.end());
    decoded.tagsOffset = 0;
    try {
        auto movie = swf::movie::buildMovie(std::move(decoded));
        if (movie->root.frames.empty())
            __builtin_trap();
    } catch (const swf::FormatError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
