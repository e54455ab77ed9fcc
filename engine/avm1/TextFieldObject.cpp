#include "engine/avm1/TextFieldObject.h"

#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/InterpreterSupport.h"

namespace swf::avm1 {

using support::equalsNoCase;

bool TextFieldObject::getComputed(Machine&, std::string_view name, Value& out)
{
    if (host_ && equalsNoCase(name, "_focusrect")) {
        out = settings.focusRect ? Value(*settings.focusRect) : Value(Null{});
        return true;
    }
    if (auto shown = textFieldDisplayMember(this, name)) {
        out = std::move(*shown);
        return true;
    }
    return false;
}

bool TextFieldObject::hasComputed(Machine&, std::string_view name)
{
    return host_ && (equalsNoCase(name, "_focusrect") || textFieldDisplayMember(this, name).has_value());
}

bool TextFieldObject::setComputed(Machine& machine, std::string_view name, const Value& value)
{
    if (host_ && equalsNoCase(name, "_focusrect")) {
        settings.focusRect = objectFocusRect(machine, value);
        return true;
    }
    return setTextFieldDisplayMember(this, name, value);
}

void TextFieldObject::visitEdges(Visitor& visitor)
{
    Object::visitEdges(visitor);
    visitor.visit(settings.restrict);
    visitor.visit(settings.styleSheet);
    visitor.visit(settings.tabIndex);
    visitor.visit(settings.filters);
}

bool restrictAllows(std::u32string_view restrict, char32_t c)
{
    bool allowed = !restrict.empty() && restrict[0] == U'^';
    bool excluding = false;
    for (size_t i = 0; i < restrict.size(); ++i) {
        char32_t from = restrict[i];
        if (from == U'^') {
            excluding = !excluding;
            continue;
        }
        if (from == U'\\' && i + 1 < restrict.size())
            from = restrict[++i];
        char32_t to = from;
        if (i + 2 < restrict.size() && restrict[i + 1] == U'-') {
            to = restrict[i + 2];
            if (to == U'\\' && i + 3 < restrict.size()) {
                to = restrict[i + 3];
                ++i;
            }
            i += 2;
        }
        if (c >= from && c <= to)
            allowed = !excluding;
    }
    return allowed;
}

char32_t restrictedCharacter(std::u32string_view restrict, char32_t c)
{
    if (restrictAllows(restrict, c))
        return c;
    char32_t other = c;
    if (c >= U'a' && c <= U'z')
        other = c - U'a' + U'A';
    else if (c >= U'A' && c <= U'Z')
        other = c - U'A' + U'a';
    return other != c && restrictAllows(restrict, other) ? other : 0;
}

std::optional<std::string> TextFieldObject::defaultString()
{
    if (!host_)
        return std::nullopt;
    return host_->targetPath(false);
}

} // namespace swf::avm1
