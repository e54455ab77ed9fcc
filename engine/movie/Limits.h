#pragma once

namespace swf::movie {

// The limits that keep hostile movies in check while they play.
enum class Limit {
    SpriteNesting,   // sprites inside sprites, deeper than the stack allows
    DisplayObjects,  // objects shown at once
    ScriptWork,      // scripts or actions in one frame
    ClockCatchUp,    // frames the clock makes up for in one tick after a stall
};

} // namespace swf::movie
