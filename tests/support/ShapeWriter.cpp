#include "tests/support/ShapeWriter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace lanfan::test {

using swf::Rgba;

// ---- style arrays ----

void StyleArrays::color(BitWriter& w, Rgba c) const
{
    if (tagCode_ >= 32)
        w.rgba(c);
    else
        w.rgb(c);
}

std::vector<uint8_t> StyleArrays::fillBytes(uint8_t type, const GradientSpec* g, std::optional<double> focus) const
{
    BitWriter w;
    w.u8(type);
    w.matrix(g->matrix);
    w.u8(static_cast<uint8_t>((static_cast<unsigned>(g->spread) << 6) | (static_cast<unsigned>(g->interpolation) << 4)
                              | (g->stops.size() & 0x0F)));
    for (const swf::GradientStop& s : g->stops) {
        w.u8(s.ratio);
        color(w, s.color);
    }
    if (focus)
        w.u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(*focus * 256))));
    return w.data();
}

uint32_t StyleArrays::solid(Rgba c)
{
    BitWriter w;
    w.u8(0x00);
    color(w, c);
    fills_.push_back(w.data());
    return static_cast<uint32_t>(fills_.size());
}

uint32_t StyleArrays::linear(const GradientSpec& g)
{
    fills_.push_back(fillBytes(0x10, &g, std::nullopt));
    return static_cast<uint32_t>(fills_.size());
}

uint32_t StyleArrays::radial(const GradientSpec& g)
{
    fills_.push_back(fillBytes(0x12, &g, std::nullopt));
    return static_cast<uint32_t>(fills_.size());
}

uint32_t StyleArrays::focal(const GradientSpec& g, double focalPoint)
{
    fills_.push_back(fillBytes(0x13, &g, focalPoint));
    return static_cast<uint32_t>(fills_.size());
}

uint32_t StyleArrays::bitmap(uint16_t id, const swf::Matrix& m, bool repeats, bool smoothed)
{
    BitWriter w;
    w.u8(static_cast<uint8_t>(0x40 | (repeats ? 0 : 1) | (smoothed ? 0 : 2)));
    w.u16(id);
    w.matrix(m);
    fills_.push_back(w.data());
    return static_cast<uint32_t>(fills_.size());
}

uint32_t StyleArrays::line(uint16_t width, Rgba c)
{
    BitWriter w;
    w.u16(width);
    color(w, c);
    lines_.push_back(w.data());
    return static_cast<uint32_t>(lines_.size());
}

uint32_t StyleArrays::line2(const swf::LineStyle& style)
{
    BitWriter w;
    w.u16(style.width);
    w.ub(static_cast<uint32_t>(style.startCap), 2);
    w.ub(static_cast<uint32_t>(style.join), 2);
    w.flag(style.hasFill);
    w.flag(style.noHScale);
    w.flag(style.noVScale);
    w.flag(style.pixelHinting);
    w.ub(0, 5);
    w.flag(style.noClose);
    w.ub(static_cast<uint32_t>(style.endCap), 2);
    if (style.join == swf::JoinStyle::Miter)
        w.u16(static_cast<uint16_t>(std::lround(style.miterLimit * 256)));
    if (!style.hasFill) {
        w.rgba(style.color);
    } else if (style.fill.kind == swf::FillKind::Solid) {
        w.u8(0x00);
        w.rgba(style.fill.color);
    } else {
        GradientSpec g{style.fill.gradient.matrix, style.fill.gradient.stops, style.fill.gradient.spread,
                       style.fill.gradient.interpolation};
        w.bytes(fillBytes(style.fill.kind == swf::FillKind::LinearGradient ? 0x10 : 0x12, &g, std::nullopt));
    }
    lines_.push_back(w.data());
    return static_cast<uint32_t>(lines_.size());
}

void StyleArrays::writeCount(BitWriter& out, size_t count) const
{
    if (count >= 0xFF && tagCode_ != 2) {
        out.u8(0xFF);
        out.u16(static_cast<uint16_t>(count));
    } else {
        out.u8(static_cast<uint8_t>(count));
    }
}

void StyleArrays::write(BitWriter& out) const
{
    writeCount(out, fills_.size());
    for (const auto& f : fills_)
        out.bytes(f);
    writeCount(out, lines_.size());
    for (const auto& l : lines_)
        out.bytes(l);
}

// ---- records ----

RecordWriter::Op& RecordWriter::pendingStyle()
{
    if (ops_.empty() || ops_.back().kind != Op::Kind::Style)
        ops_.push_back({});
    return ops_.back();
}

RecordWriter& RecordWriter::moveTo(int32_t x, int32_t y)
{
    pendingStyle().move = std::make_pair(x, y);
    x_ = x;
    y_ = y;
    return *this;
}

RecordWriter& RecordWriter::fill0(uint32_t index)
{
    pendingStyle().fill0 = index;
    return *this;
}

RecordWriter& RecordWriter::fill1(uint32_t index)
{
    pendingStyle().fill1 = index;
    return *this;
}

RecordWriter& RecordWriter::line(uint32_t index)
{
    pendingStyle().line = index;
    return *this;
}

RecordWriter& RecordWriter::newStyles(StyleArrays styles)
{
    pendingStyle().newStyles = std::make_shared<StyleArrays>(std::move(styles));
    return *this;
}

RecordWriter& RecordWriter::lineTo(int32_t x, int32_t y)
{
    Op op;
    op.kind = Op::Kind::Line;
    op.dx = x - x_;
    op.dy = y - y_;
    ops_.push_back(op);
    x_ = x;
    y_ = y;
    return *this;
}

RecordWriter& RecordWriter::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y)
{
    Op op;
    op.kind = Op::Kind::Curve;
    op.cdx = cx - x_;
    op.cdy = cy - y_;
    op.dx = x - cx;
    op.dy = y - cy;
    ops_.push_back(op);
    x_ = x;
    y_ = y;
    return *this;
}

RecordWriter& RecordWriter::rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    moveTo(x0, y0);
    lineTo(x1, y0);
    lineTo(x1, y1);
    lineTo(x0, y1);
    lineTo(x0, y0);
    return *this;
}

void RecordWriter::write(BitWriter& out, size_t fillCount, size_t lineCount) const
{
    unsigned fillBits = BitWriter::unsignedBits(static_cast<uint32_t>(fillCount));
    unsigned lineBits = BitWriter::unsignedBits(static_cast<uint32_t>(lineCount));
    out.align();
    out.ub(fillBits, 4);
    out.ub(lineBits, 4);
    for (const Op& op : ops_) {
        if (op.kind == Op::Kind::Style) {
            out.flag(false);
            out.flag(op.newStyles != nullptr);
            out.flag(op.line.has_value());
            out.flag(op.fill1.has_value());
            out.flag(op.fill0.has_value());
            out.flag(op.move.has_value());
            if (op.move) {
                unsigned n = std::max(BitWriter::signedBits(op.move->first), BitWriter::signedBits(op.move->second));
                out.ub(n, 5);
                out.sb(op.move->first, n);
                out.sb(op.move->second, n);
            }
            if (op.fill0)
                out.ub(*op.fill0, fillBits);
            if (op.fill1)
                out.ub(*op.fill1, fillBits);
            if (op.line)
                out.ub(*op.line, lineBits);
            if (op.newStyles) {
                op.newStyles->write(out);
                fillBits = BitWriter::unsignedBits(static_cast<uint32_t>(op.newStyles->fillCount()));
                lineBits = BitWriter::unsignedBits(static_cast<uint32_t>(op.newStyles->lineCount()));
                out.ub(fillBits, 4);
                out.ub(lineBits, 4);
            }
            continue;
        }
        out.flag(true);
        if (op.kind == Op::Kind::Line) {
            out.flag(true);
            unsigned n = std::max({2u, BitWriter::signedBits(op.dx), BitWriter::signedBits(op.dy)});
            out.ub(n - 2, 4);
            if (op.dx != 0 && op.dy != 0) {
                out.flag(true);
                out.sb(op.dx, n);
                out.sb(op.dy, n);
            } else {
                out.flag(false);
                out.flag(op.dx == 0);  // vertical
                out.sb(op.dx == 0 ? op.dy : op.dx, n);
            }
        } else {
            out.flag(false);
            unsigned n = std::max({2u, BitWriter::signedBits(op.cdx), BitWriter::signedBits(op.cdy),
                                   BitWriter::signedBits(op.dx), BitWriter::signedBits(op.dy)});
            out.ub(n - 2, 4);
            out.sb(op.cdx, n);
            out.sb(op.cdy, n);
            out.sb(op.dx, n);
            out.sb(op.dy, n);
        }
    }
    out.ub(0, 6);  // end of shape
    out.align();
}

// ---- whole tags ----

std::vector<uint8_t> encodeShape(int tagCode, const swf::Rect& bounds, const StyleArrays& styles,
                                 const RecordWriter& records, const ShapeFlags& flags)
{
    BitWriter out;
    out.rect(bounds);
    if (tagCode == 83) {
        out.rect(flags.edgeBounds);
        out.u8(static_cast<uint8_t>((flags.nonZeroWinding ? 4 : 0) | (flags.nonScalingStrokes ? 2 : 0)
                                    | (flags.scalingStrokes ? 1 : 0)));
    }
    styles.write(out);
    records.write(out, styles.fillCount(), styles.lineCount());
    return out.data();
}

std::shared_ptr<const swf::ShapeDef> buildShape(int tagCode, const swf::Rect& bounds, const StyleArrays& styles,
                                                const RecordWriter& records, const ShapeFlags& flags)
{
    auto bytes = encodeShape(tagCode, bounds, styles, records, flags);
    swf::ByteReader reader(bytes);
    return swf::parseDefineShape(tagCode, reader);
}

uint32_t MorphStyles::solid(Rgba start, Rgba end)
{
    BitWriter w;
    w.u8(0x00);
    w.rgba(start);
    w.rgba(end);
    fills_.push_back(w.data());
    return static_cast<uint32_t>(fills_.size());
}

uint32_t MorphStyles::linear(const GradientSpec& start, const GradientSpec& end)
{
    if (start.stops.size() != end.stops.size())
        throw std::invalid_argument("morph gradients need the same number of stops");
    BitWriter w;
    w.u8(0x10);
    w.matrix(start.matrix);
    w.matrix(end.matrix);
    w.u8(static_cast<uint8_t>(start.stops.size()));
    for (size_t i = 0; i < start.stops.size(); ++i) {
        w.u8(start.stops[i].ratio);
        w.rgba(start.stops[i].color);
        w.u8(end.stops[i].ratio);
        w.rgba(end.stops[i].color);
    }
    fills_.push_back(w.data());
    return static_cast<uint32_t>(fills_.size());
}

uint32_t MorphStyles::line(uint16_t startWidth, uint16_t endWidth, Rgba start, Rgba end)
{
    BitWriter w;
    w.u16(startWidth);
    w.u16(endWidth);
    w.rgba(start);
    w.rgba(end);
    lines_.push_back(w.data());
    return static_cast<uint32_t>(lines_.size());
}

void MorphStyles::write(BitWriter& out) const
{
    out.u8(static_cast<uint8_t>(fills_.size()));
    for (const auto& f : fills_)
        out.bytes(f);
    out.u8(static_cast<uint8_t>(lines_.size()));
    for (const auto& l : lines_)
        out.bytes(l);
}

std::vector<uint8_t> encodeMorphShape(const swf::Rect& startBounds, const swf::Rect& endBounds, const MorphStyles& styles,
                                      const RecordWriter& start, const RecordWriter& end)
{
    BitWriter middle;
    styles.write(middle);
    start.write(middle, styles.fillCount(), styles.lineCount());
    const auto endOffset = static_cast<uint32_t>(middle.data().size());
    end.write(middle, 0, 0);

    BitWriter out;
    out.rect(startBounds);
    out.rect(endBounds);
    out.u32(endOffset);
    out.bytes(middle.data());
    return out.data();
}

std::shared_ptr<const swf::MorphShapeDef> buildMorphShape(const swf::Rect& startBounds, const swf::Rect& endBounds,
                                                          const MorphStyles& styles, const RecordWriter& start,
                                                          const RecordWriter& end)
{
    auto bytes = encodeMorphShape(startBounds, endBounds, styles, start, end);
    swf::ByteReader reader(bytes);
    return swf::parseDefineMorphShape(46, reader);
}

} // namespace lanfan::test
