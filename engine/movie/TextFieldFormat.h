#pragma once

// Character and paragraph formats of a field's text as scripts trade them in
// TextFormat objects: reading what a range of characters shares, and setting part of
// a format over a range by splitting the field's formatted stretches.

#include "engine/avm1/TextFormatObject.h"
#include "engine/render/TextFieldLook.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swf::movie {

// Every setting of `format`, in a script's units (pixels, 0xRRGGBB).
avm1::TextFormatData textFormatData(const render::TextFormat& format);
// `format` with the settings `data` has set laid over it.
void applyTextFormat(render::TextFormat& format, const avm1::TextFormatData& data);

// The byte offset of character `index` in UTF-8 `text` (its size past the end).
size_t byteOffsetOf(std::string_view text, size_t index);

// Spans that cover every byte of `text` exactly: `spans` completed with `base` (when
// there are none) or with the last span's format (past the last one).
std::vector<render::TextSpan> coveringSpans(std::string_view text, const std::vector<render::TextSpan>& spans,
                                            const render::TextFormat& base);

// The settings every character in bytes [begin, end) shares; the rest unset. An empty
// range reads the format at `begin`.
avm1::TextFormatData sharedTextFormat(std::string_view text, const std::vector<render::TextSpan>& spans,
                                      const render::TextFormat& base, size_t begin, size_t end);

// Lays `data` over bytes [begin, end) and returns the new spans, neighbours with the
// same format merged.
std::vector<render::TextSpan> withTextFormat(std::string_view text, const std::vector<render::TextSpan>& spans,
                                             const render::TextFormat& base, size_t begin, size_t end,
                                             const avm1::TextFormatData& data);

} // namespace swf::movie

namespace swf::movie {

// TextFormat.getTextExtent's measures: `text` laid out in `format` (its unset settings
// those of a new field) as a field of its own would show it, on one line per paragraph
// or wrapped to `width` pixels. Nullopt where device fonts cannot be measured (no GUI
// application to reach the font database).
std::optional<avm1::TextExtent> measureTextExtent(const avm1::TextFormatData& format, const std::string& text,
                                                  std::optional<double> width);

} // namespace swf::movie
