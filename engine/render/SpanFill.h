#pragma once

// Filling flattened paths in one solid colour straight into the frame's pixels. Qt's
// raster engine finds a path's coverage with a general rasteriser that splits and
// redoes bands of big or busy outlines, such as the outlines of thick strokes; kept
// (already flattened) paths need none of that. Here a path's exact area coverage is
// summed into one buffer over its device bounds and each row blended in runs of equal
// coverage. Only what gives Qt's pixels is taken: the painter must draw source-over,
// fully opaque, anti-aliased and unclipped onto a premultiplied ARGB image; otherwise
// nothing is drawn and the caller asks Qt. Gradients stay with Qt, whose vectorised
// gradient spans are faster than a plain loop.

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <vector>

namespace swf::render {

// Whether `painter` draws in a way spanFill gives the same pixels for.
bool spanFillable(QPainter& painter);

// Fills `path` (lines only; closed implicitly, by its own fill rule) mapped by
// `toDevice` into the painter's image with `color` (premultiplied ARGB). False, with
// nothing drawn, where the painter or the path is not of the kind described above.
bool spanFill(QPainter& painter, const QPainterPath& path, const QTransform& toDevice, uint32_t color);

// The coverage spanFill gives each pixel of a `width` x `height` area, 0..255 row by
// row: for tests that compare it with the exact area.
std::optional<std::vector<uint8_t>> spanCoverage(const QPainterPath& path, const QTransform& toDevice, int width,
                                                 int height);

} // namespace swf::render
