#pragma once

// The tag stream: a sequence of (code, length, body) records ended by an End tag.

#include "engine/format/Reader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace swf {

// Tag codes the engine knows by name; any other code is carried through as a number.
enum class TagCode : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DefineBits = 6,
    DefineButton = 7,
    JpegTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineFontInfo = 13,
    DefineSound = 14,
    StartSound = 15,
    SoundStreamHead = 18,
    SoundStreamBlock = 19,
    DefineButtonSound = 17,
    DefineBitsLossless = 20,
    DefineBitsJpeg2 = 21,
    DefineShape2 = 22,
    Protect = 24,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJpeg3 = 35,
    DefineBitsLossless2 = 36,
    DefineEditText = 37,
    DefineSprite = 39,
    FrameLabel = 43,
    SoundStreamHead2 = 45,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    ExportAssets = 56,
    ImportAssets = 57,
    DoInitAction = 59,
    DefineVideoStream = 60,
    VideoFrame = 61,
    DefineFontInfo2 = 62,
    FileAttributes = 69,
    PlaceObject3 = 70,
    DoAbcLegacy = 72,
    DefineFontAlignZones = 73,
    DefineFont3 = 75,
    SymbolClass = 76,
    Metadata = 77,
    DoAbc = 82,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    DefineSceneAndFrameLabelData = 86,
    StartSound2 = 89,
    DefineBitsJpeg4 = 90,
};

struct Tag {
    uint16_t code = 0;
    std::span<const uint8_t> body;
    size_t offset = 0;     // of the tag header within the stream
    bool clipped = false;  // the declared length ran past the end of the data

    bool is(TagCode c) const { return code == static_cast<uint16_t>(c); }
};

// Walks a tag stream. A header cut off by the end of data ends the stream; a body that
// runs past the end is clipped to what is there. next() returns nothing after End.
class TagReader {
public:
    explicit TagReader(std::span<const uint8_t> stream) : bytes_(stream) {}

    std::optional<Tag> next();
    size_t position() const { return bytes_.position(); }

private:
    ByteReader bytes_;
    bool ended_ = false;
};

} // namespace swf
