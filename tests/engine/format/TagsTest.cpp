// The tag stream and the control tags' records.

#include "engine/format/ControlTags.h"
#include "engine/format/Tags.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using test::BitWriter;
using test::Place;
using test::TagStream;

std::vector<Tag> readAll(std::span<const uint8_t> stream)
{
    std::vector<Tag> tags;
    TagReader reader(stream);
    while (auto tag = reader.next())
        tags.push_back(*tag);
    return tags;
}

TEST(TagReader, ReadsShortAndLongHeadersAndStopsAtEnd)
{
    std::vector<uint8_t> big(100, 7);
    std::vector<uint8_t> small{1, 2, 3};
    TagStream stream;
    stream.tag(12, small).tag(12, small, true).tag(39, big).end().showFrame();
    auto tags = readAll(stream.bytes());
    ASSERT_EQ(tags.size(), 4u);
    EXPECT_EQ(tags[0].body.size(), 3u);
    EXPECT_EQ(tags[1].body.size(), 3u);
    EXPECT_EQ(tags[1].offset, 5u);  // after a 2-byte header and 3 bytes
    EXPECT_EQ(tags[2].code, 39);
    EXPECT_EQ(tags[2].body.size(), 100u);
    EXPECT_TRUE(tags[3].is(TagCode::End));  // and the ShowFrame after it is never seen
}

TEST(TagReader, ClipsABodyThatRunsPastTheEnd)
{
    TagStream stream;
    stream.showFrame().rawTagHeader(12, 1000).rawBytes(std::vector<uint8_t>{9, 9});
    auto tags = readAll(stream.bytes());
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_TRUE(tags[1].clipped);
    EXPECT_EQ(tags[1].body.size(), 2u);
}

TEST(TagReader, AHeaderCutOffEndsTheStream)
{
    TagStream stream;
    stream.showFrame().rawBytes(std::vector<uint8_t>{0x3F});  // one byte of a header
    EXPECT_EQ(readAll(stream.bytes()).size(), 1u);
    TagStream longCut;
    longCut.showFrame().rawBytes(std::vector<uint8_t>{0x3F, 0x03, 0x10, 0x00});  // long length cut
    EXPECT_EQ(readAll(longCut.bytes()).size(), 1u);
    EXPECT_TRUE(readAll({}).empty());
}

Tag onlyTag(const TagStream& stream)
{
    auto tags = readAll(stream.bytes());
    EXPECT_EQ(tags.size(), 1u);
    return tags.at(0);
}

TEST(ControlTags, PlaceObject2CarriesEveryField)
{
    Place place;
    place.depth = 7;
    place.characterId = 3;
    place.move = true;
    place.matrix = Matrix{2, 0.5, -0.25, 1.5, 100, -200};
    place.colorTransform = ColorTransform{0.5f, 1, 1, 0.25f, 10, -20, 0, 5};
    place.ratio = 1234;
    place.name = "clip";
    place.clipDepth = 12;
    TagStream stream;
    stream.placeObject2(place);
    PlaceObject parsed = parsePlaceObject(onlyTag(stream));
    EXPECT_EQ(parsed.tagVersion, 2);
    EXPECT_EQ(parsed.depth, 7);
    EXPECT_TRUE(parsed.move);
    EXPECT_EQ(parsed.characterId, 3);
    EXPECT_EQ(parsed.matrix, place.matrix);
    EXPECT_EQ(parsed.colorTransform, place.colorTransform);
    EXPECT_EQ(parsed.ratio, 1234);
    EXPECT_EQ(parsed.name, "clip");
    EXPECT_EQ(parsed.clipDepth, 12);
}

TEST(ControlTags, PlaceObject2MoveWithoutFieldsLeavesThemAbsent)
{
    Place place;
    place.depth = 2;
    place.move = true;
    TagStream stream;
    stream.placeObject2(place);
    PlaceObject parsed = parsePlaceObject(onlyTag(stream));
    EXPECT_FALSE(parsed.characterId || parsed.matrix || parsed.colorTransform || parsed.ratio || parsed.name);
}

TEST(ControlTags, PlaceObject1ReadsItsOptionalColorTransform)
{
    TagStream plain;
    plain.placeObject(4, 9, Matrix{1, 0, 0, 1, 40, 60});
    PlaceObject parsed = parsePlaceObject(onlyTag(plain));
    EXPECT_EQ(parsed.tagVersion, 1);
    EXPECT_EQ(parsed.characterId, 4);
    EXPECT_EQ(parsed.depth, 9);
    EXPECT_EQ(parsed.matrix->tx, 40);
    EXPECT_FALSE(parsed.colorTransform);

    BitWriter body;
    body.u16(4);
    body.u16(9);
    body.matrix({});
    body.colorTransform(ColorTransform{1, 1, 1, 1, 50, 0, 0, 0}, false);
    TagStream withColor;
    withColor.tag(4, body.data());
    EXPECT_EQ(parsePlaceObject(onlyTag(withColor)).colorTransform->rAdd, 50);
}

TEST(ControlTags, PlaceObject3SkipsFiltersAndKeepsTheExtras)
{
    Place place;
    place.depth = 5;
    place.characterId = 8;
    place.matrix = Matrix{1, 0, 0, 1, 20, 20};
    // Second flag byte: filters, blend mode, cache as bitmap, visible; then a blur and
    // a gradient glow with two colours, blend mode 3, cache 1, visible 0.
    BitWriter extra;
    extra.u8(0x01 | 0x02 | 0x04 | 0x20);
    extra.u8(2);
    extra.u8(1);
    extra.bytes(std::vector<uint8_t>(9, 0));
    extra.u8(4);
    extra.u8(2);
    extra.bytes(std::vector<uint8_t>(2 * 5 + 19, 0));
    extra.u8(3);
    extra.u8(1);
    extra.u8(0);
    TagStream stream;
    stream.placeObject3(place, extra.data());
    PlaceObject parsed = parsePlaceObject(onlyTag(stream));
    EXPECT_EQ(parsed.tagVersion, 3);
    EXPECT_EQ(parsed.characterId, 8);
    EXPECT_EQ(parsed.matrix->tx, 20);
    EXPECT_EQ(parsed.blendMode, 3);
    EXPECT_EQ(parsed.cacheAsBitmap, true);
    EXPECT_EQ(parsed.visible, false);
}

TEST(ControlTags, PlaceObject3WithDamagedTailKeepsWhatPlaces)
{
    Place place;
    place.depth = 5;
    place.characterId = 8;
    BitWriter extra;
    extra.u8(0x01 | 0x02);
    extra.u8(1);
    extra.u8(42);  // a filter kind that does not exist
    TagStream stream;
    stream.placeObject3(place, extra.data());
    PlaceObject parsed = parsePlaceObject(onlyTag(stream));
    EXPECT_EQ(parsed.depth, 5);
    EXPECT_EQ(parsed.characterId, 8);
    EXPECT_FALSE(parsed.blendMode);
}

TEST(ControlTags, TruncatedPlaceObject2IsAFormatError)
{
    TagStream stream;
    stream.tag(26, std::vector<uint8_t>{0x06, 1});  // character and matrix promised, depth cut
    EXPECT_THROW(parsePlaceObject(onlyTag(stream)), FormatError);
}

TEST(ControlTags, RemoveLabelBackgroundAttributes)
{
    TagStream s;
    s.removeObject(3, 4).removeObject2(6).frameLabel("intro").setBackgroundColor({1, 2, 3, 255}).fileAttributes(true);
    auto tags = readAll(s.bytes());
    ASSERT_EQ(tags.size(), 5u);
    EXPECT_EQ(parseRemoveObject(tags[0]).characterId, 3);
    EXPECT_EQ(parseRemoveObject(tags[0]).depth, 4);
    EXPECT_EQ(parseRemoveObject(tags[1]).depth, 6);
    EXPECT_FALSE(parseRemoveObject(tags[1]).characterId);
    EXPECT_EQ(parseFrameLabel(tags[2]), "intro");
    EXPECT_EQ(parseSetBackgroundColor(tags[3]), (Rgba{1, 2, 3, 255}));
    EXPECT_TRUE(parseFileAttributes(tags[4]).actionScript3);
}

} // namespace
} // namespace swf
