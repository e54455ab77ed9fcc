#include "tests/support/ButtonWriter.h"

#include "tests/support/ShapeWriter.h"

namespace swf::test {

namespace {

void writeParts(BitWriter& w, const std::vector<ButtonPart>& parts, bool withColorTransform)
{
    for (const ButtonPart& part : parts) {
        w.u8(part.states);
        w.u16(part.characterId);
        w.u16(part.depth);
        w.matrix(part.matrix);
        if (withColorTransform)
            w.colorTransform(part.colorTransform, true);
    }
    w.u8(0);
}

} // namespace

std::vector<uint8_t> defineButton2Body(uint16_t id, const std::vector<ButtonPart>& parts,
                                       const std::vector<ButtonScript>& scripts, bool trackAsMenu)
{
    BitWriter w;
    w.u16(id);
    w.u8(trackAsMenu ? 1 : 0);
    BitWriter records;
    writeParts(records, parts, true);
    const auto& recordBytes = records.data();
    w.u16(scripts.empty() ? 0 : static_cast<uint16_t>(2 + recordBytes.size()));
    w.bytes(recordBytes);
    for (size_t i = 0; i < scripts.size(); ++i) {
        std::vector<uint8_t> code = scripts[i].actions.build();
        bool last = i + 1 == scripts.size();
        w.u16(last ? 0 : static_cast<uint16_t>(4 + code.size()));
        w.u8(static_cast<uint8_t>(scripts[i].conditions & 0xff));
        w.u8(static_cast<uint8_t>((scripts[i].keyCode << 1) | ((scripts[i].conditions >> 8) & 1)));
        w.bytes(code);
    }
    return w.take();
}

std::vector<uint8_t> defineButtonBody(uint16_t id, const std::vector<ButtonPart>& parts, const ActionBuilder& onRelease)
{
    BitWriter w;
    w.u16(id);
    writeParts(w, parts, false);
    w.bytes(onRelease.build());
    return w.take();
}

void defineButton2(TagStream& stream, uint16_t id, const std::vector<ButtonPart>& parts,
                   const std::vector<ButtonScript>& scripts, bool trackAsMenu)
{
    stream.tag(34, defineButton2Body(id, parts, scripts, trackAsMenu));
}

void defineButton(TagStream& stream, uint16_t id, const std::vector<ButtonPart>& parts, const ActionBuilder& onRelease)
{
    stream.tag(7, defineButtonBody(id, parts, onRelease));
}

void defineFilledRect(TagStream& stream, uint16_t id, const Rect& area, Rgba color)
{
    lanfan::test::StyleArrays styles(32);
    uint32_t fill = styles.solid(color);
    lanfan::test::RecordWriter records;
    records.fill0(fill).rect(area.xMin, area.yMin, area.xMax, area.yMax);
    BitWriter w;
    w.u16(id);
    w.bytes(lanfan::test::encodeShape(32, area, styles, records));
    stream.tag(32, w.take());
}

} // namespace swf::test
