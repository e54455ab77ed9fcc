#include "engine/avm1/Listeners.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

namespace {

Object* listOf(Machine& m, Object* owner, bool create)
{
    if (const Property* list = owner->findOwn("_listeners"); list && list->value.asObject())
        return list->value.asObject();
    if (!create)
        return nullptr;
    Object* array = m.newArray();
    owner->put("_listeners", Value(array), PropertyFlag::DontEnum);
    return array;
}

bool removeFrom(Machine& m, Object* list, Object* listener)
{
    std::vector<Value> items = m.arrayItems(list);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].asObject() == listener) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            m.arrayAssign(list, items);
            return true;
        }
    }
    return false;
}

} // namespace

void addListener(Machine& m, Object* owner, Object* listener)
{
    if (!owner || !listener)
        return;
    Object* list = listOf(m, owner, true);
    removeFrom(m, list, listener);
    m.arraySet(list, m.arrayLength(list), Value(listener));
}

bool removeListener(Machine& m, Object* owner, Object* listener)
{
    Object* list = owner ? listOf(m, owner, false) : nullptr;
    return list && listener && removeFrom(m, list, listener);
}

std::vector<Object*> listenersOf(Machine& m, Object* owner)
{
    std::vector<Object*> out;
    Object* list = owner ? listOf(m, owner, false) : nullptr;
    if (!list)
        return out;
    for (const Value& v : m.arrayItems(list)) {
        if (Object* listener = v.asObject())
            out.push_back(listener);
    }
    return out;
}

void broadcast(Machine& m, Object* owner, std::string_view method, std::span<const Value> args)
{
    // The list as it stands now: listeners added or removed by a handler count from
    // the next broadcast on. Held in a rooted vector while handlers run.
    std::vector<Value> held;
    for (Object* listener : listenersOf(m, owner))
        held.emplace_back(listener);
    RootedValues rooted(m, std::move(held));
    for (const Value& listener : rooted) {
        Value handler = m.getMember(listener, method);
        if (handler.isObject())
            m.call(handler, listener, args);
    }
}

} // namespace swf::avm1
