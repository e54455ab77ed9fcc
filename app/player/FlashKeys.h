#pragma once

// Window keys in the movie's terms: the key code scripts see (Key.getCode) and the
// character the key typed (Key.getAscii).

#include <QString>

namespace lanfan {

// The movie's key code for Qt key `qtKey` (65 for A, 48 for 0, 37 for the left
// arrow, 112 for F1, 186 for ';' ...); 0 for keys movies have no code for.
int flashKeyCode(int qtKey);

// The character a key press typed, as scripts see it: the first character of `text`,
// or for Enter, Tab, Backspace and Escape their control characters; 0 for none.
char32_t flashKeyCharacter(int qtKey, const QString& text);

} // namespace lanfan
