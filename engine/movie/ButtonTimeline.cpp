// Button instances on the timeline: the characters a button shows live as the children
// of a clip state of its own, so that sprites in a state animate, run their scripts and
// can be reached by name, and a button a script reaches has a script object.

#include "engine/movie/ButtonState.h"
#include "engine/movie/Timeline.h"

#include <map>

namespace swf::movie {

namespace {

std::shared_ptr<const std::vector<Filter>> buttonFilters(const ButtonRecord& record)
{
    if (record.filters.empty())
        return nullptr;
    return std::make_shared<const std::vector<Filter>>(record.filters);
}

} // namespace

void TimelinePlayer::instantiateButton(DisplayObject& object, ClipPath& path, const MovieDef* movie)
{
    ClipState& state = object.clip.emplace();
    // An empty single frame: the button's children come from its records, never from
    // frames, and gotos on it have nowhere to go.
    state.timeline = emptySprite_.sprite.get();
    state.frame = 1;
    state.playing = false;
    state.movie = movie;
    syncButtonChildren(object, path);
}

void TimelinePlayer::syncButtonChildren(DisplayObject& button, ClipPath& path)
{
    if (!button.clip || !button.character || !button.character->button)
        return;
    const ButtonCharacter& def = *button.character->button;
    ClipState& state = *button.clip;
    const uint8_t flag = stateFlag(button.buttonVisual);

    // The first record at a depth stands, as for a frame placing twice at one depth.
    std::map<uint16_t, size_t> wanted;
    for (size_t i = 0; i < def.def.records.size() && i < def.characters.size(); ++i)
        if ((def.def.records[i].states & flag) && def.characters[i])
            wanted.try_emplace(def.def.records[i].depth, i);

    for (size_t i = state.children.size(); i-- > 0;) {
        DisplayObject& child = state.children[i];
        auto it = wanted.find(child.depth);
        if (it != wanted.end() && def.def.records[it->second].characterId == child.characterId)
            continue;
        queueUnload(state, path, child.depth);
        state.remove(child.depth);
    }
    for (const auto& [depth, index] : wanted) {
        const ButtonRecord& record = def.def.records[index];
        if (DisplayObject* kept = state.find(depth)) {
            kept->matrix = record.matrix;
            kept->colorTransform = record.colorTransform;
            kept->blendMode = record.blendMode;
            kept->filters = buttonFilters(record);
            continue;
        }
        if (!takeDisplayObjectSlot())
            break;
        DisplayObject child;
        child.depth = depth;
        child.characterId = record.characterId;
        child.character = def.characters[index];
        child.matrix = record.matrix;
        child.colorTransform = record.colorTransform;
        child.blendMode = record.blendMode;
        child.filters = buttonFilters(record);
        if (child.character->kind == CharacterKind::EditText && child.character->editText)
            child.textField.emplace(
                TextFieldState::fromDefinition(child.character->editText, 10, movieOf(state).outlineFonts));
        nameUnnamed(child);
        DisplayObject& inserted = state.insert(std::move(child));
        if (inserted.character->kind == CharacterKind::Sprite || inserted.character->kind == CharacterKind::Button) {
            path.push_back(depth);
            instantiateClip(inserted, path, state.movie);
            path.pop_back();
        }
    }
}

bool TimelinePlayer::showButtonState(ClipState& root, const ClipPath& parent, int32_t depth, ButtonVisual visual)
{
    root_ = &root;
    ClipState* container = resolve(root, parent);
    DisplayObject* button = container ? container->find(depth) : nullptr;
    if (!button || button->buttonVisual == visual)
        return false;
    button->buttonVisual = visual;
    ClipPath path = parent;
    path.push_back(depth);
    syncButtonChildren(*button, path);
    return true;
}

} // namespace swf::movie
