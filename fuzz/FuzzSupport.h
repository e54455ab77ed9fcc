#pragma once

// What the harnesses share: a Qt application for painting (offscreen, no display) and
// the small image every harness paints into.

#include <QImage>

namespace lanfan::fuzz {

// Creates the one QGuiApplication of the process on the offscreen platform.
void ensureGuiApplication();

// A small premultiplied image, cleared; big enough to make every drawing path run.
QImage smallCanvas();

} // namespace lanfan::fuzz
