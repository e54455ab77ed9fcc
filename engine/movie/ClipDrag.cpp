#include "engine/movie/ClipDrag.h"

#include "engine/avm1/Machine.h"
#include "engine/avm1/MouseObject.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/movie/ClipHitTest.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/Timeline.h"

#include <algorithm>
#include <cmath>

namespace swf::movie {

namespace {

constexpr int kMaxNesting = 64;

bool isDragged(ClipState& clip, const avm1::Object* dragged)
{
    ClipScript* script = clip.script.get();
    return script && script->scriptObject() == dragged;
}

// The innermost clip under `p` (in `clip`'s twips) that shows something there, topmost
// first; the dragged clip and what it holds are looked through. `path` ends as the
// found clip's.
bool clipUnder(ClipState& clip, Point p, const avm1::Object* dragged, ClipPath& path, int nesting)
{
    if (nesting > kMaxNesting)
        return false;
    for (auto it = clip.children.rbegin(); it != clip.children.rend(); ++it) {
        DisplayObject& child = *it;
        if (!child.visible || child.clipDepth || !child.clip || isDragged(*child.clip, dragged))
            continue;
        const std::optional<Point> local = toLocal(child.matrix, p);
        if (!local)
            continue;
        path.push_back(child.depth);
        if (clipUnder(*child.clip, *local, dragged, path, nesting + 1) || clipContentContains(*child.clip, *local))
            return true;
        path.pop_back();
    }
    return false;
}

} // namespace

bool followDrag(ClipState& root, TimelinePlayer& timeline)
{
    avm1::Machine* m = timeline.machine();
    avm1::MouseObject* mouse = m ? avm1::mouseObject(*m) : nullptr;
    avm1::Object* clip = mouse ? mouse->dragged() : nullptr;
    avm1::ClipHost* host = avm1::clipHost(clip);
    if (!host)
        return false;
    double x = 0, y = 0;
    avm1::pointerInParent(*m, *host, x, y);
    x += mouse->offsetX();
    y += mouse->offsetY();
    if (const auto& box = mouse->bounds()) {
        x = std::clamp(x, box->left, box->right);
        y = std::clamp(y, box->top, box->bottom);
    }
    bool moved = false;
    // Set only where it differs: a clip already at the pointer is left as it is.
    for (auto [property, value] : {std::pair{avm1::ClipProperty::X, x}, std::pair{avm1::ClipProperty::Y, y}}) {
        if (std::isfinite(value) && std::abs(m->toNumber(host->getProperty(property)) - value) >= 0.05) {
            host->setProperty(property, avm1::Value(value));
            moved = true;
        }
    }
    ClipPath path;
    std::string target;
    if (clipUnder(root, timeline.pointer(), clip, path, 0)) {
        if (avm1::ClipHost* under = avm1::clipHost(timeline.scriptObject(root, path)))
            target = under->targetPath(true);
    }
    mouse->setDropTarget(clip, std::move(target));
    return moved;
}

} // namespace swf::movie
