#include "engine/avm1/Machine.h"
#include "engine/avm1/StringUtil.h"

#include "engine/avm1/ArrayObject.h"
#include "engine/avm1/BoxedObject.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Loading.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/PrimitiveObjects.h"
#include "engine/avm1/SuperObject.h"
#include "engine/avm1/TextFieldObject.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace swf::avm1 {

namespace {

// Where a `__proto__` that holds no object keeps its value.
constexpr std::string_view kProtoName = "__proto__";

} // namespace


namespace {

// Whether reads reach the members of removed clips: only while the player looks up
// the event method it calls on a clip it takes away.
bool removedClipsAnswer = false;

// A reference to a removed clip that no clip has taken the place of (after `referent`).
bool isDanglingClip(Object* o)
{
    auto* clip = o->plain() ? nullptr : o->as<MovieClipObject>();
    return clip && !clip->host();
}

// Whether a read of a missing member may ask the object's __resolve: not while the
// machine looks for a conversion method (toString, valueOf) of its own.
bool resolveAllowed = true;

class NoResolve {
public:
    NoResolve() : saved_(std::exchange(resolveAllowed, false)) {}
    ~NoResolve() { resolveAllowed = saved_; }
    NoResolve(const NoResolve&) = delete;
    NoResolve& operator=(const NoResolve&) = delete;

private:
    bool saved_;
};

} // namespace

StackRoot::StackRoot(Machine& machine) : machine_(machine), previous_(machine.stackRoots_)
{
    machine_.stackRoots_ = this;
}

StackRoot::~StackRoot()
{
    machine_.stackRoots_ = previous_;
}

RootedValues::RootedValues(Machine& machine) : machine_(&machine)
{
    link();
}

RootedValues::RootedValues(Machine& machine, std::vector<Value> values)
    : std::vector<Value>(std::move(values)), machine_(&machine)
{
    link();
}

RootedValues::RootedValues(RootedValues&& other) noexcept
    : std::vector<Value>(std::move(other)), machine_(other.machine_)
{
    link();
}

void RootedValues::link()
{
    next_ = machine_->rootedLists_;
    if (next_)
        next_->prev_ = this;
    machine_->rootedLists_ = this;
}

RootedValues::~RootedValues()
{
    if (prev_)
        prev_->next_ = next_;
    else
        machine_->rootedLists_ = next_;
    if (next_)
        next_->prev_ = prev_;
}

Machine::Machine(int swfVersion) : version_(swfVersion), heap_(swfVersion)
{
    heap_.setRootVisitor([this](Visitor& visitor) { visitRoots(visitor); });
    // The built-in classes are half-built until the last one is in.
    Heap::NoCollect settingUp(heap_);
    protos_.object = heap_.make(nullptr);
    protos_.function = heap_.make(protos_.object);
    // The global object inherits nothing: it has no toString or valueOf of its own.
    global_ = heap_.make(nullptr);
    resolveAtom_ = heap_.atoms().intern("__resolve");
    installBuiltins(*this);
}

Machine::~Machine() = default;

LoadQueue& Machine::loads()
{
    if (!loads_)
        loads_ = std::make_unique<LoadQueue>();
    return *loads_;
}

void Machine::trace(const std::string& line)
{
    if (traceSink_)
        traceSink_(line);
}

void Machine::reportUncaught(const Value& thrown)
{
    std::string text;
    try {
        text = toString(thrown);
    } catch (const ScriptThrow&) {
        return;  // its toString threw in turn: nothing to print
    }
    trace("Warning: Uncaught exception, " + text);
}

void Machine::spendAction()
{
    if (actionsLeft_ == 0)
        throw ScriptAbort{};
    --actionsLeft_;
}

InterpreterState& Machine::interpreterState()
{
    if (!interpreterState_)
        interpreterState_ = std::make_unique<InterpreterState>();
    return *interpreterState_;
}

ExecutionResult Machine::runBlock(std::span<const uint8_t> code, Object* clip)
{
    return Interpreter(*this).runBlock(code, clip);
}

Object* Machine::newObject(Object* proto)
{
    return heap_.make(proto ? proto : protos_.object);
}

Object* Machine::newArray(std::span<const Value> items)
{
    Object* a = heap_.make<ArrayObject>(protos_.array);
    arrayAssign(a, items);
    return a;
}

Object* Machine::newNativeFunction(std::string name, NativeFunction fn, NativeFunction construct)
{
    auto data = std::make_unique<FunctionData>();
    data->name = std::move(name);
    data->native = std::move(fn);
    data->nativeConstruct = std::move(construct);
    return heap_.make<FunctionObject>(protos_.function, std::move(data));
}

Object* Machine::newClass(std::string name, Object* prototype, NativeFunction call, NativeFunction construct)
{
    Object* ctor = newNativeFunction(name, std::move(call), std::move(construct));
    ctor->put("prototype", Value(prototype), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    prototype->put("constructor", Value(ctor), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    global_->put(name, Value(ctor), PropertyFlag::DontEnum);
    return ctor;
}

MovieClipObject* Machine::newClipObject(ClipHost* host)
{
    return heap_.make<MovieClipObject>(protos_.movieClip, host);
}

TextFieldObject* Machine::newTextFieldObject(TextFieldHost* host)
{
    TextFieldObject* field = heap_.make<TextFieldObject>(protos_.textField, host);
    // A field is the first listener of its own events (onChanged, onScroller).
    const Value self(field);
    field->put("_listeners", Value(newArray(std::span(&self, 1))), PropertyFlag::DontEnum);
    return field;
}

void Machine::defineMethod(Object* target, std::string_view name, NativeFunction fn)
{
    target->put(name, Value(newNativeFunction(std::string(name), std::move(fn))),
                PropertyFlag::DontEnum | PropertyFlag::DontDelete);
}

bool Machine::usesDefaultToString(Object* o)
{
    const Property* p = findProperty(o, "toString");
    return !p || p == protos_.object->findOwn("toString");
}

std::string Machine::toString(const Value& v)
{
    if (!v.isObject())
        return v.toString(version_);
    Object* o = v.asObject()->referent(*this);
    if (auto path = o->defaultString(); path && usesDefaultToString(o))
        return *path;
    // Only toString is asked; when there is none, or it gives anything but a string
    // (an object, a number, null, undefined), the object reads as its kind. valueOf is
    // never tried in its place.
    Value method;
    {
        NoResolve conversion;
        method = getMember(v, "toString");
    }
    if (Object* f = method.asObject(); f && f->function()) {
        Value r = call(method, v, {});
        if (r.isString())
            return r.toString(version_);
    }
    return o->function() ? "[type Function]" : "[type Object]";
}

double Machine::toNumber(const Value& v)
{
    if (!v.isObject())
        return v.toNumber(version_);
    Value p = toPrimitive(v, false);
    if (p.isObject())
        return std::nan("");
    return p.toNumber(version_);
}

Value Machine::toPrimitive(const Value& v, bool preferString)
{
    Object* o = v.asObject();
    if (!o)
        return v;
    if (preferString)
        return Value(toString(v));
    // One method is asked, valueOf (toString for a Date from SWF 6): a missing one
    // gives undefined; when it gives an object, the object itself stays for the
    // caller to convert on (as a string, by its toString).
    // A reference to a removed clip has no members to ask: it stays an object, which
    // converts on by its path (an empty one).
    if (isDanglingClip(o->referent(*this)))
        return v;
    bool stringFirst = o->convertsToStringFirst() && version_ >= 6;
    Value method;
    {
        NoResolve conversion;
        method = getMember(v, stringFirst ? "toString" : "valueOf");
    }
    if (Object* f = method.asObject(); f && f->function()) {
        Value r = call(method, v, {});
        return r.isObject() ? v : r;
    }
    return Value();
}

Object* Machine::toObject(const Value& v)
{
    if (Object* o = v.asObject())
        return o;
    if (v.isNullish())
        return nullptr;
    Object* boxed = nullptr;
    if (v.isString())
        boxed = heap_.make<StringObject>(protos_.string, v);
    else if (v.isNumber())
        boxed = heap_.make<NumberObject>(protos_.number, v);
    else
        boxed = heap_.make<BooleanObject>(protos_.boolean, v);
    // A String object carries its length as an own, hidden, writable property.
    if (v.isString())
        boxed->put("length", Value(static_cast<double>(utf16Length(v.asString()))),
                   PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    return boxed;
}

std::string Machine::typeOf(const Value& v)
{
    if (v.isUndefined())
        return "undefined";
    if (v.isNull())
        return "null";
    if (v.isBool())
        return "boolean";
    if (v.isNumber())
        return "number";
    if (v.isString())
        return "string";
    return std::string(v.asObject()->typeName());
}

bool Machine::strictEquals(const Value& a, const Value& b) const
{
    // Unlike ==, the player's === holds NaN equal to itself.
    if (a.isNumber() && b.isNumber())
        return a.asNumber() == b.asNumber() || (std::isnan(a.asNumber()) && std::isnan(b.asNumber()));
    if (a.isObject() && b.isObject()) {
        // A reference to a removed clip stands for the clip now at its path.
        Machine& self = const_cast<Machine&>(*this);
        return sameClipPath(a.asObject()->referent(self), b.asObject()->referent(self));
    }
    return a == b;
}

bool Machine::looseEquals(const Value& a, const Value& b)
{
    if (a.isNullish() && b.isNullish())
        return true;
    // An object without a valueOf (one cut from Object.prototype) has no primitive: it
    // equals undefined and null.
    if (a.isNullish() || b.isNullish()) {
        const Value& other = a.isNullish() ? b : a;
        return other.isObject() && primitiveForEquality(other).isNullish();
    }
    // As with ===, the player's == holds NaN equal to itself.
    if (a.isNumber() && b.isNumber())
        return strictEquals(a, b);
    if (a.isString() && b.isString())
        return a.asString() == b.asString();
    if (a.isBool() && b.isBool())
        return a.asBool() == b.asBool();
    if (a.isObject() && b.isObject())
        return strictEquals(a, b);
    if (a.isBool())
        return looseEquals(Value(a.asBool() ? 1.0 : 0.0), b);
    if (b.isBool())
        return looseEquals(a, Value(b.asBool() ? 1.0 : 0.0));
    if (a.isNumber() && b.isString())
        return a.asNumber() == b.toNumber(version_);
    if (a.isString() && b.isNumber())
        return a.toNumber(version_) == b.asNumber();
    if (a.isObject()) {
        Value p = primitiveForEquality(a);
        return p.isObject() ? false : looseEquals(p, b);
    }
    if (b.isObject()) {
        Value p = primitiveForEquality(b);
        return p.isObject() ? false : looseEquals(a, p);
    }
    return false;
}

Value Machine::primitiveForEquality(const Value& v)
{
    // == compares an object by what its valueOf gives. When that is an object (as the
    // default valueOf's `this` is), the comparison fails; toString is not tried.
    Object* o = v.asObject();
    if (o && o->equalityUsesValueOf()) {
        Value method;
        {
            NoResolve conversion;
            method = getMember(v, "valueOf");
        }
        if (Object* f = method.asObject(); f && f->function())
            return call(method, v, {});
    }
    return toPrimitive(v);
}

std::optional<Value> Machine::primitiveForComparison(const Value& v)
{
    Object* o = v.asObject();
    if (!o)
        return v;
    // Only valueOf is asked. An object without one (as _global, which has no
    // prototype) compares as undefined; a clip whose valueOf gives itself compares as
    // NaN; any other object left an object makes the comparison false outright.
    if (isDanglingClip(o->referent(*this)))
        return Value(std::nan(""));
    Value method;
    {
        NoResolve conversion;
        method = getMember(v, "valueOf");
    }
    Object* f = method.asObject();
    if (!f || !f->function())
        return Value();
    Value r = call(method, v, {});
    if (!r.isObject())
        return r;
    if (r.asObject()->defaultString())
        return Value(std::nan(""));
    return std::nullopt;
}

Value Machine::compareLess(const Value& a, const Value& b, bool swapped)
{
    // The left operand converts first; when it cannot be compared the right one is
    // not even converted.
    std::optional<Value> pa = primitiveForComparison(a);
    if (!pa)
        return Value(false);
    std::optional<Value> pb = primitiveForComparison(b);
    if (!pb)
        return Value(false);
    const Value& x = swapped ? *pb : *pa;
    const Value& y = swapped ? *pa : *pb;
    if (x.isString() && y.isString())
        return Value(x.asString() < y.asString());
    double nx = x.toNumber(version_);
    double ny = y.toNumber(version_);
    if (std::isnan(nx) || std::isnan(ny))
        return Value();
    return Value(nx < ny);
}

Value Machine::lessThan(const Value& a, const Value& b)
{
    return compareLess(a, b, false);
}

bool Machine::instanceOf(const Value& v, Object* constructor)
{
    Object* o = v.asObject();
    if (!o || !constructor)
        return false;
    Value protoValue = getMember(Value(constructor), "prototype");
    Object* proto = protoValue.asObject();
    if (!proto)
        return false;
    int guard = 0;
    for (Object* p = o->proto(); p && guard < 10000; p = p->proto(), ++guard) {
        if (p == proto)
            return true;
        // Interfaces a class implements count too, and the interfaces those extend.
        if (implementsInterface(p, constructor, 0))
            return true;
    }
    return false;
}

bool Machine::implementsInterface(Object* prototype, Object* constructor, int depth)
{
    const Property* ifaces = prototype->findOwn("__interfaces__");
    Object* list = ifaces ? ifaces->value.asObject() : nullptr;
    if (!list || depth > 64)
        return false;
    for (const Value& i : arrayItems(list)) {
        Object* iface = i.asObject();
        if (!iface)
            continue;
        if (iface == constructor)
            return true;
        Object* ifaceProto = getMember(i, "prototype").asObject();
        if (ifaceProto && ifaceProto != prototype && implementsInterface(ifaceProto, constructor, depth + 1))
            return true;
    }
    return false;
}

Property* Machine::findProperty(Object* target, std::string_view name)
{
    return findProperty(target, heap_.atoms().find(name));
}

Property* Machine::findProperty(Object* target, Atom atom)
{
    // A prototype chain this long has looped back on itself (a.__proto__ = a): the
    // script that looks something up in it is stopped, as the reference player does.
    constexpr int kMaxChain = 256;
    int depth = 0;
    for (Object* o = target; o; o = o->proto()) {
        if (atom != kNoAtom) {
            if (Property* p = o->findOwn(atom))
                return p;
        }
        if (++depth > kMaxChain)
            throw ScriptAbort{};
    }
    return nullptr;
}

bool Machine::hasProperty(Object* target, std::string_view name)
{
    if (!target)
        return false;
    if (!target->plain())
        target = target->referent(*this);
    if (findProperty(target, name))
        return true;
    return !target->plain() && target->hasComputed(*this, name);
}

namespace {

// A member `name` that `o` and its prototypes lack: the first __resolve along the
// chain that is an object answers, called with the name when it is a function. A
// __resolve that is a primitive or a clip is passed over; one given by addProperty
// counts for nothing.
Value resolveMissing(Machine& m, Object* o, const Value& target, std::string_view name, Atom resolveAtom)
{
    for (Object* at = o; at; at = at->proto()) {
        const Property* handler = at->findOwn(resolveAtom);
        if (!handler || handler->isAccessor())
            continue;
        Object* f = handler->value.asObject();
        if (!f || f->as<MovieClipObject>())
            continue;
        if (!f->function())
            return Value();
        Value args[] = {Value(std::string(name))};
        return m.call(handler->value, target, args);
    }
    return Value();
}

} // namespace

Value Machine::getMemberWithoutResolve(const Value& target, std::string_view name)
{
    NoResolve guard;
    return getMember(target, name);
}

Value Machine::getEventHandler(const Value& target, std::string_view name)
{
    const bool saved = std::exchange(removedClipsAnswer, true);
    struct Restore {
        bool saved;
        ~Restore() { removedClipsAnswer = saved; }
    } restore{saved};
    return getMember(target, name);
}

Value Machine::getMember(const Value& target, std::string_view name, Atom atom)
{
    if (target.isNullish())
        return Value();
    if (!target.isObject()) {
        // A member of a primitive is one of the object its type's global class makes of
        // it; only the built-in class's is read straight from its prototype.
        Object* made = nullptr;
        switch (objectForPrimitive(*this, target, made)) {
        case PrimitiveClass::BuiltIn:
            break;
        case PrimitiveClass::Made: {
            RootedValues held(*this, {Value(made)});
            return getMember(held.front(), name);
        }
        case PrimitiveClass::None:
            return Value();
        }
    }
    if (target.isString()) {
        if (name == "length") {
            // UTF-16 code units, which is how the string methods count.
            return Value(static_cast<double>(utf16Length(target.asString())));
        }
    }
    Object* o = target.asObject();
    if (o && !o->plain()) {
        o = o->referent(*this);
        // A reference to a removed clip that no clip has taken the place of reaches
        // nothing: every member reads as undefined, its methods included.
        if (isDanglingClip(o) && !removedClipsAnswer)
            return Value();
    }
    Object* lookup = o;
    if (!o) {
        if (target.isString())
            lookup = protos_.string;
        else if (target.isNumber())
            lookup = protos_.number;
        else if (target.isBool())
            lookup = protos_.boolean;
    }
    if (!lookup)
        return Value();
    if (isProtoName(name)) {
        // An object without a prototype has an undefined one, not null, unless a
        // script stored some other value there.
        Object* proto = lookup == o ? o->proto() : lookup;
        if (proto && o && !o->plain() && o->as<SuperObject>())
            proto = proto->proto();
        if (!proto && o) {
            if (Property* held = o->findOwn(kProtoName))
                return held->value;
        }
        return proto ? Value(proto) : Value();
    }
    if (o) {
        if (Property* own = o->findOwn(atom)) {
            if (own->isAccessor())
                return readAccessor(*own, target);
            return own->value;
        }
        if (!o->plain()) {
            if (Value computed; o->getComputed(*this, name, computed))
                return computed;
        }
        lookup = o->proto();
    }
    Property* p = findProperty(lookup, atom);
    if (!p)
        return o && name != "__resolve" && resolveAllowed ? resolveMissing(*this, o, target, name, resolveAtom_) : Value();
    if (p->isAccessor())
        return readAccessor(*p, target);
    return p->value;
}

namespace {

// How many calls of one property's getter and setter together may be running at once
// from SWF 7 on (before, one).
constexpr int kAccessorNesting = 65;

} // namespace

Value Machine::callWatcher(Object* o, std::string_view name, const Watch& watch, const Value& target, Value value)
{
    // A watcher is not entered again for the same property while it runs before SWF 7,
    // and from SWF 7 nests as deep as an accessor may: past that the write goes on
    // unwatched.
    const std::pair<const Object*, std::string> key(o, std::string(name));
    int& running = watchersRunning_[key];
    if (running >= (version_ >= 7 ? kAccessorNesting : 1))
        return value;
    ++running;
    // The watcher sees the stored value: no getter runs, and members an object
    // computes (a text field's text) read as undefined.
    Property* current = findProperty(o, name);
    Value old = current ? current->value : Value();
    // A running watcher counts as a call of the property's setter: before SWF 7 that
    // puts its getter and setter out of use while it runs (the watcher reads and writes
    // the plain value), and from SWF 7 it counts toward their nesting limit.
    uint32_t heldAccessor = current ? current->accessorId : 0;
    if (heldAccessor)
        ++accessorActivity_[heldAccessor].sets;
    struct Release {
        Machine& machine;
        const std::pair<const Object*, std::string>& key;
        uint32_t accessor;
        ~Release()
        {
            if (auto it = machine.watchersRunning_.find(key); it != machine.watchersRunning_.end() && --it->second <= 0)
                machine.watchersRunning_.erase(it);
            if (accessor) {
                auto a = machine.accessorActivity_.find(accessor);
                if (a != machine.accessorActivity_.end() && --a->second.sets <= 0 && a->second.gets <= 0)
                    machine.accessorActivity_.erase(a);
            }
        }
    } release{*this, key, heldAccessor};
    Object* callback = watch.callback;
    Value args[] = {Value(std::string(name)), old, value, watch.userData};
    return call(Value(callback), target, args);
}

Object* Machine::ownerOf(Object* start, const Property* p)
{
    for (Object* o = start; o; o = o->proto()) {
        const auto& props = o->properties();
        if (!props.empty() && p >= props.data() && p < props.data() + props.size())
            return o;
    }
    return nullptr;
}

Value Machine::readAccessor(const Property& p, const Value& target)
{
    if (!p.getter)
        return Value();
    const uint32_t id = p.accessorId;
    if (id == 0)
        return call(Value(p.getter), target, {});
    AccessorActivity& activity = accessorActivity_[id];
    const bool busy = activity.gets + activity.sets >= (version_ >= 7 ? kAccessorNesting : 1);
    if (busy)
        return p.value;
    ++activity.gets;
    struct Release {
        Machine& machine;
        uint32_t id;
        ~Release()
        {
            auto it = machine.accessorActivity_.find(id);
            if (it != machine.accessorActivity_.end() && --it->second.gets <= 0 && it->second.sets <= 0)
                machine.accessorActivity_.erase(it);
        }
    } release{*this, id};
    return call(Value(p.getter), target, {});
}

void Machine::writeAccessor(const Property& p, Object* owner, Atom atom, const Value& target, const Value& value)
{
    if (!p.setter)
        return;
    const uint32_t id = p.accessorId;
    if (id == 0 || !owner) {
        call(Value(p.setter), target, std::span<const Value>(&value, 1));
        return;
    }
    // The property may move or go while the setter runs: it is found again by name,
    // and counts as the same only while its accessor is the same one.
    auto sameProperty = [owner, atom, id]() -> Property* {
        Property* now = owner->findOwn(atom);
        return now && now->accessorId == id ? now : nullptr;
    };
    {
        AccessorActivity& activity = accessorActivity_[id];
        const bool busy = activity.gets + activity.sets >= (version_ >= 7 ? kAccessorNesting : 1);
        if (busy) {
            if (Property* now = sameProperty())
                now->value = value;
            return;
        }
        ++activity.sets;
    }
    {
        struct Release {
            Machine& machine;
            uint32_t id;
            ~Release()
            {
                auto it = machine.accessorActivity_.find(id);
                if (it != machine.accessorActivity_.end() && --it->second.sets <= 0 && it->second.gets <= 0)
                    machine.accessorActivity_.erase(it);
            }
        } release{*this, id};
        call(Value(p.setter), target, std::span<const Value>(&value, 1));
    }
    if (Property* now = sameProperty())
        now->value = value;
}

void Machine::setMember(const Value& target, std::string_view name, Value value)
{
    setMember(target, name, heap_.atoms().find(name), std::move(value));
}

void Machine::setMember(const Value& target, std::string_view name, Atom atom, Value value)
{
    Object* o = target.asObject();
    if (!o)
        return;
    if (!o->plain())
        o = o->referent(*this);
    if (isProtoName(name)) {
        // `__proto__` may hold any value; only an object links the chain. It is watched
        // like any other member.
        if (!o->watches.empty()) {
            auto it = o->watches.find(std::string(name));
            if (it != o->watches.end() && it->second.callback)
                value = callWatcher(o, name, it->second, target, std::move(value));
        }
        if (o->protoFlags() & PropertyFlag::ReadOnly)
            return;
        if (value.asObject() && !o->plain() && !o->prototypeRepointable())
            return;
        o->setProto(value.asObject());
        if (value.asObject())
            o->erase(kProtoName);
        else
            o->put(kProtoName, std::move(value), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
        return;
    }
    auto store = [&](Value stored) {
        // A watcher may have run script that gave the name its number meanwhile.
        if (atom == kNoAtom)
            atom = heap_.atoms().find(name);
        Property* own = o->findOwn(atom);
        if (!own) {
            if (!o->plain() && o->setComputed(*this, name, stored))
                return;
            // An inherited setter takes the write.
            if (Property* inherited = findProperty(o->proto(), atom); inherited && inherited->isAccessor()) {
                writeAccessor(*inherited, ownerOf(o->proto(), inherited), atom, target, stored);
                return;
            }
        } else if (own->isAccessor()) {
            writeAccessor(*own, o, atom, target, stored);
            return;
        } else if (own->flags & PropertyFlag::ReadOnly) {
            return;
        }
        if (own && o->plain())
            own->value = std::move(stored);
        else
            o->storeOwn(*this, name, std::move(stored), own);
    };
    if (!o->watches.empty()) {
        auto it = o->watches.find(std::string(name));
        if (it != o->watches.end() && it->second.callback) {
            // A watcher that throws leaves the property undefined, and the throw goes on.
            try {
                value = callWatcher(o, name, it->second, target, std::move(value));
            } catch (const ScriptThrow&) {
                store(Value());
                throw;
            }
        }
    }
    store(std::move(value));
}

bool Machine::deleteMember(Object* target, std::string_view name)
{
    if (!target)
        return false;
    target = target->referent(*this);
    if (isProtoName(name)) {
        if (target->protoFlags() & PropertyFlag::DontDelete)
            return false;
        target->setProto(nullptr);
        target->erase(kProtoName);
        return true;
    }
    Property* p = target->findOwn(name);
    if (!p || (p->flags & PropertyFlag::DontDelete))
        return false;
    return target->erase(name);
}

std::vector<std::string> Machine::enumerableNames(Object* target)
{
    std::vector<std::string> names;
    std::vector<std::string> seen;
    auto seenBefore = [&](const std::string& n) {
        for (const std::string& s : seen) {
            if (caseSensitive() ? s == n : std::ranges::equal(s, n, [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); }))
                return true;
        }
        return false;
    };
    int guard = 0;
    for (Object* o = target; o && guard < 10000; o = o->proto(), ++guard) {
        // A clip's children come out after its own members, as the reference player
        // lists them: they go first into the list the loop takes from the end.
        if (o == target && o->as<MovieClipObject>()) {
            std::vector<std::string> children;
            o->appendComputedNames(children);
            for (std::string& n : children) {
                if (!seenBefore(n)) {
                    seen.push_back(n);
                    names.push_back(std::move(n));
                }
            }
        }
        for (const Property& p : o->properties()) {
            if (seenBefore(p.name))
                continue;
            seen.push_back(p.name);
            if (!(p.flags & PropertyFlag::DontEnum))
                names.push_back(p.name);
        }
        std::vector<std::string> computed;
        if (o != target || !o->as<MovieClipObject>())
            o->appendComputedNames(computed);
        for (std::string& n : computed) {
            if (!seenBefore(n)) {
                seen.push_back(n);
                names.push_back(std::move(n));
            }
        }
    }
    return names;
}

uint32_t Machine::arrayLength(Object* array)
{
    if (!array)
        return 0;
    const Property* p = array->findOwn("length");
    if (!p)
        return 0;
    double n = p->value.toNumber(version_);
    if (std::isnan(n) || n < 0)
        return 0;
    return static_cast<uint32_t>(std::min(n, 4294967295.0));
}

void Machine::setArrayLength(Object* array, uint32_t length)
{
    uint32_t old = arrayLength(array);
    if (length < old) {
        // Only the indices that exist need removing, whatever the old length claims.
        std::vector<std::string> doomed;
        // An element that may not be deleted stays, past the new length.
        for (const Property& p : array->properties()) {
            if (auto index = arrayIndex(p.name); index && *index >= length && !(p.flags & PropertyFlag::DontDelete))
                doomed.push_back(p.name);
        }
        for (const std::string& name : doomed)
            array->erase(name);
    }
    array->put("length", Value(static_cast<double>(length)), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
}

Value Machine::arrayGet(Object* array, uint32_t index)
{
    std::string name = std::to_string(index);
    if (!array->as<ArrayObject>()) {
        // Array methods applied to another object see only the elements it holds itself:
        // none from its prototypes, none behind getters.
        const Property* own = array->findOwn(name);
        return own && !own->isAccessor() ? own->value : Value();
    }
    // An element given a getter by addProperty keeps its stored value for the array's
    // own methods (pop, join ...); only a read by name runs the getter.
    if (const Property* own = array->findOwn(name); own && own->isAccessor())
        return own->value;
    return getMember(Value(array), name);
}

void Machine::arraySet(Object* array, uint32_t index, Value value)
{
    std::string name = std::to_string(index);
    if (Property* p = array->findOwn(name))
        p->value = std::move(value);
    else
        array->put(name, std::move(value));
    if (array->as<ArrayObject>() && index >= arrayLength(array))
        array->put("length", Value(static_cast<double>(index) + 1), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
}

std::vector<Value> Machine::arrayItems(Object* array)
{
    std::vector<Value> items;
    uint32_t n = std::min<uint32_t>(arrayLength(array), 1u << 24);
    items.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        items.push_back(arrayGet(array, i));
    return items;
}

void Machine::arrayAssign(Object* array, std::span<const Value> items)
{
    // Elements that exist keep their place in enumeration order; only values change.
    for (uint32_t i = 0; i < items.size(); ++i) {
        std::string name = std::to_string(i);
        if (Property* p = array->findOwn(name))
            p->value = items[i];
        else
            array->put(name, items[i]);
    }
    setArrayLength(array, static_cast<uint32_t>(items.size()));
}

Value Machine::call(const Value& function, const Value& self, std::span<const Value> args)
{
    Object* home = std::exchange(pendingHome, nullptr);
    const bool asConstructor = std::exchange(pendingConstruct, false);
    Object* f = function.asObject();
    if (!f || !f->function())
        return Value();
    // The script that started the chain counts as the first level.
    if (callDepth + 1 >= maxCallDepth_)
        throw ScriptAbort{};
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(callDepth);
    // The arguments may live where the collector does not look (a vector of the
    // caller's): they stay alive for the call.
    ScopedRoot callRoot(*this, [&function, &self, args, home](Visitor& visitor) {
        visitor.visit(function);
        visitor.visit(self);
        visitor.visit(home);
        for (const Value& a : args)
            visitor.visit(a);
    });
    FunctionData* data = f->function();
    if (data->native)
        return data->native(*this, self, args);
    // A SWF 4 movie's frame scripts convert as SWF 4 does (true prints as 1, division
    // by zero gives #ERROR#); the functions it defines run by the SWF 5 rules.
    struct VersionGuard {
        int& version;
        int saved;
        VersionGuard(int& v, int during) : version(v), saved(v) { version = during; }
        ~VersionGuard() { version = saved; }
    } versionGuard(version_, std::max(version_, 5));
    struct ConstructGuard {
        std::vector<bool>& stack;
        ConstructGuard(std::vector<bool>& s, bool entry) : stack(s) { stack.push_back(entry); }
        ~ConstructGuard() { stack.pop_back(); }
    } constructGuard(constructing, asConstructor);
    return Interpreter(*this).callFunction(f, self, args, home);
}

Value Machine::callMethod(const Value& target, std::string_view name, std::span<const Value> args)
{
    return call(getMember(target, name), target, args);
}

Object* Machine::allocateFor(Object* constructor)
{
    Value protoValue = getMember(Value(constructor), "prototype");
    Object* proto = protoValue.asObject() ? protoValue.asObject() : protos_.object;
    // An ordinary object, even for a class built on Date, Array or a wrapper: the
    // built-in constructor, when super() runs it, gives the object its state in place.
    Object* o = newObject(proto);
    o->put("__constructor__", Value(constructor), PropertyFlag::DontEnum);
    if (version_ < 7)
        o->put("constructor", Value(constructor), PropertyFlag::DontEnum);
    return o;
}

Value Machine::construct(const Value& constructor, std::span<const Value> args)
{
    Object* ctor = constructor.asObject();
    if (!ctor || !ctor->function())
        return Value();
    if (ctor->function()->nativeConstruct) {
        if (callDepth + 1 >= maxCallDepth_)
            throw ScriptAbort{};
        ++callDepth;
        ScopedRoot constructRoot(*this, [&constructor, args](Visitor& visitor) {
            visitor.visit(constructor);
            for (const Value& a : args)
                visitor.visit(a);
        });
        Value r;
        try {
            r = ctor->function()->nativeConstruct(*this, Value(), args);
        } catch (...) {
            --callDepth;
            throw;
        }
        --callDepth;
        return r;
    }
    Object* self = allocateFor(ctor);
    pendingConstruct = true;
    Value r = call(constructor, Value(self), args);
    if (ctor->function()->native) {
        // An object a built-in class gave its state (a LoadVars, a PrintJob) is made
        // by that class, as the reference player makes it: it names no __constructor__.
        if (self->hasNativeState())
            self->erase("__constructor__");
        // Built-in classes called as constructors hand back what they built.
        if (r.isObject())
            return r;
    }
    return Value(self);
}

double Machine::localFromUtc(double utcMs) const
{
    // Beyond 275,755 years either side of 1970 there is no calendar to ask.
    if (!calendar_.zoneOffsetMs || !(std::abs(utcMs) <= 8.64e15))
        return utcMs;
    return utcMs + calendar_.zoneOffsetMs(utcMs);
}

double Machine::utcFromLocal(double localMs) const
{
    if (!calendar_.zoneOffsetMs || !(std::abs(localMs) <= 8.64e15))
        return localMs;
    // The offset belongs to the UTC time sought; guessing it from the local time and
    // asking again settles on the right side of a daylight-saving change.
    const double guess = localMs - calendar_.zoneOffsetMs(localMs);
    return localMs - calendar_.zoneOffsetMs(guess);
}

void Machine::advanceClock(double ms)
{
    // The frame's scripts are over: what they left on the stack goes.
    idleStack_.clear();
    nowMs_ += ms;
    // Each interval fires at most once a frame, as the reference player's do when their
    // period is shorter than a frame.
    std::vector<int> due;
    for (const Interval& i : intervals_) {
        if (i.due <= nowMs_)
            due.push_back(i.id);
    }
    for (int id : due) {
        auto it = std::ranges::find(intervals_, id, &Interval::id);
        if (it == intervals_.end())
            continue;
        Interval copy = *it;
        // Keep the phase; a period shorter than a frame fires once a frame.
        it->due += std::max(copy.period, 1.0);
        if (it->due <= nowMs_)
            it->due = nowMs_ + std::max(copy.period, 1.0);
        if (copy.once)
            intervals_.erase(it);
        try {
            if (!copy.method.empty())
                callMethod(copy.self, copy.method, copy.args);
            else
                call(copy.function, copy.self, copy.args);
        } catch (const ScriptThrow& thrown) {
            reportUncaught(thrown.value);
        } catch (const ScriptAbort&) {
        }
    }
    // A task may add or remove tasks as it runs: each runs from a copy, if still there.
    const auto tasks = frameTasks_;
    for (const auto& [owner, tick] : tasks) {
        if (std::ranges::find(frameTasks_, owner, &decltype(frameTasks_)::value_type::first) == frameTasks_.end())
            continue;
        try {
            tick(*this, ms);
        } catch (const ScriptThrow& thrown) {
            reportUncaught(thrown.value);
        } catch (const ScriptAbort&) {
        }
    }
}

int Machine::addInterval(Value function, Value self, std::string method, double period, std::vector<Value> args, bool once)
{
    if (intervals_.size() >= 10000)
        return 0;
    Interval i;
    i.id = nextIntervalId_++;
    i.function = std::move(function);
    i.self = std::move(self);
    i.method = std::move(method);
    i.period = std::isnan(period) ? 0 : period;
    i.due = nowMs_ + std::max(i.period, 1.0);
    i.args = std::move(args);
    i.once = once;
    intervals_.push_back(std::move(i));
    return intervals_.back().id;
}

void Machine::clearInterval(int id)
{
    std::erase_if(intervals_, [id](const Interval& i) { return i.id == id; });
}

void Machine::addFrameTask(Object* owner, std::function<void(Machine&, double)> tick, bool first)
{
    removeFrameTask(owner);
    if (first)
        frameTasks_.emplace(frameTasks_.begin(), owner, std::move(tick));
    else
        frameTasks_.emplace_back(owner, std::move(tick));
}

void Machine::removeFrameTask(Object* owner)
{
    std::erase_if(frameTasks_, [owner](const auto& task) { return task.first == owner; });
}

void Machine::collectGarbage(std::span<Object* const> extraRoots)
{
    extraRoots_ = extraRoots;
    heap_.collect();
    extraRoots_ = {};
}

void Machine::visitRoots(Visitor& visitor)
{
    visitor.visit(global_);
    protos_.forEach([&visitor](Object* p) { visitor.visit(p); });
    for (const auto& [name, ctor] : registeredClasses_)
        visitor.visit(ctor);
    visitor.visit(currentClip_);
    visitor.visit(pendingHome);
    for (Object* f : runningFunctions)
        visitor.visit(f);
    for (const Interval& i : intervals_) {
        visitor.visit(i.function);
        visitor.visit(i.self);
        for (const Value& a : i.args)
            visitor.visit(a);
    }
    for (Object* o : extraRoots_)
        visitor.visit(o);
    for (const Value& v : idleStack_)
        visitor.visit(v);
    for (const auto& task : frameTasks_)
        visitor.visit(task.first);
    if (loads_)
        loads_->visitEdges(visitor);
    for (const RootedValues* list = rootedLists_; list; list = list->next_) {
        for (const Value& v : *list)
            visitor.visit(v);
    }
    for (const StackRoot* r = stackRoots_; r; r = r->previous())
        r->visitEdges(visitor);
    if (hostRoots_)
        hostRoots_(visitor);
}

uint32_t Machine::nextRandom()
{
    randomState_ ^= randomState_ >> 12;
    randomState_ ^= randomState_ << 25;
    randomState_ ^= randomState_ >> 27;
    return static_cast<uint32_t>((randomState_ * 0x2545F4914F6CDD1Dull) >> 32);
}

} // namespace swf::avm1
