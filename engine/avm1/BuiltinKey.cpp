// Key: the key-code constants, isDown / isToggled / getCode / getAscii over the state
// the movie's keyboard input keeps, and addListener / removeListener.

#include "engine/avm1/KeyObject.h"

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

#include <cmath>

namespace swf::avm1 {

void KeyObject::press(int code, char32_t character)
{
    if (code < 0 || code > 255)
        code = 0;
    if (code == 20 && !down_[20])
        capsLock_ = !capsLock_;
    down_[static_cast<size_t>(code)] = code != 0;
    lastCode_ = code;
    lastCharacter_ = character;
}

void KeyObject::release(int code, char32_t character)
{
    if (code < 0 || code > 255)
        code = 0;
    down_[static_cast<size_t>(code)] = false;
    lastCode_ = code;
    if (character)
        lastCharacter_ = character;
}

KeyObject* keyObject(Machine& m)
{
    const Property* key = m.global()->findOwn("Key");
    Object* o = key ? key->value.asObject() : nullptr;
    return o ? o->as<KeyObject>() : nullptr;
}

namespace {

KeyObject* self(const Value& v)
{
    Object* o = v.asObject();
    return o ? o->as<KeyObject>() : nullptr;
}

Value keyIsDown(Machine& m, Value thisValue, std::span<const Value> args)
{
    KeyObject* key = self(thisValue);
    double code = m.toNumber(arg(args, 0));
    return Value(key && std::isfinite(code) && key->isDown(static_cast<int>(code)));
}

Value keyIsToggled(Machine& m, Value thisValue, std::span<const Value> args)
{
    KeyObject* key = self(thisValue);
    // Caps lock is the toggle the player tracks.
    return Value(key && m.toNumber(arg(args, 0)) == 20 && key->capsLock());
}

Value keyGetCode(Machine&, Value thisValue, std::span<const Value>)
{
    KeyObject* key = self(thisValue);
    return Value(key ? static_cast<double>(key->lastCode()) : 0.0);
}

Value keyGetAscii(Machine&, Value thisValue, std::span<const Value>)
{
    KeyObject* key = self(thisValue);
    return Value(key ? static_cast<double>(key->lastCharacter()) : 0.0);
}

// The listener list, made on first use.
Object* listenerList(Machine& m, Object* key, bool create)
{
    if (const Property* list = key->findOwn("_listeners"); list && list->value.asObject())
        return list->value.asObject();
    if (!create)
        return nullptr;
    Object* array = m.newArray();
    key->put("_listeners", Value(array), PropertyFlag::DontEnum);
    return array;
}

// Removes `listener` from the list; true when it was there.
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

Value keyAddListener(Machine& m, Value thisValue, std::span<const Value> args)
{
    Object* key = thisValue.asObject();
    Object* listener = arg(args, 0).asObject();
    if (!key || !listener)
        return Value(true);
    Object* list = listenerList(m, key, true);
    removeFrom(m, list, listener);
    m.arraySet(list, m.arrayLength(list), Value(listener));
    return Value(true);
}

Value keyRemoveListener(Machine& m, Value thisValue, std::span<const Value> args)
{
    Object* key = thisValue.asObject();
    Object* listener = arg(args, 0).asObject();
    Object* list = key ? listenerList(m, key, false) : nullptr;
    return Value(list && listener && removeFrom(m, list, listener));
}

const NativeMethod kKeyMethods[] = {
    {"isDown", keyIsDown},
    {"isToggled", keyIsToggled},
    {"getCode", keyGetCode},
    {"getAscii", keyGetAscii},
    {"addListener", keyAddListener},
    {"removeListener", keyRemoveListener},
};

} // namespace

std::vector<Object*> keyListeners(Machine& m)
{
    std::vector<Object*> out;
    const Property* key = m.global()->findOwn("Key");
    Object* o = key ? key->value.asObject() : nullptr;
    Object* list = o ? listenerList(m, o, false) : nullptr;
    if (!list)
        return out;
    for (const Value& v : m.arrayItems(list)) {
        if (Object* listener = v.asObject())
            out.push_back(listener);
    }
    return out;
}

void installKeyObject(Machine& m)
{
    Object* key = m.make<KeyObject>(m.protos().object);
    m.global()->put("Key", Value(key), PropertyFlag::DontEnum);
    const std::pair<const char*, double> keys[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
        {"ENTER", 13}, {"ESCAPE", 27}, {"HOME", 36}, {"INSERT", 45}, {"LEFT", 37}, {"PGDN", 34},
        {"PGUP", 33}, {"RIGHT", 39}, {"SHIFT", 16}, {"SPACE", 32}, {"TAB", 9}, {"UP", 38}, {"ALT", 18}};
    for (const auto& [name, code] : keys)
        key->put(name, Value(code), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    defineMethods(m, key, kKeyMethods);
}

} // namespace swf::avm1
