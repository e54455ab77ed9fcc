#include "engine/avm1/Listeners.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

namespace {

Object* listOf(Object* owner)
{
    const Property* list = owner->findOwn("_listeners");
    return list ? list->value.asObject() : nullptr;
}

} // namespace

std::vector<Object*> listenersOf(Machine& m, Object* owner)
{
    std::vector<Object*> out;
    Object* list = owner ? listOf(owner) : nullptr;
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
