#pragma once

// Reaching a script machine's built-ins from tests by the dotted name a movie uses.

#include "engine/avm1/Machine.h"

#include <string_view>

namespace swf::test {

// The value a dotted path from _global names ("flash.filters.BlurFilter").
inline avm1::Value globalAt(avm1::Machine& m, std::string_view path)
{
    avm1::Value v(m.global());
    while (!path.empty()) {
        const size_t dot = path.find('.');
        v = m.getMember(v, path.substr(0, dot));
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return v;
}

} // namespace swf::test
