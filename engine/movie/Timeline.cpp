#include "engine/movie/Timeline.h"
#include "engine/movie/TextFieldFormat.h"

#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Loading.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/StageObject.h"
#include "engine/avm1/TextFieldObject.h"
#include "engine/data/LocalFiles.h"
#include "engine/movie/ClipEvents.h"
#include "engine/movie/ClipScript.h"
#include "engine/movie/SeekIndex.h"

#include <algorithm>
#include <string>
#include <utility>

namespace swf::movie {

namespace {

// Scripts one frame step may run, gotos' scripts included: enough for any real movie,
// small enough that two frames jumping to each other cannot hang the player.
constexpr size_t kMaxScriptsPerStep = 4096;
// Actions all of one step's scripts together may carry out: the reference player
// lets a script run for seconds before it stops it, and test-like movies that try
// hundreds of argument lists in one frame need up to about 4 million; an endless
// loop is still cut off within a fraction of a second.
constexpr size_t kMaxActionsPerStep = 5'000'000;
// Clips nested inside clips: far beyond what real movies use, and shallow enough that
// a sprite placing itself (or two placing each other) stops long before the stack
// runs out. A sprite placed deeper stays empty.
constexpr size_t kMaxClipNesting = 256;
// Display objects one timeline may hold, in all its clips together: a hundred times
// what busy real movies show, and a bound on the memory and the work of a frame step
// when sprites placing many copies of each other would multiply without end. Objects
// past it are not placed.
constexpr size_t kMaxDisplayObjects = 200'000;
// What may still be placed until the next frame step counts again. Steps of different
// players never interleave on one thread, so one count a thread serves them all.
thread_local size_t displayObjectsLeft = kMaxDisplayObjects;

void reportLimit(const MovieHooks& hooks, Limit limit, const std::string& message)
{
    if (hooks.limitReached)
        hooks.limitReached(limit, message);
}

size_t countDisplayObjects(const ClipState& clip)
{
    size_t count = clip.children.size();
    for (const DisplayObject& child : clip.children)
        if (child.clip)
            count += countDisplayObjects(*child.clip);
    return count;
}
// Frame steps between sweeps of unreachable script objects.
constexpr uint64_t kStepsPerCollection = 64;

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
    if (tag.blendMode)
        object.blendMode = blendModeFromByte(*tag.blendMode);
    if (tag.filters)
        object.filters = tag.filters->empty() ? nullptr : std::make_shared<const std::vector<Filter>>(*tag.filters);
    if (tag.cacheAsBitmap)
        object.cacheAsBitmap = *tag.cacheAsBitmap;
    if (tag.backgroundColor)
        object.opaqueBackground = tag.backgroundColor;
    if (!tag.clipActions.empty())
        object.clipActions = tag.clipActions;
}

bool isSprite(const DisplayObject& object)
{
    return object.character && object.character->kind == CharacterKind::Sprite && object.character->sprite;
}

// A button instance holds the characters of its shown state as a clip of its own.
bool isButton(const DisplayObject& object)
{
    return object.character && object.character->kind == CharacterKind::Button && object.character->button;
}

} // namespace

TimelinePlayer::TimelinePlayer(const MovieDef& movie, MovieHooks hooks)
    : movie_(movie), hooks_(std::move(hooks)), seekIndex_(std::make_unique<SeekIndex>())
{
    auto empty = std::make_shared<TimelineDef>();
    empty->frames.resize(1);
    emptySprite_.kind = CharacterKind::Sprite;
    emptySprite_.sprite = std::move(empty);
}

TimelinePlayer::~TimelinePlayer() = default;

ClipState TimelinePlayer::makeRoot() const
{
    ClipState root;
    root.timeline = &movie_.root;
    return root;
}

std::string TimelinePlayer::urlOf(const MovieDef* movie) const
{
    if (!movie || movie == &movie_)
        return hooks_.movieUrl;
    for (const auto& content : loaded_) {
        if (content->movie.get() == movie)
            return data::absoluteUrl(hooks_.movieUrl, content->url);
    }
    return {};
}

namespace {

DisplayObject* findLevel(ClipState& root, int32_t number)
{
    auto it = std::ranges::find(root.levels, number, &DisplayObject::depth);
    return it == root.levels.end() || !it->clip ? nullptr : &*it;
}

// Where `path` starts: the main timeline, or the root of the level it names (null
// when there is no such level); `next` is the first depth after that.
ClipState* pathStart(ClipState& root, const ClipPath& path, size_t& next)
{
    next = 0;
    if (path.empty() || path[0] != kLevelStep)
        return &root;
    next = 2;
    DisplayObject* level = path.size() >= 2 ? findLevel(root, path[1]) : nullptr;
    return level ? level->clip.get() : nullptr;
}

} // namespace

avm1::Object* TimelinePlayer::levelObject(int number)
{
    if (!root_ || number < 0 || number >= kLevelLimit)
        return nullptr;
    if (number == 0)
        return scriptObject(*root_, {});
    if (!findLevel(*root_, number))
        return nullptr;
    return scriptObject(*root_, {kLevelStep, number});
}

DisplayObject* TimelinePlayer::levelPlacement(int number, bool create)
{
    if (!root_ || number < 0 || number >= kLevelLimit)
        return nullptr;
    if (number > 0)
        return findLevel(*root_, number);
    if (root_->placement.empty()) {
        if (!create)
            return nullptr;
        root_->placement.emplace_back();
    }
    return &root_->placement.front();
}

avm1::Object* TimelinePlayer::makeLevel(int number)
{
    if (!root_ || number < 1 || number >= kLevelLimit)
        return nullptr;
    const int32_t n = number;
    if (!findLevel(*root_, n)) {
        DisplayObject level;
        level.depth = n;
        level.characterId = 0;
        level.character = &emptySprite_;
        level.placedAt = -1;
        ClipState& state = level.clip.emplace();
        state.timeline = emptySprite_.sprite.get();
        state.frame = 1;
        state.playing = false;
        auto at = std::ranges::upper_bound(root_->levels, n, {}, &DisplayObject::depth);
        root_->levels.insert(at, std::move(level));
    }
    return levelObject(number);
}

void TimelinePlayer::removeLevel(int number)
{
    if (!root_ || number < 1 || number >= kLevelLimit)
        return;
    const int32_t n = number;
    DisplayObject* level = findLevel(*root_, n);
    if (!level)
        return;
    ClipPath path{kLevelStep, n};
    if (scriptsEnabled_ && machine_)
        queueUnloadOf(*level, path, 0, movieOf(*level->clip).header.version);
    std::erase_if(root_->levels, [n](const DisplayObject& o) { return o.depth == n; });
}

void TimelinePlayer::replaceLevelZero(const MovieDef& movie)
{
    if (root_) {
        std::vector<int> numbers;
        for (const DisplayObject& level : root_->levels)
            numbers.push_back(level.depth);
        for (int number : numbers)
            removeLevel(number);
    }
    if (hooks_.levelZeroReplaced)
        hooks_.levelZeroReplaced(movie);
}

ClipState* TimelinePlayer::resolve(ClipState& root, const ClipPath& path)
{
    size_t next = 0;
    ClipState* clip = pathStart(root, path, next);
    for (size_t i = next; clip && i < path.size(); ++i) {
        const int32_t depth = path[i];
        DisplayObject* object = clip->find(depth);
        if (!object || !object->clip)
            return nullptr;
        clip = &*object->clip;
    }
    return clip;
}

avm1::Machine* TimelinePlayer::machine()
{
    if (!scriptsEnabled_)
        return nullptr;
    if (!machine_) {
        machine_ = std::make_shared<avm1::Machine>(movie_.header.version);
        machine_->setMaxCallDepth(movie_.maxRecursionDepth);
        machine_->setSoundHost(hooks_.soundHost);
        machine_->setNetStreamHost(hooks_.netStreamHost);
        machine_->setLoadHost(hooks_.loadHost);
        machine_->setBitmapFilterHost(hooks_.bitmapFilterHost);
        machine_->setTraceSink([this](const std::string& line) {
            if (hooks_.trace)
                hooks_.trace(line);
        });
        // Scripts queued for objects whose clips have gone keep those objects alive.
        machine_->setHostRoots([this](avm1::Visitor& visitor) {
            for (const auto* queue : {&queue_, &constructQueue_, &initializeQueue_}) {
                for (const QueuedScript& script : *queue)
                    visitor.visit(script.object);
            }
        });
        machine_->setBitmapResolver([this](const std::string& name) -> std::shared_ptr<const BitmapData> {
            const auto exported = movie_.exports.find(name);
            if (exported == movie_.exports.end())
                return nullptr;
            const auto bitmap = movie_.bitmaps.find(exported->second);
            return bitmap == movie_.bitmaps.end() ? nullptr : bitmap->second;
        });
        machine_->setLevelResolver([this](int level) -> avm1::Object* { return levelObject(level); });
        machine_->setTextMeasurer(measureTextExtent);
        // A frame script that jumps out of its tag runs on in the movie's other bytes.
        machine_->interpreterState().codeRegion = [this](const uint8_t* at) -> std::span<const uint8_t> {
            const std::vector<uint8_t>& bytes = movie_.bytes;
            const auto address = reinterpret_cast<uintptr_t>(at);
            const auto start = reinterpret_cast<uintptr_t>(bytes.data());
            if (bytes.empty() || address < start || address >= start + bytes.size())
                return {};
            return bytes;
        };
        if (avm1::StageObject* stage = avm1::stageObject(*machine_))
            stage->setMovieSize(movie_.header.stage.width() / 20.0, movie_.header.stage.height() / 20.0);
        if (hooks_.machineStarted)
            hooks_.machineStarted(*machine_);
    }
    return machine_.get();
}

avm1::Object* TimelinePlayer::scriptObject(ClipState& root, const ClipPath& path)
{
    avm1::Machine* m = machine();
    if (!m)
        return nullptr;
    size_t index = 0;
    ClipState* clip = pathStart(root, path, index);
    if (!clip)
        return nullptr;
    ClipState* parent = nullptr;
    while (true) {
        if (!clip->script.get())
            attachScript(*m, *clip, parent, !parent && index == 2 ? path[1] : 0);
        if (index == path.size())
            return clip->script.get()->scriptObject();
        DisplayObject* child = clip->find(path[index++]);
        if (!child || !child->clip)
            return nullptr;
        parent = clip;
        clip = child->clip.get();
    }
}

void TimelinePlayer::attachScript(avm1::Machine& m, ClipState& clip, ClipState* parent, int level)
{
    avm1::MovieClipObject* object = m.newClipObject(nullptr);
    auto host = std::make_unique<ClipScript>(*this, machine_, clip, parent, object);
    if (level > 0)
        host->setLevel(level);
    object->setHost(host.get());
    const bool button = parent && static_cast<avm1::ClipHost*>(host.get())->isButton();
    clip.script.set(std::move(host));
    if (button) {
        object->markButton();
        if (avm1::Object* proto = m.protos().named("Button"))
            object->setProto(proto);
    }
}

avm1::Object* TimelinePlayer::childObject(ClipState& parent, ClipState& child)
{
    avm1::Machine* m = machine();
    if (!m || !parent.script.get())
        return nullptr;
    if (!child.script.get())
        attachScript(*m, child, &parent, 0);
    return child.script.get()->scriptObject();
}

void TimelinePlayer::step(ClipState& root)
{
    root_ = &root;
    // Clips that left with an unload handler last frame go for good now.
    if (std::exchange(parkedSinceStep_, false)) {
        dropParked(root);
        for (DisplayObject& level : root.levels) {
            if (level.clip)
                dropParked(*level.clip);
        }
    }
    size_t live = countDisplayObjects(root);
    displayObjectsLeft = live < kMaxDisplayObjects ? kMaxDisplayObjects - live : 0;
    ClipPath path;
    const bool enterFrames = scriptsEnabled_ && machine_;
    advanceTree(root, path, true, enterFrames);
    // The levels above play on, each from its own first frame.
    for (size_t i = 0; i < root.levels.size(); ++i) {
        ClipPath at{kLevelStep, root.levels[i].depth};
        if (root.levels[i].clip)
            advanceTree(*root.levels[i].clip, at, false, enterFrames);
    }
    runQueuedScripts(root);
    syncBoundFields(root);
    if (!scriptsQueued()) {
        // No queued script points into a loaded movie no clip shows any more.
        std::erase_if(loaded_, [](const auto& content) { return content.use_count() == 1; });
    }
    if (machine_) {
        // A movie loaded into _level0 set the stage's frame rate (a picture does not).
        const MovieDef& top = root.loaded && !root.loaded->picture ? movieOf(root) : movie_;
        double rate = top.header.frameRate > 0 ? top.header.frameRate : 12.0;
        machine_->resetBudget(kMaxActionsPerStep);
        machine_->advanceClock(1000.0 / rate);
        avm1::dispatchSoundEvents(*machine_);
        // Loads the frame's scripts started complete now, after them.
        avm1::dispatchLoads(*machine_);
        // The frame scripts a timer's or a load's goto queued run now, before the
        // playhead moves on: a stop() there holds the clip on the frame it went to.
        runQueuedScripts(root);
        // Sweep now and then, and at once when the heap has doubled since the last
        // sweep, so that scripts allocating every frame stay within bounds.
        size_t objects = machine_->heap().size();
        if (++stepsSinceCollect_ >= kStepsPerCollection || objects > std::max<size_t>(100'000, 2 * heapAfterCollect_)) {
            stepsSinceCollect_ = 0;
            machine_->collectGarbage({});
            heapAfterCollect_ = machine_->heap().size();
        }
    }
}

void TimelinePlayer::gotoFrame(ClipState& root, const ClipPath& path, int frame, bool runNow)
{
    root_ = &root;
    if (ClipState* clip = resolve(root, path)) {
        bool starting = path.empty() && clip->frame == 0;
        ClipPath scratch = path;
        gotoInClip(*clip, scratch, frame);
        if (starting && scriptsEnabled_)
            queue_.push_back({path, {}, "onLoad"});
    }
    if (runNow)
        runQueuedScripts(root);
}

bool TimelinePlayer::scriptsQueued() const
{
    return !queue_.empty() || !constructQueue_.empty() || !initializeQueue_.empty() || !classQueue_.empty() ||
           !lateLoads_.empty();
}

void TimelinePlayer::dropQueuedScripts()
{
    queue_.clear();
    constructQueue_.clear();
    initializeQueue_.clear();
    classQueue_.clear();
    lateLoads_.clear();
}

void TimelinePlayer::runQueuedScripts(ClipState& root)
{
    root_ = &root;
    if (!scriptsEnabled_) {
        dropQueuedScripts();
        return;
    }
    avm1::Machine* m = machine();
    m->resetBudget(kMaxActionsPerStep);
    size_t ran = 0;
    while (scriptsQueued()) {
        if (++ran > kMaxScriptsPerStep || m->actionsLeft() == 0) {
            reportLimit(hooks_, Limit::ScriptWork, "scripts ran past " + std::to_string(kMaxScriptsPerStep) + " scripts or " +
                                    std::to_string(kMaxActionsPerStep) +
                                    " actions in one frame; the rest of that frame's scripts were dropped");
            dropQueuedScripts();
            break;
        }
        if (initializeQueue_.empty() && !classQueue_.empty()) {
            PendingClass pending = std::move(classQueue_.front());
            classQueue_.pop_front();
            ClipState* clip = resolve(root, pending.path);
            if (clip && clip->serial.value == pending.instance && m->registeredClasses().count(pending.linkage))
                givePrototype(scriptObject(root, pending.path), pending.linkage);
            continue;
        }
        auto& from = !initializeQueue_.empty() ? initializeQueue_
                     : !constructQueue_.empty() ? constructQueue_
                     : !queue_.empty()          ? queue_
                                                : lateLoads_;
        QueuedScript script = std::move(from.front());
        from.pop_front();
        bindPlacedFields(root);
        runScript(root, std::move(script));
    }
}

void TimelinePlayer::queueUnload(ClipState& parent, const ClipPath& parentPath, int32_t depth)
{
    if (!scriptsEnabled_ || !root_ || !machine_)
        return;
    DisplayObject* object = parent.find(depth);
    if (!object || !object->clip)
        return;
    ClipPath path = parentPath;
    path.push_back(depth);
    queueUnloadOf(*object, path, 0, movieOf(parent).header.version);
}

void TimelinePlayer::removeChild(ClipState& parent, const ClipPath& parentPath, int32_t depth)
{
    DisplayObject* object = parent.find(depth);
    if (!object)
        return;
    const bool parks = scriptsEnabled_ && root_ && machine_ && object->clip && !object->unloading &&
                       hasUnloadHandler(*object, movieOf(parent).header.version);
    queueUnload(parent, parentPath, depth);
    object = parent.find(depth);
    if (parks && object) {
        DisplayObject parked = std::move(*object);
        parent.remove(depth);
        park(parent.children, std::move(parked));
        return;
    }
    parent.remove(depth);
}

bool TimelinePlayer::hasUnloadHandler(const DisplayObject& object, int version)
{
    for (const ClipEventHandler& handler : parseClipEvents(object.clipActions, version)) {
        if (handler.events & ClipEvent::Unload)
            return true;
    }
    ClipScript* script = object.clip ? object.clip->script.get() : nullptr;
    if (!script || !machine_)
        return false;
    try {
        return machine_->getEventHandler(avm1::Value(script->scriptObject()), "onUnload").isObject();
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
    return false;
}

void TimelinePlayer::park(std::vector<DisplayObject>& list, DisplayObject object)
{
    // The reference player's parting depth: -32769 minus the script depth, which is
    // -1 minus the depth as kept here; below every depth a timeline or script can use.
    object.depth = -1 - object.depth;
    object.unloading = true;
    // What it held has left with it: its children's unload handlers are queued, and
    // scripts reach none of them through it any more.
    if (object.clip)
        object.clip->children.clear();
    parkedSinceStep_ = true;
    auto at = std::ranges::lower_bound(list, object.depth, {}, &DisplayObject::depth);
    list.insert(at, std::move(object));
}

void TimelinePlayer::dropParked(ClipState& clip)
{
    std::erase_if(clip.children, [](const DisplayObject& o) { return o.unloading; });
    for (DisplayObject& child : clip.children) {
        if (child.clip)
            dropParked(*child.clip);
    }
}

void TimelinePlayer::queueUnloadOf(DisplayObject& object, ClipPath& path, int nesting, int version)
{
    constexpr int kMaxNesting = 64;
    if (!object.clip || nesting > kMaxNesting)
        return;
    bool hasHandler = !object.clipActions.empty() || object.clip->script.get();
    avm1::Object* self = hasHandler ? scriptObject(*root_, path) : nullptr;
    if (auto* clip = self ? self->as<avm1::MovieClipObject>() : nullptr; clip && clip->host())
        clip->rememberPath(clip->host()->targetPath(false), nesting == 0);
    // The clips inside unload first, as the reference player orders these events.
    for (DisplayObject& child : object.clip->children) {
        path.push_back(child.depth);
        queueUnloadOf(child, path, nesting + 1, movieOf(*object.clip).header.version);
        path.pop_back();
    }
    if (self) {
        for (const ClipEventHandler& handler : parseClipEvents(object.clipActions, version)) {
            if (handler.events & ClipEvent::Unload)
                queue_.push_back({path, handler.code, {}, self});
        }
        queue_.push_back({path, {}, "onUnload", self});
    }
}

ClipState* TimelinePlayer::findParked(ClipState& root, ClipPath& path, uint64_t instance)
{
    // Work queued for a clip before it left, found at its parting depth; the path
    // then names it there.
    if (path.empty() || path.back() < 0)
        return nullptr;
    const ClipPath parentPath(path.begin(), path.end() - 1);
    ClipState* parent = resolve(root, parentPath);
    if (!parent)
        return nullptr;
    const int32_t parting = -1 - path.back();
    for (DisplayObject& child : parent->children) {
        if (child.unloading && child.depth == parting && child.clip && child.clip->serial.value == instance) {
            path.back() = parting;
            return child.clip.get();
        }
    }
    return nullptr;
}

void TimelinePlayer::runScript(ClipState& root, QueuedScript script)
{
    if (script.constructs) {
        ClipState* clip = resolve(root, script.path);
        if (clip && clip->serial.value == script.instance && machine()->registeredClasses().count(script.method))
            applyRegisteredClass(scriptObject(root, script.path), script.method, nullptr, false);
        return;
    }
    if (script.object) {
        avm1::Machine& m = *machine();
        if (script.method.empty()) {
            m.runBlock(script.code, script.object);
            return;
        }
        try {
            avm1::Value handler = m.getEventHandler(avm1::Value(script.object), script.method);
            if (handler.isObject())
                m.call(handler, avm1::Value(script.object), {});
        } catch (const avm1::ScriptThrow& thrown) {
            m.reportUncaught(thrown.value);
        } catch (const avm1::ScriptAbort&) {
        }
        return;
    }
    ClipState* clip = resolve(root, script.path);
    ClipState* parked = nullptr;
    if (script.instance && script.runsParked && (!clip || clip->serial.value != script.instance))
        clip = parked = findParked(root, script.path, script.instance);
    if (!clip || (script.instance && clip->serial.value != script.instance))
        return;  // its clip went away before its turn
    // An event method can only have been set on a clip some script has reached.
    if (!script.method.empty() && !clip->script.get() && clip != &root)
        return;
    avm1::Object* object = nullptr;
    if (parked) {
        // Several clips may wait at one parting depth: this one is reached through
        // its parent, not by its path.
        scriptObject(root, ClipPath(script.path.begin(), script.path.end() - 1));
        if (ClipState* parent = resolve(root, ClipPath(script.path.begin(), script.path.end() - 1)))
            object = childObject(*parent, *parked);
    } else {
        object = scriptObject(root, script.path);
    }
    if (!object)
        return;
    avm1::Machine& m = *machine();
    if (script.method.empty()) {
        m.runBlock(script.code, object);
        return;
    }
    try {
        avm1::Value handler = m.getEventHandler(avm1::Value(object), script.method);
        if (handler.isObject()) {
            avm1::Object* previous = m.currentClip();
            m.setCurrentClip(object);
            m.call(handler, avm1::Value(object), {});
            m.setCurrentClip(previous);
        }
    } catch (const avm1::ScriptThrow& thrown) {
        m.reportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }
}

void TimelinePlayer::queueClipEvent(const DisplayObject& object, const ClipPath& path, uint32_t event, int version)
{
    if (object.clipActions.empty() || !scriptsEnabled_)
        return;
    // Initialize handlers of every clip just placed run before their construct handlers,
    // and both before the frame scripts queued with them.
    // A handler for several of the events asked for runs once for each.
    const uint64_t instance = object.clip ? object.clip->serial.value : 0;
    for (const ClipEventHandler& handler : parseClipEvents(object.clipActions, version)) {
        const uint32_t matched = handler.events & event;
        if (matched & ClipEvent::Initialize)
            initializeQueue_.push_back({path, handler.code, {}, nullptr, instance, false, true});
        if (matched & ClipEvent::Construct)
            constructQueue_.push_back({path, handler.code, {}, nullptr, instance, false, true});
        if (matched & ~(ClipEvent::Initialize | ClipEvent::Construct))
            queue_.push_back({path, handler.code, {}, nullptr, instance, false, event == ClipEvent::Load});
    }
}

void TimelinePlayer::advanceTree(ClipState& top, ClipPath& path, bool isRoot, bool enterFrames)
{
    // The reference player keeps every clip of a tree in one list, each new instance
    // joining at its head, and moves them on in that order: the most recently created
    // clip first, whatever its depth or nesting, the tree's root (the oldest) last. A
    // clip placed during the walk has entered its first frame already and waits for
    // the next one. Instance serials grow with creation, so they give that order.
    // Each clip's enterFrame (its onClipEvent handlers, then its onEnterFrame method)
    // comes just ahead of the scripts of the frame it moves into.
    struct Entry {
        uint64_t serial;
        ClipPath path;
    };
    std::vector<Entry> order;
    auto collect = [&](auto& self, ClipState& clip, ClipPath& at) -> void {
        for (DisplayObject& child : clip.children) {
            if (!child.clip || child.unloading)
                continue;
            at.push_back(child.depth);
            order.push_back({child.clip->serial.value, at});
            self(self, *child.clip, at);
            at.pop_back();
        }
    };
    collect(collect, top, path);
    std::ranges::stable_sort(order, std::greater<>{}, &Entry::serial);
    for (Entry& entry : order) {
        // Work done earlier in the walk may have removed or replaced it.
        const ClipPath parentPath(entry.path.begin(), entry.path.end() - 1);
        ClipState* parent = resolve(*root_, parentPath);
        DisplayObject* object = parent ? parent->find(entry.path.back()) : nullptr;
        if (!object || !object->clip || object->clip->serial.value != entry.serial)
            continue;
        ClipState& clip = *object->clip;
        if (enterFrames) {
            queueClipEvent(*object, entry.path, ClipEvent::EnterFrame, movieOf(*parent).header.version);
            if (clip.script.get())
                queue_.push_back({entry.path, {}, "onEnterFrame"});
        }
        advanceClip(clip, entry.path, false);
    }
    if (enterFrames && top.script.get())
        queue_.push_back({path, {}, "onEnterFrame"});
    advanceClip(top, path, isRoot);
}

void TimelinePlayer::advanceClip(ClipState& clip, ClipPath& path, bool isRoot)
{
    // Moves this clip's own timeline on; what its frame places starts at its first
    // frame, after the frame's scripts.
    const StepMode stepping{.instantiate = true};
    int count = clip.timeline->frameCount();
    if (clip.frame == 0) {
        applyFrame(clip, path, 1, stepping, true);
        clip.frame = 1;
        if (isRoot && scriptsEnabled_)
            queue_.push_back({path, {}, "onLoad"});
    } else if (clip.playing) {
        const TimelineDef& timeline = *clip.timeline;
        if (!isRoot && timeline.closedFrames >= 0 && clip.frame >= timeline.closedFrames) {
            // A sprite's playhead past its closed frames reads on to the end of the
            // stream: the open frame's tags run once, and only an End tag there sends
            // the playhead back to frame 1 (which a playhead on frame 1 already is).
            if (timeline.openLastFrame && clip.frame == timeline.closedFrames && !clip.readOpenFrame &&
                clip.frame < count) {
                applyFrame(clip, path, clip.frame + 1, stepping, true);
                clip.readOpenFrame = true;
            }
            if (timeline.ended && clip.frame != 1)
                rebuildTo(clip, path, 1);
        } else if (clip.frame >= clip.timeline->framesLoaded() && clip.frame < count) {
            // The frames after this one never arrived: wait here.
        } else if (clip.frame < count) {
            applyFrame(clip, path, clip.frame + 1, stepping, true);
            ++clip.frame;
        } else if (!clip.timeline->ended) {
            // The rest of its stream never came: it waits here for it.
        } else if (!isRoot || loop_) {
            if (count > 1)
                rebuildTo(clip, path, 1);
        } else {
            clip.playing = false;
        }
    }
}

void TimelinePlayer::gotoInClip(ClipState& clip, ClipPath& path, int frame)
{
    // Only frames that loaded can be reached.
    frame = std::clamp(frame, 1, std::max(1, clip.timeline->framesLoaded()));
    if (frame == clip.frame)
        return;
    clip.readOpenFrame = false;
    if (frame > clip.frame && frame - clip.frame <= seekIndex_->interval()) {
        // A short jump ahead applies each skipped frame's tags in turn, as the reference
        // player does (objects placed on the way are created, and their order shows in
        // the order scripts run); only the landing frame's scripts run. It costs no more
        // than a rebuild from the nearest kept plan would.
        for (int f = clip.frame + 1; f <= frame; ++f)
            applyFrame(clip, path, f, StepMode{.instantiate = true}, f == frame);
        clip.frame = frame;
    } else {
        // Far ahead or back: the list the target frame has when played from the start,
        // keeping what stays; nothing jumped over is created or runs a script.
        rebuildTo(clip, path, frame);
    }
    if (hooks_.jumped)
        hooks_.jumped(path, frame);
}

void TimelinePlayer::rebuildTo(ClipState& clip, ClipPath& path, int frame)
{
    if (clip.timeline == &movieOf(clip).root) {
        // Landing here loads every definition up to the target frame.
        int& reached = framesReached_[clip.movie];
        reached = std::max(reached, frame);
    }
    ClipState plan = seekIndex_->planAt(*clip.timeline, frame, [this, movie = clip.movie](ClipState& planned, int f) {
        planned.movie = movie;
        ClipPath unused;
        applyFrame(planned, unused, f, StepMode{.instantiate = false}, false);
    });

    const bool backward = frame < clip.frame;
    ReplayPlan replay;
    if (backward)
        replay = planReplay(clip, frame);

    std::vector<DisplayObject> rebuilt;
    rebuilt.reserve(plan.children.size());
    const size_t scriptsAt = queue_.size();
    for (DisplayObject& planned : plan.children) {
        DisplayObject* current = clip.find(planned.depth);
        // A target-frame placement that finds its depth taken (held by a script, or the
        // same instance still there) uses up the number a new instance would have had.
        auto useUpNumber = [&] {
            if (replay.numberedInTarget.contains(planned.depth))
                nextInstanceName();
        };
        // A clip a script made or moved holds its depth: the timeline's placement there
        // fails, as a PlaceObject onto a taken depth does.
        if (current && current->placedAt < 0 && !current->madeByScript &&
            (current->clip.get() || current->textField.get())) {
            useUpNumber();
            continue;
        }
        if (current && current->placedAt >= 0 && current->characterId == planned.characterId &&
            current->ratio == planned.ratio && !isButton(*current)) {
            // The same character with the same ratio: the instance lives on (a clip keeps
            // its own state and name, whichever frame placed it), taking the properties
            // the plan gives it. A button is made afresh, as the reference player does.
            DisplayObject kept = std::move(*current);
            kept.placedAt = planned.placedAt;
            if (!kept.scriptTransformed) {
                kept.matrix = planned.matrix;
                kept.colorTransform = planned.colorTransform;
            }
            kept.ratio = planned.ratio;
            kept.clipDepth = planned.clipDepth;
            kept.visible = planned.visible;
            kept.blendMode = planned.blendMode;
            kept.filters = planned.filters;
            kept.cacheAsBitmap = planned.cacheAsBitmap;
            kept.opaqueBackground = planned.opaqueBackground;
            useUpNumber();
            rebuilt.push_back(std::move(kept));
            continue;
        }
        rebuilt.push_back(std::move(planned));
        if (auto named = replay.survivorNames.find(rebuilt.back().depth);
            named != replay.survivorNames.end() && rebuilt.back().name.empty())
            rebuilt.back().name = named->second;
        nameUnnamed(rebuilt.back());
        if (isSprite(rebuilt.back()) || isButton(rebuilt.back())) {
            path.push_back(rebuilt.back().depth);
            instantiateClip(rebuilt.back(), path, clip.movie);
            path.pop_back();
        }
    }
    // Clips at the depths scripts own stay where they are, whoever made them. In the
    // timeline's depths a clip a script made goes like a timeline one; a timeline clip a
    // script moved stays only where the target frame places something (which it keeps
    // out), and otherwise goes too.
    auto planned = [&](int32_t depth) {
        return std::ranges::any_of(plan.children, [&](const DisplayObject& o) { return o.depth == depth; });
    };
    for (DisplayObject& current : clip.children) {
        const bool live = current.clip.get() != nullptr || current.textField.get() != nullptr;
        const bool scriptOwned = current.depth >= kScriptDepthBase;
        const bool holdsDepth = current.placedAt < 0 && !current.madeByScript && planned(current.depth);
        if (current.unloading ||
            (live && (scriptOwned || holdsDepth) &&
             std::ranges::none_of(rebuilt, [&](const DisplayObject& o) { return o.depth == current.depth; })))
            rebuilt.push_back(std::move(current));
    }
    // What the plan does not keep leaves the list: its unload handlers run, and a clip
    // with a handler of its own waits at its parting depth while they do.
    const int version = movieOf(clip).header.version;
    for (DisplayObject& dropped : clip.children) {
        if (!dropped.clip)
            continue;
        const bool parks = scriptsEnabled_ && machine_ && hasUnloadHandler(dropped, version);
        queueUnload(clip, path, dropped.depth);
        if (parks)
            park(rebuilt, std::move(dropped));
    }
    std::ranges::stable_sort(rebuilt, {}, &DisplayObject::depth);
    clip.children = std::move(rebuilt);
    clip.frame = frame;
    clip.readOpenFrame = false;
    if (backward)
        replayPassingClips(clip, path, replay);
    queueScripts(clip, path, frame, std::min(scriptsAt, queue_.size()));
    enterFrameSounds(clip, frame);
}

TimelinePlayer::ReplayPlan TimelinePlayer::planReplay(const ClipState& clip, int frame)
{
    // The reference player goes back by playing the tags again from frame 1. Each
    // placement on the way of an object that takes an "instanceN" name uses up the next
    // number, whether it makes a new instance or finds the one still there. A sprite
    // that a frame up to the target places and a later one up to it removes again comes
    // into being on the way and leaves at once.
    ReplayPlan replay;
    if (!scriptsEnabled_ || !machine_ || !root_)
        return replay;
    struct Placed {
        const PlaceObject* tag;
        int frame;
        std::string name;
        bool numberLater = false;  // placed by the target frame: numbered in the rebuild
    };
    std::unordered_map<int32_t, Placed> placed;
    const MovieDef& movie = movieOf(clip);
    const int last = std::min(frame, clip.timeline->frameCount());
    for (int f = 1; f <= last; ++f) {
        for (const ControlTag& tag : clip.timeline->frame(f).tags) {
            if (const auto* place_ = std::get_if<PlaceObject>(&tag)) {
                // A move keeps the instance there, even one that names a character.
                if (place_->move || !place_->characterId || placed.contains(place_->depth))
                    continue;
                std::string name;
                const bool numbered = !place_->name && takesInstanceNumber(movie.character(*place_->characterId));
                const bool later = numbered && f == last;
                if (numbered && !later)
                    name = nextInstanceName();
                placed.emplace(place_->depth, Placed{place_, f, std::move(name), later});
            } else if (const auto* remove = std::get_if<RemoveObject>(&tag)) {
                auto it = placed.find(remove->depth);
                if (it == placed.end())
                    continue;
                Placed& gone = it->second;
                if (gone.numberLater)
                    gone.name = nextInstanceName();
                const Character* character = movie.character(*gone.tag->characterId);
                if (character && character->kind == CharacterKind::Sprite && character->sprite &&
                    linkageOf(*gone.tag->characterId, clip.movie).empty())
                    replay.passing.push_back({gone.tag, gone.frame, gone.name});
                placed.erase(it);
            }
        }
    }
    for (auto& [depth, survivor] : placed) {
        if (survivor.numberLater)
            replay.numberedInTarget.insert(depth);
        else if (!survivor.name.empty())
            replay.survivorNames.emplace(depth, std::move(survivor.name));
    }
    return replay;
}

void TimelinePlayer::replayPassingClips(ClipState& clip, ClipPath& path, const ReplayPlan& replay)
{
    // The sprites that came and went on the way back: their initialize and load events
    // are queued, and a clip with an unload handler waits at its parting depth, where
    // those and its unload handler still find it. The list the target frame holds is
    // already in place; each passing clip is put in beside it and taken away again.
    const MovieDef& movie = movieOf(clip);
    for (const ReplayPlan::Passing& p : replay.passing) {
        if (!takeDisplayObjectSlot())
            return;
        const int32_t depth = p.tag->depth;
        // Whatever the target frame holds at that depth steps aside meanwhile.
        std::optional<DisplayObject> occupant;
        if (DisplayObject* there = clip.find(depth)) {
            occupant.emplace(std::move(*there));
            clip.remove(depth);
        }
        DisplayObject object;
        object.depth = depth;
        object.characterId = *p.tag->characterId;
        object.character = movie.character(object.characterId);
        object.placedAt = p.frame;
        applyPlacedFields(object, *p.tag);
        if (object.name.empty())
            object.name = p.name;
        DisplayObject& inserted = clip.insert(std::move(object));
        path.push_back(depth);
        instantiateClip(inserted, path, clip.movie);
        path.pop_back();
        removeChild(clip, path, depth);
        if (occupant)
            clip.insert(std::move(*occupant));
    }
}

void TimelinePlayer::applyFrame(ClipState& clip, ClipPath& path, int frame, StepMode mode, bool queueFrameScripts)
{
    const Frame& def = clip.timeline->frame(frame);
    const bool mainTimeline = clip.timeline == &movieOf(clip).root;
    int& reached = framesReached_[clip.movie];
    const int reachedBefore = reached;
    if (mode.instantiate && mainTimeline)
        reached = std::max(reached, frame);
    bool scripting = queueFrameScripts && mode.instantiate && scriptsEnabled_;
    if (queueFrameScripts && mode.instantiate)
        enterFrameSounds(clip, frame);
    for (size_t index = 0; index < def.tags.size(); ++index) {
        const ControlTag& tag = def.tags[index];
        std::visit(Overloaded{
                       [&](const PlaceObject& place_) {
                           const Character* character =
                               place_.characterId ? movieOf(clip).character(*place_.characterId) : nullptr;
                           if (character && !characterDefined(*character, mainTimeline, frame, index, reachedBefore))
                               return;
                           place(clip, path, place_, frame, mode);
                       },
                       [&](const RemoveObject& remove) {
                           if (mode.instantiate)
                               removeChild(clip, path, remove.depth);
                           else
                               clip.remove(remove.depth);
                       },
                       [&](const DoAction& action) {
                           if (scripting)
                               queue_.push_back({path, action.code, {}, nullptr, clip.serial.value});
                       },
                       [&](const InitAction& init) {
                           // In tag order with the initialize events of the clips the
                           // frame places, all of them ahead of construct events; a
                           // frame a goto passes over runs them too. Init actions for a
                           // sprite the stream defines only further on are passed over:
                           // they do not count as the sprite's one run.
                           const Character* sprite = movieOf(clip).character(init.spriteId);
                           if (sprite && !characterDefined(*sprite, mainTimeline, frame, index, reachedBefore))
                               return;
                           if (mode.instantiate && scriptsEnabled_ &&
                               initActionsRun_.insert({clip.movie, init.spriteId}).second)
                               initializeQueue_.push_back({path, init.code, {}});
                       },
                   },
                   tag);
    }
}

bool TimelinePlayer::characterDefined(const Character& character, bool mainTimeline, int frame, size_t tagIndex,
                                      int reachedBefore) const
{
    // The reference player fills its dictionary as the main timeline first plays through
    // the tag stream: a frame finds what earlier frames defined and what its own tags
    // define ahead of the placement. Once the main timeline has been further (a loop, a
    // jump back), everything defined up to there is known. Nested timelines run inside
    // a frame the main timeline has entered, so they see what it has reached.
    if (character.definedAt <= reachedBefore)
        return true;
    if (!mainTimeline)
        return false;
    return character.definedAt < frame || (character.definedAt == frame && character.definedAfter <= tagIndex);
}

void TimelinePlayer::enterFrameSounds(const ClipState& clip, int frame)
{
    if (hooks_.startSound) {
        for (const StartSoundDef& sound : clip.timeline->frame(frame).sounds)
            hooks_.startSound(sound);
    }
    if (hooks_.streamFrame && clip.timeline->stream)
        hooks_.streamFrame(clip, frame);
}

void TimelinePlayer::queueInitActions(const Frame& frame, const ClipPath& path, const MovieDef* movie)
{
    for (const ControlTag& tag : frame.tags) {
        if (const auto* init = std::get_if<InitAction>(&tag)) {
            // Ahead of what the frame places: the classes they register are those
            // the clips of this frame are constructed with.
            if (initActionsRun_.insert({movie, init->spriteId}).second)
                initializeQueue_.push_back({path, init->code, {}});
        }
    }
}

void TimelinePlayer::place(ClipState& clip, ClipPath& path, const PlaceObject& tag, int frame, StepMode mode)
{
    DisplayObject* existing = clip.find(tag.depth);
    if (existing && tag.move) {
        // A clip a script made or moved no longer follows the timeline's moves (a
        // RemoveObject at its depth still takes it away).
        if (existing->placedAt < 0)
            return;
        if (tag.characterId && *tag.characterId != existing->characterId && !isSprite(*existing) &&
            !isButton(*existing)) {
            // Replacing keeps the depth and the transform unless the tag gives new ones.
            // A sprite or button instance is never replaced: the move only moves it.
            if (mode.instantiate)
                queueUnload(clip, path, existing->depth);
            existing->characterId = *tag.characterId;
            existing->character = movieOf(clip).character(*tag.characterId);
            existing->clip.reset();
            existing->textField = {};
            if (existing->character && existing->character->kind == CharacterKind::EditText && existing->character->editText)
                existing->textField.emplace(
                    TextFieldState::fromDefinition(existing->character->editText, movieOf(clip).header.version,
                                                   movieOf(clip).outlineFonts));
            if (mode.instantiate && (isSprite(*existing) || isButton(*existing))) {
                path.push_back(existing->depth);
                instantiateClip(*existing, path, clip.movie);
                path.pop_back();
            }
        }
        const Matrix matrix = existing->matrix;
        const ColorTransform colorTransform = existing->colorTransform;
        // An instance keeps the name it was placed with.
        const std::string name = existing->name;
        applyPlacedFields(*existing, tag);
        existing->name = name;
        if (existing->scriptTransformed) {
            existing->matrix = matrix;
            existing->colorTransform = colorTransform;
        }
        return;
    }
    // A new object needs a character and, from SWF 6 on, a free depth; anything else is
    // ignored. Movies of SWF 9 and later hear of it in their trace output, at the moment
    // the tag runs (ahead of the frame's queued scripts). Before SWF 6 the new object
    // joins the one there, beneath it.
    const int version = movieOf(clip).header.version;
    if (existing && tag.characterId && mode.instantiate && scriptsEnabled_ && hooks_.trace && version >= 9)
        hooks_.trace("Warning: Failed to place object at depth " + std::to_string(tag.depth) + ".");
    if ((existing && version >= 6) || !tag.characterId)
        return;
    if (mode.instantiate && !takeDisplayObjectSlot())
        return;
    DisplayObject object;
    object.depth = tag.depth;
    object.characterId = *tag.characterId;
    object.character = movieOf(clip).character(object.characterId);
    object.placedAt = frame;
    applyPlacedFields(object, tag);
    if (object.character && object.character->kind == CharacterKind::EditText && object.character->editText) {
        object.textField.emplace(TextFieldState::fromDefinition(object.character->editText, movieOf(clip).header.version,
                                                               movieOf(clip).outlineFonts));
        if (mode.instantiate && scriptsEnabled_ && !object.textField->variable.empty())
            pendingBinds_.emplace_back(path, object.depth);
    }
    if (mode.instantiate)
        nameUnnamed(object);
    DisplayObject& inserted = clip.insert(std::move(object));
    if (mode.instantiate && (isSprite(inserted) || isButton(inserted))) {
        path.push_back(inserted.depth);
        instantiateClip(inserted, path, clip.movie);
        path.pop_back();
    }
}

bool TimelinePlayer::takesInstanceNumber(const Character* character)
{
    if (!character)
        return false;
    switch (character->kind) {
    case CharacterKind::Sprite:
    case CharacterKind::Button:
    case CharacterKind::EditText: return true;
    default: return false;
    }
}

std::string TimelinePlayer::nextInstanceName()
{
    return "instance" + std::to_string(++instancesNamed_);
}

void TimelinePlayer::nameUnnamed(DisplayObject& object)
{
    if (object.name.empty() && takesInstanceNumber(object.character))
        object.name = nextInstanceName();
}

bool TimelinePlayer::takeDisplayObjectSlot()
{
    if (displayObjectsLeft == 0) {
        reportLimit(hooks_, Limit::DisplayObjects, "the movie shows more than " + std::to_string(kMaxDisplayObjects) +
                                " objects at once; further ones are not placed");
        return false;
    }
    --displayObjectsLeft;
    return true;
}

void TimelinePlayer::instantiateClip(DisplayObject& object, ClipPath& path, const MovieDef* movie)
{
    if (path.size() > kMaxClipNesting) {
        reportLimit(hooks_, Limit::SpriteNesting, "sprites nest deeper than " + std::to_string(kMaxClipNesting) +
                                " levels; the deeper ones stay empty");
        return;
    }
    if (isButton(object)) {
        instantiateButton(object, path, movie);
        return;
    }
    ClipState& state = object.clip.emplace();
    state.timeline = object.character->sprite.get();
    state.movie = movie;
    const int version = (movie ? *movie : movie_).header.version;
    if (scriptsEnabled_ && root_) {
        // A clip of a registered class has its class's prototype from the start; its
        // onClipEvent(construct) handlers run next, and the class's constructor after
        // them, still ahead of the frame scripts queued with it.
        queueClipEvent(object, path, ClipEvent::Initialize | ClipEvent::Construct, version);
        std::string linkage = linkageOf(object.characterId, movie);
        if (!linkage.empty() && machine() && machine_->registeredClasses().count(linkage))
            givePrototype(scriptObject(*root_, path), linkage);
        else if (!linkage.empty())
            classQueue_.push_back({path, state.serial.value, linkage});
        if (!linkage.empty())
            constructQueue_.push_back({path, {}, linkage, nullptr, state.serial.value, true});
        queueClipEvent(object, path, ClipEvent::Load, version);
        // The onLoad method is asked for with the load event, ahead of the clip's first
        // frame: one that frame's own script sets comes too late to be called.
        // A clip with no clip event handlers at all is asked for it only once the
        // frame's other scripts, and all they set off, have run.
        (object.clipActions.empty() ? lateLoads_ : queue_)
            .push_back({path, {}, "onLoad", nullptr, state.serial.value, false, true});
    }
    applyFrame(state, path, 1, StepMode{.instantiate = true}, true);
    state.frame = 1;
}

void TimelinePlayer::queueScripts(const ClipState& clip, const ClipPath& path, int frame, size_t leadingAt)
{
    if (!scriptsEnabled_)
        return;
    queueInitActions(clip.timeline->frame(frame), path, clip.movie);
    bool placed = false;
    for (const ControlTag& tag : clip.timeline->frame(frame).tags) {
        if (std::holds_alternative<PlaceObject>(tag))
            placed = true;
        else if (const auto* action = std::get_if<DoAction>(&tag)) {
            if (placed)
                queue_.push_back({path, action->code, {}});
            else
                queue_.insert(queue_.begin() + static_cast<std::ptrdiff_t>(leadingAt++), {path, action->code, {}});
        }
    }
}

bool TimelinePlayer::exportReady(const MovieDef& movie, const std::string& name) const
{
    auto frame = movie.exportFrames.find(name);
    if (frame == movie.exportFrames.end())
        return false;
    auto reached = framesReached_.find(&movie == &movie_ ? nullptr : &movie);
    return reached != framesReached_.end() && reached->second >= frame->second;
}

std::string TimelinePlayer::linkageOf(uint16_t characterId, const MovieDef* movie) const
{
    if (characterId == 0)
        return {};
    // A symbol exported under several names takes the class registered for any of
    // them: registerClass names the symbol, not the name.
    std::string first;
    for (const auto& [name, id] : (movie ? *movie : movie_).exports) {
        if (id != characterId)
            continue;
        if (machine_ && machine_->registeredClasses().count(name))
            return name;
        if (first.empty())
            first = name;
    }
    return first;
}

void TimelinePlayer::givePrototype(avm1::Object* object, const std::string& linkage)
{
    avm1::Machine* m = machine();
    auto it = m && object ? m->registeredClasses().find(linkage) : decltype(m->registeredClasses().end()){};
    if (!m || !object || it == m->registeredClasses().end())
        return;
    try {
        avm1::Value proto = m->getMember(avm1::Value(it->second), "prototype");
        if (proto.asObject())
            object->setProto(proto.asObject());
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
}

void TimelinePlayer::callOnConstruct(avm1::Object* object)
{
    // Every clip a script makes calls its onConstruct method (MovieClip.prototype's, or
    // its class's) as it comes into being; what the method throws is reported there
    // and goes no further.
    avm1::Machine* m = machine();
    if (!m || !object)
        return;
    try {
        avm1::Value handler = m->getMember(avm1::Value(object), "onConstruct");
        if (handler.isObject())
            m->call(handler, avm1::Value(object), {});
    } catch (const avm1::ScriptThrow& thrown) {
        m->reportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }
}

void TimelinePlayer::applyRegisteredClass(avm1::Object* object, const std::string& linkage, avm1::Object* init,
                                          bool byScript)
{
    avm1::Machine* m = machine();
    if (!m || !object)
        return;
    auto copyInit = [&] {
        if (!init)
            return;
        // Copied by value first: setters the writes run may change `init`.
        std::vector<std::pair<std::string, avm1::Value>> props;
        for (const avm1::Property& p : init->properties())
            if (!p.isAccessor() && !(p.flags & avm1::PropertyFlag::DontEnum))
                props.emplace_back(p.name, p.value);
        avm1::RootedValues keep(*m);
        for (const auto& entry : props)
            keep.push_back(entry.second);
        for (auto& [name, value] : props)
            m->setMember(avm1::Value(object), name, value);
    };
    auto it = linkage.empty() ? m->registeredClasses().end() : m->registeredClasses().find(linkage);
    if (it == m->registeredClasses().end()) {
        try {
            copyInit();
        } catch (const avm1::ScriptThrow&) {
        } catch (const avm1::ScriptAbort&) {
        }
        if (byScript)
            callOnConstruct(object);
        return;
    }
    avm1::Object* ctor = it->second;
    try {
        avm1::Value proto = m->getMember(avm1::Value(ctor), "prototype");
        if (proto.asObject())
            object->setProto(proto.asObject());
        // The instance names its class in a hidden property of its own, and before
        // SWF 7 in its own `constructor` too; later ones find that on the prototype.
        object->put("__constructor__", avm1::Value(ctor), avm1::PropertyFlag::DontEnum);
        if (m->version() < 7)
            object->put("constructor", avm1::Value(ctor), avm1::PropertyFlag::DontEnum);
        copyInit();
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
    if (byScript)
        callOnConstruct(object);
    try {
        m->call(avm1::Value(ctor), avm1::Value(object), {});
    } catch (const avm1::ScriptThrow&) {
    } catch (const avm1::ScriptAbort&) {
    }
}

avm1::Object* TimelinePlayer::placeByScript(ClipState& container, const ClipPath& containerPath, DisplayObject object,
                                            const std::string& linkage, avm1::Object* init)
{
    if (!root_)
        return nullptr;
    queueUnload(container, containerPath, object.depth);
    container.remove(object.depth);
    object.placedAt = -1;
    object.madeByScript = true;
    int32_t depth = object.depth;
    DisplayObject& inserted = container.insert(std::move(object));
    ClipPath path = containerPath;
    path.push_back(depth);
    if (isSprite(inserted)) {
        ClipState& state = inserted.clip.emplace();
        state.timeline = inserted.character->sprite.get();
        state.movie = container.movie;
        const int version = movieOf(container).header.version;
        avm1::Object* self = scriptObject(*root_, path);
        queueClipEvent(inserted, path, ClipEvent::Initialize | ClipEvent::Construct, version);
        std::string name = linkage;
        if (name.empty() || !machine_ || !machine_->registeredClasses().count(name)) {
            std::string symbol = linkageOf(inserted.characterId, state.movie);
            if (name.empty() || (machine_ && machine_->registeredClasses().count(symbol)))
                name = symbol;
        }
        // The children of its first frame are there when its class's constructor runs
        // (their own constructors come after it), as the reference player's order shows.
        applyFrame(state, path, 1, StepMode{.instantiate = true}, true);
        state.frame = 1;
        applyRegisteredClass(self, name, init);
        queueClipEvent(inserted, path, ClipEvent::Load, version);
        // `inserted` may have moved while the constructor ran; find it again.
        ClipState* fresh = resolve(*root_, path);
        // Its onLoad (its class's, or one the script sets next) comes once the
        // script that made it is done, as for clips the timeline places.
        queue_.push_back({path, {}, "onLoad", nullptr, fresh ? fresh->serial.value : 0});
        return self;
    }
    if (isButton(inserted)) {
        // A button takes no initial properties and runs no class constructor.
        instantiateButton(inserted, path, container.movie);
        return scriptObject(*root_, path);
    }
    return nullptr;
}

void TimelinePlayer::queueAction(const ClipPath& target, std::span<const uint8_t> code)
{
    if (scriptsEnabled_)
        queue_.push_back({target, code, {}});
}

void TimelinePlayer::queueMethod(const ClipPath& clip, std::string method)
{
    if (scriptsEnabled_)
        queue_.push_back({clip, {}, std::move(method)});
}

} // namespace swf::movie
