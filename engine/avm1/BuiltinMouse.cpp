// Mouse: a broadcaster of the pointer's events (onMouseDown, onMouseMove, onMouseUp,
// onMouseWheel), show and hide of the pointer over the movie, and the one clip that
// startDrag makes follow the pointer.

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MouseObject.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"

namespace swf::avm1 {

void MouseObject::visitEdges(Visitor& visitor)
{
    Object::visitEdges(visitor);
    visitor.visit(dragged_);
    visitor.visit(dropClip_);
}

Object* MouseObject::dragged() const
{
    // A clip that has left the stage is dragged no more.
    return dragged_ && clipHost(dragged_) ? dragged_ : nullptr;
}

void MouseObject::startDrag(Object* clip, bool lockCenter, double offsetX, double offsetY,
                            std::optional<DragBounds> bounds)
{
    dragged_ = clip;
    lockCenter_ = lockCenter;
    offsetX_ = lockCenter ? 0 : offsetX;
    offsetY_ = lockCenter ? 0 : offsetY;
    bounds_ = bounds;
}

void MouseObject::stopDrag()
{
    dragged_ = nullptr;
    bounds_.reset();
}

MouseObject* mouseObject(Machine& m)
{
    const Property* mouse = m.global()->findOwn("Mouse");
    Object* o = mouse ? mouse->value.asObject() : nullptr;
    return o ? o->as<MouseObject>() : nullptr;
}

void pointerInParent(Machine& m, ClipHost& clip, double& x, double& y)
{
    if (ClipHost* parent = clipHost(clip.parentObject())) {
        x = m.toNumber(parent->getProperty(ClipProperty::XMouse));
        y = m.toNumber(parent->getProperty(ClipProperty::YMouse));
        return;
    }
    // A root's parent space is the stage's.
    x = m.toNumber(clip.getProperty(ClipProperty::XMouse));
    y = m.toNumber(clip.getProperty(ClipProperty::YMouse));
    clip.localToGlobal(x, y);
}

void startDrag(Machine& m, Object* clip, bool lockCenter, std::optional<DragBounds> bounds)
{
    MouseObject* mouse = mouseObject(m);
    ClipHost* host = clipHost(clip);
    if (!mouse || !host)
        return;
    double px = 0, py = 0;
    pointerInParent(m, *host, px, py);
    const double x = m.toNumber(host->getProperty(ClipProperty::X));
    const double y = m.toNumber(host->getProperty(ClipProperty::Y));
    if (bounds) {
        // The corners may come in either order.
        DragBounds b = *bounds;
        bounds = DragBounds{std::min(b.left, b.right), std::min(b.top, b.bottom), std::max(b.left, b.right),
                            std::max(b.top, b.bottom)};
    }
    mouse->startDrag(clip, lockCenter, x - px, y - py, bounds);
}

void stopDrag(Machine& m)
{
    if (MouseObject* mouse = mouseObject(m))
        mouse->stopDrag();
}

namespace {

// show and hide answer 1 as the reference player does, and the window shows or hides
// its pointer over the movie.
Value mouseShow(Machine& m, Value, std::span<const Value>)
{
    if (MouseObject* mouse = mouseObject(m))
        mouse->hidden = false;
    return Value(1.0);
}

Value mouseHide(Machine& m, Value, std::span<const Value>)
{
    if (MouseObject* mouse = mouseObject(m))
        mouse->hidden = true;
    return Value(1.0);
}

const NativeMethod kMouseMethods[] = {
    {"show", mouseShow},
    {"hide", mouseHide},
};

} // namespace

void installMouseObject(Machine& m)
{
    Object* mouse = m.make<MouseObject>(m.protos().object);
    lockPrototype(mouse);
    m.global()->put("Mouse", Value(mouse), PropertyFlag::DontEnum);
    defineMethods(m, mouse, kMouseMethods);
    initializeBroadcaster(m, mouse);
}

} // namespace swf::avm1
