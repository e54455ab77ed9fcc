#pragma once

// System ("device") fonts for text that does not carry its own glyphs. Movies name the
// fonts of the machine they were made on (Arial, Times New Roman, 宋体 ...) or the
// generic _sans, _serif and _typewriter; each maps to an installed font with the same
// character widths, so that text measures and wraps as its author saw it.

#include <QRawFont>
#include <QString>

#include <string_view>

namespace swf::render {

// The installed family that stands in for `name` (UTF-8, as the movie gives it).
QString deviceFamily(std::string_view name);

// The family that draws Chinese, Japanese and Korean characters the first font lacks.
QString cjkFamily();

// True for characters of the CJK scripts, which wrap between any two of them.
bool isCjk(char32_t c);

// A device font with its fallback for CJK characters, measured without hinting so that
// widths scale exactly with the size.
struct DeviceFace {
    QRawFont primary;
    QRawFont fallback;  // invalid when no CJK font is installed
};

// The face for `name` in the given style, at pixel size `pixelSize`; looked up once per
// name and style.
DeviceFace deviceFace(std::string_view name, bool bold, bool italic, double pixelSize);

} // namespace swf::render
