// Sound: scripts play the movie's exported sounds (attachSound, start, stop), set the
// volume and pan of a scope's sounds (setVolume, setPan, setTransform), read where a
// sound is (position, duration), hear when it ends (onSoundComplete), and load local
// MP3 files (loadSound, onLoad, id3 and onID3). The playing itself is the SoundHost's.
//
// A Sound object made for a clip answers only while a clip is found at the path it was
// made for; without one every method does nothing and every getter is undefined.

#include "engine/avm1/FunctionObject.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/SoundHost.h"
#include "engine/avm1/SoundObject.h"
#include "engine/avm1/InterpreterSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace swf::avm1 {

namespace {

SoundPrototype* registryOf(Machine& m)
{
    Object* proto = m.protos().named("Sound");
    return proto ? proto->as<SoundPrototype>() : nullptr;
}

// The clip relative paths start from: the clip of the innermost running function
// (from SWF 6 a function belongs to the clip that defined it), else the clip whose
// script runs.
Object* scriptClip(Machine& m)
{
    if (m.version() >= 6 && !m.runningFunctions.empty()) {
        FunctionData* f = m.runningFunctions.back()->function();
        if (f && clipHost(f->definingClip))
            return f->definingClip;
    }
    return m.currentClip();
}

// The clip at `path` ("mc", "mc.inner", "_root.mc", "_level0.mc", "/mc/inner",
// "_parent.mc"), looked for among display children from `start`.
ClipHost* clipAt(Machine& m, Object* start, std::string_view path)
{
    ClipHost* current = clipHost(start);
    if (!current)
        current = clipHost(m.level(0));
    if (!current)
        return nullptr;
    const bool slashes = path.find('/') != std::string_view::npos;
    if (slashes && path.starts_with('/')) {
        current = clipHost(current->rootObject());
        path.remove_prefix(1);
    }
    while (current && !path.empty()) {
        size_t end = path.find(slashes ? '/' : '.');
        std::string_view segment = path.substr(0, end);
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
        if (segment.empty() || segment == "this")
            continue;
        if (segment == ".." || support::equalsNoCase(segment, "_parent")) {
            current = clipHost(current->parentObject());
        } else if (support::equalsNoCase(segment, "_root")) {
            current = clipHost(current->rootObject());
        } else if (support::startsWithNoCase(segment, "_level")) {
            char* stop = nullptr;
            std::string digits(segment.substr(6));
            long level = std::strtol(digits.c_str(), &stop, 10);
            if (digits.empty() || *stop != '\0' || level < 0 || level > std::numeric_limits<int>::max())
                return nullptr;
            current = clipHost(m.level(static_cast<int>(level)));
        } else {
            current = clipHost(current->childByName(segment, m.caseSensitive()));
        }
    }
    return current;
}

// The sound state of `self`: a Sound object's own, or the one a subclass's super()
// call gave an instance in place.
SoundObject* soundOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<SoundObject>() : nullptr;
}

// The settings `self` reads and writes, or null when it speaks for nothing now: a
// Sound object whose clip is not there, or something that is not a Sound object.
// A clip that has Sound's methods (a class registered for it that extends Sound)
// speaks for itself.
SoundTransform* scopeOf(Machine& m, const Value& self)
{
    Object* o = self.asObject();
    if (!o)
        return nullptr;
    if (auto* sound = soundOf(self)) {
        if (sound->wholeMovie) {
            SoundPrototype* registry = registryOf(m);
            return registry ? &registry->movieTransform : nullptr;
        }
        ClipHost* clip = clipAt(m, scriptClip(m), sound->ownerPath);
        return clip ? clip->soundTransform() : nullptr;
    }
    if (ClipHost* clip = clipHost(o))
        return clip->soundTransform();
    return nullptr;
}


// Numbers as the player's volume and pan take them: truncated toward zero, and
// anything out of the 32-bit range (NaN included) the lowest 32-bit number.
int32_t truncated(double v)
{
    if (!(v >= -2147483648.0 && v < 2147483648.0))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t wrapped(int64_t v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

void applyGains(Machine& m, const SoundTransform& t)
{
    SoundHost* host = m.soundHost();
    if (!host)
        return;
    double volume = t.volume / 100.0;
    SoundGains gains;
    gains.leftToLeft = t.leftToLeft / 100.0 * volume;
    gains.leftToRight = t.leftToRight / 100.0 * volume;
    gains.rightToRight = t.rightToRight / 100.0 * volume;
    gains.rightToLeft = t.rightToLeft / 100.0 * volume;
    host->setScopeGains(t.scope, gains);
}

// duration and position read like properties once a sound has first been attached
// or loaded (until then an assignment makes a plain property of the object's own).
Value soundDuration(Machine& m, Value self, std::span<const Value>);
Value soundPosition(Machine& m, Value self, std::span<const Value>);

void installAccessors(Machine& m)
{
    SoundPrototype* registry = registryOf(m);
    if (!registry || registry->accessorsInstalled)
        return;
    registry->accessorsInstalled = true;
    for (const NativeMethod& getter : {NativeMethod{"duration", soundDuration}, NativeMethod{"position", soundPosition}}) {
        Property& p = registry->ensure(getter.name);
        p.getter = m.newNativeFunction(getter.name, getter.function);
        p.flags = PropertyFlag::DontEnum;
    }
}

// Where the object's newest voice is now, in milliseconds.
double currentPosition(Machine& m, SoundObject& sound)
{
    SoundHost* host = m.soundHost();
    if (host && !sound.voices.empty()) {
        double at = host->positionMs(sound.voices.back());
        if (at >= 0)
            sound.positionMs = at;
    }
    return sound.positionMs;
}

Value soundAttachSound(Machine& m, Value self, std::span<const Value> args)
{
    SoundObject* sound = soundOf(self);
    SoundHost* host = m.soundHost();
    if (!sound || !host || args.empty() || !scopeOf(m, self))
        return Value();
    installAccessors(m);
    if (int id = host->soundByLinkage(m.toString(args[0]))) {
        sound->sound = id;
        sound->positionMs = 0;
        sound->load = SoundObject::Load::None;
    }
    return Value();
}

Value soundStart(Machine& m, Value self, std::span<const Value> args)
{
    SoundObject* sound = soundOf(self);
    SoundHost* host = m.soundHost();
    SoundTransform* scope = scopeOf(m, self);
    if (!sound || !host || !scope || sound->sound == 0)
        return Value();
    double offset = args.empty() ? 0 : m.toNumber(args[0]);
    offset = std::isfinite(offset) ? std::max(offset, 0.0) : 0.0;
    double loops = args.size() < 2 ? 1 : m.toNumber(args[1]);
    loops = std::isfinite(loops) ? std::clamp(loops, 1.0, 65535.0) : 1.0;
    uint64_t voice = host->startSound(sound->sound, offset, static_cast<int>(loops), scope->scope);
    if (voice == 0)
        return Value();
    sound->voices.push_back(voice);
    sound->positionMs = offset * 1000;
    if (SoundPrototype* registry = registryOf(m))
        registry->addActive(sound);
    return Value();
}

Value soundStop(Machine& m, Value self, std::span<const Value> args)
{
    SoundObject* sound = soundOf(self);
    SoundHost* host = m.soundHost();
    SoundTransform* scope = scopeOf(m, self);
    if (!sound || !host || !scope)
        return Value();
    // A stopped sound stays where it was.
    currentPosition(m, *sound);
    if (!args.empty() && !args[0].isUndefined()) {
        // A clip's Sound object stops the named sound only where it started it; the
        // movie's stops it everywhere.
        if (int id = host->soundByLinkage(m.toString(args[0])))
            host->stopSound(id, scope->scope);
    } else if (scope->scope == 0) {
        host->stopAllSounds();
    } else {
        host->stopScope(scope->scope);
    }
    return Value();
}

Value soundSetVolume(Machine& m, Value self, std::span<const Value> args)
{
    SoundTransform* t = scopeOf(m, self);
    if (!t)
        return Value();
    t->volume = args.empty() ? 0 : truncated(m.toNumber(args[0]));
    applyGains(m, *t);
    return Value();
}

Value soundGetVolume(Machine& m, Value self, std::span<const Value>)
{
    SoundTransform* t = scopeOf(m, self);
    return t ? Value(static_cast<double>(t->volume)) : Value();
}

Value soundSetPan(Machine& m, Value self, std::span<const Value> args)
{
    SoundTransform* t = scopeOf(m, self);
    if (!t)
        return Value();
    int64_t pan = args.empty() ? 0 : truncated(m.toNumber(args[0]));
    // Panning right turns the left channel down, and the other way round.
    t->leftToLeft = pan >= 0 ? wrapped(100 - pan) : 100;
    t->rightToRight = pan >= 0 ? 100 : wrapped(100 + pan);
    t->leftToRight = 0;
    t->rightToLeft = 0;
    applyGains(m, *t);
    return Value();
}

Value soundGetPan(Machine& m, Value self, std::span<const Value>)
{
    SoundTransform* t = scopeOf(m, self);
    if (!t)
        return Value();
    // The pan follows from the direct gains: a left channel at 100 says the right
    // one was turned down (or up), any other says the left one was.
    int64_t pan = t->leftToLeft == 100 ? std::llabs(static_cast<int64_t>(t->rightToRight)) - 100
                                       : 100 - std::llabs(static_cast<int64_t>(t->leftToLeft));
    return Value(static_cast<double>(wrapped(pan)));
}

Value soundSetTransform(Machine& m, Value self, std::span<const Value> args)
{
    SoundTransform* t = scopeOf(m, self);
    Object* from = arg(args, 0).asObject();
    if (!t || !from)
        return Value();
    // Only the fields the object has itself change; inherited ones do not count.
    const std::pair<const char*, int32_t*> fields[] = {
        {"ll", &t->leftToLeft}, {"lr", &t->leftToRight}, {"rr", &t->rightToRight}, {"rl", &t->rightToLeft}};
    for (const auto& [name, field] : fields) {
        if (from->findOwn(name))
            *field = m.toInt32(m.getMember(Value(from), name));
    }
    applyGains(m, *t);
    return Value();
}

Value soundGetTransform(Machine& m, Value self, std::span<const Value>)
{
    SoundTransform* t = scopeOf(m, self);
    if (!t)
        return Value();
    Object* out = m.newObject();
    out->put("ll", Value(static_cast<double>(t->leftToLeft)));
    out->put("lr", Value(static_cast<double>(t->leftToRight)));
    out->put("rr", Value(static_cast<double>(t->rightToRight)));
    out->put("rl", Value(static_cast<double>(t->rightToLeft)));
    return Value(out);
}

// Bytes of a loaded file; an attached sound is in the movie, all there.
Value bytesOf(Machine& m, const Value& self, bool total)
{
    SoundObject* sound = soundOf(self);
    SoundHost* host = m.soundHost();
    if (!sound || !host || sound->load == SoundObject::Load::None)
        return Value();
    SoundLoadStatus status = sound->sound != 0 ? host->loadStatus(sound->sound) : SoundLoadStatus{};
    return Value(static_cast<double>(total ? status.bytesTotal : status.bytesLoaded));
}

Value soundGetBytesLoaded(Machine& m, Value self, std::span<const Value>)
{
    return bytesOf(m, self, false);
}

Value soundGetBytesTotal(Machine& m, Value self, std::span<const Value>)
{
    return bytesOf(m, self, true);
}

Value soundLoadSound(Machine& m, Value self, std::span<const Value> args)
{
    SoundObject* sound = soundOf(self);
    SoundHost* host = m.soundHost();
    SoundPrototype* registry = registryOf(m);
    if (!sound || !host || !registry || args.empty())
        return Value();
    installAccessors(m);
    const std::string url = m.toString(args[0]);
    const bool streaming = m.toBoolean(arg(args, 1));
    sound->sound = host->loadSound(url);
    sound->voices.clear();
    sound->positionMs = 0;
    sound->load = SoundObject::Load::Pending;
    sound->loadStep = registry->step;
    sound->tagsDelivered = false;
    sound->streaming = streaming;
    registry->addActive(sound);
    // A streamed sound plays as it decodes.
    if (sound->sound != 0 && streaming)
        soundStart(m, self, {});
    return Value();
}

Value soundGetDuration(Machine& m, Value self, std::span<const Value>)
{
    SoundObject* sound = soundOf(self);
    SoundHost* host = m.soundHost();
    if (!sound || !host || sound->sound == 0 || !scopeOf(m, self))
        return Value();
    return Value(std::round(host->durationMs(sound->sound)));
}

Value soundGetPosition(Machine& m, Value self, std::span<const Value>)
{
    SoundObject* sound = soundOf(self);
    if (!sound || !m.soundHost() || sound->sound == 0 || !scopeOf(m, self))
        return Value();
    return Value(std::round(currentPosition(m, *sound)));
}

Value soundDuration(Machine& m, Value self, std::span<const Value> args)
{
    return soundGetDuration(m, self, args);
}

Value soundPosition(Machine& m, Value self, std::span<const Value> args)
{
    return soundGetPosition(m, self, args);
}

// `new Sound(target)`: a clip is remembered by its path, anything else by what it
// converts to (which may run, and throw from, its toString).
SoundObject* makeSound(Machine& m, std::span<const Value> args)
{
    RootedValues held(m, {args.begin(), args.end()});
    std::string ownerPath;
    bool wholeMovie = true;
    const Value target = arg(args, 0);
    if (!target.isUndefined() && !target.isNull()) {
        wholeMovie = false;
        if (ClipHost* clip = clipHost(target.asObject()))
            ownerPath = clip->targetPath(false);
        else
            ownerPath = m.toString(target);
    }
    auto* sound = m.make<SoundObject>(m.protos().named("Sound"));
    sound->wholeMovie = wholeMovie;
    sound->ownerPath = std::move(ownerPath);
    // Scripts may ask a Sound object to check a server's policy file before it reads
    // a sound's data; local files have none, so the flag is only kept.
    sound->put("checkPolicyFile", Value(false));
    return sound;
}

Value soundConstruct(Machine& m, Value, std::span<const Value> args)
{
    return Value(static_cast<Object*>(makeSound(m, args)));
}

// Sound called as a function: a subclass's super(). The instance becomes a Sound in
// place, and Sound's events are called on it. A clip given the class speaks for itself
// and needs no state.
Value soundCall(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = stateTarget(m, self);
    if (!o)
        return Value();
    RootedValues held(m, {self});
    SoundObject* sound = makeSound(m, args);
    sound->face = o;
    o->attachNative(sound);
    if (!o->findOwn("checkPolicyFile"))
        o->put("checkPolicyFile", Value(false));
    return self;
}

// Whether the sounds a script hears are closed to it (sounds of another domain, which
// it may play but not inspect). Every sound this player plays comes from the movie or
// its own folder, so none is.
Value soundAreSoundsInaccessible(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

// setDuration and setPosition are on the prototype (scripts test for them), but a
// sound's length is its data's and where it plays is start()'s offset: they change
// nothing and answer undefined.
Value soundSetNothing(Machine&, Value, std::span<const Value>)
{
    return Value();
}

// In the reference player's order: scripts that list the prototype see them newest
// first. They are read-only as well as hidden, as there.
constexpr uint16_t kMethodFlags = PropertyFlag::DontEnum | PropertyFlag::DontDelete | PropertyFlag::ReadOnly;
const NativeMethod kSoundMethods[] = {
    {"getPan", soundGetPan, kMethodFlags},
    {"getTransform", soundGetTransform, kMethodFlags},
    {"getVolume", soundGetVolume, kMethodFlags},
    {"setPan", soundSetPan, kMethodFlags},
    {"setTransform", soundSetTransform, kMethodFlags},
    {"setVolume", soundSetVolume, kMethodFlags},
    {"stop", soundStop, kMethodFlags},
    {"attachSound", soundAttachSound, kMethodFlags},
    {"start", soundStart, kMethodFlags},
    {"getDuration", soundGetDuration, kMethodFlags},
    {"setDuration", soundSetNothing, kMethodFlags},
    {"getPosition", soundGetPosition, kMethodFlags},
    {"setPosition", soundSetNothing, kMethodFlags},
    {"loadSound", soundLoadSound, kMethodFlags},
    {"getBytesLoaded", soundGetBytesLoaded, kMethodFlags},
    {"getBytesTotal", soundGetBytesTotal, kMethodFlags},
    {"areSoundsInaccessible", soundAreSoundsInaccessible, kMethodFlags},
};

// The `id3` object scripts read: every text frame by its ID3 name, and the ID3v1
// names for the common ones.
Object* id3Object(Machine& m, const std::vector<std::pair<std::string, std::string>>& tags)
{
    static constexpr std::pair<const char*, const char*> kVersion1Names[] = {
        {"TIT2", "songname"}, {"TPE1", "artist"}, {"TALB", "album"}, {"TYER", "year"},
        {"COMM", "comment"},  {"TCON", "genre"},  {"TRCK", "track"},
    };
    Object* id3 = m.newObject();
    for (const auto& [frame, value] : tags) {
        id3->put(frame, Value(value));
        for (const auto& [from, name] : kVersion1Names) {
            if (frame == from)
                id3->put(name, Value(value));
        }
    }
    return id3;
}

// One loading Sound object's step: onID3 once its tags are known, then a further
// piece decoded, then onLoad when it is all there (or failed).
void continueLoad(Machine& m, SoundHost& host, SoundObject& sound)
{
    if (!sound.tagsDelivered) {
        sound.tagsDelivered = true;
        auto tags = sound.sound != 0 ? host.tags(sound.sound) : std::vector<std::pair<std::string, std::string>>{};
        if (!tags.empty()) {
            sound.scriptObject()->put("id3", Value(id3Object(m, tags)));
            m.callMethod(Value(sound.scriptObject()), "onID3", {});
        }
    }
    if (sound.sound != 0)
        host.continueLoading(sound.sound);
    SoundLoadStatus status = sound.sound != 0 ? host.loadStatus(sound.sound) : SoundLoadStatus{};
    if (status.state == SoundLoadStatus::State::Loading)
        return;
    sound.load = SoundObject::Load::Done;
    Value success(status.state == SoundLoadStatus::State::Loaded);
    m.callMethod(Value(sound.scriptObject()), "onLoad", std::span(&success, 1));
}

} // namespace

void installSoundClass(Machine& m)
{
    Object* proto = m.make<SoundPrototype>(m.protos().object);
    m.protos().setNamed("Sound", proto);
    m.newClass("Sound", proto, soundCall, soundConstruct);
    defineMethods(m, proto, kSoundMethods);
    proto->put("checkPolicyFile", Value(), PropertyFlag::DontEnum | PropertyFlag::ReadOnly);
}

void dispatchSoundEvents(Machine& m)
{
    SoundHost* host = m.soundHost();
    SoundPrototype* registry = registryOf(m);
    if (!host || !registry)
        return;
    ++registry->step;
    // Handlers may start, stop and load sounds: work on a copy, rooted meanwhile.
    RootedValues pending(m);
    for (SoundObject* s : registry->active)
        pending.push_back(Value(static_cast<Object*>(s)));
    for (const Value& v : pending) {
        auto* sound = v.asObject()->as<SoundObject>();
        if (sound->load == SoundObject::Load::Pending && sound->loadStep + 1 < registry->step)
            sound->load = SoundObject::Load::Loading;
        if (sound->load == SoundObject::Load::Loading)
            continueLoad(m, *host, *sound);
        // Voices that ended since the last frame: onSoundComplete for each that played
        // to its end.
        std::vector<uint64_t> ended;
        for (uint64_t voice : sound->voices) {
            double at = host->positionMs(voice);
            if (at < 0)
                ended.push_back(voice);
            else if (voice == sound->voices.back())
                sound->positionMs = at;
        }
        for (uint64_t voice : ended) {
            std::erase(sound->voices, voice);
            if (host->completed(voice)) {
                sound->positionMs = sound->sound != 0 ? std::round(host->durationMs(sound->sound)) : 0;
                m.callMethod(Value(sound->scriptObject()), "onSoundComplete", {});
            }
        }
    }
    std::erase_if(registry->active, [](SoundObject* s) {
        return s->voices.empty() && s->load != SoundObject::Load::Pending && s->load != SoundObject::Load::Loading;
    });
}

} // namespace swf::avm1
