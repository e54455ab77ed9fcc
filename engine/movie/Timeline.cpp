#include "engine/movie/Timeline.h"

#include "engine/avm1/Executor.h"

#include <algorithm>

namespace swf::movie {

namespace {

// Frame scripts one frame step may run, gotos' scripts included: enough for any real
// movie, small enough that two frames jumping to each other cannot hang the player.
constexpr size_t kMaxScriptsPerStep = 4096;
// Actions all of one step's scripts together may carry out.
constexpr size_t kMaxActionsPerStep = 1'000'000;
// Clips nested inside clips: far beyond what real movies use, and shallow enough that
// a sprite placing itself (or two placing each other) stops long before the stack
// runs out. A sprite placed deeper stays empty.
constexpr size_t kMaxClipNesting = 256;

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

void applyPlacedFields(DisplayObject& object, const PlaceObject& tag)
{
    if (tag.matrix)
        object.matrix = *tag.matrix;
    if (tag.colorTransform)
        object.colorTransform = *tag.colorTransform;
    if (tag.ratio)
        object.ratio = *tag.ratio;
    if (tag.name)
        object.name = *tag.name;
    if (tag.clipDepth)
        object.clipDepth = *tag.clipDepth;
    if (tag.visible)
        object.visible = *tag.visible;
}

bool isSprite(const DisplayObject& object)
{
    return object.character && object.character->kind == CharacterKind::Sprite && object.character->sprite;
}

} // namespace

// The face a running script sees of the clip it belongs to. It holds the clip's path,
// not a pointer, because a goto can rebuild the lists the clip lives in.
class ClipControl : public avm1::TimelineControl {
public:
    ClipControl(TimelinePlayer& player, ClipState& root, ClipPath path)
        : player_(player), root_(root), path_(std::move(path))
    {
    }

    void play() override
    {
        if (ClipState* clip = clipState())
            clip->playing = true;
    }
    void stop() override
    {
        if (ClipState* clip = clipState())
            clip->playing = false;
    }
    void nextFrame() override
    {
        if (ClipState* clip = clipState()) {
            goTo(clip->frame + 1);
            stop();
        }
    }
    void prevFrame() override
    {
        if (ClipState* clip = clipState()) {
            goTo(clip->frame - 1);
            stop();
        }
    }
    void gotoFrame(int frame) override { goTo(frame + 1); }
    bool gotoLabel(std::string_view label) override
    {
        ClipState* clip = clipState();
        if (!clip)
            return false;
        auto frame = clip->timeline->frameOfLabel(label);
        if (!frame)
            return false;
        goTo(*frame);
        return true;
    }
    void toggleQuality() override
    {
        if (player_.hooks_.toggleQuality)
            player_.hooks_.toggleQuality();
    }
    void stopSounds() override
    {
        if (player_.hooks_.stopSounds)
            player_.hooks_.stopSounds();
    }
    void getUrl(const std::string& url, const std::string& target) override
    {
        if (player_.hooks_.getUrl)
            player_.hooks_.getUrl(url, target);
    }
    void trace(const std::string& line) override
    {
        if (player_.hooks_.trace)
            player_.hooks_.trace(line);
    }

private:
    ClipState* clipState() { return TimelinePlayer::resolve(root_, path_); }
    void goTo(int frame)
    {
        if (ClipState* clip = clipState()) {
            ClipPath path = path_;
            player_.gotoInClip(*clip, path, frame);
        }
    }

    TimelinePlayer& player_;
    ClipState& root_;
    ClipPath path_;
};

TimelinePlayer::TimelinePlayer(const MovieDef& movie, MovieHooks hooks) : movie_(movie), hooks_(std::move(hooks)) {}

ClipState TimelinePlayer::makeRoot() const
{
    ClipState root;
    root.timeline = &movie_.root;
    return root;
}

ClipState* TimelinePlayer::resolve(ClipState& root, const ClipPath& path)
{
    ClipState* clip = &root;
    for (uint16_t depth : path) {
        DisplayObject* object = clip->find(depth);
        if (!object || !object->clip)
            return nullptr;
        clip = &*object->clip;
    }
    return clip;
}

void TimelinePlayer::step(ClipState& root)
{
    ClipPath path;
    advanceClip(root, path, true);
    runQueuedScripts(root);
}

void TimelinePlayer::gotoFrame(ClipState& root, const ClipPath& path, int frame, bool runNow)
{
    if (ClipState* clip = resolve(root, path)) {
        ClipPath scratch = path;
        gotoInClip(*clip, scratch, frame);
    }
    if (runNow)
        runQueuedScripts(root);
}

void TimelinePlayer::runFrameScripts(ClipState& root)
{
    if (root.frame > 0)
        queueScripts(root, {}, root.frame);
    runQueuedScripts(root);
}

void TimelinePlayer::runQueuedScripts(ClipState& root)
{
    if (!scriptsEnabled_) {
        queue_.clear();
        return;
    }
    avm1::Executor executor(movie_.header.version);
    size_t ran = 0;
    size_t actionsLeft = kMaxActionsPerStep;
    while (!queue_.empty()) {
        if (++ran > kMaxScriptsPerStep || actionsLeft == 0) {
            queue_.clear();
            break;
        }
        QueuedScript script = std::move(queue_.front());
        queue_.pop_front();
        if (!resolve(root, script.path))
            continue;  // its clip went away before its turn
        ClipControl control(*this, root, std::move(script.path));
        executor.setLimits({.maxActions = actionsLeft});
        executor.run(script.code, control);
        actionsLeft -= std::min(actionsLeft, executor.actionsRun() + 1);
    }
}

void TimelinePlayer::advanceClip(ClipState& clip, ClipPath& path, bool isRoot)
{
    const StepMode stepping{.markFresh = true, .instantiate = true};
    int count = clip.timeline->frameCount();
    if (clip.frame == 0) {
        applyFrame(clip, path, 1, stepping, true);
        clip.frame = 1;
    } else if (clip.playing) {
        if (clip.frame < count) {
            applyFrame(clip, path, clip.frame + 1, stepping, true);
            ++clip.frame;
        } else if (!isRoot || loop_) {
            if (count > 1)
                rebuildTo(clip, path, 1, stepping);
        } else {
            clip.playing = false;
        }
    }
    for (DisplayObject& child : clip.children) {
        if (child.fresh) {
            child.fresh = false;
            continue;
        }
        if (child.clip) {
            path.push_back(child.depth);
            advanceClip(*child.clip, path, false);
            path.pop_back();
        }
    }
}

void TimelinePlayer::gotoInClip(ClipState& clip, ClipPath& path, int frame)
{
    frame = std::clamp(frame, 1, clip.timeline->frameCount());
    if (frame == clip.frame)
        return;
    const StepMode jumping{.markFresh = false, .instantiate = true};
    if (frame > clip.frame) {
        // Skipped frames change the list but their scripts do not run.
        for (int f = clip.frame + 1; f <= frame; ++f)
            applyFrame(clip, path, f, jumping, f == frame);
        clip.frame = frame;
    } else {
        rebuildTo(clip, path, frame, jumping);
    }
}

void TimelinePlayer::rebuildTo(ClipState& clip, ClipPath& path, int frame, StepMode mode)
{
    // The list frame `frame` would have when played from the start, as a plan.
    ClipState plan;
    plan.timeline = clip.timeline;
    ClipPath unused;
    for (int f = 1; f <= frame; ++f)
        applyFrame(plan, unused, f, StepMode{.markFresh = false, .instantiate = false}, false);

    std::vector<DisplayObject> rebuilt;
    rebuilt.reserve(plan.children.size());
    for (DisplayObject& planned : plan.children) {
        DisplayObject* current = clip.find(planned.depth);
        if (current && current->characterId == planned.characterId && current->placedAt == planned.placedAt) {
            // The same placement: the instance lives on (a clip keeps its own state),
            // taking the properties the plan gives it.
            DisplayObject kept = std::move(*current);
            kept.matrix = planned.matrix;
            kept.colorTransform = planned.colorTransform;
            kept.ratio = planned.ratio;
            kept.clipDepth = planned.clipDepth;
            kept.visible = planned.visible;
            rebuilt.push_back(std::move(kept));
            continue;
        }
        planned.fresh = mode.markFresh;
        rebuilt.push_back(std::move(planned));
        if (isSprite(rebuilt.back())) {
            path.push_back(rebuilt.back().depth);
            instantiateClip(rebuilt.back(), path);
            path.pop_back();
        }
    }
    clip.children = std::move(rebuilt);
    clip.frame = frame;
    queueScripts(clip, path, frame);
}

void TimelinePlayer::applyFrame(ClipState& clip, ClipPath& path, int frame, StepMode mode, bool queueFrameScripts)
{
    const Frame& def = clip.timeline->frame(frame);
    for (const ControlTag& tag : def.tags) {
        std::visit(Overloaded{
                       [&](const PlaceObject& place_) { place(clip, path, place_, frame, mode); },
                       [&](const RemoveObject& remove) { clip.remove(remove.depth); },
                       [&](const DoAction& action) {
                           if (queueFrameScripts && mode.instantiate && scriptsEnabled_)
                               queue_.push_back({path, action.code});
                       },
                   },
                   tag);
    }
}

void TimelinePlayer::place(ClipState& clip, ClipPath& path, const PlaceObject& tag, int frame, StepMode mode)
{
    DisplayObject* existing = clip.find(tag.depth);
    if (existing && tag.move) {
        if (tag.characterId && *tag.characterId != existing->characterId) {
            // Replacing keeps the depth and the transform unless the tag gives new ones.
            existing->characterId = *tag.characterId;
            existing->character = movie_.character(*tag.characterId);
            existing->clip.reset();
            if (mode.instantiate && isSprite(*existing)) {
                path.push_back(existing->depth);
                instantiateClip(*existing, path);
                path.pop_back();
            }
        }
        applyPlacedFields(*existing, tag);
        return;
    }
    // A new object needs a character and a free depth; anything else is ignored.
    if (existing || !tag.characterId)
        return;
    DisplayObject object;
    object.depth = tag.depth;
    object.characterId = *tag.characterId;
    object.character = movie_.character(object.characterId);
    object.placedAt = frame;
    object.fresh = mode.markFresh;
    applyPlacedFields(object, tag);
    DisplayObject& inserted = clip.insert(std::move(object));
    if (mode.instantiate && isSprite(inserted)) {
        path.push_back(inserted.depth);
        instantiateClip(inserted, path);
        path.pop_back();
    }
}

void TimelinePlayer::instantiateClip(DisplayObject& object, ClipPath& path)
{
    if (path.size() > kMaxClipNesting)
        return;
    object.clip.emplace();
    object.clip->timeline = object.character->sprite.get();
    applyFrame(*object.clip, path, 1, StepMode{.markFresh = false, .instantiate = true}, true);
    object.clip->frame = 1;
}

void TimelinePlayer::queueScripts(const ClipState& clip, const ClipPath& path, int frame)
{
    if (!scriptsEnabled_)
        return;
    for (const ControlTag& tag : clip.timeline->frame(frame).tags) {
        if (const auto* action = std::get_if<DoAction>(&tag))
            queue_.push_back({path, action->code});
    }
}

} // namespace swf::movie
