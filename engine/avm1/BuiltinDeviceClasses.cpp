// The classes of devices and services this player does not have, present as the
// reference player's standalone build has them so that movies find the names they
// test for: Camera and Microphone (no device: get answers null, names is empty),
// Accessibility (no screen reader: isActive is false), and the Button class whose
// prototype holds the properties every button shares.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

namespace swf::avm1 {

namespace {

Value answerNothing(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value answerNull(Machine&, Value, std::span<const Value>)
{
    return Value(Null{});
}

Value answerFalse(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

// The depth of a button object; the display list answers it for real buttons.
Value buttonGetDepth(Machine& m, Value self, std::span<const Value>)
{
    return self.isObject() ? m.getMember(self, "_depth") : Value();
}

// The methods are listed in reverse of the order for..in shows them in.
const NativeMethod kCameraMethods[] = {
    {"setMode", answerNothing, PropertyFlag::DontEnum},
    {"setQuality", answerNothing, PropertyFlag::DontEnum},
    {"setKeyFrameInterval", answerNothing, PropertyFlag::DontEnum},
    {"setMotionLevel", answerNothing, PropertyFlag::DontEnum},
    {"setLoopback", answerNothing, PropertyFlag::DontEnum},
    {"setCursor", answerNothing, PropertyFlag::DontEnum},
};

const NativeMethod kMicrophoneMethods[] = {
    {"setSilenceLevel", answerNothing, PropertyFlag::DontEnum},
    {"setRate", answerNothing, PropertyFlag::DontEnum},
    {"setGain", answerNothing, PropertyFlag::DontEnum},
    {"setUseEchoSuppression", answerNothing, PropertyFlag::DontEnum},
    {"setCodec", answerNothing, PropertyFlag::DontEnum},
    {"setFramesPerPacket", answerNothing, PropertyFlag::DontEnum},
    {"setEncodeQuality", answerNothing, PropertyFlag::DontEnum},
};

const NativeMethod kAccessibilityMethods[] = {
    {"isActive", answerFalse, PropertyFlag::ReadOnly},
    {"sendEvent", answerNothing, PropertyFlag::ReadOnly},
    {"updateProperties", answerNothing, PropertyFlag::ReadOnly},
};

// A read-only accessor on `target`: reading calls `getter`, writing does nothing.
void putReadOnlyAccessor(Machine& m, Object* target, const char* name, Object* getter, uint16_t flags)
{
    Property& p = target->ensure(name);
    p.value = Value();
    p.getter = getter;
    p.setter = nullptr;
    p.flags = flags | PropertyFlag::ReadOnly;
    p.accessorId = m.newAccessorId();
}

// Camera or Microphone: a class whose `get` finds no device and whose `names` lists none.
void installDeviceClass(Machine& m, const char* name, std::span<const NativeMethod> methods)
{
    Object* proto = m.newObject();
    m.protos().setNamed(name, proto);
    Object* cls = m.newClass(name, proto, answerNothing);
    defineMethods(m, proto, methods);
    cls->put("get", Value(m.newNativeFunction("get", answerNull)));
    Object* names = m.newNativeFunction("names", [](Machine& machine, Value, std::span<const Value>) {
        return Value(machine.newArray());
    });
    putReadOnlyAccessor(m, cls, "names", names, 0);
}

} // namespace

void installDeviceClasses(Machine& m)
{
    installDeviceClass(m, "Camera", kCameraMethods);
    installDeviceClass(m, "Microphone", kMicrophoneMethods);

    Object* accessibility = m.newObject();
    lockPrototype(accessibility);
    m.global()->put("Accessibility", Value(accessibility), PropertyFlag::DontEnum);
    defineMethods(m, accessibility, kAccessibilityMethods);

    Object* buttonProto = m.newObject();
    m.protos().setNamed("Button", buttonProto);
    m.newClass("Button", buttonProto, [](Machine& machine, Value self, std::span<const Value>) {
        markNativeState(machine, self);
        return Value();
    });
    buttonProto->put("useHandCursor", Value(true));
    buttonProto->put("enabled", Value(true));
    buttonProto->put("getDepth", Value(m.newNativeFunction("getDepth", buttonGetDepth)));
    // The display properties buttons gained in version 8, read through each button.
    Object* unset = m.newNativeFunction("", answerNothing);
    for (const char* name : {"scale9Grid", "filters", "cacheAsBitmap", "blendMode"})
        putReadOnlyAccessor(m, buttonProto, name, unset, PropertyFlag::Version8);
}

} // namespace swf::avm1
