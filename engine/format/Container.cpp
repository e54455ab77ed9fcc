#include "engine/format/Container.h"

#include "engine/format/Inflate.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace swf {

namespace {

constexpr size_t kPrefixSize = 8;

// How much a decoder may produce: never past the declared length, never past the
// ceiling. `refuseAtLimit` says that reaching the limit with input left means the
// movie is too large (the ceiling cut it), rather than that the header had said so.
struct OutputLimit {
    size_t bytes = 0;
    bool refuseAtLimit = false;
    size_t ceiling = 0;
};

OutputLimit limitFor(uint32_t declaredLength, size_t ceiling)
{
    // A length that cannot even cover the prefix says nothing; only the ceiling applies.
    size_t declaredBody = declaredLength > kPrefixSize ? declaredLength - kPrefixSize : ceiling + 1;
    if (declaredBody > ceiling)
        return {ceiling, true, ceiling};
    return {declaredBody, false, ceiling};
}

// Grows `out` geometrically towards `limit` so that a lying length costs nothing up front.
void growOutput(std::vector<uint8_t>& out, size_t used, size_t limit)
{
    size_t want = std::max<size_t>(used * 2, 64 * 1024);
    out.resize(std::min(want, limit));
}

// Names the limit that was hit; a ceiling below a MiB is given in bytes.
[[noreturn]] void tooLarge(size_t ceiling)
{
    std::string limit = ceiling >= (size_t{1} << 20) && ceiling % (size_t{1} << 20) == 0
                            ? std::to_string(ceiling >> 20) + " MiB"
                            : std::to_string(ceiling) + " bytes";
    throw ContainerError(ContainerError::Reason::TooLarge, "the movie expands past the " + limit + " limit");
}

Inflated inflateMovie(std::span<const uint8_t> input, OutputLimit limit)
{
    // A stream that ends early or goes bad keeps what came before it: a cut-short
    // movie plays as far as it goes.
    Inflated result = inflateZlib(input, limit.bytes);
    if (result.bytes.size() >= limit.bytes && limit.refuseAtLimit && result.inputLeft)
        tooLarge(limit.ceiling);
    return result;
}

Inflated decodeLzma(std::span<const uint8_t> props, std::span<const uint8_t> input, OutputLimit limit)
{
    // SWF stores raw LZMA1 data after the five property bytes (no .lzma size field), so
    // the raw decoder is used with the properties decoded by hand.
    lzma_filter filters[2]{};
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, props.data(), props.size()) != LZMA_OK)
        throw ContainerError(ContainerError::Reason::Corrupt, "the LZMA properties are not valid");
    // The properties may ask for a dictionary of up to 4 GiB, which liblzma allocates
    // up front. No match can reach further back than the output we allow, so a
    // dictionary of that size decodes the same bytes.
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    options->dict_size = static_cast<uint32_t>(
        std::clamp<size_t>(limit.bytes, LZMA_DICT_SIZE_MIN, std::max<size_t>(options->dict_size, LZMA_DICT_SIZE_MIN)));
    lzma_stream ls = LZMA_STREAM_INIT;
    lzma_ret status = lzma_raw_decoder(&ls, filters);
    free(filters[0].options);  // liblzma allocated it with malloc; the decoder has its copy
    if (status != LZMA_OK)
        throw ContainerError(ContainerError::Reason::Corrupt, "cannot start the LZMA decoder");

    Inflated result;
    ls.next_in = input.data();
    ls.avail_in = input.size();
    size_t used = 0;
    while (used < limit.bytes) {
        if (used == result.bytes.size())
            growOutput(result.bytes, used, limit.bytes);
        ls.next_out = result.bytes.data() + used;
        ls.avail_out = result.bytes.size() - used;
        size_t before = ls.avail_out;
        status = lzma_code(&ls, LZMA_RUN);
        used += before - ls.avail_out;
        if (status != LZMA_OK)
            break;
        if (ls.avail_in == 0 && before == ls.avail_out)
            break;  // no input left and no progress: the data stopped early
    }
    bool moreInput = status == LZMA_OK && ls.avail_in > 0;
    lzma_end(&ls);
    result.bytes.resize(used);
    if (used >= limit.bytes && limit.refuseAtLimit && moreInput)
        tooLarge(limit.ceiling);
    return result;
}

} // namespace

bool looksLikeMovie(std::span<const uint8_t> file)
{
    if (file.size() < 3 || file[1] != 'W' || file[2] != 'S')
        return false;
    return file[0] == 'F' || file[0] == 'C' || file[0] == 'Z';
}

DecodedMovie decodeMovie(std::span<const uint8_t> file, size_t ceiling)
{
    if (!looksLikeMovie(file))
        throw ContainerError(ContainerError::Reason::NotAMovie, "the file does not start with an SWF signature");
    if (file.size() < kPrefixSize)
        throw ContainerError(ContainerError::Reason::Corrupt, "the file ends inside its 8-byte header");

    DecodedMovie movie;
    ByteReader prefix(file.first(kPrefixSize));
    uint8_t signature = prefix.u8();
    prefix.skip(2);
    movie.header.version = prefix.u8();
    movie.header.declaredLength = prefix.u32();
    OutputLimit limit = limitFor(movie.header.declaredLength, ceiling);

    switch (signature) {
    case 'F': {
        movie.header.compression = Compression::None;
        auto body = file.subspan(kPrefixSize);
        if (body.size() > ceiling)
            tooLarge(ceiling);
        // As with compressed movies, the declared length ends the movie: bytes after
        // it are not part of it.
        if (!limit.refuseAtLimit && body.size() > limit.bytes)
            body = body.first(limit.bytes);
        movie.body.assign(body.begin(), body.end());
        break;
    }
    case 'C': {
        movie.header.compression = Compression::Zlib;
        Inflated inflated = inflateMovie(file.subspan(kPrefixSize), limit);
        movie.body = std::move(inflated.bytes);
        break;
    }
    default: {
        movie.header.compression = Compression::Lzma;
        // 4 bytes of compressed length (not needed: the data runs to the end of the
        // file), then 5 bytes of LZMA properties.
        if (file.size() < 17)
            throw ContainerError(ContainerError::Reason::Corrupt, "the file ends inside its LZMA header");
        Inflated inflated = decodeLzma(file.subspan(12, 5), file.subspan(17), limit);
        movie.body = std::move(inflated.bytes);
        break;
    }
    }

    // Shorter than declared: a movie cut off in transfer, played as far as it goes.
    movie.truncated = !limit.refuseAtLimit && movie.body.size() < limit.bytes;

    ByteReader body(movie.body);
    try {
        readHeaderTail(body, movie.header);
    } catch (const FormatError&) {
        throw ContainerError(ContainerError::Reason::Corrupt, "the movie ends inside its header");
    }
    movie.tagsOffset = body.position();
    // An uncompressed movie whose length is too short to cover even the 8-byte prefix
    // still has its header read, but declares no tags: the reference player plays it
    // as empty. (A compressed one's stream is read to its end: see limitFor.)
    if (movie.header.compression == Compression::None && movie.header.declaredLength < kPrefixSize) {
        movie.body.resize(movie.tagsOffset);
        movie.truncated = false;
    }
    return movie;
}

} // namespace swf
