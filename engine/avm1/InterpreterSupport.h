#pragma once

// Small helpers the interpreter's action files share.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/TextFieldObject.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
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

inline bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

inline bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithNoCase(a, b);
}

} // namespace swf::avm1::support
