#pragma once

// The object a string, number or boolean stands for where the language needs an object
// of it (a member read, `this` of Function.call, a call or `new` of the value itself):
// made each time by the class the global object names for the value's type, so that a
// movie which puts its own class under _global.String sees that class built, its
// constructor run with the value.

namespace swf::avm1 {

class Machine;
class Object;
class Value;

enum class PrimitiveClass {
    BuiltIn,  // the global name still holds the built-in class: box the value as ever
    Made,     // another class made the object
    None,     // the name holds nothing that makes an object of the value
};

// Looks the class up (through getters, never __resolve) and, unless it is the built-in
// one, builds the object; `made` receives it for PrimitiveClass::Made.
PrimitiveClass objectForPrimitive(Machine& m, const Value& primitive, Object*& made);

// The object standing for `primitive` whichever class makes it, or null.
Object* coercedObject(Machine& m, const Value& primitive);

} // namespace swf::avm1
