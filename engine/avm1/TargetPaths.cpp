// Target paths: the clip or object a string such as "/a/b", "_root.a", "../b" or
// "a:b" names, as tellTarget, GetProperty and SetProperty walk it, and the
// "path:variable" and "path.variable" names GetVariable and SetVariable take apart.

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/InterpreterSupport.h"

#include <utility>

namespace swf::avm1 {

using support::equalsNoCase;
using support::isClip;
using support::levelNumber;
using support::startsWithNoCase;

namespace {

// The reference player's notice when a path runs into a string, number or boolean
// where it needs an object.
constexpr const char* kPrimitiveInPath =
    "Parameters of primitive types are no longer coerced into the required type - Object.";

bool isDelimiter(char c, bool dots)
{
    return c == '/' || c == ':' || (dots && c == '.');
}

} // namespace

bool Interpreter::splitPath(const std::string& name, std::string& path, std::string& variable) const
{
    // The variable follows the last colon or dot, whatever comes before it: in
    // "a/b.c" it is c of a/b, in "a.b/c" it is "b/c" of a. SWF 4 knows no dots.
    auto at = m_.version() >= 5 ? name.find_last_of(":.") : name.rfind(':');
    if (at == std::string::npos)
        return false;
    path = name.substr(0, at);
    variable = name.substr(at + 1);
    return true;
}

Object* Interpreter::resolveVariablePath(Context& ctx, const std::string& path, const std::string& variable)
{
    // An empty path ("/:x" has one, ":x" not) names nothing.
    if (path.empty())
        return nullptr;
    if (Object* o = resolveDottedInScopes(ctx, path, variable))
        return o;
    if (Object* o = resolveTarget(ctx, path))
        return o;
    if (m_.version() < 5)
        return nullptr;
    // The walk above has said what it met on the way; the second reading keeps quiet.
    return quietly([&] { return resolveScopedPath(ctx, path); });
}

Object* Interpreter::resolveTarget(Context& ctx, const std::string& path)
{
    Object* start = isClip(ctx.target) ? ctx.target : ctx.baseClip;
    if (path.empty())
        return start;
    return m_.version() >= 5 ? walkTargetPath(start, path) : walkSlashPath(start, path);
}

Object* Interpreter::walkSlashPath(Object* start, std::string_view path)
{
    // SWF 4: names between slashes, children only; ".." is the parent; a leading
    // slash starts at the root and only the first name may be a level.
    Object* current = start;
    bool first = true;
    if (path.starts_with('/')) {
        current = isClip(current) ? clipHost(current)->rootObject() : m_.level(0);
        path.remove_prefix(1);
        first = false;
    }
    while (current && !path.empty()) {
        const auto slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        ClipHost* host = clipHost(current);
        if (segment.empty() || !host)
            return nullptr;
        if (segment == "..") {
            current = host->parentObject();
        } else if (auto level = first ? levelNumber(segment, false) : std::nullopt) {
            current = m_.level(*level);
        } else {
            current = host->childByName(segment, m_.caseSensitive());
        }
        first = false;
    }
    return current;
}

Object* Interpreter::walkTargetPath(Object* start, std::string_view path, bool afterSlash)
{
    // Names are separated by slashes and colons, and by dots until the first slash
    // (after which a dot belongs to the name: "a/b.c" is the child "b.c" of a).
    // ".." opening a segment is the parent. Empty segments between colons are
    // passed over, but "//", and a path ending in "::" or "/:", name nothing.
    const bool exact = m_.caseSensitive();
    Object* current = start;
    size_t i = 0;
    const size_t n = path.size();
    bool slashes = afterSlash;
    char previous = afterSlash ? '/' : 0;  // what came last: 0 (nothing), '/', ':', '.' or 'n' (a name)
    if (!afterSlash && n > 0 && path[0] == '/') {
        current = isClip(current) ? clipHost(current)->rootObject() : m_.level(0);
        slashes = true;
        previous = '/';
        i = 1;
    }
    while (current && i < n) {
        const char c = path[i];
        if (c == ':') {
            if (i + 1 == n && (previous == ':' || previous == '/'))
                return nullptr;
            previous = ':';
            ++i;
            continue;
        }
        if (c == '/') {
            if (previous == '/')
                return nullptr;
            slashes = true;
            previous = '/';
            ++i;
            continue;
        }
        if (c == '.' && previous == 'n' && !slashes) {
            // Dots after a name are one separator, however many.
            while (i < n && path[i] == '.')
                ++i;
            previous = '.';
            continue;
        }
        if (path.substr(i, 2) == ".." && (i + 2 == n || path[i + 2] == '/' || path[i + 2] == ':')) {
            ClipHost* host = clipHost(current);
            current = host ? host->parentObject() : nullptr;
            i += 2;
            previous = 'n';
            continue;
        }
        if (c == '.' && !slashes)
            return nullptr;
        size_t end = i;
        while (end < n && !isDelimiter(path[end], !slashes))
            ++end;
        current = targetPathStep(current, path.substr(i, end - i), exact);
        i = end;
        previous = 'n';
    }
    return current;
}

Object* Interpreter::targetPathStep(Object* current, std::string_view name, bool exact)
{
    auto is = [exact, name](std::string_view word) { return exact ? name == word : equalsNoCase(name, word); };
    ClipHost* host = clipHost(current->referent(m_));
    if (auto level = levelNumber(name, exact))
        return m_.level(*level);
    if (host && is("_root"))
        return host->rootObject();
    if (host && is("_parent"))
        return host->parentObject();
    if (is("_global") && m_.version() >= 6)
        return m_.global();
    // A clip's children come before its variables of the same name.
    if (host) {
        if (Object* child = host->childByName(name, exact))
            return child;
    }
    Value v = m_.getMember(Value(current), std::string(name));
    if (v.isObject())
        return v.asObject();
    if (!v.isNullish() && !quietPaths_)
        m_.trace(kPrimitiveInPath);
    return nullptr;
}

Object* Interpreter::resolveDottedInScopes(Context& ctx, const std::string& path, const std::string& variable)
{
    // "a.b" is looked for scope by scope: a scope whose `a` does not lead to an
    // object gives way to the next one out. When reading "a.b.c", a scope whose "a.b"
    // has no `c` gives way too; if no scope has it, the first "a.b" found is used.
    if (path.find_first_of(":/") != std::string::npos)
        return nullptr;
    std::string first = path.substr(0, path.find('.'));
    if (first.empty() || first[0] == '_' || first == "this" || first == "..")
        return nullptr;
    Object* firstFound = nullptr;
    for (const Scope* s = ctx.scope.get(); s; s = s->parent.get()) {
        if (!m_.hasProperty(s->object, first))
            continue;
        Object* o = resolvePathFrom(ctx, s->object, path);
        if (!o)
            continue;
        if (variable.empty() || m_.hasProperty(o, variable))
            return o;
        if (!firstFound)
            firstFound = o;
    }
    return firstFound;
}

Object* Interpreter::propertyTarget(Context& ctx, const Value& target)
{
    // A clip or field is taken as it is; any other object names a path by its toString.
    if (Object* object = target.asObject(); object && (isClip(object->referent(m_)) || textFieldHost(object)))
        return object;
    std::string path = m_.toString(target);
    if (path.empty())
        return ctx.targetMissing ? nullptr : ctx.target;
    return resolveTarget(ctx, path);
}

Object* Interpreter::tellTarget(Context& ctx, const std::string& path)
{
    // An empty path returns to the script's own clip; one that names nothing sends
    // the actions to the movie's root (so undefined, which reads as "undefined" from
    // SWF 7, does too), where the properties of the empty path read as undefined.
    ctx.targetMissing = false;
    if (path.empty())
        return ctx.baseClip;
    // A script whose clip has left the stage (and that no clip has replaced) reaches
    // nothing by a path: its tellTargets stay on the removed clip, where gotos and the
    // rest do nothing.
    if (auto* own = ctx.baseClip ? ctx.baseClip->as<MovieClipObject>() : nullptr; own && !clipHost(own->referent(m_)))
        return ctx.baseClip;
    // A path names a clip from the script's own clip, whatever target an earlier
    // tellTarget chose ("a" then "a.b" reaches the script's a.b).
    Object* resolved = nullptr;
    {
        Object* current = std::exchange(ctx.target, ctx.baseClip);
        try {
            resolved = resolveTarget(ctx, path);
        } catch (...) {
            ctx.target = current;
            throw;
        }
        ctx.target = current;
    }
    if (resolved)
        return resolved;
    ctx.targetMissing = true;
    Object* base = isClip(ctx.baseClip) ? ctx.baseClip : nullptr;
    return base ? clipHost(base)->rootObject() : m_.level(0);
}

Object* Interpreter::resolveScopedPath(Context& ctx, const std::string& path)
{
    // What the target-path walk does not reach: a path whose first name is a variable
    // in scope rather than a member of the target ("this.c", a function's local "o.c").
    const auto end = path.find_first_of("./:");
    const std::string first = path.substr(0, end);
    if (first.empty() || first == "..")
        return nullptr;
    Object* head = getVariable(ctx, first).asObject();
    if (!head || end == std::string::npos)
        return head;
    return walkTargetPath(head, std::string_view(path).substr(end + 1), path[end] == '/');
}

Object* Interpreter::resolvePathFrom(Context& ctx, Object* start, std::string_view path)
{
    Object* current = start;
    // A path with slashes is in slash syntax, where ".." is the parent and dots belong
    // to names; otherwise segments are separated by dots.
    const bool slashSyntax = path.find('/') != std::string_view::npos;
    // One slash may end a path; any other empty segment ("a//b", "a//") names nothing.
    if (slashSyntax && path.ends_with('/')) {
        path.remove_suffix(1);
        if (path.ends_with('/'))
            return nullptr;
    }
    while (current && !path.empty()) {
        auto sep = slashSyntax ? path.find('/') : path.find('.');
        std::string_view segment = path.substr(0, sep);
        path = sep == std::string_view::npos ? std::string_view() : path.substr(sep + 1);
        if (segment.empty()) {
            if (slashSyntax)
                return nullptr;
            continue;
        }
        if (segment == "..") {
            current = isClip(current) ? clipHost(current)->parentObject() : nullptr;
            continue;
        }
        Value special;
        if (segment[0] == '_' && (equalsNoCase(segment, "_root") || equalsNoCase(segment, "_parent") ||
                                  equalsNoCase(segment, "_global") || startsWithNoCase(segment, "_level"))) {
            if (equalsNoCase(segment, "_parent")) {
                current = isClip(current) ? clipHost(current)->parentObject() : nullptr;
                continue;
            }
            Context scratch;
            scratch.target = current;
            scratch.baseClip = current;
            if (specialName(scratch, segment, special)) {
                current = special.asObject();
                continue;
            }
        }
        if (segment == "this" && current == start) {
            current = ctx.self.asObject() ? ctx.self.asObject() : current;
            continue;
        }
        current = m_.getMember(Value(current), segment).asObject();
    }
    return current;
}

} // namespace swf::avm1
