#pragma once

// What a MovieClip script object asks of the clip it stands for. The movie layer
// implements it for each clip instance; the machine knows nothing of display lists.

#include "engine/avm1/Value.h"
#include "engine/format/BlendMode.h"
#include "engine/format/Filter.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swf {
class Drawing;
}

namespace swf::avm1 {

class Object;
struct SoundTransform;
class TextFieldHost;

// Indices of the clip properties, as GetProperty/SetProperty number them.
enum class ClipProperty {
    X = 0, Y, XScale, YScale, CurrentFrame, TotalFrames, Alpha, Visible, Width, Height, Rotation, Target,
    FramesLoaded, Name, DropTarget, Url, HighQuality, FocusRect, SoundBufTime, Quality, XMouse, YMouse,
};
// "_x" -> X ...; case-insensitive; nullopt for other names.
std::optional<ClipProperty> clipPropertyByName(std::string_view name);
// Whether a display object that is not a clip (a text field, a stage video) has
// `property` as clips have it: place, scale, alpha, visibility, size, rotation, names.
bool isPlacedObjectProperty(ClipProperty property);

// One character of the static text a clip shows, as TextSnapshot reads it: the
// character its glyph stands for, whether it begins a new line, and the glyph's box in
// the clip's space (pixels: left edge on the baseline, advance and text height).
struct StaticGlyph {
    char16_t character = 0;
    bool lineStart = false;
    double x = 0, y = 0, width = 0, height = 0;
    std::string font;     // the embedded font's name
    uint32_t color = 0;   // 0xRRGGBB
};

class ClipHost {
public:
    virtual ~ClipHost() = default;

    virtual Object* scriptObject() = 0;
    virtual Object* parentObject() = 0;   // null for a root
    virtual Object* rootObject() = 0;
    virtual Object* childByName(std::string_view name, bool caseSensitive) = 0;
    // The names of the named children, in depth order (for..in on a clip): shapes,
    // static texts and bitmaps too, whose names reach the clip itself.
    virtual std::vector<std::string> childNames() = 0;

    virtual Value getProperty(ClipProperty property) = 0;
    virtual void setProperty(ClipProperty property, const Value& value) = 0;

    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void nextFrame() = 0;
    virtual void prevFrame() = 0;
    // 1-based; clamped by the timeline.
    virtual void gotoFrame(int frame) = 0;
    virtual bool gotoLabel(std::string_view label) = 0;
    virtual int currentFrame() = 0;
    // The frame scripts of a frame given by number (1-based) or label (ActionCall).
    virtual std::vector<std::span<const uint8_t>> frameScripts(const std::string& frame) = 0;
    virtual int totalFrames() = 0;
    // Bytes of the clip's content loaded, and in all (getBytesLoaded/getBytesTotal).
    virtual double bytesLoaded() { return 0; }
    virtual double bytesTotal() { return 0; }
    // The SWF version of the movie whose timeline this clip plays (getSWFVersion);
    // -1 for a loaded picture or where no movie is known.
    virtual int swfVersion() { return -1; }

    virtual std::string name() = 0;
    virtual int depth() = 0;
    // "_level0.a.b" for the dotted forms, "/a/b" for slash syntax.
    virtual std::string targetPath(bool slashes) = 0;

    virtual bool removeClip() = 0;
    // `init` (may be null): properties the new clip takes before its class's
    // constructor runs.
    virtual Object* duplicate(const std::string& newName, int depth, Object* init = nullptr) = 0;
    virtual Object* attachMovie(const std::string& linkage, const std::string& newName, int depth,
                                Object* init = nullptr) = 0;
    virtual Object* createEmptyClip(const std::string& newName, int depth) = 0;
    // An empty text field at `depth`, its box at x, y of width x height (pixels).
    virtual Object* createTextField(const std::string& /*newName*/, int /*depth*/, double /*x*/, double /*y*/,
                                    double /*width*/, double /*height*/)
    {
        return nullptr;
    }
    // The clip's colour transform, as the Color class reads and sets it. Setting it
    // takes the clip's colour away from the timeline, as setting _alpha does.
    virtual ColorTransform colorTransform() { return {}; }
    virtual void setColorTransform(const ColorTransform& /*transform*/) {}
    // Display settings scripts of SWF 8 and later reach (filters, blend mode, cached
    // bitmap, the transform's matrix in twips). Setting one takes it away from the
    // timeline as setting the colour transform does.
    virtual std::vector<Filter> filters() { return {}; }
    virtual void setFilters(std::vector<Filter> /*filters*/) {}
    virtual BlendMode blendMode() { return BlendMode::Normal; }
    virtual void setBlendMode(BlendMode /*mode*/) {}
    virtual bool cacheAsBitmap() { return false; }
    virtual void setCacheAsBitmap(bool /*on*/) {}
    // The window onto the clip's content in its own twips, and the colour its bounds
    // are filled with beneath it; nullopt for none.
    virtual std::optional<Rect> scrollRect() { return std::nullopt; }
    virtual void setScrollRect(std::optional<Rect> /*window*/) {}
    virtual std::optional<Rgba> opaqueBackground() { return std::nullopt; }
    virtual void setOpaqueBackground(std::optional<Rgba> /*color*/) {}
    virtual Matrix matrix() { return {}; }
    virtual void setMatrix(const Matrix& /*matrix*/) {}
    // The clip's sound settings, as the Sound class reads and sets them; they live and
    // die with the clip. Null where the clip keeps none.
    virtual SoundTransform* soundTransform() { return nullptr; }
    virtual void swapDepths(const Value& target) = 0;
    virtual int nextHighestDepth() = 0;
    virtual Object* childAtDepth(int depth) = 0;
    // Bounds in the coordinate space of `space` (null: the clip's own), in pixels, with
    // the strokes' width or without it (getRect); false, with all four zero, when the
    // clip shows nothing.
    virtual bool bounds(Object* space, bool strokes, double& xMin, double& yMin, double& xMax, double& yMax) = 0;
    // Points in pixels between the clip's space and the stage's.
    virtual void localToGlobal(double& x, double& y) = 0;
    virtual void globalToLocal(double& x, double& y) = 0;
    virtual bool hitTestPoint(double x, double y, bool shape) = 0;
    // hitTest(other): whether the boxes of the two clips, as they show on the stage,
    // overlap (edges touching count).
    virtual bool boundsOverlap(ClipHost& /*other*/) { return false; }
    // setMask: the clip is seen only where `mask`'s shapes are, and `mask` is no longer
    // drawn itself; null takes the mask away. False where the clip cannot be masked.
    virtual bool setMask(ClipHost* /*mask*/) { return false; }
    // setMask with a text field: the clip is seen only where the field's glyphs are (its
    // whole box when it has a background or border), and the field is no longer drawn.
    virtual bool setTextFieldMask(TextFieldHost* /*mask*/) { return false; }
    // What scripts draw into the clip (moveTo, lineTo ...); null where nothing can be drawn.
    virtual Drawing* drawing() { return nullptr; }
    // A button instance rather than a sprite's.
    virtual bool isButton() { return false; }
    // The display properties (_x, _alpha, _width ...) of the video among this clip's
    // children whose attachment is `video`, as its script object reads and sets them;
    // nullopt / false when no such video is there any more.
    virtual std::optional<Value> childVideoProperty(const void* /*video*/, ClipProperty /*property*/)
    {
        return std::nullopt;
    }
    virtual bool setChildVideoProperty(const void* /*video*/, ClipProperty /*property*/, const Value& /*value*/)
    {
        return false;
    }
    // A copy of that video at `depth` named `newName` (duplicateMovieClip of a stage
    // video): its character, transform and colour, nothing attached.
    virtual void duplicateChildVideo(const void* /*video*/, const std::string& /*newName*/, int /*depth*/) {}

    // Movie-wide services reached through any clip.
    virtual void trace(const std::string& line) = 0;
    virtual void getUrl(const std::string& url, const std::string& target) = 0;
    virtual void toggleQuality() = 0;
    virtual void stopSounds() = 0;
    // The clip at `_levelN`, or null.
    virtual Object* level(int number) = 0;
    // _levelN (N >= 1) for a load into it, made empty when nothing is there yet; null
    // where the host keeps no levels.
    virtual Object* makeLevel(int /*number*/) { return nullptr; }

    // loadMovie's end: the clip's content replaced by the movie or picture in `bytes`;
    // false when this clip cannot show it (the clip stays as it was).
    virtual bool loadContent(std::span<const uint8_t> /*bytes*/, const std::string& /*url*/) { return false; }
    // unloadMovie: the clip's children and drawing go, it shows one empty frame. A
    // host with no display list of its own has nothing to take away.
    virtual void unloadContent() {}
    // The characters of the static texts placed directly in the clip (not its
    // children's), texts in depth order, glyphs in drawing order.
    virtual std::vector<StaticGlyph> staticText() { return {}; }
    // Variables (loadVariables) or a movie (loadMovie) arrived for this clip: its
    // onClipEvent(data) handlers run, then its onData method.
    virtual void dataLoaded() {}
};

} // namespace swf::avm1
