#pragma once

// Links in HTML text: what a click on a text field's <a href> opens.

#include "engine/format/Primitives.h"

#include <optional>
#include <string>

namespace swf::movie {

struct ClipState;

struct TextLink {
    std::string url;
    std::string target;
};

// The link under `stage` (twips, in the root's space) in the topmost visible text
// field there, if that field's text has one at that point.
std::optional<TextLink> linkAt(const ClipState& root, Point stage);

} // namespace swf::movie
