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
#include <QSize>
#include <QTransform>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace swf::render {

// The coverage runs of one path's fills, kept with the device points they were summed
// from (relative to the corner of the area they cover), so that a later fill of the
// same path whose points come out the same relative to their own corner (the path
// drawn again where it was, or whole pixels away) blends the kept runs instead of
// summing its lines again. A fill's points are first only fingerprinted; runs are kept
// for points seen on an earlier fill, so a path that moves every frame pays for no
// copies, and one turned or resized every frame (its transform's linear part new each
// time) not even for the fingerprints. A few placements are kept, for a shape placed
// several times. A SpanRuns serves one path: it must not be shared by fills of others.
class SpanRuns {
public:
    static constexpr size_t kPlacements = 4;  // placements whose runs are kept
    static constexpr size_t kSeen = 8;        // fingerprints remembered

    // What the kept points and runs take in memory.
    size_t bytes() const;
    size_t placements() const { return kept_.size(); }

private:
    friend struct SpanRunsAccess;
    struct Run {
        uint16_t y, from, to;
        uint8_t coverage;
    };
    using Linear = std::array<double, 4>;  // a transform's m11, m12, m21, m22
    struct Placement {
        // The whole transform, image size and path this was kept for: the same again
        // gives the same points, found without mapping them.
        std::array<double, 6> transform{};
        QSize image;
        int elements = 0;
        int x0 = 0, y0 = 0;  // the area's corner on the image
        Linear linear{};
        uint64_t print = 0;
        int width = 0, height = 0;
        bool evenOdd = false;
        std::vector<QPointF> points;
        std::vector<size_t> starts;
        std::vector<Run> runs;
    };
    Linear lastLinear_{};
    bool filled_ = false;
    std::array<uint64_t, kSeen> seen_{};
    size_t seenCount_ = 0;
    std::vector<Placement> kept_;  // most recently used first
};

// Whether `painter` draws in a way spanFill gives the same pixels for.
bool spanFillable(QPainter& painter);

// Fills `path` (lines only; closed implicitly, by its own fill rule) mapped by
// `toDevice` into the painter's image with `color` (premultiplied ARGB). False, with
// nothing drawn, where the painter or the path is not of the kind described above.
// `keep`, when given, holds the runs of this path's earlier fills (see SpanRuns).
bool spanFill(QPainter& painter, const QPainterPath& path, const QTransform& toDevice, uint32_t color,
              SpanRuns* keep = nullptr);

// Draws `layer` (premultiplied ARGB) with its top-left at `at`, each pixel first cut
// by the alpha of the same pixel of `cut` (Alpha8, the layer's size), onto the
// painter's image: the pixels Qt gives when the layer is cut by drawing `cut` over it
// in DestinationIn mode and the result is drawn source-over, in one pass that leaves
// the pixels outside the cut untouched. False, with nothing drawn, where the painter
// is not spanFillable (anti-aliasing aside), has a transform or the images are of
// other formats or sizes.
bool blendCutLayer(QPainter& painter, QPoint at, const QImage& layer, const QImage& cut);

// The coverage spanFill gives each pixel of a `width` x `height` area, 0..255 row by
// row: for tests that compare it with the exact area.
std::optional<std::vector<uint8_t>> spanCoverage(const QPainterPath& path, const QTransform& toDevice, int width,
                                                 int height);

} // namespace swf::render
