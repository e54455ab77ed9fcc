// Every bitmap character in the conformance corpus decodes, and what the reference player
// reported about some of them matches.

#include "engine/format/Bitmap.h"
#include "engine/format/Container.h"
#include "engine/format/Tags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace swf {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = LANFAN_CORPUS_DIR;

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct FoundBitmap {
    uint16_t code = 0;
    uint16_t characterId = 0;
    std::shared_ptr<const BitmapData> bitmap;  // null when decoding failed
    std::string error;
};

// Decodes the bitmap tags of one tag stream, descending into sprites.
void collect(std::span<const uint8_t> stream, std::vector<uint8_t>& jpegTables, std::vector<FoundBitmap>& out)
{
    TagReader tags(stream);
    while (auto tag = tags.next()) {
        ByteReader body(tag->body);
        if (tag->is(TagCode::JpegTables)) {
            jpegTables.assign(tag->body.begin(), tag->body.end());
        } else if (tag->is(TagCode::DefineSprite) && body.remaining() >= 4) {
            body.skip(4);
            collect(body.rest(), jpegTables, out);
        } else if (isBitmapTag(tag->code) && body.remaining() >= 2) {
            FoundBitmap found{tag->code, body.u16(), nullptr, {}};
            try {
                found.bitmap = decodeBitmapTag(tag->code, body, jpegTables);
            } catch (const FormatError& e) {
                found.error = e.what();
            }
            out.push_back(std::move(found));
        }
    }
}

std::vector<FoundBitmap> bitmapsOf(const fs::path& movie)
{
    const std::vector<uint8_t> file = readFile(movie);
    const DecodedMovie decoded = decodeMovie(file);
    std::vector<uint8_t> jpegTables;
    std::vector<FoundBitmap> found;
    collect(std::span(decoded.body).subspan(decoded.tagsOffset), jpegTables, found);
    return found;
}

class CorpusBitmaps : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(kCorpus))
            GTEST_SKIP() << "no corpus at " << kCorpus;
    }
};

bool premultipliedEverywhere(const BitmapData& bmp)
{
    for (uint32_t p : bmp.pixels) {
        const uint32_t a = p >> 24;
        if ((p >> 16 & 255) > a || (p >> 8 & 255) > a || (p & 255) > a)
            return false;
    }
    return true;
}

TEST_F(CorpusBitmaps, EveryBitmapTagDecodes)
{
    // The one bitmap known to be empty: a JPEG4 holding no image data, only alpha.
    const std::string emptyJpeg4 = "avm1/avm1/clone_sprite_types/test.swf";
    std::map<std::string, int> failures;
    int decoded = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kCorpus)) {
        if (entry.path().filename() != "test.swf")
            continue;
        const std::string name = fs::relative(entry.path(), kCorpus).string();
        std::vector<FoundBitmap> found;
        try {
            found = bitmapsOf(entry.path());
        } catch (const FormatError&) {
            continue;  // movies the container refuses are the container tests' business
        }
        for (const FoundBitmap& b : found) {
            if (!b.bitmap) {
                if (name != emptyJpeg4)
                    ADD_FAILURE() << name << " tag " << b.code << ": " << b.error;
                ++failures[name];
                continue;
            }
            ++decoded;
            EXPECT_EQ(b.bitmap->pixels.size(), size_t(b.bitmap->width) * size_t(b.bitmap->height));
            EXPECT_TRUE(premultipliedEverywhere(*b.bitmap)) << name << " character " << b.characterId;
        }
    }
    EXPECT_GE(decoded, 18);
    EXPECT_EQ(failures[emptyJpeg4], 1);
}

uint32_t firstPixel(const BitmapData& b) { return b.pixels.front(); }
uint32_t lastPixel(const BitmapData& b) { return b.pixels.back(); }

TEST_F(CorpusBitmaps, HugePngAndJpegMatchWhatTheReferencePlayerRead)
{
    // PNG and progressive JPEG files in JPEG2 tags, far wider or taller than 8192 pixels;
    // output.txt holds the sizes and the first and last pixels the reference player read.
    auto found = bitmapsOf(kCorpus / "as3-sample/visual/define_bits_jpeg2_huge/test.swf");
    ASSERT_EQ(found.size(), 4u);
    for (const auto& b : found)
        ASSERT_TRUE(b.bitmap) << b.error;
    const BitmapData& wide = *found[0].bitmap;
    const BitmapData& tall = *found[2].bitmap;
    const BitmapData& wideJpeg = *found[1].bitmap;
    const BitmapData& tallJpeg = *found[3].bitmap;
    EXPECT_EQ(wide.width, 524288);
    EXPECT_EQ(wide.height, 2);
    EXPECT_EQ(firstPixel(wide), 4286085240u);
    EXPECT_EQ(lastPixel(wide), 4285690482u);
    EXPECT_EQ(tall.width, 2);
    EXPECT_EQ(tall.height, 524288);
    EXPECT_EQ(firstPixel(tall), 4284243036u);
    EXPECT_EQ(lastPixel(tall), 4287401100u);
    EXPECT_EQ(wideJpeg.width, 65000);
    EXPECT_EQ(wideJpeg.height, 2);
    EXPECT_EQ(tallJpeg.width, 2);
    EXPECT_EQ(tallJpeg.height, 65000);
    EXPECT_EQ(firstPixel(tallJpeg), 4284177243u);
    EXPECT_EQ(lastPixel(tallJpeg), 4278190080u);
}

TEST_F(CorpusBitmaps, Lossless2MatchesTheImageItWasMadeFrom)
{
    // The movie's 20x20 ARGB bitmap was made from icon.png beside it.
    auto found = bitmapsOf(kCorpus / "avm1/avm1/issue_2084/test.swf");
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found[0].bitmap) << found[0].error;
    const std::vector<uint8_t> png = readFile(kCorpus / "avm1/avm1/issue_2084/icon.png");
    ByteReader r(png);
    const auto fromPng = decodeBitmapTag(21, r, {});
    EXPECT_EQ(found[0].bitmap->width, 20);
    EXPECT_EQ(found[0].bitmap->pixels, fromPng->pixels);
}

TEST_F(CorpusBitmaps, Jpeg3AlphaPlaneCutsOutTheShape)
{
    auto found = bitmapsOf(kCorpus / "avm1/from_shumway/avm1/mouse-transparency/test.swf");
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found[0].bitmap) << found[0].error;
    const BitmapData& b = *found[0].bitmap;
    EXPECT_EQ(b.width, 128);
    EXPECT_EQ(b.height, 128);
    const auto transparent = std::count_if(b.pixels.begin(), b.pixels.end(), [](uint32_t p) { return p >> 24 == 0; });
    const auto opaque = std::count_if(b.pixels.begin(), b.pixels.end(), [](uint32_t p) { return p >> 24 == 255; });
    EXPECT_GT(transparent, 1000);
    EXPECT_GT(opaque, 1000);
    EXPECT_EQ(b.pixels.front(), 0u);  // the corner lies outside the shape
}

} // namespace
} // namespace swf
