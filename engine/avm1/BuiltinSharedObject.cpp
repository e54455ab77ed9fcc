// SharedObject: data a movie keeps between runs. getLocal reads the object's `.sol`
// file (AMF0) from the user's data folder into `data`; flush writes `data` back, within
// the 100 KB a movie may keep without asking (there is no dialog to ask through: a
// larger flush is refused, with a notice); the movie's end flushes every object it got.

#include "engine/avm1/AmfScript.h"
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
    AmfWriter writer(m, dataObject);
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
            AmfReader reader(m);
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
