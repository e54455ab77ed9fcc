#include "engine/movie/Mouse.h"

#include "engine/avm1/Machine.h"
#include "engine/movie/ButtonState.h"
#include "engine/movie/ClipHitTest.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/TextLinks.h"
#include "engine/format/EditText.h"
#include "engine/format/Shape.h"
#include "engine/format/Text.h"
#include "engine/format/Video.h"

#include <array>
#include <map>
#include <string_view>
#include <variant>

namespace swf::movie {

namespace {

// Clips inside clips (and buttons inside those) that a hit test walks into.
constexpr int kMaxNesting = 64;
// Objects one hit test may look at: sprites and buttons that show each other twice at
// every level would otherwise take exponential time.
constexpr int kMaxTests = 200000;

// The methods that make a clip behave as a button, by transition.
constexpr std::array<std::string_view, 9> kClipHandlers = {
    "onRollOver", "onRollOut", "onPress", "onRelease", "onReleaseOutside", "onDragOut", "onDragOver", "onDragOver", "onDragOut"};

} // namespace

void MouseInput::reset()
{
    *this = MouseInput();
}

bool MouseInput::hitsCharacter(const Character& character, uint16_t ratio, Point local, int nesting,
                               uint8_t buttonStates)
{
    if (nesting > kMaxNesting || --testsLeft_ < 0)
        return false;
    switch (character.kind) {
    case CharacterKind::Shape: return shapes_.contains(character.shape, local);
    case CharacterKind::MorphShape:
        return character.morph && inBounds(morphBounds(*character.morph, ratio / 65535.0), local);
    case CharacterKind::Text: return character.text && inBounds(character.text->bounds, local);
    case CharacterKind::EditText: return character.editText && inBounds(character.editText->bounds, local);
    case CharacterKind::Video: return character.video && inBounds(character.video->bounds(), local);
    case CharacterKind::Sprite:
        // Only met inside a button's hit area, which counts a sprite's first frame.
        if (!character.sprite || !movie_)
            return false;
        for (const FirstFramePlacement& placed : firstFramePlacements(*character.sprite, *movie_)) {
            if (!placed.character || placed.place.clipDepth)
                continue;
            auto inner = toLocal(placed.place.matrix.value_or(Matrix{}), local);
            if (inner && hitsCharacter(*placed.character, placed.place.ratio.value_or(0), *inner, nesting + 1, buttonStates))
                return true;
        }
        return false;
    case CharacterKind::Button: {
        if (!character.button)
            return false;
        const ButtonCharacter& button = *character.button;
        for (size_t i = 0; i < button.def.records.size() && i < button.characters.size(); ++i) {
            const ButtonRecord& record = button.def.records[i];
            if (!(record.states & buttonStates) || !button.characters[i])
                continue;
            auto inner = toLocal(record.matrix, local);
            if (inner && hitsCharacter(*button.characters[i], 0, *inner, nesting + 1, buttonStates))
                return true;
        }
        return false;
    }
    }
    return false;
}

bool MouseInput::hitsObject(const DisplayObject& object, Point parentLocal, int nesting)
{
    if (!object.visible || object.clipDepth || !object.character || nesting > kMaxNesting || --testsLeft_ < 0)
        return false;
    auto local = toLocal(object.matrix, parentLocal);
    if (!local)
        return false;
    // A button is hit by its hit area, not by what its state shows.
    if (object.character->kind == CharacterKind::Button) {
        if (object.character->button)
            movie_ = object.character->button->movie;
        return hitsCharacter(*object.character, 0, *local, nesting, kButtonHitTest);
    }
    if (object.clip) {
        for (const DisplayObject& child : object.clip->children)
            if (hitsObject(child, *local, nesting + 1))
                return true;
        return false;
    }
    return hitsCharacter(*object.character, object.ratio, *local, nesting, 0);
}

// Whether a clip's or button's switch (`enabled`, `useHandCursor`) is on: it is unless
// it reads false. A script that throws while it is read leaves it on.
static bool switchedOn(ClipState* clip, TimelinePlayer& timeline, std::string_view name)
{
    ClipScript* script = clip ? clip->script.get() : nullptr;
    avm1::Machine* machine = timeline.machine();
    if (!script || !machine)
        return true;
    try {
        const avm1::Value value = machine->getMember(avm1::Value(script->scriptObject()), name);
        return value.isUndefined() || machine->toBoolean(value);
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
    return true;
}

bool MouseInput::handlesPointer(ClipState& clip, TimelinePlayer& timeline) const
{
    ClipScript* script = clip.script.get();
    avm1::Machine* machine = timeline.machine();
    if (!script || !machine)
        return false;
    avm1::Object* object = script->scriptObject();
    for (std::string_view name : kClipHandlers) {
        // A clip whose `enabled` reads false runs none of its pointer handlers and
        // lets the pointer through to what it holds and what lies beneath.
        if (machine->hasProperty(object, name))
            return switchedOn(&clip, timeline, "enabled");
    }
    return false;
}

bool MouseInput::findIn(ClipState& clip, ClipPath& path, Point local, TimelinePlayer& timeline, int nesting,
                        std::optional<Target>& found)
{
    if (nesting > kMaxNesting)
        return false;
    // The topmost first: the highest depth wins.
    for (size_t i = clip.children.size(); i-- > 0;) {
        DisplayObject& child = clip.children[i];
        if (!child.visible || child.clipDepth || !child.character || child.unloading)
            continue;
        if (child.character->kind == CharacterKind::Button) {
            // A button a script disabled lets the pointer through, as a clip does.
            if (hitsObject(child, local, nesting) && switchedOn(child.clip.get(), timeline, "enabled")) {
                found = Target{path, child.depth, child.characterId, false};
                return true;
            }
            continue;
        }
        if (!child.clip)
            continue;
        if (handlesPointer(*child.clip, timeline)) {
            if (hitsObject(child, local, nesting)) {
                found = Target{path, child.depth, child.characterId, true};
                return true;
            }
            continue;
        }
        auto inner = toLocal(child.matrix, local);
        if (!inner)
            continue;
        path.push_back(child.depth);
        bool hit = findIn(*child.clip, path, *inner, timeline, nesting + 1, found);
        path.pop_back();
        if (hit)
            return true;
    }
    return false;
}

std::optional<MouseInput::Target> MouseInput::targetAt(ClipState& root, TimelinePlayer& timeline)
{
    if (!known_)
        return std::nullopt;
    std::optional<Target> found;
    testsLeft_ = kMaxTests;
    // _level1 and above draw over level 0, the highest on top, so they take the
    // pointer first; each level is placed on the stage by its own _x, _y and scale.
    for (size_t i = root.levels.size(); i-- > 0;) {
        DisplayObject& level = root.levels[i];
        if (!level.clip || !level.visible)
            continue;
        auto inner = toLocal(level.matrix, pointer_);
        if (!inner)
            continue;
        ClipPath at{kLevelStep, level.depth};
        if (findIn(*level.clip, at, *inner, timeline, 1, found))
            return found;
    }
    // Level 0 too, once a script moved it.
    Point pointer = pointer_;
    if (!root.placement.empty()) {
        const DisplayObject& level = root.placement.front();
        auto inner = level.visible ? toLocal(level.matrix, pointer_) : std::nullopt;
        if (!inner)
            return found;
        pointer = *inner;
    }
    ClipPath path;
    findIn(root, path, pointer, timeline, 0, found);
    return found;
}

DisplayObject* MouseInput::resolve(ClipState& root, const Target& target) const
{
    ClipState* parent = TimelinePlayer::resolve(root, target.parent);
    DisplayObject* object = parent ? parent->find(target.depth) : nullptr;
    return object && object->characterId == target.characterId ? object : nullptr;
}

bool MouseInput::showsHand(ClipState& root, TimelinePlayer& timeline) const
{
    const std::optional<Target>& target = pressed_ ? pressed_ : over_;
    if (!target)
        return false;
    DisplayObject* object = resolve(root, *target);
    return switchedOn(object ? object->clip.get() : nullptr, timeline, "useHandCursor");
}

// DefineButtonSound gives sounds to four of the transitions; `movie` is the one the
// button came from (a level's or a loaded clip's movie has its own sounds).
static void playButtonSound(TimelinePlayer& timeline, const MovieDef& movie, uint16_t buttonId,
                            ButtonSoundTransition slot)
{
    auto sounds = movie.buttonSounds.find(buttonId);
    if (sounds == movie.buttonSounds.end())
        return;
    const ButtonSoundEntry& entry = sounds->second.sounds[static_cast<size_t>(slot)];
    if (entry.soundId != 0)
        timeline.startSound({entry.soundId, {}, entry.info});
}

bool MouseInput::fire(ClipState& root, TimelinePlayer& timeline, const Target& target, Transition transition,
                      ButtonVisual visual)
{
    DisplayObject* object = resolve(root, target);
    if (!object)
        return false;
    bool changed = !target.isClip && timeline.showButtonState(root, target.parent, target.depth, visual);
    object = resolve(root, target);  // a state change may place clips and move the list
    if (!object)
        return changed;
    bool queued = false;
    const std::string method(kClipHandlers[static_cast<size_t>(transition)]);
    ClipPath path = target.parent;
    path.push_back(target.depth);
    if (target.isClip) {
        timeline.queueMethod(path, method);
        queued = true;
    } else if (object->character && object->character->button) {
        static constexpr std::array<uint16_t, 9> kConditions = {
            kIdleToOverUp,     kOverUpToIdle,      kOverUpToOverDown, kOverDownToOverUp, kOutDownToIdle,
            kOverDownToOutDown, kOutDownToOverDown, kIdleToOverDown,   kOverDownToIdle};
        const uint16_t condition = kConditions[static_cast<size_t>(transition)];
        ClipState* parent = TimelinePlayer::resolve(root, target.parent);
        const MovieDef& movie = parent ? timeline.movieOf(*parent) : timeline.movie();
        switch (transition) {
        case Transition::RollOut: playButtonSound(timeline, movie, object->characterId, ButtonSoundTransition::OverUpToIdle); break;
        case Transition::RollOver: playButtonSound(timeline, movie, object->characterId, ButtonSoundTransition::IdleToOverUp); break;
        case Transition::Press: playButtonSound(timeline, movie, object->characterId, ButtonSoundTransition::OverUpToOverDown); break;
        case Transition::Release: playButtonSound(timeline, movie, object->characterId, ButtonSoundTransition::OverDownToOverUp); break;
        default: break;
        }
        for (const ButtonAction& action : object->character->button->def.actions) {
            if (action.keyCode == 0 && (action.conditions & condition)) {
                timeline.queueAction(target.parent, action.code);
                queued = true;
            }
        }
        // Handlers a script set on the button object (onPress, onRelease ...).
        if (object->clip && object->clip->script.get()) {
            timeline.queueMethod(path, method);
            queued = true;
        }
    }
    // Sprites a new state placed have their first frame's scripts waiting too.
    timeline.runQueuedScripts(root);
    return changed || queued;
}

bool MouseInput::hover(ClipState& root, TimelinePlayer& timeline)
{
    std::optional<Target> now = targetAt(root, timeline);
    if (now == over_)
        return false;
    bool changed = false;
    std::optional<Target> before = over_;
    over_ = now;
    if (before)
        changed |= fire(root, timeline, *before, Transition::RollOut, ButtonVisual::Up);
    if (now)
        changed |= fire(root, timeline, *now, Transition::RollOver, ButtonVisual::Over);
    return changed;
}

bool MouseInput::move(ClipState& root, TimelinePlayer& timeline, Point stageTwips)
{
    pointer_ = stageTwips;
    known_ = true;
    return down_ ? drag(root, timeline) : hover(root, timeline);
}

bool MouseInput::isMenu(ClipState& root, const Target& target) const
{
    const DisplayObject* object = target.isClip ? nullptr : resolve(root, target);
    return object && object->character && object->character->button && object->character->button->def.trackAsMenu;
}

bool MouseInput::drag(ClipState& root, TimelinePlayer& timeline)
{
    std::optional<Target> now = targetAt(root, timeline);
    bool changed = false;
    // A menu button lets go as the held pointer leaves it, and the next menu button
    // it reaches takes the press instead: a release there selects that one.
    if (pressed_ && now != pressed_ && isMenu(root, *pressed_)) {
        changed |= fire(root, timeline, *pressed_, Transition::MenuDragOut, ButtonVisual::Up);
        pressed_.reset();
        over_.reset();
    }
    if (!pressed_) {
        if (now && isMenu(root, *now)) {
            pressed_ = now;
            over_ = now;
            pressedInside_ = true;
            changed |= fire(root, timeline, *now, Transition::MenuDragOver, ButtonVisual::Down);
        }
        // Other buttons take no notice of a pointer held down elsewhere.
        return changed;
    }
    // Only the pressed button follows the pointer, leaving and coming back.
    bool inside = now == pressed_;
    if (inside == pressedInside_)
        return changed;
    pressedInside_ = inside;
    return (inside ? fire(root, timeline, *pressed_, Transition::DragOver, ButtonVisual::Down)
                   : fire(root, timeline, *pressed_, Transition::DragOut, ButtonVisual::Over)) ||
        changed;
}

bool MouseInput::refresh(ClipState& root, TimelinePlayer& timeline)
{
    return known_ && move(root, timeline, pointer_);
}

bool MouseInput::press(ClipState& root, TimelinePlayer& timeline)
{
    if (down_)
        return false;
    down_ = true;
    // The list may have changed under a still pointer since it last moved.
    bool changed = known_ ? hover(root, timeline) : false;
    if (!over_) {
        // A press on a link in HTML text opens it.
        if (known_) {
            if (auto link = linkAt(root, pointer_))
                timeline.openUrl(link->url, link->target);
        }
        return changed;
    }
    pressed_ = over_;
    pressedInside_ = true;
    return fire(root, timeline, *pressed_, Transition::Press, ButtonVisual::Down) || changed;
}

bool MouseInput::release(ClipState& root, TimelinePlayer& timeline)
{
    if (!down_)
        return false;
    down_ = false;
    if (!pressed_)
        return known_ ? hover(root, timeline) : false;
    Target target = *pressed_;
    pressed_.reset();
    bool changed;
    if (pressedInside_) {
        changed = fire(root, timeline, target, Transition::Release, ButtonVisual::Over);
        over_ = target;
    } else {
        changed = fire(root, timeline, target, Transition::ReleaseOutside, ButtonVisual::Up);
        over_.reset();
    }
    // Whatever is under the pointer now (the release may have changed the list) rolls over.
    return hover(root, timeline) || changed;
}

} // namespace swf::movie
