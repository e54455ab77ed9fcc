#pragma once

// NetStream's objects: a local FLV file playing by the frame clock. Video objects that
// attach one share its feed, the picture on show.

#include "engine/avm1/NetStreamHost.h"
#include "engine/avm1/Object.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace swf::avm1 {

class NetStreamObject final : public Object {
public:
    using Object::Object;

    Object* connection = nullptr;
    std::unique_ptr<OpenedStream> media;
    std::shared_ptr<VideoFeed> feed = std::make_shared<VideoFeed>();
    double time = 0;         // seconds into the file
    bool opened = false;     // play() was called: the stream's numbers exist from then on
    bool started = false;    // the buffer filled and the clock runs
    bool paused = false;
    bool ended = false;
    size_t nextTag = 0;      // the first script tag not yet delivered
    uint64_t soundScope = 0;  // the clip sound scope attachAudio gave, 0: none
    // Set by setBufferTime only: scripts read bufferTime but cannot assign it.
    std::optional<double> bufferTime;
    struct Status {
        std::string level;
        std::string code;
    };
    std::vector<Status> queued;  // for the next frame, in order

    bool getComputed(Machine& machine, std::string_view name, Value& out) override;
    bool setComputed(Machine& machine, std::string_view name, const Value& value) override;
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(connection);
    }
};

} // namespace swf::avm1
