#pragma once

// Button characters (DefineButton, DefineButton2): the characters each of the four
// states shows, and the scripts that pointer transitions run. DefineButtonCxform and
// DefineButtonSound only add colour and sound to a button defined already; they are
// not read.

#include "engine/format/BlendMode.h"
#include "engine/format/Filter.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <span>
#include <vector>

namespace swf {

// Which states a record is shown in, as the record's flag bits store them.
enum ButtonStateFlag : uint8_t {
    kButtonUp = 1 << 0,
    kButtonOver = 1 << 1,
    kButtonDown = 1 << 2,
    kButtonHitTest = 1 << 3,
};

struct ButtonRecord {
    uint8_t states = 0;  // ButtonStateFlag bits
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;  // DefineButton2 only; identity otherwise
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;  // DefineButton2 records that carry a filter list
};

// The pointer transitions a DefineButton2 script may run on, as the stored bits.
enum ButtonCondition : uint16_t {
    kIdleToOverUp = 1 << 0,       // roll over
    kOverUpToIdle = 1 << 1,       // roll out
    kOverUpToOverDown = 1 << 2,   // press
    kOverDownToOverUp = 1 << 3,   // release inside
    kOverDownToOutDown = 1 << 4,  // drag out
    kOutDownToOverDown = 1 << 5,  // drag back over
    kOutDownToIdle = 1 << 6,      // release outside
    kIdleToOverDown = 1 << 7,     // drag over (a menu button)
    kOverDownToIdle = 1 << 8,     // drag out (a menu button)
};

struct ButtonAction {
    uint16_t conditions = 0;  // ButtonCondition bits
    uint8_t keyCode = 0;      // non-zero: runs on this key instead
    std::span<const uint8_t> code;  // a view into the tag body
};

struct ButtonDef {
    uint16_t id = 0;
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records;  // in stored order
    // DefineButton's one script is stored as a release action.
    std::vector<ButtonAction> actions;
};

// `tagCode` is DefineButton or DefineButton2, `body` the whole tag body. A record or
// an action entry that runs past the body ends its list; FormatError only when even
// the id is missing.
ButtonDef parseDefineButton(int tagCode, std::span<const uint8_t> body);

} // namespace swf
