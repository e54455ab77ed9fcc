#include "engine/avm1/Object.h"


#include <algorithm>

namespace swf::avm1 {

namespace {

// Atoms are dense small numbers: a multiplicative hash spreads neighbours apart.
size_t slotFor(Atom atom, size_t mask)
{
    return (static_cast<size_t>(atom) * 0x9E3779B97F4A7C15ull >> 32) & mask;
}

} // namespace

bool Object::hiddenByVersion(const Property& p) const
{
    using namespace PropertyFlag;
    return ((p.flags & Version6) && version_ < 6) || ((p.flags & Version7) && version_ < 7) ||
        ((p.flags & Version8) && version_ < 8) || ((p.flags & Version9) && version_ < 9) ||
        ((p.flags & Version10) && version_ < 10);
}

std::ptrdiff_t Object::indexedOf(Atom atom) const
{
    size_t mask = index_.size() - 1;
    for (size_t i = slotFor(atom, mask);; i = (i + 1) & mask) {
        uint32_t entry = index_[i];
        if (entry == 0)
            return -1;
        if (keys_[entry - 1] == atom)
            return static_cast<std::ptrdiff_t>(entry - 1);
    }
}

Property* Object::findOwn(std::string_view name)
{
    return findOwn(atoms_->find(name));
}

Property* Object::findOwnAnyVersion(std::string_view name)
{
    std::ptrdiff_t i = indexOf(atoms_->find(name));
    return i < 0 ? nullptr : &props_[static_cast<size_t>(i)];
}

const Property* Object::findOwn(std::string_view name) const
{
    std::ptrdiff_t i = indexOf(atoms_->find(name));
    if (i < 0 || hiddenByVersion(props_[static_cast<size_t>(i)]))
        return nullptr;
    return &props_[static_cast<size_t>(i)];
}

Property& Object::ensure(std::string_view name)
{
    Atom atom = atoms_->intern(name);
    std::ptrdiff_t i = indexOf(atom);
    if (i >= 0)
        return props_[static_cast<size_t>(i)];
    props_.push_back(Property{std::string(name), atom, Value(), 0, nullptr, nullptr});
    keys_.push_back(atom);
    keyBits_ |= keyBit(atom);
    if (!index_.empty() && props_.size() * 2 <= index_.size())
        indexInsert(static_cast<uint32_t>(props_.size() - 1));
    else if (props_.size() > kIndexThreshold)
        reindex();
    return props_.back();
}

void Object::put(std::string_view name, Value value, uint16_t flags)
{
    Property& p = ensure(name);
    p.value = std::move(value);
    p.flags = flags;
    p.getter = p.setter = nullptr;
    p.accessorId = 0;
}

bool Object::erase(std::string_view name)
{
    std::ptrdiff_t i = indexOf(atoms_->find(name));
    if (i < 0)
        return false;
    props_.erase(props_.begin() + i);
    keys_.erase(keys_.begin() + i);
    reindex();
    return true;
}

void Object::reindex()
{
    keyBits_ = 0;
    for (Atom key : keys_)
        keyBits_ |= keyBit(key);
    index_.clear();
    if (props_.size() <= kIndexThreshold)
        return;
    size_t size = 32;
    while (size < props_.size() * 4)
        size *= 2;
    index_.assign(size, 0);
    for (size_t i = 0; i < props_.size(); ++i)
        indexInsert(static_cast<uint32_t>(i));
}

void Object::indexInsert(uint32_t position)
{
    size_t mask = index_.size() - 1;
    size_t i = slotFor(keys_[position], mask);
    while (index_[i] != 0)
        i = (i + 1) & mask;
    index_[i] = position + 1;
}

void Object::attachNative(Object* state)
{
    if (!state || state == this || hasNativeState())
        return;
    native_ = state;
    // The machine's fast paths skip the hooks of plain objects; this one now has some.
    plain_ = false;
}

// The hooks of an object given built-in state defer to that state: an XML node's
// members, a Date's conversions, an array's length upkeep act for the holder.

bool Object::getComputed(Machine& machine, std::string_view name, Value& out)
{
    return native_ && native_->getComputed(machine, name, out);
}

bool Object::hasComputed(Machine& machine, std::string_view name)
{
    return native_ && native_->hasComputed(machine, name);
}

bool Object::setComputed(Machine& machine, std::string_view name, const Value& value)
{
    return native_ && native_->setComputed(machine, name, value);
}

void Object::storeOwn(Machine& machine, std::string_view name, Value value, Property* own)
{
    if (native_)
        native_->storeOn(machine, *this, name, std::move(value), own);
    else
        storeOn(machine, *this, name, std::move(value), own);
}

void Object::storeOn(Machine&, Object& holder, std::string_view name, Value value, Property* own)
{
    if (own)
        own->value = std::move(value);
    else
        holder.put(name, std::move(value));
}

void Object::appendComputedNames(std::vector<std::string>& names)
{
    if (native_)
        native_->appendComputedNames(names);
}

std::optional<std::string> Object::defaultString()
{
    return native_ ? native_->defaultString() : std::nullopt;
}

std::string_view Object::typeName() const
{
    return native_ ? native_->typeName() : "object";
}

bool Object::convertsToStringFirst() const
{
    return native_ && native_->convertsToStringFirst();
}

bool Object::equalityUsesValueOf() const
{
    return !native_ || native_->equalityUsesValueOf();
}

void Object::visitEdges(Visitor& visitor)
{
    visitor.visit(proto_);
    visitor.visit(native_);
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
