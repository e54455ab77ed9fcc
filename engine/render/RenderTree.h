#pragma once

// What the timeline hands the renderer each frame: a tree of placed objects in depth
// order. The timeline builds it from its display list; the renderer only reads it.

#include "engine/format/BlendMode.h"
#include "engine/format/Filter.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QImage;
class QPainter;

namespace swf {
struct ShapeDef;
struct MorphShapeDef;
struct TextDef;
struct EditTextDef;
struct EmbeddedVideo;
}

namespace swf::render {

struct TextFieldLook;

class BitmapSource;

struct RenderNode {
    int32_t depth = 0;
    // Non-zero: this node is a mask for the following siblings with depth <= clipDepth.
    int32_t clipDepth = 0;
    bool visible = true;
    Matrix matrix;                 // relative to the parent, translation in twips
    ColorTransform colorTransform; // relative to the parent
    // Anything but normal: the node and its children are drawn into a layer of their
    // own, which then meets what lies below in this mode.
    BlendMode blendMode = BlendMode::Normal;
    // Filters, in order: the node and its children are drawn into a surface of their
    // own, which each filter then works on. Null or empty: none.
    std::shared_ptr<const std::vector<Filter>> filters;
    // Drawn through an off-screen surface that is kept while the node does not change.
    bool cacheAsBitmap = false;
    // Fills the node's bounds beneath it.
    std::optional<Rgba> opaqueBackground;
    // Shows only this window onto the node's content, in its own coordinates (twips):
    // the window's top-left lands on the node's origin, and the rest is cut away.
    std::optional<Rect> scrollRect;

    // What the node draws itself (at most one is set); sprites and buttons draw only
    // their children.
    std::shared_ptr<const ShapeDef> shape;
    std::shared_ptr<const MorphShapeDef> morph;
    double morphRatio = 0;  // 0..1
    std::shared_ptr<const TextDef> text;          // static text
    std::shared_ptr<const EditTextDef> editText;  // a text field with its stored text
    std::shared_ptr<const TextFieldLook> textField;  // a text field as scripts left it
    // What scripts drew into a clip, drawn beneath its children. A drawing that changes
    // comes as a new object, which is what keeps its cached paths current.
    std::shared_ptr<const ShapeDef> drawing;
    // An embedded video and the frame of it shown (the placement's ratio).
    std::shared_ptr<const EmbeddedVideo> video;
    int videoFrame = 0;
    // Set on a clip showing a loaded movie: the bitmap fills of the shapes in it (at
    // any depth) draw from this source rather than the main movie's.
    std::shared_ptr<const BitmapSource> bitmaps;

    std::vector<RenderNode> children;  // in depth order
    // A clip a script made this node's mask (setMask): the node is seen only where the
    // mask's shapes are. Its matrix places it in this node's parent's space.
    std::shared_ptr<const RenderNode> scriptMask;
};

// Whether `a` and `b` draw the same picture: the same objects in the same places, with
// the same colour transforms, blend modes, filters, masks and children. What an object
// draws is compared by identity, so an object whose content changes must come as a new
// object (as script drawings and text field looks do); a window need not repaint a frame
// that draws the same as the one it shows.
bool drawsSame(const RenderNode& a, const RenderNode& b);

// Looks up bitmap characters for bitmap fills; where a bitmap is missing nothing is drawn.
class BitmapSource {
public:
    virtual ~BitmapSource() = default;
    // The decoded bitmap of character `characterId`, or null when there is none. The
    // image must stay alive while the renderer may draw it.
    virtual const QImage* bitmap(uint16_t characterId) const = 0;
};

// Decodes the pictures of embedded videos; decoding moves the source on, so it is not
// const. Where there is none, videos draw nothing.
class VideoSource {
public:
    virtual ~VideoSource() = default;
    // The picture frame `frame` of `video` shows, or a null image when there is none.
    virtual QImage picture(const std::shared_ptr<const EmbeddedVideo>& video, int frame) = 0;
};

} // namespace swf::render
