// MovieClipLoader and the clip-loading family: loadMovie, loadMovieNum, unloadMovie,
// loadVariables and getURL, as MovieClip methods and as the GetURL actions compile
// them. Loads wait in the machine's queue and complete after the frame's scripts
// (Loading.h); a loader tells its listeners how a load went with onLoadStart,
// onLoadProgress, onLoadComplete and onLoadInit, or onLoadError.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/InterpreterSupport.h"
#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Loading.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/UrlRequests.h"
#include "engine/data/LocalFiles.h"

#include <cmath>

namespace swf::avm1 {

namespace {

using support::startsWithNoCase;

// "_level3" -> 3; -1 for anything else.
int levelNumber(std::string_view target)
{
    if (!startsWithNoCase(target, "_level") || target.size() == 6)
        return -1;
    int n = 0;
    for (char c : target.substr(6)) {
        if (c < '0' || c > '9' || n > 100000)
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

Object* listenersOf(Machine& m, Object* loader)
{
    return m.getMember(Value(loader), "_listeners").asObject();
}

// Calls `event` on every listener of `loader` with `args`, on a copy of the list so
// that listeners may remove themselves.
void broadcast(Machine& m, Object* loader, std::string_view event, std::span<const Value> args)
{
    Object* list = listenersOf(m, loader);
    if (!list)
        return;
    RootedValues listeners(m, m.arrayItems(list));
    for (const Value& listener : listeners) {
        if (listener.isObject())
            m.callMethod(listener, event, args);
    }
}

// ---- MovieClipLoader.prototype ----

// The clip a loadClip target names: a clip, a level number, or a path from _level0.
// Null when it names nothing; `level` is set for a number.
Object* loadTarget(Machine& m, const Value& target, int& level)
{
    level = -1;
    if (target.isNumber()) {
        const double n = target.asNumber();
        if (!std::isfinite(n) || n < 0 || n > 16000)
            return nullptr;
        level = static_cast<int>(n);
        return m.level(level);
    }
    if (Object* o = target.asObject())
        return clipHost(o) ? o : nullptr;
    if (!target.isString())
        return nullptr;
    return resolveClipPath(m, target.asString(), level);
}

Value loaderLoadClip(Machine& m, Value self, std::span<const Value> args)
{
    Object* loader = self.asObject();
    if (!loader || args.size() < 2)
        return Value();
    if (!args[0].isString())
        return Value(false);
    int level = -1;
    Object* target = loadTarget(m, args[1], level);
    if (!target && level < 0)
        return Value(false);
    if (target)
        m.loads().cancel(target);
    m.loads().add({LoadRequest::Kind::Clip, target, loader, args[0].asString(), level});
    return Value(true);
}

Value loaderUnloadClip(Machine& m, Value, std::span<const Value> args)
{
    int level = -1;
    Object* target = loadTarget(m, arg(args, 0), level);
    if (!target)
        return Value(false);
    m.loads().cancel(target);
    if (ClipHost* clip = clipHost(target))
        clip->unloadContent();
    return Value(true);
}

// What a load into `target` has brought: both 0 until it completes.
Value loaderGetProgress(Machine& m, Value, std::span<const Value> args)
{
    Object* progress = m.newObject();
    int level = -1;
    Object* target = loadTarget(m, arg(args, 0), level);
    ClipHost* clip = clipHost(target);
    const double loaded = clip && !m.loads().pendingFor(target) ? m.toNumber(m.callMethod(Value(target), "getBytesLoaded", {})) : 0;
    const double total = clip && !m.loads().pendingFor(target) ? m.toNumber(m.callMethod(Value(target), "getBytesTotal", {})) : 0;
    progress->put("bytesLoaded", Value(loaded));
    progress->put("bytesTotal", Value(total));
    return Value(progress);
}

const NativeMethod kLoaderMethods[] = {
    {"loadClip", loaderLoadClip},
    {"unloadClip", loaderUnloadClip},
    {"getProgress", loaderGetProgress},
};

// A new loader lists itself: handlers set on it hear its events.
Value loaderConstruct(Machine& m, Value self, std::span<const Value>)
{
    Object* loader = self.asObject();
    if (!loader)
        return Value();
    const Value me(loader);
    markNativeState(m, self);
    loader->put("_listeners", Value(m.newArray(std::span(&me, 1))), PropertyFlag::DontEnum);
    return Value();
}

// ---- MovieClip methods ----

Value clipLoadMovie(Machine& m, Value self, std::span<const Value> args)
{
    Object* clip = self.asObject();
    if (!clipHost(clip) || args.empty())
        return Value();
    requestClipLoad(m, clip, -1, m.toString(args[0]));
    return Value();
}

Value clipUnloadMovie(Machine& m, Value self, std::span<const Value>)
{
    Object* clip = self.asObject();
    if (ClipHost* host = clipHost(clip)) {
        m.loads().cancel(clip);
        host->unloadContent();
    }
    return Value();
}

Value clipLoadVariables(Machine& m, Value self, std::span<const Value> args)
{
    Object* clip = self.asObject();
    if (!clipHost(clip) || args.empty())
        return Value();
    m.loads().add({LoadRequest::Kind::Variables, clip, nullptr, m.toString(args[0]), -1});
    return Value();
}

Value clipGetUrl(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    requestUrl(m, self.asObject(), m.toString(args[0]), args.size() > 1 ? m.toString(args[1]) : std::string(), 0);
    return Value();
}

const NativeMethod kClipLoadingMethods[] = {
    {"loadMovie", clipLoadMovie},
    {"unloadMovie", clipUnloadMovie},
    {"loadVariables", clipLoadVariables},
    {"getURL", clipGetUrl},
};

} // namespace

Object* resolveClipPath(Machine& m, std::string_view path, int& level)
{
    level = -1;
    Object* at = m.level(0);
    std::string_view rest = path;
    // A leading "_levelN" or "_root" picks the start; "/" alone is the root.
    const size_t first = rest.find_first_of("./:");
    std::string_view head = rest.substr(0, first);
    if (int n = levelNumber(head); n >= 0) {
        level = n;
        at = m.level(n);
        rest = first == std::string_view::npos ? std::string_view() : rest.substr(first + 1);
    } else if (startsWithNoCase(head, "_root") && head.size() == 5) {
        rest = first == std::string_view::npos ? std::string_view() : rest.substr(first + 1);
    } else if (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1);
    }
    while (at && !rest.empty()) {
        const size_t end = rest.find_first_of("./:");
        const std::string_view name = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (name.empty())
            continue;
        ClipHost* host = clipHost(at);
        if (!host)
            return nullptr;
        at = name == ".." ? host->parentObject() : host->childByName(name, m.caseSensitive());
    }
    if (at && level < 0)
        level = -1;
    return clipHost(at) ? at : nullptr;
}

void requestClipLoad(Machine& m, Object* clip, int level, const std::string& url)
{
    if (clip)
        m.loads().cancel(clip);
    if (url.empty()) {
        // loadMovie("") unloads, as unloadMovie does.
        if (ClipHost* host = clipHost(clip))
            host->unloadContent();
        return;
    }
    m.loads().add({LoadRequest::Kind::Clip, clip, nullptr, url, level});
}

void finishClipLoad(Machine& m, const LoadRequest& request, const std::optional<std::vector<uint8_t>>& bytes)
{
    Object* loader = request.loader;
    Object* into = request.target;
    if (!into && request.level > 0 && bytes) {
        // A load into a level nothing is loaded in yet makes the level.
        ClipHost* root = clipHost(m.level(0));
        into = root ? root->makeLevel(request.level) : nullptr;
    }
    const Value target = into ? Value(into) : Value();
    ClipHost* clip = clipHost(into);
    if (!bytes || !clip) {
        if (loader) {
            const Value args[] = {target, Value("URLNotFound"), Value(0)};
            broadcast(m, loader, "onLoadError", args);
        }
        return;
    }
    const auto size = static_cast<double>(bytes->size());
    if (loader) {
        broadcast(m, loader, "onLoadStart", std::span(&target, 1));
        const Value progress[] = {target, Value(size), Value(size)};
        broadcast(m, loader, "onLoadProgress", progress);
        const Value complete[] = {target, Value(0)};
        broadcast(m, loader, "onLoadComplete", complete);
    }
    if (!clip->loadContent(*bytes, request.url)) {
        if (LoadHost* host = m.loadHost())
            host->notice("the file " + request.url + " loaded into a clip is not a movie or picture this player can show");
        return;
    }
    clip->dataLoaded();
    if (loader)
        m.loads().add({LoadRequest::Kind::ClipInit, into, loader, request.url, request.level});
}

void finishClipInit(Machine& m, const LoadRequest& request)
{
    if (!request.loader)
        return;
    const Value target = request.target ? Value(request.target) : Value();
    broadcast(m, request.loader, "onLoadInit", std::span(&target, 1));
}

namespace {

// getURL's request as the script made it: with GET or POST (`method` 1 or 2) the
// timeline's variables go along, in for..in order, and the player's $version last.
data::OutgoingRequest navigateRequest(Machine& m, Object* timeline, const std::string& url, const std::string& window,
                                      int method)
{
    data::OutgoingRequest request;
    request.kind = data::OutgoingRequest::Kind::Navigate;
    request.url = url;
    request.target = window;
    if (method == 0)
        return request;
    request.method = method == 1 ? "GET" : "POST";
    if (timeline) {
        const std::vector<std::string> names = m.enumerableNames(timeline);
        for (auto name = names.rbegin(); name != names.rend(); ++name) {
            const Value value = m.getMember(Value(timeline), *name);
            if (value.asObject())
                continue;  // clips and objects are not variables a form can send
            request.params.emplace_back(*name, m.toString(value));
        }
    }
    request.params.emplace_back("$version", std::string(kPlayerVersion));
    return request;
}

} // namespace

void requestUrl(Machine& m, Object* timeline, const std::string& url, const std::string& target, uint8_t flags,
                Object* targetClip)
{
    const bool loadVariables = flags & 0x80;
    const bool intoClip = flags & 0x40;
    if (startsWithNoCase(url, "fscommand:")) {
        if (LoadHost* host = m.loadHost())
            host->fsCommand(url.substr(10), target);
        return;
    }
    int level = intoClip ? -1 : levelNumber(target);
    if (targetClip || intoClip || level >= 0) {
        Object* clip = targetClip;
        if (clip) {
            level = -1;
        } else if (intoClip) {
            clip = resolveClipPath(m, target, level);
            // A relative path names a clip inside the timeline that asked.
            if (!clip && timeline && !target.empty()) {
                ClipHost* host = clipHost(timeline);
                clip = host ? host->childByName(target, m.caseSensitive()) : nullptr;
            }
            if (!clip && level < 0)
                return;
        } else {
            clip = m.level(level);
        }
        if (loadVariables) {
            if (clip && !url.empty())
                m.loads().add({LoadRequest::Kind::Variables, clip, nullptr, url, level});
            return;
        }
        requestClipLoad(m, clip, level, url);
        return;
    }
    if (loadVariables) {
        // loadVariables into the timeline that asked, when no clip was named.
        if (clipHost(timeline) && !url.empty())
            m.loads().add({LoadRequest::Kind::Variables, timeline, nullptr, url, -1});
        return;
    }
    // An address to open goes out through the timeline that asked, as a clicked link
    // in its text would. "blank" in any case is the new-window target "_blank"; other
    // names are the page's business and stay as written.
    const std::string window = support::equalsNoCase(target, "_blank") || support::equalsNoCase(target, "blank") ? "_blank" : target;
    if (LoadHost* loadHost = m.loadHost())
        loadHost->requestMade(navigateRequest(m, timeline, url, window, flags & 3));
    if (ClipHost* host = clipHost(timeline))
        host->getUrl(url, window);
    else if (LoadHost* loadHost = m.loadHost())
        loadHost->openUrl(url, window);
}

void installMovieClipLoaderClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().setNamed("MovieClipLoader", proto);
    m.newClass("MovieClipLoader", proto, loaderConstruct);
    defineMethods(m, proto, kLoaderMethods);
    // The listener methods are AsBroadcaster's own function objects, not copies.
    if (const Property* broadcaster = m.global()->findOwn("AsBroadcaster")) {
        for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
            proto->put(name, m.getMember(broadcaster->value, name), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
    }
    if (m.protos().movieClip)
        defineMethods(m, m.protos().movieClip, kClipLoadingMethods);
}

} // namespace swf::avm1
