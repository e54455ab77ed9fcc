#include "engine/format/ShapeRecords.h"

#include <string>

namespace swf {

namespace {

// Index widths and the style array that indices currently refer to.
struct RecordState {
    unsigned fillBits = 0;
    unsigned lineBits = 0;
    StyleLayer layer;
    double x = 0, y = 0;
};

// A 1-based index into the current array, turned into a 1-based index into the shape's
// concatenated list. Out-of-range indices select nothing, as the player ignores them.
uint32_t resolve(uint32_t index, uint32_t first, uint32_t count)
{
    if (index == 0 || index > count)
        return 0;
    return first + index;
}

void readIndexBits(BitReader& bits, RecordState& state)
{
    state.fillBits = bits.ub(4);
    state.lineBits = bits.ub(4);
}

ShapeRecord readStyleChange(ByteReader& r, BitReader& bits, unsigned flags, RecordState& state,
                            const NewStylesReader& newStyles)
{
    const bool hasNewStyles = flags & 0x10;
    ShapeRecord rec;
    rec.kind = ShapeRecordKind::StyleChange;
    rec.setsLine = flags & 0x08;
    rec.setsFill1 = flags & 0x04;
    rec.setsFill0 = flags & 0x02;
    rec.movesTo = flags & 0x01;
    if (rec.movesTo) {
        unsigned n = bits.ub(5);
        state.x = bits.sb(n);
        state.y = bits.sb(n);
    }
    rec.to = {state.x, state.y};
    uint32_t rawFill0 = rec.setsFill0 ? bits.ub(state.fillBits) : 0;
    uint32_t rawFill1 = rec.setsFill1 ? bits.ub(state.fillBits) : 0;
    uint32_t rawLine = rec.setsLine ? bits.ub(state.lineBits) : 0;
    if (hasNewStyles && newStyles) {
        bits.align();
        state.layer = newStyles(r);
        readIndexBits(bits, state);
        // Indices in this record already refer to the new arrays, and selections it
        // leaves out are cleared: the old indices mean nothing any more.
        rec.setsFill0 = rec.setsFill1 = rec.setsLine = true;
    }
    rec.fill0 = resolve(rawFill0, state.layer.firstFill, state.layer.fillCount);
    rec.fill1 = resolve(rawFill1, state.layer.firstFill, state.layer.fillCount);
    rec.line = resolve(rawLine, state.layer.firstLine, state.layer.lineCount);
    return rec;
}

ShapeRecord readEdge(BitReader& bits, RecordState& state)
{
    ShapeRecord rec;
    const bool straight = bits.flag();
    const unsigned n = bits.ub(4) + 2;
    if (straight) {
        rec.kind = ShapeRecordKind::StraightEdge;
        int32_t dx = 0, dy = 0;
        if (bits.flag()) {
            dx = bits.sb(n);
            dy = bits.sb(n);
        } else if (bits.flag()) {
            dy = bits.sb(n);
        } else {
            dx = bits.sb(n);
        }
        state.x += dx;
        state.y += dy;
        rec.control = {state.x, state.y};
    } else {
        rec.kind = ShapeRecordKind::CurvedEdge;
        int32_t cdx = bits.sb(n), cdy = bits.sb(n);
        int32_t adx = bits.sb(n), ady = bits.sb(n);
        rec.control = {state.x + cdx, state.y + cdy};
        state.x = rec.control.x + adx;
        state.y = rec.control.y + ady;
    }
    rec.to = {state.x, state.y};
    return rec;
}

} // namespace

// Unpacked, a record takes up to ninety times the bits it was stored in, so a large
// compressed movie could otherwise unpack one shape into gigabytes. Real shapes stay
// far below this; a shape past it is dropped like any other damaged definition.
constexpr size_t kMaxShapeRecords = size_t{1} << 22;

std::vector<ShapeRecord> readShapeRecords(ByteReader& r, StyleLayer layer, const NewStylesReader& newStyles)
{
    RecordState state;
    state.layer = layer;
    BitReader bits(r);
    readIndexBits(bits, state);
    std::vector<ShapeRecord> records;
    for (;;) {
        bool isEdge = false;
        unsigned flags = 0;
        try {
            isEdge = bits.flag();
            if (!isEdge)
                flags = bits.ub(5);
        } catch (const FormatError&) {
            // Some writers drop the end record when the data ends exactly there.
            break;
        }
        if (records.size() >= kMaxShapeRecords)
            throw FormatError("the shape has more than " + std::to_string(kMaxShapeRecords) + " records");
        if (isEdge) {
            records.push_back(readEdge(bits, state));
            continue;
        }
        if (flags == 0)
            break;
        records.push_back(readStyleChange(r, bits, flags, state, newStyles));
    }
    return records;
}

} // namespace swf
