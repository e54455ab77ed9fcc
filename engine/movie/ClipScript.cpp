#include "engine/movie/ClipScript.h"
#include "engine/movie/TextFieldScript.h"
#include "engine/movie/VideoObject.h"

#include "engine/avm1/Machine.h"
#include "engine/avm1/MouseObject.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/format/Shape.h"
#include "engine/format/Text.h"
#include "engine/format/Video.h"
#include "engine/movie/ClipEvents.h"
#include "engine/movie/ClipHitTest.h"
#include "engine/movie/DisplayProperties.h"
#include "engine/movie/MatrixParts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace swf::movie {

namespace {

constexpr double kTwips = kTwipsPerPixel;

bool sameName(std::string_view a, std::string_view b, bool caseSensitive)
{
    if (a.size() != b.size())
        return false;
    if (caseSensitive)
        return a == b;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

Rect transformRect(const Rect& r, const Matrix& m)
{
    Box box = m.mapRect(r);
    // Scripts can scale a clip past what 32 bits of twips hold; the cast needs a value in range.
    auto twips = [](double v) { return std::isnan(v) ? 0 : static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0)); };
    return {twips(std::round(box.xMin)), twips(std::round(box.xMax)), twips(std::round(box.yMin)), twips(std::round(box.yMax))};
}

// A box's corners taken to the stage and from there into another clip's space (whose
// stage matrix is `otherToStage`), each point landing on whole twips on the way, and
// the box around them: the reference player measures one clip in another's space so.
std::array<Point, 4> localToStage(const Rect& r, const Matrix& toStage)
{
    auto onTwips = [&](double x, double y) {
        Point p = toStage.apply({x, y});
        return Point{std::round(p.x), std::round(p.y)};
    };
    return {onTwips(r.xMin, r.yMin), onTwips(r.xMax, r.yMin), onTwips(r.xMin, r.yMax), onTwips(r.xMax, r.yMax)};
}

Rect stageToLocal(const std::array<Point, 4>& corners, const Matrix& otherToStage)
{
    if (!otherToStage.invertible())
        return {};
    const Matrix back = otherToStage.inverted();
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    for (Point p : corners) {
        Point q = back.apply(p);
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    auto twips = [](double v) { return std::isnan(v) ? 0 : static_cast<int32_t>(std::clamp(std::round(v), -2147483648.0, 2147483647.0)); };
    return {twips(x0), twips(x1), twips(y0), twips(y1)};
}

bool isEmpty(const Rect& r)
{
    return r.xMin == 0 && r.xMax == 0 && r.yMin == 0 && r.yMax == 0;
}

Rect unite(const Rect& a, const Rect& b)
{
    if (isEmpty(a))
        return b;
    if (isEmpty(b))
        return a;
    return {std::min(a.xMin, b.xMin), std::max(a.xMax, b.xMax), std::min(a.yMin, b.yMin), std::max(a.yMax, b.yMax)};
}

} // namespace

ScriptLink::ScriptLink() = default;
ScriptLink::ScriptLink(const ScriptLink&) {}
ScriptLink::ScriptLink(ScriptLink&&) noexcept {}
ScriptLink::~ScriptLink() = default;

ScriptLink& ScriptLink::operator=(const ScriptLink& other)
{
    if (this != &other)
        host_.reset();
    return *this;
}

ScriptLink& ScriptLink::operator=(ScriptLink&& other) noexcept
{
    if (this != &other)
        host_.reset();
    return *this;
}

void ScriptLink::set(std::unique_ptr<ClipScript> host)
{
    host_ = std::move(host);
}

void ScriptLink::reset()
{
    host_.reset();
}

Rect characterBounds(const DisplayObject& object, bool strokes)
{
    if (object.clip)
        return clipBounds(*object.clip, strokes);
    if (!object.character)
        return {};
    if (object.character->shape)
        return strokes ? object.character->shape->bounds : object.character->shape->edgeBounds;
    if (const auto& morph = object.character->morph)
        return strokes ? morph->startBounds : morph->startEdgeBounds;
    if (object.character->video)
        return object.character->video->bounds();
    // Texts measure their boxes: a field's as scripts and autoSize left it.
    if (object.textField && object.textField->look)
        return object.textField->look->bounds;
    if (object.character->text)
        return object.character->text->bounds;
    return {};
}

namespace {

// The box of what `clip` shows, seen through `m`. Every shape's own box goes through
// the whole chain of matrices down to it, so a turned clip inside a turned clip is not
// the box of a box, as the reference player measures it. What shows nothing (an empty
// clip, a shape with no extent) adds no point, wherever it is placed.
Rect clipBoundsUnder(const ClipState& clip, const Matrix& m, bool strokes, int nesting)
{
    Rect r;
    if (Rect drawn = clip.drawing.bounds(); !isEmpty(drawn))
        r = transformRect(drawn, m);
    if (nesting > 300)
        return r;
    for (const DisplayObject& child : clip.children) {
        const Matrix toHere = m * child.matrix;
        if (child.clip) {
            r = unite(r, clipBoundsUnder(*child.clip, toHere, strokes, nesting + 1));
            continue;
        }
        if (Rect own = characterBounds(child, strokes); !isEmpty(own))
            r = unite(r, transformRect(own, toHere));
    }
    return r;
}

} // namespace

Rect clipBounds(const ClipState& clip, bool strokes)
{
    return clipBoundsUnder(clip, Matrix{}, strokes, 0);
}

ClipScript::ClipScript(TimelinePlayer& player, std::weak_ptr<avm1::Machine> machine, ClipState& self, ClipState* parent,
                       avm1::Object* object)
    : player_(player), machine_(std::move(machine)), self_(self), parent_(parent), object_(object)
{
}

ClipScript::~ClipScript()
{
    if (!machine_.expired())
        static_cast<avm1::MovieClipObject*>(object_)->detach();
}

DisplayObject* ClipScript::displayObject()
{
    if (!parent_)
        return nullptr;
    for (DisplayObject& o : parent_->children) {
        if (o.clip.get() == &self_)
            return &o;
    }
    return nullptr;
}

DisplayObject* ClipScript::placement(bool create)
{
    return parent_ ? displayObject() : player_.levelPlacement(level_, create);
}

bool ClipScript::isButton()
{
    DisplayObject* d = displayObject();
    return d && d->character && d->character->button;
}

ClipPath ClipScript::path()
{
    ClipPath reversed;
    ClipScript* s = this;
    while (s && s->parent_) {
        DisplayObject* d = s->displayObject();
        if (!d)
            break;
        reversed.push_back(d->depth);
        s = s->parent_->script.get();
    }
    ClipPath out;
    if (s && !s->parent_ && s->level_ > 0)
        out = {kLevelStep, s->level_};
    out.insert(out.end(), reversed.rbegin(), reversed.rend());
    return out;
}

namespace {

// Sets _width (or _height) of `object` to `pixels`, `own` being its untransformed
// bounds in twips.
void setSizeProperty(DisplayObject& object, avm1::ClipProperty property, double pixels, const Rect& own)
{
    const Rect shown = transformRect(own, object.matrix);
    setDisplaySize(object, property, pixels, own, shown.width(), shown.height());
}

constexpr const char* kQualityNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};

// _highquality, _quality and _soundbuftime, which every clip shares; false for other
// properties. A value that is no number (or no quality's name) changes nothing.
bool setPlayerSetting(TimelinePlayer::ScriptSettings& settings, avm1::ClipProperty property,
                      const avm1::Value& value, avm1::Machine& machine)
{
    using P = avm1::ClipProperty;
    switch (property) {
    case P::HighQuality: {
        const double n = value.isNullish() ? std::nan("") : machine.toNumber(value);
        if (std::isnan(n))
            return true;
        // 0 is low, 1 high and 2 or more best; below 0 high again.
        const double level = std::trunc(n);
        settings.quality = level == 0 ? 0 : level >= 2 ? 3 : 2;
        return true;
    }
    case P::Quality: {
        const std::string name = machine.toString(value);
        for (int q = 0; q < 4; ++q) {
            if (sameName(name, kQualityNames[q], false))
                settings.quality = q;
        }
        return true;
    }
    case P::SoundBufTime: {
        const double n = value.isNullish() ? std::nan("") : machine.toNumber(value);
        if (std::isnan(n))
            return true;
        // Whole seconds in 32 bits; a value past them becomes the smallest.
        settings.soundBufferTime = n >= -2147483648.0 && n < 2147483648.0 ? static_cast<int32_t>(n)
                                                                            : std::numeric_limits<int32_t>::min();
        return true;
    }
    default: return false;
    }
}

bool locksRoot(avm1::Object* clip)
{
    const avm1::Property* lock = clip ? clip->findOwn("_lockroot") : nullptr;
    if (!lock)
        return false;
    const avm1::Value& v = lock->value;
    return (v.isBool() && v.asBool()) || (v.isNumber() && v.asNumber() != 0);
}

} // namespace

avm1::Object* ClipScript::parentObject()
{
    if (!parent_ || !parent_->script.get())
        return nullptr;
    // Before SWF 6 a button is no object scripts see: a clip in one of its states has
    // the button's own parent for its parent.
    ClipScript* parent = parent_->script.get();
    if (parent->isButton() && player_.movieOf(*parent_).header.version < 6)
        return parent->parentObject();
    return parent->scriptObject();
}

avm1::Object* ClipScript::rootObject()
{
    // _root is the level's root, unless a loaded movie on the way up locks _root to
    // itself by setting its _lockroot.
    ClipScript* s = this;
    while (s->parent_ && s->parent_->script.get()) {
        if (s->self_.loaded && locksRoot(s->object_))
            return s->object_;
        s = s->parent_->script.get();
    }
    return s->scriptObject();
}

avm1::Object* ClipScript::childByName(std::string_view name, bool caseSensitive)
{
    for (DisplayObject& child : self_.children) {
        if (child.name.empty() || !sameName(child.name, name, caseSensitive))
            continue;
        if (child.textField)
            return player_.textFieldObject(self_, child);
        if (avm1::Object* video = videoScriptObject(player_.machine(), child, object_))
            return video;
        // A named shape has no script object of its own, nor before SWF 6 a button:
        // the name reaches the clip it sits in, as in the reference player.
        if (!child.clip || (child.character && child.character->button && player_.movieOf(self_).header.version < 6))
            return object_;
        // Reached through this clip, not by depth: clips parked at their parting depth
        // (and, before SWF 6, clips placed onto a taken depth) share one.
        return player_.childObject(self_, *child.clip);
    }
    return nullptr;
}

std::vector<std::string> ClipScript::childNames()
{
    std::vector<std::string> out;
    for (const DisplayObject& child : self_.children) {
        if (!child.name.empty())
            out.push_back(child.name);
    }
    return out;
}

avm1::Value ClipScript::getProperty(avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    DisplayObject* d = placement(false);
    if (auto shared = sharedDisplayProperty(d, property))
        return *shared;
    const bool noFrames = self_.timeline && self_.timeline->declaresNoFrames;
    switch (property) {
    case P::CurrentFrame:
    case P::TotalFrames:
    case P::FramesLoaded:
        if (noFrames)
            return avm1::Value(0.0);
        break;
    default: break;
    }
    switch (property) {
    case P::CurrentFrame: return avm1::Value(static_cast<double>(self_.frame));
    case P::TotalFrames: return avm1::Value(static_cast<double>(totalFrames()));
    case P::FramesLoaded:
        return avm1::Value(static_cast<double>(self_.timeline ? self_.timeline->framesLoaded() : 1));
    case P::Width:
    case P::Height: {
        Rect r = transformRect(clipBounds(self_), d ? d->matrix : Matrix{});
        return avm1::Value((property == P::Width ? r.width() : r.height()) / kTwips);
    }
    case P::Target: return avm1::Value(targetPath(true));
    case P::DropTarget: {
        avm1::MouseObject* mouse = player_.machine() ? avm1::mouseObject(*player_.machine()) : nullptr;
        return avm1::Value(mouse ? mouse->dropTargetOf(object_) : std::string());
    }
    case P::Url: return avm1::Value(player_.urlOf(self_.movie));
    case P::HighQuality: {
        // Medium counts as high.
        const int quality = player_.scriptSettings().quality;
        return avm1::Value(quality == 0 ? 0.0 : quality == 3 ? 2.0 : 1.0);
    }
    case P::FocusRect: {
        // A movie's root speaks for the whole player; other clips and buttons have their
        // own setting or none (null).
        avm1::Machine* machine = player_.machine();
        avm1::SelectionObject* selection = machine ? avm1::selectionObject(*machine) : nullptr;
        if (!parent_)
            return avm1::Value(!selection || selection->focusRect);
        return focusRect_ ? avm1::Value(*focusRect_) : avm1::Value(avm1::Null{});
    }
    case P::SoundBufTime: return avm1::Value(static_cast<double>(player_.scriptSettings().soundBufferTime));
    case P::Quality: return avm1::Value(std::string(kQualityNames[player_.scriptSettings().quality]));
    case P::XMouse:
    case P::YMouse: {
        // The pointer in the clip's own space, in pixels.
        const Matrix m = toStage(true);
        if (!m.invertible())
            return avm1::Value(0.0);
        const Point local = m.inverted().apply(player_.pointer());
        return avm1::Value((property == P::XMouse ? local.x : local.y) / kTwips);
    }
    default: break;
    }
    return avm1::Value();
}

void ClipScript::setProperty(avm1::ClipProperty property, const avm1::Value& value)
{
    using P = avm1::ClipProperty;
    avm1::Machine* machine = player_.machine();
    if (property == P::FocusRect && machine) {
        if (!parent_)
            avm1::setRootFocusRect(*machine, value);
        else
            focusRect_ = avm1::objectFocusRect(*machine, value);
        return;
    }
    if (machine && setPlayerSetting(player_.scriptSettings(), property, value, *machine))
        return;
    DisplayObject* d = placement(true);
    if (!d || !machine)
        return;
    if (property == P::Name && object_) {
        if (auto* clip = object_->as<avm1::MovieClipObject>())
            clip->keepPathBeforeRename(targetPath(false));
    }
    if (setSharedDisplayProperty(*d, property, value, *machine)) {
        if (property == P::Visible)
            avm1::settleFocus(*machine);
        return;
    }
    if (property != P::Width && property != P::Height)
        return;
    // A clip's size is a scale of its contents' bounds.
    setSizeProperty(*d, property, machine->toNumber(value), clipBounds(self_));
}

ColorTransform ClipScript::colorTransform()
{
    DisplayObject* d = placement(false);
    return d ? d->colorTransform : ColorTransform{};
}

void ClipScript::setColorTransform(const ColorTransform& transform)
{
    if (DisplayObject* d = placement(true)) {
        d->colorTransform = transform;
        d->scriptTransformed = true;
    }
}

std::vector<Filter> ClipScript::filters()
{
    DisplayObject* d = displayObject();
    return d && d->filters ? *d->filters : std::vector<Filter>{};
}

void ClipScript::setFilters(std::vector<Filter> filters)
{
    if (DisplayObject* d = displayObject())
        d->filters = filters.empty() ? nullptr : std::make_shared<const std::vector<Filter>>(std::move(filters));
}

BlendMode ClipScript::blendMode()
{
    DisplayObject* d = displayObject();
    return d ? d->blendMode : BlendMode::Normal;
}

void ClipScript::setBlendMode(BlendMode mode)
{
    if (DisplayObject* d = displayObject())
        d->blendMode = mode;
}

bool ClipScript::cacheAsBitmap()
{
    DisplayObject* d = displayObject();
    return d && d->cacheAsBitmap;
}

void ClipScript::setCacheAsBitmap(bool on)
{
    if (DisplayObject* d = displayObject())
        d->cacheAsBitmap = on;
}

std::optional<Rect> ClipScript::scrollRect()
{
    DisplayObject* d = displayObject();
    return d ? d->scrollRect : std::nullopt;
}

void ClipScript::setScrollRect(std::optional<Rect> window)
{
    if (DisplayObject* d = displayObject())
        d->scrollRect = window;
}

std::optional<Rgba> ClipScript::opaqueBackground()
{
    DisplayObject* d = displayObject();
    return d ? d->opaqueBackground : std::nullopt;
}

void ClipScript::setOpaqueBackground(std::optional<Rgba> color)
{
    if (DisplayObject* d = displayObject())
        d->opaqueBackground = color;
}

Matrix ClipScript::matrix()
{
    DisplayObject* d = placement(false);
    return d ? d->matrix : Matrix{};
}

void ClipScript::setMatrix(const Matrix& matrix)
{
    if (DisplayObject* d = placement(true)) {
        d->matrix = matrix;
        d->scriptTransformed = true;
    }
}

void noteScriptTransform(DisplayObject& object, avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    switch (property) {
    case P::X: case P::Y: case P::XScale: case P::YScale: case P::Rotation: case P::Alpha: case P::Width:
    case P::Height:
        object.scriptTransformed = true;
        break;
    default: break;
    }
}

void ClipScript::goTo(int frame)
{
    ClipPath p = path();
    player_.gotoInClip(self_, p, frame);
}

void ClipScript::nextFrame()
{
    goTo(self_.frame + 1);
    stop();
}

void ClipScript::prevFrame()
{
    goTo(self_.frame - 1);
    stop();
}

void ClipScript::gotoFrame(int frame)
{
    // A script's goto past the last frame goes nowhere: the clip stays where it is.
    if (self_.timeline && frame > self_.timeline->frameCount())
        return;
    goTo(frame);
}

const MovieDef* ClipScript::ownMovie()
{
    if (self_.loaded)
        return self_.loaded->movie.get();
    return parent_ ? nullptr : &player_.movie();
}

double ClipScript::bytesLoaded()
{
    // A movie's main timeline: what of the file arrived, the 8-byte prefix counted.
    const MovieDef* movie = ownMovie();
    if (movie && !movie->bytes.empty())
        return std::min(bytesTotal(), static_cast<double>(movie->bytes.size() + 8));
    return bytesTotal();
}

double ClipScript::bytesTotal()
{
    if (const MovieDef* movie = ownMovie()) {
        return movie->header.declaredLength > 8 ? movie->header.declaredLength
                                                : static_cast<double>(movie->bytes.size() + 8);
    }
    return self_.timeline ? self_.timeline->byteLength : 0;
}

int ClipScript::swfVersion()
{
    // Clips inside a loaded movie answer with that movie's version, as its own timeline does.
    if (self_.loaded && self_.loaded->picture)
        return -1;
    return player_.movieOf(self_).header.version;
}

int ClipScript::totalFrames()
{
    // A movie's main timeline counts the frames its header declares, as the player reports.
    if (const MovieDef* movie = ownMovie())
        return movie->header.frameCount;
    return self_.timeline ? self_.timeline->frameCount() : 1;
}

bool ClipScript::gotoLabel(std::string_view label)
{
    if (!self_.timeline)
        return false;
    auto frame = self_.timeline->frameOfLabel(label);
    if (!frame)
        return false;
    goTo(*frame);
    return true;
}

std::vector<std::span<const uint8_t>> ClipScript::frameScripts(const std::string& frame)
{
    std::vector<std::span<const uint8_t>> scripts;
    if (!self_.timeline)
        return scripts;
    int number = 0;
    double n = avm1::stringToNumber(frame, 7);
    if (!std::isnan(n))
        number = n >= 1 && n <= self_.timeline->frameCount() ? static_cast<int>(n) : 0;  // cast in range only
    else if (auto labelled = self_.timeline->frameOfLabel(frame))
        number = *labelled;
    if (number < 1 || number > self_.timeline->frameCount())
        return scripts;
    for (const ControlTag& tag : self_.timeline->frame(number).tags) {
        if (const auto* action = std::get_if<DoAction>(&tag))
            scripts.push_back(action->code);
    }
    return scripts;
}

std::string ClipScript::name()
{
    DisplayObject* d = displayObject();
    return d ? d->name : std::string();
}

int ClipScript::depth()
{
    DisplayObject* d = displayObject();
    return d ? d->depth : 0;
}

namespace {

DisplayObject* videoChild(ClipState& clip, const void* video)
{
    if (!video)
        return nullptr;
    for (DisplayObject& child : clip.children) {
        if (child.videoAttachment.get() == video)
            return &child;
    }
    return nullptr;
}

} // namespace

void ClipScript::duplicateChildVideo(const void* video, const std::string& newName, int newDepth)
{
    const DisplayObject* original = videoChild(self_, video);
    if (!original || !scriptDepthAllowed(newDepth))
        return;
    player_.placeByScript(self_, path(), duplicateOf(*original, newDepth, newName));
}

std::optional<avm1::Value> ClipScript::childVideoProperty(const void* video, avm1::ClipProperty property)
{
    using P = avm1::ClipProperty;
    DisplayObject* child = videoChild(self_, video);
    if (!child)
        return std::nullopt;
    if (auto shared = sharedDisplayProperty(child, property))
        return shared;
    switch (property) {
    case P::Width:
    case P::Height: {
        Rect r = transformRect(characterBounds(*child), child->matrix);
        return avm1::Value((property == P::Width ? r.width() : r.height()) / kTwips);
    }
    case P::Target: {
        std::string base = targetPath(true);
        return avm1::Value((base == "/" ? base : base + "/") + child->name);
    }
    default: return avm1::Value();
    }
}

bool ClipScript::setChildVideoProperty(const void* video, avm1::ClipProperty property, const avm1::Value& value)
{
    using P = avm1::ClipProperty;
    DisplayObject* child = videoChild(self_, video);
    avm1::Machine* machine = player_.machine();
    if (!child || !machine)
        return false;
    if (setSharedDisplayProperty(*child, property, value, *machine))
        return true;
    if (property != P::Width && property != P::Height)
        return true;
    // A video's size is a scale of its picture box, as a clip's is of its contents.
    setSizeProperty(*child, property, machine->toNumber(value), characterBounds(*child));
    return true;
}

std::string ClipScript::targetPath(bool slashes)
{
    if (!parent_ && level_ > 0)
        return "_level" + std::to_string(level_);
    if (!parent_ || !parent_->script.get())
        return slashes ? "/" : "_level0";
    std::string base = parent_->script.get()->targetPath(slashes);
    if (slashes)
        return (base == "/" ? base : base + "/") + name();
    return base + "." + name();
}

bool ClipScript::removeClip()
{
    if (avm1::Machine* machine = player_.machine()) {
        avm1::Object* self = object_;
        avm1::ScopedRoot keep(*machine, [self](avm1::Visitor& visitor) { visitor.visit(self); });
        // The focus leaves first, while the clip can still be named; the scripts that
        // hear of it may have removed the clip themselves.
        if (avm1::dropFocusWithin(*machine, self) && avm1::clipHost(self) != this)
            return true;
    }
    DisplayObject* d = displayObject();
    if (!d || d->depth < kScriptDepthBase)
        return false;
    ClipState* parent = parent_;
    int32_t at = d->depth;
    ClipPath parentPath = path();
    parentPath.pop_back();
    avm1::Machine* machine = player_.machine();
    // Removing may destroy this host; nothing may touch it afterwards.
    player_.removeChild(*parent, parentPath, at);
    if (machine)
        avm1::settleFocus(*machine);
    return true;
}

avm1::Object* ClipScript::duplicate(const std::string& newName, int newDepth, avm1::Object* init)
{
    DisplayObject* d = displayObject();
    if (!d || !parent_ || !parent_->script.get() || !scriptDepthAllowed(newDepth))
        return nullptr;
    DisplayObject copy = duplicateOf(*d, newDepth, newName);
    copy.clipDepth = d->clipDepth;
    copy.clipActions = d->clipActions;
    Drawing drawing = self_.drawing;
    avm1::Object* placed = player_.placeByScript(*parent_, parent_->script.get()->path(), std::move(copy), {}, init);
    // The copy starts with what scripts drew into the original. Its event handlers are
    // only queued, so they still draw over it.
    if (placed) {
        if (auto* host = dynamic_cast<ClipScript*>(avm1::clipHost(placed)))
            host->state().drawing = std::move(drawing);
    }
    return placed;
}

avm1::Object* ClipScript::attachMovie(const std::string& linkage, const std::string& newName, int newDepth,
                                      avm1::Object* init)
{
    // A clip of a loaded movie attaches that movie's symbols.
    const MovieDef& movie = player_.movieOf(self_);
    auto it = movie.exports.find(linkage);
    if (it == movie.exports.end()) {
        it = std::find_if(movie.exports.begin(), movie.exports.end(),
                          [&](const auto& e) { return sameName(e.first, linkage, false); });
    }
    if (it == movie.exports.end() || !scriptDepthAllowed(newDepth) || !player_.exportReady(movie, it->first))
        return nullptr;
    const Character* character = movie.character(it->second);
    if (!character || (character->kind != CharacterKind::Sprite && character->kind != CharacterKind::Button))
        return nullptr;
    DisplayObject object;
    object.depth = newDepth;
    object.characterId = it->second;
    object.character = character;
    object.name = newName;
    return player_.placeByScript(self_, path(), std::move(object), linkage, init);
}

avm1::Object* ClipScript::createEmptyClip(const std::string& newName, int newDepth)
{
    if (!scriptDepthAllowed(newDepth))
        return nullptr;
    DisplayObject object;
    object.depth = newDepth;
    object.character = &player_.emptySprite();
    object.name = newName;
    return player_.placeByScript(self_, path(), std::move(object));
}

avm1::Object* ClipScript::createTextField(const std::string& newName, int newDepth, double x, double y, double width,
                                          double height)
{
    if (!scriptDepthAllowed(newDepth) || !player_.running())
        return nullptr;
    auto twips = [](double pixels) { return static_cast<int32_t>(std::round(pixels * kTwips)); };
    DisplayObject object;
    object.depth = newDepth;
    object.name = newName;
    object.placedAt = -1;
    object.madeByScript = true;
    object.matrix.tx = twips(x);
    object.matrix.ty = twips(y);
    object.textField.emplace(TextFieldState::created({0, twips(std::max(0.0, width)), 0, twips(std::max(0.0, height))},
                                                     player_.movieOf(self_).outlineFonts,
                                                     player_.movieOf(self_).header.version));
    player_.queueUnload(self_, path(), object.depth);
    self_.remove(object.depth);
    DisplayObject& inserted = self_.insert(std::move(object));
    return player_.textFieldObject(self_, inserted);
}

void ClipScript::swapDepths(const avm1::Value& target)
{
    DisplayObject* d = displayObject();
    avm1::Machine* machine = player_.machine();
    // A clip that left the list and waits at its parting depth for its unload
    // handlers moves no more, nor trades places with another.
    if (!d || !machine || d->unloading)
        return;
    int to = 0;
    if (avm1::Object* other = target.asObject()) {
        auto* host = dynamic_cast<ClipScript*>(avm1::clipHost(other));
        if (!host || host->parent_ != parent_)
            return;
        if (DisplayObject* theirs = host->displayObject(); theirs && theirs->unloading)
            return;
        to = host->depth();
    } else {
        double n = machine->toNumber(target);
        if (std::isnan(n) || !scriptDepthAllowed(static_cast<int64_t>(n)))
            return;
        to = static_cast<int>(n);
    }
    int32_t from = d->depth;
    if (to == from)
        return;
    std::vector<DisplayObject>& list = parent_->children;
    for (DisplayObject& o : list) {
        if (o.depth == to) {
            o.depth = from;
            o.placedAt = -1;
        }
    }
    d->depth = to;
    d->placedAt = -1;
    std::stable_sort(list.begin(), list.end(), [](const DisplayObject& a, const DisplayObject& b) { return a.depth < b.depth; });
}

int ClipScript::nextHighestDepth()
{
    int highest = kScriptDepthBase;
    for (const DisplayObject& o : self_.children)
        highest = std::max(highest, o.depth + 1);
    return highest;
}

avm1::Object* ClipScript::childAtDepth(int depth)
{
    if (!scriptDepthAllowed(depth))
        return nullptr;
    DisplayObject* child = self_.find(depth);
    if (!child)
        return nullptr;
    if (child->textField)
        return player_.textFieldObject(self_, *child);
    if (!child->clip)
        return object_;
    ClipPath p = path();
    p.push_back(child->depth);
    return player_.clipObject(p);
}

Matrix ClipScript::toStage(bool withLevel)
{
    Matrix m;
    ClipScript* s = this;
    while (s && s->parent_) {
        DisplayObject* d = s->displayObject();
        if (!d)
            break;
        m = d->matrix * m;
        s = s->parent_->script.get();
    }
    // A level's root may itself be moved on the stage; hitTest, localToGlobal and
    // getBounds work in the level's space, the pointer is on the stage.
    if (withLevel && s && !s->parent_) {
        if (DisplayObject* level = s->placement(false))
            m = level->matrix * m;
    }
    return m;
}

bool ClipScript::bounds(avm1::Object* space, bool strokes, double& xMin, double& yMin, double& xMax, double& yMax)
{
    Rect r = clipBounds(self_, strokes);
    const bool shown = !isEmpty(r);
    if (avm1::clipHost(space) && avm1::clipHost(space) != this) {
        auto* other = dynamic_cast<ClipScript*>(avm1::clipHost(space));
        if (other)
            r = stageToLocal(localToStage(r, toStage()), other->toStage());
    }
    xMin = r.xMin / kTwips;
    yMin = r.yMin / kTwips;
    xMax = r.xMax / kTwips;
    yMax = r.yMax / kTwips;
    return shown;
}

void ClipScript::localToGlobal(double& x, double& y)
{
    Point p = toStage().apply({x * kTwips, y * kTwips});
    x = p.x / kTwips;
    y = p.y / kTwips;
}

void ClipScript::globalToLocal(double& x, double& y)
{
    Matrix m = toStage();
    if (!m.invertible())
        return;
    Point p = m.inverted().apply({x * kTwips, y * kTwips});
    x = p.x / kTwips;
    y = p.y / kTwips;
}

namespace {

// The clip of the tree under `clip` whose instance is `serial`, or null.
ClipState* findInstance(ClipState& clip, uint64_t serial, int nesting)
{
    if (clip.serial.value == serial)
        return &clip;
    if (nesting > 300)
        return nullptr;
    for (DisplayObject& child : clip.children) {
        if (ClipState* found = child.clip ? findInstance(*child.clip, serial, nesting + 1) : nullptr)
            return found;
    }
    return nullptr;
}

} // namespace

bool ClipScript::hitTestPoint(double x, double y, bool shape)
{
    double tx = x * kTwips;
    double ty = y * kTwips;
    if (shape) {
        const Matrix m = toStage();
        if (!m.invertible() || !clipContentContains(self_, m.inverted().apply({tx, ty})))
            return false;
        // A clip a script masked with setMask is hit only where its mask covers it too.
        const DisplayObject* d = displayObject();
        if (!d || !d->maskClip)
            return true;
        ClipState* top = &self_;
        for (int guard = 0; guard < 300 && top->script.get() && top->script.get()->parent_; ++guard)
            top = top->script.get()->parent_;
        ClipState* mask = findInstance(*top, d->maskClip, 0);
        ClipScript* maskHost = mask ? mask->script.get() : nullptr;
        if (!maskHost)
            return true;
        const Matrix toMask = maskHost->toStage();
        return toMask.invertible() && clipContentContains(*mask, toMask.inverted().apply({tx, ty}));
    }
    // The point is in the level's root's coordinates and the box is the clip's as it
    // shows on the stage: a root that is moved, scaled or turned moves the point
    // with it, and a turned root makes the box around the clip the larger.
    const Matrix full = toStage(true);
    const Matrix chain = toStage();
    const Point p = chain.invertible() ? full.apply(chain.inverted().apply({tx, ty})) : Point{tx, ty};
    Rect r = transformRect(clipBounds(self_), full);
    return !isEmpty(r) && p.x >= r.xMin && p.x <= r.xMax && p.y >= r.yMin && p.y <= r.yMax;
}

bool ClipScript::boundsOverlap(avm1::ClipHost& other)
{
    auto* clip = dynamic_cast<ClipScript*>(&other);
    if (!clip)
        return false;
    const Rect a = transformRect(clipBounds(self_), toStage(true));
    const Rect b = transformRect(clipBounds(clip->self_), clip->toStage(true));
    return a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax;
}

bool ClipScript::setMask(avm1::ClipHost* mask)
{
    DisplayObject* d = displayObject();
    if (!d)
        return false;
    auto* other = dynamic_cast<ClipScript*>(mask);
    d->maskClip = other ? other->self_.serial.value : 0;
    return true;
}

bool ClipScript::setTextFieldMask(avm1::TextFieldHost* mask)
{
    DisplayObject* d = displayObject();
    auto* field = dynamic_cast<TextFieldScript*>(mask);
    if (!d || !field)
        return false;
    d->maskClip = field->instanceSerial();
    return true;
}

void ClipScript::trace(const std::string& line)
{
    if (player_.hooks().trace)
        player_.hooks().trace(line);
}

void ClipScript::getUrl(const std::string& url, const std::string& target)
{
    if (player_.hooks().getUrl)
        player_.hooks().getUrl(url, target);
}

void ClipScript::clearContent()
{
    ClipPath here = path();
    std::vector<int32_t> depths;
    for (const DisplayObject& child : self_.children)
        depths.push_back(child.depth);
    for (int32_t depth : depths) {
        player_.queueUnload(self_, here, depth);
        self_.remove(depth);
    }
    self_.drawing = {};
}

void ClipScript::unloadContent()
{
    if (!parent_ && level_ > 0) {
        // A level goes altogether. That destroys this host: nothing may follow.
        player_.removeLevel(level_);
        return;
    }
    // The children leave with their unload handlers queued; the clip itself stays,
    // with its name, place and variables, showing one empty frame.
    clearContent();
    self_.loaded.reset();
    self_.movie = parent_ ? parent_->movie : nullptr;
    self_.timeline = player_.emptySprite().sprite.get();
    self_.frame = 1;
    self_.playing = false;
}

bool ClipScript::loadContent(std::span<const uint8_t> bytes, const std::string& url)
{
    std::shared_ptr<const LoadedContent> content = makeLoadedContent(bytes, url);
    if (!content)
        return false;
    // The clip keeps its place, transform and clip event handlers; what it showed and
    // what scripts had set on it go, and it plays the loaded movie from its first frame
    // on the next frame of the player.
    clearContent();
    std::vector<std::string> names;
    for (const avm1::Property& p : object_->properties())
        names.emplace_back(p.name);
    for (const std::string& name : names)
        object_->erase(name);
    player_.keepLoaded(content);
    self_.loaded = content;
    self_.movie = content->movie.get();
    self_.timeline = &content->movie->root;
    self_.frame = 0;
    self_.playing = true;
    // A movie (not a picture) loaded into _level0 replaces the whole stage.
    if (!parent_ && level_ == 0 && !content->picture)
        player_.replaceLevelZero(*content->movie);
    return true;
}

void ClipScript::dataLoaded()
{
    auto machine = machine_.lock();
    if (!machine)
        return;
    // onClipEvent(data) handlers first, then the onData method, as for any clip event.
    if (DisplayObject* placed = displayObject()) {
        const int version = parent_ ? player_.movieOf(*parent_).header.version : player_.movie().header.version;
        for (const ClipEventHandler& handler : parseClipEvents(placed->clipActions, version)) {
            if (handler.events & ClipEvent::Data)
                machine->runBlock(handler.code, object_);
        }
    }
    machine->callMethod(avm1::Value(object_), "onData", {});
}

void ClipScript::toggleQuality()
{
    if (player_.hooks().toggleQuality)
        player_.hooks().toggleQuality();
}

void ClipScript::stopSounds()
{
    if (player_.hooks().stopSounds)
        player_.hooks().stopSounds();
}

avm1::Object* ClipScript::level(int number)
{
    return player_.levelObject(number);
}

std::vector<avm1::StaticGlyph> ClipScript::staticText()
{
    std::vector<avm1::StaticGlyph> out;
    for (const DisplayObject& child : self_.children) {
        if (!child.character || child.character->kind != CharacterKind::Text || !child.character->text)
            continue;
        const TextDef& text = *child.character->text;
        const Matrix toClip = child.matrix * text.matrix;
        const FontDef* font = nullptr;
        double x = 0, y = 0, height = 0;
        uint32_t color = 0;
        std::optional<double> lineY;
        // Each text begins a line of its own, as each record that moves down does.
        bool newLine = true;
        for (const TextRecord& record : text.records) {
            if (record.fontId) {
                // A font defined after the text is still found by its id, as the
                // reference player's snapshots find it.
                auto found = text.fonts.find(*record.fontId);
                if (found != text.fonts.end() && found->second) {
                    font = found->second.get();
                } else {
                    auto later = player_.movie().fonts.find(*record.fontId);
                    font = later != player_.movie().fonts.end() ? later->second.get() : nullptr;
                }
                height = record.height;
            }
            if (record.color)
                color = (uint32_t(record.color->r) << 16) | (uint32_t(record.color->g) << 8) | record.color->b;
            if (record.xOffset)
                x = *record.xOffset;
            if (record.yOffset)
                y = *record.yOffset;
            for (const GlyphEntry& glyph : record.glyphs) {
                if (font && glyph.index < font->glyphs.size()) {
                    if (lineY && *lineY != y)
                        newLine = true;
                    lineY = y;
                    const Point left = toClip.apply({x, y});
                    const Point right = toClip.apply({x + glyph.advance, y});
                    avm1::StaticGlyph g;
                    g.character = static_cast<char16_t>(font->glyphs[glyph.index].code);
                    g.lineStart = newLine && !out.empty();
                    g.x = left.x / 20.0;
                    g.y = left.y / 20.0;
                    g.width = std::hypot(right.x - left.x, right.y - left.y) / 20.0;
                    g.height = height * std::hypot(toClip.c, toClip.d) / 20.0;
                    g.font = font->name;
                    g.color = color;
                    out.push_back(g);
                    newLine = false;
                }
                x += glyph.advance;
            }
        }
    }
    return out;
}

} // namespace swf::movie
