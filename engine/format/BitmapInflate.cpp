#include "engine/format/BitmapInflate.h"

#include "engine/format/Error.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <string>

namespace swf {

namespace {

// Owns a z_stream set up for inflation.
class Inflater {
public:
    Inflater()
    {
        if (inflateInit(&stream_) != Z_OK)
            throw FormatError("bitmap: zlib could not be initialised");
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates into `out`, returning how many bytes were written.
    size_t run(std::span<const uint8_t> in, std::span<uint8_t> out)
    {
        // zlib counts in uInt; feed and drain in chunks it can express.
        constexpr size_t kChunk = std::numeric_limits<uInt>::max();
        size_t inPos = 0;
        size_t outPos = 0;
        while (outPos < out.size()) {
            if (stream_.avail_in == 0 && inPos < in.size()) {
                const size_t n = std::min(kChunk, in.size() - inPos);
                stream_.next_in = const_cast<Bytef*>(in.data() + inPos);
                stream_.avail_in = static_cast<uInt>(n);
                inPos += n;
            }
            const size_t room = std::min(kChunk, out.size() - outPos);
            stream_.next_out = out.data() + outPos;
            stream_.avail_out = static_cast<uInt>(room);
            const int rc = inflate(&stream_, Z_NO_FLUSH);
            outPos += room - stream_.avail_out;
            if (rc == Z_STREAM_END)
                break;
            if (rc == Z_BUF_ERROR && stream_.avail_in == 0 && inPos >= in.size())
                break;  // input exhausted: the stream was cut short
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                throw FormatError(std::string("bitmap: corrupt zlib data (")
                                  + (stream_.msg ? stream_.msg : "error") + ")");
        }
        return outPos;
    }

private:
    z_stream stream_{};
};

} // namespace

std::vector<uint8_t> inflateUpTo(std::span<const uint8_t> compressed, size_t limit)
{
    // Deflate cannot expand data by more than about 1032:1, so the input size bounds
    // what is worth allocating before the stream has shown it really is that long.
    const size_t plausible = compressed.size() > limit / 1040 ? limit : compressed.size() * 1040 + 64;
    std::vector<uint8_t> out(std::min(limit, plausible));
    Inflater inflater;
    const size_t produced = inflater.run(compressed, out);
    out.resize(produced);
    return out;
}

std::vector<uint8_t> inflateExactly(std::span<const uint8_t> compressed, size_t size, const char* what)
{
    std::vector<uint8_t> out = inflateUpTo(compressed, size);
    if (out.size() != size)
        throw FormatError(std::string("bitmap: ") + what + " inflates to " + std::to_string(out.size())
                          + " bytes, " + std::to_string(size) + " expected");
    return out;
}

} // namespace swf
