#include "engine/format/BitmapInflate.h"

#include "engine/format/Error.h"
#include "engine/format/Inflate.h"

#include <string>

namespace swf {

std::vector<uint8_t> inflateUpTo(std::span<const uint8_t> compressed, size_t limit)
{
    Inflated inflated = inflateZlib(compressed, limit);
    if (inflated.corrupt)
        throw FormatError("bitmap: corrupt zlib data (" + inflated.error + ")");
    return std::move(inflated.bytes);
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
