// Number and Boolean: wrappers of primitives, Number's constants and radix output.

#include "engine/avm1/Machine.h"
#include "engine/avm1/BoxedObject.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

void installNumberAndBooleanClasses(Machine& m)
{
    Object* numberProto = m.make<NumberObject>(m.protos().object, Value(0.0));
    m.protos().number = numberProto;
    Object* number = m.newClass(
        "Number", numberProto,
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            return Value(args.empty() ? 0.0 : mm.toNumber(args[0]));
        },
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            return Value(mm.toObject(Value(args.empty() ? 0.0 : mm.toNumber(args[0]))));
        });
    const uint8_t constant = PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly;
    number->put("MAX_VALUE", Value(std::numeric_limits<double>::max()), constant);
    number->put("MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()), constant);
    number->put("NaN", Value(std::nan("")), constant);
    number->put("NEGATIVE_INFINITY", Value(-std::numeric_limits<double>::infinity()), constant);
    number->put("POSITIVE_INFINITY", Value(std::numeric_limits<double>::infinity()), constant);
    m.defineMethod(numberProto, "toString", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Value v = unboxed<NumberObject>(self);
        double n = mm.toNumber(v);
        int radix = args.empty() || args[0].isUndefined() ? 10 : mm.toInt32(args[0]);
        return Value(numberToRadix(n, radix));
    });
    m.defineMethod(numberProto, "valueOf", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return Value(mm.toNumber(unboxed<NumberObject>(self)));
    });

    Object* booleanProto = m.make<BooleanObject>(m.protos().object, Value(false));
    m.protos().boolean = booleanProto;
    m.newClass(
        "Boolean", booleanProto,
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            return Value(!args.empty() && mm.toBoolean(args[0]));
        },
        [](Machine& mm, Value, std::span<const Value> args) -> Value {
            return Value(mm.toObject(Value(!args.empty() && mm.toBoolean(args[0]))));
        });
    m.defineMethod(booleanProto, "toString", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return Value(mm.toString(Value(mm.toBoolean(unboxed<BooleanObject>(self)))));
    });
    m.defineMethod(booleanProto, "valueOf", [](Machine& mm, Value self, std::span<const Value>) -> Value {
        return Value(mm.toBoolean(unboxed<BooleanObject>(self)));
    });
}

} // namespace swf::avm1
