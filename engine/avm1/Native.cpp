#include "engine/avm1/Native.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

void defineMethods(Machine& m, Object* target, std::span<const NativeMethod> methods)
{
    for (const NativeMethod& method : methods)
        target->put(method.name, Value(m.newNativeFunction(method.name, method.function)), method.flags);
}

namespace {

// The state of such a class: nothing the engine reads, only that there is some.
class MemberOnlyState final : public Object {
public:
    using Object::Object;

protected:
    bool keepsNativeState() const override { return true; }
};

} // namespace

void markNativeState(Machine& m, const Value& self)
{
    if (Object* target = stateTarget(m, self))
        target->attachNative(m.make<MemberOnlyState>(nullptr));
}

Value adoptState(Machine& m, const Value& self, Object* state)
{
    if (Object* target = stateTarget(m, self)) {
        target->attachNative(state);
        return Value(target);
    }
    return Value(state);
}

Object* stateTarget(Machine& m, const Value& self)
{
    Object* o = self.asObject();
    if (!o || o->hasNativeState() || o == m.global() || o->function())
        return nullptr;
    return o;
}

} // namespace swf::avm1
