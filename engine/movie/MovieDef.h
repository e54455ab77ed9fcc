#pragma once

// A loaded movie as immutable definitions: the character dictionary and the timelines
// (the main one and one per sprite), each a list of frames of control tags. Running
// state lives elsewhere (ClipState), so one definition can back many instances.

#include "engine/format/Container.h"
#include "engine/format/ControlTags.h"
#include "engine/format/Sound.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace swf {
struct ShapeDef;
struct MorphShapeDef;
struct BitmapData;
struct FontDef;
struct TextDef;
struct EditTextDef;
struct EmbeddedVideo;
}

namespace swf::audio {
struct Pcm;
struct StreamPcm;
}

namespace swf::movie {

struct TimelineDef;
struct ButtonCharacter;

enum class CharacterKind { Shape, MorphShape, Sprite, Text, EditText, Button, Video };

struct Character {
    CharacterKind kind = CharacterKind::Shape;
    std::shared_ptr<const ShapeDef> shape;
    std::shared_ptr<const MorphShapeDef> morph;
    std::shared_ptr<const TimelineDef> sprite;
    std::shared_ptr<const TextDef> text{};
    std::shared_ptr<const EditTextDef> editText{};
    std::shared_ptr<const ButtonCharacter> button{};
    std::shared_ptr<const EmbeddedVideo> video{};
    // A text drawn with advanced anti-aliasing (CSMTextSettings): a point hits it
    // anywhere in its box, not only on its glyphs.
    bool advancedText = false;
    // Where the main timeline's tag stream defines it: the frame (1-based) and how many
    // of that frame's control tags come before it. The dictionary fills as the main
    // timeline first plays through the stream, so a placement ahead of the definition
    // finds nothing.
    int definedAt = 1;
    size_t definedAfter = 0;
};

// A frame script; the bytes belong to the MovieDef.
struct DoAction {
    std::span<const uint8_t> code;
};

// DoInitAction: runs once, before the first frame script of the frame it sits in.
struct InitAction {
    uint16_t spriteId = 0;
    std::span<const uint8_t> code;
};

using ControlTag = std::variant<PlaceObject, RemoveObject, DoAction, InitAction>;

struct Frame {
    std::vector<ControlTag> tags;  // in stream order
    std::vector<StartSoundDef> sounds;  // event sounds the frame starts or stops
};

struct FrameLabel {
    std::string name;
    int frame = 1;  // 1-based
};

struct TimelineDef {
    std::vector<Frame> frames;  // never empty once loaded
    std::vector<FrameLabel> labels;
    // The timeline's streamed sound, decoded; null without one.
    std::shared_ptr<const audio::StreamPcm> stream;

    // Frames that loaded whole. Fewer than frameCount() when the tag stream broke off
    // or a tag that shapes the timeline was damaged: loading stops there, and the
    // playhead waits at the last loaded frame as it would for the rest to arrive.
    // -1: all of them.
    int loadedFrames = -1;
    // A sprite whose header declares no frames: it still plays its one frame (its
    // scripts run), but scripts read 0 for its current, total and loaded frames.
    bool declaresNoFrames = false;
    // Whether the tag stream reached its End tag. A timeline whose stream stops short
    // of it is still loading as far as the reference player knows: the playhead waits
    // on its last frame instead of going round to the first.
    bool ended = true;
    // A sprite's stream as its playhead reads it: the frames a ShowFrame closed, and
    // whether tags after the last ShowFrame make one more frame that none closes. The
    // playhead steps only through closed frames; the open one's tags run once, as the
    // playhead reads on to the end of the stream, and the playhead stays where it was
    // (the frame count the header declares plays no part). -1: every frame is closed
    // (main timelines).
    int closedFrames = -1;
    bool openLastFrame = false;
    // The bytes of the tags the timeline was read from (a sprite's), as scripts'
    // getBytesTotal reports them; the main timeline reports the movie's length.
    uint32_t byteLength = 0;

    int frameCount() const { return static_cast<int>(frames.size()); }
    int framesLoaded() const { return loadedFrames < 0 ? frameCount() : loadedFrames; }
    const Frame& frame(int oneBased) const { return frames[static_cast<size_t>(oneBased - 1)]; }
    // Labels match without regard to ASCII case, as scripts look them up.
    std::optional<int> frameOfLabel(std::string_view name) const;
};

struct MovieDef {
    Header header;
    bool truncated = false;
    Rgba background{255, 255, 255, 255};
    FileAttributes attributes;
    bool hasAbc = false;  // carries ActionScript 3 code (DoABC)
    std::unordered_map<uint16_t, Character> dictionary;
    // Bitmap characters, decoded once at load; shapes fill with them by id.
    std::unordered_map<uint16_t, std::shared_ptr<const BitmapData>> bitmaps;
    // Embedded fonts by id; texts and text fields hold on to the ones they name.
    std::unordered_map<uint16_t, std::shared_ptr<const FontDef>> fonts;
    // The same fonts that have outlines, in id order: text fields that embed their fonts
    // look a format's face up in them.
    std::shared_ptr<const std::vector<std::shared_ptr<const FontDef>>> outlineFonts;
    TimelineDef root;
    // Event sounds by id, decoded once at load.
    std::unordered_map<uint16_t, std::shared_ptr<const audio::Pcm>> sounds;
    // DefineButtonSound: the sounds of a button's transitions, by button id.
    std::unordered_map<uint16_t, ButtonSoundDef> buttonSounds;
    // What the loader left out and the user should hear of (a sound that would not
    // decode), one line each.
    std::vector<std::string> notices;
    // ExportAssets: linkage names (for attachMovie) to character ids.
    std::unordered_map<std::string, uint16_t> exports;
    // The frame of the main timeline whose tags export each name: attachMovie finds a
    // symbol only once the movie has come that far, as the reference player loads.
    std::unordered_map<std::string, int> exportFrames;
    // Any frame script, init script or clip event handler anywhere in the movie.
    bool hasScripts = false;
    // ScriptLimits: how deep script calls may nest before the script is stopped.
    int maxRecursionDepth = 256;
    // Tag bodies (scripts, clip actions) are views into these bytes.
    std::vector<uint8_t> bytes;

    bool isAs3() const { return attributes.actionScript3 || hasAbc; }
    const Character* character(uint16_t id) const;
};

// Builds the definitions from a decoded container. Damaged definitions are left out
// (what is placed from them draws nothing); it throws only when nothing is usable.
std::shared_ptr<const MovieDef> buildMovie(DecodedMovie decoded);

} // namespace swf::movie
