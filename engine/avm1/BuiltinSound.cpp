// Sound: scripts play the movie's exported sounds (attachSound, start, stop), set the
// volume and pan of a clip's sounds (setVolume, setPan, setTransform), read where a
// sound is (position, duration), hear when it ends (onSoundComplete), and load local
// MP3 files (loadSound, onLoad). The playing itself is the SoundHost's.
//
// A Sound object keeps its target clip (as Color does) and its own state in hidden
// properties, so that the collector sees everything it holds.

#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/SoundHost.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

// A Sound object: the clip whose sounds it speaks for (null: the whole movie).
class SoundObject final : public Object {
public:
    using Object::Object;
    Object* target = nullptr;
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(target);
    }
};

Object* targetOf(Object* sound)
{
    SoundObject* s = sound ? sound->as<SoundObject>() : nullptr;
    return s ? s->target : nullptr;
}

// Hidden state: the names cannot be written in a script.
constexpr std::string_view kSoundId = "\x01sound";
constexpr std::string_view kVoice = "\x01voice";
constexpr std::string_view kVolume = "\x01volume";
constexpr std::string_view kPan = "\x01pan";
constexpr std::string_view kPosition = "\x01position";
constexpr std::string_view kTransform[4] = {"\x01ll", "\x01lr", "\x01rr", "\x01rl"};
// On the global object: Sound objects with a voice playing, and loads to report.
constexpr std::string_view kPlaying = "\x01playingSounds";
constexpr std::string_view kLoaded = "\x01loadedSounds";

double hidden(Object* o, std::string_view name, double fallback)
{
    const Property* p = o ? o->findOwn(name) : nullptr;
    return p && p->value.isNumber() ? p->value.asNumber() : fallback;
}

void setHidden(Object* o, std::string_view name, double value)
{
    o->put(name, Value(value), PropertyFlag::DontEnum);
}

constexpr std::string_view kNoTarget = "\x01noTarget";

// The clip a Sound object speaks for: its scope (null: the whole movie).
const void* scopeOf(Object* sound)
{
    return targetOf(sound);
}

// A Sound object made for a clip that is gone, or for something that is not a clip,
// answers nothing.
bool live(Object* sound)
{
    if (!sound || sound->findOwn(kNoTarget))
        return false;
    Object* target = targetOf(sound);
    return !target || clipHost(target) != nullptr;
}

// Volume, pan and transform belong to the scope, so every Sound object of one clip
// shares them: they live on the clip's object (or the global one).
Object* settingsOf(Machine& m, Object* sound)
{
    Object* target = targetOf(sound);
    return target ? target : m.global();
}

SoundHost* hostOf(Machine& m)
{
    return m.soundHost();
}

// Volume and pan (or the transform) as channel gains.
void applyGains(Machine& m, Object* sound)
{
    SoundHost* host = hostOf(m);
    if (!host)
        return;
    Object* settings = settingsOf(m, sound);
    double volume = hidden(settings, kVolume, 100) / 100.0;
    SoundGains gains;
    gains.leftToLeft = hidden(settings, kTransform[0], 100) / 100.0 * volume;
    gains.leftToRight = hidden(settings, kTransform[1], 0) / 100.0 * volume;
    gains.rightToRight = hidden(settings, kTransform[2], 100) / 100.0 * volume;
    gains.rightToLeft = hidden(settings, kTransform[3], 0) / 100.0 * volume;
    host->setScopeGains(scopeOf(sound), gains);
}

Object* listOn(Machine& m, std::string_view name)
{
    Value list = m.global()->findOwn(name) ? m.global()->findOwn(name)->value : Value();
    if (!list.asObject()) {
        list = Value(m.newArray());
        m.global()->put(name, list, PropertyFlag::DontEnum);
    }
    return list.asObject();
}

double finite(Machine& m, const Value& v, double fallback)
{
    if (v.isUndefined())
        return fallback;
    double d = m.toNumber(v);
    return std::isfinite(d) ? d : fallback;
}

Value start(Machine& m, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    SoundHost* host = hostOf(m);
    int id = static_cast<int>(hidden(sound, kSoundId, 0));
    if (!sound || !host || id == 0)
        return Value();
    double offset = std::max(0.0, finite(m, arg(args, 0), 0));
    int loops = static_cast<int>(std::clamp(finite(m, arg(args, 1), 1), 1.0, 65535.0));
    uint64_t voice = host->startSound(id, offset, loops, scopeOf(sound));
    setHidden(sound, kVoice, static_cast<double>(voice));
    setHidden(sound, kPosition, 0);
    if (voice != 0)
        m.arraySet(listOn(m, kPlaying), m.arrayLength(listOn(m, kPlaying)), Value(sound));
    return Value();
}

Value stop(Machine& m, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    SoundHost* host = hostOf(m);
    if (!sound || !host)
        return Value();
    if (!args.empty() && !args[0].isUndefined()) {
        if (int id = host->soundByLinkage(m.toString(args[0])))
            host->stopSound(id);
    } else if (scopeOf(sound)) {
        host->stopScope(scopeOf(sound));
    } else {
        host->stopAllSounds();
    }
    return Value();
}

Value soundAttachSound(Machine& mm, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    SoundHost* host = hostOf(mm);
    if (!sound || !host || args.empty())
        return Value();
    if (int id = host->soundByLinkage(mm.toString(args[0])))
        setHidden(sound, kSoundId, id);
    return Value();}

Value soundSetVolume(Machine& mm, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    if (live(sound)) {
        setHidden(settingsOf(mm, sound), kVolume, std::trunc(finite(mm, arg(args, 0), 100)));
        applyGains(mm, sound);
    }
    return Value();}

Value soundGetVolume(Machine& mm, Value self, std::span<const Value>)
{
    Object* sound = self.asObject();
    return live(sound) ? Value(hidden(settingsOf(mm, sound), kVolume, 100)) : Value();}

Value soundSetPan(Machine& mm, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    if (!live(sound))
        return Value();
    Object* settings = settingsOf(mm, sound);
    double pan = std::clamp(std::trunc(finite(mm, arg(args, 0), 0)), -100.0, 100.0);
    setHidden(settings, kPan, pan);
    // Panning right turns the left channel down, and the other way round.
    setHidden(settings, kTransform[0], pan > 0 ? 100 - pan : 100);
    setHidden(settings, kTransform[1], 0);
    setHidden(settings, kTransform[2], pan < 0 ? 100 + pan : 100);
    setHidden(settings, kTransform[3], 0);
    applyGains(mm, sound);
    return Value();}

Value soundGetPan(Machine& mm, Value self, std::span<const Value>)
{
    Object* sound = self.asObject();
    return live(sound) ? Value(hidden(settingsOf(mm, sound), kPan, 0)) : Value();}

Value soundSetTransform(Machine& mm, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    Object* t = arg(args, 0).asObject();
    if (!live(sound) || !t)
        return Value();
    Object* settings = settingsOf(mm, sound);
    static constexpr const char* kNames[4] = {"ll", "lr", "rr", "rl"};
    for (int i = 0; i < 4; ++i) {
        if (mm.hasProperty(t, kNames[i]))
            setHidden(settings, kTransform[i], finite(mm, mm.getMember(Value(t), kNames[i]), 0));
    }
    applyGains(mm, sound);
    return Value();}

Value soundGetTransform(Machine& mm, Value self, std::span<const Value>)
{
    Object* sound = self.asObject();
    if (!live(sound))
        return Value();
    Object* settings = settingsOf(mm, sound);
    Object* t = mm.newObject();
    t->put("ll", Value(hidden(settings, kTransform[0], 100)));
    t->put("lr", Value(hidden(settings, kTransform[1], 0)));
    t->put("rr", Value(hidden(settings, kTransform[2], 100)));
    t->put("rl", Value(hidden(settings, kTransform[3], 0)));
    return Value(t);}

Value soundGetBytesLoaded(Machine&, Value self, std::span<const Value>)
{
    return hidden(self.asObject(), kSoundId, 0) != 0 ? Value(1.0) : Value();}

Value soundGetBytesTotal(Machine&, Value self, std::span<const Value>)
{
    return hidden(self.asObject(), kSoundId, 0) != 0 ? Value(1.0) : Value();}

Value soundLoadSound(Machine& mm, Value self, std::span<const Value> args)
{
    Object* sound = self.asObject();
    SoundHost* host = hostOf(mm);
    if (!sound || !host || args.empty())
        return Value();
    int id = host->loadSoundFile(mm.toString(args[0]));
    setHidden(sound, kSoundId, id);
    bool streaming = mm.toBoolean(arg(args, 1));
    // A streamed sound plays as soon as it loads; onLoad follows at the frame's end.
    if (id != 0 && streaming)
        start(mm, self, {});
    Object* entry = mm.newArray();
    mm.arraySet(entry, 0, Value(sound));
    mm.arraySet(entry, 1, Value(id != 0));
    Object* loads = listOn(mm, kLoaded);
    mm.arraySet(loads, mm.arrayLength(loads), Value(entry));
    return Value();}

Value soundDuration(Machine& mm, Value self, std::span<const Value>)
{
    SoundHost* host = hostOf(mm);
    int id = static_cast<int>(hidden(self.asObject(), kSoundId, 0));
    if (!live(self.asObject()) || !host || id == 0)
        return Value();
    return Value(std::round(host->durationMs(id)));}

Value soundPosition(Machine& mm, Value self, std::span<const Value>)
{
    Object* sound = self.asObject();
    SoundHost* host = hostOf(mm);
    if (!live(sound) || hidden(sound, kSoundId, 0) == 0)
        return Value();
    auto voice = static_cast<uint64_t>(hidden(sound, kVoice, 0));
    if (host && voice != 0) {
        double at = host->positionMs(voice);
        if (at >= 0)
            return Value(std::round(at));
    }
    return Value(hidden(sound, kPosition, 0));}

Value soundConstruct(Machine& m, Value, std::span<const Value> args)
{
    auto* sound = m.make<SoundObject>(m.protos().named("Sound"));
    if (!args.empty() && args[0].asObject())
        sound->target = args[0].asObject();
    else if (!args.empty())
        setHidden(sound, kNoTarget, 1);
    return Value(static_cast<Object*>(sound));
}

const NativeMethod kSoundMethods[] = {
    {"attachSound", soundAttachSound},
    {"start", start},
    {"stop", stop},
    {"setVolume", soundSetVolume},
    {"getVolume", soundGetVolume},
    {"setPan", soundSetPan},
    {"getPan", soundGetPan},
    {"setTransform", soundSetTransform},
    {"getTransform", soundGetTransform},
    {"getBytesLoaded", soundGetBytesLoaded},
    {"getBytesTotal", soundGetBytesTotal},
    {"loadSound", soundLoadSound},
    {"getDuration", soundDuration},
    {"getPosition", soundPosition},
};

} // namespace

void installSoundClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("Sound", proto);
    m.newClass("Sound", proto, soundConstruct, soundConstruct);
    defineMethods(m, proto, kSoundMethods);
    // duration and position read like properties.
    for (const NativeMethod& getter : {NativeMethod{"duration", soundDuration}, NativeMethod{"position", soundPosition}}) {
        Property& p = proto->ensure(getter.name);
        p.getter = m.newNativeFunction(getter.name, getter.function);
        p.flags = PropertyFlag::DontEnum;
    }
}

void dispatchSoundEvents(Machine& m)
{
    SoundHost* host = hostOf(m);
    if (!host)
        return;
    const Property* loadedList = m.global()->findOwn(kLoaded);
    if (loadedList && loadedList->value.asObject() && m.arrayLength(loadedList->value.asObject()) > 0) {
        std::vector<Value> loads = m.arrayItems(loadedList->value.asObject());
        m.arrayAssign(loadedList->value.asObject(), {});
        for (const Value& entry : loads) {
            if (Object* pair = entry.asObject()) {
                Value success = m.arrayGet(pair, 1);
                m.callMethod(m.arrayGet(pair, 0), "onLoad", std::span(&success, 1));
            }
        }
    }
    const Property* playingList = m.global()->findOwn(kPlaying);
    if (!playingList || !playingList->value.asObject())
        return;
    Object* list = playingList->value.asObject();
    std::vector<Value> playing = m.arrayItems(list);
    std::vector<Value> still;
    std::vector<Object*> ended;
    for (const Value& v : playing) {
        Object* sound = v.asObject();
        auto voice = static_cast<uint64_t>(hidden(sound, kVoice, 0));
        if (!sound || voice == 0)
            continue;
        if (host->positionMs(voice) >= 0) {
            still.push_back(v);
            continue;
        }
        int id = static_cast<int>(hidden(sound, kSoundId, 0));
        setHidden(sound, kPosition, id != 0 ? std::round(host->durationMs(id)) : 0);
        setHidden(sound, kVoice, 0);
        if (host->completed(voice))
            ended.push_back(sound);
    }
    m.arrayAssign(list, still);
    for (Object* sound : ended)
        m.callMethod(Value(sound), "onSoundComplete", {});
}

} // namespace swf::avm1
