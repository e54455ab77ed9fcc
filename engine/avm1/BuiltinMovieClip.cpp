// MovieClip: the methods scripts call on clips, forwarded to the clip's host.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MouseObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/NetStreamObject.h"
#include "engine/avm1/SoundTransform.h"
#include "engine/avm1/TextFieldObject.h"

#include <array>
#include <cctype>
#include <cmath>
#include <limits>

namespace swf::avm1 {

bool isPlacedObjectProperty(ClipProperty property)
{
    using P = ClipProperty;
    switch (property) {
    case P::X: case P::Y: case P::XScale: case P::YScale: case P::Alpha: case P::Visible: case P::Width:
    case P::Height: case P::Rotation: case P::Target: case P::Name:
        return true;
    default:
        return false;
    }
}

std::optional<ClipProperty> clipPropertyByName(std::string_view name)
{
    static constexpr std::array<std::string_view, 22> names = {
        "_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
        "_width", "_height", "_rotation", "_target", "_framesloaded", "_name", "_droptarget", "_url",
        "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};
    if (name.size() < 2 || name[0] != '_')
        return std::nullopt;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].size() != name.size())
            continue;
        bool same = true;
        for (size_t k = 0; k < name.size() && same; ++k)
            same = std::tolower(static_cast<unsigned char>(name[k])) == names[i][k];
        if (same)
            return static_cast<ClipProperty>(i);
    }
    return std::nullopt;
}

namespace {

// The live clip `self` addresses (a reference to a removed clip follows its path).
ClipHost* host(Machine& m, const Value& self)
{
    Object* o = self.asObject();
    return clipHost(o ? o->referent(m) : nullptr);
}

// Depths scripts give are offset from the timeline's, which start at -16384.
constexpr int kScriptDepthOffset = 16384;

// A depth a script gave, in the display list's terms; a depth past the end of the
// range becomes -1, which every depth operation refuses.
int listDepth(Machine& m, const Value& v)
{
    int64_t depth = static_cast<int64_t>(m.toInt32(v)) + kScriptDepthOffset;
    return depth > std::numeric_limits<int32_t>::max() ? -1 : static_cast<int>(depth);
}

// A clip named by a slash or dot path from `from` ("/", "/a/b", "../c", "a.b",
// "_root.a", "_parent.b", "_level0.c").
ClipHost* clipAtPath(Machine& m, ClipHost* from, std::string_view path, bool caseSensitive)
{
    ClipHost* current = from;
    if (!path.empty() && path[0] == '/') {
        Object* root = from->rootObject();
        current = clipHost(root);
        path.remove_prefix(1);
    }
    while (current && !path.empty()) {
        // ".." is a segment of its own, not two dots.
        auto sep = path.starts_with("..") ? size_t{2} : path.find_first_of("/.");
        std::string_view segment = path.substr(0, sep);
        path = sep >= path.size() ? std::string_view() : path.substr(sep + (path[sep] == '/' || path[sep] == '.' ? 1 : 0));
        if (segment.empty())
            continue;
        Object* next = nullptr;
        if (segment == ".." || segment == "_parent")
            next = current->parentObject();
        else if (segment == "_root")
            next = current->rootObject();
        else if (segment.starts_with("_level") && segment.size() > 6 && segment.size() < 12 &&
                 segment.find_first_not_of("0123456789", 6) == std::string_view::npos)
            next = m.level(std::stoi(std::string(segment.substr(6))));
        else
            next = current->childByName(segment, caseSensitive);
        current = clipHost(next);
    }
    return current;
}

void gotoAndMaybePlay(Machine& m, ClipHost* clip, const Value& frameValue, bool play)
{
    if (!clip)
        return;
    Value frame = frameValue;
    if (frame.isString()) {
        // "path:frame" addresses another clip.
        const std::string& text = frame.asString();
        auto colon = text.rfind(':');
        if (colon != std::string::npos) {
            clip = clipAtPath(m, clip, std::string_view(text).substr(0, colon), m.caseSensitive());
            if (!clip)
                return;
            frame = Value(text.substr(colon + 1));
        }
    }
    if (frame.isString()) {
        double n = stringToNumber(frame.asString(), 7);
        if (std::isnan(n)) {
            if (!clip->gotoLabel(frame.asString()))
                return;
        } else {
            clip->gotoFrame(static_cast<int>(std::clamp(n, -1e9, 1e9)));
        }
    } else {
        double n = m.toNumber(frame);
        if (std::isnan(n))
            return;
        clip->gotoFrame(static_cast<int>(std::clamp(n, -1e9, 1e9)));
    }
    if (play)
        clip->play();
    else
        clip->stop();
}

Value movieClipPlay(Machine& m, Value self, std::span<const Value>)
{
    if (ClipHost* c = host(m, self))
        c->play();
    return Value();
}

Value movieClipStop(Machine& m, Value self, std::span<const Value>)
{
    if (ClipHost* c = host(m, self))
        c->stop();
    return Value();
}

Value movieClipNextFrame(Machine& m, Value self, std::span<const Value>)
{
    if (ClipHost* c = host(m, self))
        c->nextFrame();
    return Value();
}

Value movieClipPrevFrame(Machine& m, Value self, std::span<const Value>)
{
    if (ClipHost* c = host(m, self))
        c->prevFrame();
    return Value();
}

Value movieClipGotoAndPlay(Machine& m, Value self, std::span<const Value> args)
{
    gotoAndMaybePlay(m, host(m, self), arg(args, 0), true);
    return Value();
}

Value movieClipGotoAndStop(Machine& m, Value self, std::span<const Value> args)
{
    gotoAndMaybePlay(m, host(m, self), arg(args, 0), false);
    return Value();
}

Value movieClipGetDepth(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* c = host(m, self);
    return c ? Value(static_cast<double>(c->depth() - kScriptDepthOffset)) : Value();
}

Value movieClipGetNextHighestDepth(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* c = host(m, self);
    return c ? Value(static_cast<double>(std::max(0, c->nextHighestDepth() - kScriptDepthOffset))) : Value();
}

Value movieClipSwapDepths(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    Value target = arg(args, 0);
    // No depth at all leaves the clip where it is; anything else that is not a clip
    // (a path naming none, NaN, false) is a number, and so a depth.
    if (!c || target.isUndefined())
        return Value();
    if (target.isString() && !target.asString().empty()) {
        if (ClipHost* other = clipAtPath(m, c, target.asString(), m.caseSensitive()))
            target = Value(other->scriptObject());
    }
    if (target.isObject())
        c->swapDepths(target);
    else
        c->swapDepths(Value(static_cast<double>(listDepth(m, target))));
    return Value();
}

Value movieClipGetInstanceAtDepth(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    if (!c || args.empty())
        return Value();
    Object* child = c->childAtDepth(listDepth(m, args[0]));
    return child ? Value(child) : Value();
}

Value movieClipDuplicateMovieClip(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    if (!c || args.size() < 2)
        return Value();
    // Arguments convert in the order given: a script sees its toString and valueOf
    // calls in that order.
    std::string name = m.toString(args[0]);
    int depth = listDepth(m, args[1]);
    Object* copy = c->duplicate(name, depth, arg(args, 2).asObject());
    return copy ? Value(copy) : Value();
}

Value movieClipRemoveMovieClip(Machine& m, Value self, std::span<const Value>)
{
    if (ClipHost* c = host(m, self))
        c->removeClip();
    return Value();
}

Value movieClipAttachMovie(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    if (!c || args.size() < 3)
        return Value();
    std::string linkage = m.toString(args[0]);
    std::string name = m.toString(args[1]);
    int depth = listDepth(m, args[2]);
    Object* clip = c->attachMovie(linkage, name, depth, arg(args, 3).asObject());
    return clip ? Value(clip) : Value();
}

Value movieClipCreateEmptyMovieClip(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    if (!c || args.size() < 2)
        return Value();
    std::string name = m.toString(args[0]);
    int depth = listDepth(m, args[1]);
    Object* clip = c->createEmptyClip(name, depth);
    return clip ? Value(clip) : Value();
}

// attachAudio(netStream): the stream's sound plays in this clip's sound scope, so the
// clip's Sound objects set its volume and pan (and stop it).
Value movieClipAttachAudio(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    Object* source = arg(args, 0).asObject();
    auto* stream = source ? source->as<NetStreamObject>() : nullptr;
    SoundTransform* scope = c ? c->soundTransform() : nullptr;
    if (!stream || !scope)
        return Value();
    stream->soundScope = scope->scope;
    if (stream->media)
        stream->media->setSoundScope(scope->scope);
    return Value();
}

// getBounds and getRect: the box in the clip's own space, or in that of the clip given
// as an object or named by a path from this one (anything else is taken as a path);
// undefined when no clip has that name. A clip that shows nothing has the box of the
// largest coordinates twips hold.
Value clipBox(Machine& m, Value self, std::span<const Value> args, bool strokes)
{
    ClipHost* c = host(m, self);
    if (!c)
        return Value();
    Object* space = nullptr;
    if (!args.empty()) {
        ClipHost* other = host(m, args[0]);
        if (!other) {
            // "path:name" names the member `name` of the clip at the path.
            std::string path = m.toString(args[0]);
            if (auto colon = path.rfind(':'); colon != std::string::npos)
                path[colon] = '/';
            other = path.empty() ? nullptr : clipAtPath(m, c, path, m.caseSensitive());
        }
        if (!other)
            return Value();
        space = other->scriptObject();
    }
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!c->bounds(space, strokes, x0, y0, x1, y1))
        x0 = y0 = x1 = y1 = 0x7FFFFFF / 20.0;
    Object* r = m.newObject();
    r->put("xMin", Value(x0));
    r->put("xMax", Value(x1));
    r->put("yMin", Value(y0));
    r->put("yMax", Value(y1));
    return Value(r);
}

Value movieClipGetBounds(Machine& m, Value self, std::span<const Value> args)
{
    return clipBox(m, self, args, true);
}

Value movieClipGetRect(Machine& m, Value self, std::span<const Value> args)
{
    return clipBox(m, self, args, false);
}

// What a setMask argument names: a clip or a text field itself, or a path (numbers
// included) from the clip whose script is running, each step a child, a member holding
// a clip, or _parent, _root or _levelN, the last step also a member holding a field;
// "path:name" names a member of the clip at the path. Other objects name nothing,
// without being asked for their text.
struct MaskTarget {
    ClipHost* clip = nullptr;
    TextFieldHost* field = nullptr;
};

MaskTarget maskTargetOf(Machine& m, ClipHost* self, const Value& v)
{
    if (v.isObject()) {
        if (ClipHost* clip = host(m, v))
            return {clip, nullptr};
        return {nullptr, textFieldHost(v.asObject())};
    }
    std::string path = m.toString(v);
    ClipHost* from = clipHost(m.currentClip());
    if (!from)
        from = self;
    if (auto colon = path.rfind(':'); colon != std::string::npos) {
        from = clipAtPath(m, from, std::string_view(path).substr(0, colon), m.caseSensitive());
        path.erase(0, colon + 1);
    }
    std::string_view rest = path;
    while (from && !rest.empty()) {
        auto sep = rest.starts_with("..") ? size_t{2} : rest.find_first_of("/.");
        std::string_view segment = rest.substr(0, sep);
        rest = sep >= rest.size() ? std::string_view() : rest.substr(sep + (rest[sep] == '/' || rest[sep] == '.' ? 1 : 0));
        if (segment.empty())
            continue;
        if (segment == ".." || segment == "_parent" || segment == "_root" || segment.starts_with("_level")) {
            from = clipAtPath(m, from, segment, m.caseSensitive());
            continue;
        }
        Value member = m.getMember(Value(from->scriptObject()), segment);
        from = host(m, member);
        if (!from && rest.empty())
            return {nullptr, textFieldHost(member.asObject())};
    }
    return path.empty() ? MaskTarget{} : MaskTarget{from, nullptr};
}

Value movieClipSetMask(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    if (!c || args.empty())
        return Value();
    if (args[0].isNullish())
        return Value(c->setMask(nullptr));
    MaskTarget mask = maskTargetOf(m, c, args[0]);
    if (mask.field)
        return Value(c->setTextFieldMask(mask.field));
    return Value(mask.clip && c->setMask(mask.clip));
}

Value movieClipHitTest(Machine& m, Value self, std::span<const Value> args)
{
    ClipHost* c = host(m, self);
    if (!c)
        return Value(false);
    if (args.size() >= 2) {
        double x = m.toNumber(args[0]);
        double y = m.toNumber(args[1]);
        return Value(c->hitTestPoint(x, y, m.toBoolean(arg(args, 2))));
    }
    // The other clip as an object or as a path from this one.
    Value target = arg(args, 0);
    ClipHost* other = nullptr;
    if (target.isString())
        other = target.asString().empty() ? nullptr : clipAtPath(m, c, target.asString(), m.caseSensitive());
    else
        other = host(m, target);
    return Value(other && c->boundsOverlap(*other));
}

// Clips are made by the timeline, not by `new`: the constructor leaves `this` alone and
// answers nothing (a subclass's super() reads undefined).
Value makeNoClip(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value convertPoint(Machine& m, Value self, std::span<const Value> args, bool toGlobal)
{
    ClipHost* c = host(m, self);
    Object* point = arg(args, 0).asObject();
    if (!c || !point)
        return Value();
    double x = m.toNumber(m.getMember(Value(point), "x"));
    double y = m.toNumber(m.getMember(Value(point), "y"));
    if (toGlobal)
        c->localToGlobal(x, y);
    else
        c->globalToLocal(x, y);
    m.setMember(Value(point), "x", Value(x));
    m.setMember(Value(point), "y", Value(y));
    return Value();
}

Value movieClipLocalToGlobal(Machine& m, Value self, std::span<const Value> args)
{
    return convertPoint(m, self, args, true);
}

Value movieClipGlobalToLocal(Machine& m, Value self, std::span<const Value> args)
{
    return convertPoint(m, self, args, false);
}

// startDrag(lockCenter, left, top, right, bottom): the box only when all four are given.
Value movieClipStartDrag(Machine& m, Value self, std::span<const Value> args)
{
    Object* clip = self.asObject();
    if (!clipHost(clip))
        return Value();
    const bool lockCenter = !args.empty() && m.toBoolean(args[0]);
    std::optional<DragBounds> bounds;
    if (args.size() >= 5)
        bounds = DragBounds{m.toNumber(args[1]), m.toNumber(args[2]), m.toNumber(args[3]), m.toNumber(args[4])};
    startDrag(m, clip, lockCenter, bounds);
    return Value();
}

// Ends whichever drag is going on, as the stopDrag action does.
Value movieClipStopDrag(Machine& m, Value, std::span<const Value>)
{
    stopDrag(m);
    return Value();
}

Value movieClipGetBytesLoaded(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* clip = host(m, self);
    return Value(clip ? clip->bytesLoaded() : 0.0);
}

Value movieClipGetBytesTotal(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* clip = host(m, self);
    return Value(clip ? clip->bytesTotal() : 0.0);
}

Value movieClipGetSWFVersion(Machine& m, Value self, std::span<const Value>)
{
    ClipHost* clip = host(m, self);
    return Value(clip ? clip->swfVersion() : -1);
}

// Methods that came with later players are hidden from older movies, as the reference
// player hides them: getDepth, createEmptyMovieClip, attachAudio and setMask from
// SWF 6, the depth queries and getSWFVersion from SWF 7, getRect from SWF 8.
constexpr uint16_t kHidden = PropertyFlag::DontEnum | PropertyFlag::DontDelete;

const NativeMethod kMovieClipMethods[] = {
    {"play", movieClipPlay},
    {"stop", movieClipStop},
    {"nextFrame", movieClipNextFrame},
    {"prevFrame", movieClipPrevFrame},
    {"gotoAndPlay", movieClipGotoAndPlay},
    {"gotoAndStop", movieClipGotoAndStop},
    {"getDepth", movieClipGetDepth, kHidden | PropertyFlag::Version6},
    {"getNextHighestDepth", movieClipGetNextHighestDepth, kHidden | PropertyFlag::Version7},
    {"swapDepths", movieClipSwapDepths},
    {"getInstanceAtDepth", movieClipGetInstanceAtDepth, kHidden | PropertyFlag::Version7},
    {"duplicateMovieClip", movieClipDuplicateMovieClip},
    {"removeMovieClip", movieClipRemoveMovieClip},
    {"attachMovie", movieClipAttachMovie},
    {"createEmptyMovieClip", movieClipCreateEmptyMovieClip, kHidden | PropertyFlag::Version6},
    {"getBounds", movieClipGetBounds},
    {"getRect", movieClipGetRect, kHidden | PropertyFlag::Version8},
    {"attachAudio", movieClipAttachAudio, kHidden | PropertyFlag::Version6},
    {"hitTest", movieClipHitTest},
    {"setMask", movieClipSetMask, kHidden | PropertyFlag::Version6},
    {"localToGlobal", movieClipLocalToGlobal},
    {"globalToLocal", movieClipGlobalToLocal},
    {"startDrag", movieClipStartDrag},
    {"stopDrag", movieClipStopDrag},
    {"getBytesLoaded", movieClipGetBytesLoaded},
    {"getBytesTotal", movieClipGetBytesTotal},
    {"getSWFVersion", movieClipGetSWFVersion, kHidden | PropertyFlag::Version7},
};

} // namespace

void installMovieClipClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().movieClip = proto;
    m.newClass("MovieClip", proto, makeNoClip);
    defineMethods(m, proto, kMovieClipMethods);
    installDrawingMethods(m, proto);
    // Every clip starts enabled and showing the hand over its button handlers: scripts
    // read these from the prototype (interface components draw themselves disabled
    // while `enabled` reads false) and may shadow them on the clip.
    proto->put("enabled", Value(true), PropertyFlag::DontEnum);
    proto->put("useHandCursor", Value(true), PropertyFlag::DontEnum);
}

} // namespace swf::avm1
