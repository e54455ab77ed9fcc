#include "engine/avm1/TextFieldObject.h"

namespace swf::avm1 {

bool TextFieldObject::getComputed(Machine&, std::string_view name, Value& out)
{
    if (auto shown = textFieldDisplayMember(this, name)) {
        out = std::move(*shown);
        return true;
    }
    return false;
}

bool TextFieldObject::hasComputed(Machine&, std::string_view name)
{
    return host_ && textFieldDisplayMember(this, name).has_value();
}

bool TextFieldObject::setComputed(Machine&, std::string_view name, const Value& value)
{
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

std::optional<std::string> TextFieldObject::defaultString()
{
    if (!host_)
        return std::nullopt;
    return host_->targetPath(false);
}

} // namespace swf::avm1
