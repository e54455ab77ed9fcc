#pragma once

// Small helpers the interpreter's action files share.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/format/AsciiCase.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace swf::avm1::support {

inline bool isClip(const Object* o)
{
    return clipHost(const_cast<Object*>(o)) != nullptr;
}

// A branch target: `offset` bytes from `base`. A target before the code wraps round to
// a huge offset, past the end of every block; adding it to the code's address (modulo
// the address width) still gives the byte it names, in the movie's bytes before the
// block.
inline size_t relative(size_t base, int16_t offset)
{
    return base + static_cast<size_t>(static_cast<std::ptrdiff_t>(offset));
}

using swf::equalsNoCase;
using swf::startsWithNoCase;

// N of "_levelN" or "_flashN" (an older name of the same levels). The digits are
// read up to the first other character, as the reference player reads such a name
// ("_level0undefined" is _level0); a name without digits is none.
inline std::optional<int> levelNumber(std::string_view name, bool caseSensitive)
{
    if (name.size() < 7)
        return std::nullopt;
    std::string_view word = name.substr(0, 6);
    const bool matches = caseSensitive ? (word == "_level" || word == "_flash")
                                       : (equalsNoCase(word, "_level") || equalsNoCase(word, "_flash"));
    if (!matches || name[6] < '0' || name[6] > '9')
        return std::nullopt;
    int n = 0;
    for (char c : name.substr(6)) {
        if (c < '0' || c > '9')
            break;
        n = std::min(n * 10 + (c - '0'), 1 << 20);
    }
    return n;
}

} // namespace swf::avm1::support
