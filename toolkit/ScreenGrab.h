#pragma once

// Reading the screen's pixels for the capture command: whatever the screen shows in a
// rectangle, whichever window it belongs to, and the depth the display stores them at.

#include <QImage>
#include <QRect>

namespace lanfan {

// Bits per pixel of the display's stored pixels: 32, 24, 16 or 8 and below. A 24-bit
// colour depth is stored in 32-bit pixels on X11 (and Windows), so it counts as 32.
int displayBitsPerPixel();

// The pixels the screen shows in `screenRect` (screen coordinates, right and bottom
// edges outside). Parts that lie on no screen, or that the platform cannot read, come
// back black; the image always has the rectangle's size. A rectangle without width or
// height gives a null image.
QImage grabScreen(QRect screenRect);

// The depth reported by a screen, as the bits per pixel it is stored at.
int storedBitsPerPixel(int colourDepth);

} // namespace lanfan
