#pragma once

// Filter records as PlaceObject3 and DefineButton2 records store them: the effects
// (blur, shadows, glows, bevels, colour matrix, convolution) an object is drawn through.
// Values are kept as stored, in pixels and radians; the renderer scales them.

#include "engine/format/Bitmap.h"
#include "engine/format/Primitives.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

enum class FilterKind : uint8_t {
    DropShadow = 0,
    Blur = 1,
    Glow = 2,
    Bevel = 3,
    GradientGlow = 4,
    Convolution = 5,
    ColorMatrix = 6,
    GradientBevel = 7,
    // Made by scripts only: no record stores one.
    DisplacementMap = 8,
};

// What a displacement map does where it points outside the object's surface.
enum class DisplacementMode : uint8_t { Wrap, Clamp, Ignore, Color };

// One stop of a gradient glow's or bevel's colour ramp; ratio 0..255 is the blurred
// coverage the colour stands for.
struct FilterGradientStop {
    Rgba color;
    uint8_t ratio = 0;
    friend bool operator==(const FilterGradientStop&, const FilterGradientStop&) = default;
};

// Every kind in one value: each kind reads the fields it has and leaves the rest at
// their defaults.
struct Filter {
    FilterKind kind = FilterKind::Blur;

    // Blur and everything built on a blurred outline.
    double blurX = 0, blurY = 0;  // pixels, 0..255
    int passes = 1;               // the quality: box blurs run one after another

    // Shadows, glows and bevels.
    Rgba color;           // drop shadow, glow; a bevel's highlight
    Rgba shadowColor;     // a bevel's shadow
    double angle = 0;     // radians, the direction the shadow falls in
    double distance = 0;  // pixels
    double strength = 1;  // multiplies the blurred coverage, 0..255
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;  // false: the object itself is hidden, its effect shown
    bool onTop = false;           // bevels: inner and outer at once
    std::vector<FilterGradientStop> gradient;  // gradient glow and bevel

    // Convolution.
    int matrixX = 0, matrixY = 0;
    std::vector<float> matrix;  // matrixX * matrixY weights, row by row
    float divisor = 1, bias = 0;
    Rgba defaultColor{0, 0, 0, 0};  // what lies outside the image when not clamping
    bool clamp = true;
    bool preserveAlpha = true;

    // Colour matrix: 4 rows of (r, g, b, a, offset), offsets in 0..255 units.
    std::array<float, 20> colorMatrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

    // Displacement map: the map's pixels as they were when the filter was set, laid
    // with their corner at `mapPoint` (object pixels); `componentX`/`componentY` name
    // the channel that moves each pixel along its axis (1 red, 2 green, 4 blue,
    // 8 alpha), by (channel - 128) * scale / 256 pixels. `color` fills for the Color mode.
    std::shared_ptr<const BitmapData> displacementMap;
    int mapPointX = 0, mapPointY = 0;
    int componentX = 0, componentY = 0;
    double scaleX = 0, scaleY = 0;
    DisplacementMode displacementMode = DisplacementMode::Wrap;

    friend bool operator==(const Filter&, const Filter&) = default;
};

// Reads a filter list: a count byte, then each filter. FormatError for an unknown kind
// or a list cut short.
std::vector<Filter> readFilterList(ByteReader& r);

} // namespace swf
