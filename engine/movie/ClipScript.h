#pragma once

// The script face of one sprite instance: answers its MovieClip object's questions
// from the display list and carries out what scripts ask of it. It lives in the clip's
// state and detaches the object when the clip goes away.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/SoundTransform.h"
#include "engine/movie/DisplayList.h"
#include "engine/movie/Timeline.h"

#include <memory>

namespace swf::avm1 {
class Machine;
}

namespace swf::movie {

// Marks a clip or text field as taken over by scripts when `property` is one of its
// position, size, rotation or alpha: the timeline's later moves then leave its matrix
// and colour alone.
void noteScriptTransform(DisplayObject& object, avm1::ClipProperty property);

class ClipScript final : public avm1::ClipHost {
public:
    ClipScript(TimelinePlayer& player, std::weak_ptr<avm1::Machine> machine, ClipState& self, ClipState* parent,
               avm1::Object* object);
    ~ClipScript() override;
    ClipScript(const ClipScript&) = delete;
    ClipScript& operator=(const ClipScript&) = delete;

    ClipState& state() { return self_; }
    // This clip is the root of _levelN (N >= 1).
    void setLevel(int number) { level_ = number; }
    ClipState* parentState() { return parent_; }
    // The depths from the root to this clip.
    ClipPath path();

    avm1::Object* scriptObject() override { return object_; }
    avm1::Object* parentObject() override;
    avm1::Object* rootObject() override;
    avm1::Object* childByName(std::string_view name, bool caseSensitive) override;
    std::vector<std::string> childNames() override;

    avm1::Value getProperty(avm1::ClipProperty property) override;
    void setProperty(avm1::ClipProperty property, const avm1::Value& value) override;

    void play() override { self_.playing = true; }
    void stop() override { self_.playing = false; }
    void nextFrame() override;
    void prevFrame() override;
    void gotoFrame(int frame) override;
    bool gotoLabel(std::string_view label) override;
    int currentFrame() override { return self_.frame; }
    std::vector<std::span<const uint8_t>> frameScripts(const std::string& frame) override;
    int totalFrames() override;
    double bytesLoaded() override;
    double bytesTotal() override;
    int swfVersion() override;

    std::string name() override;
    int depth() override;
    std::string targetPath(bool slashes) override;

    bool removeClip() override;
    avm1::Object* duplicate(const std::string& newName, int depth, avm1::Object* init) override;
    avm1::Object* attachMovie(const std::string& linkage, const std::string& newName, int depth,
                              avm1::Object* init) override;
    avm1::Object* createEmptyClip(const std::string& newName, int depth) override;
    avm1::Object* createTextField(const std::string& newName, int depth, double x, double y, double width,
                                  double height) override;
    ColorTransform colorTransform() override;
    void setColorTransform(const ColorTransform& transform) override;
    std::vector<Filter> filters() override;
    void setFilters(std::vector<Filter> filters) override;
    BlendMode blendMode() override;
    void setBlendMode(BlendMode mode) override;
    bool cacheAsBitmap() override;
    void setCacheAsBitmap(bool on) override;
    std::optional<Rect> scrollRect() override;
    void setScrollRect(std::optional<Rect> window) override;
    std::optional<Rgba> opaqueBackground() override;
    void setOpaqueBackground(std::optional<Rgba> color) override;
    Matrix matrix() override;
    void setMatrix(const Matrix& matrix) override;
    avm1::SoundTransform* soundTransform() override { return &soundTransform_; }
    void swapDepths(const avm1::Value& target) override;
    int nextHighestDepth() override;
    avm1::Object* childAtDepth(int depth) override;
    bool bounds(avm1::Object* space, bool strokes, double& xMin, double& yMin, double& xMax, double& yMax) override;
    void localToGlobal(double& x, double& y) override;
    void globalToLocal(double& x, double& y) override;
    bool hitTestPoint(double x, double y, bool shape) override;
    bool boundsOverlap(avm1::ClipHost& other) override;
    bool setMask(avm1::ClipHost* mask) override;
    bool setTextFieldMask(avm1::TextFieldHost* mask) override;
    Drawing* drawing() override { return &self_.drawing; }

    void trace(const std::string& line) override;
    void getUrl(const std::string& url, const std::string& target) override;
    void toggleQuality() override;
    void stopSounds() override;
    avm1::Object* level(int number) override;
    avm1::Object* makeLevel(int number) override { return player_.makeLevel(number); }
    void unloadContent() override;
    std::vector<avm1::StaticGlyph> staticText() override;
    bool loadContent(std::span<const uint8_t> bytes, const std::string& url) override;
    void dataLoaded() override;

private:
    // The movie whose main timeline this clip is: the main movie for the root, the
    // loaded one for a clip a load filled; null for other clips.
    const MovieDef* ownMovie();
    // Takes the children (their unload handlers queued) and the drawing away.
    void clearContent();
    DisplayObject* displayObject();
    // What places this clip: its entry in its parent's list, or for a level's root the
    // level's placement on the stage (for level 0 made when `create` asks).
    DisplayObject* placement(bool create);
    bool isButton() override;
    std::optional<avm1::Value> childVideoProperty(const void* video, avm1::ClipProperty property) override;
    bool setChildVideoProperty(const void* video, avm1::ClipProperty property, const avm1::Value& value) override;
    void duplicateChildVideo(const void* video, const std::string& newName, int depth) override;
    // The matrix from this clip's space to its level's root's, in twips, or with
    // `withLevel` to the stage's (through where scripts moved the level).
    Matrix toStage(bool withLevel = false);
    void goTo(int frame);

    TimelinePlayer& player_;
    std::weak_ptr<avm1::Machine> machine_;
    ClipState& self_;
    ClipState* parent_;
    avm1::Object* object_;
    avm1::SoundTransform soundTransform_ = avm1::SoundTransform::forClip();
    int level_ = 0;
    std::optional<bool> focusRect_;  // the clip's own _focusrect; none: the root's holds
};

// A character's own bounds in twips (empty for unknown ones), and a clip's with its
// children's; with the strokes' width, or without it (the shapes' edges only).
Rect characterBounds(const DisplayObject& object, bool strokes = true);
Rect clipBounds(const ClipState& clip, bool strokes = true);

} // namespace swf::movie
