// Movies built to hurt: sprites that contain themselves, nesting deeper than any real
// movie, display lists at the extreme depths, scripts that jump back and forth, shapes
// with coordinates and counts at the edge of their fields, lying lengths and
// decompression bombs. Each must load and play three frames, or be refused with a
// message that names the limit.

#include "engine/Player.h"
#include "engine/format/Container.h"
#include "tests/engine/regression/Hostile.h"
#include "tests/support/ShapeWriter.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <chrono>
#include <limits>
#include <string>
#include <vector>

namespace swf::test {
namespace {

constexpr uint16_t kDefineShape = 2;
constexpr uint16_t kDefineShape3 = 32;

Place place(uint32_t depth, uint16_t characterId)
{
    Place p;
    p.depth = static_cast<uint16_t>(depth);
    p.characterId = characterId;
    return p;
}

std::vector<uint8_t> shapeTag(uint16_t id, const std::vector<uint8_t>& body)
{
    BitWriter w;
    w.u16(id);
    w.bytes(body);
    return w.take();
}

TEST(HostileTimelines, SpriteThatPlacesItselfStopsAtTheNestingLimit)
{
    TagStream inner;
    inner.placeObject2(place(1, 5)).showFrame();
    SwfWriter movie;
    movie.defineSprite(5, 1, inner).placeObject2(place(1, 5)).showFrame().showFrame();
    PlayOutcome outcome = playThreeFramesAndPaint(movie.build());
    EXPECT_FALSE(outcome.loadError);
    EXPECT_EQ(outcome.frameCount, 2);
    EXPECT_TRUE(outcome.reported("sprites nest deeper than 256 levels"));
    EXPECT_EQ(outcome.limits.size(), 1u) << "each limit is reported once";
}

TEST(HostileTimelines, TwoSpritesPlacingEachOtherStopAtTheNestingLimit)
{
    TagStream a, b;
    a.placeObject2(place(1, 11)).showFrame();
    b.placeObject2(place(1, 10)).showFrame();
    SwfWriter movie;
    movie.defineSprite(10, 1, a).defineSprite(11, 1, b).placeObject2(place(1, 10)).showFrame();
    EXPECT_FALSE(playThreeFramesAndPaint(movie.build()).loadError);
}

TEST(HostileTimelines, ALongChainOfDistinctSpritesDoesNotExhaustTheStack)
{
    // Each sprite places the next; the last holds a shape.
    constexpr uint16_t kChain = 3000;
    SwfWriter movie;
    movie.defineEmptyShape(1);
    for (uint16_t id = kChain + 1; id >= 2; --id) {
        TagStream sprite;
        sprite.placeObject2(place(1, static_cast<uint16_t>(id == kChain + 1 ? 1 : id + 1))).showFrame();
        movie.defineSprite(id, 1, sprite);
    }
    movie.placeObject2(place(1, 2)).showFrame();
    EXPECT_FALSE(playThreeFramesAndPaint(movie.build()).loadError);
}

TEST(HostileTimelines, SpritesFanningOutLevelByLevelStayWithinTheInstanceBudget)
{
    // Each level places 200 copies of the next: 200^4 clips if nothing stopped it.
    SwfWriter movie;
    movie.defineEmptyShape(1);
    uint16_t child = 1;
    for (uint16_t level = 0; level < 4; ++level) {
        TagStream sprite;
        for (uint32_t depth = 1; depth <= 200; ++depth)
            sprite.placeObject2(place(depth, child));
        sprite.showFrame();
        uint16_t id = static_cast<uint16_t>(10 + level);
        movie.defineSprite(id, 1, sprite);
        child = id;
    }
    movie.placeObject2(place(1, child)).showFrame().showFrame();
    PlayOutcome outcome = playThreeFramesAndPaint(movie.build());
    EXPECT_FALSE(outcome.loadError);
    EXPECT_TRUE(outcome.reported("more than 200000 objects"));
}

TEST(HostileTimelines, ExtremeDepthsAndAFullDisplayList)
{
    SwfWriter movie;
    movie.defineEmptyShape(1);
    for (uint32_t depth : {0u, 1u, 16383u, 16384u, 32767u, 32768u, 65534u, 65535u})
    {
        Place masking = place(depth, 1);
        masking.clipDepth = static_cast<uint16_t>(65535 - depth);
        movie.placeObject2(masking);
    }
    movie.showFrame();
    for (uint32_t depth = 1; depth < 20000; depth += 1)
        movie.placeObject2(place(depth, 1));
    movie.showFrame();
    for (uint32_t depth = 1; depth < 20000; depth += 2)
        movie.removeObject2(static_cast<uint16_t>(depth));
    movie.showFrame();
    PlayOutcome outcome = playThreeFramesAndPaint(movie.build());
    EXPECT_FALSE(outcome.loadError);
    EXPECT_EQ(outcome.currentFrame, 3);
}

TEST(HostileTimelines, FramesThatJumpToEachOtherForeverStillReturn)
{
    SwfWriter movie;
    movie.doAction(ActionBuilder().gotoFrame(1).play()).showFrame();
    movie.doAction(ActionBuilder().gotoFrame(0).play()).showFrame();
    // A frame whose script jumps to itself, and a loop that never leaves its script.
    movie.doAction(ActionBuilder().gotoFrame(2).play()).showFrame();
    movie.doAction(ActionBuilder().jump(-5)).showFrame();
    PlayOutcome outcome = playThreeFramesAndPaint(movie.build());
    EXPECT_FALSE(outcome.loadError);
    EXPECT_TRUE(outcome.reported("scripts ran past")) << "the frame whose script never ends";
}

TEST(HostileTimelines, ALongStallIsNotCaughtUpAndSaysSo)
{
    SwfWriter movie;
    for (int i = 0; i < 30; ++i)
        movie.showFrame();
    std::vector<std::string> limits;
    std::vector<Player::Limit> kinds;
    Player player;
    player.setLimitSink([&](Player::Limit kind, const std::string& message) {
        kinds.push_back(kind);
        limits.push_back(message);
    });
    player.loadBytes(movie.build());
    player.play();
    EXPECT_TRUE(player.tick(std::chrono::seconds(60)));
    EXPECT_EQ(player.currentFrame(), 3);
    ASSERT_EQ(limits.size(), 1u);
    EXPECT_EQ(kinds[0], Player::Limit::ClockCatchUp);
    EXPECT_NE(limits[0].find("at most 3 are caught up"), std::string::npos) << limits[0];
    // A second stall of another length is the same limit: not reported again.
    EXPECT_TRUE(player.tick(std::chrono::seconds(90)));
    EXPECT_EQ(limits.size(), 1u);
    // A new movie reports afresh.
    player.loadBytes(movie.build());
    player.play();
    player.tick(std::chrono::seconds(60));
    EXPECT_EQ(limits.size(), 2u);
}

TEST(HostileTimelines, SpriteScriptsThatGotoTheirParentsFrames)
{
    TagStream sprite;
    const std::vector<uint8_t> parent{'_', 'p', 'a', 'r', 'e', 'n', 't', 0};
    sprite.doAction(ActionBuilder().raw(0x8B, parent).gotoFrame(0).play().raw(0x8B, std::vector<uint8_t>{0}))
        .showFrame();
    SwfWriter movie;
    movie.defineSprite(3, 1, sprite);
    movie.placeObject2(place(1, 3)).doAction(ActionBuilder().gotoFrame(1)).showFrame();
    movie.removeObject2(1).placeObject2(place(1, 3)).doAction(ActionBuilder().gotoFrame(0)).showFrame();
    EXPECT_FALSE(playThreeFramesAndPaint(movie.build()).loadError);
}

TEST(HostileShapes, CoordinatesAtTheEdgeOfTheirFieldsDrawNothingWrong)
{
    constexpr int32_t kFar = (1 << 30) - 1;
    for (int tagCode : {kDefineShape, kDefineShape3}) {
        lanfan::test::StyleArrays styles(tagCode);
        uint32_t fill = styles.solid({200, 0, 0, 255});
        uint32_t line = styles.line(65535, {0, 0, 200, 255});
        lanfan::test::RecordWriter records;
        records.fill1(fill).line(line).moveTo(-kFar, -kFar).lineTo(kFar, -kFar).curveTo(kFar, kFar, 0, kFar).lineTo(-kFar, -kFar);
        auto body = lanfan::test::encodeShape(tagCode, {-kFar, kFar, -kFar, kFar}, styles, records);
        SwfWriter movie;
        movie.tag(static_cast<uint16_t>(tagCode), shapeTag(1, body));
        Matrix huge;
        huge.a = 32767;
        huge.d = -32767;
        huge.tx = -kFar;
        Place stretched = place(1, 1);
        stretched.matrix = huge;
        movie.placeObject2(stretched).showFrame();
        EXPECT_FALSE(playThreeFramesAndPaint(movie.build()).loadError) << "tag " << tagCode;
    }
}

TEST(HostileShapes, StyleCountsBeyondTheDataAndIndicesBeyondTheStyles)
{
    // Claims 0xFFFF fill styles and gives two bytes of them.
    BitWriter lying;
    lying.u16(1);
    lying.rect({0, 100, 0, 100});
    lying.u8(0xFF);
    lying.u16(0xFFFF);
    lying.u8(0x00);
    lying.u8(0xFF);
    // Refers to fill style 30 of 1, and line style 15 of 0.
    lanfan::test::StyleArrays styles(kDefineShape);
    styles.solid({0, 200, 0, 255});
    lanfan::test::RecordWriter records;
    records.fill0(1).moveTo(0, 0).lineTo(100, 0).fill1(30).line(15).lineTo(100, 100).lineTo(0, 0);
    auto badIndices = lanfan::test::encodeShape(kDefineShape3, {0, 100, 0, 100}, styles, records);

    SwfWriter movie;
    movie.tag(kDefineShape3, lying.take()).tag(kDefineShape3, shapeTag(2, badIndices));
    movie.placeObject2(place(1, 1)).placeObject2(place(2, 2)).showFrame();
    EXPECT_FALSE(playThreeFramesAndPaint(movie.build()).loadError);
}

TEST(HostileTags, LengthsThatLieAboutTheirBodies)
{
    SwfWriter movie;
    movie.defineEmptyShape(1).placeObject2(place(1, 1)).showFrame();
    // A long header claiming 4 GiB, and a sprite whose inner stream claims past its own end.
    TagStream inner;
    inner.rawTagHeader(26, 0x7FFFFFFF).rawBytes(std::vector<uint8_t>{1, 2, 3});
    movie.defineSprite(7, 60000, inner).placeObject2(place(2, 7));
    movie.rawTagHeader(26, 0xFFFFFFFF).rawBytes(std::vector<uint8_t>{0x06, 0x01, 0x00, 0x01, 0x00});
    PlayOutcome outcome = playThreeFramesAndPaint(movie.build());
    EXPECT_FALSE(outcome.loadError);
    EXPECT_GE(outcome.frameCount, 1);
}

std::vector<uint8_t> zlibMovieExpandingTo(size_t bodyBytes, uint32_t declaredLength)
{
    // A valid header tail (1x1 stage, 12 fps, one frame), then zero bytes: End tags.
    std::vector<uint8_t> body(bodyBytes, 0);
    const uint8_t tail[] = {0x08, 0x00, 0x0C, 0x01, 0x00};  // 1-bit RECT of zeros, rate, count
    std::copy(std::begin(tail), std::end(tail), body.begin());
    uLongf packedSize = compressBound(static_cast<uLong>(body.size()));
    std::vector<uint8_t> file(8 + packedSize);
    compress2(file.data() + 8, &packedSize, body.data(), static_cast<uLong>(body.size()), 9);
    file.resize(8 + packedSize);
    file[0] = 'C';
    file[1] = 'W';
    file[2] = 'S';
    file[3] = 10;
    for (int i = 0; i < 4; ++i)
        file[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(declaredLength >> (8 * i));
    return file;
}

TEST(HostileContainers, DecompressionStopsAtTheDeclaredLength)
{
    // 64 MiB of zeros declared as 1000 bytes: only 992 are ever produced.
    auto file = zlibMovieExpandingTo(size_t{64} << 20, 1000);
    DecodedMovie decoded = decodeMovie(file);
    EXPECT_EQ(decoded.body.size(), 992u);
    EXPECT_FALSE(playThreeFramesAndPaint(file).loadError);
}

TEST(HostileContainers, ABombPastTheCeilingIsRefusedNamingTheLimit)
{
    auto file = zlibMovieExpandingTo(size_t{6} << 20, 0xFFFFFFFF);
    try {
        decodeMovie(file, size_t{4} << 20);
        FAIL() << "a body past the ceiling was accepted";
    } catch (const ContainerError& error) {
        EXPECT_EQ(error.reason(), ContainerError::Reason::TooLarge);
        EXPECT_NE(std::string(error.what()).find("4 MiB"), std::string::npos) << error.what();
    }
}

TEST(HostileContainers, ThePlayersCeilingIsNamedInItsMessage)
{
    auto file = zlibMovieExpandingTo(kMaxMovieBytes + 4096, 0xFFFFFFFF);
    Player player;
    try {
        player.loadBytes(file);
        FAIL() << "a body past the ceiling was accepted";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.kind(), LoadError::Kind::TooLarge);
        EXPECT_NE(std::string(error.what()).find(std::to_string(kMaxMovieBytes >> 20) + " MiB"), std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(player.loaded());
}

TEST(HostileContainers, BitmapsPastTheMemoryBudgetAreRefusedNamingIt)
{
    // Five lossless ARGB images of 8192 x 8192 transparent pixels: 1.25 GiB decoded from
    // a few hundred kilobytes each.
    std::vector<uint8_t> pixels(size_t{8192} * 8192 * 4, 0);
    uLongf packedSize = compressBound(static_cast<uLong>(pixels.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, pixels.data(), static_cast<uLong>(pixels.size()), 1);
    packed.resize(packedSize);
    pixels = {};

    SwfWriter movie;
    for (uint16_t id = 1; id <= 5; ++id) {
        BitWriter tag;
        tag.u16(id);
        tag.u8(5);  // 32-bit ARGB
        tag.u16(8192);
        tag.u16(8192);
        tag.bytes(packed);
        movie.tag(36, tag.take(), true);
    }
    movie.showFrame();
    Player player;
    try {
        player.loadBytes(movie.build(Compression::Zlib));
        FAIL() << "1.25 GiB of bitmaps were accepted";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.kind(), LoadError::Kind::TooLarge);
        EXPECT_NE(std::string(error.what()).find("1024 MiB"), std::string::npos) << error.what();
    }
}

TEST(HostileContainers, EveryTruncationOfAMovieLoadsOrIsRefused)
{
    SwfWriter movie;
    movie.defineEmptyShape(1).placeObject2(place(1, 1)).doAction(ActionBuilder().trace("a")).showFrame();
    TagStream sprite;
    sprite.placeObject2(place(1, 1)).showFrame().showFrame();
    movie.defineSprite(2, 2, sprite).placeObject2(place(2, 2)).showFrame();
    for (Compression compression : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        auto whole = movie.build(compression);
        for (size_t size = 0; size <= whole.size(); ++size) {
            PlayOutcome outcome = playThreeFramesAndPaint(std::span(whole).first(size));
            if (!outcome.loadError) {
                EXPECT_GE(outcome.frameCount, 1) << "cut at " << size;
            }
        }
    }
}

} // namespace
} // namespace swf::test
