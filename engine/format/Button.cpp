#include "engine/format/Button.h"

#include "engine/format/Filter.h"
#include "engine/format/Error.h"
#include "engine/format/Tags.h"

namespace swf {

namespace {

constexpr uint8_t kHasFilterList = 1 << 4;
constexpr uint8_t kHasBlendMode = 1 << 5;

// Reads records up to the end flag. A damaged record ends the list; what was read
// before it stands.
void readRecords(ByteReader& r, bool withColorTransform, std::vector<ButtonRecord>& out)
{
    try {
        while (!r.atEnd()) {
            uint8_t flags = r.u8();
            if (flags == 0)
                return;
            ButtonRecord record;
            record.states = flags & 0x0f;
            record.characterId = r.u16();
            record.depth = r.u16();
            record.matrix = readMatrix(r);
            if (withColorTransform)
                record.colorTransform = readColorTransform(r, true);
            if (flags & kHasFilterList)
                record.filters = readFilterList(r);
            if (flags & kHasBlendMode)
                record.blendMode = blendModeFromByte(r.u8());
            out.push_back(record);
        }
    } catch (const FormatError&) {
        // Ends the list at the damaged record; ActionOffset still finds the scripts.
        r.seek(r.size());
    }
}

void readConditionActions(std::span<const uint8_t> body, size_t start, std::vector<ButtonAction>& out)
{
    size_t at = start;
    // Each entry moves forward by at least its 4-byte head, so this ends.
    while (at + 4 <= body.size()) {
        size_t next = body[at] | (body[at + 1] << 8);
        ButtonAction action;
        action.conditions = static_cast<uint16_t>(body[at + 2] | ((body[at + 3] & 1) << 8));
        action.keyCode = body[at + 3] >> 1;
        size_t end = next == 0 ? body.size() : at + next;
        if (next != 0 && (next < 4 || end > body.size()))
            return;
        action.code = body.subspan(at + 4, end - (at + 4));
        out.push_back(action);
        if (next == 0)
            return;
        at = end;
    }
}

} // namespace

ButtonDef parseDefineButton(int tagCode, std::span<const uint8_t> body)
{
    ByteReader r(body);
    ButtonDef button;
    button.id = r.u16();
    if (tagCode == static_cast<int>(TagCode::DefineButton)) {
        readRecords(r, false, button.records);
        if (!r.atEnd())
            button.actions.push_back({kOverDownToOverUp, 0, r.rest()});
        return button;
    }
    if (r.remaining() < 3)
        return button;
    button.trackAsMenu = (r.u8() & 1) != 0;
    size_t offsetField = r.position();
    size_t actionOffset = r.u16();
    readRecords(r, true, button.records);
    if (actionOffset != 0 && offsetField + actionOffset < body.size())
        readConditionActions(body, offsetField + actionOffset, button.actions);
    return button;
}

} // namespace swf
