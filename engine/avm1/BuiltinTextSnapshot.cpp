// TextSnapshot: the static text a clip shows, read back as characters. A snapshot
// takes the clip's text when it is made (`new TextSnapshot(clip)`, or the clip's
// getTextSnapshot, which goes through whatever `_global.TextSnapshot` is then) and
// answers getCount, getText, findText, the selection of characters, hit tests and run
// information from that copy.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/StringUtil.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

class TextSnapshotObject final : public Object {
public:
    using Object::Object;

    void take(std::vector<StaticGlyph> glyphs)
    {
        ofClip_ = true;
        glyphs_ = std::move(glyphs);
        selected_.assign(glyphs_.size(), false);
    }

    // Made from a clip; a snapshot of anything else answers nothing.
    bool ofClip() const { return ofClip_; }
    const std::vector<StaticGlyph>& glyphs() const { return glyphs_; }
    std::vector<bool>& selected() { return selected_; }
    uint32_t selectColor = 0xFFFF00;

protected:
    // Only a snapshot of a clip holds built-in state; any other is an ordinary object.
    bool keepsNativeState() const override { return ofClip_; }

private:
    bool ofClip_ = false;
    std::vector<StaticGlyph> glyphs_;
    std::vector<bool> selected_;
};

TextSnapshotObject* self(const Value& v)
{
    Object* o = v.asObject();
    auto* snapshot = o ? o->as<TextSnapshotObject>() : nullptr;
    return snapshot && snapshot->ofClip() ? snapshot : nullptr;
}

int toIndex(Machine& m, const Value& v)
{
    const double n = m.toNumber(v);
    if (std::isnan(n))
        return 0;
    return static_cast<int>(std::clamp(n, -2147483648.0, 2147483647.0));
}

// A character range as the snapshot's methods take it: the start kept on a character,
// the end at least one past the start and not past the text.
struct Range {
    size_t begin = 0, end = 0;
};

Range clampRange(Machine& m, const Value& from, const Value& to, size_t count)
{
    if (count == 0)
        return {};
    const int last = static_cast<int>(count) - 1;
    const int begin = std::clamp(toIndex(m, from), 0, last);
    const int end = std::clamp(toIndex(m, to), begin + 1, static_cast<int>(count));
    return {static_cast<size_t>(begin), static_cast<size_t>(end)};
}

std::string textOf(const TextSnapshotObject& snapshot, Range range, bool lineEndings,
                   const std::vector<bool>* only = nullptr)
{
    std::u16string text;
    for (size_t i = range.begin; i < range.end; ++i) {
        if (only && !(*only)[i])
            continue;
        const StaticGlyph& glyph = snapshot.glyphs()[i];
        if (lineEndings && glyph.lineStart && !text.empty())
            text += u'\n';
        text += glyph.character;
    }
    return utf16ToUtf8(text);
}

Value snapshotConstruct(Machine& m, Value, std::span<const Value> args)
{
    // The snapshot is of one clip, named alone: a button, a second argument or anything
    // else makes an empty one.
    Object* target = args.size() == 1 ? args[0].asObject() : nullptr;
    ClipHost* clip = target && target->typeName() == "movieclip" ? clipHost(target) : nullptr;
    auto* snapshot = m.make<TextSnapshotObject>(m.protos().named("TextSnapshot"));
    if (clip)
        snapshot->take(clip->staticText());
    return Value(snapshot);
}

Value snapshotGetCount(Machine&, Value thisValue, std::span<const Value>)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot)
        return Value();
    return Value(static_cast<double>(snapshot->glyphs().size()));
}

// getText(start, end [, includeLineEndings])
Value snapshotGetText(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() < 2 || args.size() > 3)
        return Value();
    const Range range = clampRange(m, args[0], args[1], snapshot->glyphs().size());
    const bool lineEndings = args.size() > 2 && m.toBoolean(args[2]);
    return Value(textOf(*snapshot, range, lineEndings));
}

// findText(start, text, caseSensitive): the first index at or after `start` where the
// text runs on, -1 for none. Line endings are not part of what it searches.
Value snapshotFindText(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() != 3)
        return Value();
    const int start = toIndex(m, args[0]);
    const std::u16string wanted = utf8ToUtf16(m.toString(args[1]));
    const bool caseSensitive = m.toBoolean(args[2]);
    const auto& glyphs = snapshot->glyphs();
    if (wanted.empty() || start < 0 || static_cast<size_t>(start) >= glyphs.size())
        return Value(-1.0);
    auto fold = [caseSensitive](char16_t c) -> char16_t {
        if (!caseSensitive && c >= u'A' && c <= u'Z')
            return static_cast<char16_t>(c - u'A' + u'a');
        return c;
    };
    for (size_t at = static_cast<size_t>(start); at + wanted.size() <= glyphs.size(); ++at) {
        size_t i = 0;
        while (i < wanted.size() && fold(glyphs[at + i].character) == fold(wanted[i]))
            ++i;
        if (i == wanted.size())
            return Value(static_cast<double>(at));
    }
    return Value(-1.0);
}

// setSelected(start, end, select)
Value snapshotSetSelected(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() != 3)
        return Value();
    const Range range = clampRange(m, args[0], args[1], snapshot->glyphs().size());
    const bool select = m.toBoolean(args[2]);
    for (size_t i = range.begin; i < range.end; ++i)
        snapshot->selected()[i] = select;
    return Value();
}

// getSelected(start, end): whether any character of the range is selected.
Value snapshotGetSelected(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() != 2)
        return Value();
    const Range range = clampRange(m, args[0], args[1], snapshot->glyphs().size());
    for (size_t i = range.begin; i < range.end; ++i) {
        if (snapshot->selected()[i])
            return Value(true);
    }
    return Value(false);
}

// getSelectedText([includeLineEndings])
Value snapshotGetSelectedText(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() > 1)
        return Value();
    const bool lineEndings = !args.empty() && m.toBoolean(args[0]);
    return Value(textOf(*snapshot, {0, snapshot->glyphs().size()}, lineEndings, &snapshot->selected()));
}

// hitTestTextNearPos(x, y [, closeDist]): the character whose box holds the point, or
// the nearest one within closeDist pixels of it; -1 for none.
Value snapshotHitTestTextNearPos(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() < 2 || args.size() > 3)
        return Value();
    const double x = m.toNumber(args[0]);
    const double y = m.toNumber(args[1]);
    const double closeDist = args.size() > 2 ? m.toNumber(args[2]) : 0.0;
    if (std::isnan(x) || std::isnan(y))
        return Value(-1.0);
    double best = std::isnan(closeDist) ? 0.0 : closeDist;
    int found = -1;
    const auto& glyphs = snapshot->glyphs();
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const StaticGlyph& g = glyphs[i];
        // The box runs from the baseline up by the text height.
        const double dx = x < g.x ? g.x - x : (x > g.x + g.width ? x - g.x - g.width : 0.0);
        const double dy = y > g.y ? y - g.y : (y < g.y - g.height ? g.y - g.height - y : 0.0);
        const double distance = std::hypot(dx, dy);
        if (distance <= best && (found < 0 || distance < best)) {
            best = distance;
            found = static_cast<int>(i);
        }
    }
    return Value(static_cast<double>(found));
}

// setSelectColor(0xRRGGBB): the colour selected characters are drawn in.
Value snapshotSetSelectColor(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() != 1)
        return Value();
    snapshot->selectColor = static_cast<uint32_t>(m.toInt32(args[0])) & 0xFFFFFF;
    return Value();
}

// getTextRunInfo(start, end): one object per character of the range with its place in
// the text, selection, font, colour, height and the corners of its box.
Value snapshotGetTextRunInfo(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextSnapshotObject* snapshot = self(thisValue);
    if (!snapshot || args.size() != 2)
        return Value();
    const Range range = clampRange(m, args[0], args[1], snapshot->glyphs().size());
    Object* runs = m.newArray();
    for (size_t i = range.begin; i < range.end; ++i) {
        const StaticGlyph& g = snapshot->glyphs()[i];
        Object* info = m.newObject();
        const Value keep(info);
        info->put("indexInRun", Value(static_cast<double>(i)));
        info->put("selected", Value(static_cast<bool>(snapshot->selected()[i])));
        info->put("font", Value(g.font));
        info->put("color", Value(static_cast<double>(g.color)));
        info->put("height", Value(g.height));
        info->put("corner0x", Value(g.x));
        info->put("corner0y", Value(g.y));
        info->put("corner1x", Value(g.x + g.width));
        info->put("corner1y", Value(g.y));
        info->put("corner2x", Value(g.x + g.width));
        info->put("corner2y", Value(g.y - g.height));
        info->put("corner3x", Value(g.x));
        info->put("corner3y", Value(g.y - g.height));
        const Value item[] = {keep};
        m.callMethod(Value(runs), "push", item);
    }
    return Value(runs);
}

// MovieClip.getTextSnapshot: a snapshot made by whatever TextSnapshot now names.
Value clipGetTextSnapshot(Machine& m, Value thisValue, std::span<const Value>)
{
    const Property* cls = m.global()->findOwn("TextSnapshot");
    if (!cls || !cls->value.isObject())
        return Value();
    const Value clipArg[] = {thisValue};
    return m.construct(cls->value, clipArg);
}

// In the order the player lists them when enumerated (the last defined first).
const NativeMethod kSnapshotMethods[] = {
    {"getCount", snapshotGetCount},
    {"setSelected", snapshotSetSelected},
    {"getSelected", snapshotGetSelected},
    {"getText", snapshotGetText},
    {"getSelectedText", snapshotGetSelectedText},
    {"hitTestTextNearPos", snapshotHitTestTextNearPos},
    {"findText", snapshotFindText},
    {"setSelectColor", snapshotSetSelectColor},
    {"getTextRunInfo", snapshotGetTextRunInfo},
};

const NativeMethod kClipSnapshotMethods[] = {
    {"getTextSnapshot", clipGetTextSnapshot},
};

} // namespace

void installTextSnapshotClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("TextSnapshot", proto);
    m.newClass("TextSnapshot", proto, snapshotConstruct, snapshotConstruct);
    if (m.version() >= 6) {
        defineMethods(m, proto, kSnapshotMethods);
    } else {
        // Movies of SWF 5 see the methods' names, enumerable and empty: the class
        // belongs to later players.
        for (const NativeMethod& method : kSnapshotMethods)
            proto->put(method.name, Value());
    }
    if (m.protos().movieClip)
        defineMethods(m, m.protos().movieClip, kClipSnapshotMethods);
}

} // namespace swf::avm1
