// Video: shows what a NetStream plays. attachVideo(stream) attaches one (null or no
// argument detaches), clear() hides the picture on show until the next one; smoothing
// and deblocking are how it is drawn; width and height are the size of the pictures
// coming in (0 without any). A video on the stage has the display properties of any
// placed object too (_x, _y, _alpha, _visible, _xscale, _width, _name, _parent ...).

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/NetStreamObject.h"
#include "engine/avm1/VideoObject.h"
#include "engine/format/Video.h"

namespace swf::avm1 {

namespace {

VideoObject* videoOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<VideoObject>() : nullptr;
}

Value videoAttachVideo(Machine&, Value self, std::span<const Value> args)
{
    VideoObject* video = videoOf(self);
    if (!video)
        return Value();
    Object* source = arg(args, 0).asObject();
    auto* stream = source ? source->as<NetStreamObject>() : nullptr;
    video->attachment->feed = stream ? stream->feed : nullptr;
    video->attachment->clearedVideo = nullptr;
    video->attachment->clearedPicture = -1;
    return Value();
}

Value videoClear(Machine&, Value self, std::span<const Value>)
{
    VideoObject* video = videoOf(self);
    if (!video || !video->attachment->feed)
        return Value();
    video->attachment->clearedVideo = video->attachment->feed->video.get();
    video->attachment->clearedPicture = video->attachment->feed->picture;
    return Value();
}

// A display property's clip number, when `name` is one a video has.
std::optional<ClipProperty> videoDisplayProperty(std::string_view name)
{
    if (name.empty() || name[0] != '_')
        return std::nullopt;
    auto property = clipPropertyByName(name);
    if (!property || !isPlacedObjectProperty(*property))
        return std::nullopt;
    return property;
}

const NativeMethod kVideoMethods[] = {
    {"attachVideo", videoAttachVideo},
    {"clear", videoClear},
};

Value videoConstruct(Machine& m, Value, std::span<const Value>)
{
    return Value(m.make<VideoObject>(m.protos().named("Video")));
}

} // namespace

std::optional<std::string> VideoObject::defaultString()
{
    ClipHost* parent = clipHost(parentClip);
    if (!parent)
        return std::nullopt;
    const std::optional<Value> name = parent->childVideoProperty(attachment.get(), ClipProperty::Name);
    if (!name || !name->isString())
        return std::nullopt;
    return parent->targetPath(false) + "." + name->asString();
}

bool VideoObject::getComputed(Machine& machine, std::string_view name, Value& out)
{
    if (parentClip) {
        ClipHost* parent = clipHost(parentClip);
        if (support::equalsNoCase(name, "_parent")) {
            out = parent ? Value(parentClip) : Value();
            return true;
        }
        if (auto property = videoDisplayProperty(name)) {
            std::optional<Value> value;
            if (parent)
                value = parent->childVideoProperty(attachment.get(), *property);
            out = value ? *value : Value();
            return true;
        }
    }
    const VideoFeed* feed = attachment->feed.get();
    const EmbeddedVideo* incoming = feed ? feed->video.get() : nullptr;
    if (name == "smoothing") {
        out = Value(attachment->smoothing);
    } else if (name == "deblocking") {
        out = Value(attachment->deblocking);
    } else if (name == "width") {
        out = Value(incoming ? static_cast<int>(incoming->def.width) : ownWidth);
    } else if (name == "height") {
        out = Value(incoming ? static_cast<int>(incoming->def.height) : ownHeight);
    } else {
        return Object::getComputed(machine, name, out);
    }
    return true;
}

bool VideoObject::setComputed(Machine& machine, std::string_view name, const Value& value)
{
    if (parentClip) {
        if (support::equalsNoCase(name, "_parent"))
            return true;  // read-only
        if (auto property = videoDisplayProperty(name)) {
            if (ClipHost* parent = clipHost(parentClip); parent && *property != ClipProperty::Target)
                parent->setChildVideoProperty(attachment.get(), *property, value);
            return true;
        }
    }
    if (name == "smoothing") {
        attachment->smoothing = machine.toBoolean(value);
    } else if (name == "deblocking") {
        const double level = machine.toNumber(value);
        attachment->deblocking = level >= 0 && level <= 6 ? static_cast<int>(level) : 0;
    } else if (name == "width" || name == "height") {
        // Read-only: the pictures decide.
    } else {
        return Object::setComputed(machine, name, value);
    }
    return true;
}

Object* videoScriptObject(Machine& m, const std::shared_ptr<VideoAttachment>& attachment, int width, int height,
                          Object* parent)
{
    if (attachment->scriptObject) {
        if (auto* existing = attachment->scriptObject->as<VideoObject>(); existing && parent)
            existing->parentClip = parent;
        return attachment->scriptObject;
    }
    auto* video = m.make<VideoObject>(m.protos().named("Video"));
    video->attachment = attachment;
    video->ownWidth = width;
    video->ownHeight = height;
    video->parentClip = parent;
    attachment->scriptObject = video;
    return video;
}

void installVideoClass(Machine& m)
{
    if (m.version() < 6)
        return;
    Object* proto = m.newObject();
    m.protos().setNamed("Video", proto);
    m.newClass("Video", proto, videoConstruct, videoConstruct);
    defineMethods(m, proto, kVideoMethods);
}

} // namespace swf::avm1
