#pragma once

// The global Stage object: the stage's alignment, scale mode and display state as
// scripts set them, and its size. The size is the movie's own unless the movie asked
// not to be scaled (scaleMode "noScale"): then it is the player area's, and the
// listeners hear onResize each time that changes.

#include "engine/avm1/Object.h"

#include <string>

namespace swf::avm1 {

class Machine;

class StageObject final : public Object {
public:
    using Object::Object;

    bool getComputed(Machine& m, std::string_view name, Value& out) override;
    bool hasComputed(Machine& m, std::string_view name) override;
    bool setComputed(Machine& m, std::string_view name, const Value& value) override;

    // The movie's size as authored, in pixels.
    void setMovieSize(double width, double height);
    // The player area, in pixels. Listeners hear onResize when the stage's size
    // follows the area and changed; a throw out of them goes on to the caller.
    void setViewport(Machine& m, double width, double height);
    double width() const { return followsViewport() ? viewportWidth_ : movieWidth_; }
    double height() const { return followsViewport() ? viewportHeight_ : movieHeight_; }
    const std::string& scaleMode() const { return scaleMode_; }

private:
    bool followsViewport() const { return scaleMode_ == "noScale" && viewportWidth_ > 0 && viewportHeight_ > 0; }
    // Runs `change`, then tells the listeners when the stage's size moved.
    template <class F>
    void resizingBy(Machine& m, F change);

    std::string align_;
    std::string scaleMode_ = "showAll";
    bool fullScreen_ = false;
    double movieWidth_ = 0;
    double movieHeight_ = 0;
    double viewportWidth_ = 0;  // 0 until the player says how large its area is
    double viewportHeight_ = 0;
};

// The Stage object scripts see, when it is still the built-in one.
StageObject* stageObject(Machine& m);

} // namespace swf::avm1
