#pragma once

// Where the GetURL actions and the clip-loading methods send their requests: a load
// into a clip or level, variables into a clip, an fscommand, or an address for the
// desktop to open.

#include <cstdint>
#include <string>
#include <string_view>

namespace swf::avm1 {

class Machine;
class Object;

// GetURL2's flags: 0x80 loads variables, 0x40 names a clip as the target (else a
// window or "_levelN"); `timeline` is the clip whose script asked. A clip object
// given as the target comes as `targetClip`.
void requestUrl(Machine& m, Object* timeline, const std::string& url, const std::string& target, uint8_t flags,
                Object* targetClip = nullptr);
// Replaces the content of `clip` (or of level `level` when clip is null) with the
// file at `url` once it arrives; an empty url unloads.
void requestClipLoad(Machine& m, Object* clip, int level, const std::string& url);
// The clip a target path names from _level0 ("mc.inner", "/mc/inner", "_level0.mc",
// "_root.mc"); null when none. `level` is set when the path starts at a level.
Object* resolveClipPath(Machine& m, std::string_view path, int& level);

} // namespace swf::avm1
