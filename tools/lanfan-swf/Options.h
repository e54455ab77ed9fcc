#pragma once

// The command line of lanfan-swf, parsed into what to do.

#include "engine/Player.h"

#include <optional>
#include <string>
#include <vector>

namespace lanfan::tool {

enum class Command { Info, Run, Render, Actions, Audio };

struct Options {
    Command command = Command::Info;
    std::string file;
    int frames = 1;
    // run and render: after `frames`, the player's seek to this frame with playing on
    // (as the seek bar does with its check box ticked), then `thenFrames` more frames.
    std::optional<int> seek;
    int thenFrames = 0;
    std::string out;
    // render: the picture's size in pixels, the stage fitted in as the player shows it
    // ("ShowAll"). Unset: the stage's own size.
    std::optional<std::pair<int, int>> size;
    // render: the drawing quality, as the player's quality setting names it.
    swf::RenderQuality quality = swf::RenderQuality::High;
    // run: also print each request the movie sends out (loads, posts, AMF calls),
    // between its trace lines, as the conformance corpus records them.
    bool requests = false;
};

// Returns nothing (and sets `error`) when the arguments do not make a valid command.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kUsage;

} // namespace lanfan::tool
