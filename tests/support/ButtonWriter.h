#pragma once

// Builds DefineButton / DefineButton2 tags and filled rectangles to put in them, for
// tests of button drawing, hit-testing and pointer scripts.

#include "tests/support/SwfWriter.h"

#include <cstdint>
#include <vector>

namespace swf::test {

struct ButtonPart {
    uint8_t states = 0;  // ButtonStateFlag bits
    uint16_t characterId = 0;
    uint16_t depth = 1;
    Matrix matrix;
    ColorTransform colorTransform;  // written by DefineButton2 only
};

struct ButtonScript {
    uint16_t conditions = 0;  // ButtonCondition bits
    uint8_t keyCode = 0;
    ActionBuilder actions;
};

// DefineButton2 body (after nothing: the id is included).
std::vector<uint8_t> defineButton2Body(uint16_t id, const std::vector<ButtonPart>& parts,
                                       const std::vector<ButtonScript>& scripts, bool trackAsMenu = false);
// DefineButton body: records without colour transforms, then the release script.
std::vector<uint8_t> defineButtonBody(uint16_t id, const std::vector<ButtonPart>& parts, const ActionBuilder& onRelease);

void defineButton2(TagStream& stream, uint16_t id, const std::vector<ButtonPart>& parts,
                   const std::vector<ButtonScript>& scripts, bool trackAsMenu = false);
void defineButton(TagStream& stream, uint16_t id, const std::vector<ButtonPart>& parts, const ActionBuilder& onRelease);

// DefineShape3 of one rectangle (twips) filled with `color`.
void defineFilledRect(TagStream& stream, uint16_t id, const Rect& area, Rgba color);

} // namespace swf::test
