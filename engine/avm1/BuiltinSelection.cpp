// Selection: which object has the keyboard focus (a text field, a button, a clip
// with focusEnabled or button handlers, never a movie's root), moving it with
// setFocus (the old object hears onKillFocus, the new one onSetFocus, then Selection's
// listeners onSetFocus), and the
// focused field's selection (getBeginIndex, getEndIndex, getCaretIndex, setSelection).

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/Listeners.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/TextFieldObject.h"

#include <cmath>

namespace swf::avm1 {

void SelectionObject::visitEdges(Visitor& visitor)
{
    Object::visitEdges(visitor);
    visitor.visit(focus_);
}

Object* SelectionObject::focus() const
{
    // A field or clip that has left the stage holds the focus no more.
    if (!focus_ || (!textFieldHost(focus_) && !clipHost(focus_)))
        return nullptr;
    return focus_;
}

SelectionObject* selectionObject(Machine& m)
{
    const Property* selection = m.global()->findOwn("Selection");
    Object* o = selection ? selection->value.asObject() : nullptr;
    return o ? o->as<SelectionObject>() : nullptr;
}

bool canTakeFocus(Machine& m, Object* object)
{
    if (textFieldHost(object))
        return true;
    ClipHost* clip = clipHost(object);
    // The root of a movie never holds the focus.
    if (!clip || !clip->parentObject())
        return false;
    if (clip->isButton())
        return true;
    if (m.toBoolean(m.getMember(Value(object), "focusEnabled")))
        return true;
    // Clips acting as buttons take the focus as buttons do.
    for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut"}) {
        if (m.getMember(Value(object), handler).isObject())
            return true;
    }
    return false;
}

bool moveFocus(Machine& m, SelectionObject& selection, Object* to)
{
    Object* from = selection.focus();
    if (from == to)
        return false;
    selection.setFocus(to);
    const Value oldFocus = from ? Value(from) : Value(Null{});
    const Value newFocus = to ? Value(to) : Value(Null{});
    if (from) {
        const Value args[] = {newFocus};
        m.callMethod(Value(from), "onKillFocus", args);
    }
    if (to) {
        const Value args[] = {oldFocus};
        m.callMethod(Value(to), "onSetFocus", args);
    }
    const Value args[] = {oldFocus, newFocus};
    broadcast(m, &selection, "onSetFocus", args);
    return true;
}

bool moveFocusByPlayer(Machine& m, SelectionObject& selection, Object* to)
{
    try {
        return moveFocus(m, selection, to);
    } catch (const ScriptThrow& thrown) {
        m.reportUncaught(thrown.value);
    } catch (const ScriptAbort&) {
    }
    return false;
}

namespace {

// On the stage, and shown along with every clip that holds it.
bool shownOnStage(Object* object)
{
    for (int level = 0; object && level < 10000; ++level) {
        Value visible;
        Object* parent = nullptr;
        if (TextFieldHost* field = textFieldHost(object)) {
            visible = field->getDisplayProperty(ClipProperty::Visible);
            parent = field->parentObject();
        } else if (ClipHost* clip = clipHost(object)) {
            visible = clip->getProperty(ClipProperty::Visible);
            parent = clip->parentObject();
        } else {
            return false;
        }
        if (visible.isBool() && !visible.asBool())
            return false;
        object = parent;
    }
    return true;
}

} // namespace

void settleFocus(Machine& m)
{
    SelectionObject* selection = selectionObject(m);
    Object* held = selection ? selection->heldFocus() : nullptr;
    if (!held || shownOnStage(held))
        return;
    selection->setFocus(nullptr);
    const Value oldFocus(held);
    if (textFieldHost(held) || clipHost(held)) {
        const Value args[] = {Value(Null{})};
        m.callMethod(oldFocus, "onKillFocus", args);
    }
    const Value args[] = {oldFocus, Value(Null{})};
    broadcast(m, selection, "onSetFocus", args);
}

bool dropFocusWithin(Machine& m, Object* leaving)
{
    SelectionObject* selection = selectionObject(m);
    Object* held = selection ? selection->heldFocus() : nullptr;
    Object* at = held;
    for (int level = 0; at && at != leaving && level < 10000; ++level) {
        if (TextFieldHost* field = textFieldHost(at))
            at = field->parentObject();
        else if (ClipHost* clip = clipHost(at))
            at = clip->parentObject();
        else
            at = nullptr;
    }
    if (!held || at != leaving)
        return false;
    return moveFocus(m, *selection, nullptr);
}

namespace {

SelectionObject* self(const Value& v)
{
    Object* o = v.asObject();
    return o ? o->as<SelectionObject>() : nullptr;
}

TextFieldHost* focusedField(const Value& thisValue)
{
    SelectionObject* selection = self(thisValue);
    return selection ? textFieldHost(selection->focus()) : nullptr;
}

// "_level0.a.b" or "a.b" (from level 0) to the object it names.
Object* objectAtPath(Machine& m, const std::string& path)
{
    Object* at = m.level(0);
    size_t start = 0;
    bool first = true;
    while (at && start <= path.size()) {
        size_t dot = path.find('.', start);
        std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (first && part.rfind("_level", 0) == 0) {
            at = m.level(std::atoi(part.c_str() + 6));
        } else if (!(first && part == "_root")) {
            at = m.getMember(Value(at), part).asObject();
        }
        first = false;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return at;
}

Value selectionGetFocus(Machine&, Value thisValue, std::span<const Value>)
{
    SelectionObject* selection = self(thisValue);
    Object* focus = selection ? selection->focus() : nullptr;
    if (!focus)
        return Value(Null{});
    if (std::optional<std::string> path = focus->defaultString())
        return Value(*path);
    return Value(Null{});
}

Value selectionSetFocus(Machine& m, Value thisValue, std::span<const Value> args)
{
    SelectionObject* selection = self(thisValue);
    if (!selection)
        return Value(false);
    const Value target = arg(args, 0);
    Object* to = nullptr;
    if (target.isString())
        to = objectAtPath(m, m.toString(target));
    else if (target.isObject())
        to = target.asObject();
    else if (!target.isNullish())
        return Value(false);
    if (to && !canTakeFocus(m, to))
        return Value(false);
    // A field a script focuses has all its text selected, as one reached by Tab, once
    // it has a selection at all (one never given any keeps none).
    if (moveFocus(m, *selection, to)) {
        if (TextFieldHost* field = textFieldHost(to); field && field->selection().begin >= 0)
            field->setSelection(0, static_cast<int>(field->length()));
    }
    return Value(true);
}

Value selectionGetBeginIndex(Machine&, Value thisValue, std::span<const Value>)
{
    TextFieldHost* field = focusedField(thisValue);
    return Value(static_cast<double>(field ? field->selection().begin : -1));
}

Value selectionGetEndIndex(Machine&, Value thisValue, std::span<const Value>)
{
    TextFieldHost* field = focusedField(thisValue);
    return Value(static_cast<double>(field ? field->selection().end : -1));
}

Value selectionGetCaretIndex(Machine&, Value thisValue, std::span<const Value>)
{
    TextFieldHost* field = focusedField(thisValue);
    return Value(static_cast<double>(field ? field->selection().caret : -1));
}

// setSelection(anchor, caret): a missing caret runs to the end of the text; with no
// arguments nothing changes.
Value selectionSetSelection(Machine& m, Value thisValue, std::span<const Value> args)
{
    TextFieldHost* field = focusedField(thisValue);
    if (!field || args.empty() || args[0].isUndefined())
        return Value();
    auto index = [&m](const Value& v, int missing) {
        if (v.isUndefined())
            return missing;
        double n = m.toNumber(v);
        return std::isfinite(n) ? static_cast<int>(std::clamp(n, -1e9, 1e9)) : 0;
    };
    const int length = static_cast<int>(field->length());
    field->setSelection(index(args[0], 0), index(arg(args, 1), length));
    return Value();
}

const NativeMethod kSelectionMethods[] = {
    {"getFocus", selectionGetFocus},
    {"setFocus", selectionSetFocus},
    {"getBeginIndex", selectionGetBeginIndex},
    {"getEndIndex", selectionGetEndIndex},
    {"getCaretIndex", selectionGetCaretIndex},
    {"setSelection", selectionSetSelection},
};

} // namespace

void setRootFocusRect(Machine& m, const Value& value)
{
    SelectionObject* selection = selectionObject(m);
    if (!selection || value.isUndefined() || value.isNull())
        return;
    // An object turns it off; a value that is no number leaves it.
    if (value.isObject()) {
        selection->focusRect = false;
        return;
    }
    const double n = m.toNumber(value);
    if (!std::isnan(n))
        selection->focusRect = n != 0;
}

std::optional<bool> objectFocusRect(Machine& m, const Value& value)
{
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return m.toBoolean(value);
}

void installSelectionObject(Machine& m)
{
    Object* selection = m.make<SelectionObject>(m.protos().object);
    lockPrototype(selection);
    m.global()->put("Selection", Value(selection), PropertyFlag::DontEnum);
    defineMethods(m, selection, kSelectionMethods);
    initializeBroadcaster(m, selection);
}

} // namespace swf::avm1
