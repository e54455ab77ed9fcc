#pragma once

// Running state of a timeline: the playhead and the objects on its display list, by
// depth. Plain values: copying a ClipState copies the whole subtree, which is what
// seek snapshots rely on. A sprite's state sits in its own heap cell (ClipBox) so that
// its address stays put while the lists around it change: the script object of a clip
// points at it.

#include "engine/format/BlendMode.h"
#include "engine/format/Drawing.h"
#include "engine/format/Filter.h"
#include "engine/format/Primitives.h"
#include "engine/movie/ButtonCharacter.h"
#include "engine/movie/TextFieldState.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::avm1 {
struct VideoAttachment;
}

namespace swf::movie {

// Depths at and above this belong to objects scripts made (depth 0 in script terms);
// timeline gotos keep them, and only they can be removed by script.
constexpr int32_t kScriptDepthBase = 16384;
// The deepest depth scripts may use: 2130690044 in script terms.
constexpr int32_t kHighestScriptDepth = 2130706428;
// Whether a script may create or move an object to `depth`: from the first timeline
// depth (script depth -16384) up to the highest one.
constexpr bool scriptDepthAllowed(int64_t depth) { return depth >= 0 && depth <= kHighestScriptDepth; }

struct Character;
struct TimelineDef;
struct MovieDef;
struct LoadedContent;
struct DisplayObject;
class ClipScript;

// The script side of a clip, created when a script first reaches it. Copies of a
// state (seek snapshots) start without one; it never takes part in comparisons.
class ScriptLink {
public:
    ScriptLink();
    ScriptLink(const ScriptLink&);
    ScriptLink(ScriptLink&&) noexcept;
    // A state assigned over becomes another clip: its old script side goes.
    ScriptLink& operator=(const ScriptLink&);
    ScriptLink& operator=(ScriptLink&&) noexcept;
    ~ScriptLink();

    ClipScript* get() const { return host_.get(); }
    void set(std::unique_ptr<ClipScript> host);
    void reset();
    friend bool operator==(const ScriptLink&, const ScriptLink&) { return true; }

private:
    std::unique_ptr<ClipScript> host_;
};

struct ClipState {
    const TimelineDef* timeline = nullptr;
    int frame = 0;  // 1-based; 0 until the first frame is entered
    bool playing = true;
    // The playhead read the tags of its sprite's open last frame (see TimelineDef):
    // they do not run again until the playhead moves.
    bool readOpenFrame = false;
    std::vector<DisplayObject> children;  // sorted by depth, at most one per depth
    ScriptLink script;
    Drawing drawing;  // what scripts drew into the clip, beneath its children
    // Set on a clip whose content a load replaced: the movie it now plays.
    std::shared_ptr<const LoadedContent> loaded;
    // The movie whose dictionary this clip's timeline places from and whose scripts it
    // runs: null for the main movie's clips, a loaded movie for the clip it was loaded
    // into and every clip inside that.
    const MovieDef* movie = nullptr;
    // On the main timeline only: the movies loaded into _level1 and above, each the
    // root of its own tree, in level order (the object's depth is its level).
    std::vector<DisplayObject> levels;
    // On the main timeline only: level 0's own placement once a script moved, scaled
    // or tinted the whole movie (_root._x, a Color on _root); empty until then. The
    // movie is drawn, hit and measured through it as a clip is through its own.
    std::vector<DisplayObject> placement;
    InstanceSerial serial;

    DisplayObject* find(int32_t depth);
    const DisplayObject* find(int32_t depth) const;
    // Inserts in depth order; the depth must be free.
    DisplayObject& insert(DisplayObject object);
    bool remove(int32_t depth);

    friend bool operator==(const ClipState&, const ClipState&) = default;
};

// A sprite instance's state in a heap cell of its own; copying copies the state.
class ClipBox {
public:
    ClipBox() = default;
    ClipBox(const ClipBox& other) : state_(other.state_ ? std::make_unique<ClipState>(*other.state_) : nullptr) {}
    ClipBox(ClipBox&&) noexcept = default;
    ClipBox& operator=(const ClipBox& other)
    {
        if (this != &other)
            state_ = other.state_ ? std::make_unique<ClipState>(*other.state_) : nullptr;
        return *this;
    }
    ClipBox& operator=(ClipBox&&) noexcept = default;

    explicit operator bool() const { return state_ != nullptr; }
    ClipState& operator*() const { return *state_; }
    ClipState* operator->() const { return state_.get(); }
    ClipState* get() const { return state_.get(); }
    // A new clip instance, with a number no other instance has had.
    ClipState& emplace()
    {
        state_ = std::make_unique<ClipState>();
        state_->serial = InstanceSerial::next();
        return *state_;
    }
    void reset() { state_.reset(); }

    // Defined below DisplayObject: comparing states compares their children, and clang
    // wants DisplayObject complete for that.
    friend bool operator==(const ClipBox& a, const ClipBox& b);

private:
    std::unique_ptr<ClipState> state_;
};

// The scales and rotation a script last gave an object, with the matrix they made:
// while the object still has that matrix they read back as given (a negative scale
// stays negative), where the matrix alone cannot tell a flip from a half turn.
struct ScriptScale {
    Matrix matrix;
    double xScale = 100, yScale = 100, rotation = 0;
};

// Filter lists are shared between copies; two lists are the same when their filters are.
inline bool sameFilters(const std::shared_ptr<const std::vector<Filter>>& a,
                        const std::shared_ptr<const std::vector<Filter>>& b)
{
    if (a == b)
        return true;
    const bool aEmpty = !a || a->empty(), bEmpty = !b || b->empty();
    if (aEmpty || bEmpty)
        return aEmpty == bEmpty;
    return *a == *b;
}

struct DisplayObject {
    int32_t depth = 0;
    uint16_t characterId = 0;
    const Character* character = nullptr;  // null when the id names nothing we can show
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    std::string name;
    int32_t clipDepth = 0;
    bool visible = true;
    // Set by PlaceObject3 (kept by moves that do not give one) or by scripts.
    BlendMode blendMode = BlendMode::Normal;
    // Set by PlaceObject3 (kept by moves that do not give them), button records or
    // scripts: the effects the object is drawn through, whether it is drawn through a
    // kept off-screen surface, and the colour its bounds are filled with beneath it.
    std::shared_ptr<const std::vector<Filter>> filters;
    bool cacheAsBitmap = false;
    std::optional<Rgba> opaqueBackground;
    // Set by scripts: the window onto the object's content, in its own twips.
    std::optional<Rect> scrollRect;
    // The parent frame whose PlaceObject created this instance; a backward goto keeps
    // an instance only when the rebuilt list places the same character at the same
    // depth from the same frame.
    int placedAt = 0;
    // A script set its position, size, rotation or colour: from then on the timeline's
    // moves leave its matrix and colour transform alone, as the reference player does.
    bool scriptTransformed = false;
    // A script made it (attach, duplicate, create), as against a timeline clip a
    // script only moved (placedAt < 0 for both): a rewind takes it out of the timeline's
    // depths, where a moved one may hold its depth.
    bool madeByScript = false;
    // A clip with an unload handler that left the display list: it waits at its parting
    // depth (-1 - its depth), still named and reachable by scripts, neither drawn nor
    // played, until the next frame step takes it away.
    bool unloading = false;
    // The instance (a clip's or a text field's serial) a script made this object's
    // mask with setMask; 0: none.
    uint64_t maskClip = 0;
    // Derived from the matrix and kept with it: no part of comparisons.
    std::optional<ScriptScale> scriptScale;
    // Event handlers from PlaceObject (onClipEvent), kept undecoded.
    std::span<const uint8_t> clipActions;
    ClipBox clip;  // for sprite instances
    // For button instances: the state shown, which the pointer changes.
    ButtonVisual buttonVisual = ButtonVisual::Up;
    TextFieldBox textField;  // for text field instances
    // For video instances a script reached: what it attached, and its script object.
    // Script-side state, like a clip's ScriptLink: not part of comparisons.
    std::shared_ptr<avm1::VideoAttachment> videoAttachment;

    friend bool operator==(const DisplayObject& a, const DisplayObject& b)
    {
        return a.depth == b.depth && a.characterId == b.characterId && a.character == b.character
            && a.matrix == b.matrix && a.colorTransform == b.colorTransform && a.ratio == b.ratio && a.name == b.name
            && a.clipDepth == b.clipDepth && a.visible == b.visible && a.blendMode == b.blendMode
            && sameFilters(a.filters, b.filters) && a.cacheAsBitmap == b.cacheAsBitmap
            && a.opaqueBackground == b.opaqueBackground && a.scrollRect == b.scrollRect
            && a.placedAt == b.placedAt && a.scriptTransformed == b.scriptTransformed && a.unloading == b.unloading
            && a.madeByScript == b.madeByScript
            && a.maskClip == b.maskClip
            && a.clip == b.clip && a.textField == b.textField;
    }
};

// A copy of `original` as duplicateMovieClip makes one: the same character, placed,
// coloured and shown alike, at `depth` under `name`; none of its other state.
DisplayObject duplicateOf(const DisplayObject& original, int32_t depth, std::string name);

inline bool operator==(const ClipBox& a, const ClipBox& b)
{
    if (!a.state_ || !b.state_)
        return !a.state_ == !b.state_;
    return *a.state_ == *b.state_;
}


} // namespace swf::movie
