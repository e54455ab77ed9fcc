#pragma once

// The display properties every placed object shows scripts alike, clips and text
// fields: position, scale, rotation, alpha, visibility and name. One set of rules for
// the values scripts give, as the reference player stores them:
//  - a value that converts to NaN leaves the property as it was, _visible included
//    (any other number shows the object unless it is 0), and undefined and null
//    change nothing in any version;
//  - positions are whole twips in 32 bits: a value past their range, infinities
//    included, becomes the smallest one (-107374182.4 pixels);
//  - alpha is a multiplier in 8.8 fixed point: the percentage is truncated to 1/256
//    and a value past 16 bits (infinities included) becomes 0;
//  - scales take any other number, infinities included; a rotation is taken modulo
//    360 degrees.
// Sizes (_width, _height) depend on what the object is and stay with its owner.

#include "engine/avm1/ClipHost.h"
#include "engine/movie/DisplayList.h"

#include <cstdint>
#include <optional>

namespace swf::avm1 {
class Machine;
}

namespace swf::movie {

// Pixels to the twips a position holds.
double positionTwips(double pixels);
// A percentage to the alpha multiplier held.
float alphaMultiplier(double percent);

// _xscale, _yscale and _rotation of `object` as scripts read them, and setting them
// (the matrix rebuilt from them, its translation kept).
ScriptScale scaleAndRotation(const DisplayObject& object);
void setScaleAndRotation(DisplayObject& object, double xScale, double yScale, double rotation);

// Sets _width (`property` Width) or _height to `pixels`, as the reference player does:
// the object's box turned by its rotation but not scaled (from `own`, its untransformed
// bounds in twips) is scaled so that the named side takes the new size and the other
// keeps the size it shows now (`shownWidth`, `shownHeight`, twips), and those two factors
// become _xscale and _yscale, signs kept. For a quarter turn that scales the axis that
// does not lie along the named side, as in the reference player. A side of the box with
// no extent gives a scale of 0; a NaN leaves the scales alone. Either way the transform
// is the script's.
void setDisplaySize(DisplayObject& object, avm1::ClipProperty property, double pixels, const Rect& own,
                    double shownWidth, double shownHeight);

// The value of `property` for `object` (null: an object no longer placed, which reads
// as a fresh one), or nothing when the property is not one of the shared set.
std::optional<avm1::Value> sharedDisplayProperty(const DisplayObject* object, avm1::ClipProperty property);
// Sets `property` of `object` by the rules above; false when the property is not one
// of the shared set. A transform set this way is the script's from then on.
bool setSharedDisplayProperty(DisplayObject& object, avm1::ClipProperty property, const avm1::Value& value,
                              avm1::Machine& machine);

} // namespace swf::movie
