// Number and Boolean: wrappers of primitives, Number's constants and radix output.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/BoxedObject.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

Value numberToString(Machine& m, Value self, std::span<const Value> args)
{
    Value v = unboxed<NumberObject>(self);
    double n = m.toNumber(v);
    int radix = args.empty() || args[0].isUndefined() ? 10 : m.toInt32(args[0]);
    return Value(numberToRadix(n, radix));
}

Value numberValueOf(Machine& m, Value self, std::span<const Value>)
{
    return Value(m.toNumber(unboxed<NumberObject>(self)));
}

Value booleanToString(Machine& m, Value self, std::span<const Value>)
{
    return Value(m.toString(Value(m.toBoolean(unboxed<BooleanObject>(self)))));
}

Value booleanValueOf(Machine& m, Value self, std::span<const Value>)
{
    return Value(m.toBoolean(unboxed<BooleanObject>(self)));
}

const NativeMethod kNumberMethods[] = {
    {"toString", numberToString},
    {"valueOf", numberValueOf},
};

const NativeMethod kBooleanMethods[] = {
    {"toString", booleanToString},
    {"valueOf", booleanValueOf},
};

// An instance of a class built on a wrapper is made an ordinary object; the built-in
// constructor, reached through super(), makes it a wrapper of its value in place.
template <class T>
void boxInPlace(Machine& m, const Value& self, Object* proto, const Value& primitive)
{
    if (Object* target = stateTarget(m, self))
        target->attachNative(m.make<T>(proto, primitive));
}

Value numberCall(Machine& m, Value self, std::span<const Value> args)
{
    Value n(args.empty() ? 0.0 : m.toNumber(args[0]));
    boxInPlace<NumberObject>(m, self, m.protos().number, n);
    return n;
}

Value numberConstruct(Machine& m, Value, std::span<const Value> args)
{
    return Value(m.toObject(Value(args.empty() ? 0.0 : m.toNumber(args[0]))));
}

Value booleanCall(Machine& m, Value self, std::span<const Value> args)
{
    boxInPlace<BooleanObject>(m, self, m.protos().boolean, Value(!args.empty() && m.toBoolean(args[0])));
    // Called bare with nothing to convert, Boolean gives undefined (new Boolean() is false).
    if (args.empty())
        return Value();
    return Value(m.toBoolean(args[0]));
}

Value booleanConstruct(Machine& m, Value, std::span<const Value> args)
{
    return Value(m.toObject(Value(!args.empty() && m.toBoolean(args[0]))));
}

} // namespace

void installNumberAndBooleanClasses(Machine& m)
{
    Object* numberProto = m.make<NumberObject>(m.protos().object, Value(0.0));
    m.protos().number = numberProto;
    Object* number = m.newClass("Number", numberProto, numberCall, numberConstruct);
    const uint8_t constant = PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly;
    number->put("MAX_VALUE", Value(std::numeric_limits<double>::max()), constant);
    number->put("MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()), constant);
    number->put("NaN", Value(std::nan("")), constant);
    number->put("NEGATIVE_INFINITY", Value(-std::numeric_limits<double>::infinity()), constant);
    number->put("POSITIVE_INFINITY", Value(std::numeric_limits<double>::infinity()), constant);
    defineMethods(m, numberProto, kNumberMethods);

    Object* booleanProto = m.make<BooleanObject>(m.protos().object, Value(false));
    m.protos().boolean = booleanProto;
    m.newClass("Boolean", booleanProto, booleanCall, booleanConstruct);
    defineMethods(m, booleanProto, kBooleanMethods);
}

} // namespace swf::avm1
