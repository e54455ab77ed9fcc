#pragma once

// Encodes DefineShape and DefineMorphShape bodies for tests, so that a test can state a
// shape as move/line/curve calls and hand the bytes to the real parser.

#include "engine/format/Shape.h"

#include <cstdint>
#include <memory>
#include "tests/support/SwfWriter.h"

#include <optional>
#include <vector>

namespace lanfan::test {

// The bit writer shared by the test movie builders.
using BitWriter = swf::test::BitWriter;

struct GradientSpec {
    swf::Matrix matrix;
    std::vector<swf::GradientStop> stops;
    swf::SpreadMode spread = swf::SpreadMode::Pad;
    swf::GradientInterpolation interpolation = swf::GradientInterpolation::Normal;
};

// Encoded style arrays, indices 1-based in the order added.
class StyleArrays {
public:
    explicit StyleArrays(int tagCode) : tagCode_(tagCode) {}

    uint32_t solid(swf::Rgba color);
    uint32_t linear(const GradientSpec& g);
    uint32_t radial(const GradientSpec& g);
    uint32_t focal(const GradientSpec& g, double focalPoint);
    uint32_t bitmap(uint16_t id, const swf::Matrix& m, bool repeats, bool smoothed);
    uint32_t line(uint16_t width, swf::Rgba color);
    // A LINESTYLE2 (DefineShape4): flags and colour or fill from `style`.
    uint32_t line2(const swf::LineStyle& style);

    size_t fillCount() const { return fills_.size(); }
    size_t lineCount() const { return lines_.size(); }
    void write(BitWriter& out) const;

private:
    void color(BitWriter& w, swf::Rgba c) const;
    std::vector<uint8_t> fillBytes(uint8_t type, const GradientSpec* g, std::optional<double> focus) const;
    void writeCount(BitWriter& out, size_t count) const;

    int tagCode_;
    std::vector<std::vector<uint8_t>> fills_;
    std::vector<std::vector<uint8_t>> lines_;
};

// Shape records with absolute coordinates in twips.
class RecordWriter {
public:
    RecordWriter& moveTo(int32_t x, int32_t y);
    RecordWriter& fill0(uint32_t index);
    RecordWriter& fill1(uint32_t index);
    RecordWriter& line(uint32_t index);
    // Starts new style arrays; indices given afterwards refer to them.
    RecordWriter& newStyles(StyleArrays styles);
    RecordWriter& lineTo(int32_t x, int32_t y);
    RecordWriter& curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
    // A closed axis-aligned rectangle drawn clockwise on screen (y down) from (x0, y0).
    RecordWriter& rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

    // Writes the index widths, the records and the end record.
    void write(BitWriter& out, size_t fillCount, size_t lineCount) const;

private:
    struct Op {
        enum class Kind { Style, Line, Curve } kind = Kind::Style;
        std::optional<std::pair<int32_t, int32_t>> move;
        std::optional<uint32_t> fill0, fill1, line;
        std::shared_ptr<StyleArrays> newStyles;
        int32_t cdx = 0, cdy = 0, dx = 0, dy = 0;
    };
    Op& pendingStyle();

    std::vector<Op> ops_;
    int32_t x_ = 0, y_ = 0;
};

struct ShapeFlags {
    swf::Rect edgeBounds;
    bool nonZeroWinding = false;
    bool nonScalingStrokes = false;
    bool scalingStrokes = false;
};

// The body of a DefineShape tag after its character id.
std::vector<uint8_t> encodeShape(int tagCode, const swf::Rect& bounds, const StyleArrays& styles,
                                 const RecordWriter& records, const ShapeFlags& flags = {});
std::shared_ptr<const swf::ShapeDef> buildShape(int tagCode, const swf::Rect& bounds, const StyleArrays& styles,
                                                const RecordWriter& records, const ShapeFlags& flags = {});

// Morph shapes: styles given as start/end pairs, start and end edges separately.
class MorphStyles {
public:
    uint32_t solid(swf::Rgba start, swf::Rgba end);
    uint32_t linear(const GradientSpec& start, const GradientSpec& end);
    uint32_t line(uint16_t startWidth, uint16_t endWidth, swf::Rgba start, swf::Rgba end);
    size_t fillCount() const { return fills_.size(); }
    size_t lineCount() const { return lines_.size(); }
    void write(BitWriter& out) const;

private:
    std::vector<std::vector<uint8_t>> fills_;
    std::vector<std::vector<uint8_t>> lines_;
};

std::vector<uint8_t> encodeMorphShape(const swf::Rect& startBounds, const swf::Rect& endBounds, const MorphStyles& styles,
                                      const RecordWriter& start, const RecordWriter& end);
std::shared_ptr<const swf::MorphShapeDef> buildMorphShape(const swf::Rect& startBounds, const swf::Rect& endBounds,
                                                          const MorphStyles& styles, const RecordWriter& start,
                                                          const RecordWriter& end);

} // namespace lanfan::test
