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

// A branch target: `offset` bytes from `base`; SIZE_MAX (outside every block) when it
// would lie before the code.
inline size_t relative(size_t base, int16_t offset)
{
    auto target = static_cast<std::ptrdiff_t>(base) + offset;
    return target < 0 ? SIZE_MAX : static_cast<size_t>(target);
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
