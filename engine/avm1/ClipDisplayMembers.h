#pragma once

// The display members of MovieClip that movies of SWF 8 and later see: filters,
// blendMode, cacheAsBitmap and transform. Reads give copies; writes go to the clip.

#include "engine/avm1/Value.h"
#include "engine/format/BlendMode.h"

#include <optional>
#include <string_view>

namespace swf::avm1 {

class ClipHost;
class Machine;
class Object;

// True when `name` is one of these members (and the movie is new enough to see it).
bool getClipDisplayMember(Machine& m, Object* clip, ClipHost& host, std::string_view name, Value& out);
bool setClipDisplayMember(Machine& m, ClipHost& host, std::string_view name, const Value& value);
// Whether `name` is one of them for the movie's version: a variable of that name in a
// clip's scope reaches the member.
bool isClipDisplayMember(const Machine& m, std::string_view name);

// A blend mode by name, or by its number (1 normal .. 14 hardlight); nullopt for neither.
std::optional<BlendMode> blendModeOf(Machine& m, const Value& v);

// The Transform object scripts get for `clip`.
Object* newTransform(Machine& m, Object* clip);

} // namespace swf::avm1
