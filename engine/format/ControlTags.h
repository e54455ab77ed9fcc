#pragma once

// Records of the tags that drive a timeline rather than define a character: placing,
// moving and removing objects, frame labels, and movie-wide settings.

#include "engine/format/Filter.h"
#include "engine/format/Primitives.h"
#include "engine/format/Tags.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf {

// PlaceObject, PlaceObject2 and PlaceObject3 in one shape. A field that is absent
// leaves the placed object's value alone (for a move) or at its default (for a new one).
struct PlaceObject {
    int tagVersion = 2;      // 1, 2 or 3
    uint16_t depth = 0;
    bool move = false;       // modify the object at `depth` (with a character: replace it)
    std::optional<uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    // PlaceObject3 extras, kept for the renderer and the script engine.
    std::optional<std::string> className;
    std::optional<uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> backgroundColor;
    std::optional<std::vector<Filter>> filters;
    // Event handlers (clip actions) left undecoded for the script engine.
    std::span<const uint8_t> clipActions;
};

struct RemoveObject {
    uint16_t depth = 0;
    std::optional<uint16_t> characterId;  // RemoveObject (version 1) names it
};

struct FileAttributes {
    bool useNetwork = false;
    bool hasMetadata = false;
    bool actionScript3 = false;
};

struct SpriteHeader {
    uint16_t id = 0;
    uint16_t frameCount = 0;
    std::span<const uint8_t> tags;  // the nested tag stream
};

// Each takes the tag body; malformed bodies raise FormatError, except that
// PlaceObject3's trailing extras (filters, blend mode ...) are read best-effort after
// the fields that matter for the display list.
PlaceObject parsePlaceObject(const Tag& tag);
RemoveObject parseRemoveObject(const Tag& tag);
std::string parseFrameLabel(const Tag& tag);
Rgba parseSetBackgroundColor(const Tag& tag);
FileAttributes parseFileAttributes(const Tag& tag);
SpriteHeader parseSpriteHeader(const Tag& tag);
// DefineSceneAndFrameLabelData (scene offsets and frame labels, used by ActionScript 3
// movies) holds what its counts promise.
bool sceneAndFrameLabelDataWellFormed(std::span<const uint8_t> body);

} // namespace swf
