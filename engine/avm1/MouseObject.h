#pragma once

// The global Mouse object: a broadcaster of the pointer's events that also keeps what
// the pointer is doing for scripts, whether Mouse.hide has hidden it, and the one clip
// startDrag makes follow it (only one clip is dragged at a time: a new startDrag takes
// the drag from the old clip).

#include "engine/avm1/Object.h"

#include <optional>
#include <string>

namespace swf::avm1 {

class ClipHost;
class Machine;

// The box a dragged clip's registration point stays in, in its parent's pixels.
struct DragBounds {
    double left = 0, top = 0, right = 0, bottom = 0;
};

class MouseObject final : public Object {
public:
    using Object::Object;

    // The clip being dragged while it is still on the stage; null for none.
    Object* dragged() const;
    // Starts dragging `clip`: its registration point at the pointer (`lockCenter`), or
    // kept at `offset` (parent pixels) from it, within `bounds` when given.
    void startDrag(Object* clip, bool lockCenter, double offsetX, double offsetY, std::optional<DragBounds> bounds);
    // Ends the drag, if any; the clip keeps the drop target it was last over.
    void stopDrag();

    bool lockCenter() const { return lockCenter_; }
    double offsetX() const { return offsetX_; }
    double offsetY() const { return offsetY_; }
    const std::optional<DragBounds>& bounds() const { return bounds_; }

    // _droptarget of `clip`: the slash path of the clip it was last dragged over, empty
    // for a clip that has not been dragged or was over nothing.
    std::string dropTargetOf(const Object* clip) const { return clip && clip == dropClip_ ? dropTarget_ : std::string(); }
    void setDropTarget(Object* clip, std::string path)
    {
        dropClip_ = clip;
        dropTarget_ = std::move(path);
    }

    bool hidden = false;  // Mouse.hide: the window shows no pointer over the movie

    void visitEdges(Visitor& visitor) override;

private:
    Object* dragged_ = nullptr;
    bool lockCenter_ = false;
    double offsetX_ = 0, offsetY_ = 0;
    std::optional<DragBounds> bounds_;
    Object* dropClip_ = nullptr;
    std::string dropTarget_;
};

// The Mouse object scripts see, when it is still the built-in one.
MouseObject* mouseObject(Machine& m);

// The pointer where `clip`'s parent sees it, in the parent's pixels (the stage's for a
// root): where a dragged clip's registration point goes.
void pointerInParent(Machine& m, ClipHost& clip, double& x, double& y);

// startDrag of `clip` as scripts call it (the action and MovieClip.startDrag): the
// offset from the pointer is taken now, from where the parent sees the pointer.
void startDrag(Machine& m, Object* clip, bool lockCenter, std::optional<DragBounds> bounds);
void stopDrag(Machine& m);

} // namespace swf::avm1
