// Stage: the broadcaster of the movie's stage, with its alignment and scale mode kept
// as the reference player keeps them: `align` holds only the edges it names, in the
// order L, T, R, B, and `scaleMode` one of the four modes in its own spelling (any
// other value is showAll).

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/Machine.h"

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

class StageObject final : public Object {
public:
    using Object::Object;

    bool getComputed(Machine&, std::string_view name, Value& out) override
    {
        if (name == "align")
            out = Value(align_);
        else if (name == "scaleMode")
            out = Value(scaleMode_);
        else
            return false;
        return true;
    }
    bool hasComputed(Machine&, std::string_view name) override { return name == "align" || name == "scaleMode"; }
    bool setComputed(Machine& machine, std::string_view name, const Value& value) override
    {
        if (name == "align")
            align_ = alignmentOf(machine.toString(value));
        else if (name == "scaleMode")
            scaleMode_ = scaleModeOf(machine.toString(value));
        else
            return false;
        return true;
    }

private:
    std::string align_;
    std::string scaleMode_ = "showAll";
};

} // namespace

void installStageClass(Machine& m)
{
    Object* stage = m.make<StageObject>(m.protos().object);
    m.global()->put("Stage", Value(stage), PropertyFlag::DontEnum);
    initializeBroadcaster(m, stage);
    stage->put("showMenu", Value(true));
}

} // namespace swf::avm1
