// NetStream: plays a local FLV file through a NetConnection connected to null. The
// stream moves on by the frame clock; its events reach the script a frame after what
// caused them, in the reference player's order:
//
//   play:   NetStream.Play.Start, the file's script tags at time 0 (onMetaData), then
//           NetStream.Buffer.Full, after which the clock runs
//   end:    NetStream.Buffer.Flush, NetStream.Play.Stop, NetStream.Buffer.Empty
//   seek:   NetStream.Seek.Notify (landing on the key frame at or before the time
//           asked), or NetStream.Seek.InvalidTime past the end
//   pause:  NetStream.Pause.Notify / NetStream.Unpause.Notify
//   a file that cannot be had: NetStream.Play.StreamNotFound (level "error")
//
// Script tags (onMetaData, onCuePoint, ...) call the method of their name with their
// AMF0 value converted to script values as the clock passes their time. The numbers
// (time, bufferLength, bytesLoaded, bytesTotal, currentFps) exist once play is called.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/NetConnectionObject.h"
#include "engine/avm1/NetStreamObject.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

NetStreamObject* streamOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<NetStreamObject>() : nullptr;
}

// An AMF0 value as the script sees it: objects and ECMA arrays become objects, strict
// arrays arrays, dates Date objects; a reference names an object met before.
Value fromAmf(Machine& m, const data::AmfValue& value, std::vector<Object*>& seen)
{
    using Type = data::AmfValue::Type;
    switch (value.type) {
    case Type::Number: return Value(value.number);
    case Type::Boolean: return Value(value.boolean);
    case Type::String:
    case Type::Xml: return Value(value.text);
    case Type::Null: return Value(Null{});
    case Type::Undefined: return Value();
    case Type::Reference:
        return value.reference < seen.size() ? Value(seen[value.reference]) : Value();
    case Type::Date: {
        const Value args[] = {Value(value.number)};
        return m.construct(m.getMember(Value(m.global()), "Date"), args);
    }
    case Type::StrictArray: {
        Object* array = m.newArray();
        seen.push_back(array);
        std::vector<Value> items;
        for (const data::AmfValue& item : value.elements)
            items.push_back(fromAmf(m, item, seen));
        m.arrayAssign(array, items);
        return Value(array);
    }
    case Type::Object:
    case Type::EcmaArray:
    case Type::TypedObject: {
        Object* object = m.newObject();
        seen.push_back(object);
        for (const auto& [name, member] : value.members)
            object->put(name, fromAmf(m, member, seen));
        return Value(object);
    }
    }
    return Value();
}

void sendStatus(Machine& m, NetStreamObject* stream, const std::string& level, const std::string& code)
{
    Object* event = m.newObject();
    event->put("level", Value(level));
    event->put("code", Value(code));
    const Value args[] = {Value(event)};
    m.callMethod(Value(stream), "onStatus", args);
}

void deliverTag(Machine& m, NetStreamObject* stream, const StreamScriptTag& tag)
{
    std::vector<Object*> seen;
    const Value args[] = {fromAmf(m, tag.argument, seen)};
    m.callMethod(Value(stream), tag.name, args);
}

// Delivers the script tags whose time the clock has reached. The list is the stream's
// own; a handler may close the stream, which ends the walk.
void deliverTagsUpTo(Machine& m, NetStreamObject* stream, double time)
{
    while (stream->media && stream->nextTag < stream->media->scriptTags().size()) {
        const StreamScriptTag tag = stream->media->scriptTags()[stream->nextTag];
        if (tag.time > time + 1e-9)
            break;
        ++stream->nextTag;
        deliverTag(m, stream, tag);
    }
}

void showPicture(NetStreamObject* stream)
{
    if (stream->media && stream->feed->video)
        stream->feed->picture = stream->media->pictureAt(stream->time);
}

void tick(Machine& m, NetStreamObject* stream, double ms)
{
    // Events first, then the clock: what play or seek caused arrives before the
    // stream moves on.
    const std::vector<NetStreamObject::Status> statuses = std::move(stream->queued);
    stream->queued.clear();
    for (const auto& status : statuses)
        sendStatus(m, stream, status.level, status.code);
    if (!stream->media) {
        if (stream->queued.empty())
            m.removeFrameTask(stream);
        return;
    }
    if (stream->paused || stream->ended)
        return;
    if (!stream->started) {
        // The whole file is at hand: the buffer fills at once.
        deliverTagsUpTo(m, stream, stream->time);
        if (!stream->media)
            return;
        stream->started = true;
        sendStatus(m, stream, "status", "NetStream.Buffer.Full");
        if (stream->media)
            stream->media->startSound(stream->time);
        showPicture(stream);
        return;
    }
    const double duration = stream->media->duration();
    stream->time = std::min(stream->time + ms / 1000.0, duration);
    showPicture(stream);
    deliverTagsUpTo(m, stream, stream->time);
    if (stream->media && !stream->ended && stream->time >= duration) {
        stream->ended = true;
        stream->media->stopSound();
        sendStatus(m, stream, "status", "NetStream.Buffer.Flush");
        sendStatus(m, stream, "status", "NetStream.Play.Stop");
        sendStatus(m, stream, "status", "NetStream.Buffer.Empty");
    }
}

void queueStatus(Machine& m, NetStreamObject* stream, const char* level, const char* code)
{
    stream->queued.push_back({level, code});
    m.addFrameTask(stream, [stream](Machine& machine, double ms) { tick(machine, stream, ms); });
}

void stopMedia(NetStreamObject* stream)
{
    if (stream->media)
        stream->media->stopSound();
    stream->media.reset();
    stream->started = false;
    stream->paused = false;
    stream->ended = false;
    stream->nextTag = 0;
    stream->time = 0;
}

bool connectedLocally(Object* connection)
{
    auto* nc = connection ? connection->as<NetConnectionObject>() : nullptr;
    return nc && nc->state == NetConnectionObject::State::Local;
}

Value netStreamPlay(Machine& m, Value self, std::span<const Value> args)
{
    NetStreamObject* stream = streamOf(self);
    if (!stream || args.empty() || !connectedLocally(stream->connection))
        return Value();
    const std::string url = m.toString(args[0]);
    stopMedia(stream);
    stream->opened = true;
    NetStreamHost* host = m.netStreamHost();
    stream->media = host ? host->openStream(url) : nullptr;
    if (!stream->media) {
        queueStatus(m, stream, "error", "NetStream.Play.StreamNotFound");
        return Value();
    }
    stream->media->setSoundScope(stream->soundScope);
    // A new file: the video objects attached to the stream follow it from its start.
    stream->feed->video = stream->media->video();
    stream->feed->picture = -1;
    queueStatus(m, stream, "status", "NetStream.Play.Start");
    return Value();
}

Value netStreamPause(Machine& m, Value self, std::span<const Value> args)
{
    NetStreamObject* stream = streamOf(self);
    if (!stream || !stream->media)
        return Value();
    const bool pause = args.empty() || arg(args, 0).isUndefined() ? !stream->paused : m.toBoolean(args[0]);
    if (pause == stream->paused)
        return Value();
    stream->paused = pause;
    if (pause) {
        stream->media->stopSound();
        queueStatus(m, stream, "status", "NetStream.Pause.Notify");
    } else {
        if (stream->started && !stream->ended)
            stream->media->startSound(stream->time);
        queueStatus(m, stream, "status", "NetStream.Unpause.Notify");
    }
    return Value();
}

Value netStreamSeek(Machine& m, Value self, std::span<const Value> args)
{
    NetStreamObject* stream = streamOf(self);
    if (!stream || !stream->media)
        return Value();
    double offset = m.toNumber(arg(args, 0));
    if (std::isnan(offset) || offset > stream->media->duration()) {
        queueStatus(m, stream, "error", "NetStream.Seek.InvalidTime");
        return Value();
    }
    offset = std::max(offset, 0.0);
    stream->time = stream->media->keyFrameAtOrBefore(offset);
    stream->ended = false;
    // Cue points from the landing time on come again; the metadata does not.
    const auto& tags = stream->media->scriptTags();
    stream->nextTag = 0;
    while (stream->nextTag < tags.size() &&
           (tags[stream->nextTag].time < stream->time - 1e-9 || tags[stream->nextTag].name == "onMetaData"))
        ++stream->nextTag;
    showPicture(stream);
    if (stream->started && !stream->paused)
        stream->media->startSound(stream->time);
    queueStatus(m, stream, "status", "NetStream.Seek.Notify");
    return Value();
}

Value netStreamClose(Machine& m, Value self, std::span<const Value>)
{
    NetStreamObject* stream = streamOf(self);
    if (!stream)
        return Value();
    stopMedia(stream);
    if (stream->queued.empty())
        m.removeFrameTask(stream);
    return Value();
}

Value netStreamSetBufferTime(Machine& m, Value self, std::span<const Value> args)
{
    if (NetStreamObject* stream = streamOf(self))
        stream->bufferTime = m.toNumber(arg(args, 0));
    return Value();
}

const NativeMethod kNetStreamMethods[] = {
    {"play", netStreamPlay},
    {"pause", netStreamPause},
    {"seek", netStreamSeek},
    {"close", netStreamClose},
    {"setBufferTime", netStreamSetBufferTime},
};

Value netStreamConstruct(Machine& m, Value self, std::span<const Value> args)
{
    auto* stream = m.make<NetStreamObject>(m.protos().named("NetStream"));
    stream->connection = arg(args, 0).asObject();
    // Run on an existing object (a subclass's super()), it makes that object a stream
    // in place, and answers nothing.
    if (Object* target = stateTarget(m, self)) {
        target->attachNative(stream);
        return Value();
    }
    return Value(stream);
}

} // namespace

bool NetStreamObject::setComputed(Machine& machine, std::string_view name, const Value& value)
{
    if (name == "bufferTime")
        return true;  // read-only: setBufferTime sets it
    return Object::setComputed(machine, name, value);
}

bool NetStreamObject::getComputed(Machine& machine, std::string_view name, Value& out)
{
    if (name == "bufferTime" && bufferTime) {
        out = Value(*bufferTime);
        return true;
    }
    if (!opened)
        return Object::getComputed(machine, name, out);
    const double duration = media ? media->duration() : 0;
    if (name == "time") {
        out = Value(time);
    } else if (name == "bufferLength") {
        // The whole file is loaded: what is ahead of the clock is buffered.
        out = Value(media && !ended ? std::max(0.0, duration - time) : 0.0);
    } else if (name == "bytesLoaded" || name == "bytesTotal") {
        out = Value(static_cast<double>(media ? media->bytesTotal() : 0));
    } else if (name == "currentFps") {
        out = Value(media && started && !paused && !ended ? media->frameRate() : 0.0);
    } else {
        return Object::getComputed(machine, name, out);
    }
    return true;
}

void installNetStreamClass(Machine& m)
{
    if (m.version() < 6)
        return;
    Object* proto = m.newObject();
    m.protos().setNamed("NetStream", proto);
    m.newClass("NetStream", proto, netStreamConstruct, netStreamConstruct);
    defineMethods(m, proto, kNetStreamMethods);
}

} // namespace swf::avm1
