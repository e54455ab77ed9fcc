#pragma once

// String, Number, Boolean and Date objects: a primitive value in an object. The
// wrappers' methods unwrap it; Date converts to a primitive string first and keeps out
// of valueOf-based equality.

#include "engine/avm1/Object.h"

namespace swf::avm1 {

class BoxedObject : public Object {
public:
    BoxedObject(Object* proto, int swfVersion, Value primitive)
        : Object(proto, swfVersion), primitive_(std::move(primitive))
    {
    }

    const Value& primitive() const { return primitive_; }
    void setPrimitive(Value value) { primitive_ = std::move(value); }
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(primitive_);
    }

protected:
    bool keepsNativeState() const override { return true; }

private:
    Value primitive_;
};

class StringObject final : public BoxedObject {
public:
    using BoxedObject::BoxedObject;
};

class NumberObject final : public BoxedObject {
public:
    using BoxedObject::BoxedObject;
};

class BooleanObject final : public BoxedObject {
public:
    using BoxedObject::BoxedObject;
};

class DateObject final : public BoxedObject {
public:
    using BoxedObject::BoxedObject;
    bool convertsToStringFirst() const override { return true; }
    bool equalityUsesValueOf() const override { return false; }
};

// The primitive of `value` when it is a boxed T, else `value` itself.
template <class T>
Value unboxed(const Value& value)
{
    if (Object* o = value.asObject(); o) {
        if (const T* boxed = o->as<T>())
            return boxed->primitive();
    }
    return value;
}

} // namespace swf::avm1
