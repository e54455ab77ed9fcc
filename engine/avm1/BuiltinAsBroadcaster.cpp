// AsBroadcaster: initialize, and the three listener methods it hands out.

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

namespace swf::avm1 {

namespace {

constexpr uint16_t kHidden = PropertyFlag::DontEnum;

// Listeners match by identity, undefined and null alike.
bool sameListener(Machine& m, const Value& a, const Value& b)
{
    return (a.isNullish() && b.isNullish()) || m.strictEquals(a, b);
}

// The object's `_listeners`; a missing or primitive one is replaced by a new array.
Object* listenersOf(Machine& m, const Value& self)
{
    Object* target = self.asObject();
    if (!target)
        return nullptr;
    Object* list = m.getMember(self, "_listeners").asObject();
    if (!list) {
        list = m.newArray();
        m.setMember(self, "_listeners", Value(list));
    }
    return list;
}

// Removes the first entry matching `listener`; true when there was one.
bool removeFrom(Machine& m, Object* list, const Value& listener)
{
    RootedValues items(m, m.arrayItems(list));
    for (size_t i = 0; i < items.size(); ++i) {
        if (sameListener(m, items[i], listener)) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            // Shift the later entries down and shorten the list, as splice does.
            for (size_t k = i; k < items.size(); ++k)
                m.arraySet(list, static_cast<uint32_t>(k), items[k]);
            m.setArrayLength(list, static_cast<uint32_t>(items.size()));
            return true;
        }
    }
    return false;
}

Value broadcasterAddListener(Machine& m, Value self, std::span<const Value> args)
{
    Object* list = listenersOf(m, self);
    if (!list)
        return Value(false);
    // A listener is in the list once: adding it again moves it to the end.
    Value listener = arg(args, 0);
    removeFrom(m, list, listener);
    m.arraySet(list, m.arrayLength(list), listener);
    return Value(true);
}

Value broadcasterRemoveListener(Machine& m, Value self, std::span<const Value> args)
{
    Object* list = listenersOf(m, self);
    return Value(list && removeFrom(m, list, arg(args, 0)));
}

// Calls the named method on every listener, this the listener, with the remaining
// arguments; the list is read before the first call, so listeners added or removed by
// a handler take effect from the next message.
Value broadcasterBroadcastMessage(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    Object* list = listenersOf(m, self);
    if (!list)
        return Value();
    std::string name = m.toString(args[0]);
    RootedValues listeners(m, m.arrayItems(list));
    if (listeners.empty())
        return Value();
    RootedValues rest(m, std::vector<Value>(args.begin() + 1, args.end()));
    for (const Value& listener : listeners) {
        // An empty name calls each listener itself, as a call of a method with no
        // name calls the object.
        Value method = name.empty() ? listener : m.getMember(listener, name);
        m.call(method, listener, rest);
    }
    return Value(true);
}

Value asBroadcasterInitialize(Machine& m, Value, std::span<const Value> args)
{
    if (Object* target = arg(args, 0).asObject())
        initializeBroadcaster(m, target);
    return Value();
}

Value asBroadcasterConstruct(Machine&, Value self, std::span<const Value>)
{
    return self;
}

const NativeMethod kBroadcasterMethods[] = {
    {"initialize", asBroadcasterInitialize},
    {"addListener", broadcasterAddListener},
    {"removeListener", broadcasterRemoveListener},
    {"broadcastMessage", broadcasterBroadcastMessage},
};

} // namespace

void initializeBroadcaster(Machine& m, Object* target)
{
    Value broadcaster = m.global()->findOwn("AsBroadcaster") ? m.global()->findOwn("AsBroadcaster")->value : Value();
    for (const char* name : {"addListener", "removeListener", "broadcastMessage"}) {
        Value method = broadcaster.isObject() ? m.getMember(broadcaster, name) : Value();
        target->put(name, method, kHidden);
    }
    target->put("_listeners", Value(m.newArray()), kHidden);
}

void installAsBroadcasterClass(Machine& m)
{
    Object* proto = m.newObject();
    Object* ctor = m.newClass("AsBroadcaster", proto, asBroadcasterConstruct, asBroadcasterConstruct);
    defineMethods(m, ctor, kBroadcasterMethods);
}

} // namespace swf::avm1
