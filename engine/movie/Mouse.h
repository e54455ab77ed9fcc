#pragma once

// The pointer over the stage: finds the topmost button (or clip with pointer handlers)
// under it, moves that button between its up, over and down states, and runs the
// scripts each transition calls for. Positions are stage twips; the caller maps its
// window's pixels there.

#include "engine/movie/Timeline.h"
#include "engine/render/HitTest.h"

#include <optional>

namespace swf::movie {

class MouseInput {
public:
    // Each returns true when the picture may have changed: a button took another
    // state or scripts ran.
    bool move(ClipState& root, TimelinePlayer& timeline, Point stageTwips);
    bool press(ClipState& root, TimelinePlayer& timeline);
    bool release(ClipState& root, TimelinePlayer& timeline);
    // Tests again at the last position after the display list changed (a new frame),
    // as if the pointer had moved there.
    bool refresh(ClipState& root, TimelinePlayer& timeline);

    // Something that reacts to clicks is under the pointer (or held down).
    bool overActive() const { return over_.has_value() || pressed_.has_value(); }
    // The pointer shows the hand: over (or holding) something that takes clicks, unless
    // it is a clip whose useHandCursor reads false.
    bool showsHand(ClipState& root, TimelinePlayer& timeline) const;
    // A new movie: no button is under the pointer or held.
    void reset();

private:
    // A button, or a clip that handles pointer events, named by where it sits.
    struct Target {
        ClipPath parent;
        int32_t depth = 0;
        uint16_t characterId = 0;
        bool isClip = false;
        friend bool operator==(const Target&, const Target&) = default;
    };
    enum class Transition {
        RollOver,
        RollOut,
        Press,
        Release,
        ReleaseOutside,
        DragOut,
        DragOver,
        MenuDragOver,  // onto a menu button while the mouse is held
        MenuDragOut,   // off a menu button while the mouse is held
    };

    std::optional<Target> targetAt(ClipState& root, TimelinePlayer& timeline);
    bool findIn(ClipState& clip, ClipPath& path, Point local, TimelinePlayer& timeline, int nesting,
                std::optional<Target>& found);
    bool hitsObject(const DisplayObject& object, Point parentLocal, int nesting);
    bool hitsCharacter(const Character& character, uint16_t ratio, Point local, int nesting, uint8_t buttonStates);
    bool handlesPointer(ClipState& clip, TimelinePlayer& timeline) const;
    DisplayObject* resolve(ClipState& root, const Target& target) const;
    // Runs the scripts of `transition` on `target` and shows `visual`; returns whether
    // anything happened.
    bool fire(ClipState& root, TimelinePlayer& timeline, const Target& target, Transition transition,
              ButtonVisual visual);
    bool hover(ClipState& root, TimelinePlayer& timeline);
    bool isMenu(ClipState& root, const Target& target) const;
    bool drag(ClipState& root, TimelinePlayer& timeline);

    Point pointer_;
    bool known_ = false;  // a position has been given
    bool down_ = false;
    std::optional<Target> over_;     // under the pointer while the button is up
    std::optional<Target> pressed_;  // pressed, until the release
    bool pressedInside_ = false;
    render::ShapeHitTester shapes_;
    // The movie of the button being tested: sprites in its hit area name characters.
    const MovieDef* movie_ = nullptr;
    int testsLeft_ = 0;  // what the hit test in progress may still look at
};

} // namespace swf::movie
