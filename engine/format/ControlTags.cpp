#include "engine/format/ControlTags.h"

namespace swf {

namespace {

PlaceObject parsePlaceObject1(ByteReader& r)
{
    PlaceObject place;
    place.tagVersion = 1;
    place.characterId = r.u16();
    place.depth = r.u16();
    place.matrix = readMatrix(r);
    if (!r.atEnd())
        place.colorTransform = readColorTransform(r, false);
    return place;
}

} // namespace

PlaceObject parsePlaceObject(const Tag& tag)
{
    ByteReader r(tag.body);
    if (tag.is(TagCode::PlaceObject))
        return parsePlaceObject1(r);

    bool v3 = tag.is(TagCode::PlaceObject3);
    PlaceObject place;
    place.tagVersion = v3 ? 3 : 2;
    uint8_t flags = r.u8();
    uint8_t flags3 = v3 ? r.u8() : 0;
    place.depth = r.u16();
    place.move = flags & 0x01;
    bool hasCharacter = flags & 0x02;
    bool hasClassName = flags3 & 0x08;
    bool hasImage = flags3 & 0x10;
    if (hasClassName || (hasImage && hasCharacter))
        place.className = r.cstring();
    if (hasCharacter)
        place.characterId = r.u16();
    if (flags & 0x04)
        place.matrix = readMatrix(r);
    if (flags & 0x08)
        place.colorTransform = readColorTransform(r, true);
    if (flags & 0x10)
        place.ratio = r.u16();
    if (flags & 0x20)
        place.name = r.cstring();
    if (flags & 0x40)
        place.clipDepth = r.u16();

    // What follows does not change what is placed where; a damaged tail loses only it.
    try {
        if (flags3 & 0x01)
            place.filters = readFilterList(r);
        if (flags3 & 0x02)
            place.blendMode = r.u8();
        if (flags3 & 0x04)
            place.cacheAsBitmap = r.u8() != 0;
        if (flags3 & 0x20)
            place.visible = r.u8() != 0;
        if (flags3 & 0x40)
            place.backgroundColor = readRgba(r);
        if (flags & 0x80)
            place.clipActions = r.rest();
    } catch (const FormatError&) {
        // Keep the fields read so far.
    }
    return place;
}

RemoveObject parseRemoveObject(const Tag& tag)
{
    ByteReader r(tag.body);
    RemoveObject remove;
    if (tag.is(TagCode::RemoveObject))
        remove.characterId = r.u16();
    remove.depth = r.u16();
    return remove;
}

std::string parseFrameLabel(const Tag& tag)
{
    ByteReader r(tag.body);
    // Some writers leave out the terminator; the label is then the whole body.
    try {
        return r.cstring();
    } catch (const FormatError&) {
        ByteReader whole(tag.body);
        return whole.string(whole.size());
    }
}

Rgba parseSetBackgroundColor(const Tag& tag)
{
    ByteReader r(tag.body);
    return readRgb(r);
}

FileAttributes parseFileAttributes(const Tag& tag)
{
    ByteReader r(tag.body);
    // Writers disagree on the length; the flags are all in the first byte.
    uint8_t flags = r.u8();
    FileAttributes attributes;
    attributes.useNetwork = flags & 0x01;
    attributes.actionScript3 = flags & 0x08;
    attributes.hasMetadata = flags & 0x10;
    return attributes;
}

SpriteHeader parseSpriteHeader(const Tag& tag)
{
    ByteReader r(tag.body);
    SpriteHeader sprite;
    sprite.id = r.u16();
    sprite.frameCount = r.u16();
    sprite.tags = r.rest();
    return sprite;
}

bool sceneAndFrameLabelDataWellFormed(std::span<const uint8_t> body)
{
    try {
        ByteReader r(body);
        for (int list = 0; list < 2; ++list) {  // scenes, then frame labels
            uint32_t count = r.encodedU32();
            // Each entry takes at least two bytes (a number and a terminated name).
            if (count > r.remaining() / 2)
                return false;
            for (uint32_t i = 0; i < count; ++i) {
                r.encodedU32();
                r.cstring();
            }
        }
        return true;
    } catch (const FormatError&) {
        return false;
    }
}

} // namespace swf
