#include "engine/avm1/MovieClipObject.h"

#include "engine/avm1/ClipDisplayMembers.h"
#include "engine/avm1/Machine.h"

namespace swf::avm1 {

bool MovieClipObject::getComputed(Machine& machine, std::string_view name, Value& out)
{
    if (!host_)
        return false;
    if (auto property = clipPropertyByName(name)) {
        out = host_->getProperty(*property);
        return true;
    }
    if (Object* child = host_->childByName(name, machine.caseSensitive())) {
        out = Value(child);
        return true;
    }
    return getClipDisplayMember(machine, this, *host_, name, out);
}

bool MovieClipObject::hasComputed(Machine& machine, std::string_view name)
{
    return host_ && (host_->childByName(name, machine.caseSensitive()) || clipPropertyByName(name).has_value());
}

bool MovieClipObject::setComputed(Machine& machine, std::string_view name, const Value& value)
{
    if (!host_)
        return false;
    auto property = clipPropertyByName(name);
    if (!property)
        return setClipDisplayMember(machine, *host_, name, value);
    host_->setProperty(*property, value);
    return true;
}

void MovieClipObject::appendComputedNames(std::vector<std::string>& names)
{
    if (!host_)
        return;
    for (Object* child : host_->namedChildren()) {
        if (ClipHost* childHost = clipHost(child)) {
            std::string n = childHost->name();
            if (!n.empty())
                names.push_back(std::move(n));
        }
    }
}

std::optional<std::string> MovieClipObject::defaultString()
{
    // A reference to a clip that has since been removed reads as an empty string.
    return host_ ? host_->targetPath(false) : std::string();
}

} // namespace swf::avm1
