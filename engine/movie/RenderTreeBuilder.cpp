#include "engine/movie/RenderTreeBuilder.h"

#include "engine/movie/LoadedContent.h"
#include "engine/movie/MovieDef.h"
#include "engine/movie/VideoObject.h"

namespace swf::movie {

namespace {

void addChildren(const ClipState& clip, render::RenderNode& parent)
{
    parent.children.reserve(clip.children.size());
    for (const DisplayObject& object : clip.children) {
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
                    addChildren(*object.clip, node);
                    if (!object.clip->drawing.empty())
                        node.drawing = object.clip->drawing.shape();
                }
                break;
            case CharacterKind::Video: addVideo(object, node); break;
            case CharacterKind::Button:
                // The characters of the shown state, held like a clip's children.
                if (object.clip)
                    addChildren(*object.clip, node);
                break;
            }
        }
        // A field drawn as scripts left it rather than as its definition stored it.
        if (object.textField && object.textField->look)
            node.textField = object.textField->look;
        parent.children.push_back(std::move(node));
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
    render::RenderNode node;
    if (root.loaded)
        node.bitmaps = root.loaded->bitmaps;
    if (root.placement.empty()) {
        addChildren(root, node);
        if (!root.drawing.empty())
            node.drawing = root.drawing.shape();
    } else {
        // Level 0 moved or tinted by a script: its content is drawn through that, the
        // levels above are not.
        render::RenderNode layer;
        placeLayer(root.placement.front(), layer);
        addChildren(root, layer);
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
        addChildren(*level.clip, layer);
        if (!level.clip->drawing.empty())
            layer.drawing = level.clip->drawing.shape();
        node.children.push_back(std::move(layer));
    }
    return node;
}

} // namespace swf::movie
