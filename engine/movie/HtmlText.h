#pragma once

// The HTML subset text fields read and write: <p align>, <font face size color
// letterSpacing kerning>, <b>, <i>, <u>, <a href target>, <br>, <li>, <textformat> with
// its margins, indents, leading and tab stops, and the common entities. Parsing gives the
// characters a field shows and the formats they are set in; writing gives them back in
// the reference player's own form (every paragraph as <P ALIGN><FONT ...>...</FONT></P>,
// wrapped in <TEXTFORMAT> where a paragraph has margins, indents, leading or tab stops).

#include "engine/render/TextFieldLook.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace swf::movie {

struct FormattedText {
    std::string text;  // UTF-8; paragraphs end in "\r"
    std::vector<render::TextSpan> spans;
};

// How a field reads its markup.
struct HtmlReading {
    // <p>, <li> and <br> end lines. A single-line field of a movie for SWF 7 or later
    // runs its paragraphs together; earlier movies break lines in any field.
    bool lineBreaks = true;
    // condenseWhite: each run of blanks and line ends inside a stretch of text reads
    // as one space (otherwise a line end in the text ends a paragraph).
    bool condenseWhite = false;
    // <font kerning> turns kerning on; movies before SWF 8 cannot.
    bool kerning = true;
    // Text of blanks alone between two tags is dropped from markup a script sets; the
    // text a movie stores keeps the blanks an element holds alone, as authoring tools
    // write a space in a style of its own as "<b> </b>".
    bool keepBlankStretches = false;
    // A style sheet's say in each tag's format: called with the tag's name and its
    // class attribute (null without one) as the tag opens.
    std::function<void(std::string_view tag, const std::string* className, render::TextFormat& format)> style = nullptr;
};

// The reading a field of a movie for `swfVersion` uses.
HtmlReading htmlReading(int swfVersion, bool multiline, bool condenseWhite);

// `base` is the format of text outside any tag. Unknown tags are dropped with their
// markup; an unclosed tag hides the rest of the text. Text between tags that is only
// blanks and line ends is dropped, as the reference player does.
FormattedText parseHtml(std::string_view html, const render::TextFormat& base, HtmlReading reading = {});

// The reference player's htmlText for `text` set in `spans` (all of it in `base` when
// there are none).
std::string toHtml(std::string_view text, const std::vector<render::TextSpan>& spans, const render::TextFormat& base);

// Characters of `html` without its markup, entities decoded; paragraphs and <br> as "\r".
std::string stripMarkup(std::string_view html);

} // namespace swf::movie
