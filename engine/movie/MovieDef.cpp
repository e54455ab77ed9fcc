#include "engine/movie/MovieDef.h"

#include <algorithm>

namespace swf::movie {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

} // namespace

std::optional<int> TimelineDef::frameOfLabel(std::string_view name) const
{
    for (const FrameLabel& label : labels) {
        if (equalsIgnoringCase(label.name, name))
            return label.frame;
    }
    return std::nullopt;
}

const Character* MovieDef::character(uint16_t id) const
{
    auto it = dictionary.find(id);
    return it == dictionary.end() ? nullptr : &it->second;
}

} // namespace swf::movie
