#pragma once

// Script filter objects (flash.filters.*): each holds its settings as the reference
// player does, clamped and rounded as it clamps and rounds them when they are written,
// and converts to and from the filter records the renderer draws with.

#include "engine/avm1/Object.h"
#include "engine/format/Filter.h"

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::avm1 {

class Machine;

enum class ScriptFilterKind { Blur, DropShadow, Glow, Bevel, GradientGlow, GradientBevel, ColorMatrix, Convolution, DisplacementMap };

// Every setting a filter class has; each class uses its own.
struct ScriptFilterSettings {
    double blurX = 4, blurY = 4;
    int quality = 1;
    double distance = 4;
    double angle = 0.785398163;  // radians; scripts speak degrees
    uint32_t color = 0;          // RGB
    uint8_t alpha = 255;
    uint32_t highlightColor = 0xFFFFFF;
    uint8_t highlightAlpha = 255;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool hideObject = false;
    std::string type = "inner";  // bevels and gradient filters: inner, outer, full
    // Gradient filters: `stops` entries of 16 places that keep what was written even
    // while fewer stops are in use, as the reference player's do.
    size_t stops = 0;
    std::array<uint32_t, 16> colors{};
    std::array<uint8_t, 16> alphas{};
    std::array<uint8_t, 16> ratios{};
    std::vector<double> matrix;  // colour matrix (20) or convolution (any length)
    int matrixX = 0, matrixY = 0;
    double divisor = 1, bias = 0;
    bool preserveAlpha = true, clamp = true;
    // Displacement map.
    Object* mapBitmap = nullptr;
    int mapPointX = 0, mapPointY = 0;
    int componentX = 0, componentY = 0;
    double scaleX = 0, scaleY = 0;
    std::string mode = "wrap";
    // The map's pixels when the filter came back from a display object, which keeps
    // pixels rather than the BitmapData they came from.
    std::shared_ptr<const BitmapData> mapPixels;
};

class FilterObject final : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    FilterObject(Object* proto, int swfVersion, ScriptFilterKind kind);
    ScriptFilterKind kind;
    ScriptFilterSettings settings;
    void visitEdges(Visitor& visitor) override;
};

FilterObject* filterOf(const Value& v);

// A new filter object of `kind` with the class's defaults (and prototype).
FilterObject* newFilterObject(Machine& m, ScriptFilterKind kind);
// A copy with the same settings.
FilterObject* cloneFilter(Machine& m, const FilterObject& filter);

// What the renderer draws; nullopt for a filter it cannot draw from these settings
// (a displacement map without its bitmap).
std::optional<Filter> toRenderFilter(const FilterObject& filter);
// A filter object standing for a record read from the movie.
FilterObject* fromRenderFilter(Machine& m, const Filter& filter);

// Installs the accessors of `names` (a class's members in the order for..in lists
// them) and `clone` on `proto`.
void defineFilterMembers(Machine& m, Object* proto, std::span<const char* const> names);
// The class `name` in flash.filters, its prototype inheriting BitmapFilter's; the
// constructor reads `argNames` in order (members written through their setters).
Object* defineFilterClass(Machine& m, const std::string& name, ScriptFilterKind kind,
                          std::span<const char* const> members, std::span<const char* const> argNames);

} // namespace swf::avm1
