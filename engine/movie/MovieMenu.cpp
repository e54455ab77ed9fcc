#include "engine/movie/MovieMenu.h"

#include "engine/avm1/Machine.h"
#include "engine/movie/Timeline.h"

#include <algorithm>

namespace swf::movie {

namespace {

// A menu lists at most this many items of its own, as the reference player shows.
constexpr double kMaxItems = 15;

avm1::Value rootMenu(avm1::Machine& m, avm1::Object* root)
{
    const avm1::Value menu = m.getMember(avm1::Value(root), "menu");
    return menu.isObject() ? menu : avm1::Value();
}

template <class Work>
void guarded(avm1::Machine& m, Work&& work)
{
    try {
        work();
    } catch (const avm1::ScriptThrow& thrown) {
        m.reportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }
}

} // namespace

std::vector<MenuItem> openMovieMenu(ClipState& root, TimelinePlayer& timeline)
{
    std::vector<MenuItem> out;
    avm1::Machine* m = timeline.machine();
    avm1::Object* top = m ? timeline.scriptObject(root, {}) : nullptr;
    if (!top)
        return out;
    timeline.runQueuedScripts(root);
    guarded(*m, [&] {
        const avm1::Value menu = rootMenu(*m, top);
        if (menu.isUndefined())
            return;
        const avm1::Value announce[] = {avm1::Value(top), menu};
        const avm1::Value onSelect = m->getMember(menu, "onSelect");
        if (onSelect.isObject())
            m->call(onSelect, menu, announce);
        const avm1::Value items = m->getMember(menu, "customItems");
        if (!items.isObject())
            return;
        const double length = std::min(m->toNumber(m->getMember(items, "length")), kMaxItems);
        for (size_t i = 0; double(i) < length; ++i) {
            const avm1::Value item = m->getMember(items, std::to_string(i));
            if (!item.isObject())
                continue;
            const avm1::Value visible = m->getMember(item, "visible");
            if (!visible.isUndefined() && !m->toBoolean(visible))
                continue;
            const avm1::Value enabled = m->getMember(item, "enabled");
            out.push_back({m->toString(m->getMember(item, "caption")),
                           m->toBoolean(m->getMember(item, "separatorBefore")),
                           enabled.isUndefined() || m->toBoolean(enabled), i});
        }
    });
    timeline.runQueuedScripts(root);
    return out;
}

bool chooseMovieMenuItem(ClipState& root, TimelinePlayer& timeline, size_t index)
{
    avm1::Machine* m = timeline.machine();
    avm1::Object* top = m ? timeline.scriptObject(root, {}) : nullptr;
    if (!top)
        return false;
    bool chosen = false;
    guarded(*m, [&] {
        const avm1::Value menu = rootMenu(*m, top);
        if (menu.isUndefined())
            return;
        const avm1::Value item = m->getMember(m->getMember(menu, "customItems"), std::to_string(index));
        if (!item.isObject())
            return;
        const avm1::Value onSelect = m->getMember(item, "onSelect");
        chosen = true;
        if (onSelect.isObject()) {
            const avm1::Value args[] = {avm1::Value(top), item};
            m->call(onSelect, item, args);
        }
    });
    timeline.runQueuedScripts(root);
    timeline.syncBoundFields(root);
    return chosen;
}

} // namespace swf::movie
