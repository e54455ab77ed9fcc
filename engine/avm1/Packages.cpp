#include "engine/avm1/Packages.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

Object* packageObject(Machine& m, std::string_view dottedPath)
{
    Object* current = m.global();
    bool top = true;
    while (!dottedPath.empty()) {
        const size_t dot = dottedPath.find('.');
        const std::string_view part = dottedPath.substr(0, dot);
        Property* existing = current->findOwnAnyVersion(part);
        Object* next = existing ? existing->value.asObject() : nullptr;
        if (!next) {
            next = m.newObject();
            const uint16_t flags = top ? PropertyFlag::DontEnum | PropertyFlag::Version8 : uint16_t{0};
            current->put(part, Value(next), flags);
        }
        current = next;
        top = false;
        dottedPath = dot == std::string_view::npos ? std::string_view() : dottedPath.substr(dot + 1);
    }
    return current;
}

Object* definePackageClass(Machine& m, std::string_view package, const std::string& name, Object* proto,
                           NativeFunction call, NativeFunction construct)
{
    Object* ctor = m.newNativeFunction(name, std::move(call), std::move(construct));
    ctor->put("prototype", Value(proto), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    proto->put("constructor", Value(ctor), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    packageObject(m, package)->put(name, Value(ctor));
    m.protos().setNamed(name, proto);
    return ctor;
}

Object* packageClass(Machine& m, std::string_view package, std::string_view name)
{
    const Property* p = packageObject(m, package)->findOwnAnyVersion(name);
    return p ? p->value.asObject() : nullptr;
}

void defineAccessors(Machine& m, Object* target, std::span<const NativeAccessor> accessors, uint16_t flags)
{
    for (const NativeAccessor& a : accessors) {
        Property& p = target->ensure(a.name);
        p.getter = m.newNativeFunction(a.name, a.get);
        if (a.set)
            p.setter = m.newNativeFunction(a.name, a.set);
        p.flags = flags;
    }
}

} // namespace swf::avm1
