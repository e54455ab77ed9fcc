#pragma once

// The script object of a movie clip. Its display properties (`_x`, `_alpha` ...) and
// named children read and write through the ClipHost the movie layer gives it; it
// converts to its target path and is "movieclip" to typeof. The host goes away with
// the clip, after which the object is an ordinary one that reads as "".

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/Object.h"

namespace swf::avm1 {

class MovieClipObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    MovieClipObject(Object* proto, int swfVersion, ClipHost* host) : Object(proto, swfVersion), host_(host) {}

    ClipHost* host() const { return host_; }
    void setHost(ClipHost* host) { host_ = host; }
    // The clip is gone: nothing may reach its host any more.
    void detach() { host_ = nullptr; }
    // The clip's target path ("_level0.a.b") as it leaves the stage: a reference to it
    // then stands for whatever clip has that path, as the reference player resolves
    // clip references by path. `removedItself`: the clip was taken off its parent, not
    // removed along with a parent; only then does an unresolved reference read as "".
    void rememberPath(std::string path, bool removedItself)
    {
        lastPath_ = pathBeforeRename_.empty() ? std::move(path) : pathBeforeRename_;
        removedItself_ = removedItself;
    }
    // The clip is about to take another name. References keep the path the clip had
    // when they were made, so once it is gone they look for a clip by its first path.
    void keepPathBeforeRename(std::string path)
    {
        if (pathBeforeRename_.empty())
            pathBeforeRename_ = std::move(path);
    }

    Object* referent(Machine& machine) override;

    bool getComputed(Machine& machine, std::string_view name, Value& out) override;
    bool hasComputed(Machine& machine, std::string_view name) override;
    bool setComputed(Machine& machine, std::string_view name, const Value& value) override;
    void appendComputedNames(std::vector<std::string>& names) override;
    std::optional<std::string> defaultString() override;
    // A button instance's object: a Button to scripts ("object" to typeof), whose
    // display properties still read through its host.
    void markButton() { button_ = true; }
    bool isButton() const { return button_; }
    std::string_view typeName() const override { return button_ ? "object" : "movieclip"; }
    bool equalityUsesValueOf() const override { return false; }
    bool pinned() const override { return host_ != nullptr; }

private:
    ClipHost* host_;
    std::string lastPath_;
    std::string pathBeforeRename_;
    bool removedItself_ = false;
    bool button_ = false;
};

// Whether `a` and `b` are references to one clip as == and === see them: clip
// references compare by path, so two clips of one name under one parent are equal.
bool sameClipPath(Object* a, Object* b);

// The live clip `object` stands for, or null (not a clip, or the clip is gone).
inline ClipHost* clipHost(Object* object)
{
    MovieClipObject* clip = object ? object->as<MovieClipObject>() : nullptr;
    return clip ? clip->host() : nullptr;
}

} // namespace swf::avm1
