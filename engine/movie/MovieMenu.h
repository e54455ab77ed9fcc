#pragma once

// The movie's own items in the player's right-click menu: those of the ContextMenu a
// script gave the root (`_root.menu`). Before the menu opens its onSelect hears of it;
// choosing an item calls the item's onSelect, each with the root and the menu or item.

#include "engine/movie/DisplayList.h"

#include <string>
#include <vector>

namespace swf::movie {

class TimelinePlayer;

struct MenuItem {
    std::string caption;
    bool separatorBefore = false;
    bool enabled = true;
    size_t index = 0;  // in customItems, for choosing it
};

// The visible custom items, after the menu's onSelect ran.
std::vector<MenuItem> openMovieMenu(ClipState& root, TimelinePlayer& timeline);
// Runs the onSelect of customItems[index]; false when there is no such item.
bool chooseMovieMenuItem(ClipState& root, TimelinePlayer& timeline, size_t index);

} // namespace swf::movie
