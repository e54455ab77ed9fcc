#include "engine/movie/TabFocus.h"

#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/TextFieldScript.h"
#include "engine/movie/Timeline.h"

#include <algorithm>
#include <cmath>

namespace swf::movie {

namespace {

// Clips inside clips deeper than this are not searched for stops.
constexpr int kMaxNesting = 64;

// `bounds` (in the space `toStage` maps from) as a box on the stage.
Rect stageBox(const Rect& bounds, const Matrix& toStage)
{
    const Point corners[] = {
        toStage.apply({double(bounds.xMin), double(bounds.yMin)}),
        toStage.apply({double(bounds.xMax), double(bounds.yMin)}),
        toStage.apply({double(bounds.xMin), double(bounds.yMax)}),
        toStage.apply({double(bounds.xMax), double(bounds.yMax)}),
    };
    double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    return {static_cast<int32_t>(std::floor(x0)), static_cast<int32_t>(std::ceil(x1)),
            static_cast<int32_t>(std::floor(y0)), static_cast<int32_t>(std::ceil(y1))};
}

// A member read that a throwing getter cannot break: undefined then.
avm1::Value member(avm1::Machine& m, avm1::Object* object, const char* name)
{
    try {
        return m.getMember(avm1::Value(object), name);
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
    return {};
}

bool actsAsButton(avm1::Machine& m, avm1::Object* object)
{
    avm1::ClipHost* host = avm1::clipHost(object);
    if (host && host->isButton())
        return true;
    for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut"}) {
        if (member(m, object, handler).isObject())
            return true;
    }
    return false;
}

std::optional<double> tabIndexOf(avm1::Machine& m, avm1::Object* object)
{
    const avm1::Value index = member(m, object, "tabIndex");
    if (index.isUndefined())
        return std::nullopt;
    const double n = m.toNumber(index);
    if (std::isnan(n))
        return std::nullopt;
    return n;
}

void collect(avm1::Machine& m, ClipState& root, ClipState& clip, ClipPath& path, const Matrix& toStage, int nesting,
             TimelinePlayer& timeline, std::vector<TabStop>& out)
{
    if (nesting > kMaxNesting)
        return;
    for (DisplayObject& child : clip.children) {
        if (!child.visible || child.clipDepth)
            continue;
        const Matrix childToStage = toStage * child.matrix;
        if (child.textField && child.textField->look) {
            if (!child.textField->input)
                continue;
            avm1::Object* object = timeline.textFieldObject(clip, child);
            if (!object)
                continue;
            const avm1::Value enabled = member(m, object, "tabEnabled");
            if (!enabled.isUndefined() && !m.toBoolean(enabled))
                continue;
            out.push_back({object, stageBox(child.textField->look->bounds, childToStage), tabIndexOf(m, object), true});
            continue;
        }
        if (!child.clip)
            continue;
        path.push_back(child.depth);
        if (avm1::Object* object = timeline.scriptObject(root, path)) {
            const avm1::Value enabled = member(m, object, "tabEnabled");
            const bool stop = enabled.isUndefined() ? actsAsButton(m, object) : m.toBoolean(enabled);
            if (stop)
                out.push_back({object, stageBox(clipBounds(*child.clip), childToStage), tabIndexOf(m, object), false});
            const avm1::Value children = member(m, object, "tabChildren");
            if (children.isUndefined() || m.toBoolean(children))
                collect(m, root, *child.clip, path, childToStage, nesting + 1, timeline, out);
        }
        path.pop_back();
    }
}

} // namespace

std::vector<TabStop> collectTabStops(ClipState& root, TimelinePlayer& timeline)
{
    std::vector<TabStop> out;
    avm1::Machine* m = timeline.machine();
    if (!m)
        return out;
    ClipPath path;
    // The root's tabChildren false leaves the whole movie out, as for any clip.
    avm1::Object* top = timeline.scriptObject(root, path);
    const avm1::Value children = top ? member(*m, top, "tabChildren") : avm1::Value();
    if (!children.isUndefined() && !m->toBoolean(children))
        return out;
    collect(*m, root, root, path, Matrix{}, 0, timeline, out);
    return out;
}

std::vector<TabStop> tabOrder(std::vector<TabStop> stops)
{
    const bool custom = std::any_of(stops.begin(), stops.end(), [](const TabStop& s) { return s.tabIndex.has_value(); });
    if (custom) {
        std::erase_if(stops, [](const TabStop& s) { return !s.tabIndex; });
        std::stable_sort(stops.begin(), stops.end(),
                         [](const TabStop& a, const TabStop& b) { return *a.tabIndex < *b.tabIndex; });
        return stops;
    }
    std::stable_sort(stops.begin(), stops.end(), [](const TabStop& a, const TabStop& b) {
        if (a.stageBounds.yMin != b.stageBounds.yMin)
            return a.stageBounds.yMin < b.stageBounds.yMin;
        return a.stageBounds.xMin < b.stageBounds.xMin;
    });
    return stops;
}

bool moveTabFocus(ClipState& root, TimelinePlayer& timeline, bool backward)
{
    avm1::Machine* m = timeline.machine();
    avm1::SelectionObject* selection = m ? avm1::selectionObject(*m) : nullptr;
    if (!selection)
        return false;
    timeline.runQueuedScripts(root);
    const std::vector<TabStop> order = tabOrder(collectTabStops(root, timeline));
    if (order.empty())
        return false;
    const avm1::Object* current = selection->focus();
    const auto at = std::find_if(order.begin(), order.end(), [current](const TabStop& s) { return s.object == current; });
    size_t next = 0;
    if (at == order.end())
        next = backward ? order.size() - 1 : 0;
    else {
        const size_t i = static_cast<size_t>(at - order.begin());
        next = backward ? (i + order.size() - 1) % order.size() : (i + 1) % order.size();
    }
    avm1::Object* to = order[next].object;
    const bool moved = avm1::moveFocusByPlayer(*m, *selection, to);
    selection->byKeyboard = true;
    // A field reached by Tab has all its text selected.
    if (avm1::TextFieldHost* field = moved ? avm1::textFieldHost(to) : nullptr)
        field->setSelection(0, static_cast<int>(field->length()));
    timeline.runQueuedScripts(root);
    return moved;
}

void pointerPressed(TimelinePlayer& timeline)
{
    avm1::Machine* m = timeline.machine();
    if (avm1::SelectionObject* selection = m ? avm1::selectionObject(*m) : nullptr)
        selection->byKeyboard = false;
}

std::optional<Rect> focusRectangle(ClipState& root, TimelinePlayer& timeline)
{
    avm1::Machine* m = timeline.machine();
    avm1::SelectionObject* selection = m ? avm1::selectionObject(*m) : nullptr;
    avm1::Object* focus = selection && selection->byKeyboard ? selection->focus() : nullptr;
    if (!focus || avm1::textFieldHost(focus))
        return std::nullopt;
    // The object's own _focusrect decides when it has one; otherwise _root's.
    avm1::Value shown = member(*m, focus, "_focusrect");
    if (shown.isUndefined() || shown.isNull())
        shown = member(*m, m->level(0), "_focusrect");
    if (!shown.isUndefined() && !shown.isNull() && !m->toBoolean(shown))
        return std::nullopt;
    for (const TabStop& stop : collectTabStops(root, timeline)) {
        if (stop.object == focus)
            return stop.stageBounds;
    }
    return std::nullopt;
}

} // namespace swf::movie
