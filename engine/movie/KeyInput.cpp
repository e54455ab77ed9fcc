#include "engine/movie/KeyInput.h"

#include "engine/avm1/KeyObject.h"
#include "engine/avm1/Listeners.h"
#include "engine/avm1/StringUtil.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/movie/ClipEvents.h"
#include "engine/movie/TabFocus.h"
#include "engine/movie/Timeline.h"

#include <algorithm>
#include <functional>

namespace swf::movie {

namespace {

// Clips inside clips deeper than this are not searched for key handlers.
constexpr int kMaxNesting = 64;
constexpr int kTabKey = 9, kShiftKey = 16;

// A script that wants the key: a clip's handler (run on the clip) or a button's key
// action (run on the button's timeline).
struct KeyScript {
    ClipPath path;
    std::span<const uint8_t> code;
};

void collect(ClipState& clip, ClipPath& path, int nesting, int version, uint32_t clipEvent, uint8_t buttonKey,
             std::vector<KeyScript>& out)
{
    if (nesting > kMaxNesting)
        return;
    for (DisplayObject& child : clip.children) {
        if (!child.clipActions.empty()) {
            for (const ClipEventHandler& handler : parseClipEvents(child.clipActions, version)) {
                if (handler.events & clipEvent) {
                    ClipPath at = path;
                    at.push_back(child.depth);
                    out.push_back({std::move(at), handler.code});
                }
            }
        }
        if (buttonKey != 0 && child.character && child.character->button) {
            for (const ButtonAction& action : child.character->button->def.actions) {
                if (action.keyCode == buttonKey)
                    out.push_back({path, action.code});
            }
        }
        if (child.clip) {
            path.push_back(child.depth);
            collect(*child.clip, path, nesting + 1, version, clipEvent, buttonKey, out);
            path.pop_back();
        }
    }
}

// Key's listeners that have a handler for `method`.
std::vector<avm1::Object*> listenersWith(avm1::Machine& m, const char* method)
{
    std::vector<avm1::Object*> out;
    avm1::Object* key = avm1::keyObject(m);
    for (avm1::Object* listener : avm1::listenersOf(m, key)) {
        try {
            if (m.getMember(avm1::Value(listener), method).isObject())
                out.push_back(listener);
        } catch (const avm1::ScriptThrow&) {
        } catch (const avm1::ScriptAbort&) {
        }
    }
    return out;
}

// The input field holding the focus, if any.
avm1::TextFieldHost* focusedInputField(avm1::Machine& m)
{
    avm1::SelectionObject* selection = avm1::selectionObject(m);
    avm1::TextFieldHost* field = selection ? avm1::textFieldHost(selection->focus()) : nullptr;
    if (!field || m.toString(field->get(avm1::TextFieldProperty::Type)) != "input")
        return nullptr;
    return field;
}

// The topmost input field under `local` in `clip`, with the clip holding it.
std::pair<ClipState*, DisplayObject*> inputFieldIn(ClipState& clip, Point local, int nesting)
{
    if (nesting > kMaxNesting)
        return {nullptr, nullptr};
    for (size_t i = clip.children.size(); i-- > 0;) {
        DisplayObject& child = clip.children[i];
        if (!child.visible || child.clipDepth || !child.matrix.invertible())
            continue;
        const Point inner = child.matrix.inverted().apply(local);
        if (child.textField && child.textField->look) {
            const Rect& b = child.textField->look->bounds;
            if (inner.x < b.xMin || inner.x > b.xMax || inner.y < b.yMin || inner.y > b.yMax)
                continue;
            if (!child.textField->input)
                return {nullptr, nullptr};  // the topmost field there takes no typing
            return {&clip, &child};
        }
        if (child.clip) {
            if (auto found = inputFieldIn(*child.clip, inner, nesting + 1); found.second)
                return found;
        }
    }
    return {nullptr, nullptr};
}

} // namespace

bool focusFieldAt(ClipState& root, TimelinePlayer& timeline, Point stage)
{
    avm1::Machine* m = timeline.machine();
    avm1::SelectionObject* selection = m ? avm1::selectionObject(*m) : nullptr;
    if (!selection)
        return false;
    auto [container, field] = inputFieldIn(root, stage, 0);
    avm1::Object* to = field ? timeline.textFieldObject(*container, *field) : nullptr;
    // A press away from any input field takes the focus from the field holding it.
    if (!to && !avm1::textFieldHost(selection->focus()))
        return false;
    timeline.runQueuedScripts(root);
    const bool moved = avm1::moveFocusByPlayer(*m, *selection, to);
    if (avm1::TextFieldHost* host = moved ? avm1::textFieldHost(to) : nullptr) {
        const int end = static_cast<int>(host->length());
        host->setSelection(end, end);
    }
    timeline.runQueuedScripts(root);
    return moved;
}

bool typeIntoField(avm1::Machine& m, avm1::TextFieldHost& field, int keyCode, const std::string& text)
{
    using Selection = avm1::TextFieldHost::Selection;
    const int length = static_cast<int>(field.length());
    Selection s = field.selection();
    if (s.caret < 0) {
        field.setSelection(length, length);
        s = field.selection();
    }
    const bool collapsed = s.begin == s.end;
    std::string insert;
    switch (keyCode) {
    case 37:  // left
        field.setSelection(std::max(collapsed ? s.caret - 1 : s.begin, 0), std::max(collapsed ? s.caret - 1 : s.begin, 0));
        return false;
    case 39:  // right
        field.setSelection(std::min(collapsed ? s.caret + 1 : s.end, length), std::min(collapsed ? s.caret + 1 : s.end, length));
        return false;
    case 36:  // home
        field.setSelection(0, 0);
        return false;
    case 35:  // end
        field.setSelection(length, length);
        return false;
    case 8:  // backspace
        if (collapsed && s.caret == 0)
            return false;
        if (collapsed)
            field.setSelection(s.caret - 1, s.caret);
        break;
    case 46:  // delete
        if (collapsed && s.caret >= length)
            return false;
        if (collapsed)
            field.setSelection(s.caret, s.caret + 1);
        break;
    case 13:  // enter: a new paragraph, in fields of more than one line
        if (!m.toBoolean(field.get(avm1::TextFieldProperty::Multiline)))
            return false;
        insert.push_back('\r');
        break;
    default: {
        if (text.empty())
            return false;
        insert = text;
        // The field's restrict setting decides what typing may enter.
        auto* object = field.scriptObject() ? field.scriptObject()->as<avm1::TextFieldObject>() : nullptr;
        if (object && object->settings.restrict.isString()) {
            const std::u32string allowed = avm1::decodeUtf8(object->settings.restrict.asString());
            std::u32string kept;
            for (char32_t c : avm1::decodeUtf8(text)) {
                if (char32_t entered = avm1::restrictedCharacter(allowed, c))
                    kept.push_back(entered);
            }
            if (kept.empty())
                return false;
            insert = avm1::encodeUtf8(kept);
        }
        break;
    }
    }
    // No more characters than maxChars allows.
    const double maxChars = m.toNumber(field.get(avm1::TextFieldProperty::MaxChars));
    if (!insert.empty() && maxChars > 0 && length - (s.end - s.begin) >= maxChars)
        return false;
    field.replaceSelection(insert);
    return true;
}

uint8_t buttonKeyCode(int keyCode, char32_t character)
{
    if (character >= 32 && character <= 126)
        return static_cast<uint8_t>(character);
    switch (keyCode) {
    case 37: return 1;   // left
    case 39: return 2;   // right
    case 36: return 3;   // home
    case 35: return 4;   // end
    case 45: return 5;   // insert
    case 46: return 6;   // delete
    case 8: return 8;    // backspace
    case 13: return 13;  // enter
    case 38: return 14;  // up
    case 40: return 15;  // down
    case 33: return 16;  // page up
    case 34: return 17;  // page down
    case 9: return 18;   // tab
    case 27: return 19;  // escape
    default: return 0;
    }
}

bool KeyInput::wants(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character)
{
    avm1::Machine* m = timeline.machine();
    if (!m)
        return false;
    if (focusedInputField(*m))
        return true;
    // Tab moves the focus when anything takes it from the keyboard.
    if (keyCode == kTabKey && !collectTabStops(root, timeline).empty())
        return true;
    if (!listenersWith(*m, "onKeyDown").empty() || !listenersWith(*m, "onKeyUp").empty())
        return true;
    std::vector<KeyScript> scripts;
    ClipPath path;
    collect(root, path, 0, m->version(), ClipEvent::KeyDown | ClipEvent::KeyUp, buttonKeyCode(keyCode, character),
            scripts);
    return !scripts.empty();
}

bool KeyInput::press(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character)
{
    return deliver(root, timeline, keyCode, character, true);
}

bool KeyInput::release(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character)
{
    return deliver(root, timeline, keyCode, character, false);
}

namespace {
// Tells the field's listeners (the field first) that its text changed.
void announceChange(avm1::Machine& m, avm1::TextFieldHost& field)
{
    try {
        const avm1::Value self(field.scriptObject());
        const avm1::Value args[] = {self};
        avm1::broadcast(m, field.scriptObject(), "onChanged", args);
    } catch (const avm1::ScriptThrow& thrown) {
        m.reportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }
}
} // namespace

bool KeyInput::typingFocused(TimelinePlayer& timeline)
{
    avm1::Machine* m = timeline.machine();
    return m && focusedInputField(*m);
}

bool KeyInput::commit(ClipState& root, TimelinePlayer& timeline, const std::string& text)
{
    return enter(root, timeline, text, false);
}

bool KeyInput::paste(ClipState& root, TimelinePlayer& timeline, const std::string& text)
{
    return enter(root, timeline, text, true);
}

bool KeyInput::enter(ClipState& root, TimelinePlayer& timeline, const std::string& text, bool pasted)
{
    avm1::Machine* m = timeline.machine();
    if (!m || text.empty())
        return false;
    timeline.runQueuedScripts(root);
    avm1::TextFieldHost* field = focusedInputField(*m);
    if (!field)
        return false;
    // Controls are not typing: only the characters, and, pasted into a field of more
    // than one line, its line breaks (one paragraph end each, as Enter makes).
    const bool keepBreaks = pasted && m->toBoolean(field->get(avm1::TextFieldProperty::Multiline));
    const std::u32string source = avm1::decodeUtf8(text);
    std::u32string typed;
    for (size_t i = 0; i < source.size(); ++i) {
        const char32_t c = source[i];
        if (c >= 32 && c != 127)
            typed.push_back(c);
        else if (keepBreaks && (c == '\n' || (c == '\r' && !(i + 1 < source.size() && source[i + 1] == '\n'))))
            typed.push_back('\r');
    }
    // Pasted text is cut to the room maxChars leaves, where typing stops at the limit.
    const double maxChars = m->toNumber(field->get(avm1::TextFieldProperty::MaxChars));
    if (pasted && maxChars > 0) {
        const avm1::TextFieldHost::Selection s = field->selection();
        const double kept = static_cast<double>(field->length()) - std::max(0, s.end - s.begin);
        typed.resize(static_cast<size_t>(std::clamp(maxChars - kept, 0.0, static_cast<double>(typed.size()))));
    }
    if (typed.empty() || !typeIntoField(*m, *field, 0, avm1::encodeUtf8(typed)))
        return false;
    announceChange(*m, *field);
    timeline.runQueuedScripts(root);
    timeline.syncBoundFields(root);
    return true;
}

bool KeyInput::selectAll(TimelinePlayer& timeline)
{
    avm1::Machine* m = timeline.machine();
    avm1::TextFieldHost* field = m ? focusedInputField(*m) : nullptr;
    if (!field)
        return false;
    field->setSelection(0, static_cast<int>(field->length()));
    return true;
}

std::string KeyInput::selectedText(ClipState& root, TimelinePlayer& timeline, bool cut)
{
    avm1::Machine* m = timeline.machine();
    avm1::TextFieldHost* field = m ? focusedInputField(*m) : nullptr;
    // A password field gives out nothing: its text stays behind its asterisks.
    if (!field || m->toBoolean(field->get(avm1::TextFieldProperty::Password)))
        return {};
    const avm1::TextFieldHost::Selection s = field->selection();
    if (s.begin < 0 || s.end <= s.begin)
        return {};
    const std::u32string all = avm1::decodeUtf8(m->toString(field->get(avm1::TextFieldProperty::Text)));
    const auto begin = std::min(static_cast<size_t>(s.begin), all.size());
    const auto end = std::min(static_cast<size_t>(s.end), all.size());
    std::string selected = avm1::encodeUtf8(all.substr(begin, end - begin));
    // Cutting removes the selection as Delete does, and the field says it changed.
    if (cut && typeIntoField(*m, *field, 46, {})) {
        announceChange(*m, *field);
        timeline.runQueuedScripts(root);
        timeline.syncBoundFields(root);
    }
    return selected;
}

bool KeyInput::deliver(ClipState& root, TimelinePlayer& timeline, int keyCode, char32_t character, bool down)
{
    avm1::Machine* m = timeline.machine();
    if (!m)
        return false;
    // Whether the movie takes the key is decided before its scripts run, so that a
    // handler removing itself still counts for this key.
    bool taken = wants(root, timeline, keyCode, character);
    if (avm1::KeyObject* key = avm1::keyObject(*m))
        down ? key->press(keyCode, character) : key->release(keyCode, character);

    // Settles whatever waits and makes this root the one scripts see.
    timeline.runQueuedScripts(root);
    // Tab moves the focus first (back with Shift); the key's listeners hear of it after.
    if (down && keyCode == kTabKey) {
        const avm1::KeyObject* key = avm1::keyObject(*m);
        moveTabFocus(root, timeline, key && key->isDown(kShiftKey));
    }
    // A focused input field takes the typing; its listeners (itself first) hear
    // onChanged of each change.
    if (avm1::TextFieldHost* field = down ? focusedInputField(*m) : nullptr) {
        const std::string typed =
            character >= 32 && character != 127 && character < 0x110000 ? avm1::encodeUtf8(character) : std::string();
        if (typeIntoField(*m, *field, keyCode, typed))
            announceChange(*m, *field);
    }
    const char* method = down ? "onKeyDown" : "onKeyUp";
    try {
        avm1::broadcast(*m, avm1::keyObject(*m), method, {});
    } catch (const avm1::ScriptThrow& thrown) {
        m->reportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }

    std::vector<KeyScript> scripts;
    ClipPath path;
    collect(root, path, 0, m->version(), down ? ClipEvent::KeyDown : ClipEvent::KeyUp,
            down ? buttonKeyCode(keyCode, character) : 0, scripts);
    for (const KeyScript& script : scripts)
        timeline.queueAction(script.path, script.code);
    timeline.runQueuedScripts(root);
    timeline.syncBoundFields(root);
    return taken;
}

} // namespace swf::movie
