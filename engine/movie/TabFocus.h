#pragma once

// Tab and Shift+Tab move the keyboard focus between the objects of a movie that take
// it from the keyboard, as the reference player does: input text fields, buttons and
// clips acting as buttons (or any object whose tabEnabled is true), unless tabEnabled
// is false or a clip holding them sets tabChildren false. When any of them has a
// tabIndex, only those do, in the order of their tabIndex; otherwise they go by place
// on the stage, row by row from the top, left to right in a row.

#include "engine/movie/DisplayList.h"

#include <optional>
#include <vector>

namespace swf::avm1 {
class Object;
}

namespace swf::movie {

class TimelinePlayer;

struct TabStop {
    avm1::Object* object = nullptr;
    Rect stageBounds;              // twips
    std::optional<double> tabIndex;
    bool textField = false;
};

// Every object that takes the focus from the keyboard, in display-list order.
std::vector<TabStop> collectTabStops(ClipState& root, TimelinePlayer& timeline);
// `stops` in the order Tab visits them.
std::vector<TabStop> tabOrder(std::vector<TabStop> stops);

// Moves the focus one stop on (back for Shift+Tab) from the focused object, wrapping
// round; from nothing, to the first (last). True when the focus moved.
bool moveTabFocus(ClipState& root, TimelinePlayer& timeline, bool backward);

// A press of the mouse: the focus is no longer the keyboard's, and no rectangle shows.
void pointerPressed(TimelinePlayer& timeline);

// Where the focus rectangle is drawn (stage twips): round the focused object when the
// keyboard put the focus there and its _focusrect (or _root's) allows it; text fields
// show their caret instead.
std::optional<Rect> focusRectangle(ClipState& root, TimelinePlayer& timeline);

} // namespace swf::movie
