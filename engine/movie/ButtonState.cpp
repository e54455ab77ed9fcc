#include "engine/movie/ButtonState.h"

#include "engine/movie/MovieDef.h"

#include <algorithm>
#include <map>
#include <variant>

namespace swf::movie {

namespace {

// Buttons and sprites inside buttons nest only as deep as this: a sprite may place a
// button defined after it that shows the sprite again.
constexpr int kMaxNesting = 16;
// Nodes one button may add: such a cycle placing two copies at each level would
// otherwise double the tree with every level.
constexpr int kMaxNodes = 20000;

struct Walk {
    const MovieDef& movie;
    int nodesLeft = kMaxNodes;
};

void addContent(const Character& character, uint16_t ratio, ButtonVisual visual, Walk& walk, int nesting,
                render::RenderNode& node);

void addRecords(const ButtonCharacter& button, ButtonVisual visual, Walk& walk, int nesting,
                render::RenderNode& node)
{
    const uint8_t flag = stateFlag(visual);
    std::vector<size_t> shown;
    for (size_t i = 0; i < button.def.records.size() && i < button.characters.size(); ++i)
        if ((button.def.records[i].states & flag) && button.characters[i])
            shown.push_back(i);
    std::stable_sort(shown.begin(), shown.end(), [&](size_t a, size_t b) {
        return button.def.records[a].depth < button.def.records[b].depth;
    });
    for (size_t i : shown) {
        if (--walk.nodesLeft < 0)
            return;
        const ButtonRecord& record = button.def.records[i];
        render::RenderNode child;
        child.depth = record.depth;
        child.matrix = record.matrix;
        child.colorTransform = record.colorTransform;
        child.blendMode = record.blendMode;
        addContent(*button.characters[i], 0, ButtonVisual::Up, walk, nesting + 1, child);
        node.children.push_back(std::move(child));
    }
}

// A sprite in a button shows its first frame's display list.
void addFirstFrame(const TimelineDef& sprite, Walk& walk, int nesting, render::RenderNode& node)
{
    for (const FirstFramePlacement& placed : firstFramePlacements(sprite, walk.movie)) {
        if (--walk.nodesLeft < 0)
            return;
        render::RenderNode child;
        child.depth = placed.depth;
        child.matrix = placed.place.matrix.value_or(Matrix{});
        child.colorTransform = placed.place.colorTransform.value_or(ColorTransform{});
        child.clipDepth = placed.place.clipDepth.value_or(0);
        child.visible = placed.place.visible.value_or(true);
        if (placed.place.blendMode)
            child.blendMode = blendModeFromByte(*placed.place.blendMode);
        if (placed.character)
            addContent(*placed.character, placed.place.ratio.value_or(0), ButtonVisual::Up, walk, nesting + 1, child);
        node.children.push_back(std::move(child));
    }
}

void addContent(const Character& character, uint16_t ratio, ButtonVisual visual, Walk& walk, int nesting,
                render::RenderNode& node)
{
    if (nesting > kMaxNesting)
        return;
    switch (character.kind) {
    case CharacterKind::Shape: node.shape = character.shape; break;
    case CharacterKind::MorphShape:
        node.morph = character.morph;
        node.morphRatio = ratio / 65535.0;
        break;
    case CharacterKind::Text: node.text = character.text; break;
    case CharacterKind::EditText: node.editText = character.editText; break;
    case CharacterKind::Sprite:
        if (character.sprite)
            addFirstFrame(*character.sprite, walk, nesting, node);
        break;
    case CharacterKind::Button:
        if (character.button)
            addRecords(*character.button, visual, walk, nesting, node);
        break;
    }
}

} // namespace

std::vector<FirstFramePlacement> firstFramePlacements(const TimelineDef& sprite, const MovieDef& movie)
{
    std::map<uint16_t, FirstFramePlacement> byDepth;
    if (sprite.frames.empty())
        return {};
    for (const ControlTag& tag : sprite.frame(1).tags) {
        if (const auto* place = std::get_if<PlaceObject>(&tag)) {
            if (place->characterId)
                byDepth[place->depth] = {place->depth, movie.character(*place->characterId), *place};
        } else if (const auto* remove = std::get_if<RemoveObject>(&tag)) {
            byDepth.erase(remove->depth);
        }
    }
    std::vector<FirstFramePlacement> placements;
    placements.reserve(byDepth.size());
    for (auto& [depth, placed] : byDepth)
        placements.push_back(std::move(placed));
    return placements;
}

uint8_t stateFlag(ButtonVisual visual)
{
    switch (visual) {
    case ButtonVisual::Up: return kButtonUp;
    case ButtonVisual::Over: return kButtonOver;
    case ButtonVisual::Down: return kButtonDown;
    }
    return kButtonUp;
}

void addButtonChildren(const ButtonCharacter& button, ButtonVisual visual, render::RenderNode& node)
{
    if (!button.movie)
        return;
    Walk walk{*button.movie};
    addRecords(button, visual, walk, 0, node);
}

} // namespace swf::movie
