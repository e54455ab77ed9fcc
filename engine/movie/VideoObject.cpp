#include "engine/movie/VideoObject.h"

#include "engine/avm1/NetStreamHost.h"
#include "engine/avm1/VideoObject.h"
#include "engine/format/Video.h"
#include "engine/movie/MovieDef.h"

namespace swf::movie {

namespace {

// The attached stream's pictures as a stream of the stage object's size and drawing
// flags: the pictures fill the object's box whatever their own size.
struct VideoView {
    std::shared_ptr<const EmbeddedVideo> source;
    EmbeddedVideo view;
};

std::shared_ptr<const EmbeddedVideo> viewFor(avm1::VideoAttachment& attachment, const EmbeddedVideo* own)
{
    const std::shared_ptr<const EmbeddedVideo>& source = attachment.feed->video;
    if (attachment.view && attachment.viewSource == source.get() && attachment.viewSmoothing == attachment.smoothing)
        return attachment.view;
    auto holder = std::make_shared<VideoView>();
    holder->source = source;
    holder->view = *source;
    if (own && own->def.width > 0 && own->def.height > 0) {
        holder->view.def.width = own->def.width;
        holder->view.def.height = own->def.height;
    }
    holder->view.def.smoothing = attachment.smoothing;
    holder->view.def.deblocking = static_cast<uint8_t>(attachment.deblocking);
    attachment.view = std::shared_ptr<const EmbeddedVideo>(holder, &holder->view);
    attachment.viewSource = source.get();
    attachment.viewSmoothing = attachment.smoothing;
    return attachment.view;
}

} // namespace

void addVideo(const DisplayObject& object, render::RenderNode& node)
{
    if (!object.character || object.character->kind != CharacterKind::Video)
        return;
    const EmbeddedVideo* own = object.character->video.get();
    if (object.videoAttachment && object.videoAttachment->feed) {
        // A script attached a stream: it shows that instead of its own frames.
        const int picture = object.videoAttachment->pictureOnShow();
        if (picture >= 0 && object.videoAttachment->feed->video) {
            node.video = viewFor(*object.videoAttachment, own);
            node.videoFrame = picture;
        }
        return;
    }
    if (!own)
        return;
    node.video = object.character->video;
    node.videoFrame = object.ratio;
}

avm1::Object* videoScriptObject(avm1::Machine* machine, DisplayObject& object, avm1::Object* parent)
{
    if (!machine || !object.character || object.character->kind != CharacterKind::Video)
        return nullptr;
    if (!object.videoAttachment)
        object.videoAttachment = std::make_shared<avm1::VideoAttachment>();
    const EmbeddedVideo* own = object.character->video.get();
    return avm1::videoScriptObject(*machine, object.videoAttachment, own ? own->def.width : 0,
                                   own ? own->def.height : 0, parent);
}

} // namespace swf::movie
