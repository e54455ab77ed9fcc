#pragma once

// Script objects: named properties in insertion order (for..in and trace walk them that
// way), a prototype link, and virtual hooks through which objects with special property
// behaviour (clips, text fields, arrays, boxed primitives, functions) take part in
// lookups without the machine knowing which kind it holds. Objects live in the Heap,
// which frees them by tracing: each class visits what it holds in `visitEdges`.

#include "engine/avm1/Atoms.h"
#include "engine/avm1/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swf::avm1 {

class Machine;
class Object;
struct FunctionData;
struct Scope;

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
    Atom atom = kNoAtom;  // the name's number in the heap's table
    Value value;
    uint16_t flags = 0;
    Object* getter = nullptr;  // addProperty: reads call the getter ...
    Object* setter = nullptr;  // ... and writes the setter
    // Which addProperty made the accessor (0 for built-in ones): the machine counts how
    // deeply each one's getter and setter are running, to bound their recursion.
    uint32_t accessorId = 0;
    bool isAccessor() const { return getter || setter; }
};

struct Watch {
    Object* callback = nullptr;
    Value userData;
};

// What the collector hands to `visitEdges`: every object and value reached is marked.
class Visitor {
public:
    virtual ~Visitor() = default;
    virtual void visit(Object* object) = 0;
    void visit(const Value& value)
    {
        if (Object* o = value.asObject())
            visit(o);
    }
    // A scope chain, innermost first.
    void visit(const Scope* scope);
};

class Object {
public:
    // Names compare without case before SWF 7; `swfVersion` also decides which
    // version-flagged properties exist.
    Object(Object* proto, int swfVersion)
        : proto_(proto), caseSensitive_(swfVersion >= 7), version_(swfVersion)
    {
    }
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // Checked downcast: null when the object is not a T. An object given built-in state
    // after it was made answers as that state's class: the built-ins' checks of `this`
    // find the state whichever way the object came by it.
    template <class T>
    T* as()
    {
        if (T* self = dynamic_cast<T*>(this))
            return self;
        return native_ ? dynamic_cast<T*>(native_) : nullptr;
    }
    template <class T>
    const T* as() const
    {
        if (const T* self = dynamic_cast<const T*>(this))
            return self;
        return native_ ? dynamic_cast<const T*>(native_) : nullptr;
    }

    // ---- Built-in state given in place. ----
    // A built-in class's constructor run on an object that already exists (super() in a
    // class that extends Date, Array, XML, Sound or a filter; Date.call(o)) gives that
    // object the class's state in place rather than making a new object: an object of
    // the built-in class, to which this one's hooks then defer. The state never has
    // members a script sees; the object keeps its own properties and prototype.
    Object* nativeState() const { return native_; }
    void attachNative(Object* state);
    // Whether the object holds built-in state, made with it or given it later. A
    // built-in constructor gives state only to an object that holds none: an Array
    // stays an array when Date's constructor is run on it.
    bool hasNativeState() const { return native_ || keepsNativeState(); }

    Object* proto() const { return proto_; }
    void setProto(Object* proto) { proto_ = proto; }
    // The flags of the `__proto__` member, which lives in the link above rather than
    // among the stored properties: hidden and undeletable until a script says otherwise.
    uint16_t protoFlags() const { return protoFlags_; }
    void setProtoFlags(uint16_t flags) { protoFlags_ = flags; }
    bool caseSensitive() const { return caseSensitive_; }
    int version() const { return version_; }

    // Exactly an Object, not a subclass: none of the hooks below does anything for it,
    // so the machine's lookups skip them without a virtual call.
    bool plain() const { return plain_; }

    // Stored own properties.
    Property* findOwn(std::string_view name);
    // By interned name (the machine's lookups intern once per chain walk).
    Property* findOwn(Atom atom)
    {
        std::ptrdiff_t i = indexOf(atom);
        if (i < 0)
            return nullptr;
        Property& p = props_[static_cast<size_t>(i)];
        return (p.flags & kVersionFlags) && hiddenByVersion(p) ? nullptr : &p;
    }
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

    // ---- Hooks for objects whose members are not all stored properties. ----

    // The code and closure of a function object; null for every other object.
    virtual FunctionData* function() const { return nullptr; }
    // The object that property access on this one addresses: itself, except for a
    // reference to a removed clip, which stands for whatever clip now has its path.
    virtual Object* referent(Machine&) { return this; }
    // Members the object computes rather than stores (a clip's `_x`, its children by
    // name). Consulted after the stored own properties, before the prototype chain.
    virtual bool getComputed(Machine& machine, std::string_view name, Value& out);
    virtual bool hasComputed(Machine& machine, std::string_view name);
    // A write to a computed member; true when the object took it. Asked only when no
    // stored own property has the name, before inherited setters.
    virtual bool setComputed(Machine& machine, std::string_view name, const Value& value);
    // Stores a written value once accessors and flags let the write through. `own` is
    // the stored property of that name, or null. Arrays keep `length` in step here.
    virtual void storeOwn(Machine& machine, std::string_view name, Value value, Property* own);
    // Names for..in reports after the stored ones (a clip's named children).
    virtual void appendComputedNames(std::vector<std::string>& names);
    // What the object converts to as a string when its toString is the default one
    // (a clip: its target path); nullopt for the ordinary conversion.
    virtual std::optional<std::string> defaultString();
    // Whether a script may point `__proto__` at another object. Some built-in objects
    // (a NetConnection) keep the prototype they were made with: a script may still cut
    // the link by writing a value that is not an object, never re-point it.
    virtual bool prototypeRepointable() const { return true; }
    // typeof.
    virtual std::string_view typeName() const;
    // Conversion to a primitive tries toString before valueOf (Date).
    virtual bool convertsToStringFirst() const;
    // == asks valueOf for the object's primitive (not for Date nor clips).
    virtual bool equalityUsesValueOf() const;
    // Alive whatever refers to it, while something outside the machine stands behind
    // it (a clip on stage, a text field).
    virtual bool pinned() const { return false; }
    // Every object and value this object holds.
    virtual void visitEdges(Visitor& visitor);

protected:
    // Whether objects of this class are built-in state themselves (an array, a boxed
    // number, a filter, an XML node) rather than ordinary objects that a built-in class
    // gave a few members (a Color, an Error).
    virtual bool keepsNativeState() const { return false; }
    // A write, once flags and accessors let it through, to `holder`, which this object
    // is the built-in state of (or is itself): an array keeps its length in step.
    virtual void storeOn(Machine& machine, Object& holder, std::string_view name, Value value, Property* own);

public:

    // watch(): callbacks by property name.
    std::unordered_map<std::string, Watch> watches;

private:
    friend class Heap;
    static constexpr uint16_t kVersionFlags = PropertyFlag::Version6 | PropertyFlag::Version7 |
        PropertyFlag::Version8 | PropertyFlag::Version9 | PropertyFlag::Version10;
    // Up to this many properties, lookups scan the list: a few compares of numbers
    // beat hashing, and most objects are that small.
    static constexpr size_t kIndexThreshold = 8;

    bool hiddenByVersion(const Property& p) const;
    // Where the property numbered `atom` sits in props_, or -1.
    std::ptrdiff_t indexOf(Atom atom) const
    {
        // kNoAtom's bit is never set (see keyBit), so a name never interned ends here.
        if (!(keyBits_ & keyBit(atom)))
            return -1;
        if (index_.empty()) {
            for (size_t i = 0; i < keys_.size(); ++i) {
                if (keys_[i] == atom)
                    return static_cast<std::ptrdiff_t>(i);
            }
            return -1;
        }
        return indexedOf(atom);
    }
    std::ptrdiff_t indexedOf(Atom atom) const;
    void reindex();
    // One bit of a 64-bit word per name: keyBits_ ors together the bits of every name
    // the object holds, so a step up a prototype chain that cannot hold the name is
    // passed over with one test instead of a scan or a probe. kNoAtom maps to no bit.
    static uint64_t keyBit(Atom atom)
    {
        return atom == kNoAtom ? 0 : uint64_t{1} << ((atom * 0x9E3779B9u) >> 26);
    }

    Object* proto_;
    bool caseSensitive_;
    bool marked_ = false;
    bool plain_ = false;
    Object* native_ = nullptr;  // built-in state given in place (attachNative)
    uint16_t protoFlags_ = PropertyFlag::DontEnum | PropertyFlag::DontDelete;
    int version_;
    AtomTable* atoms_ = nullptr;  // the heap's, set when it adopts the object
    std::vector<Property> props_;
    // The numbers of props_' names, in the same order: a walk up a prototype chain
    // scans these few packed words instead of striding through whole records.
    std::vector<Atom> keys_;
    uint64_t keyBits_ = 0;
    // Past a handful of properties, a hash index beside the list; below, a scan of
    // the numbers is quicker. Open addressing over a power-of-two table at most half
    // full: each slot holds a position in props_ plus one, 0 for empty.
    std::vector<uint32_t> index_;
    void indexInsert(uint32_t position);
};

// Lexical scope: an object whose properties are variables, and the scope outside it.
struct Scope {
    Object* object = nullptr;
    std::shared_ptr<const Scope> parent;
};

// Ends the whole script run (budget, recursion or memory exhausted).
struct ScriptAbort {};
// An ActionScript `throw` on its way to a catch.
struct ScriptThrow {
    Value value;
};

} // namespace swf::avm1
