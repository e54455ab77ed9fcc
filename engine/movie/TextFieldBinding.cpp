// The timeline's side of text fields: their script objects, and the variables fields
// are bound to, which they show as each frame ends.

#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/TextFieldScript.h"
#include "engine/movie/Timeline.h"

#include <functional>

namespace swf::movie {

using avm1::support::equalsNoCase;

namespace {

// Clips nested inside clips that the binding walk follows; deeper ones are left alone.
constexpr int kMaxBindingNesting = 256;

} // namespace

avm1::Object* TimelinePlayer::textFieldObject(ClipState& container, DisplayObject& field)
{
    avm1::Machine* m = machine();
    if (!m || !field.textField)
        return nullptr;
    TextFieldState& state = *field.textField;
    if (!state.script.get()) {
        avm1::TextFieldObject* object = m->newTextFieldObject(nullptr);
        auto host = std::make_unique<TextFieldScript>(*this, machine_, state, container, object);
        object->setHost(host.get());
        state.script.set(std::move(host));
    }
    return state.script.get()->scriptObject();
}

avm1::Object* TimelinePlayer::duplicateTextField(ClipState& container, const ClipPath& containerPath,
                                                const DisplayObject& field, const std::string& name, int depth)
{
    if (!field.textField)
        return nullptr;
    DisplayObject copy = duplicateOf(field, depth, name);
    const MovieDef& movie = movieOf(container);
    if (field.character && field.character->kind == CharacterKind::EditText && field.character->editText)
        copy.textField.emplace(
            TextFieldState::fromDefinition(field.character->editText, movie.header.version, movie.outlineFonts));
    else
        copy.textField.emplace(
            TextFieldState::created(field.textField->look ? field.textField->look->bounds : Rect{}, movie.outlineFonts));
    placeByScript(container, containerPath, std::move(copy));
    DisplayObject* inserted = container.find(depth);
    if (!inserted || !inserted->textField)
        return nullptr;
    if (scriptsEnabled_ && !inserted->textField->variable.empty())
        pendingBinds_.emplace_back(containerPath, depth);
    return textFieldObject(container, *inserted);
}

std::pair<avm1::Object*, std::string> TimelinePlayer::locateVariable(avm1::Object* owner, std::string_view variable)
{
    avm1::Machine* m = machine();
    if (!m || !owner || variable.empty())
        return {nullptr, {}};
    // "path:name" or "path.name": the path leads from `owner` to the timeline.
    size_t split = variable.rfind(':');
    if (split == std::string_view::npos)
        split = variable.rfind('.');
    if (split == std::string_view::npos)
        return {owner, std::string(variable)};
    std::string_view path = variable.substr(0, split);
    std::string name(variable.substr(split + 1));
    avm1::Object* current = owner;
    if (!path.empty() && path[0] == '/') {
        current = avm1::clipHost(owner) ? avm1::clipHost(owner)->rootObject() : nullptr;
        path.remove_prefix(1);
    }
    while (current && !path.empty()) {
        size_t sep = path.find_first_of("/.");
        std::string_view segment = path.substr(0, sep);
        path = sep == std::string_view::npos ? std::string_view() : path.substr(sep + 1);
        if (segment.empty())
            continue;
        if (segment == ".." || equalsNoCase(segment, "_parent"))
            current = avm1::clipHost(current) ? avm1::clipHost(current)->parentObject() : nullptr;
        else if (equalsNoCase(segment, "_root"))
            current = avm1::clipHost(current) ? avm1::clipHost(current)->rootObject() : nullptr;
        else
            current = m->getMember(avm1::Value(current), segment).asObject();
    }
    return {current, name};
}

void TimelinePlayer::setBoundVariable(avm1::Object* owner, std::string_view variable, const avm1::Value& value)
{
    avm1::Machine* m = machine();
    if (!m)
        return;
    try {
        auto [target, name] = locateVariable(owner, variable);
        if (target && !name.empty())
            m->setMember(avm1::Value(target), name, value);
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
}

avm1::Value TimelinePlayer::boundValue(avm1::Object* owner, std::string_view variable)
{
    avm1::Machine* m = machine();
    if (!m)
        return {};
    try {
        auto [target, name] = locateVariable(owner, variable);
        if (target && !name.empty() && m->hasProperty(target, name))
            return m->getMember(avm1::Value(target), name);
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
    return {};
}

void TimelinePlayer::bindTextField(avm1::Object* owner, TextFieldState& field, const std::string& initial)
{
    bindTextField(owner, field.variable, initial, [&field] { return &field; });
}

void TimelinePlayer::bindTextField(avm1::Object* owner, const std::string& variable, const std::string& initial,
                                   const std::function<TextFieldState*()>& find)
{
    avm1::Machine* m = machine();
    if (!m || !owner || variable.empty())
        return;
    // Reading the variable may run a getter that changes the display list: the field
    // is found again after it.
    const avm1::Value value = boundValue(owner, variable);
    if (value.isUndefined()) {
        if (TextFieldState* field = find())
            showBoundText(*field, initial);
        setBoundVariable(owner, variable, avm1::Value(initial));
        return;
    }
    try {
        std::string text = m->toString(value);
        if (TextFieldState* field = find())
            showBoundText(*field, std::move(text));
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
}

void TimelinePlayer::bindPlacedFields(ClipState& root)
{
    if (pendingBinds_.empty())
        return;
    auto pending = std::move(pendingBinds_);
    pendingBinds_.clear();
    for (auto& [path, depth] : pending) {
        ClipState* clip = resolve(root, path);
        DisplayObject* object = clip ? clip->find(depth) : nullptr;
        if (!object || !object->textField || object->textField->variable.empty())
            continue;
        const EditTextDef* def = object->textField->look->def.get();
        const std::string initial = def && def->initialText ? *def->initialText : std::string();
        const std::string variable = object->textField->variable;
        avm1::Object* owner = scriptObject(root, path);
        // A field defined without text leaves a variable not yet set unset.
        if (!(def && def->initialText) && owner && boundValue(owner, variable).isUndefined())
            continue;
        bindTextField(owner, variable, initial, [&]() -> TextFieldState* {
            ClipState* at = resolve(root, path);
            DisplayObject* found = at ? at->find(depth) : nullptr;
            return found && found->textField ? found->textField.get() : nullptr;
        });
    }
}

void TimelinePlayer::syncBoundFields(ClipState& root)
{
    if (!scriptsEnabled_ || !machine_)
        return;
    root_ = &root;
    bindPlacedFields(root);
    // Reading a variable may run getters, which may change any list: gather the bound
    // fields first, then find each again by its path before touching it.
    std::vector<ClipPath> fields;
    ClipPath path;
    collectBoundFields(root, path, 0, fields);
    avm1::Machine& m = *machine_;
    for (ClipPath& at : fields) {
        const int32_t depth = at.back();
        at.pop_back();
        auto field = [&]() -> TextFieldState* {
            ClipState* clip = resolve(root, at);
            DisplayObject* object = clip ? clip->find(depth) : nullptr;
            return object && object->textField ? object->textField.get() : nullptr;
        };
        avm1::Object* owner = scriptObject(root, at);
        if (!owner || !field())
            continue;
        const std::string variable = field()->variable;
        try {
            auto [target, name] = locateVariable(owner, variable);
            if (!target || name.empty())
                continue;
            if (!m.hasProperty(target, name)) {
                // A variable not yet set starts as the field's text, unless the field
                // was defined without text and has been given none.
                const render::TextFieldLook& look = *field()->look;
                if (!look.text.empty() || (look.def && look.def->initialText))
                    m.setMember(avm1::Value(target), name, avm1::Value(look.text));
                continue;
            }
            avm1::Value value = m.getMember(avm1::Value(target), name);
            if (value.isUndefined())
                continue;
            std::string text = m.toString(value);
            if (TextFieldState* state = field())
                showBoundText(*state, std::move(text));
        } catch (const avm1::ScriptThrow&) {
        } catch (const avm1::ScriptAbort&) {
        }
    }
}

void TimelinePlayer::collectBoundFields(ClipState& clip, ClipPath& path, int nesting, std::vector<ClipPath>& out)
{
    if (nesting > kMaxBindingNesting)
        return;
    for (DisplayObject& child : clip.children) {
        path.push_back(child.depth);
        if (child.clip)
            collectBoundFields(*child.clip, path, nesting + 1, out);
        else if (child.textField && !child.textField->variable.empty())
            out.push_back(path);
        path.pop_back();
    }
}

} // namespace swf::movie
