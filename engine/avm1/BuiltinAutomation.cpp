// flash.automation (Configuration, ActionGenerator, StageCapture) and
// flash.text.TextRenderer, the SWF 8 packages a movie may find but that do little in a
// desktop player.
//
// flash.automation serves testing tools that drive a player from outside. No such tool
// talks to this player: a configuration answers no settings, generated actions go
// nowhere, and a stage capture never takes a picture. StageCapture still keeps the
// file name base and clip rectangle a script gives it, so that it reads them back.
//
// TextRenderer holds the settings of advanced anti-aliasing: `maxLevel` (3, 4 or 7;
// 4 at first) and `displayMode` ("default", "crt" or "lcd"). A write of any other value
// is ignored. The global `textRenderer` names the same class.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

namespace swf::avm1 {

namespace {

constexpr uint16_t kShown = 0;
constexpr uint16_t kHidden = PropertyFlag::DontEnum;

Value nothing(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value selfValue(Machine&, Value self, std::span<const Value>)
{
    return self;
}

Value configurationToString(Machine&, Value, std::span<const Value>)
{
    return Value("[AutomationConfiguration]");
}

const NativeMethod kConfigurationMethods[] = {
    {"getTestAutomationConfiguration", nothing, kShown},
    {"getDeviceConfiguration", nothing, kShown},
    {"setDeviceConfiguration", nothing, kShown},
    {"valueOf", selfValue, kShown},
    {"toString", configurationToString, kShown},
};

// A generator and a capture have no value of their own: both valueOf and toString
// answer undefined, so they convert to "undefined".
const NativeMethod kActionGeneratorMethods[] = {
    {"generateAction", nothing, kShown},
    {"generateActions", nothing, kShown},
    {"valueOf", nothing, kShown},
    {"toString", nothing, kShown},
};

// The stage capture's settings live in hidden members of the capture object.
constexpr std::string_view kFileNameBaseSlot = "StageCapture.fileNameBase";
constexpr std::string_view kClipRectSlot = "StageCapture.clipRect";

Value storeSlot(Machine& m, Value self, std::string_view slot, const Value& value)
{
    if (Object* o = self.asObject(); o && o != m.global())
        o->put(slot, value, PropertyFlag::DontEnum);
    return Value();
}

Value readSlot(Value self, std::string_view slot)
{
    Object* o = self.asObject();
    const Property* p = o ? o->findOwn(slot) : nullptr;
    return p ? p->value : Value();
}

Value captureSetFileNameBase(Machine& m, Value self, std::span<const Value> args)
{
    return storeSlot(m, self, kFileNameBaseSlot, arg(args, 0));
}

Value captureGetFileNameBase(Machine&, Value self, std::span<const Value>)
{
    return readSlot(self, kFileNameBaseSlot);
}

Value captureSetClipRect(Machine& m, Value self, std::span<const Value> args)
{
    return storeSlot(m, self, kClipRectSlot, arg(args, 0));
}

Value captureGetClipRect(Machine&, Value self, std::span<const Value>)
{
    return readSlot(self, kClipRectSlot);
}

const NativeMethod kStageCaptureMethods[] = {
    {"capture", nothing, kHidden},
    {"cancel", nothing, kHidden},
    {"getFileNameBase", captureGetFileNameBase, kHidden},
    {"setFileNameBase", captureSetFileNameBase, kHidden},
    {"getClipRect", captureGetClipRect, kHidden},
    {"setClipRect", captureSetClipRect, kHidden},
    {"listenForStageCapture", nothing, kHidden},
    {"valueOf", nothing, kShown},
    {"toString", nothing, kShown},
};

// The anti-aliasing settings, one per machine, kept in the value of the class's own
// accessors.
Property* rendererSetting(Machine& m, std::string_view name)
{
    Object* renderer = packageClass(m, "flash.text", "TextRenderer");
    return renderer ? renderer->findOwn(name) : nullptr;
}

Value rendererGetMaxLevel(Machine& m, Value, std::span<const Value>)
{
    const Property* p = rendererSetting(m, "maxLevel");
    return p ? p->value : Value();
}

Value rendererSetMaxLevel(Machine& m, Value, std::span<const Value> args)
{
    const double level = m.toNumber(arg(args, 0));
    Property* p = rendererSetting(m, "maxLevel");
    if (p && (level == 3 || level == 4 || level == 7))
        p->value = Value(level);
    return Value();
}

Value rendererGetDisplayMode(Machine& m, Value, std::span<const Value>)
{
    const Property* p = rendererSetting(m, "displayMode");
    return p ? p->value : Value();
}

Value rendererSetDisplayMode(Machine& m, Value, std::span<const Value> args)
{
    const Value value = arg(args, 0);
    Property* p = rendererSetting(m, "displayMode");
    if (!p || !value.isString())
        return Value();
    const std::string mode = m.toString(value);
    if (mode == "default" || mode == "crt" || mode == "lcd")
        p->value = Value(mode);
    return Value();
}

// The tables the player anti-aliases with are its own; a movie's are not taken.
Value rendererSetAntialiasingTable(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeAccessor kRendererAccessors[] = {
    {"maxLevel", rendererGetMaxLevel, rendererSetMaxLevel},
    {"displayMode", rendererGetDisplayMode, rendererSetDisplayMode},
};

const NativeMethod kRendererMethods[] = {
    {"setAdvancedAntialiasingTable", rendererSetAntialiasingTable, kShown},
};

void defineAutomationClass(Machine& m, const std::string& name, std::span<const NativeMethod> methods)
{
    Object* proto = m.newObject();
    defineMethods(m, proto, methods);
    definePackageClass(m, "flash.automation", name, proto, nothing);
}

} // namespace

void installAutomationAndTextRenderer(Machine& m)
{
    if (m.version() < 8)
        return;
    defineAutomationClass(m, "StageCapture", kStageCaptureMethods);
    defineAutomationClass(m, "ActionGenerator", kActionGeneratorMethods);
    defineAutomationClass(m, "Configuration", kConfigurationMethods);

    // TextRenderer is a holder of settings, never an object maker: `new` answers
    // undefined.
    Object* proto = m.newObject();
    Object* renderer = definePackageClass(m, "flash.text", "TextRenderer", proto, nothing, nothing);
    defineMethods(m, renderer, kRendererMethods);
    defineAccessors(m, renderer, kRendererAccessors, PropertyFlag::DontDelete);
    renderer->findOwn("maxLevel")->value = Value(4.0);
    renderer->findOwn("displayMode")->value = Value("default");
    m.global()->put("textRenderer", Value(renderer), PropertyFlag::DontEnum | PropertyFlag::Version8);
}

} // namespace swf::avm1
