// Containers and headers: the three compressions, truncated and lying files, caps.

#include "engine/format/Container.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using test::MovieOptions;
using test::SwfWriter;

std::vector<uint8_t> sampleMovie(Compression compression, MovieOptions options = {})
{
    SwfWriter movie(options);
    movie.setBackgroundColor({10, 20, 30, 255});
    for (int i = 0; i < 40; ++i)
        movie.frameLabel("a fairly long label so the body compresses " + std::to_string(i)).showFrame();
    return movie.build(compression);
}

class ContainerKinds : public ::testing::TestWithParam<Compression> {};

TEST_P(ContainerKinds, DecodesHeaderAndBodyWhole)
{
    MovieOptions options;
    options.version = 9;
    options.stage = {0, 320 * 20, 0, 240 * 20};
    options.frameRate = 24.5;
    auto file = sampleMovie(GetParam(), options);
    DecodedMovie movie = decodeMovie(file);
    EXPECT_EQ(movie.header.compression, GetParam());
    EXPECT_EQ(movie.header.version, 9);
    EXPECT_EQ(movie.header.stage, (Rect{0, 6400, 0, 4800}));
    EXPECT_DOUBLE_EQ(movie.header.frameRate, 24.5);
    EXPECT_EQ(movie.header.frameCount, 40);
    EXPECT_FALSE(movie.truncated);
    EXPECT_EQ(movie.body.size() + 8, movie.header.declaredLength);
    // The same bytes, whatever the container.
    EXPECT_EQ(movie.body, decodeMovie(sampleMovie(Compression::None, options)).body);
}

TEST_P(ContainerKinds, StreamCutShortIsATruncatedMovieNotAnError)
{
    auto file = sampleMovie(GetParam());
    file.resize(file.size() * 2 / 3);
    DecodedMovie movie = decodeMovie(file);
    EXPECT_TRUE(movie.truncated);
    EXPECT_EQ(movie.header.frameCount, 40);
    EXPECT_LT(movie.body.size() + 8, movie.header.declaredLength);
}

TEST_P(ContainerKinds, DeclaredLengthBeyondTheDataMeansTruncated)
{
    MovieOptions options;
    options.declaredLength = 1'000'000;
    DecodedMovie movie = decodeMovie(sampleMovie(GetParam(), options));
    EXPECT_TRUE(movie.truncated);
    EXPECT_EQ(movie.body, decodeMovie(sampleMovie(Compression::None)).body);
}

TEST_P(ContainerKinds, RefusesToExpandPastTheCeiling)
{
    auto file = sampleMovie(GetParam());
    try {
        decodeMovie(file, 200);
        FAIL() << "expected TooLarge";
    } catch (const ContainerError& e) {
        EXPECT_EQ(e.reason(), ContainerError::Reason::TooLarge);
    }
}

INSTANTIATE_TEST_SUITE_P(AllContainers, ContainerKinds,
                         ::testing::Values(Compression::None, Compression::Zlib, Compression::Lzma));

ContainerError::Reason reasonFor(std::vector<uint8_t> bytes)
{
    try {
        decodeMovie(bytes);
    } catch (const ContainerError& e) {
        return e.reason();
    }
    ADD_FAILURE() << "no error";
    return ContainerError::Reason::Corrupt;
}

TEST(Container, RefusesWhatIsNotAMovie)
{
    EXPECT_EQ(reasonFor({}), ContainerError::Reason::NotAMovie);
    EXPECT_EQ(reasonFor({'G', 'I', 'F', '8', '9', 'a', 0, 0}), ContainerError::Reason::NotAMovie);
    EXPECT_EQ(reasonFor({'F', 'W'}), ContainerError::Reason::NotAMovie);
    EXPECT_TRUE(looksLikeMovie(std::vector<uint8_t>{'Z', 'W', 'S'}));
}

TEST(Container, HeaderCutOffIsCorrupt)
{
    auto file = sampleMovie(Compression::None);
    EXPECT_EQ(reasonFor({file.begin(), file.begin() + 6}), ContainerError::Reason::Corrupt);
    // Inside the stage rectangle.
    EXPECT_EQ(reasonFor({file.begin(), file.begin() + 10}), ContainerError::Reason::Corrupt);
    // Compressed data that is not zlib at all, and an LZMA header cut short.
    EXPECT_EQ(reasonFor({'C', 'W', 'S', 10, 100, 0, 0, 0, 1, 2, 3, 4, 5}), ContainerError::Reason::Corrupt);
    EXPECT_EQ(reasonFor({'Z', 'W', 'S', 10, 100, 0, 0, 0, 1, 2, 3, 4, 0x5D}), ContainerError::Reason::Corrupt);
}

TEST(Container, FrameRateIsLittleEndianEightDotEight)
{
    // FWS, version 6, length 21; RECT with 1-bit fields (one byte); rate bytes 0x80
    // 0x0C: the low byte is the fraction, so 12.5 fps; 3 frames; End.
    std::vector<uint8_t> file{'F', 'W', 'S', 6, 17, 0, 0, 0, 0x08, 0x00, 0x80, 0x0C, 3, 0, 0, 0};
    DecodedMovie movie = decodeMovie(file);
    EXPECT_DOUBLE_EQ(movie.header.frameRate, 12.5);
    EXPECT_EQ(movie.header.frameCount, 3);
    EXPECT_EQ(movie.tagsOffset, 6u);
}

TEST(Container, TheDeclaredLengthEndsTheMovieWhateverFollows)
{
    MovieOptions options;
    options.declaredLength = 60;
    for (Compression compression : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        DecodedMovie movie = decodeMovie(sampleMovie(compression, options));
        EXPECT_EQ(movie.body.size(), 52u);
        EXPECT_FALSE(movie.truncated);
    }
}

TEST(Container, ZeroDeclaredLengthFallsBackToTheCeiling)
{
    MovieOptions options;
    options.declaredLength = 0;
    DecodedMovie movie = decodeMovie(sampleMovie(Compression::Zlib, options));
    EXPECT_EQ(movie.body, decodeMovie(sampleMovie(Compression::None)).body);
    // Uncompressed, the header is still read but no tags follow it.
    DecodedMovie plain = decodeMovie(sampleMovie(Compression::None, options));
    EXPECT_EQ(plain.body.size(), plain.tagsOffset);
    EXPECT_GT(plain.header.frameRate, 0.0);
    EXPECT_FALSE(plain.truncated);
}

} // namespace
} // namespace swf
