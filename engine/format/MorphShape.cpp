#include "engine/format/Shape.h"

#include "engine/format/ShapeRecords.h"

#include <algorithm>
#include <string>

namespace swf {

namespace {

constexpr int kDefineMorphShape = 46;
constexpr int kDefineMorphShape2 = 84;

void readMorphGradient(ByteReader& r, FillStyle& start, FillStyle& end, bool focal)
{
    start.gradient.matrix = readMatrix(r);
    end.gradient.matrix = readMatrix(r);
    uint8_t header = r.u8();
    SpreadMode spread = SpreadMode::Pad;
    if ((header >> 6) == 1)
        spread = SpreadMode::Reflect;
    else if ((header >> 6) == 2)
        spread = SpreadMode::Repeat;
    auto interpolation = ((header >> 4) & 3) == 1 ? GradientInterpolation::LinearRgb : GradientInterpolation::Normal;
    for (FillStyle* f : {&start, &end}) {
        f->gradient.spread = spread;
        f->gradient.interpolation = interpolation;
    }
    size_t count = header & 0x0F;
    for (size_t i = 0; i < count; ++i) {
        GradientStop s, e;
        s.ratio = r.u8();
        s.color = readRgba(r);
        e.ratio = r.u8();
        e.color = readRgba(r);
        start.gradient.stops.push_back(s);
        end.gradient.stops.push_back(e);
    }
    if (focal) {
        start.gradient.focalPoint = std::clamp(static_cast<double>(r.fixed8()), -1.0, 1.0);
        end.gradient.focalPoint = std::clamp(static_cast<double>(r.fixed8()), -1.0, 1.0);
    }
}

MorphFillStyle readMorphFill(ByteReader& r)
{
    MorphFillStyle m;
    uint8_t type = r.u8();
    switch (type) {
    case 0x00:
        m.start.color = readRgba(r);
        m.end.color = readRgba(r);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        m.start.kind = type == 0x10 ? FillKind::LinearGradient
            : type == 0x12          ? FillKind::RadialGradient
                                    : FillKind::FocalGradient;
        m.end.kind = m.start.kind;
        readMorphGradient(r, m.start, m.end, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        m.start.kind = m.end.kind = FillKind::Bitmap;
        m.start.bitmapId = m.end.bitmapId = r.u16();
        m.start.bitmapMatrix = readMatrix(r);
        m.end.bitmapMatrix = readMatrix(r);
        m.start.bitmapRepeats = m.end.bitmapRepeats = type == 0x40 || type == 0x42;
        m.start.bitmapSmoothed = m.end.bitmapSmoothed = type == 0x40 || type == 0x41;
        break;
    default:
        throw FormatError("unknown morph fill style type " + std::to_string(type));
    }
    return m;
}

MorphLineStyle readMorphLine(ByteReader& r, bool lineStyle2)
{
    MorphLineStyle m;
    m.start.width = r.u16();
    m.end.width = r.u16();
    if (lineStyle2 && readLineStyle2Flags(r, m.start)) {
        MorphFillStyle fill = readMorphFill(r);
        m.start.fill = fill.start;
        m.end = m.start;
        m.end.width = m.start.width;
        m.end.fill = fill.end;
        if (fill.start.kind == FillKind::Solid) {
            m.start.hasFill = m.end.hasFill = false;
            m.start.color = fill.start.color;
            m.end.color = fill.end.color;
        }
        return m;
    }
    uint16_t endWidth = m.end.width;
    m.end = m.start;
    m.end.width = endWidth;
    m.start.color = readRgba(r);
    m.end.color = readRgba(r);
    return m;
}

// A straight edge written as a curve, so that it can pair with a curve.
ShapeRecord asCurve(const ShapeRecord& edge, Point from)
{
    ShapeRecord curve = edge;
    if (edge.kind == ShapeRecordKind::StraightEdge) {
        curve.kind = ShapeRecordKind::CurvedEdge;
        curve.control = {(from.x + edge.to.x) / 2, (from.y + edge.to.y) / 2};
    }
    return curve;
}

// Pairs the start and end record lists one to one. The end shape carries only moves
// and edges; its styles come from the start shape.
void pairRecords(const std::vector<ShapeRecord>& start, const std::vector<ShapeRecord>& end, MorphShapeDef& morph)
{
    Point startPos, endPos;
    size_t j = 0;
    auto takeEndMoves = [&] {
        while (j < end.size() && end[j].kind == ShapeRecordKind::StyleChange) {
            if (end[j].movesTo)
                endPos = end[j].to;
            ++j;
        }
    };
    for (const ShapeRecord& rec : start) {
        if (rec.kind == ShapeRecordKind::StyleChange) {
            if (j < end.size() && end[j].kind == ShapeRecordKind::StyleChange) {
                if (end[j].movesTo)
                    endPos = end[j].to;
                ++j;
            }
            ShapeRecord endRec = rec;
            endRec.to = endPos;
            if (rec.movesTo)
                startPos = rec.to;
            morph.startRecords.push_back(rec);
            morph.endRecords.push_back(endRec);
            continue;
        }
        takeEndMoves();
        ShapeRecord endEdge;
        if (j < end.size()) {
            endEdge = end[j++];
        } else {
            // The end shape has fewer edges: the extra ones shrink to its pen position.
            endEdge.kind = ShapeRecordKind::StraightEdge;
            endEdge.control = endEdge.to = endPos;
        }
        ShapeRecord startEdge = rec;
        if (startEdge.kind != endEdge.kind) {
            startEdge = asCurve(startEdge, startPos);
            endEdge = asCurve(endEdge, endPos);
        }
        startPos = startEdge.to;
        endPos = endEdge.to;
        morph.startRecords.push_back(startEdge);
        morph.endRecords.push_back(endEdge);
    }
}

Point lerpPoint(Point a, Point b, double t)
{
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

int32_t lerpTwips(int32_t a, int32_t b, double t)
{
    return static_cast<int32_t>(a + (static_cast<double>(b) - a) * t);
}

Rect lerpRect(const Rect& a, const Rect& b, double t)
{
    return {lerpTwips(a.xMin, b.xMin, t), lerpTwips(a.xMax, b.xMax, t), lerpTwips(a.yMin, b.yMin, t),
            lerpTwips(a.yMax, b.yMax, t)};
}

} // namespace

std::shared_ptr<const MorphShapeDef> parseDefineMorphShape(int tagCode, ByteReader& body)
{
    if (tagCode != kDefineMorphShape && tagCode != kDefineMorphShape2)
        throw FormatError("not a morph shape tag: " + std::to_string(tagCode));
    const bool version2 = tagCode == kDefineMorphShape2;
    auto morph = std::make_shared<MorphShapeDef>();
    morph->tagCode = tagCode;
    morph->startBounds = readRect(body);
    morph->endBounds = readRect(body);
    morph->startEdgeBounds = morph->startBounds;
    morph->endEdgeBounds = morph->endBounds;
    if (version2) {
        morph->startEdgeBounds = readRect(body);
        morph->endEdgeBounds = readRect(body);
        uint8_t flags = body.u8();
        morph->usesNonScalingStrokes = flags & 0x02;
        morph->usesScalingStrokes = flags & 0x01;
    }
    uint32_t endEdgesOffset = body.u32();
    const size_t offsetBase = body.position();

    // The smallest morph fill is two RGBA colours and a type byte; a morph line two
    // widths and two colours.
    size_t fillCount = readStyleCount(body, true, 9);
    for (size_t i = 0; i < fillCount; ++i)
        morph->fillStyles.push_back(readMorphFill(body));
    size_t lineCount = readStyleCount(body, true, 12);
    for (size_t i = 0; i < lineCount; ++i)
        morph->lineStyles.push_back(readMorphLine(body, version2));

    StyleLayer layer{0, static_cast<uint32_t>(fillCount), 0, static_cast<uint32_t>(lineCount)};
    auto startRecords = readShapeRecords(body, layer, {});
    // The offset says where the end edges start; trust it only when it points inside.
    if (endEdgesOffset != 0 && endEdgesOffset <= body.size() - offsetBase)
        body.seek(offsetBase + endEdgesOffset);
    std::vector<ShapeRecord> endRecords;
    if (!body.atEnd())
        endRecords = readShapeRecords(body, layer, {});
    pairRecords(startRecords, endRecords, *morph);
    return morph;
}

Rect morphBounds(const MorphShapeDef& morph, double ratio)
{
    return lerpRect(morph.startBounds, morph.endBounds, std::clamp(ratio, 0.0, 1.0));
}

ShapeDef morphShapeAt(const MorphShapeDef& morph, double ratio)
{
    const double t = std::clamp(ratio, 0.0, 1.0);
    ShapeDef shape;
    shape.tagCode = morph.tagCode;
    shape.bounds = morphBounds(morph, t);
    shape.edgeBounds = lerpRect(morph.startEdgeBounds, morph.endEdgeBounds, t);
    shape.usesNonScalingStrokes = morph.usesNonScalingStrokes;
    shape.usesScalingStrokes = morph.usesScalingStrokes;
    shape.fillStyles.reserve(morph.fillStyles.size());
    for (const MorphFillStyle& f : morph.fillStyles)
        shape.fillStyles.push_back(lerpFill(f.start, f.end, t));
    shape.lineStyles.reserve(morph.lineStyles.size());
    for (const MorphLineStyle& l : morph.lineStyles)
        shape.lineStyles.push_back(lerpLine(l.start, l.end, t));
    shape.layers.push_back({0, static_cast<uint32_t>(shape.fillStyles.size()), 0,
                            static_cast<uint32_t>(shape.lineStyles.size())});
    const size_t count = std::min(morph.startRecords.size(), morph.endRecords.size());
    shape.records.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        ShapeRecord rec = morph.startRecords[i];
        rec.control = lerpPoint(morph.startRecords[i].control, morph.endRecords[i].control, t);
        rec.to = lerpPoint(morph.startRecords[i].to, morph.endRecords[i].to, t);
        shape.records.push_back(rec);
    }
    return shape;
}

} // namespace swf
