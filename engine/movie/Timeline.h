#pragma once

// Plays timelines: steps clips frame by frame, applies control tags to display lists,
// carries out gotos (a backward goto rebuilds the list as if played from frame 1) and
// runs the scripts that entering frames queues (init actions, frame scripts, clip
// events), after the display-list changes.

#include "engine/avm1/Value.h"
#include "engine/movie/DisplayList.h"
#include "engine/movie/LoadedContent.h"
#include "engine/movie/Limits.h"
#include "engine/movie/MovieDef.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace swf::avm1 {
class Machine;
class Object;
class SoundHost;
class NetStreamHost;
class LoadHost;
class BitmapFilterHost;
}

namespace swf::movie {

class SeekIndex;

// Where scripts reach outside the timeline.
struct MovieHooks {
    std::function<void(const std::string&)> trace;
    std::function<void(const std::string& url, const std::string& target)> getUrl;
    std::function<void()> toggleQuality;
    std::function<void()> stopSounds;
    // A frame entered (played into or landed on by a goto, not skipped over) starts
    // its event sounds, and a timeline with a stream says which frame it is on.
    std::function<void(const StartSoundDef&)> startSound;
    std::function<void(const ClipState& clip, int frame)> streamFrame;
    // What the Sound class plays through.
    avm1::SoundHost* soundHost = nullptr;
    // What NetStream plays local files through.
    avm1::NetStreamHost* netStreamHost = nullptr;
    // What loads and shared objects reach files through.
    avm1::LoadHost* loadHost = nullptr;
    // The renderer's filters, for BitmapData.applyFilter.
    avm1::BitmapFilterHost* bitmapFilterHost = nullptr;
    // A limit that keeps hostile movies in check cut something short; the text names
    // the limit and its value. It may come every frame: listeners keep the first.
    std::function<void(Limit, const std::string&)> limitReached;
    // A goto (a script's or the player's seek) landed the clip at `clip` on `frame`;
    // what plays along with the timeline (stream sound) resumes there.
    std::function<void(const std::vector<int32_t>& clip, int frame)> jumped;
    // A movie loaded into _level0 took the stage: its size, frame rate and background
    // rule from now on, as the first movie's did.
    std::function<void(const MovieDef& movie)> levelZeroReplaced;
    // The main movie's full address ("file:///dir/movie.swf"), as its _url reports it and
    // against which the addresses of movies loaded into it are taken; empty when unknown.
    std::string movieUrl;
    // The script machine was made, its built-in objects in place: the player tells
    // it what only the player knows (the size of its area).
    std::function<void(avm1::Machine&)> machineStarted;
};

// A clip is named by the depths leading to it from the root, so that queued work
// survives the display lists changing underneath it.
using ClipPath = std::vector<int32_t>;
// A path that starts with this step and a level number N names the root of _levelN
// (N >= 1) and, with further depths, the clips inside it. No depth takes this value.
constexpr int32_t kLevelStep = std::numeric_limits<int32_t>::min();
// Level numbers run from 0 below this.
constexpr int kLevelLimit = 0xFFFF;

class TimelinePlayer {
public:
    TimelinePlayer(const MovieDef& movie, MovieHooks hooks);
    ~TimelinePlayer();

    // Scripts off: frames play their display-list changes only (AS3 movies, seeking).
    void setScriptsEnabled(bool enabled) { scriptsEnabled_ = enabled; }
    bool scriptsEnabled() const { return scriptsEnabled_; }
    // Whether the main timeline starts again after its last frame (sprites always do).
    void setLoop(bool loop) { loop_ = loop; }
    bool loop() const { return loop_; }
    // Opens `url` in `target` as getURL does (a clicked link in HTML text).
    void openUrl(const std::string& url, const std::string& target)
    {
        if (hooks_.getUrl)
            hooks_.getUrl(url, target);
    }

    const MovieDef& movie() const { return movie_; }
    // The movie `clip` places from and runs the scripts of: a loaded one or the main one.
    const MovieDef& movieOf(const ClipState& clip) const { return clip.movie ? *clip.movie : movie_; }
    // Keeps a movie loaded into a clip alive while its scripts may be queued; the
    // player lets go of those no clip shows once nothing is queued.
    void keepLoaded(std::shared_ptr<const LoadedContent> content) { loaded_.push_back(std::move(content)); }
    // The address `movie` was loaded from; empty for the main movie.
    std::string urlOf(const MovieDef* movie) const;
    // The script object of _levelN, or null when nothing is loaded there.
    avm1::Object* levelObject(int number);
    // _levelN (N >= 1), made empty when there is none yet; null for other numbers.
    avm1::Object* makeLevel(int number);
    // The placement of _levelN's root on the stage, what its _x, _y, scale and colour
    // change: the level's own, or for level 0 one made when `create` asks (until then
    // it is null and the movie sits where the stage has it).
    DisplayObject* levelPlacement(int number, bool create);
    // unloadMovieNum(N): the level leaves, its clips' unload handlers queued.
    void removeLevel(int number);
    // A movie arrived in _level0: every level above goes, and the new movie's stage
    // settings take over.
    void replaceLevelZero(const MovieDef& movie);
    // Where scripts reach outside the timeline.
    const MovieHooks& hooks() const { return hooks_; }
    const SeekIndex& seekIndex() const { return *seekIndex_; }

    // A fresh main timeline before its first frame.
    ClipState makeRoot() const;

    // One frame of the movie clock: enterFrame events are queued, the main timeline
    // moves on if it is playing (entering frame 1 the first time), every nested clip
    // likewise, then the queued scripts run and script timers advance by a frame.
    void step(ClipState& root);
    // Moves the clip at `path` to `frame` (clamped into range), queuing the target
    // frame's scripts; runs them when `runNow`. The display list is rebuilt to the
    // target frame: instances that stay keep their state, those the frame does not
    // hold leave (their unload handlers queued), the frames jumped over run no script.
    // A main timeline not yet started enters the target frame as its first.
    void gotoFrame(ClipState& root, const ClipPath& path, int frame, bool runNow);
    // Runs queued scripts, oldest first, within the per-frame budget.
    void runQueuedScripts(ClipState& root);

    static ClipState* resolve(ClipState& root, const ClipPath& path);

    // Pointer events: a button's script, run with the clip at `target` (the button's
    // parent) as its timeline, or a handler method of the clip at `clip`. They wait in
    // the frame's script queue until runQueuedScripts.
    void queueAction(const ClipPath& target, std::span<const uint8_t> code);
    void queueMethod(const ClipPath& clip, std::string method);
    // Shows state `visual` of the button at `depth` of the clip at `parent`: the
    // characters of records in both states stay, the others leave or are placed.
    // Returns false when there is no such button or it shows that state already.
    bool showButtonState(ClipState& root, const ClipPath& parent, int32_t depth, ButtonVisual visual);

    // Plays an event sound from outside the timeline (a button's transition).
    void startSound(const StartSoundDef& sound)
    {
        if (hooks_.startSound)
            hooks_.startSound(sound);
    }

    // The script machine, created on first use (null while scripts are off).
    avm1::Machine* machine();
    // The machine when scripts have made one, without making one.
    avm1::Machine* existingMachine() const { return machine_.get(); }
    // The script object of `clip`, creating it (and its parents') on first use.
    avm1::Object* scriptObject(ClipState& root, const ClipPath& path);
    // The script object of `child`, a clip of `parent`, which has its own already:
    // reached through the parent, not by depth, since several objects may share one.
    avm1::Object* childObject(ClipState& parent, ClipState& child);
    // The script object of the text field `field` of `container`, created on first use;
    // the container's own must exist already.
    avm1::Object* textFieldObject(ClipState& container, DisplayObject& field);
    // A copy of the text field `field` of `container` at `depth`, as duplicateMovieClip
    // makes one: a field its character defines afresh (one made by createTextField
    // starts empty with the same box), with the original's transform and colour; what
    // scripts changed in the original is not carried over. Its script object.
    avm1::Object* duplicateTextField(ClipState& container, const ClipPath& containerPath, const DisplayObject& field,
                                     const std::string& name, int depth);
    // A text field's variable: a name on the timeline `owner` stands for, or a path
    // to another one ("a.b.name", "/a/b:name", "_parent.name").
    void setBoundVariable(avm1::Object* owner, std::string_view variable, const avm1::Value& value);
    // Shows in every text field with a variable the value of that variable, as the
    // frame ends; a variable not yet set takes the field's text.
    void syncBoundFields(ClipState& root);
    // Binds `field` to its variable as it appears or its variable changes: a variable
    // holding a value gives the field its text, one not yet set takes `initial`.
    void bindTextField(avm1::Object* owner, TextFieldState& field, const std::string& initial);
    // The same for a field `find` gives (null once it is gone), looked up again after
    // any script the binding runs.
    void bindTextField(avm1::Object* owner, const std::string& variable, const std::string& initial,
                       const std::function<TextFieldState*()>& find);
    // The value of a field's variable, or undefined when it has none or it is not set.
    avm1::Value boundValue(avm1::Object* owner, std::string_view variable);

    // What a clip's script face asks of the timeline while scripts run.
    //
    // Whether a step, goto or event has given the timeline its root yet, and the
    // script object of the clip at `path` from that root, created on first use.
    bool running() const { return root_ != nullptr; }
    avm1::Object* clipObject(const ClipPath& path) { return root_ ? scriptObject(*root_, path) : nullptr; }
    // A script's goto in the clip at `path`.
    void gotoInClip(ClipState& clip, ClipPath& path, int frame);
    // Queues the unload handlers of the object at `depth` of `parent` (and of the
    // clips inside it) before it leaves the display list.
    void queueUnload(ClipState& parent, const ClipPath& parentPath, int32_t depth);
    // Takes the object at `depth` of `parent` off the display list, its unload handlers
    // queued. A clip with an unload handler of its own does not go at once: it moves to
    // its parting depth and stays there, reachable by name, until the next frame step,
    // so the handler (and the scripts queued with it) still find it where it was.
    void removeChild(ClipState& parent, const ClipPath& parentPath, int32_t depth);
    // Puts a clip made by a script (duplicate, attach, create) into `container`,
    // replacing whatever is at its depth; returns its script object.
    // `init` (may be null) gives the new clip properties before its class's constructor.
    avm1::Object* placeByScript(ClipState& container, const ClipPath& containerPath, DisplayObject object,
                                const std::string& linkage = {}, avm1::Object* init = nullptr);
    // createEmptyMovieClip's character: a sprite of one empty frame.
    const Character& emptySprite() const { return emptySprite_; }
    // The player-wide settings every clip's _quality, _highquality and _soundbuftime
    // read and set.
    struct ScriptSettings {
        // 0 low, 1 medium, 2 high, 3 best.
        int quality = 2;
        int32_t soundBufferTime = 5;
    };
    ScriptSettings& scriptSettings() { return settings_; }
    // Where the pointer is over the stage (stage twips), for _xmouse and _ymouse; the
    // stage's origin until the window says otherwise.
    void setPointer(Point stageTwips) { pointer_ = stageTwips; }
    Point pointer() const { return pointer_; }
    // Whether the main timeline of `movie` has come as far as the frame that exports
    // `name` (a name it does not export is never ready).
    bool exportReady(const MovieDef& movie, const std::string& name) const;

private:

    // Where a field's variable lives: the object and the name on it; owner null when
    // the path leads nowhere.
    std::pair<avm1::Object*, std::string> locateVariable(avm1::Object* owner, std::string_view variable);
    void collectBoundFields(ClipState& clip, ClipPath& path, int nesting, std::vector<ClipPath>& out);

    struct StepMode {
        bool instantiate = true;   // false: plan a list without creating clip states
    };
    struct QueuedScript {
        ClipPath path;
        std::span<const uint8_t> code;
        std::string method;  // set: call this method of the clip instead
        // Set for clips already gone (unload handlers): run on this object.
        avm1::Object* object = nullptr;
        // Set: the clip instance the work belongs to; another instance at its path
        // (the first one removed and replaced) does not run it.
        uint64_t instance = 0;
        // Set: run the constructor of the class registered for the linkage name in
        // `method` on the clip (its construct handlers have run by then).
        bool constructs = false;
        // An event of the clip's coming (initialize, construct, load): it still runs
        // once the clip left and waits at its parting depth. Frame actions and other
        // events run only while it is on the stage.
        bool runsParked = false;
    };
    // A placed clip whose symbol had no class registered yet: it gets the class
    // registered for its linkage name by the time its turn comes (the init actions
    // queued ahead of it may register one).
    struct PendingClass {
        ClipPath path;
        uint64_t instance = 0;
        std::string linkage;
    };

    // Moves every clip of the tree under `top` on by a frame, then `top` itself.
    // `enterFrames`: each clip's enterFrame handlers are queued ahead of its frame.
    void advanceTree(ClipState& top, ClipPath& path, bool isRoot, bool enterFrames);
    void advanceClip(ClipState& clip, ClipPath& path, bool isRoot);
    void rebuildTo(ClipState& clip, ClipPath& path, int frame);
    // What playing frames 1 to the target over does on a backward goto, beyond the
    // list it ends with: the sprites placed and removed again on the way, and the
    // "instanceN" names the placements on the way take, by depth for those that stay.
    struct ReplayPlan {
        struct Passing {
            const PlaceObject* tag;
            int frame;
            std::string name;
        };
        std::vector<Passing> passing;
        std::unordered_map<int32_t, std::string> survivorNames;
        // Depths the target frame itself places an unnamed object at: its number is
        // taken when the rebuild comes to it, after the numbers of the children of
        // the clips placed before it, as the replay makes each clip's children with it.
        std::unordered_set<int32_t> numberedInTarget;
    };
    ReplayPlan planReplay(const ClipState& clip, int frame);
    // Creates and takes away again the sprites the replay passes through.
    void replayPassingClips(ClipState& clip, ClipPath& path, const ReplayPlan& replay);
    // The clip `instance` parked at the parting depth of the last step of `path`, whose
    // last step then names it there; null when there is none.
    static ClipState* findParked(ClipState& root, ClipPath& path, uint64_t instance);
    void applyFrame(ClipState& clip, ClipPath& path, int frame, StepMode mode, bool queueScripts);
    void place(ClipState& clip, ClipPath& path, const PlaceObject& tag, int frame, StepMode mode);
    // Whether a placement at tag `tagIndex` of `frame` finds `character` defined yet;
    // `reachedBefore`: the furthest frame the movie's main timeline entered before.
    bool characterDefined(const Character& character, bool mainTimeline, int frame, size_t tagIndex,
                          int reachedBefore) const;
    // `movie`: the movie the object's parent places from (null: the main one).
    void instantiateClip(DisplayObject& object, ClipPath& path, const MovieDef* movie);
    void instantiateButton(DisplayObject& object, ClipPath& path, const MovieDef* movie);
    // Gives an object the timeline places without a name the reference player's
    // "instanceN", numbered in creation order across the whole movie; shapes take none.
    void nameUnnamed(DisplayObject& object);
    // Objects of these kinds are named "instanceN" when placed without a name.
    static bool takesInstanceNumber(const Character* character);
    std::string nextInstanceName();
    // Counts one more object shown against the limit; false (reported) when it is spent.
    bool takeDisplayObjectSlot();
    // Brings a button's children in line with the records of its shown state.
    void syncButtonChildren(DisplayObject& button, ClipPath& path);
    // Queues a landed-on frame's scripts. Those its tags hold ahead of the frame's first
    // placement go in at `leadingAt` (ahead of the scripts of the clips the landing
    // created, as when the frame is played in order); the rest at the end.
    void queueScripts(const ClipState& clip, const ClipPath& path, int frame, size_t leadingAt);
    // The sounds of a frame entered: its event sounds and its stream's place.
    void enterFrameSounds(const ClipState& clip, int frame);
    void queueInitActions(const Frame& frame, const ClipPath& path, const MovieDef* movie);
    // `version`: the SWF version of the movie the handlers were written for.
    void queueClipEvent(const DisplayObject& object, const ClipPath& path, uint32_t event, int version);
    void runScript(ClipState& root, QueuedScript script);
    void queueUnloadOf(DisplayObject& object, ClipPath& path, int nesting, int version);
    // Whether `object` is a clip with an unload handler of its own: an
    // onClipEvent(unload) or an onUnload method.
    bool hasUnloadHandler(const DisplayObject& object, int version);
    // Moves a clip with an unload handler out of `list` to its parting depth.
    void park(std::vector<DisplayObject>& list, DisplayObject object);
    // Takes away, from the whole tree under `clip`, the clips parked since the last step.
    static void dropParked(ClipState& clip);
    // Gives a clip made from an exported symbol its registered class.
    // `init`, when given, is copied onto the object between giving it the class's
    // prototype and running the constructor.
    // `byScript`: a clip a script made, which calls its onConstruct method first.
    void applyRegisteredClass(avm1::Object* object, const std::string& linkage, avm1::Object* init = nullptr,
                              bool byScript = true);
    // Gives a clip the prototype of the class registered for `linkage`, if any.
    void givePrototype(avm1::Object* object, const std::string& linkage);
    void callOnConstruct(avm1::Object* object);
    std::string linkageOf(uint16_t characterId, const MovieDef* movie) const;

    const MovieDef& movie_;
    MovieHooks hooks_;
    bool scriptsEnabled_ = true;
    bool loop_ = true;
    std::deque<QueuedScript> queue_;
    // Initialize and construct events of clips just placed: they run ahead of the frame
    // scripts queued with them, even those earlier in the tag stream.
    std::deque<QueuedScript> constructQueue_;
    std::deque<PendingClass> classQueue_;  // run after the initialize queue, before the construct one
    // Their initialize events, which come before all of those.
    std::deque<QueuedScript> initializeQueue_;
    // onLoad methods of placed clips without clip events: after everything else.
    std::deque<QueuedScript> lateLoads_;
    // Whether any of the queues above holds work; dropping them all.
    bool scriptsQueued() const;
    void dropQueuedScripts();
    // Init actions run, by movie (null: the main one) and sprite.
    std::set<std::pair<const MovieDef*, uint16_t>> initActionsRun_;
    // Movies loaded into clips: kept while anything may still run their scripts.
    std::vector<std::shared_ptr<const LoadedContent>> loaded_;
    std::shared_ptr<avm1::Machine> machine_;
    ClipState* root_ = nullptr;  // the root of the call in progress
    // Fields with a variable placed by the timeline, by clip path and depth, bound
    // before the next script runs.
    std::vector<std::pair<ClipPath, int32_t>> pendingBinds_;
    void bindPlacedFields(ClipState& root);
    // Gives `clip` its script object and host; `level`: the level it is the root of.
    void attachScript(avm1::Machine& m, ClipState& clip, ClipState* parent, int level);
    // What each timeline places at each frame, for rebuilding lists on gotos.
    std::unique_ptr<SeekIndex> seekIndex_;
    // createEmptyMovieClip's character: a sprite of one empty frame.
    Character emptySprite_;
    Point pointer_{};
    ScriptSettings settings_;
    // The furthest frame each movie's main timeline has entered (null: the main movie).
    std::unordered_map<const MovieDef*, int> framesReached_;
    // The number of the last "instanceN" name given.
    uint32_t instancesNamed_ = 0;
    uint64_t stepsSinceCollect_ = 0;
    // Whether a clip was parked since the last step: only then is the tree walked to
    // take parked clips away.
    bool parkedSinceStep_ = false;
    size_t heapAfterCollect_ = 0;
};

} // namespace swf::movie
