#pragma once

// The ActionScript 1/2 machine of one movie: the heap, the global object and the
// built-in classes, the conversions that may call into objects, property access with
// prototype chains and accessors, function calls, and the movie-wide script budget.
// The action loop itself is the Interpreter's.

#include "engine/avm1/FunctionObject.h"
#include "engine/avm1/Heap.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/TextFormatObject.h"
#include "engine/avm1/Value.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swf {
struct BitmapData;
}

namespace swf::avm1 {

class SoundHost;
class NetStreamHost;
class BitmapFilterHost;
class LoadHost;
class LoadQueue;
class InterpreterState;

enum class ExecutionResult { Finished, BudgetExhausted };

struct Prototypes {
    Object* object = nullptr;
    Object* function = nullptr;
    Object* array = nullptr;
    Object* string = nullptr;
    Object* number = nullptr;
    Object* boolean = nullptr;
    Object* movieClip = nullptr;
    Object* date = nullptr;
    Object* error = nullptr;
    Object* textField = nullptr;
    Object* color = nullptr;
    // Prototypes of classes installed in their own files, by class name, so that a new
    // class needs no field here.
    std::vector<std::pair<std::string, Object*>> byName;

    Object* named(std::string_view name) const
    {
        for (const auto& [n, p] : byName) {
            if (n == name)
                return p;
        }
        return nullptr;
    }
    void setNamed(std::string_view name, Object* proto)
    {
        for (auto& [n, p] : byName) {
            if (n == name) {
                p = proto;
                return;
            }
        }
        byName.emplace_back(std::string(name), proto);
    }

    template <class F>
    void forEach(F&& f) const
    {
        for (Object* p : {object, function, array, string, number, boolean, movieClip, date, error, textField, color})
            f(p);
        for (const auto& entry : byName)
            f(entry.second);
    }
};

class ClipHost;
class TextFieldHost;
class MovieClipObject;
class TextFieldObject;

// Values held by something on the C++ stack while it runs (an interpreter frame, the
// arguments of a call in progress), shown to the collector for as long as it lives.
// Registered on construction, unregistered on destruction, strictly nested.
class StackRoot {
public:
    explicit StackRoot(Machine& machine);
    virtual ~StackRoot();
    StackRoot(const StackRoot&) = delete;
    StackRoot& operator=(const StackRoot&) = delete;
    virtual void visitEdges(Visitor& visitor) const = 0;
    const StackRoot* previous() const { return previous_; }

private:
    Machine& machine_;
    StackRoot* previous_;
};

// A list of values the collector sees for as long as the list lives: for values taken
// off the operand stack, or gathered by a native, before they are stored anywhere the
// collector looks. Lists may be moved and destroyed in any order.
class RootedValues : public std::vector<Value> {
public:
    explicit RootedValues(Machine& machine);
    RootedValues(Machine& machine, std::vector<Value> values);
    RootedValues(RootedValues&& other) noexcept;
    RootedValues& operator=(RootedValues&& other) noexcept
    {
        std::vector<Value>::operator=(std::move(other));
        return *this;
    }
    RootedValues(const RootedValues&) = delete;
    RootedValues& operator=(const RootedValues&) = delete;
    ~RootedValues();

private:
    friend class Machine;
    void link();
    Machine* machine_;
    RootedValues* prev_ = nullptr;
    RootedValues* next_ = nullptr;
};

// A StackRoot visiting through a callable.
template <class F>
class ScopedRoot final : public StackRoot {
public:
    ScopedRoot(Machine& machine, F visit) : StackRoot(machine), visit_(std::move(visit)) {}
    void visitEdges(Visitor& visitor) const override { visit_(visitor); }

private:
    F visit_;
};

// The player's name and version as scripts read it ($version, getVersion(),
// System.capabilities.version).
inline constexpr std::string_view kPlayerVersion = "LNX 32,0,0,0";

class Machine {
public:
    explicit Machine(int swfVersion);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    int version() const { return version_; }
    bool caseSensitive() const { return version_ >= 7; }
    // Whether `name` is the prototype link's member: "__proto__", in any case before SWF 7.
    bool isProtoName(std::string_view name) const
    {
        constexpr std::string_view proto = "__proto__";
        return name.size() == proto.size() &&
               (name == proto || (!caseSensitive() && std::ranges::equal(name, proto, [](char a, char b) {
                                      return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b;
                                  })));
    }
    Heap& heap() { return heap_; }
    Object* global() const { return global_; }
    const Prototypes& protos() const { return protos_; }
    Prototypes& protos() { return protos_; }

    // Where trace() lines go.
    void setTraceSink(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }
    void trace(const std::string& line);
    // A throw nothing caught ends its script; the player says so in the trace output.
    void reportUncaught(const Value& thrown);
    // The movie's clips by level, for _levelN and _root (level 0).
    void setLevelResolver(std::function<Object*(int)> resolver) { levelResolver_ = std::move(resolver); }
    Object* level(int number) const { return levelResolver_ ? levelResolver_(number) : nullptr; }
    // The movie's sound side, for the Sound class; null where there is none.
    void setSoundHost(SoundHost* host) { soundHost_ = host; }
    SoundHost* soundHost() const { return soundHost_; }
    // Bitmaps of the movie's library by linkage name (BitmapData.loadBitmap): the
    // decoded pixels, or null when the name exports no bitmap.
    using BitmapResolver = std::function<std::shared_ptr<const swf::BitmapData>(const std::string&)>;
    void setBitmapResolver(BitmapResolver resolver) { bitmapResolver_ = std::move(resolver); }
    std::shared_ptr<const swf::BitmapData> libraryBitmap(const std::string& name) const
    {
        return bitmapResolver_ ? bitmapResolver_(name) : nullptr;
    }
    // The renderer's filters for BitmapData.applyFilter; null where there are none.
    void setBitmapFilterHost(BitmapFilterHost* host) { bitmapFilterHost_ = host; }
    BitmapFilterHost* bitmapFilterHost() const { return bitmapFilterHost_; }
    void setNetStreamHost(NetStreamHost* host) { netStreamHost_ = host; }
    NetStreamHost* netStreamHost() const { return netStreamHost_; }
    // Where loads and shared objects reach files, for the loading classes; null where
    // there is none (every load fails).
    void setLoadHost(LoadHost* host) { loadHost_ = host; }
    LoadHost* loadHost() const { return loadHost_; }
    // Loads started by scripts, completed once a frame by dispatchLoads.
    LoadQueue& loads();
    // Lays text out for TextFormat.getTextExtent: `text` in `format` (its unset settings
    // a new field's), wrapped to `width` pixels when given; nullopt where text cannot be
    // measured (no measurer, or no fonts to measure with).
    using TextMeasurer = std::function<std::optional<TextExtent>(const TextFormatData& format, const std::string& text,
                                                                 std::optional<double> width)>;
    void setTextMeasurer(TextMeasurer measurer) { textMeasurer_ = std::move(measurer); }
    std::optional<TextExtent> measureText(const TextFormatData& format, const std::string& text,
                                          std::optional<double> width) const
    {
        return textMeasurer_ ? textMeasurer_(format, text, width) : std::nullopt;
    }
    // Library symbols for attachMovie / registerClass: constructor by linkage name.
    std::unordered_map<std::string, Object*>& registeredClasses() { return registeredClasses_; }
    // The names registerClass was given, oldest first (a name registered again moves to
    // the end): AMF writes an object's class under the newest name naming it.
    std::vector<std::string>& classAliasOrder() { return classAliasOrder_; }

    // Budget shared by everything run until the next reset: a script that runs too long
    // is stopped, as the reference player stops it.
    void resetBudget(size_t actions) { actionsLeft_ = actions; }
    size_t actionsLeft() const { return actionsLeft_; }
    void spendAction();

    // Runs a frame script (or clip event) on `clip`. Errors stop the block quietly.
    ExecutionResult runBlock(std::span<const uint8_t> code, Object* clip);
    // Decoded blocks and spare call frames the interpreter keeps between runs.
    InterpreterState& interpreterState();

    // Object creation.
    Object* newObject(Object* proto = nullptr);
    Object* newArray(std::span<const Value> items = {});
    Object* newNativeFunction(std::string name, NativeFunction fn, NativeFunction construct = nullptr);
    // A function that serves as a class: gets `prototype` with `constructor`.
    Object* newClass(std::string name, Object* prototype, NativeFunction call, NativeFunction construct = nullptr);
    MovieClipObject* newClipObject(ClipHost* host);
    TextFieldObject* newTextFieldObject(TextFieldHost* host);
    // A new object of class T (Object or a subclass) with the prototype given.
    template <class T, class... Args>
    T* make(Object* proto, Args&&... args)
    {
        return heap_.template make<T>(proto, std::forward<Args>(args)...);
    }
    void defineMethod(Object* target, std::string_view name, NativeFunction fn);

    // Conversions.
    std::string toString(const Value& v);
    double toNumber(const Value& v);
    bool toBoolean(const Value& v) const { return v.toBoolean(version_); }
    Value toPrimitive(const Value& v, bool preferString = false);
    Object* toObject(const Value& v);  // boxes primitives; null for undefined/null
    std::string typeOf(const Value& v);
    int32_t toInt32(const Value& v) { return avm1::toInt32(toNumber(v)); }

    // Comparisons.
    bool looseEquals(const Value& a, const Value& b);
    bool strictEquals(const Value& a, const Value& b) const;
    Value primitiveForEquality(const Value& v);
    bool implementsInterface(Object* prototype, Object* constructor, int depth);
    // a < b: true, false, or undefined (NaN involved).
    Value lessThan(const Value& a, const Value& b);
    // a > b: the left operand still converts first.
    Value greaterThan(const Value& a, const Value& b) { return compareLess(a, b, true); }
    bool instanceOf(const Value& v, Object* constructor);

    // Properties.
    Value getMember(const Value& target, std::string_view name)
    {
        return getMember(target, name, heap_.atoms().find(name));
    }
    // The same read without asking any __resolve (getters still run).
    Value getMemberWithoutResolve(const Value& target, std::string_view name);
    // The player's read of an event method (onUnload ...) of a clip it is taking away:
    // unlike a script's read, it still finds the members of a clip already removed.
    Value getEventHandler(const Value& target, std::string_view name);
    void setMember(const Value& target, std::string_view name, Value value);
    // The same with the name's number already looked up (kNoAtom: no object holds it).
    Value getMember(const Value& target, std::string_view name, Atom atom);
    void setMember(const Value& target, std::string_view name, Atom atom, Value value);
    bool deleteMember(Object* target, std::string_view name);
    bool hasProperty(Object* target, std::string_view name);
    // A number for a new addProperty accessor, never reused.
    uint32_t newAccessorId() { return ++lastAccessorId_; }
    // The property `name` as found along the prototype chain.
    Property* findProperty(Object* target, std::string_view name);
    Property* findProperty(Object* target, Atom name);
    // Enumerable names, own first then inherited, without repeats, in the order
    // for..in reports them.
    std::vector<std::string> enumerableNames(Object* target);

    // Arrays.
    uint32_t arrayLength(Object* array);
    void setArrayLength(Object* array, uint32_t length);
    Value arrayGet(Object* array, uint32_t index);
    void arraySet(Object* array, uint32_t index, Value value);
    std::vector<Value> arrayItems(Object* array);
    void arrayAssign(Object* array, std::span<const Value> items);

    // Calls. `self` is the `this` of the call.
    Value call(const Value& function, const Value& self, std::span<const Value> args);
    Value callMethod(const Value& target, std::string_view name, std::span<const Value> args);
    Value construct(const Value& constructor, std::span<const Value> args);
    // Builds `this` for `new constructor`, without calling it.
    Object* allocateFor(Object* constructor);

    // Timers driven by the frame clock.
    double now() const { return nowMs_; }

    // The calendar scripts' dates read. `startMs` is the time the movie's clock started
    // at, in milliseconds since 1970 (UTC); `zoneOffsetMs` answers how far the local
    // zone is ahead of UTC at a UTC time. Left unset, dates start at 1970 and read in UTC,
    // so headless runs repeat exactly wherever they happen.
    struct Calendar {
        double startMs = 0;
        std::function<double(double utcMs)> zoneOffsetMs;
    };
    void setCalendar(Calendar calendar) { calendar_ = std::move(calendar); }
    // The date a `new Date()` takes now: the calendar's start plus the frame clock.
    double dateNow() const { return calendar_.startMs + nowMs_; }
    // Local time from UTC and back; a non-finite time passes through.
    double localFromUtc(double utcMs) const;
    double utcFromLocal(double localMs) const;
    void advanceClock(double ms);
    int addInterval(Value function, Value self, std::string method, double period, std::vector<Value> args, bool once);
    void clearInterval(int id);
    // Objects the frame clock moves on besides intervals (a playing NetStream): `tick`
    // runs once a frame after the intervals, with the frame's milliseconds. A registered
    // object stays alive while it is registered, as a playing stream does with no
    // script variable holding it.
    // `first` puts the task before those already waiting (requests a frame's scripts
    // made go out before the messages and events it queued).
    void addFrameTask(Object* owner, std::function<void(Machine&, double)> tick, bool first = false);
    void removeFrameTask(Object* owner);

    // Frees objects nothing reaches any more; `extraRoots` adds more for this sweep.
    void collectGarbage(std::span<Object* const> extraRoots = {});
    // What the movie around the machine holds (scripts queued to run on objects):
    // visited at every collection.
    void setHostRoots(std::function<void(Visitor&)> visit) { hostRoots_ = std::move(visit); }
    // Every root: globals, built-in prototypes, registered classes, timers, running
    // frames and calls, and the host's.
    void visitRoots(Visitor& visitor);

    // The clip scripts are running on right now (for trace of clip properties etc.).
    Object* currentClip() const { return currentClip_; }
    void setCurrentClip(Object* clip) { currentClip_ = clip; }
    int callDepth = 0;
    // Script functions running now, innermost last (for arguments.caller).
    std::vector<Object*> runningFunctions;
    // Nesting of calls past which a script is stopped (ScriptLimits may lower it).
    void setMaxCallDepth(int depth) { maxCallDepth_ = std::clamp(depth, 1, 256); }
    int maxCallDepth() const { return maxCallDepth_; }
    // The registers of the frame script running now, which functions with fewer
    // registers of their own reach past their count.
    std::vector<Value>* frameRegisters = nullptr;
    // The prototype a method about to be called was found on, for its `super`.
    Object* pendingHome = nullptr;
    // Whether the call about to be made is one of `new`; and for each script function
    // running, innermost last, whether it was entered so (ASnative(2, 0) answers it).
    bool pendingConstruct = false;
    std::vector<bool> constructing;
    // The one operand stack every script of the movie works on, as in the reference
    // player: a function's leftovers stay for its caller, and a block's for the next
    // block of the same frame. `operandStack` is the stack of the script running now,
    // or the idle one between scripts; the frame clock empties the idle one.
    std::vector<Value>* operandStack() { return activeStack_ ? activeStack_ : &idleStack_; }
    void setActiveStack(std::vector<Value>* stack) { activeStack_ = stack; }
    std::vector<Value>* activeStack() const { return activeStack_; }

    // Random numbers: one generator per machine, seeded for repeatable runs.
    uint32_t nextRandom();

private:
    friend class StackRoot;
    friend class RootedValues;
    // A clip without a toString of its own converts to its target path.
    bool usesDefaultToString(Object* o);
    // The primitive an operand of < and > compares as; nullopt when it stays an
    // object, which makes the comparison false.
    std::optional<Value> primitiveForComparison(const Value& v);
    // Reading and writing through an accessor `p` stored on `owner` under `atom`. An
    // accessor that is already running is not entered again past a bound (before SWF 7
    // not at all, getter and setter together; from SWF 7 up to kAccessorNesting times
    // each): such a read gets, and such a write sets, the property's plain value, which
    // a completed setter call also leaves holding the value written.
    Value readAccessor(const Property& p, const Value& target);
    void writeAccessor(const Property& p, Object* owner, Atom atom, const Value& target, const Value& value);
    static Object* ownerOf(Object* start, const Property* p);
    // Calls the watcher of `name` on `o` for a write of `value`; gives the value to store.
    Value callWatcher(Object* o, std::string_view name, const Watch& watch, const Value& target, Value value);
    // x < y with x and y the operands (or, swapped, y < x), converting a then b.
    Value compareLess(const Value& a, const Value& b, bool swapped);

    struct Interval {
        int id = 0;
        Value function;
        Value self;
        std::string method;
        double period = 0;
        double due = 0;
        std::vector<Value> args;
        bool once = false;
    };

    int version_;
    Heap heap_;
    Object* global_ = nullptr;
    Prototypes protos_;
    std::function<void(const std::string&)> traceSink_;
    std::function<Object*(int)> levelResolver_;
    std::unordered_map<std::string, Object*> registeredClasses_;
    std::vector<std::string> classAliasOrder_;
    size_t actionsLeft_ = 1'000'000;
    double nowMs_ = 0;
    Calendar calendar_;
    std::vector<Interval> intervals_;
    std::vector<std::pair<Object*, std::function<void(Machine&, double)>>> frameTasks_;
    int nextIntervalId_ = 1;
    Object* currentClip_ = nullptr;
    int maxCallDepth_ = 256;
    struct AccessorActivity {
        int gets = 0;
        int sets = 0;
    };
    std::unordered_map<uint32_t, AccessorActivity> accessorActivity_;
    uint32_t lastAccessorId_ = 0;
    // The number of `__resolve`, interned up front: every lookup that misses asks the
    // chain for it.
    Atom resolveAtom_ = kNoAtom;
    // Watchers running now, by object and property name.
    std::map<std::pair<const Object*, std::string>, int> watchersRunning_;
    uint64_t randomState_ = 0x2545F4914F6CDD1Dull;
    std::vector<Value> idleStack_;
    std::vector<Value>* activeStack_ = nullptr;
    StackRoot* stackRoots_ = nullptr;
    RootedValues* rootedLists_ = nullptr;
    std::function<void(Visitor&)> hostRoots_;
    std::span<Object* const> extraRoots_;
    SoundHost* soundHost_ = nullptr;
    BitmapResolver bitmapResolver_;
    NetStreamHost* netStreamHost_ = nullptr;
    BitmapFilterHost* bitmapFilterHost_ = nullptr;
    LoadHost* loadHost_ = nullptr;
    TextMeasurer textMeasurer_;
    std::unique_ptr<LoadQueue> loads_;
    std::unique_ptr<InterpreterState> interpreterState_;
};

// Installs every built-in class and global object listed in Builtins.def.
void installBuiltins(Machine& m);
// The drawing methods of MovieClip (clear, lineStyle, beginFill, moveTo ...) on `proto`.
void installDrawingMethods(Machine& m, Object* proto);
// Writes every shared object the movie got back to its file (the movie is ending).
void flushSharedObjects(Machine& m);
// Calls onSoundComplete of the Sound objects whose sound ended, and onLoad of those
// whose loadSound finished; once a frame.
void dispatchSoundEvents(Machine& m);

// Argument helper for natives.
inline Value arg(std::span<const Value> args, size_t i)
{
    return i < args.size() ? args[i] : Value();
}

} // namespace swf::avm1
