// Timeline actions: frames, targets, clip properties, duplicating and removing clips,
// URLs, dragging and trace. They address the current target clip and do nothing when
// the target is not a clip.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/DecodedBlock.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/MouseObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/avm1/UrlRequests.h"
#include "engine/avm1/VideoObject.h"
#include "engine/format/Reader.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

using support::isClip;

ClipHost* Interpreter::targetClip(Context& ctx)
{
    return clipHost(ctx.target);
}

Object* Interpreter::liveTarget(Context& ctx)
{
    // A target that has left the stage gives way to the script's own clip, and that
    // in turn (when it has gone too) to the clip now at its path, else the root.
    if (isClip(ctx.target) || !ctx.target || !ctx.target->as<MovieClipObject>())
        return ctx.target;
    if (isClip(ctx.baseClip))
        return ctx.baseClip;
    Object* now = ctx.baseClip ? ctx.baseClip->referent(m_) : nullptr;
    return isClip(now) ? now : m_.level(0);
}

// The actions that name no target of their own act on the current one; under a
// tellTarget whose path named nothing they do nothing at all (GotoFrame2's frame,
// which may carry a path of its own, still goes where the failed target sent it).
ClipHost* Interpreter::namedTargetClip(Context& ctx)
{
    return ctx.targetMissing ? nullptr : targetClip(ctx);
}

#define LANFAN_CLIP_ACTION(name, call)                                   \
    Interpreter::Outcome Interpreter::action##name(Context& ctx, Step&)  \
    {                                                                    \
        if (ClipHost* clip = namedTargetClip(ctx))                       \
            clip->call();                                                \
        return {};                                                       \
    }
LANFAN_CLIP_ACTION(NextFrame, nextFrame)
LANFAN_CLIP_ACTION(PrevFrame, prevFrame)
LANFAN_CLIP_ACTION(Play, play)
LANFAN_CLIP_ACTION(Stop, stop)
LANFAN_CLIP_ACTION(ToggleQuality, toggleQuality)
LANFAN_CLIP_ACTION(StopSounds, stopSounds)
#undef LANFAN_CLIP_ACTION

Interpreter::Outcome Interpreter::actionGotoFrame(Context& ctx, Step& step)
{
    // Goes to the frame and stops there.
    ByteReader r(step.action.payload);
    if (ClipHost* clip = namedTargetClip(ctx)) {
        clip->gotoFrame(r.u16() + 1);
        clip->stop();
    }
    return {};
}

Interpreter::Outcome Interpreter::actionGotoLabel(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    if (ClipHost* clip = namedTargetClip(ctx))
        clip->gotoLabel(r.cstring());
    return {};
}

Interpreter::Outcome Interpreter::actionGotoFrame2(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    uint8_t flags = r.u8();
    int bias = (flags & 2) ? r.u16() : 0;
    Value frame = pop(ctx);
    // An object names its frame by its string, as a path would.
    if (frame.isObject())
        frame = Value(m_.toString(frame));
    // "path:frame" and "path.frame" address another clip.
    if (std::string path, name; frame.isString() && splitPath(frame.asString(), path, name))
        gotoFrameValue(resolveTarget(ctx, path), Value(name), flags & 1, bias);
    else
        gotoFrameValue(ctx.target, frame, flags & 1, bias);
    return {};
}

void Interpreter::gotoFrameValue(Object* target, const Value& frame, bool play, int bias)
{
    if (!isClip(target))
        return;
    ClipHost* clip = clipHost(target);
    if (frame.isString()) {
        const std::string& text = frame.asString();
        if (text.find(':') != std::string::npos)
            return;
        double n = stringToNumber(text, 7);
        if (!std::isnan(n))
            clip->gotoFrame(static_cast<int>(std::clamp(n, -1e9, 1e9)) + bias);
        else if (!clip->gotoLabel(text))
            return;
    } else {
        double n = m_.toNumber(frame);
        if (std::isnan(n))
            return;
        clip->gotoFrame(static_cast<int>(std::clamp(n, -1e9, 1e9)) + bias);
    }
    if (play)
        clip->play();
    else
        clip->stop();
}

bool Interpreter::frameLoaded(Context& ctx, int64_t index)
{
    // Frames before the first count as loaded. A movie that has loaded whole has every
    // frame the format allows, up to the 16001st, and none past it.
    constexpr int64_t kLastFrameIndex = 16000;
    ClipHost* clip = targetClip(ctx);
    if (!clip || index < 0)
        return true;
    const double loaded = m_.toNumber(clip->getProperty(ClipProperty::FramesLoaded));
    if (loaded >= clip->totalFrames())
        return index <= kLastFrameIndex;
    return index < loaded;
}

size_t Interpreter::skipActions(Context& ctx, size_t next, unsigned count)
{
    DecodedBlock& block = *ctx.block;
    for (unsigned i = 0; i < count; ++i) {
        uint32_t index = block.at(next);
        if (index == DecodedBlock::kOutside || block.action(index).endOfStream)
            break;
        next = block.action(index).record.nextOffset;
    }
    return next;
}

Interpreter::Outcome Interpreter::actionWaitForFrame(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    const uint16_t frame = r.u16();
    const uint8_t skip = r.u8();
    if (frameLoaded(ctx, frame))
        return {};
    return {Flow::JumpOut, skipActions(ctx, step.next, skip)};
}

Interpreter::Outcome Interpreter::actionWaitForFrame2(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    const uint8_t skip = r.u8();
    Value frame = pop(ctx);
    if (frame.isObject())
        frame = Value(m_.toString(frame));
    // A whole frame number counts from 1 and wraps as a 32-bit one; anything else (a
    // label, a fraction, NaN) names a frame that is there.
    double n = frame.isString() ? stringToNumber(frame.asString(), m_.version()) : m_.toNumber(frame);
    if (!std::isfinite(n) || n != std::trunc(n))
        return {};
    const auto index = static_cast<int32_t>(static_cast<uint32_t>(avm1::toInt32(n)) - 1u);
    if (frameLoaded(ctx, index))
        return {};
    return {Flow::JumpOut, skipActions(ctx, step.next, skip)};
}

Interpreter::Outcome Interpreter::actionCall(Context& ctx, Step&)
{
    // Runs another frame's actions on the target, then goes on. A frame given as a
    // number keeps its low 32 bits, as the player's frame numbers do.
    Value which = pop(ctx);
    std::string frame;
    if (which.isNumber() && std::isfinite(which.asNumber()))
        frame = std::to_string(static_cast<uint32_t>(avm1::toInt32(which.asNumber())));
    else
        frame = m_.toString(which);
    // "path:frame" and "path.frame" call a frame of another clip.
    Object* target = liveTarget(ctx);
    if (std::string path, name; splitPath(frame, path, name)) {
        target = resolveTarget(ctx, path);
        frame = std::move(name);
    }
    if (isClip(target)) {
        for (std::span<const uint8_t> code : clipHost(target)->frameScripts(frame))
            Interpreter(m_).runNested(code, target);
    }
    return {};
}

Interpreter::Outcome Interpreter::actionSetTarget(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    ctx.target = tellTarget(ctx, r.cstring());
    return {};
}

Interpreter::Outcome Interpreter::actionSetTarget2(Context& ctx, Step&)
{
    Value target = pop(ctx);
    // A clip names its target by its path, as the player takes it (never through a
    // toString of its own): of two clips with one name the first is reached, whichever
    // was given. Anything else names one by its string.
    if (Object* o = target.asObject(); o && isClip(o->referent(m_)))
        ctx.target = tellTarget(ctx, clipHost(o->referent(m_))->targetPath(false));
    else
        ctx.target = tellTarget(ctx, m_.toString(target));
    return {};
}

Interpreter::Outcome Interpreter::actionGetUrl(Context& ctx, Step& step)
{
    ByteReader r(step.action.payload);
    std::string url = r.cstring();
    std::string target = r.cstring();
    if (ClipHost* clip = targetClip(ctx))
        requestUrl(m_, clip->scriptObject(), url, target, 0);
    return {};
}

Interpreter::Outcome Interpreter::actionGetUrl2(Context& ctx, Step& step)
{
    Value target = pop(ctx);
    Value url = pop(ctx);
    const uint8_t flags = step.action.payload.empty() ? 0 : step.action.payload[0];
    if (ClipHost* clip = targetClip(ctx)) {
        // A clip given as the target is taken as it is, not through its path.
        Object* targetObject = clipHost(target.asObject()) ? target.asObject() : nullptr;
        requestUrl(m_, clip->scriptObject(), m_.toString(url), targetObject ? std::string() : m_.toString(target), flags,
                   targetObject);
    }
    return {};
}

Interpreter::Outcome Interpreter::actionGetProperty(Context& ctx, Step&)
{
    // An index that is no number at all ("11ABC") names no property.
    double number = m_.toNumber(pop(ctx));
    double index = std::isnan(number) ? -1 : toInteger(number);
    Object* target = propertyTarget(ctx, pop(ctx));
    if (isClip(target) && index >= 0 && index <= 21)
        pushValue(ctx, clipHost(target)->getProperty(static_cast<ClipProperty>(static_cast<int>(index))));
    else
        pushValue(ctx, Value());
    return {};
}

Interpreter::Outcome Interpreter::actionSetProperty(Context& ctx, Step&)
{
    Value value = pop(ctx);
    double index = toInteger(m_.toNumber(pop(ctx)));
    Object* target = propertyTarget(ctx, pop(ctx));
    // The value takes the property's type before the target is looked at: a number for
    // the numeric ones, a string for the name and quality; the rest keep it as given
    // (_focusrect takes an object as off, without asking its value).
    if (value.isObject()) {
        if (index == 13 || index == 19)
            value = Value(m_.toString(value));
        else if ((index >= 0 && index <= 12) || index == 16 || index == 18 || index == 20 || index == 21)
            value = Value(m_.toNumber(value));
    }
    if (isClip(target) && index >= 0 && index <= 21)
        clipHost(target)->setProperty(static_cast<ClipProperty>(static_cast<int>(index)), value);
    return {};
}

Interpreter::Outcome Interpreter::actionCloneSprite(Context& ctx, Step&)
{
    double depth = m_.toNumber(pop(ctx));
    std::string name = m_.toString(pop(ctx));
    // A clip or a text field is taken as it is; anything else (another object too)
    // names a path.
    Value source = pop(ctx);
    Object* o = source.asObject() && (isClip(source.asObject()->referent(m_)) || textFieldHost(source.asObject()))
                    ? source.asObject()
                    : resolveTarget(ctx, m_.toString(source));
    if (std::isnan(depth))
        return {};
    // Past the int range the depth is one the display list refuses anyway.
    const int at = static_cast<int>(std::clamp(depth, -1.0, 2147483647.0));
    if (isClip(o))
        clipHost(o)->duplicate(name, at);
    else if (TextFieldHost* field = o ? textFieldHost(o) : nullptr)
        field->duplicate(name, at);
    else if (auto* video = o ? o->as<VideoObject>() : nullptr; video && clipHost(video->parentClip))
        clipHost(video->parentClip)->duplicateChildVideo(video->attachment.get(), name, at);
    return {};
}

Interpreter::Outcome Interpreter::actionRemoveSprite(Context& ctx, Step&)
{
    // A clip is taken as it is; anything else (another object too) names a path.
    Value source = pop(ctx);
    Object* o = source.asObject() && isClip(source.asObject()->referent(m_)) ? source.asObject()
                                                                             : resolveTarget(ctx, m_.toString(source));
    if (isClip(o))
        clipHost(o)->removeClip();
    return {};
}

Interpreter::Outcome Interpreter::actionStartDrag(Context& ctx, Step&)
{
    // The target converts first, as text unless it is a clip; the two flags then as
    // numbers, and they are set only when they are 1 (the SWF 4 true): a constraint
    // flag of 7 reads no bounds.
    const Value target = pop(ctx);
    Object* o = isClip(target.asObject()) ? target.asObject() : resolveTarget(ctx, m_.toString(target));
    const bool lockCenter = m_.toNumber(pop(ctx)) == 1;
    std::optional<DragBounds> bounds;
    if (m_.toNumber(pop(ctx)) == 1) {
        DragBounds b;
        b.bottom = m_.toNumber(pop(ctx));
        b.right = m_.toNumber(pop(ctx));
        b.top = m_.toNumber(pop(ctx));
        b.left = m_.toNumber(pop(ctx));
        bounds = b;
    }
    if (isClip(o))
        startDrag(m_, o, lockCenter, bounds);
    return {};
}

Interpreter::Outcome Interpreter::actionEndDrag(Context&, Step&)
{
    stopDrag(m_);
    return {};
}

Interpreter::Outcome Interpreter::actionTargetPath(Context& ctx, Step&)
{
    Value v = pop(ctx);
    Object* o = v.asObject();
    if (isClip(o))
        pushValue(ctx, Value(clipHost(o)->targetPath(false)));
    else if (TextFieldHost* field = textFieldHost(o))
        pushValue(ctx, Value(field->targetPath(false)));
    else
        pushValue(ctx, Value());
    return {};
}

Interpreter::Outcome Interpreter::actionTrace(Context& ctx, Step&)
{
    // Undefined prints as a word whatever the version.
    Value v = pop(ctx);
    if (v.isUndefined()) {
        m_.trace("undefined");
        return {};
    }
    // A toString that throws still leaves a line, the object's kind, before the throw
    // goes on to its catch.
    std::string text;
    try {
        text = m_.toString(v);
    } catch (const ScriptThrow&) {
        Object* o = v.asObject();
        m_.trace(o && o->function() ? "[type Function]" : "[type Object]");
        throw;
    }
    m_.trace(text);
    return {};
}

} // namespace swf::avm1
