#include "engine/avm1/MovieClipObject.h"

#include "engine/avm1/ClipDisplayMembers.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/Machine.h"

namespace swf::avm1 {

namespace {

bool sameWord(Machine& machine, std::string_view name, std::string_view word)
{
    return machine.caseSensitive() ? name == word : support::equalsNoCase(name, word);
}

bool isParentName(Machine& machine, std::string_view name)
{
    return sameWord(machine, name, "_parent");
}

// The clip `name` reaches from `host` when it is _parent or _root, else null.
Object* relativeClip(Machine& machine, ClipHost& host, std::string_view name)
{
    if (name.size() < 5 || name[0] != '_')
        return nullptr;
    if (isParentName(machine, name))
        return host.parentObject();
    if (sameWord(machine, name, "_root"))
        return host.rootObject();
    return nullptr;
}

} // namespace

bool MovieClipObject::getComputed(Machine& machine, std::string_view name, Value& out)
{
    if (!host_)
        return false;
    // _levelN (or _flashN) read as a member is that level, or undefined when there is
    // none: never a child of that name, nor a member of the prototypes.
    if (auto level = support::levelNumber(name, machine.caseSensitive())) {
        Object* found = machine.level(*level);
        out = found ? Value(found) : Value();
        return true;
    }
    // A child's name comes before a display property of the same name: a clip named
    // "_x" is what clip["_x"] reads, while writes still move the clip.
    if (Object* child = host_->childByName(name, machine.caseSensitive())) {
        out = Value(child);
        return true;
    }
    if (auto property = clipPropertyByName(name)) {
        out = host_->getProperty(*property);
        return true;
    }
    // A clip's _parent and _root read as members too (this._parent, clip._root), not
    // only as names in scope; a root's _parent is undefined.
    if (Object* relative = relativeClip(machine, *host_, name); relative || isParentName(machine, name)) {
        out = relative ? Value(relative) : Value();
        return true;
    }
    return getClipDisplayMember(machine, this, *host_, name, out);
}

bool MovieClipObject::hasComputed(Machine& machine, std::string_view name)
{
    return host_ && (host_->childByName(name, machine.caseSensitive()) || clipPropertyByName(name).has_value() ||
                     isClipDisplayMember(machine, name));
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
    for (std::string& name : host_->childNames())
        names.push_back(std::move(name));
}

Object* MovieClipObject::referent(Machine& machine)
{
    if (host_ || lastPath_.empty())
        return this;
    // "_levelN" first, then the clips' names down the path.
    std::string_view path = lastPath_;
    auto dot = path.find('.');
    std::string_view level = path.substr(0, dot);
    if (!level.starts_with("_level"))
        return this;
    int number = 0;
    for (char c : level.substr(6)) {
        if (c < '0' || c > '9' || number > 100000)
            return this;
        number = number * 10 + (c - '0');
    }
    Object* current = machine.level(number);
    while (current && dot != std::string_view::npos) {
        path.remove_prefix(dot + 1);
        dot = path.find('.');
        ClipHost* host = clipHost(current);
        current = host ? host->childByName(path.substr(0, dot), machine.caseSensitive()) : nullptr;
    }
    return current && clipHost(current) ? current : this;
}

std::optional<std::string> MovieClipObject::defaultString()
{
    // A reference to a removed clip that no other clip has taken the place of reads as
    // an empty string; a clip that went with its parent still reads as its old path.
    if (host_)
        return host_->targetPath(false);
    return removedItself_ ? std::string() : lastPath_;
}

bool sameClipPath(Object* a, Object* b)
{
    if (a == b)
        return true;
    auto* first = a ? a->as<MovieClipObject>() : nullptr;
    auto* second = b ? b->as<MovieClipObject>() : nullptr;
    if (!first || !second)
        return false;
    const std::optional<std::string> path = first->defaultString();
    return path && !path->empty() && path == second->defaultString();
}

} // namespace swf::avm1
