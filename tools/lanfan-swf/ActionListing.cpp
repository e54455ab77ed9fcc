#include "tools/lanfan-swf/ActionListing.h"

#include "engine/avm1/Disassembler.h"
#include "engine/format/Button.h"
#include "engine/format/Container.h"
#include "engine/format/ControlTags.h"
#include "engine/format/Tags.h"
#include "engine/movie/ClipEvents.h"
#include "tools/lanfan-swf/Commands.h"

#include <ostream>
#include <string>

namespace lanfan::tool {

namespace {

// Sprites inside sprites are not valid movies, but a damaged one may nest them; past
// this depth they are reported and not entered.
constexpr int kMaxSpriteNesting = 8;

std::string buttonKeyName(uint8_t key)
{
    switch (key) {
    case 1: return "<Left>";
    case 2: return "<Right>";
    case 3: return "<Home>";
    case 4: return "<End>";
    case 5: return "<Insert>";
    case 6: return "<Delete>";
    case 8: return "<Backspace>";
    case 13: return "<Enter>";
    case 14: return "<Up>";
    case 15: return "<Down>";
    case 16: return "<PageUp>";
    case 17: return "<PageDown>";
    case 18: return "<Tab>";
    case 19: return "<Escape>";
    default:
        if (key >= 0x20 && key < 0x7F)
            return std::string(1, static_cast<char>(key));
        return "key " + std::to_string(key);
    }
}

// "on release", "on rollOver, dragOver", "on keyPress \"<Left>\"".
std::string buttonConditions(uint16_t conditions, uint8_t key)
{
    static constexpr std::pair<uint16_t, const char*> kNames[] = {
        {swf::kIdleToOverUp, "rollOver"},     {swf::kOverUpToIdle, "rollOut"},
        {swf::kOverUpToOverDown, "press"},    {swf::kOverDownToOverUp, "release"},
        {swf::kOverDownToOutDown, "dragOut"}, {swf::kOutDownToOverDown, "dragOver"},
        {swf::kOutDownToIdle, "releaseOutside"}, {swf::kIdleToOverDown, "dragOver (menu)"},
        {swf::kOverDownToIdle, "dragOut (menu)"},
    };
    std::string s;
    for (auto [bit, name] : kNames) {
        if (conditions & bit)
            s += std::string(s.empty() ? "" : ", ") + name;
    }
    if (key != 0)
        s += std::string(s.empty() ? "" : ", ") + "keyPress \"" + buttonKeyName(key) + "\"";
    return s.empty() ? std::string("no condition") : s;
}

// onClipEvent(load, enterFrame) for the clip events, on(press) for the button-like
// ones a clip can have too.
std::string clipEvents(uint32_t events)
{
    static constexpr std::pair<uint32_t, const char*> kClip[] = {
        {0x1, "load"},        {0x2, "enterFrame"}, {0x4, "unload"},  {0x8, "mouseMove"},
        {0x10, "mouseDown"},  {0x20, "mouseUp"},   {0x40, "keyDown"}, {0x80, "keyUp"},
        {0x100, "data"},      {0x200, "initialize"}, {0x40000, "construct"},
    };
    static constexpr std::pair<uint32_t, const char*> kButton[] = {
        {0x400, "press"},    {0x800, "release"}, {0x1000, "releaseOutside"}, {0x2000, "rollOver"},
        {0x4000, "rollOut"}, {0x8000, "dragOver"}, {0x10000, "dragOut"},     {0x20000, "keyPress"},
    };
    auto join = [events](const auto& table) {
        std::string s;
        for (auto [bit, name] : table) {
            if (events & bit)
                s += std::string(s.empty() ? "" : ", ") + name;
        }
        return s;
    };
    std::string s;
    if (std::string clip = join(kClip); !clip.empty())
        s = "onClipEvent(" + clip + ")";
    if (std::string button = join(kButton); !button.empty())
        s += std::string(s.empty() ? "" : " ") + "on(" + button + ")";
    return s.empty() ? std::string("no event") : s;
}

class MovieLister {
public:
    MovieLister(int version, std::ostream& out) : version_(version), out_(out) {}

    // `owner` is "" for the root timeline, "sprite 12 " inside a sprite.
    void listTimeline(std::span<const uint8_t> tags, const std::string& owner, int nesting);
    int scripts() const { return scripts_; }

private:
    void script(const std::string& where, std::span<const uint8_t> code)
    {
        if (scripts_++)
            out_ << '\n';
        out_ << where << ":\n";
        if (code.empty())
            out_ << "  (empty)\n";
        else
            swf::avm1::disassemble(code, out_);
    }
    void listTag(const swf::Tag& tag, const std::string& owner, int frame, int nesting);

    int version_;
    std::ostream& out_;
    int scripts_ = 0;
};

void MovieLister::listTag(const swf::Tag& tag, const std::string& owner, int frame, int nesting)
{
    using swf::TagCode;
    const std::string frameName = owner + "frame " + std::to_string(frame);
    if (tag.is(TagCode::DoAction)) {
        script(frameName, tag.body);
    } else if (tag.is(TagCode::DoInitAction)) {
        swf::ByteReader r(tag.body);
        uint16_t sprite = r.u16();
        script(owner + "init sprite " + std::to_string(sprite), r.rest());
    } else if (tag.is(TagCode::DefineSprite)) {
        swf::SpriteHeader sprite = swf::parseSpriteHeader(tag);
        if (nesting >= kMaxSpriteNesting) {
            out_ << (scripts_++ ? "\n" : "") << "sprite " << sprite.id << ": nested too deep, not listed\n";
            return;
        }
        listTimeline(sprite.tags, owner + "sprite " + std::to_string(sprite.id) + " ", nesting + 1);
    } else if (tag.is(TagCode::DefineButton) || tag.is(TagCode::DefineButton2)) {
        swf::ButtonDef button = swf::parseDefineButton(tag.code, tag.body);
        for (const swf::ButtonAction& action : button.actions)
            script(owner + "button " + std::to_string(button.id) + " on " + buttonConditions(action.conditions, action.keyCode),
                   action.code);
    } else if (tag.is(TagCode::PlaceObject2) || tag.is(TagCode::PlaceObject3)) {
        swf::PlaceObject place = swf::parsePlaceObject(tag);
        if (place.clipActions.empty())
            return;
        for (const auto& handler : swf::movie::parseClipEvents(place.clipActions, version_))
            script(owner + "clip at depth " + std::to_string(place.depth) + " frame " + std::to_string(frame) + " " +
                       clipEvents(handler.events),
                   handler.code);
    }
}

void MovieLister::listTimeline(std::span<const uint8_t> tags, const std::string& owner, int nesting)
{
    swf::TagReader reader(tags);
    int frame = 1;
    while (true) {
        std::optional<swf::Tag> tag;
        try {
            tag = reader.next();
        } catch (const swf::FormatError& e) {
            out_ << (scripts_++ ? "\n" : "") << owner << "tags: stopped reading at byte " << reader.position() << ": "
                 << e.what() << '\n';
            return;
        }
        if (!tag || tag->is(swf::TagCode::End))
            return;
        if (tag->is(swf::TagCode::ShowFrame)) {
            ++frame;
            continue;
        }
        try {
            listTag(*tag, owner, frame, nesting);
        } catch (const swf::FormatError& e) {
            out_ << (scripts_++ ? "\n" : "") << owner << "tag " << tag->code << " at byte " << tag->offset
                 << ": unreadable (" << e.what() << ")\n";
        }
    }
}

} // namespace

int listActions(std::span<const uint8_t> file, std::ostream& out, std::ostream& err)
{
    swf::DecodedMovie movie;
    try {
        movie = swf::decodeMovie(file);
    } catch (const swf::ContainerError& e) {
        // Worded as the player's loader words them.
        switch (e.reason()) {
        case swf::ContainerError::Reason::NotAMovie: err << "lanfan-swf: not an SWF movie: "; break;
        case swf::ContainerError::Reason::TooLarge: err << "lanfan-swf: the movie is too large: "; break;
        case swf::ContainerError::Reason::Corrupt: err << "lanfan-swf: the movie is damaged: "; break;
        }
        err << e.what() << '\n';
        return kExitCannotRead;
    } catch (const swf::FormatError& e) {
        err << "lanfan-swf: the movie is damaged: " << e.what() << '\n';
        return kExitCannotRead;
    }
    if (movie.tagsOffset > movie.body.size()) {
        err << "lanfan-swf: cannot read the movie: no tags\n";
        return kExitCannotRead;
    }
    MovieLister lister(movie.header.version, out);
    lister.listTimeline(std::span<const uint8_t>(movie.body).subspan(movie.tagsOffset), "", 0);
    if (lister.scripts() == 0)
        out << "no ActionScript 1/2 scripts\n";
    if (movie.truncated)
        out << "the movie ends before the length its header declares\n";
    return kExitOk;
}

} // namespace lanfan::tool
