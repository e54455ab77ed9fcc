#pragma once

// Script objects: named properties in insertion order (for..in and trace walk them that
// way), a prototype link, and what a few kinds carry besides (a function's code, a
// boxed primitive, the clip a MovieClip object stands for). Objects live in the Heap;
// everything else refers to them by plain pointer.

#include "engine/avm1/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swf::avm1 {

class Machine;
class ClipHost;
class TextFieldHost;
struct FunctionData;

namespace PropertyFlag {
constexpr uint16_t DontEnum = 1;
constexpr uint16_t DontDelete = 2;
constexpr uint16_t ReadOnly = 4;
// Properties that only movies of at least this SWF version see (ASSetPropFlags).
constexpr uint16_t Version6 = 0x80;
constexpr uint16_t Version7 = 0x400;
constexpr uint16_t Version8 = 0x1000;
constexpr uint16_t Version9 = 0x2000;
constexpr uint16_t Version10 = 0x4000;
}

struct Property {
    std::string name;
    Value value;
    uint16_t flags = 0;
    Object* getter = nullptr;  // addProperty: reads call the getter ...
    Object* setter = nullptr;  // ... and writes the setter
    bool isAccessor() const { return getter || setter; }
};

enum class ObjectKind : uint8_t { Plain, Function, Array, String, Number, Boolean, Date, MovieClip, Error, TextField };

struct Watch {
    Object* callback = nullptr;
    Value userData;
};

class Object {
public:
    // Names compare without case before SWF 7; `swfVersion` also decides which
    // version-flagged properties exist.
    Object(ObjectKind kind, Object* proto, int swfVersion)
        : kind_(kind), proto_(proto), caseSensitive_(swfVersion >= 7), version_(swfVersion)
    {
    }

    ObjectKind kind() const { return kind_; }
    void setKind(ObjectKind kind) { kind_ = kind; }
    Object* proto() const { return proto_; }
    void setProto(Object* proto) { proto_ = proto; }
    bool caseSensitive() const { return caseSensitive_; }

    Property* findOwn(std::string_view name);
    // Including properties this movie's version does not see (for ASSetPropFlags).
    Property* findOwnAnyVersion(std::string_view name);
    const Property* findOwn(std::string_view name) const;
    // Creates the property when missing; returns it either way.
    Property& ensure(std::string_view name);
    // Plain write of the stored value, ignoring flags and accessors.
    void put(std::string_view name, Value value, uint16_t flags = 0);
    bool erase(std::string_view name);
    const std::vector<Property>& properties() const { return props_; }
    std::vector<Property>& properties() { return props_; }
    size_t propertyCount() const { return props_.size(); }

    // Function objects.
    FunctionData* function() const { return function_.get(); }
    void setFunction(std::unique_ptr<FunctionData> data);
    // Boxed primitive for String/Number/Boolean/Date objects.
    Value primitive;
    // The clip a MovieClip object stands for; null once the clip is gone.
    ClipHost* clip = nullptr;
    // The field a TextField object stands for; null once the field is gone.
    TextFieldHost* textField = nullptr;
    // watch(): callbacks by property name.
    std::unordered_map<std::string, Watch> watches;
    // For collection.
    bool marked = false;

private:
    std::string key(std::string_view name) const;
    bool hiddenByVersion(const Property& p) const;
    void reindex();

    ObjectKind kind_;
    Object* proto_;
    bool caseSensitive_;
    int version_;
    std::vector<Property> props_;
    std::unordered_map<std::string, size_t> index_;
    std::unique_ptr<FunctionData> function_;
};

// Lexical scope: an object whose properties are variables, and the scope outside it.
struct Scope {
    Object* object = nullptr;
    std::shared_ptr<const Scope> parent;
};

using ConstantStrings = std::vector<std::string>;
using NativeFunction = std::function<Value(Machine&, Value self, std::span<const Value> args)>;

struct FunctionData {
    std::string name;
    NativeFunction native;         // set for built-in functions
    NativeFunction nativeConstruct;  // `new` on a built-in that builds differently
    // Script functions.
    std::span<const uint8_t> code;
    std::vector<std::string> params;
    std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = no register
    uint8_t registerCount = 4;
    uint16_t flags = 0;                   // DefineFunction2 preload/suppress flags
    bool isFunction2 = false;
    std::shared_ptr<const Scope> scope;
    std::shared_ptr<const ConstantStrings> constants;
    Object* definingClip = nullptr;       // the timeline whose script defined it
};

// Owns every object. The count is bounded: past the limit, allocation throws
// ScriptAbort and the running script stops, which keeps runaway scripts from eating
// memory. `collect` frees what the given roots no longer reach.
class Heap {
public:
    explicit Heap(size_t maxObjects = 1'000'000) : maxObjects_(maxObjects) {}

    Object* make(ObjectKind kind, Object* proto, int swfVersion);
    size_t size() const { return objects_.size(); }
    // Frees objects not reachable from `roots` (plus what `markExtra` marks).
    void collect(std::span<Object* const> roots, const std::function<void(const std::function<void(Object*)>&)>& markExtra);

private:
    size_t maxObjects_;
    std::vector<std::unique_ptr<Object>> objects_;
};

// Ends the whole script run (budget, recursion or memory exhausted).
struct ScriptAbort {};
// An ActionScript `throw` on its way to a catch.
struct ScriptThrow {
    Value value;
};

} // namespace swf::avm1
