// Key: the key-code constants, isDown / isToggled / getCode / getAscii over the state
// the movie's keyboard input keeps, and addListener / removeListener.

#include "engine/avm1/KeyObject.h"

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/Listeners.h"
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

const NativeMethod kKeyMethods[] = {
    {"isDown", keyIsDown},
    {"isToggled", keyIsToggled},
    {"getCode", keyGetCode},
    {"getAscii", keyGetAscii},
};

} // namespace

void installKeyObject(Machine& m)
{
    Object* key = m.make<KeyObject>(m.protos().object);
    lockPrototype(key);
    m.global()->put("Key", Value(key), PropertyFlag::DontEnum);
    const std::pair<const char*, double> keys[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
        {"ENTER", 13}, {"ESCAPE", 27}, {"HOME", 36}, {"INSERT", 45}, {"LEFT", 37}, {"PGDN", 34},
        {"PGUP", 33}, {"RIGHT", 39}, {"SHIFT", 16}, {"SPACE", 32}, {"TAB", 9}, {"UP", 38}, {"ALT", 18}};
    for (const auto& [name, code] : keys)
        key->put(name, Value(code), PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly);
    defineMethods(m, key, kKeyMethods);
    // Key is a broadcaster like any other: AsBroadcaster's own functions and list.
    initializeBroadcaster(m, key);
}

} // namespace swf::avm1
