#include "engine/format/Inflate.h"

#include "engine/format/Error.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace swf {

namespace {

// Owns a z_stream set up for inflation.
class ZStream {
public:
    ZStream()
    {
        if (inflateInit(&stream) != Z_OK)
            throw FormatError("zlib could not be initialised");
    }
    ~ZStream() { inflateEnd(&stream); }
    ZStream(const ZStream&) = delete;
    ZStream& operator=(const ZStream&) = delete;

    z_stream stream{};
};

} // namespace

Inflated inflateZlib(std::span<const uint8_t> input, size_t limit)
{
    // Deflate cannot expand data by more than about 1032:1, so the input bounds what
    // can ever come out, and a lying length costs nothing up front: the output grows
    // geometrically towards the smaller bound.
    const size_t plausible = input.size() > limit / 1040 ? limit : input.size() * 1040 + 64;
    const size_t cap = std::min(limit, plausible);
    // zlib counts in uInt; feed and drain in chunks it can express.
    constexpr size_t kChunk = std::numeric_limits<uInt>::max();

    Inflated result;
    ZStream zs;
    z_stream& s = zs.stream;
    size_t inPos = 0;
    size_t used = 0;
    while (used < cap) {
        if (used == result.bytes.size())
            result.bytes.resize(std::min(std::max<size_t>(used * 2, 64 * 1024), cap));
        if (s.avail_in == 0 && inPos < input.size()) {
            const size_t n = std::min(kChunk, input.size() - inPos);
            s.next_in = const_cast<Bytef*>(input.data() + inPos);
            s.avail_in = static_cast<uInt>(n);
            inPos += n;
        }
        const size_t room = std::min(kChunk, result.bytes.size() - used);
        s.next_out = result.bytes.data() + used;
        s.avail_out = static_cast<uInt>(room);
        const int status = inflate(&s, Z_NO_FLUSH);
        used += room - s.avail_out;
        if (status == Z_STREAM_END) {
            result.ended = true;
            break;
        }
        if (status == Z_BUF_ERROR && s.avail_in == 0 && inPos >= input.size())
            break;  // the input ran out: the stream was cut short
        if (status != Z_OK && status != Z_BUF_ERROR) {
            result.corrupt = true;
            result.error = s.msg ? s.msg : "error";
            break;
        }
    }
    result.inputLeft = !result.ended && !result.corrupt && (s.avail_in > 0 || inPos < input.size());
    result.bytes.resize(used);
    return result;
}

} // namespace swf
