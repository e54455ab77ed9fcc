#pragma once

// The native state of the Sound class. A Sound object speaks for the whole movie or
// for one clip, which it names by path and finds again at every call (a clip renamed
// or removed answers nothing; a new clip under the same path answers afresh). The
// settings it reads and writes belong to that scope, not to the object: every Sound
// object of one clip shares them. The prototype keeps the movie-wide settings and the
// Sound objects that are playing or loading, so that their events can be delivered.

#include "engine/avm1/Object.h"
#include "engine/avm1/SoundTransform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace swf::avm1 {

class SoundObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;

    // Whom the object speaks for: the movie, or the clip at `ownerPath`.
    bool wholeMovie = true;
    std::string ownerPath;

    int sound = 0;                // attached or loaded; 0: none
    std::vector<uint64_t> voices;  // playing, oldest first
    double positionMs = 0;        // where the newest voice was when last seen

    enum class Load { None, Pending, Loading, Done };
    Load load = Load::None;
    uint64_t loadStep = 0;  // the frame the load was asked for: events come later
    bool tagsDelivered = false;
    bool streaming = false;

    // The object scripts hold: this one, or the instance of a subclass whose super()
    // gave it this sound state. Events (onLoad, onSoundComplete ...) go to it.
    Object* face = nullptr;
    Object* scriptObject() { return face ? face : this; }

    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        if (face)
            visitor.visit(face);
    }
};

class SoundPrototype final : public Object {
public:
    using Object::Object;

    SoundTransform movieTransform;  // scope 0: every sound of the movie
    std::vector<SoundObject*> active;  // playing or loading
    bool accessorsInstalled = false;
    uint64_t step = 0;  // frames seen by the event delivery

    void addActive(SoundObject* sound)
    {
        for (SoundObject* s : active) {
            if (s == sound)
                return;
        }
        active.push_back(sound);
    }

    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        for (SoundObject* s : active)
            visitor.visit(s);
    }
};

} // namespace swf::avm1
