#pragma once

// Shape fills at low quality, where nothing is anti-aliased. The reference player
// then lights a pixel when its centre lies inside the outline (found in its own fixed
// point, which settles centres on or a hair from an edge), and cuts each
// curve into a few straight pieces whose corners sit on its twip grid (a twentieth of
// a device pixel). Qt's aliased rasteriser decides centres that lie on or within a
// sixty-fourth of a pixel of an edge its own way and follows curves far more closely,
// so slanted and rounded edges (italic letters, round corners) come out a pixel off
// here and there; these functions give the reference's pixels instead.

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace swf::render {

// `path` (lines and quadratic curves, as shapes are built) mapped by `toDevice`, its
// curves cut the way the reference player cuts them at low quality and every point
// put on the twip grid: a path of lines only, in device pixels.
QPainterPath aliasedOutline(const QPainterPath& path, const QTransform& toDevice);

// Fills `outline` (lines only, in device pixels, by its own fill rule) with `brush`
// (its transform from device pixels): each pixel whose centre is inside, through the
// painter's clip and composition mode. False, with nothing drawn, where the outline
// has curves, points too far out to sample, or more row crossings than a frame
// should hold; the caller then asks Qt.
bool aliasedFill(QPainter& painter, const QPainterPath& outline, const QBrush& brush);

// The runs of pixels aliasedFill lights for `outline` on a `width` x `height` device,
// as one-pixel-high rectangles; false where aliasedFill would refuse the outline.
bool aliasedRuns(const QPainterPath& outline, int width, int height, std::vector<QRect>& runs);

// Fills whole-pixel rectangles (in device pixels, not overlapping) with `brush` as
// aliasedFill fills its runs: blended straight into a plain image, else through the
// painter's clip and composition mode.
void fillRuns(QPainter& painter, std::span<const QRect> runs, const QBrush& brush);

// The pixels aliasedFill lights in a `width` x `height` area, row by row, 1 for lit:
// for tests.
std::optional<std::vector<uint8_t>> aliasedCoverage(const QPainterPath& outline, int width, int height);

} // namespace swf::render
