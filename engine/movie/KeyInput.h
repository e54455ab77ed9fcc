#pragma once

// Keys reaching a playing movie. A press or release first updates the Key object
// (isDown, getCode, getAscii), then the movie hears of it: Key's listeners
// (onKeyDown / onKeyUp), clips' onClipEvent(keyDown / keyUp) handlers, and for a press
// the buttons whose key condition names it, and an input field holding the focus
// takes the typing. The window offers the movie each key
// first and keeps for its own shortcuts those the movie does not take.

#include "engine/movie/DisplayList.h"

#include <cstdint>
#include <string>

namespace swf::avm1 {
class Machine;
class TextFieldHost;
}

namespace swf::movie {

class TimelinePlayer;

// The key code a button's key condition uses for a key: the character for printable
// ones (32 to 126), the condition's own numbers for the arrows, Home, End, Insert,
// Delete, Backspace, Enter, Page Up and Down, Tab and Escape; 0 for the rest.
uint8_t buttonKeyCode(int keyCode, char32_t character);

// Typing into an input field: `text` (UTF-8, empty for none) replaces the selection;
// Backspace and Delete remove a character or the selection, Enter starts a paragraph
// in multiline fields, the arrows, Home and End move the caret; maxChars is kept.
// Returns true when the text changed.
bool typeIntoField(avm1::Machine& m, avm1::TextFieldHost& field, int keyCode, const std::string& text);

// A press of the pointer at `stage` (twips): the input field there takes the focus,
// its caret at the end of its text; a press elsewhere takes it from a field. True
// when the focus moved.
bool focusFieldAt(ClipState& root, TimelinePlayer& timeline, Point stage);

class KeyInput {
public:
    // Each returns true when the movie takes the key: something in it listens for keys.
    bool press(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character);
    bool release(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character);
    // Whether anything in the movie listens for this key now, without telling it.
    bool wants(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character);
    // Text an input method composed (UTF-8) goes into the focused input field as typing
    // does, honouring restrict and maxChars, with onChanged; no key events. True when
    // the field's text changed.
    bool commit(ClipState& root, TimelinePlayer& timeline, const std::string& text);
    // Text from the clipboard goes in as composed text does, but keeps its line breaks
    // in fields of more than one line and is cut to the room maxChars leaves.
    bool paste(ClipState& root, TimelinePlayer& timeline, const std::string& text);
    // The focused input field's selected text (UTF-8), for the clipboard: empty with
    // nothing selected, and from a password field. `cut` also removes it from the
    // field, which announces the change.
    std::string selectedText(ClipState& root, TimelinePlayer& timeline, bool cut);
    // Selects the whole text of the focused input field; false when none has the focus.
    bool selectAll(TimelinePlayer& timeline);
    // An input field holds the focus: typing, composed text included, goes there.
    bool typingFocused(TimelinePlayer& timeline);

private:
    bool enter(ClipState& root, TimelinePlayer& timeline, const std::string& text, bool pasted);
    bool deliver(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character, bool down);
};

} // namespace swf::movie
