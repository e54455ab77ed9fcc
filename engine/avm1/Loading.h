#pragma once

// Loads scripts ask for (XML.load, LoadVars.load, loadVariables, loadMovie,
// MovieClipLoader.loadClip) wait here until the frame's scripts have run, then
// complete: as in the reference player, a load never finishes inside the script that
// started it, and a script may set its handlers after calling load.

#include "engine/avm1/Object.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swf::avm1 {

class Machine;

struct LoadRequest {
    enum class Kind {
        Text,       // XML or LoadVars: the text goes to the target's onData
        Variables,  // loadVariables: name=value pairs set on the target clip
        Clip,       // loadMovie / loadClip: the target clip's content is replaced
        ClipInit,   // a loaded clip has run its first frame: the loader's onLoadInit
    };
    Kind kind = Kind::Text;
    Object* target = nullptr;
    Object* loader = nullptr;  // the MovieClipLoader whose listeners hear of a clip load
    std::string url;
    int level = -1;            // a load into _levelN (loadMovieNum, loadVariablesNum)
};

class LoadQueue {
public:
    void add(LoadRequest request) { pending_.push_back(std::move(request)); }
    bool empty() const { return pending_.empty(); }
    std::vector<LoadRequest> takeAll() { return std::exchange(pending_, {}); }
    // Drops the pending loads into `target` (unloadClip, unloadMovie, a new load into
    // the same clip); true when there were any.
    bool cancel(Object* target);
    bool pendingFor(const Object* target) const;
    void visitEdges(Visitor& visitor) const;

private:
    std::vector<LoadRequest> pending_;
};

// Completes every pending load; the player calls it once a frame, after the scripts.
void dispatchLoads(Machine& m);

// The text of a loaded file: a UTF-8 byte-order mark is dropped, UTF-16 with its mark
// becomes UTF-8, anything else is taken as UTF-8.
std::string decodeLoadedText(std::span<const uint8_t> bytes);

// The end of a text load on `target`: `_bytesLoaded` and `_bytesTotal` say how much
// came, then `onData` hears the text (undefined when the load failed).
void finishTextLoad(Machine& m, Object* target, const std::optional<std::vector<uint8_t>>& bytes);

// Marks `target` as loading (`loaded` false, nothing loaded yet) and queues the load.
void startTextLoad(Machine& m, Object* target, const std::string& url);

// The load(url) and sendAndLoad(url, target) methods XML and LoadVars share: the text
// at `url` loads into the object itself, or into `target` (a movie played from disk
// posts to no server, so the reply is the file). True when a load was started.
Value loadTextMethod(Machine& m, Value self, std::span<const Value> args);
Value sendAndLoadTextMethod(Machine& m, Value self, std::span<const Value> args);

// The default onData of XML and LoadVars: undefined text calls onLoad(false); other
// text goes to the object's `parser` method (parseXML, decode), then `loaded` is set
// and onLoad(true) is called.
Value defaultOnData(Machine& m, Value self, const Value& text, const char* parser);

// The end of a clip load (MovieClipLoader.cpp): the listeners hear onLoadStart,
// onLoadProgress and onLoadComplete, the clip takes the content, and a ClipInit
// request waits for the frame after, when the loaded movie's first frame has run.
void finishClipLoad(Machine& m, const LoadRequest& request, const std::optional<std::vector<uint8_t>>& bytes);
// onLoadInit of a ClipInit request.
void finishClipInit(Machine& m, const LoadRequest& request);

// Sets the URL-encoded `text`'s pairs as members of `target`.
void setVariablesFrom(Machine& m, Object* target, const std::string& text);

} // namespace swf::avm1
