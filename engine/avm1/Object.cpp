#include "engine/avm1/Object.h"

#include "engine/avm1/ClipHost.h"

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

void Object::setFunction(std::unique_ptr<FunctionData> data)
{
    function_ = std::move(data);
}

Object* Heap::make(ObjectKind kind, Object* proto, int swfVersion)
{
    if (objects_.size() >= maxObjects_)
        throw ScriptAbort{};
    objects_.push_back(std::make_unique<Object>(kind, proto, swfVersion));
    return objects_.back().get();
}

namespace {

void markValue(const Value& v, std::vector<Object*>& work)
{
    if (Object* o = v.asObject())
        work.push_back(o);
}

void markScope(const Scope* scope, std::vector<Object*>& work)
{
    for (; scope; scope = scope->parent.get())
        work.push_back(scope->object);
}

} // namespace

void Heap::collect(std::span<Object* const> roots, const std::function<void(const std::function<void(Object*)>&)>& markExtra)
{
    std::vector<Object*> work(roots.begin(), roots.end());
    for (const auto& o : objects_) {
        if (o->clip || o->textField)
            work.push_back(o.get());
    }
    if (markExtra)
        markExtra([&work](Object* o) { work.push_back(o); });
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (!o || o->marked)
            continue;
        o->marked = true;
        work.push_back(o->proto());
        for (const Property& p : o->properties()) {
            markValue(p.value, work);
            work.push_back(p.getter);
            work.push_back(p.setter);
        }
        markValue(o->primitive, work);
        for (const auto& [name, watch] : o->watches) {
            work.push_back(watch.callback);
            markValue(watch.userData, work);
        }
        if (const FunctionData* f = o->function()) {
            markScope(f->scope.get(), work);
            work.push_back(f->definingClip);
        }
    }
    // Objects standing for live clips stay whether or not anything refers to them.
    std::erase_if(objects_, [](const std::unique_ptr<Object>& o) { return !o->marked && !o->clip && !o->textField; });
    for (auto& o : objects_)
        o->marked = false;
}

} // namespace swf::avm1
