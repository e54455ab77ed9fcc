#include "engine/movie/RenderTreeBuilder.h"

#include "engine/movie/LoadedContent.h"
#include "engine/movie/MovieDef.h"
#include "engine/movie/VideoObject.h"

#include <unordered_map>

namespace swf::movie {

namespace {

// The clips and text fields scripts made masks (setMask), by instance, with where each sits in the
// tree's space; empty when no object has one.
struct ScriptMasks {
    struct Source {
        const DisplayObject* object = nullptr;
        Matrix world;
    };
    std::unordered_map<uint64_t, Source> byClip;
};

void findMaskUsers(const ClipState& clip, std::unordered_map<uint64_t, ScriptMasks::Source>& wanted)
{
    for (const DisplayObject& object : clip.children) {
        if (object.maskClip != 0)
            wanted.emplace(object.maskClip, ScriptMasks::Source{});
        if (object.clip)
            findMaskUsers(*object.clip, wanted);
    }
}

void findMaskSources(const ClipState& clip, const Matrix& world, ScriptMasks& masks)
{
    for (const DisplayObject& object : clip.children) {
        if (object.textField) {
            // A text field serves as a mask through its glyphs (or its box).
            auto it = masks.byClip.find(object.textField->serial.value);
            if (it != masks.byClip.end())
                it->second = {&object, world * object.matrix};
        }
        if (!object.clip)
            continue;
        const Matrix inner = world * object.matrix;
        auto it = masks.byClip.find(object.clip->serial.value);
        if (it != masks.byClip.end())
            it->second = {&object, inner};
        findMaskSources(*object.clip, inner, masks);
    }
}

void addChildren(const ClipState& clip, render::RenderNode& parent, const Matrix& world, const ScriptMasks& masks);

render::RenderNode buildNode(const DisplayObject& object, const Matrix& world, const ScriptMasks& masks)
{
    render::RenderNode node;
    node.depth = object.depth;
    node.clipDepth = object.clipDepth;
    node.visible = object.visible;
    node.matrix = object.matrix;
    node.colorTransform = object.colorTransform;
    node.blendMode = object.blendMode;
    node.filters = object.filters;
    node.cacheAsBitmap = object.cacheAsBitmap;
    node.opaqueBackground = object.opaqueBackground;
    node.scrollRect = object.scrollRect;
    const Matrix inner = world * object.matrix;
    if (object.character) {
        switch (object.character->kind) {
        case CharacterKind::Shape: node.shape = object.character->shape; break;
        case CharacterKind::MorphShape:
            node.morph = object.character->morph;
            node.morphRatio = object.ratio / 65535.0;
            break;
        case CharacterKind::Text: node.text = object.character->text; break;
        case CharacterKind::EditText: node.editText = object.character->editText; break;
        case CharacterKind::Sprite:
            if (object.clip) {
                if (object.clip->loaded)
                    node.bitmaps = object.clip->loaded->bitmaps;
                addChildren(*object.clip, node, inner, masks);
                if (!object.clip->drawing.empty())
                    node.drawing = object.clip->drawing.shape();
            }
            break;
        case CharacterKind::Video: addVideo(object, node); break;
        case CharacterKind::Button:
            // The characters of the shown state, held like a clip's children.
            if (object.clip)
                addChildren(*object.clip, node, inner, masks);
            break;
        }
    }
    // A field drawn as scripts left it rather than as its definition stored it.
    if (object.textField && object.textField->look)
        node.textField = object.textField->look;
    if (!masks.byClip.empty()) {
        // A clip serving as a script's mask is not drawn itself, and no longer masks
        // the depths above it as a timeline mask: it masks what the script gave it.
        if ((object.clip && masks.byClip.contains(object.clip->serial.value)) ||
            (object.textField && masks.byClip.contains(object.textField->serial.value))) {
            node.visible = false;
            node.clipDepth = 0;
        }
        auto mask = object.maskClip != 0 ? masks.byClip.find(object.maskClip) : masks.byClip.end();
        if (mask != masks.byClip.end() && mask->second.object && mask->second.object != &object &&
            world.invertible()) {
            ScriptMasks none;
            render::RenderNode shape = buildNode(*mask->second.object, mask->second.world, none);
            shape.matrix = world.inverted() * mask->second.world;
            shape.clipDepth = 0;
            node.scriptMask = std::make_shared<const render::RenderNode>(std::move(shape));
            // A timeline mask given a mask of its own by a script is drawn, seen
            // through that mask, instead of masking the depths above it.
            node.clipDepth = 0;
        }
    }
    return node;
}

void addChildren(const ClipState& clip, render::RenderNode& parent, const Matrix& world, const ScriptMasks& masks)
{
    parent.children.reserve(clip.children.size());
    for (const DisplayObject& object : clip.children) {
        if (!object.unloading)
            parent.children.push_back(buildNode(object, world, masks));
    }
}

// Where a level's root sits on the stage, as scripts placed it.
void placeLayer(const DisplayObject& placement, render::RenderNode& layer)
{
    layer.matrix = placement.matrix;
    layer.colorTransform = placement.colorTransform;
    layer.visible = placement.visible;
}

} // namespace

render::RenderNode buildRenderTree(const ClipState& root)
{
    const Matrix levelZero = root.placement.empty() ? Matrix{} : root.placement.front().matrix;
    ScriptMasks masks;
    {
        std::unordered_map<uint64_t, ScriptMasks::Source> wanted;
        findMaskUsers(root, wanted);
        for (const DisplayObject& level : root.levels) {
            if (level.clip)
                findMaskUsers(*level.clip, wanted);
        }
        if (!wanted.empty()) {
            masks.byClip = std::move(wanted);
            findMaskSources(root, levelZero, masks);
            for (const DisplayObject& level : root.levels) {
                if (level.clip)
                    findMaskSources(*level.clip, level.matrix, masks);
            }
        }
    }
    render::RenderNode node;
    if (root.loaded)
        node.bitmaps = root.loaded->bitmaps;
    if (root.placement.empty()) {
        addChildren(root, node, levelZero, masks);
        if (!root.drawing.empty())
            node.drawing = root.drawing.shape();
    } else {
        // Level 0 moved or tinted by a script: its content is drawn through that, the
        // levels above are not.
        render::RenderNode layer;
        placeLayer(root.placement.front(), layer);
        addChildren(root, layer, levelZero, masks);
        if (!root.drawing.empty())
            layer.drawing = root.drawing.shape();
        node.children.push_back(std::move(layer));
    }
    // _level1 and above draw over level 0, the higher ones on top; no mask of level 0
    // reaches them.
    for (const DisplayObject& level : root.levels) {
        if (!level.clip)
            continue;
        render::RenderNode layer;
        layer.depth = 0xFFFF;
        placeLayer(level, layer);
        if (level.clip->loaded)
            layer.bitmaps = level.clip->loaded->bitmaps;
        addChildren(*level.clip, layer, level.matrix, masks);
        if (!level.clip->drawing.empty())
            layer.drawing = level.clip->drawing.shape();
        node.children.push_back(std::move(layer));
    }
    return node;
}

} // namespace swf::movie
