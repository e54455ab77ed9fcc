#pragma once

// What loadMovie, loadMovieNum and MovieClipLoader put into a clip: another movie, or a
// picture (JPEG, PNG, GIF) wrapped as a movie of one frame that shows it at its own
// size with its top-left corner at the clip's origin. The clip then plays the loaded
// movie's timeline, places from its dictionary and runs its scripts; the bitmap fills
// of its shapes draw from its own bitmaps.

#include "engine/movie/MovieDef.h"
#include "engine/render/RenderTree.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace swf::movie {

struct LoadedContent {
    std::shared_ptr<const MovieDef> movie;
    std::shared_ptr<const render::BitmapSource> bitmaps;
    // The address the script gave, as _url reports it.
    std::string url;
    // A JPEG, PNG or GIF file shown as a movie of one frame: it has no SWF version.
    bool picture = false;
};

// The content of `bytes`, or null when they are neither a movie nor a picture this
// player can show (or a damaged one). Never throws.
std::shared_ptr<const LoadedContent> makeLoadedContent(std::span<const uint8_t> bytes, const std::string& url);

// A picture as a movie: character 1 its bitmap, character 2 a rectangle of its size
// filled with it, placed at depth 1 of the single frame. Throws FormatError for data
// no decoder takes.
std::shared_ptr<const MovieDef> pictureMovie(std::span<const uint8_t> bytes, int version);

// Whether `bytes` start like a JPEG, PNG or GIF file.
bool looksLikePicture(std::span<const uint8_t> bytes);

} // namespace swf::movie
