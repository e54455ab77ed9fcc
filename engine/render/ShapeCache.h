#pragma once

// Converted paths per shape character, so that each shape's records are turned into
// paths once rather than every frame. Morph shapes keep a few recent ratios, as a
// morph is usually drawn at a new ratio each frame but often revisits them when the
// movie loops or several instances play in step.

#include "engine/format/Shape.h"
#include "engine/render/ShapePaths.h"
#include "engine/render/SpanFill.h"

#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QSize>
#include <QTransform>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

namespace swf::render {

// Paths made from a shape for one kind of transform and kept for the frames that
// follow: fills with their curves flattened to lines, and strokes as filled outlines
// (their curves flattened too), so that a shape that only moves is filled from these
// without flattening or stroking its curves again.
struct KeptPaths {
    // One per path of the shape; empty where that path is drawn the usual way (bitmap
    // fills drawn clamped, pixel-hinted strokes).
    std::vector<std::optional<QPainterPath>> paths;
    // Per path: the width in the kept paths' own units each stroke outline was made
    // for (0 for fills). A stroke whose width under a later matrix differs (hairlines
    // and strokes that do not scale, as the shape grows or shrinks) is drawn the usual
    // way.
    std::vector<double> strokeWidths;
    size_t bytes = 0;  // roughly what the paths take in memory
    // Per path: the coverage of its last solid fills, for a shape drawn again where it
    // was (or whole pixels away); filled in as it is drawn, and counted in runBytes.
    mutable std::vector<SpanRuns> runs;
    mutable size_t runBytes = 0;

    // Fills path `i` through spanFill with its kept runs, keeping runBytes up to date.
    bool spanFill(size_t i, QPainter& painter, const QTransform& toDevice, uint32_t color) const;
};

// The linear part of a matrix (scale, rotation, skew; the translation left out).
struct LinearPart {
    double a = 0, b = 0, c = 0, d = 0;
    bool operator==(const LinearPart&) const = default;
};

// Kept paths by key, most recently used first, at most `Capacity` of them. With
// `AtOnce` false an entry is built the second time its key is seen, so a shape drawn
// at a new key every frame only pays for looking.
template <class Key, size_t Capacity, bool AtOnce>
class RecentPaths {
public:
    static constexpr size_t kCapacity = Capacity;

    // The paths kept for `key`, built by `make` (on its second sighting unless
    // `AtOnce`); null before that, and for keys pushed out since.
    template <class Make>
    const KeptPaths* use(const Key& key, Make&& make)
    {
        auto found = std::ranges::find_if(entries_, [&](const Entry& e) { return e.key == key; });
        if (found == entries_.end()) {
            entries_.push_front({key, std::nullopt});
            if (entries_.size() > Capacity)
                entries_.pop_back();
            if (!AtOnce)
                return nullptr;
            found = entries_.begin();
        }
        if (found != entries_.begin()) {
            Entry moved = std::move(*found);
            entries_.erase(found);
            entries_.push_front(std::move(moved));
            found = entries_.begin();
        }
        if (!found->kept)
            found->kept = make(key);
        return &*found->kept;
    }

    // What the kept paths take, with the runs kept as they were drawn.
    size_t bytes() const
    {
        size_t total = 0;
        for (const Entry& e : entries_) {
            if (e.kept)
                total += e.kept->bytes + e.kept->runBytes;
        }
        return total;
    }

    void clear() { entries_.clear(); }

private:
    struct Entry {
        Key key;
        std::optional<KeptPaths> kept;
    };
    std::deque<Entry> entries_;
};

// The area a stroke of `width` along `centre` covers, as a path to fill, with its
// curves flattened (at `scale` device pixels per unit of the path).
// Strokes are drawn by filling these, whether kept or made afresh, so that a kept
// stroke looks as it did on the frame before it was kept.
QPainterPath strokeOutline(const QPainterPath& centre, const LineStyle& line, double width, double scale);

// How much `world` scales evenly in every direction (device pixels per twip), or 0 when
// it stretches one way more than another (or is not finite).
double evenScale(const Matrix& world);

// The scale paths kept for drawing at `scale` device pixels per twip are flattened
// for: the top of its quarter-octave step.
double keptScale(double scale);

// What all kept paths together may take before the least recently drawn shapes lose
// theirs, shared by a cache's shapes.
struct KeptBudget {
    size_t bytes = 0;
    size_t limit = size_t{48} << 20;
    uint64_t frame = 0;  // counts frames, to find the shapes drawn longest ago
};

struct CachedShape {
    CachedShape() = default;
    CachedShape(const CachedShape&) = delete;
    CachedShape& operator=(const CachedShape&) = delete;
    ~CachedShape();

    std::shared_ptr<const ShapeDef> shape;  // keeps the key's address from being reused
    ShapePaths paths;
    KeptBudget* budget = nullptr;  // where kept paths are counted; none: not counted

    // Union of the fills, built on first use as a mask.
    const QPainterPath& area();

    // The shape's paths on the device for `world`'s linear part, moved into place by
    // its translation: built the second time that part is seen (a shape that is
    // resized every frame would only pay for them), or null.
    const KeptPaths* device(const Matrix& world);

    static constexpr size_t kDeviceShapes = 4;

    // The shape's paths in its own space (twips), flattened finely enough for drawing
    // under `world`, whose even scale (from evenScale) is `scale`: for a shape that
    // only moves, turns, mirrors or scales evenly. Scales within a quarter octave share
    // one entry, built the first time a scale of that step is seen, so that the
    // shape's first frame is drawn as the ones after it; null for a scale that is not
    // finite and above zero.
    const KeptPaths* flat(const Matrix& world, double scale);

    static constexpr size_t kFlatShapes = 16;

    size_t keptBytes() const { return flat_.bytes() + device_.bytes() + rectBytes_; }
    // Counts what the kept paths took beyond `before` (runs kept while drawing them)
    // into the budget.
    void recount(size_t before) { count(before); }
    uint64_t lastDrawn() const { return lastDrawn_; }
    // Whole-pixel rectangles that path `i` lights under exactly `toDevice` on a device
    // of `size`, for what is worked out pixel by pixel at low quality (aliased fills,
    // thin level lines): made by `make` (false: none), and kept from the second time
    // the path is drawn under that same transform, for shapes that stay put. A few
    // placements are kept per path, for a shape placed several times. Null where
    // `make` gives none.
    template <class Make>
    const std::vector<QRect>* pixelRects(size_t i, const QTransform& toDevice, QSize size, Make&& make);

    static constexpr size_t kRectPlacements = 16;

    // Drops every kept path (the shape's own paths stay).
    void dropKept();

private:
    void count(size_t before);

    // Per path: the transforms and device sizes it was drawn at lately, most recent
    // first, with the rectangles kept for those seen twice.
    struct KeptRects {
        QTransform toDevice;
        QSize size;
        bool kept = false;
        std::vector<QRect> rects;
    };
    std::vector<std::vector<KeptRects>> rects_;
    size_t rectBytes_ = 0;

    std::optional<QPainterPath> area_;
    RecentPaths<int, kFlatShapes, true> flat_;  // by quarter-octave step of the scale
    RecentPaths<LinearPart, kDeviceShapes, false> device_;
    uint64_t lastDrawn_ = 0;
};

template <class Make>
const std::vector<QRect>* CachedShape::pixelRects(size_t i, const QTransform& toDevice, QSize size, Make&& make)
{
    static thread_local std::vector<QRect> scratch;
    if (i >= paths.paths.size())
        return nullptr;
    if (rects_.size() != paths.paths.size())
        rects_.resize(paths.paths.size());
    std::vector<KeptRects>& placements = rects_[i];
    // Exactly the same transform: a hair's difference may light other pixels.
    auto same = [&](const QTransform& t) {
        return t.m11() == toDevice.m11() && t.m12() == toDevice.m12() && t.m13() == toDevice.m13()
            && t.m21() == toDevice.m21() && t.m22() == toDevice.m22() && t.m23() == toDevice.m23()
            && t.m31() == toDevice.m31() && t.m32() == toDevice.m32() && t.m33() == toDevice.m33();
    };
    auto found = std::ranges::find_if(placements, [&](const KeptRects& k) { return same(k.toDevice) && k.size == size; });
    if (found != placements.end() && found->kept) {
        std::rotate(placements.begin(), found, found + 1);
        return &placements.front().rects;
    }
    const size_t before = keptBytes();
    if (found == placements.end()) {
        // First sight: remembered, made afresh, not kept.
        if (placements.size() >= kRectPlacements) {
            rectBytes_ -= std::min(rectBytes_, placements.back().rects.capacity() * sizeof(QRect));
            placements.pop_back();
        }
        placements.insert(placements.begin(), KeptRects{toDevice, size, false, {}});
        count(before);
        scratch.clear();
        return make(scratch) ? &scratch : nullptr;
    }
    std::rotate(placements.begin(), found, found + 1);
    KeptRects& slot = placements.front();
    if (!make(slot.rects)) {
        slot.rects = {};
        return nullptr;
    }
    slot.rects.shrink_to_fit();
    slot.kept = true;
    rectBytes_ += slot.rects.capacity() * sizeof(QRect);
    count(before);
    return &slot.rects;
}

// The coverage images of masks' areas (Alpha8, one byte a pixel), kept for the frames
// that follow: a mask that stays where it is while what it shows moves is filled once.
// A cut is found again only for the very same path (every point equal, not nearly),
// fill rule, area and smoothing.
class MaskCuts {
public:
    static constexpr size_t kKept = 4;
    static constexpr qsizetype kMaxPixels = qsizetype{2048} * 2048;  // larger cuts are not kept

    // The cut of `clip` over `area` (device pixels) at the given smoothing: a kept one,
    // or what `make` draws.
    QImage cut(const QPainterPath& clip, const QRect& area, bool smooth, const std::function<QImage()>& make);
    void clear() { kept_.clear(); }
    size_t size() const { return kept_.size(); }

private:
    struct Point {
        double x, y;
        int type;
        friend bool operator==(const Point&, const Point&) = default;
    };
    struct Entry {
        std::vector<Point> points;
        Qt::FillRule rule;
        QRect area;
        bool smooth;
        QImage image;
    };
    std::vector<Entry> kept_;  // most recently used first
};

class ShapeCache {
public:
    MaskCuts& maskCuts() { return maskCuts_; }

    CachedShape& shape(const std::shared_ptr<const ShapeDef>& shape);
    CachedShape& morph(const std::shared_ptr<const MorphShapeDef>& morph, double ratio);
    // A clip's script drawing. Drawings are replaced whenever a script draws, so their
    // entries are kept apart and dropped once nothing else holds the drawing.
    CachedShape& drawing(const std::shared_ptr<const ShapeDef>& drawing);
    void dropReplacedDrawings();
    void clear();

    // Ends a frame: when the kept paths of all shapes take more than the budget's
    // limit, the shapes drawn longest ago lose theirs until they fit in three quarters.
    void endFrame();
    const KeptBudget& budget() const { return *budget_; }
    void setKeptLimit(size_t bytes) { budget_->limit = bytes; }

    static constexpr size_t kRatiosPerMorph = 8;

private:
    struct MorphFrame {
        uint32_t ratioKey = 0;
        std::unique_ptr<CachedShape> shape;
    };
    struct MorphEntry {
        std::shared_ptr<const MorphShapeDef> morph;
        std::deque<MorphFrame> frames;  // most recently built last
    };

    std::unique_ptr<CachedShape> convert(std::shared_ptr<const ShapeDef> shape);

    // Declared first so that it outlives the shapes that count into it.
    std::unique_ptr<KeptBudget> budget_ = std::make_unique<KeptBudget>();
    std::unordered_map<const ShapeDef*, std::unique_ptr<CachedShape>> shapes_;
    std::unordered_map<const MorphShapeDef*, MorphEntry> morphs_;
    std::unordered_map<const ShapeDef*, std::unique_ptr<CachedShape>> drawings_;
    MaskCuts maskCuts_;
};

} // namespace swf::render
