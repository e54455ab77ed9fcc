#include "engine/avm1/Object.h"


#include <algorithm>

namespace swf::avm1 {

std::string Object::key(std::string_view name) const
{
    std::string k(name);
    if (!caseSensitive_) {
        for (char& c : k) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return k;
}

bool Object::hiddenByVersion(const Property& p) const
{
    using namespace PropertyFlag;
    return ((p.flags & Version6) && version_ < 6) || ((p.flags & Version7) && version_ < 7) ||
        ((p.flags & Version8) && version_ < 8) || ((p.flags & Version9) && version_ < 9) ||
        ((p.flags & Version10) && version_ < 10);
}

Property* Object::findOwn(std::string_view name)
{
    auto it = index_.find(key(name));
    if (it == index_.end() || hiddenByVersion(props_[it->second]))
        return nullptr;
    return &props_[it->second];
}

Property* Object::findOwnAnyVersion(std::string_view name)
{
    auto it = index_.find(key(name));
    return it == index_.end() ? nullptr : &props_[it->second];
}

const Property* Object::findOwn(std::string_view name) const
{
    auto it = index_.find(key(name));
    if (it == index_.end() || hiddenByVersion(props_[it->second]))
        return nullptr;
    return &props_[it->second];
}

Property& Object::ensure(std::string_view name)
{
    auto [it, inserted] = index_.try_emplace(key(name), props_.size());
    if (inserted)
        props_.push_back(Property{std::string(name), Value(), 0, nullptr, nullptr});
    return props_[it->second];
}

void Object::put(std::string_view name, Value value, uint16_t flags)
{
    Property& p = ensure(name);
    p.value = std::move(value);
    p.flags = flags;
    p.getter = p.setter = nullptr;
}

bool Object::erase(std::string_view name)
{
    auto it = index_.find(key(name));
    if (it == index_.end())
        return false;
    props_.erase(props_.begin() + static_cast<std::ptrdiff_t>(it->second));
    reindex();
    return true;
}

void Object::reindex()
{
    index_.clear();
    for (size_t i = 0; i < props_.size(); ++i)
        index_.emplace(key(props_[i].name), i);
}

bool Object::getComputed(Machine&, std::string_view, Value&)
{
    return false;
}

bool Object::hasComputed(Machine&, std::string_view)
{
    return false;
}

bool Object::setComputed(Machine&, std::string_view, const Value&)
{
    return false;
}

void Object::storeOwn(Machine&, std::string_view name, Value value, Property* own)
{
    if (own)
        own->value = std::move(value);
    else
        put(name, std::move(value));
}

void Object::appendComputedNames(std::vector<std::string>&) {}

void Object::visitEdges(Visitor& visitor)
{
    visitor.visit(proto_);
    for (const Property& p : props_) {
        visitor.visit(p.value);
        visitor.visit(p.getter);
        visitor.visit(p.setter);
    }
    for (const auto& [name, watch] : watches) {
        visitor.visit(watch.callback);
        visitor.visit(watch.userData);
    }
}

} // namespace swf::avm1
