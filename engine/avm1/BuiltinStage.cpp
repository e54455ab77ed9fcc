// Stage: the broadcaster of the movie's stage, with its alignment and scale mode kept
// as the reference player keeps them: `align` holds only the edges it names, in the
// order L, T, R, B, `scaleMode` one of the four modes in its own spelling (any
// other value is showAll), and `displayState` "normal" or "fullScreen" (other values
// are ignored; a change is heard by onFullScreen listeners).

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/Listeners.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/StageObject.h"

#include <array>
#include <cctype>
#include <string>
#include <string_view>

namespace swf::avm1 {

namespace {

using support::equalsNoCase;

// The edges a text names, anywhere in it and in either case.
std::string alignmentOf(std::string_view text)
{
    std::string out;
    for (char edge : {'L', 'T', 'R', 'B'}) {
        for (char c : text) {
            if (std::toupper(static_cast<unsigned char>(c)) == edge) {
                out += edge;
                break;
            }
        }
    }
    return out;
}

std::string scaleModeOf(std::string_view text)
{
    static constexpr std::array<std::string_view, 4> modes = {"showAll", "exactFit", "noBorder", "noScale"};
    for (std::string_view mode : modes) {
        if (equalsNoCase(text, mode))
            return std::string(mode);
    }
    return "showAll";
}

} // namespace

bool StageObject::getComputed(Machine&, std::string_view name, Value& out)
{
    if (name == "align")
        out = Value(align_);
    else if (name == "scaleMode")
        out = Value(scaleMode_);
    else if (name == "displayState")
        out = Value(fullScreen_ ? "fullScreen" : "normal");
    else if (name == "width")
        out = Value(width());
    else if (name == "height")
        out = Value(height());
    else
        return false;
    return true;
}

bool StageObject::hasComputed(Machine&, std::string_view name)
{
    return name == "align" || name == "scaleMode" || name == "displayState" || name == "width" || name == "height";
}

bool StageObject::setComputed(Machine& m, std::string_view name, const Value& value)
{
    if (name == "align") {
        align_ = alignmentOf(m.toString(value));
    } else if (name == "scaleMode") {
        std::string mode = scaleModeOf(m.toString(value));
        resizingBy(m, [&] { scaleMode_ = std::move(mode); });
    } else if (name == "displayState") {
        const std::string state = m.toString(value);
        const bool full = equalsNoCase(state, "fullScreen");
        if (!full && !equalsNoCase(state, "normal"))
            return true;
        if (full != fullScreen_) {
            fullScreen_ = full;
            const Value args[] = {Value(full)};
            broadcast(m, this, "onFullScreen", args);
        }
    } else if (name == "width" || name == "height") {
        // Read-only: the stage's size is the player's to say.
    } else {
        return false;
    }
    return true;
}

void StageObject::setMovieSize(double width, double height)
{
    movieWidth_ = width;
    movieHeight_ = height;
}

void StageObject::setViewport(Machine& m, double width, double height)
{
    resizingBy(m, [&] {
        viewportWidth_ = width;
        viewportHeight_ = height;
    });
}

template <class F>
void StageObject::resizingBy(Machine& m, F change)
{
    const double oldWidth = this->width();
    const double oldHeight = this->height();
    change();
    if (this->width() != oldWidth || this->height() != oldHeight)
        broadcast(m, this, "onResize", {});
}

StageObject* stageObject(Machine& m)
{
    const Property* stage = m.global()->findOwn("Stage");
    Object* o = stage ? stage->value.asObject() : nullptr;
    return o ? o->as<StageObject>() : nullptr;
}

void installStageClass(Machine& m)
{
    Object* stage = m.make<StageObject>(m.protos().object);
    m.global()->put("Stage", Value(stage), PropertyFlag::DontEnum);
    initializeBroadcaster(m, stage);
    stage->put("showMenu", Value(true));
}

} // namespace swf::avm1
