#pragma once

// Video's script objects: `new Video()` makes one that stands for nothing; a video on
// the stage gets one when a script first reaches it by name, sharing the stage object's
// attachment, and kept alive while the stage object is there.

#include "engine/avm1/NetStreamHost.h"
#include "engine/avm1/Object.h"

#include <memory>

namespace swf::avm1 {

class Machine;

class VideoObject final : public Object {
public:
    using Object::Object;

    std::shared_ptr<VideoAttachment> attachment = std::make_shared<VideoAttachment>();
    // The picture size of a stage video's own stream, before anything is attached.
    int ownWidth = 0;
    int ownHeight = 0;
    // The clip a stage video sits in; its display properties are asked of that clip
    // (null for a `new Video()`, which has none).
    Object* parentClip = nullptr;

    bool getComputed(Machine& machine, std::string_view name, Value& out) override;
    bool setComputed(Machine& machine, std::string_view name, const Value& value) override;
    // A video on the stage reads as its target path, as a clip does ("_level0.video").
    std::optional<std::string> defaultString() override;
    // A stage video's object lives while the stage object (which shares the
    // attachment) does.
    bool pinned() const override { return attachment.use_count() > 1; }
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        if (parentClip)
            visitor.visit(parentClip);
    }

protected:
    // A stage video holds built-in state; a `new Video()` is an ordinary object.
    bool keepsNativeState() const override { return parentClip != nullptr; }
};

// The object for a stage video whose attachment is `attachment`: the one made before,
// or a new one.
// `parent` is the script object of the clip it sits in.
Object* videoScriptObject(Machine& m, const std::shared_ptr<VideoAttachment>& attachment, int width, int height,
                          Object* parent);

} // namespace swf::avm1
