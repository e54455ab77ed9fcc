// SharedObject: data a movie keeps between runs. getLocal reads the object's `.sol`
// file (AMF0) from the user's data folder into `data`; flush writes `data` back, within
// the 100 KB a movie may keep without asking (there is no dialog to ask through: a
// larger flush is refused, with a notice); the movie's end flushes every object it got.

#include "engine/avm1/ArrayObject.h"
#include "engine/avm1/BoxedObject.h"
#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/data/Amf0.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace swf::avm1 {

namespace {

// Where getLocal keeps the objects it handed out, so that a name asked for twice is
// the same object; a table no script can reach.
constexpr std::string_view kCacheSlot = "SharedObject.cache";

class SharedObjectObject final : public Object {
public:
    using Object::Object;
    std::string name;
    std::string localPath;
};

// ---- script values to AMF0 ----

class Writer {
public:
    // `root` is the data object itself: its members are the file's top level, which
    // is no object a reference could point back to.
    Writer(Machine& m, Object* root) : m_(m), root_(root) {}

    data::AmfValue members(Object* o, size_t depth)
    {
        data::AmfValue out;
        out.type = data::AmfValue::Type::Object;
        // In the order for..in meets them, newest first.
        std::vector<std::string> names = m_.enumerableNames(o);
        std::reverse(names.begin(), names.end());
        for (const std::string& name : names) {
            const Value member = m_.getMember(Value(o), name);
            if (member.asObject() && member.asObject()->function())
                continue;
            out.members.emplace_back(name, value(member, depth + 1));
        }
        return out;
    }

    data::AmfValue value(const Value& v, size_t depth)
    {
        if (v.isNumber())
            return data::AmfValue::makeNumber(v.asNumber());
        if (v.isBool())
            return data::AmfValue::makeBoolean(v.asBool());
        if (v.isString())
            return data::AmfValue::makeString(v.asString());
        if (v.isNull())
            return data::AmfValue::makeNull();
        Object* o = v.asObject();
        if (!o || o == root_ || o->function() || depth > 60)
            return {};  // undefined; functions are not kept
        if (auto it = seen_.find(o); it != seen_.end()) {
            data::AmfValue ref;
            ref.type = data::AmfValue::Type::Reference;
            ref.reference = it->second;
            return ref;
        }
        if (const DateObject* date = o->as<DateObject>()) {
            data::AmfValue d;
            d.type = data::AmfValue::Type::Date;
            d.number = m_.toNumber(date->primitive());
            return d;
        }
        if (seen_.size() < 0xFFFF)
            seen_.emplace(o, static_cast<uint16_t>(seen_.size()));
        data::AmfValue out = members(o, depth);
        if (o->as<ArrayObject>())
            out.type = data::AmfValue::Type::EcmaArray;
        return out;
    }

private:
    Machine& m_;
    Object* root_;
    std::unordered_map<Object*, uint16_t> seen_;
};

// ---- AMF0 to script values ----

class Reader {
public:
    explicit Reader(Machine& m) : m_(m), objects_(m) {}

    Value value(const data::AmfValue& v)
    {
        using Type = data::AmfValue::Type;
        switch (v.type) {
        case Type::Number: return Value(v.number);
        case Type::Boolean: return Value(v.boolean);
        case Type::String:
        case Type::Xml: return Value(v.text);
        case Type::Null: return Value(Null{});
        case Type::Undefined: return Value();
        case Type::Reference: return v.reference < objects_.size() ? objects_[v.reference] : Value();
        case Type::Date: {
            const Value time(v.number);
            return m_.construct(m_.getMember(Value(m_.global()), "Date"), std::span(&time, 1));
        }
        case Type::StrictArray: {
            Object* array = m_.newArray();
            objects_.push_back(Value(array));
            for (size_t i = 0; i < v.elements.size(); ++i)
                m_.arraySet(array, static_cast<uint32_t>(i), value(v.elements[i]));
            return Value(array);
        }
        case Type::Object:
        case Type::EcmaArray:
        case Type::TypedObject: {
            Object* o = v.type == Type::EcmaArray ? m_.newArray() : m_.newObject();
            objects_.push_back(Value(o));
            fill(o, v.members);
            return Value(o);
        }
        }
        return Value();
    }

    // Members in stored order; set last to first so that for..in meets them as stored.
    // Values are made in file order, which is the order references count objects in.
    void fill(Object* target, const std::vector<std::pair<std::string, data::AmfValue>>& members)
    {
        RootedValues values(m_);
        for (const auto& member : members)
            values.push_back(value(member.second));
        for (size_t i = members.size(); i-- > 0;)
            m_.setMember(Value(target), members[i].first, values[i]);
    }

private:
    Machine& m_;
    RootedValues objects_;
};

SharedObjectObject* sharedOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<SharedObjectObject>() : nullptr;
}

data::SolFile solOf(Machine& m, SharedObjectObject* so)
{
    data::SolFile file;
    file.name = so->name;
    Object* dataObject = m.getMember(Value(so), "data").asObject();
    if (!dataObject)
        return file;
    Writer writer(m, dataObject);
    file.members = writer.members(dataObject, 0).members;
    return file;
}

// Writes the object's data; an empty string on success, else why not.
std::string save(Machine& m, SharedObjectObject* so)
{
    LoadHost* host = m.loadHost();
    const data::SharedObjectStore* store = host ? host->sharedObjects() : nullptr;
    if (!store)
        return "this movie has no folder of its own to keep shared objects for";
    return store->save(so->name, so->localPath, solOf(m, so));
}

Value sharedFlush(Machine& m, Value self, std::span<const Value>)
{
    SharedObjectObject* so = sharedOf(self);
    if (!so)
        return Value(false);
    const std::string failure = save(m, so);
    if (failure.empty())
        return Value(true);
    if (LoadHost* host = m.loadHost())
        host->notice("shared object " + so->name + " was not saved: " + failure);
    return Value(false);
}

Value sharedClear(Machine& m, Value self, std::span<const Value>)
{
    SharedObjectObject* so = sharedOf(self);
    if (!so)
        return Value();
    so->put("data", Value(m.newObject()), PropertyFlag::DontDelete);
    LoadHost* host = m.loadHost();
    const data::SharedObjectStore* store = host ? host->sharedObjects() : nullptr;
    if (store) {
        if (auto path = store->pathOf(so->name, so->localPath)) {
            std::error_code ignored;
            std::filesystem::remove(*path, ignored);
        }
    }
    return Value();
}

// The size the data takes in its file's format.
Value sharedGetSize(Machine& m, Value self, std::span<const Value>)
{
    SharedObjectObject* so = sharedOf(self);
    if (!so)
        return Value(0);
    const data::SolFile file = solOf(m, so);
    if (file.members.empty())
        return Value(0);
    return Value(static_cast<double>(data::writeSol(file).size()));
}

// Only local shared objects exist for a movie from disk: nothing to connect to.
Value sharedConnect(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

const NativeMethod kSharedObjectMethods[] = {
    {"flush", sharedFlush},
    {"clear", sharedClear},
    {"getSize", sharedGetSize},
    {"connect", sharedConnect},
};

Object* cacheOf(Machine& m)
{
    Object* cache = m.protos().named(kCacheSlot);
    if (!cache) {
        cache = m.newObject(nullptr);
        m.protos().setNamed(kCacheSlot, cache);
    }
    return cache;
}

Value sharedGetLocal(Machine& m, Value, std::span<const Value> args)
{
    if (args.empty())
        return Value(Null{});
    const std::string name = m.toString(args[0]);
    const std::string localPath = args.size() > 1 && !args[1].isNullish() ? m.toString(args[1]) : std::string();
    LoadHost* host = m.loadHost();
    const data::SharedObjectStore* store = host ? host->sharedObjects() : nullptr;
    // A name the player refuses (empty, or with characters a name may not hold).
    data::SharedObjectStore probe("/", "/movie.swf");
    if (!(store ? store->pathOf(name, localPath) : probe.pathOf(name)))
        return Value(Null{});

    Object* cache = cacheOf(m);
    const std::string key = localPath + "\n" + name;
    if (const Property* known = cache->findOwn(key))
        return known->value;

    auto* so = m.make<SharedObjectObject>(m.protos().named("SharedObject"));
    so->name = name;
    so->localPath = localPath;
    Object* dataObject = m.newObject();
    so->put("data", Value(dataObject), PropertyFlag::DontDelete);
    cache->put(key, Value(static_cast<Object*>(so)));
    if (store) {
        data::SharedObjectStore::Loaded loaded = store->load(name, localPath);
        if (!loaded.notice.empty())
            host->notice(loaded.notice);
        if (loaded.file) {
            Reader reader(m);
            reader.fill(dataObject, loaded.file->members);
        }
    }
    return Value(static_cast<Object*>(so));
}

Value sharedGetRemote(Machine&, Value, std::span<const Value>)
{
    return Value(Null{});
}

Value sharedConstruct(Machine&, Value, std::span<const Value>)
{
    return Value();
}

} // namespace

void flushSharedObjects(Machine& m)
{
    Object* cache = m.protos().named(kCacheSlot);
    if (!cache)
        return;
    for (const Property& p : cache->properties()) {
        SharedObjectObject* so = sharedOf(p.value);
        if (!so)
            continue;
        try {
            const std::string failure = save(m, so);
            if (!failure.empty() && m.loadHost())
                m.loadHost()->notice("shared object " + so->name + " was not saved: " + failure);
        } catch (const ScriptThrow&) {
            // A member whose conversion throws leaves the object unsaved.
        } catch (const ScriptAbort&) {
            return;
        }
    }
}

void installSharedObjectClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("SharedObject", proto);
    Object* ctor = m.newClass("SharedObject", proto, sharedConstruct);
    defineMethods(m, proto, kSharedObjectMethods);
    const NativeMethod statics[] = {{"getLocal", sharedGetLocal}, {"getRemote", sharedGetRemote}};
    defineMethods(m, ctor, statics);
}

} // namespace swf::avm1
